// RunInterface on the program's windows.

#include "gui/WindowRunInterface.h"

#include <QCoreApplication>

#include "gui/ChoiceDialog.h"
#include "gui/CommandFileDialog.h"
#include "gui/FittingInfoWindow.h"
#include "gui/MainWindow.h"
#include "gui/PlotWindow.h"
#include "gui/SimplexInitWindow.h"
#include "gui/UserPrompts.h"
#include "gui/WeightingDialog.h"
#include "gui/WindowPlacement.h"

namespace korvel::gui {
namespace {

// Where the end-of-fit questions and messages appear on the screen.
const QPoint kQuestionPosition(660, 458);

void ShowAndRepaint(QWidget& window, bool shown) {
    if (shown) {
        window.show();
        window.raise();
        window.repaint();
    } else {
        window.hide();
    }
}

}  // namespace

bool WindowRunInterface::ShowCommandFileDialog(CommandFileDialogRecord& record) {
    CommandFileDialog& dialog = main_.ComFile();
    dialog.FromRecord(record);
    // Only OK starts the fit; the close button or Esc cancels it.
    const bool accepted = main_.Prompts().Exec(dialog) == QDialog::Accepted;
    dialog.ToRecord(record);
    return accepted;
}

void WindowRunInterface::ShowWeightingDialog(WeightingDialogRecord& record) {
    WeightingDialog& dialog = main_.FormFraction();
    dialog.FromRecord(record);
    main_.Prompts().Exec(dialog);
    dialog.ToRecord(record);
}

bool WindowRunInterface::AskNewtonStep() {
    ChoiceDialog& dialog = main_.FormNewton();
    dialog.move(kQuestionPosition);
    main_.Prompts().Exec(dialog);
    return dialog.Yes();
}

bool WindowRunInterface::AskUncertainty() {
    ChoiceDialog& dialog = main_.FormUncertainty();
    dialog.move(kQuestionPosition);
    main_.Prompts().Exec(dialog);
    return dialog.Yes();
}

void WindowRunInterface::ShowMessage(const std::string& text) {
    main_.Prompts().Ask(&main_, QString::fromStdString(text), QMessageBox::Ok | QMessageBox::Cancel,
                        kQuestionPosition);
}

void WindowRunInterface::ShowSimplexInitialization(bool shown) {
    ShowAndRepaint(main_.SimplexIni(), shown);
}

void WindowRunInterface::SetSimplexInitField(SimplexInitField field, const std::string& text) {
    main_.SimplexIni().SetField(field, QString::fromStdString(text));
}

void WindowRunInterface::ShowFittingInformation(bool shown) {
    ShowAndRepaint(main_.FormInfo(), shown);
}

void WindowRunInterface::SetFittingField(FittingField field, const std::string& text) {
    main_.FormInfo().SetField(field, QString::fromStdString(text));
}

void WindowRunInterface::SetTmpMessage(const std::string& caption, TmpMessageStyle style) {
    main_.SetTmpMessage(QString::fromStdString(caption), style);
}

void WindowRunInterface::SetDrawEnabled(bool enabled) { main_.SetDrawEnabled(enabled); }

void WindowRunInterface::ShowPlotWindow() {
    PlotWindow& plot = main_.GrphRefl();
    // Opened where it leaves the main window's menus free; once open, where the user put it.
    if (!plot.isVisible()) PlaceClearOf(plot, main_);
    plot.show();
}

void WindowRunInterface::DrawPlot(const CurveArrays& curves) { main_.GrphRefl().Draw(curves); }

void WindowRunInterface::ProcessPendingEvents() { QCoreApplication::processEvents(); }

int WindowRunInterface::LastKey() const { return main_.LastKey(); }

void WindowRunInterface::ClearLastKey() { main_.SetLastKey(0); }

void WindowRunInterface::ProcessEventsBetweenEvaluations() {
    // An evaluation can be far shorter than a round of events; a round every 50 ms keeps
    // Ctrl+Q heard at once without slowing the short ones down.
    if (sinceEvents_.isValid() && sinceEvents_.elapsed() < 50) return;
    sinceEvents_.start();
    QCoreApplication::processEvents();
}

void WindowRunInterface::ShowWarning(const std::string& text) {
    main_.ShowWarning(QString::fromStdString(text));
}

}  // namespace korvel::gui
