// Screenshots for the README, taken from the real windows during a real fit.

#include "gui/Screenshots.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QPixmap>
#include <QTimer>
#include <cstdio>

#include "app/CommandFile.h"
#include "base/RunError.h"
#include "gui/CommandFileDialog.h"
#include "gui/FitViewWindow.h"
#include "gui/FitViews.h"
#include "gui/FittedValuesWindow.h"
#include "gui/ProfileWindow.h"
#include "gui/FittingInfoWindow.h"
#include "gui/MainWindow.h"
#include "gui/PlotWindow.h"
#include "gui/RunErrorText.h"
#include "gui/UserPrompts.h"

namespace korvel::gui {
namespace {

// Plays the user: every dialog is shown briefly and accepted with what it holds;
// message boxes are answered OK; failures are printed.
class ScreenshotPrompts : public UserPrompts {
  public:
    int Exec(QDialog& dialog) override {
        dialog.show();
        Settle();
        dialog.hide();
        return QDialog::Accepted;
    }
    QMessageBox::StandardButton Ask(QWidget*, const QString&, QMessageBox::StandardButtons buttons,
                                    std::optional<QPoint>) override {
        return (buttons & QMessageBox::Ok) ? QMessageBox::Ok : QMessageBox::No;
    }
    void Warn(QWidget*, const QString& text) override {
        std::fprintf(stderr, "korvel: %s\n", qPrintable(text));
        failed = true;
    }
    static void Settle() {
        for (int i = 0; i < 5; ++i) QApplication::processEvents();
    }
    bool failed = false;
};

bool Save(QWidget& window, const QString& folder, const char* name) {
    ScreenshotPrompts::Settle();
    const QString path = QDir(folder).filePath(QString::fromLatin1(name));
    if (window.grab().save(path)) {
        std::printf("%s\n", qPrintable(path));
        return true;
    }
    std::fprintf(stderr, "korvel: cannot write %s\n", qPrintable(path));
    return false;
}

}  // namespace

int TakeScreenshots(const QString& folder, const QString& commandFile) {
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "korvel: cannot create %s\n", qPrintable(folder));
        return 1;
    }
    ScreenshotPrompts prompts;
    MainWindow main(prompts);
    main.move(40, 20);
    main.show();
    bool ok = true;

    // The settings dialog as a fit shows it, filled from the command file.
    Workspace& ws = main.Ws();
    ws.Settings.CommandFileName = QDir().absoluteFilePath(commandFile).toStdString();
    try {
        ReadCommandFile(ws);
    } catch (const RunError& e) {
        std::fprintf(stderr, "korvel: %s\n", qPrintable(RunErrorText(e)));
        return 1;
    }
    SettingsToDialog(ws.Settings, ws.CommandFileDialog);
    main.ComFile().FromRecord(ws.CommandFileDialog);
    main.ComFile().show();
    ok = Save(main.ComFile(), folder, "command-file-dialog.png") && ok;
    main.ComFile().hide();

    // The fit itself: the information and main windows are taken a moment into the search,
    // and the search is ended with Ctrl+Q a little later, as a user would.
    bool infoTaken = false;
    QTimer grabInfo;
    grabInfo.setSingleShot(true);
    QObject::connect(&grabInfo, &QTimer::timeout, [&] {
        // The main window shows its Ctrl+Q hint while the search runs.
        infoTaken = Save(main.FormInfo(), folder, "fitting-information.png") &&
                    Save(main, folder, "main-window.png");
    });
    QTimer stop;
    stop.setSingleShot(true);
    QObject::connect(&stop, &QTimer::timeout, [&] { main.SetLastKey(17); });
    grabInfo.start(1500);
    stop.start(6000);
    main.Fitting1Click();
    if (prompts.failed) return 1;
    if (!infoTaken)
        ok = Save(main.FormInfo(), folder, "fitting-information.png") &&
             Save(main, folder, "main-window.png") && ok;
    ok = Save(main.GrphRefl(), folder, "plot.png") && ok;

    // The three views of the fit, as the plot window's right-click menu opens them.
    FitViews& views = main.Views();
    if (!views.Report().Fit) {
        std::fprintf(stderr, "korvel: the fit left no views to take\n");
        return 1;
    }
    views.ShowFitView();
    ok = Save(views.FitView(), folder, "fit-view.png") && ok;
    views.ShowProfile();
    ok = Save(views.Profile(), folder, "profile.png") && ok;
    views.ShowFittedValues();
    ok = Save(views.FittedValues(), folder, "fitted-values.png") && ok;
    return ok ? 0 : 1;
}

}  // namespace korvel::gui
