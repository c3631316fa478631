// The fitted-values window.

#include "gui/FittedValuesWindow.h"

#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QSaveFile>

#include "gui/QtPlotCanvas.h"
#include "gui/UserPrompts.h"
#include "output/FittedValuesView.h"

namespace korvel::gui {

FittedValuesWindow::FittedValuesWindow(UserPrompts& prompts)
    : ViewWindow(prompts, QStringLiteral("FittedValues"), QStringLiteral("Fitted values"),
                 QStringLiteral("fitted-values")) {
    resize(560, 220);
}

void FittedValuesWindow::SetData(std::optional<FittedValuesTable> table) {
    table_ = std::move(table);
    if (table_) {
        // Measured with the window's own fonts, on an image like the one it draws into.
        QImage probe(1, 1, QImage::Format_RGB32);
        const QtPlotCanvas canvas(probe, true);
        const CanvasSize needed = FittedValuesViewSize(canvas, *table_);
        resize(needed.Width, needed.Height);
    }
    Render();
}

void FittedValuesWindow::FillContextMenu(QMenu& menu) {
    ViewWindow::FillContextMenu(menu);
    QAction* copy = menu.addAction(QStringLiteral("Copy table"));
    copy->setObjectName(QStringLiteral("CopyTable"));
    copy->setEnabled(HasContent());
    connect(copy, &QAction::triggered, this, &FittedValuesWindow::CopyTableClick);
    QAction* save = menu.addAction(QStringLiteral("Save table..."));
    save->setObjectName(QStringLiteral("SaveTable"));
    save->setEnabled(HasContent());
    connect(save, &QAction::triggered, this, &FittedValuesWindow::SaveTableClick);
}

void FittedValuesWindow::CopyTableClick() {
    if (!table_) return;
    QGuiApplication::clipboard()->setText(QString::fromStdString(FittedValuesCsv(*table_)));
}

void FittedValuesWindow::SaveTableClick() {
    if (!table_) return;
    const QString path = prompts_.SaveFileName(this, QStringLiteral("fitted.csv"),
                                               QStringLiteral("CSV table (*.csv)"));
    if (path.isEmpty()) return;
    if (QFileInfo::exists(path) &&
        prompts_.Ask(this,
                     QStringLiteral("%1 already exists.\nDo you want to replace it?").arg(path),
                     QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    const std::string text = FittedValuesCsv(*table_);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(text.data(), static_cast<qint64>(text.size())) !=
            static_cast<qint64>(text.size()) ||
        !file.commit())
        prompts_.Warn(this, QStringLiteral("Cannot write %1:\n%2").arg(path, file.errorString()));
}

void FittedValuesWindow::DrawView(PlotCanvas& canvas) const { DrawFittedValues(canvas, *table_); }

QString FittedValuesWindow::EmptyText() const {
    return QStringLiteral("No fitted values to show: run a fit first.");
}

}  // namespace korvel::gui
