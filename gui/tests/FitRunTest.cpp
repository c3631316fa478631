// A whole fit driven through the windows: the settings dialog, the Fitting
// Information window, Draw during the search, Ctrl+X and Ctrl+Q typed into the
// main window, the closing questions, the plot of the best fit and the result files.

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <vector>

#include "gui/FittingInfoWindow.h"
#include "gui/MainWindow.h"
#include "gui/PlotWindow.h"
#include "gui/tests/GuiTestFiles.h"
#include "gui/tests/ScriptedPrompts.h"

using namespace korvel;
using namespace korvel::gui;
using korvel::gui::testing::ReadFile;
using korvel::gui::testing::ScriptedPrompts;
using korvel::gui::testing::WriteFile;

namespace {

// A film on a substrate, its limits with thickness and roughness free, three-column
// data with fringes, and the command file that names them.
QString WriteFitProblem(const QTemporaryDir& dir) {
    WriteFile(dir.filePath("film.mdl"),
              "1.5406 0 0 0 0 0\r\n1 0 0 0\r\n"
              "120 1.0e-5 5.0e-7 4\r\n0 7.6e-6 1.7e-7 3\r\n");
    WriteFile(dir.filePath("film.lmt"),
              "60 200 20\r\n1e-6 2e-5 0\r\n1e-8 1e-6 0\r\n0 10 20\r\n"
              "0 1 0\r\n1e-6 2e-5 0\r\n1e-8 1e-6 0\r\n0 10 0\r\n");
    QByteArray data;
    for (int i = 1; i <= 80; ++i) {
        const double angle = 0.02 * i;
        const double intensity =
            angle < 0.25 ? 1.0 : std::pow(0.25 / angle, 4) * (1.0 + 0.3 * std::cos(angle * 60));
        data += QByteArray::number(angle) + " " + QByteArray::number(intensity, 'g', 8) + " " +
                QByteArray::number(0.05 * intensity, 'g', 8) + "\r\n";
    }
    WriteFile(dir.filePath("film.dat"), data);
    const QString command = dir.filePath("film.inp");
    WriteFile(command, "# a film on silicon\r\n" + dir.filePath("film.dat").toUtf8() +
                           "\r\nFit\r\nY\r\nY\r\n" + dir.filePath("film.mdl").toUtf8() + "\r\n" +
                           dir.filePath("film.lmt").toUtf8() + "\r\n1e-5\r\n3000\r\n0\r\nP\r\n");
    return command;
}

}  // namespace

class FitRunTest : public QObject {
    Q_OBJECT
  private slots:
    void AFitRunsThroughTheWindowsAndStopsFromTheKeyboard() {
        QTemporaryDir dir;
        const QString previous = QDir::currentPath();
        QDir::setCurrent(dir.path());  // where fitlog.txt goes
        ScriptedPrompts prompts;
        MainWindow main(prompts);
        main.show();
        prompts.OpenAnswers << WriteFitProblem(dir);
        main.ComFileNClick();
        main.Ws().Options.CreateFitLog = true;
        main.Ws().Options.Seed = 7;

        bool sentX = false;
        bool sentQ = false;
        bool drawWasEnabled = false;
        bool runItemsWereDisabled = false;
        bool infoWasShown = false;
        QString termMessAfterCtrlX;
        std::vector<double> trialCurve;
        QTimer keys;
        keys.setInterval(0);
        connect(&keys, &QTimer::timeout, [&] {
            if (!main.RunActive()) return;
            const QString phase = main.FormInfo().Field(FittingField::LocGlob)->text();
            if (!sentX && phase == "Local") {
                drawWasEnabled = main.Action("draw1")->isEnabled();
                runItemsWereDisabled = !main.Action("Fitting1")->isEnabled() &&
                                       !main.Action("Simulation1")->isEnabled();
                infoWasShown = main.FormInfo().isVisible();
                main.draw1Click();
                QTest::keyClick(&main, Qt::Key_X, Qt::ControlModifier);
                sentX = true;
            } else if (sentX && !sentQ && phase == "Descend") {
                termMessAfterCtrlX = main.FormInfo().Field(FittingField::TermMess)->text();
                main.draw1Click();  // a trial curve of the tunnelling step
                trialCurve = main.GrphRefl().Curves().SmearedCurve;
                QTest::keyClick(&main, Qt::Key_Q, Qt::ControlModifier);
                sentQ = true;
            }
        });
        keys.start();
        main.Action("Fitting1")->trigger();
        keys.stop();
        QDir::setCurrent(previous);

        QVERIFY2(prompts.Warnings.isEmpty(), qPrintable(prompts.Warnings.join("; ")));
        QCOMPARE(prompts.Shown.first(), QString("ComFile"));
        QVERIFY(prompts.Shown.contains("FormNewton"));
        QVERIFY(prompts.Shown.contains("FormUncertainty"));
        QCOMPARE(prompts.Asked,
                 (QStringList{"End of Global Fitting", "Done!!!   Press OK to continue"}));
        QVERIFY(sentX);
        QVERIFY(drawWasEnabled);
        QVERIFY(runItemsWereDisabled);
        QVERIFY(infoWasShown);
        QVERIFY(sentQ);
        QCOMPARE(termMessAfterCtrlX, QString("Amoeba has been canceled by user. "));
        QVERIFY(main.GrphRefl().HasCurves());
        // The plot of the best fit shows the best curve, not the trial drawn last.
        QVERIFY(!trialCurve.empty());
        QVERIFY(trialCurve != main.Ws().Curves.BestCurve);
        QVERIFY(main.GrphRefl().Curves().SmearedCurve == main.Ws().Curves.BestCurve);
        // After the run: the windows are tidied and the menus back.
        QVERIFY(!main.FormInfo().isVisible());
        QVERIFY(!main.Action("draw1")->isEnabled());
        QVERIFY(main.Action("Fitting1")->isEnabled());
        QVERIFY(main.TmpMessage()->isHidden());
        QCOMPARE(main.LastKey(), 0);
        // The result files beside the model, and the log the Options box asked for.
        QVERIFY(ReadFile(dir.filePath("film.bst")).contains("Norma   = "));
        QVERIFY(!ReadFile(dir.filePath("film.pct")).isEmpty());
        const QByteArray loc = ReadFile(dir.filePath("film.loc"));
        QCOMPARE(loc.count("\r\n"), 1);  // one local run, then the stop
        QVERIFY(loc.contains("Xi="));
        QVERIFY(QFile::exists(dir.filePath("fitlog.txt")));
        QVERIFY(!ReadFile(dir.filePath("fitlog.txt")).isEmpty());
    }

