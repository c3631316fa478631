// The settings dialogs and the run windows: records in and out, enabling, colours.

#include <QAbstractButton>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include "app/CommandFile.h"
#include "gui/ChoiceDialog.h"
#include "gui/CommandFileDialog.h"
#include "gui/FittingInfoWindow.h"
#include "gui/MainWindow.h"
#include "gui/RadioGroup.h"
#include "gui/SimplexInitWindow.h"
#include "gui/UserPrompts.h"
#include "gui/WeightingDialog.h"
#include "gui/WindowRunInterface.h"
#include "gui/tests/GuiTestFiles.h"
#include "gui/tests/ScriptedPrompts.h"

using namespace korvel;
using namespace korvel::gui;
using korvel::gui::testing::ReadFile;
using korvel::gui::testing::ScriptedPrompts;
using korvel::gui::testing::WriteFile;

namespace {

// A command file naming a model with `repeatLayers` layers in its repeat unit.
QString CommandFileIn(const QTemporaryDir& dir, const char* modeLetter, int repeatLayers) {
    const QString model = dir.filePath("m.mdl");
    WriteFile(model, QByteArray("1.54 0 0 0 0 0\r\n1 ") + QByteArray::number(repeatLayers) + " 0 " +
                         (repeatLayers ? "10" : "0") +
                         "\r\n10 1e-6 1e-8 1\r\n10 1e-6 1e-8 1\r\n0 1e-6 1e-8 1\r\n");
    const QString command = dir.filePath("run.inp");
    WriteFile(command, "# test\r\n" + dir.filePath("d.dat").toUtf8() + "\r\nFit\r\nY\r\nY\r\n" +
                           model.toUtf8() + "\r\n" + dir.filePath("m.lmt").toUtf8() +
                           "\r\n1e-5\r\n500\r\n0\r\n" + modeLetter + "\r\n");
    return command;
}

template <typename T>
T* Child(QWidget& parent, const char* name) {
    T* child = parent.findChild<T*>(QString::fromLatin1(name));
    if (!child) qFatal("no child %s", name);
    return child;
}

}  // namespace

class DialogsTest : public QObject {
    Q_OBJECT
  private slots:
    void CommandFileDialogStartsWithItsInitialValues() {
        Workspace ws;
        ScriptedPrompts prompts;
        CommandFileDialog dialog(ws, prompts);
        QCOMPARE(dialog.windowTitle(), QString("Command File Parameters"));
        for (const char* name : {"EComFN", "EExpDataFN", "EModelFN", "ELimitsFN"})
            QCOMPARE(Child<QLineEdit>(dialog, name)->text(), QString("indefined"));
        QCOMPARE(Child<QLineEdit>(dialog, "ETolerance")->text(), QString("1.0e-5"));
        QCOMPARE(Child<QLineEdit>(dialog, "EMaxIter")->text(), QString("65000"));
        QCOMPARE(Child<QLineEdit>(dialog, "ECutOffLevel")->text(), QString("0"));
        const std::tuple<const char*, const char*, int> groups[] = {
            {"SimFit", "  Mode of Work  ", 0},       {"ScaleNY", "  Is Data Scaled ?  ", 1},
            {"UncertaintySG", "  Uncertainty  ", 1}, {"CalculationFPM", "  Calculation Mode  ", 2},
            {"QzFormat", "  Qz Format  ", 0},        {"RULength", "  Repeat Unit Length  ", 0},
            {"DensityUnits", "  Density Units  ", 0}};
        for (auto [name, title, item] : groups) {
            QCOMPARE(Child<RadioGroup>(dialog, name)->title(), QString::fromLatin1(title));
            QCOMPARE(Child<RadioGroup>(dialog, name)->ItemIndex(), item);
        }
        QCOMPARE(Child<RadioGroup>(dialog, "DensityUnits")->Count(), 4);
        CommandFileDialogRecord record;
        CommandFileDialogRecord fresh;
        record.EModelFN = "changed";
        dialog.ToRecord(record);
        QCOMPARE(record.EModelFN, fresh.EModelFN);
        QCOMPARE(record.CalculationFPM, fresh.CalculationFPM);
        QCOMPARE(record.ScaleNY, fresh.ScaleNY);
    }

