// The main window: its windows, menus, LastKey, the run guard and closing.

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

#include "base/RunError.h"
#include "gui/ChoiceDialog.h"
#include "gui/FittingInfoWindow.h"
#include "gui/MainWindow.h"
#include "gui/PlotWindow.h"
#include "gui/SimulationDialog.h"
#include "gui/SmallDialogs.h"
#include "gui/tests/ScriptedPrompts.h"

using namespace korvel;
using namespace korvel::gui;
using korvel::gui::testing::ScriptedPrompts;

class MainWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void CreatesTheTwelveWindowsOnceInOrder() {
        ScriptedPrompts prompts;
        MainWindow main(prompts);
        QStringList captions;
        for (QWidget* w : main.Windows()) captions << w->windowTitle();
        QCOMPARE(captions,
                 (QStringList{"  Korvel", "Fitting Infor", "Command File Parameters",
                              "About Program", "   Simplex Initialization ", "   Make your Choise",
                              " Make your Choice", "   Plot of Experimental data and the best fit ",
                              "   Choose weighting metod", " Simulation Settings", "   History",
                              "Options"}));
        for (QWidget* w : main.Windows())
            if (w != &main) QVERIFY(!w->isVisible());
    }

    void MenusHaveTheirCaptionsAndInitialStates() {
        ScriptedPrompts prompts;
        MainWindow main(prompts);
        QStringList tops;
        for (QAction* a : main.menuBar()->actions()) tops << a->text();
        QCOMPARE(tops, (QStringList{"&File", "&Run", "&Help", "&Draw", "Tools"}));
        const std::pair<const char*, const char*> items[] = {{"Open1", "&Open ( View/Edit )"},
                                                             {"New1", "&New  ( View/Edit )"},
                                                             {"ComFileN", "&Set Command File"},
                                                             {"Exit1", "&Exit"},
                                                             {"Fitting1", "Fitting"},
                                                             {"Simulation1", "Simulation"},
                                                             {"History1", "History"},
                                                             {"HelpTopic1", "Help Topic"},
                                                             {"About", "&About"},
                                                             {"Options", "Options"}};
        for (auto [name, caption] : items) {
            QVERIFY2(main.Action(name), name);
            QCOMPARE(main.Action(name)->text(), QString::fromLatin1(caption));
        }
        QVERIFY(!main.Action("Fitting1")->isEnabled());
        QVERIFY(main.Action("Simulation1")->isEnabled());
        QVERIFY(!main.Action("draw1")->isEnabled());
        QVERIFY(main.Action("draw1")->menu() == nullptr);
        QCOMPARE(main.TmpMessage()->pos(), QPoint(120, 8));
    }

    void FittingIsEnabledOnlyOnceACommandFileIsSet() {
        ScriptedPrompts prompts;
        MainWindow main(prompts);
        main.ComFileNClick();  // cancelled
        QVERIFY(!main.Action("Fitting1")->isEnabled());
        prompts.OpenAnswers << "/data/run.inp";
        main.ComFileNClick();
        QVERIFY(main.Action("Fitting1")->isEnabled());
        QCOMPARE(main.Ws().Settings.CommandFileName, std::string("/data/run.inp"));
    }

    void HelpTopicDoesNothing() {
        ScriptedPrompts prompts;
        MainWindow main(prompts);
        main.show();
        main.Action("HelpTopic1")->trigger();
        QVERIFY(prompts.Shown.isEmpty());
        QVERIFY(prompts.Asked.isEmpty());
        for (QWidget* w : main.Windows())
            if (w != &main) QVERIFY(!w->isVisible());
    }

    void TheHistoryReadsWithoutScrolling() {
        ScriptedPrompts prompts;
        MainWindow main(prompts);
        QListWidget* list = main.FormHistory().ListBox1;
        main.FormHistory().show();
        QVERIFY(QTest::qWaitForWindowExposed(&main.FormHistory()));
        QCOMPARE(list->verticalScrollBar()->maximum(), 0);
        main.FormHistory().hide();
    }

    void TheModelButtonOfTheSimulationDialogSitsBesideItsField() {
        ScriptedPrompts prompts;
        MainWindow main(prompts);
        SimulationDialog& dialog = main.SimulForm();
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const QWidget* button = dialog.findChild<QWidget*>("MFNBitBtn");
        const QWidget* field = dialog.findChild<QWidget*>("EModelFN");
        QVERIFY(button && field);
        QVERIFY2(field->geometry().left() - button->geometry().right() <= 12,
                 "a gap between the glyph button and the model file name");
        dialog.hide();
    }

    void SmallDialogsShowModallyAndOptionsDriveTheFitLog() {
        ScriptedPrompts prompts;
        MainWindow main(prompts);
        main.Action("History1")->trigger();
        main.Action("About")->trigger();
        QCOMPARE(prompts.Shown, (QStringList{"FormHistory", "FormAbout"}));
        QCOMPARE(main.FormHistory().ListBox1->count(), 26);
        QCOMPARE(main.FormHistory().ListBox1->item(25)->text(),
                 QString("  (plot did not update the Qz scale )"));
        QVERIFY(!main.Ws().Options.CreateFitLog);
        prompts.OnExec = [](QDialog& d) {
            d.findChild<QCheckBox*>("CB_FitLog")->setChecked(true);
            return int(QDialog::Accepted);
        };
        main.Action("Options")->trigger();
        QVERIFY(main.Ws().Options.CreateFitLog);
        bool shownChecked = false;
        prompts.OnExec = [&](QDialog& d) {
            shownChecked = d.findChild<QCheckBox*>("CB_FitLog")->isChecked();
            d.findChild<QCheckBox*>("CB_FitLog")->setChecked(false);
            return int(QDialog::Rejected);
        };
        main.Action("Options")->trigger();
        QVERIFY(shownChecked);  // the dialog shows the setting
        QVERIFY(!main.Ws().Options.CreateFitLog);
    }

    void OptionsChooseTheGlobalSearchAndKeepTunnellingAsTheDefault() {
        ScriptedPrompts prompts;
        MainWindow main(prompts);
        QVERIFY(main.Ws().Options.Search.Method == korvel::SearchMethod::Tunnelling);
        QString shown;
        prompts.OnExec = [&](QDialog& d) {
            auto* box = d.findChild<QComboBox*>("CB_GlobalSearch");
            shown = box->currentText();
            box->setCurrentIndex(box->findText("Differential evolution (self-adaptive)"));
            return int(QDialog::Accepted);
        };
        main.Action("Options")->trigger();
        QCOMPARE(shown, QString("Tunnelling"));
        QVERIFY(main.Ws().Options.Search.Method == korvel::SearchMethod::SelfAdaptiveDe);
        prompts.OnExec = [&](QDialog& d) {
            shown = d.findChild<QComboBox*>("CB_GlobalSearch")->currentText();
            return int(QDialog::Accepted);
        };
        main.Action("Options")->trigger();
        QCOMPARE(shown, QString("Differential evolution (self-adaptive)"));
        QVERIFY(!main.Ws().Options.CreateFitLog);  // the other option is left alone
    }

    void LastKeyHoldsTheLastControlCharacter() {
        ScriptedPrompts prompts;
        MainWindow main(prompts);
        main.show();
        QCOMPARE(main.LastKey(), 0);
        QTest::keyClick(&main, Qt::Key_Q, Qt::ControlModifier);
        QCOMPARE(main.LastKey(), 17);
        QTest::keyClick(&main, Qt::Key_Q);
        QCOMPARE(main.LastKey(), 0);
        QTest::keyClick(&main, Qt::Key_Return);
        QCOMPARE(main.LastKey(), 13);
        QTest::keyClick(&main, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(main.LastKey(), 24);
        QTest::keyClick(&main, Qt::Key_Shift);  // types no character
        QCOMPARE(main.LastKey(), 24);
        // Keys typed into an editor are the editor's own.
        EditForm* editor = main.NewEditor();
        QTest::keyClick(editor->Editor(), Qt::Key_A);
        QCOMPARE(main.LastKey(), 24);
    }

    void SimulationClosedByItsCloseButtonStillRuns() {
        ScriptedPrompts prompts;
        MainWindow main(prompts);
        QTemporaryDir dir;
        const QString model = dir.filePath("film.mdl");
        QVERIFY(WriteFile(model,
                          "1.5406 0 0 0 0 0\r\n1 0 0 0\r\n100 7.6e-6 1.7e-7 3\r\n"
                          "0 7.6e-6 1.7e-7 3\r\n"));
        prompts.OnExec = [&](QDialog& d) {
            d.findChild<QLineEdit*>("EModelFN")->setText(model);
            d.findChild<QLineEdit*>("EditNIntervals")->setText("20");
            d.show();
            d.close();  // the window's close button
            return d.result();
        };
        main.Action("Simulation1")->trigger();
        QCOMPARE(prompts.Shown, QStringList{"SimulForm"});
        QVERIFY2(prompts.Warnings.isEmpty(), qPrintable(prompts.Warnings.join("; ")));
        QVERIFY(QFile::exists(dir.filePath("film.sml")));
        QCOMPARE(main.Ws().SimulationDialog.EditNIntervals, std::string("20"));
        QVERIFY(main.GrphRefl().isVisible());
        QVERIFY(main.GrphRefl().HasCurves());
        QVERIFY(!main.Action("draw1")->isEnabled());
        QVERIFY(main.Action("Simulation1")->isEnabled());
    }

    void AFailedRunShowsItsMessageAndTheProgramStaysOpen() {
        ScriptedPrompts prompts;
        MainWindow main(prompts);
        main.show();
        prompts.OnExec = [](QDialog& d) {
            d.findChild<QLineEdit*>("EModelFN")->setText("/no/such/folder/missing.mdl");
            return int(QDialog::Accepted);
        };
        main.Action("Simulation1")->trigger();
        QCOMPARE(prompts.Warnings.size(), 1);
        QVERIFY2(prompts.Warnings[0].startsWith("File not found.") ||
                     prompts.Warnings[0].startsWith("Path not found."),
                 qPrintable(prompts.Warnings[0]));
        QVERIFY(prompts.Warnings[0].contains("missing.mdl"));
        QVERIFY(main.isVisible());
        QVERIFY(main.Action("Simulation1")->isEnabled());
        QVERIFY(!main.Action("draw1")->isEnabled());
    }

    void ABadNumberInTheSimulationSettingsIsReportedBeforeAnyRun() {
        ScriptedPrompts prompts;
        MainWindow main(prompts);
        prompts.OnExec = [](QDialog& d) {
            d.findChild<QLineEdit*>("EditQzMAX")->setText("abc");
            return int(QDialog::Accepted);
        };
        main.Action("Simulation1")->trigger();
        QCOMPARE(prompts.Warnings, QStringList{"'abc' is not a valid floating point value"});
        QVERIFY(!main.GrphRefl().HasCurves());
    }

    void SimulationSettingsAreReadWithTheUsersLocale() {
        SimulationSettingsRecord r;
        r.EditQzMin = "0,25";
        r.EditQzMAX = "1,5";
        r.EditNIntervals = "50";
        r.CalculationFPM = 1;
        r.QzFormat = 1;
        const auto request = ParseSimulationSettings(r, QLocale(QLocale::German));
        QCOMPARE(request.Lower, 0.25);
        QCOMPARE(request.Upper, 1.5);
        QCOMPARE(request.Intervals, 50LL);
        QCOMPARE(request.CalculationMode, 'P');
        QVERIFY(request.QzInverseAngstrom);
        r.EditQzMin = "0.25";
        r.EditQzMAX = "1.5";
        QCOMPARE(ParseSimulationSettings(r, QLocale::c()).Lower, 0.25);
        r.EditNIntervals = "1.5";
        try {
            ParseSimulationSettings(r, QLocale::c());
            QFAIL("no error");
        } catch (const RunError& e) {
            QCOMPARE(e.Message(), std::string("'1.5' is not a valid integer value"));
        }
    }

    void DigitGroupSeparatorsAreRefusedNotTakenAsThousands() {
        const auto refused = [](const char* max, const char* intervals, const QLocale& locale) {
            SimulationSettingsRecord r;
            r.EditQzMAX = max;
            r.EditNIntervals = intervals;
            try {
                ParseSimulationSettings(r, locale);
            } catch (const RunError& e) {
                return e.Message();
            }
            return std::string("accepted");
        };
        const QLocale german(QLocale::German, QLocale::Germany);
        const QLocale english(QLocale::English, QLocale::UnitedStates);
        QCOMPARE(refused("1.000", "100", german),
                 std::string("'1.000' is not a valid floating point value"));
        QCOMPARE(refused("1,000", "100", english),
                 std::string("'1,000' is not a valid floating point value"));
        QCOMPARE(refused("1", "1.000", german), std::string("'1.000' is not a valid integer value"));
        QCOMPARE(refused("1", "1,000", english), std::string("'1,000' is not a valid integer value"));
        QCOMPARE(refused("1,5", "1000", german), std::string("accepted"));
    }

    void ClosingAsksForEveryModifiedEditorAndCancelKeepsTheProgram() {
        ScriptedPrompts prompts;
        MainWindow main(prompts);
        main.show();
        EditForm* clean = main.NewEditor();
        EditForm* first = main.NewEditor();
        EditForm* second = main.NewEditor();
        first->Editor()->insertPlainText("one");
        second->Editor()->insertPlainText("two");
        prompts.AskAnswers = {QMessageBox::No, QMessageBox::Cancel};
        QVERIFY(!main.close());
        QCOMPARE(prompts.Asked,
                 (QStringList{"Save changes to Untitled?", "Save changes to Untitled?"}));
        QVERIFY(main.isVisible());
        QCOMPARE(main.Editors().size(), std::size_t(3));
        QVERIFY(first->Modified());  // its "No" is not acted on while the close is cancelled
        prompts.AskAnswers = {QMessageBox::No, QMessageBox::No};
        QVERIFY(main.close());
        QVERIFY(!clean->isVisible());
        QCOMPARE(prompts.Asked.size(), 4);
    }

    void DrawShowsThePlotAndDrawsOnlyDuringARun() {
        ScriptedPrompts prompts;
        MainWindow main(prompts);
        main.Ws().Curves.Resize(2);
        main.Ws().Curves.Angle = {0, 1};
        main.Ws().Curves.MeasuredIntensity = {1, 0.1};
        main.Ws().Curves.SmearedCurve = {1, 0.1};
        main.draw1Click();
        QVERIFY(main.GrphRefl().isVisible());
        QVERIFY(!main.GrphRefl().HasCurves());
        main.SetDrawEnabled(true);
        main.draw1Click();
        QVERIFY(main.GrphRefl().HasCurves());
    }

    void DrawBringsACoveredPlotToTheFront() {
        ScriptedPrompts prompts;
        MainWindow main(prompts);
        main.show();
        main.draw1Click();
        QVERIFY(QTest::qWaitForWindowActive(&main.GrphRefl()));
        EditForm* editor = main.NewEditor();  // opens over the plot
        editor->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(editor));
        main.draw1Click();
        QVERIFY(QTest::qWaitForWindowActive(&main.GrphRefl()));
        QCOMPARE(QApplication::activeWindow(), static_cast<QWidget*>(&main.GrphRefl()));
    }

  private:
    static bool WriteFile(const QString& path, const QByteArray& content) {
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.write(content) == content.size();
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