    void TheRunsWarningsShowInTheStatusLineUntilTheNextRun() {
        QTemporaryDir dir;
        ScriptedPrompts prompts;
        MainWindow main(prompts);
        main.show();
        const QString command = WriteFitProblem(dir);
        // One local run of no iterations, and limits that stop after the film's rows.
        QByteArray text = ReadFile(command);
        text.replace("\r\n3000\r\n", "\r\n0\r\n");
        QVERIFY(WriteFile(command, text));
        const QByteArray limits = ReadFile(dir.filePath("film.lmt"));
        QVERIFY(WriteFile(dir.filePath("film.lmt"), limits.left(limits.indexOf("0 1 0"))));
        prompts.OpenAnswers << command;
        main.ComFileNClick();
        main.Ws().Options.Seed = 7;

        main.Action("Fitting1")->trigger();
        QVERIFY2(prompts.Warnings.isEmpty(), qPrintable(prompts.Warnings.join("; ")));
        const QString shown = main.WarningLine()->text();
        QVERIFY2(shown.contains("the limits file ends before the limits of [Thickness:2] "
                                "(layer 2, column 1)"),
                 qPrintable(shown));
        QVERIFY(shown.startsWith(dir.filePath("film.lmt")));
        QCOMPARE(main.WarningLine()->toolTip(), shown);
        QVERIFY(main.statusBar()->isVisible());
        // The label and the menus are the ones they were.
        QVERIFY(main.TmpMessage()->isHidden());
        QCOMPARE(main.TmpMessage()->pos(), QPoint(120, 8));
        QCOMPARE(main.TmpMessage()->parentWidget(), main.centralWidget());
        QVERIFY(ReadFile(dir.filePath("film.bst")).contains("Norma   = "));

        QVERIFY(WriteFile(dir.filePath("film.lmt"), limits));
        main.Action("Fitting1")->trigger();
        QCOMPARE(main.WarningLine()->text(), QString());
    }

    void AFitWhoseFilesAreMissingIsReportedAndTheProgramStays() {
        QTemporaryDir dir;
        ScriptedPrompts prompts;
        MainWindow main(prompts);
        main.show();
        const QString command = dir.filePath("run.inp");
        QVERIFY(WriteFile(command, dir.filePath("none.dat").toUtf8() + "\r\nFit\r\nY\r\nY\r\n" +
                                       dir.filePath("none.mdl").toUtf8() + "\r\n"));
        prompts.OpenAnswers << command;
        main.ComFileNClick();
        main.Action("Fitting1")->trigger();
        QCOMPARE(prompts.Warnings.size(), 1);
        QVERIFY2(prompts.Warnings[0].startsWith("File not found."),
                 qPrintable(prompts.Warnings[0]));
        QVERIFY(main.isVisible());
        QVERIFY(main.Action("Fitting1")->isEnabled());
        QVERIFY(main.Action("Simulation1")->isEnabled());
    }
};

QTEST_MAIN(FitRunTest)
#include "FitRunTest.moc"