    void CommandFileButtonReadsTheFileIntoTheDialog() {
        QTemporaryDir dir;
        Workspace ws;
        ScriptedPrompts prompts;
        CommandFileDialog dialog(ws, prompts);
        prompts.OpenAnswers << CommandFileIn(dir, "parratt", 1);
        dialog.CFNBitBtnClick();
        QVERIFY2(prompts.Warnings.isEmpty(), qPrintable(prompts.Warnings.join(";")));
        QCOMPARE(Child<RadioGroup>(dialog, "CalculationFPM")->ItemIndex(), 1);
        QCOMPARE(Child<RadioGroup>(dialog, "SimFit")->ItemIndex(), 1);
        QCOMPARE(Child<QLineEdit>(dialog, "ETolerance")->text(), QString(" 1.000000E-0005"));
        QCOMPARE(Child<QLineEdit>(dialog, "EMaxIter")->text(), QString("500"));
        QCOMPARE(Child<QLineEdit>(dialog, "EModelFN")->text(), dir.filePath("m.mdl"));
        QVERIFY(Child<RadioGroup>(dialog, "RULength")->isEnabled());
        CommandFileDialogRecord record;
        dialog.ToRecord(record);
        DialogToSettings(record, ws.Settings);
        QCOMPARE(ws.Settings.CalculationMode, 'P');
    }

    void AnUnknownModeLetterLeavesTheDialogsModeAndClosingSetsTheRecord() {
        QTemporaryDir dir;
        Workspace ws;
        ScriptedPrompts prompts;
        CommandFileDialog dialog(ws, prompts);
        Child<RadioGroup>(dialog, "CalculationFPM")->SetItemIndex(0);  // Fourier
        prompts.OpenAnswers << CommandFileIn(dir, "X", 1);
        dialog.CFNBitBtnClick();
        QCOMPARE(Child<RadioGroup>(dialog, "CalculationFPM")->ItemIndex(), 0);
        QCOMPARE(ws.Settings.CalculationMode, 'X');
        CommandFileDialogRecord record;
        dialog.ToRecord(record);
        DialogToSettings(record, ws.Settings);
        QCOMPARE(ws.Settings.CalculationMode, 'F');
    }

    void AModelWithoutARepeatUnitDisablesRepeatUnitLength() {
        QTemporaryDir dir;
        Workspace ws;
        ScriptedPrompts prompts;
        CommandFileDialog dialog(ws, prompts);
        Child<RadioGroup>(dialog, "RULength")->SetItemIndex(1);
        prompts.OpenAnswers << CommandFileIn(dir, "M", 0);
        dialog.CFNBitBtnClick();
        QVERIFY(!Child<RadioGroup>(dialog, "RULength")->isEnabled());
        QCOMPARE(Child<RadioGroup>(dialog, "RULength")->ItemIndex(), 0);
        CommandFileDialogRecord record;
        dialog.ToRecord(record);
        QVERIFY(!record.RULengthEnabled);
        QCOMPARE(record.RULength, 0);
    }

    void UnconvertibleIterationsFromTheDialogGive65000() {
        Workspace ws;
        ScriptedPrompts prompts;
        CommandFileDialog dialog(ws, prompts);
        Child<QLineEdit>(dialog, "EMaxIter")->setText("abc");
        CommandFileDialogRecord record;
        dialog.ToRecord(record);
        ws.Settings.MaxIterations = 7;
        DialogToSettings(record, ws.Settings);
        QCOMPARE(int(ws.Settings.MaxIterations), 65000);
    }

    void AnUnreadableCommandFileIsReportedAndTheDialogStays() {
        Workspace ws;
        ScriptedPrompts prompts;
        CommandFileDialog dialog(ws, prompts);
        prompts.OpenAnswers << QDir::temp().filePath("korvel-no-such-file.inp");
        dialog.CFNBitBtnClick();
        QCOMPARE(prompts.Warnings.size(), 1);
        QVERIFY(prompts.Warnings[0].startsWith("File not found."));
        QCOMPARE(Child<QLineEdit>(dialog, "EModelFN")->text(), QString("indefined"));
    }

