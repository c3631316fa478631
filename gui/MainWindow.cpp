// The main window: menus, status label, the run guard and the window set.

#include "gui/MainWindow.h"

#include <QApplication>
#include <iterator>
#include <QCheckBox>
#include <QComboBox>
#include <QCloseEvent>
#include <QMenuBar>
#include <QStatusBar>
#include <QTextEdit>

#include "base/RunError.h"
#include "app/SimulationRun.h"
#include "app/FittingRun.h"
#include "app/RunReport.h"
#include "gui/ChoiceDialog.h"
#include "gui/CommandFileDialog.h"
#include "gui/FitViews.h"
#include "gui/FittingInfoWindow.h"
#include "gui/KeyWatcher.h"
#include "gui/PlotWindow.h"
#include "gui/RunErrorText.h"
#include "gui/SimplexInitWindow.h"
#include "gui/SimulationDialog.h"
#include "gui/SmallDialogs.h"
#include "gui/UserPrompts.h"
#include "gui/WeightingDialog.h"
#include "gui/WindowPlacement.h"
#include "gui/WindowRunInterface.h"

namespace korvel::gui {

MainWindow::MainWindow(UserPrompts& prompts) : prompts_(prompts) {
    // The log the Options box asks for, in the working folder of the run.
    ws_.FitLogFile = "fitlog.txt";
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("  Korvel"));
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("Client"));
    setCentralWidget(client);
    tmpMessage_ = new QLabel(QString(20, QLatin1Char(' ')), client);
    tmpMessage_->setObjectName(QStringLiteral("TmpMessage"));
    tmpMessage_->move(120, 8);
    SetTmpMessage(QString(20, QLatin1Char(' ')), TmpMessageStyle::Hidden);
    tmpMessage_->show();
    BuildMenus();
    // The runs' warnings: a status line of its own below the label, so neither the
    // menus nor TmpMessage change.
    warningLine_ = new QLabel(this);
    warningLine_->setObjectName(QStringLiteral("WarningLine"));
    warningLine_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A long warning is cut at the window's edge rather than widening the window.
    warningLine_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    statusBar()->addWidget(warningLine_, 1);
    resultLine_ = new QLabel(this);
    resultLine_->setObjectName(QStringLiteral("ResultLine"));
    resultLine_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    resultLine_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    resultLine_->hide();
    statusBar()->addWidget(resultLine_, 1);
    resize(560, 90);

    // The further windows, created once, in this order.
    formInfo_ = std::make_unique<FittingInfoWindow>();
    comFile_ = std::make_unique<CommandFileDialog>(ws_, prompts_);
    formAbout_ = std::make_unique<AboutDialog>();
    simplexIni_ = std::make_unique<SimplexInitWindow>();
    formNewton_.reset(NewNewtonDialog());
    formUncertainty_.reset(NewUncertaintyDialog());
    grphRefl_ = std::make_unique<PlotWindow>(prompts_);
    formFraction_ = std::make_unique<WeightingDialog>();
    simulForm_ = std::make_unique<SimulationDialog>(prompts_);
    formHistory_ = std::make_unique<HistoryDialog>();
    formOptions_ = std::make_unique<OptionsDialog>();

    runUi_ = std::make_unique<WindowRunInterface>(*this);
    views_ = std::make_unique<FitViews>(prompts_, *this, *grphRefl_);
    grphRefl_->SetViews(views_.get());
    keyWatcher_ = new KeyWatcher(this);
    qApp->installEventFilter(keyWatcher_);
}

MainWindow::~MainWindow() {
    qApp->removeEventFilter(keyWatcher_);
    for (const auto& editor : editors_) delete editor.data();
}

void MainWindow::BuildMenus() {
    auto add = [this](QMenu* menu, const char* name, const char* caption) {
        QAction* action = menu->addAction(QString::fromLatin1(caption));
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("File1"));
    connect(add(file, "Open1", "&Open ( View/Edit )"), &QAction::triggered, this,
            &MainWindow::Open1Click);
    connect(add(file, "New1", "&New  ( View/Edit )"), &QAction::triggered, this,
            &MainWindow::New1Click);
    connect(add(file, "ComFileN", "&Set Command File"), &QAction::triggered, this,
            &MainWindow::ComFileNClick);
    file->addSeparator()->setObjectName(QStringLiteral("N1"));
    connect(add(file, "Exit1", "&Exit"), &QAction::triggered, this, &MainWindow::Exit1Click);

    QMenu* run = menuBar()->addMenu(QStringLiteral("&Run"));
    run->setObjectName(QStringLiteral("Run1"));
    connect(add(run, "Fitting1", "Fitting"), &QAction::triggered, this, &MainWindow::Fitting1Click);
    connect(add(run, "Simulation1", "Simulation"), &QAction::triggered, this,
            &MainWindow::Simulation1Click);

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("Help1"));
    connect(add(help, "History1", "History"), &QAction::triggered, this,
            &MainWindow::History1Click);
    add(help, "HelpTopic1", "Help Topic");  // does nothing
    connect(add(help, "About", "&About"), &QAction::triggered, this, &MainWindow::AboutClick);

    QAction* draw = menuBar()->addAction(QStringLiteral("&Draw"));
    draw->setObjectName(QStringLiteral("draw1"));
    draw->setEnabled(false);
    connect(draw, &QAction::triggered, this, &MainWindow::draw1Click);

    QMenu* tools = menuBar()->addMenu(QStringLiteral("Tools"));
    tools->setObjectName(QStringLiteral("Tools1"));
    connect(add(tools, "Options", "Options"), &QAction::triggered, this, &MainWindow::OptionsClick);
    UpdateRunMenu();
}

