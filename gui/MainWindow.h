#pragma once
// TForm1, the main window "  Korvel": the menus that start everything, the status
// label TmpMessage, and the owner of the workspace, of the eleven further windows
// (created once, in order, with the main window) and of the editor windows.

#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>
#include <vector>

#include "app/RunInterface.h"
#include "app/Workspace.h"
#include "gui/EditForm.h"

class QAction;

namespace korvel::gui {

class AboutDialog;
class ChoiceDialog;
class CommandFileDialog;
class FitViews;
class FittingInfoWindow;
class HistoryDialog;
class KeyWatcher;
class OptionsDialog;
class PlotWindow;
class SimplexInitWindow;
class SimulationDialog;
class UserPrompts;
class WeightingDialog;
class WindowRunInterface;

class MainWindow : public QMainWindow, public EditorHost {
    Q_OBJECT
  public:
    explicit MainWindow(UserPrompts& prompts);
    ~MainWindow() override;

    // Menu handlers.
    void Open1Click() override;
    void New1Click() override;
    void ComFileNClick();
    void Exit1Click();
    void Fitting1Click();
    void Simulation1Click();
    void History1Click();
    void AboutClick();
    void OptionsClick();
    void draw1Click();

    // Main-window state the runs use.
    int LastKey() const;
    void SetLastKey(int key);
    void SetTmpMessage(const QString& caption, TmpMessageStyle style);
    void SetDrawEnabled(bool enabled);
    // Adds a run's warning to the status line below TmpMessage; the next run clears it.
    void ShowWarning(const QString& text);
    bool RunActive() const { return runActive_; }

    Workspace& Ws() { return ws_; }
    UserPrompts& Prompts() { return prompts_; }
    QAction* Action(const char* name) const;
    QLabel* TmpMessage() const { return tmpMessage_; }
    QLabel* WarningLine() const { return warningLine_; }
    // Beside the warnings: where the last fit's result files are (or that it was
    // cancelled); the tooltip names the three files in full.
    QLabel* ResultLine() const { return resultLine_; }
    EditForm* NewEditor();
    std::vector<EditForm*> Editors() const;
    // The twelve windows in the order they were created, this one first.
    std::vector<QWidget*> Windows() const;

    FittingInfoWindow& FormInfo() { return *formInfo_; }
    CommandFileDialog& ComFile() { return *comFile_; }
    SimplexInitWindow& SimplexIni() { return *simplexIni_; }
    ChoiceDialog& FormNewton() { return *formNewton_; }
    ChoiceDialog& FormUncertainty() { return *formUncertainty_; }
    PlotWindow& GrphRefl() { return *grphRefl_; }
    WeightingDialog& FormFraction() { return *formFraction_; }
    SimulationDialog& SimulForm() { return *simulForm_; }
    HistoryDialog& FormHistory() { return *formHistory_; }
    AboutDialog& FormAbout() { return *formAbout_; }
    OptionsDialog& FormOptions() { return *formOptions_; }
    WindowRunInterface& RunUi() { return *runUi_; }
    // The views of the last run, which the plot window's right-click menu opens.
    FitViews& Views() { return *views_; }

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void BuildMenus();
    void UpdateRunMenu();
    // Runs one fit or simulation: Fitting and Simulation are disabled meanwhile; a
    // RunError is shown in a message box and the program stays open.
    void RunGuarded(const std::function<void()>& run);
    // After a fit: where its result files are, in the status line, and its views.
    void ShowFitResults();
    void SetResultLine(const QString& text, const QString& tip);

    UserPrompts& prompts_;
    Workspace ws_;
    QLabel* tmpMessage_ = nullptr;
    QLabel* warningLine_ = nullptr;
    QLabel* resultLine_ = nullptr;
    std::unique_ptr<FittingInfoWindow> formInfo_;
    std::unique_ptr<CommandFileDialog> comFile_;
    std::unique_ptr<AboutDialog> formAbout_;
    std::unique_ptr<SimplexInitWindow> simplexIni_;
    std::unique_ptr<ChoiceDialog> formNewton_;
    std::unique_ptr<ChoiceDialog> formUncertainty_;
    std::unique_ptr<PlotWindow> grphRefl_;
    std::unique_ptr<WeightingDialog> formFraction_;
    std::unique_ptr<SimulationDialog> simulForm_;
    std::unique_ptr<HistoryDialog> formHistory_;
    std::unique_ptr<OptionsDialog> formOptions_;
    std::unique_ptr<WindowRunInterface> runUi_;
    std::unique_ptr<FitViews> views_;
    KeyWatcher* keyWatcher_ = nullptr;
    std::vector<QPointer<EditForm>> editors_;
    bool commandFileSet_ = false;
    bool runActive_ = false;
    bool closeAfterRun_ = false;
};

}  // namespace korvel::gui