    void FileButtonsOnlyFillTheirFields() {
        Workspace ws;
        ScriptedPrompts prompts;
        CommandFileDialog dialog(ws, prompts);
        prompts.OpenAnswers << "/a.dat"
                            << ""
                            << "/c.lmt";
        dialog.EDFNBitBtnClick();
        dialog.MFNBitBtnClick();  // cancelled
        dialog.LFNBitBtnClick();
        QCOMPARE(Child<QLineEdit>(dialog, "EExpDataFN")->text(), QString("/a.dat"));
        QCOMPARE(Child<QLineEdit>(dialog, "EModelFN")->text(), QString("indefined"));
        QCOMPARE(Child<QLineEdit>(dialog, "ELimitsFN")->text(), QString("/c.lmt"));
        QCOMPARE(ws.Settings.DataFileName, std::string("indefined"));
    }

    void WeightingDialogEnablesTheFractionOnlyForFractionWeights() {
        WeightingDialog dialog;
        QCOMPARE(dialog.windowTitle(), QString("   Choose weighting metod"));
        auto* group = Child<RadioGroup>(dialog, "NormaRadioGroup");
        auto* edit = Child<QLineEdit>(dialog, "FracEdit");
        auto* label = Child<QLabel>(dialog, "FracLabel");
        QCOMPARE(label->text(), QString("d I = Iexp * D,   where D is"));
        QCOMPARE(group->ItemIndex(), 1);
        QVERIFY(edit->isEnabled());
        const QColor normal = edit->palette().color(QPalette::Base);
        group->Item(0)->click();
        QVERIFY(!edit->isEnabled());
        QVERIFY(!label->isEnabled());
        QCOMPARE(edit->palette().color(QPalette::Base), QColor(192, 192, 192));
        group->Item(1)->click();
        QVERIFY(edit->isEnabled());
        QCOMPARE(edit->palette().color(QPalette::Base), normal);

        WeightingDialogRecord record;
        record.NormaRadioGroup = 0;
        record.FracEdit = "0.05";
        dialog.FromRecord(record);
        QVERIFY(!edit->isEnabled());
        QCOMPARE(edit->text(), QString("0.05"));
        WeightingDialogRecord back;
        dialog.ToRecord(back);
        QCOMPARE(back.NormaRadioGroup, 0);
        QCOMPARE(back.FracEdit, std::string("0.05"));
    }

    void FittingInformationShowsThePhaseInItsColours() {
        FittingInfoWindow window;
        QCOMPARE(window.Field(FittingField::LocGlob)->text(), QString("indefinite"));
        QCOMPARE(window.Field(FittingField::NIteration)->text(), QString("0"));
        QCOMPARE(window.Field(FittingField::TermMess)->text(), QString(" "));
        window.SetField(FittingField::LocGlob, "Local");
        QPalette p = window.Field(FittingField::LocGlob)->palette();
        QCOMPARE(p.color(QPalette::Text), QColor(0, 0, 255));
        QCOMPARE(p.color(QPalette::Base), QColor(192, 192, 192));
        window.SetField(FittingField::LocGlob, "Descend");
        p = window.Field(FittingField::LocGlob)->palette();
        QCOMPARE(p.color(QPalette::Text), QColor(128, 0, 0));
        QCOMPARE(p.color(QPalette::Base), QColor(192, 192, 192));
        window.SetField(FittingField::TermMess, "Chosen tolerance attained.        ");
        QCOMPARE(window.Field(FittingField::TermMess)->text().size(), 34);
    }

