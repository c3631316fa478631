// The views of a run in the desktop program: the plot window's right-click entries,
// the three windows they open after a fit, their saved images, the status line that
// names the result files, and the settings dialog that cancels the fit or marks the
// simulation's choices.

#include <QAction>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>

#include "gui/CommandFileDialog.h"
#include "gui/FitViewWindow.h"
#include "gui/FitViews.h"
#include "gui/FittedValuesWindow.h"
#include "gui/MainWindow.h"
#include "gui/PlotWindow.h"
#include "gui/ProfileWindow.h"
#include "gui/tests/GuiTestFiles.h"
#include "gui/tests/ScriptedPrompts.h"

using namespace korvel;
using namespace korvel::gui;
using korvel::gui::testing::ReadFile;
using korvel::gui::testing::ScriptedPrompts;
using korvel::gui::testing::WriteFile;

namespace {

// A film fit of one short local run: data, model, limits and the command file.
QString WriteShortFit(const QTemporaryDir& dir) {
    WriteFile(dir.filePath("film.mdl"),
              "1.5406 0 0 0 0 0\r\n1 0 0 0\r\n120 1.0e-5 5.0e-7 4\r\n0 7.6e-6 1.7e-7 3\r\n");
    WriteFile(dir.filePath("film.lmt"),
              "60 200 20\r\n0 0 0\r\n0 0 0\r\n0 10 20\r\n0 0 0\r\n0 0 0\r\n0 0 0\r\n0 0 0\r\n");
    QByteArray data;
    for (int i = 1; i <= 60; ++i) {
        const double angle = 0.03 * i;
        const double intensity = angle < 0.25 ? 1.0 : std::pow(0.25 / angle, 4);
        data += QByteArray::number(angle) + " " + QByteArray::number(intensity, 'g', 8) + " " +
                QByteArray::number(0.05 * intensity, 'g', 8) + "\r\n";
    }
    WriteFile(dir.filePath("film.dat"), data);
    const QString command = dir.filePath("film.inp");
    WriteFile(command, dir.filePath("film.dat").toUtf8() + "\r\nFit\r\nY\r\nY\r\n" +
                           dir.filePath("film.mdl").toUtf8() + "\r\n" +
                           dir.filePath("film.lmt").toUtf8() + "\r\n1e-5\r\n0\r\n0\r\nP\r\n");
    return command;
}

QAction* Entry(QMenu& menu, const char* name) {
    return menu.findChild<QAction*>(QString::fromLatin1(name));
}

}  // namespace

class FitViewsTest : public QObject {
    Q_OBJECT
  private slots:
    void TheViewsOpenFromThePlotsMenuOnceAFitHasEnded() {
        QTemporaryDir dir;
        ScriptedPrompts prompts;
        MainWindow main(prompts);
        main.show();
        {
            QMenu menu;
            main.GrphRefl().FillContextMenu(menu);
            QVERIFY(Entry(menu, "SaveImage")->isEnabled());
            for (const char* name : {"FitViewItem", "ProfileItem", "FittedValuesItem"})
                QVERIFY2(!Entry(menu, name)->isEnabled(), name);
        }
        prompts.OpenAnswers << WriteShortFit(dir);
        main.ComFileNClick();
        main.Ws().Options.Seed = 3;
        main.Action("Fitting1")->trigger();
        QVERIFY2(prompts.Warnings.isEmpty(), qPrintable(prompts.Warnings.join("; ")));

        // The status line says where the result files went.
        QVERIFY(main.ResultLine()->isVisible());
        QVERIFY2(main.ResultLine()->text().startsWith("Results: " + dir.filePath("film.bst")),
                 qPrintable(main.ResultLine()->text()));
        QVERIFY(main.ResultLine()->text().endsWith("film.pct, film.loc"));

        QMenu menu;
        main.GrphRefl().FillContextMenu(menu);
        QStringList texts;
        for (QAction* action : menu.actions())
            if (!action->isSeparator()) texts << action->text();
        QCOMPARE(texts, (QStringList{"Save image...", "Fit view", "Profile", "Fitted values"}));
        Entry(menu, "FitViewItem")->trigger();
        Entry(menu, "ProfileItem")->trigger();
        Entry(menu, "FittedValuesItem")->trigger();
        FitViews& views = main.Views();
        for (ViewWindow* window : std::initializer_list<ViewWindow*>{
                 &views.FitView(), &views.Profile(), &views.FittedValues()}) {
            QVERIFY2(window->isVisible(), qPrintable(window->objectName()));
            QVERIFY(window->HasContent());
            // None of them covers the main window's menus.
            QVERIFY(!window->frameGeometry().intersects(main.menuBar()->geometry().translated(
                main.geometry().topLeft())));
        }

        // A PNG at twice the window's size is drawn at that size; an SVG as well.
        FitViewWindow& fit = views.FitView();
        const QString png = dir.filePath("fit.png");
        QVERIFY(fit.SaveImage(png, 2));
        QCOMPARE(QImage(png).size(), fit.size() * 2);
        QVERIFY(fit.SaveImage(dir.filePath("fit.svg")));
        QFile svg(dir.filePath("fit.svg"));
        QVERIFY(svg.open(QIODevice::ReadOnly));
        QVERIFY(svg.readAll().contains("Reflectivity R"));

        // A new fit's dialog closed with its close button: nothing read or written, and the
        // old views gone.
        QFile::remove(dir.filePath("film.bst"));
        prompts.OnExec = [](QDialog& dialog) {
            return dialog.objectName() == "ComFile" ? int(QDialog::Rejected)
                                                    : int(QDialog::Accepted);
        };
        main.Action("Fitting1")->trigger();
        QVERIFY(!QFile::exists(dir.filePath("film.bst")));
        QCOMPARE(main.ResultLine()->text(),
                 QString("Fit cancelled: no data read, no file written."));
        QVERIFY(!views.Report().Fit);
        QVERIFY(main.Action("Fitting1")->isEnabled());
    }

    void TheSettingsDialogMarksTheChoicesASimulationLeft() {
        QTemporaryDir dir;
        ScriptedPrompts prompts;
        MainWindow main(prompts);
        prompts.OpenAnswers << WriteShortFit(dir);
        main.ComFileNClick();
        main.Ws().CommandFileDialog.QzFormatFromSimulation = true;
        main.Ws().CommandFileDialog.DensityUnitsFromSimulation = true;
        bool qzNote = false;
        bool unitsNote = false;
        prompts.OnExec = [&](QDialog& dialog) {
            if (dialog.objectName() == "ComFile") {
                qzNote = !dialog.findChild<QLabel*>("QzFormatNote")->isHidden();
                unitsNote = !dialog.findChild<QLabel*>("DensityUnitsNote")->isHidden();
            }
            return int(QDialog::Accepted);
        };
        main.Action("Fitting1")->trigger();
        QVERIFY(qzNote);
        QVERIFY(unitsNote);
        // Accepted once, they are the user's own choices.
        QVERIFY(!main.Ws().CommandFileDialog.QzFormatFromSimulation);
        QVERIFY(!main.Ws().CommandFileDialog.DensityUnitsFromSimulation);
    }
};

QTEST_MAIN(FitViewsTest)
#include "FitViewsTest.moc"