QAction* MainWindow::Action(const char* name) const {
    return findChild<QAction*>(QString::fromLatin1(name));
}

void MainWindow::UpdateRunMenu() {
    Action("Fitting1")->setEnabled(commandFileSet_ && !runActive_);
    Action("Simulation1")->setEnabled(!runActive_);
}

EditForm* MainWindow::NewEditor() {
    auto* editor = new EditForm(*this, prompts_);
    editors_.emplace_back(editor);
    editor->show();
    return editor;
}

std::vector<EditForm*> MainWindow::Editors() const {
    std::vector<EditForm*> open;
    for (const auto& editor : editors_)
        if (editor) open.push_back(editor.data());
    return open;
}

std::vector<QWidget*> MainWindow::Windows() const {
    return {const_cast<MainWindow*>(this),
            formInfo_.get(),
            comFile_.get(),
            formAbout_.get(),
            simplexIni_.get(),
            formNewton_.get(),
            formUncertainty_.get(),
            grphRefl_.get(),
            formFraction_.get(),
            simulForm_.get(),
            formHistory_.get(),
            formOptions_.get()};
}

void MainWindow::Open1Click() {
    const QString path = prompts_.OpenFileName(this);
    if (!path.isEmpty()) NewEditor()->OpenFile(path);
}

void MainWindow::New1Click() { NewEditor(); }

void MainWindow::ComFileNClick() {
    const QString path = prompts_.OpenFileName(this);
    if (path.isEmpty()) return;
    ws_.Settings.CommandFileName = path.toStdString();
    commandFileSet_ = true;
    UpdateRunMenu();
}

void MainWindow::Exit1Click() { close(); }

void MainWindow::RunGuarded(const std::function<void()>& run) {
    if (runActive_) return;
    runActive_ = true;
    warningLine_->clear();
    warningLine_->setToolTip(QString());
    UpdateRunMenu();
    try {
        run();
    } catch (const RunError& e) {
        prompts_.Warn(this, RunErrorText(e));
    } catch (const std::bad_alloc&) {
        prompts_.Warn(this, QStringLiteral("Not enough memory for this run."));
    } catch (const std::exception& e) {
        prompts_.Warn(this, QString::fromLocal8Bit(e.what()));
    } catch (...) {
        // Nothing may leave through the event loop: Qt would end the program, and
        // every editor's unsaved text with it.
        prompts_.Warn(this, QStringLiteral("The run stopped on an unexpected error."));
    }
    // An abandoned run leaves its windows as they were: tidy them up.
    SetDrawEnabled(false);
    formInfo_->hide();
    simplexIni_->hide();
    SetTmpMessage(QString(6, QLatin1Char(' ')), TmpMessageStyle::Hidden);
    runActive_ = false;
    UpdateRunMenu();
    if (closeAfterRun_) close();
}

void MainWindow::Fitting1Click() {
    RunGuarded([this] {
        views_->SetReport({});
        SetResultLine(QString(), QString());
        FittingOutcome outcome = FittingOutcome::Cancelled;
        try {
            outcome = RunFitting(ws_, *runUi_);
        } catch (...) {
            // Files written before the failure are complete; say where they are.
            ShowFitResults();
            throw;
        }
        if (outcome == FittingOutcome::Cancelled)
            SetResultLine(QStringLiteral("Fit cancelled: no data read, no file written."),
                          QString());
        else
            ShowFitResults();
    });
}

void MainWindow::SetResultLine(const QString& text, const QString& tip) {
    resultLine_->setText(text);
    resultLine_->setToolTip(tip);
    resultLine_->setVisible(!text.isEmpty());
    resultLine_->repaint();
}

void MainWindow::ShowFitResults() {
    if (!ws_.Files.Written) return;
    const Workspace& ws = ws_;
    SetResultLine(QString::fromStdString(ResultFilesNote(ws)),
                  QString::fromStdString(ws.Files.ResultModelFile + "\n" +
                                         ws.Files.FittedCurveFile + "\n" +
                                         ws.Files.LocalRunFile));
    try {
        views_->SetReport(ReportOfFit(ws_));
    } catch (const RunError&) {
        // The files hold the result; only the views stay empty.
    }
}