    void RunInterfaceAnswersFromTheChoiceDialogsAndKeepsLastKey() {
        ScriptedPrompts prompts;
        MainWindow main(prompts);
        WindowRunInterface& ui = main.RunUi();
        QVERIFY(!ui.AskNewtonStep());  // "No" is selected at first
        QCOMPARE(main.FormNewton().pos(), QPoint(660, 458));
        prompts.OnExec = [](QDialog& d) {
            d.findChild<RadioGroup*>()->Item(1)->click();
            return int(QDialog::Accepted);
        };
        QVERIFY(ui.AskNewtonStep());
        QVERIFY(ui.AskUncertainty());
        QCOMPARE(main.FormUncertainty().Group()->Item(1)->text(), QString("   Yes"));
        QCOMPARE(prompts.Shown, (QStringList{"FormNewton", "FormNewton", "FormUncertainty"}));
        ui.ShowMessage("End of Global Fitting");
        QCOMPARE(prompts.Asked, QStringList{"End of Global Fitting"});
        QCOMPARE(prompts.AskedAt, QPoint(660, 458));
        main.SetLastKey(24);
        QCOMPARE(ui.LastKey(), 24);
        ui.ClearLastKey();
        QCOMPARE(ui.LastKey(), 0);
        ui.SetSimplexInitField(SimplexInitField::EClcTime, "    0.012");
        QCOMPARE(main.SimplexIni().EClcTime->text(), QString("    0.012"));
        ui.SetTmpMessage("Press Ctrl+Q to terminate fitting", TmpMessageStyle::FittingHint);
        QVERIFY(!main.TmpMessage()->isHidden());
        QCOMPARE(main.TmpMessage()->x(), 120);
        QCOMPARE(main.TmpMessage()->font().pointSize(), 10);
        QCOMPARE(main.TmpMessage()->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        ui.SetTmpMessage("Newton Step in progress: ", TmpMessageStyle::NewtonStep);
        QCOMPARE(main.TmpMessage()->x(), 10);
        ui.SetTmpMessage("      ", TmpMessageStyle::Hidden);
        QVERIFY(main.TmpMessage()->isHidden());
    }

    void RunInterfaceHearsCtrlQBetweenEvaluations() {
        // The starting simplex, the Newton step and the uncertainty estimate process the
        // pending events between their evaluations: a key typed meanwhile reaches LastKey.
        ScriptedPrompts prompts;
        MainWindow main(prompts);
        WindowRunInterface& ui = main.RunUi();
        QCoreApplication::postEvent(
            &main, new QKeyEvent(QEvent::KeyPress, Qt::Key_Q, Qt::ControlModifier, "\x11"));
        QCOMPARE(ui.LastKey(), 0);
        ui.ProcessEventsBetweenEvaluations();
        QCOMPARE(ui.LastKey(), 17);
    }

    void CommandFileDialogRecordPassesThroughTheRunInterface() {
        ScriptedPrompts prompts;
        MainWindow main(prompts);
        CommandFileDialogRecord record;
        record.EModelFN = "/x/model.mdl";
        record.CalculationFPM = 0;
        QString shownModel;
        prompts.OnExec = [&](QDialog& d) {
            shownModel = d.findChild<QLineEdit*>("EModelFN")->text();
            d.findChild<QLineEdit*>("ETolerance")->setText("2e-4");
            return int(QDialog::Rejected);  // the result is not examined
        };
        main.RunUi().ShowCommandFileDialog(record);
        QCOMPARE(shownModel, QString("/x/model.mdl"));
        QCOMPARE(record.ETolerance, std::string("2e-4"));
        QCOMPARE(record.CalculationFPM, 0);
    }

    void ProgramFilterListsEveryFileKindWithItsPatternOnce() {
        QCOMPARE(ProgramFileFilter(),
                 QString("All files (*);;Command file (*.inp);;Model file (*.mdl);;Limits file "
                         "(*.lmt);;Data file (*.dat)"));
        // A label without its pattern gets it; one naming "*.*" shows the "*" used.
        QCOMPARE(QtFileFilter("Text|*.txt|All files (*.*)|*.*"),
                 QString("Text (*.txt);;All files (*)"));
    }
};

QTEST_MAIN(DialogsTest)
#include "DialogsTest.moc"