void MainWindow::Simulation1Click() {
    if (runActive_) return;
    simulForm_->FromRecord(ws_.SimulationDialog);
    prompts_.Exec(*simulForm_);  // whatever closed it, the simulation runs
    simulForm_->ToRecord(ws_.SimulationDialog);
    RunGuarded([this] {
        const SimulationRequest request = ParseSimulationSettings(ws_.SimulationDialog);
        activateWindow();
        views_->SetReport({});
        SetResultLine(QString(), QString());
        RunSimulation(ws_, *runUi_, request);
        views_->SetReport(ReportOfSimulation(ws_));
    });
}

void MainWindow::History1Click() { prompts_.Exec(*formHistory_); }

void MainWindow::AboutClick() { prompts_.Exec(*formAbout_); }

void MainWindow::OptionsClick() {
    OptionsDialog& options = *formOptions_;
    options.CB_FitLog->setChecked(ws_.Options.CreateFitLog);
    int current = 0;
    for (int i = 0; i < static_cast<int>(std::size(kSearchMethodChoices)); ++i)
        if (kSearchMethodChoices[i] == ws_.Options.Search.Method) current = i;
    options.CB_GlobalSearch->setCurrentIndex(current);
    prompts_.Exec(options);
    ws_.Options.CreateFitLog = options.CB_FitLog->isChecked();
    const int chosen = options.CB_GlobalSearch->currentIndex();
    if (chosen >= 0 && chosen < static_cast<int>(std::size(kSearchMethodChoices)))
        ws_.Options.Search.Method = kSearchMethodChoices[chosen];
}

void MainWindow::draw1Click() {
    // Brought to the front: the plot may lie under the main window or an editor.
    if (!grphRefl_->isVisible()) PlaceClearOf(*grphRefl_, *this);
    grphRefl_->show();
    grphRefl_->raise();
    grphRefl_->activateWindow();
    grphRefl_->repaint();
    if (Action("draw1")->isEnabled()) grphRefl_->Draw(ws_.Curves);
}

int MainWindow::LastKey() const { return keyWatcher_->LastKey(); }

void MainWindow::SetLastKey(int key) { keyWatcher_->SetLastKey(key); }

void MainWindow::SetTmpMessage(const QString& caption, TmpMessageStyle style) {
    QFont font = tmpMessage_->font();
    QPalette palette = tmpMessage_->palette();
    switch (style) {
        case TmpMessageStyle::Hidden:
            font.setPointSize(8);
            palette.setColor(QPalette::WindowText, Qt::black);
            break;
        case TmpMessageStyle::FittingHint:
            font.setPointSize(10);
            palette.setColor(QPalette::WindowText, QColor(255, 0, 0));
            tmpMessage_->move(120, tmpMessage_->y());
            break;
        case TmpMessageStyle::NewtonStep:
            font.setPointSize(8);
            palette.setColor(QPalette::WindowText, QColor(255, 0, 0));
            tmpMessage_->move(10, tmpMessage_->y());
            break;
    }
    tmpMessage_->setFont(font);
    tmpMessage_->setPalette(palette);
    tmpMessage_->setText(caption);
    tmpMessage_->adjustSize();
    tmpMessage_->setVisible(style != TmpMessageStyle::Hidden);
    repaint();
}

void MainWindow::SetDrawEnabled(bool enabled) { Action("draw1")->setEnabled(enabled); }

void MainWindow::ShowWarning(const QString& text) {
    // Several warnings share the line; the tooltip holds them one per line in full.
    const QString shown = warningLine_->text();
    warningLine_->setText(shown.isEmpty() ? text : shown + QStringLiteral("  |  ") + text);
    const QString tip = warningLine_->toolTip();
    warningLine_->setToolTip(tip.isEmpty() ? text : tip + QLatin1Char('\n') + text);
    warningLine_->repaint();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (runActive_) {
        // A fit cannot be torn down from inside its own iteration: end the search and
        // close once the run has returned.
        closeAfterRun_ = true;
        SetLastKey(17);
        event->ignore();
        return;
    }
    // Ask for every modified editor before anything closes; Cancel keeps the program.
    std::vector<EditForm*> dropped;
    for (EditForm* editor : Editors()) {
        if (!editor->CloseQuery()) {
            event->ignore();
            return;
        }
        if (editor->Modified()) dropped.push_back(editor);  // answered "No"
    }
    for (EditForm* editor : dropped) editor->Editor()->document()->setModified(false);
    for (EditForm* editor : Editors()) editor->close();
    for (QWidget* window : Windows())
        if (window != this) window->close();
    views_->CloseAll();
    event->accept();
    QCoreApplication::quit();
}

}  // namespace korvel::gui
