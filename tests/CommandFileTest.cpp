#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "InputTestSupport.h"
#include "app/CommandFile.h"
#include "model/RunFilePath.h"
#include "base/RunError.h"
#include "app/Workspace.h"

using namespace korvel;
using korvel::testing::TempFolder;

namespace {

const char* const kModelWithRepeatUnit =
    "1.54 0 0 0 0 0\n0 2 0 10\n20 1e-5 0 3\n30 2e-5 0 3\n0 1e-5 0 2\n";
const char* const kModelWithoutRepeatUnit = "8.0 0 0 0 0 0\n1 0 0 10\n20 1e-5 0 3\n0 1e-5 0 2\n";

std::vector<std::string> Entries() {
    return {"data.dat", "F", "N", "Y", "ml.mdl", "ml.lmt", "1e-6", "500", "1e-9", "P"};
}

std::string Join(const std::vector<std::string>& lines, const std::string& end = "\n") {
    std::string text;
    for (const auto& line : lines) text += line + end;
    return text;
}

// Reads `text` as the command file of a fresh workspace in `dir`.
Workspace Read(const TempFolder& dir, const std::string& text,
               const char* model = kModelWithRepeatUnit) {
    dir.Write("ml.mdl", model);
    Workspace ws;
    ws.Settings.CommandFileName = dir.Write("run.inp", text);
    ReadCommandFile(ws);
    return ws;
}

Workspace ReadWithEntry(const TempFolder& dir, int entry, const std::string& value) {
    auto lines = Entries();
    lines[entry - 1] = value;
    return Read(dir, Join(lines));
}

std::string FailureOf(const TempFolder& dir, const std::string& text) {
    return korvel::testing::RunErrorOf([&] { Read(dir, text); });
}

}  // namespace

TEST(ReadCommandFile, ReadsTheTenEntries) {
    TempFolder dir;
    const Workspace ws = Read(dir, Join(Entries()));
    const RunSettings& s = ws.Settings;
    EXPECT_EQ(s.DataFileName, "data.dat");
    EXPECT_TRUE(s.FitMode);
    EXPECT_TRUE(s.DataScaled);
    EXPECT_TRUE(s.ErrorsFromFile);
    EXPECT_EQ(s.ModelFileName, "ml.mdl");
    EXPECT_EQ(s.LimitsFileName, "ml.lmt");
    EXPECT_EQ(s.FitTolerance, 1e-6);
    EXPECT_EQ(s.MaxIterations, 500);
    EXPECT_EQ(s.CutOffLevel, 1e-9);
    EXPECT_EQ(s.CalculationMode, 'P');
    EXPECT_EQ(ws.Model.Header.Wavelength, 1.54);
}

TEST(ReadCommandFile, CommentLinesAndLineEndsDoNotChangeTheResult) {
    TempFolder dir;
    std::vector<std::string> commented = {"# first", "#", "#third"};
    for (const auto& entry : Entries()) {
        commented.push_back(entry);
        commented.push_back("# between");
    }
    const RunSettings plain = Read(dir, Join(Entries())).Settings;
    for (const RunSettings& other :
         {Read(dir, Join(commented)).Settings, Read(dir, Join(Entries(), "\r\n")).Settings,
          Read(dir, Join(commented, "\r")).Settings,  // line ends of a CR alone
          Read(dir, Join(Entries()) + "ignored\nlines\n").Settings}) {
        EXPECT_EQ(other.DataFileName, plain.DataFileName);
        EXPECT_EQ(other.LimitsFileName, plain.LimitsFileName);
        EXPECT_EQ(other.FitTolerance, plain.FitTolerance);
        EXPECT_EQ(other.MaxIterations, plain.MaxIterations);
        EXPECT_EQ(other.CalculationMode, plain.CalculationMode);
        EXPECT_EQ(other.FitMode, plain.FitMode);
    }
}

TEST(ReadCommandFile, RefusesWhatIsNotAText) {
    TempFolder dir;
    const std::string path = dir.Path("run.inp");
    // Saved as UTF-16 (either byte order), with or without its byte-order mark.
    std::string utf16le = "\xFF\xFE";
    for (const char c : Join(Entries())) utf16le += std::string{c, '\0'};
    std::string utf16be = "\xFE\xFF";
    for (const char c : Join(Entries())) utf16be += std::string{'\0', c};
    EXPECT_EQ(FailureOf(dir, utf16le),
              "Command file is not a text file. | " + path + " (it is in UTF-16)");
    EXPECT_EQ(FailureOf(dir, utf16be),
              "Command file is not a text file. | " + path + " (it is in UTF-16)");
    EXPECT_EQ(FailureOf(dir, utf16le.substr(2)),
              "Command file is not a text file. | " + path + ", line 1 (it holds a NUL byte)");
    EXPECT_EQ(FailureOf(dir, std::string(1, '\0') + Join(Entries())),
              "Command file is not a text file. | " + path + ", line 1 (it holds a NUL byte)");
    EXPECT_EQ(FailureOf(dir, std::string("data.dat\nF\nN\nY\nml.mdl") + '\0' + "\n"),
              "Command file is not a text file. | " + path + ", line 5 (it holds a NUL byte)");
}

TEST(ReadCommandFile, NameEntriesAreWholeLines) {
    TempFolder dir;
    EXPECT_EQ(ReadWithEntry(dir, 1, "my data.dat ").Settings.DataFileName, "my data.dat ");
}

TEST(ReadCommandFile, LetterEntriesLookAtTheFirstCharacterOnly) {
    TempFolder dir;
    EXPECT_TRUE(ReadWithEntry(dir, 2, "fit").Settings.FitMode);
    EXPECT_TRUE(ReadWithEntry(dir, 2, "FIT").Settings.FitMode);
    EXPECT_FALSE(ReadWithEntry(dir, 2, "Simulate").Settings.FitMode);
    EXPECT_FALSE(ReadWithEntry(dir, 2, " F").Settings.FitMode);
    EXPECT_TRUE(ReadWithEntry(dir, 3, "n").Settings.DataScaled);
    EXPECT_FALSE(ReadWithEntry(dir, 3, "Y").Settings.DataScaled);
    EXPECT_TRUE(ReadWithEntry(dir, 4, "yes").Settings.ErrorsFromFile);
    EXPECT_FALSE(ReadWithEntry(dir, 4, "X").Settings.ErrorsFromFile);
    EXPECT_EQ(ReadWithEntry(dir, 10, "parratt").Settings.CalculationMode, 'P');
    EXPECT_EQ(ReadWithEntry(dir, 10, "x-ray").Settings.CalculationMode, 'X');
}

TEST(ReadCommandFile, UnconvertibleNumbersTakeTheFallbacks) {
    TempFolder dir;
    EXPECT_EQ(ReadWithEntry(dir, 7, "1e-6 ").Settings.FitTolerance, 1e-5);
    EXPECT_EQ(ReadWithEntry(dir, 7, "   1e-6").Settings.FitTolerance, 1e-6);
    EXPECT_EQ(ReadWithEntry(dir, 7, "1,5").Settings.FitTolerance, 1e-5);
    EXPECT_EQ(ReadWithEntry(dir, 8, "abc").Settings.MaxIterations, 30000);
    EXPECT_EQ(ReadWithEntry(dir, 8, "-5").Settings.MaxIterations, 30000);
    EXPECT_EQ(ReadWithEntry(dir, 8, "1e3").Settings.MaxIterations, 30000);
    EXPECT_EQ(ReadWithEntry(dir, 9, "none").Settings.CutOffLevel, 0.0);
}

TEST(ReadCommandFile, RefusesAnIterationLimitTheSixteenBitCounterCannotHold) {
    TempFolder dir;
    EXPECT_EQ(ReadWithEntry(dir, 8, "65535").Settings.MaxIterations, 65535);
    EXPECT_EQ(ReadWithEntry(dir, 8, "0").Settings.MaxIterations, 0);
    // 65536 would wrap to 0: every simplex run would end at once and report the start.
    auto lines = Entries();
    lines[7] = "65536";
    const std::string run = dir.Path("run.inp");
    EXPECT_EQ(FailureOf(dir, "# comment\n" + Join(lines)),
              "Maximum number of iterations 65536 out of range (0 to 65535). | " + run +
                  ", line 9: '65536'");
    lines[7] = "  +99999999999999999999999";  // beyond any integer: still a count, too large
    EXPECT_EQ(FailureOf(dir, Join(lines)),
              "Maximum number of iterations +99999999999999999999999 out of range (0 to "
              "65535). | " +
                  run + ", line 8: '  +99999999999999999999999'");
}

TEST(ReadCommandFile, PeeksAtTheModelForItsRepeatUnit) {
    TempFolder dir;
    dir.Write("ml.mdl", kModelWithRepeatUnit);
    Workspace ws;
    ws.Settings.CommandFileName = dir.Write("run.inp", Join(Entries()));
    ws.Settings.RepeatUnitFixed = true;
    ws.CommandFileDialog.RULengthEnabled = false;
    ReadCommandFile(ws);
    EXPECT_FALSE(ws.Settings.RepeatUnitFixed);
    EXPECT_TRUE(ws.CommandFileDialog.RULengthEnabled);

    const Workspace flat = Read(dir, Join(Entries()), kModelWithoutRepeatUnit);
    EXPECT_FALSE(flat.CommandFileDialog.RULengthEnabled);
    EXPECT_EQ(flat.Model.Header.Wavelength, 8.0);
    CommandFileDialogRecord dialog = flat.CommandFileDialog;
    dialog.RULength = 1;  // whatever the group held, a disabled group means "Free"
    RunSettings back = flat.Settings;
    DialogToSettings(dialog, back);
    EXPECT_FALSE(back.RepeatUnitFixed);
}

TEST(ReadCommandFile, KeepsFieldsTheFileDoesNotCarry) {
    TempFolder dir;
    dir.Write("ml.mdl", kModelWithRepeatUnit);
    Workspace ws;
    ws.Settings.CommandFileName = dir.Write("run.inp", Join(Entries()));
    ws.Settings.QzInverseAngstrom = true;
    ws.Settings.DensityUnits = 3;
    ReadCommandFile(ws);
    EXPECT_TRUE(ws.Settings.QzInverseAngstrom);
    EXPECT_EQ(ws.Settings.DensityUnits, 3);
}

TEST(ReadCommandFile, RefusesEmptyLinesAndShortFiles) {
    TempFolder dir;
    auto lines = Entries();
    lines.insert(lines.begin() + 3, "");
    EXPECT_EQ(FailureOf(dir, Join(lines)),
              "Empty line in command file where entry 4 (uncertainty letter) was expected. | " +
                  dir.Path("run.inp") + ", line 4");
    lines = Entries();
    lines.pop_back();
    EXPECT_EQ(
        FailureOf(dir, Join(lines)),
        "Command file ends before entry 10 (calculation mode letter). | " + dir.Path("run.inp"));
}

TEST(ReadCommandFile, ReportsMissingFilesAndLeavesTheSettingsAlone) {
    TempFolder dir;
    Workspace ws;
    ws.Settings.CommandFileName = dir.Path("none.inp");
    EXPECT_EQ(korvel::testing::RunErrorOf([&] { ReadCommandFile(ws); }),
              "File not found. | " + dir.Path("none.inp"));
    auto lines = Entries();
    lines[4] = "absent.mdl";
    ws.Settings.CommandFileName = dir.Write("run.inp", Join(lines));
    EXPECT_EQ(korvel::testing::RunErrorOf([&] { ReadCommandFile(ws); }),
              "File not found. | " + dir.Path("absent.mdl"));
    EXPECT_EQ(ws.Settings.DataFileName, "indefined");
}

TEST(RunFilePath, TakesRelativeNamesFromTheCommandFilesFolder) {
    RunSettings s;
    s.CommandFileName = "/runs/a/run.inp";
    EXPECT_EQ(RunFilePath(s, "data.dat"), "/runs/a/data.dat");
    EXPECT_EQ(RunFilePath(s, "sub/data.dat"), "/runs/a/sub/data.dat");
    EXPECT_EQ(RunFilePath(s, "/abs/data.dat"), "/abs/data.dat");
    s.CommandFileName = "run.inp";
    EXPECT_EQ(RunFilePath(s, "data.dat"), "data.dat");
}

TEST(SettingsToDialog, ShowsTheRecordInTheDialogsTexts) {
    RunSettings s;
    s.CommandFileName = "c.inp";
    s.DataFileName = "d.dat";
    s.FitMode = true;
    s.DataScaled = false;
    s.FitTolerance = 1e-5;
    s.CutOffLevel = 0.0;
    s.MaxIterations = 500;
    s.CalculationMode = 'F';
    s.QzInverseAngstrom = true;
    s.DensityUnits = 2;
    CommandFileDialogRecord d;
    SettingsToDialog(s, d);
    EXPECT_EQ(d.EComFN, "c.inp");
    EXPECT_EQ(d.EExpDataFN, "d.dat");
    EXPECT_EQ(d.ETolerance, " 1.000000E-0005");
    EXPECT_EQ(d.ECutOffLevel, " 0.000000E+0000");
    EXPECT_EQ(d.EMaxIter, "500");
    EXPECT_EQ(d.SimFit, 1);
    EXPECT_EQ(d.ScaleNY, 0);
    EXPECT_EQ(d.CalculationFPM, 0);
    EXPECT_EQ(d.QzFormat, 1);
    EXPECT_EQ(d.DensityUnits, 2);
    RunSettings back;
    DialogToSettings(d, back);
    EXPECT_EQ(back.FitTolerance, 1e-5);
    EXPECT_EQ(back.MaxIterations, 500);
    EXPECT_EQ(back.CalculationMode, 'F');
    EXPECT_TRUE(back.FitMode);
    EXPECT_FALSE(back.DataScaled);
    EXPECT_TRUE(back.QzInverseAngstrom);
    EXPECT_EQ(back.DensityUnits, 2);
}

TEST(SettingsToDialog, AnUnknownModeLetterLeavesTheDialogsChoice) {
    TempFolder dir;
    Workspace ws = ReadWithEntry(dir, 10, "X");
    ws.CommandFileDialog.CalculationFPM = 1;
    SettingsToDialog(ws.Settings, ws.CommandFileDialog);
    EXPECT_EQ(ws.CommandFileDialog.CalculationFPM, 1);
    DialogToSettings(ws.CommandFileDialog, ws.Settings);
    EXPECT_EQ(ws.Settings.CalculationMode, 'P');
}

TEST(DialogToSettings, UnconvertibleTextsTakeTheDialogsFallbacks) {
    CommandFileDialogRecord d;
    d.ETolerance = "abc";
    d.EMaxIter = "abc";
    d.ECutOffLevel = "1e-3x";
    RunSettings s;
    s.CutOffLevel = 5.0;
    DialogToSettings(d, s);
    EXPECT_EQ(s.FitTolerance, 1e-5);
    EXPECT_EQ(s.MaxIterations, 65000);
    EXPECT_EQ(s.CutOffLevel, 0.0);
    d.EMaxIter = " 65535\t";
    d.RULengthEnabled = true;
    d.RULength = 1;
    DialogToSettings(d, s);
    EXPECT_EQ(s.MaxIterations, 65535);
    EXPECT_TRUE(s.RepeatUnitFixed);
    d.DensityUnits = -1;  // no item selected
    DialogToSettings(d, s);
    EXPECT_EQ(s.DensityUnits, 0);
}

TEST(DialogToSettings, RefusesAnIterationLimitTheCounterCannotHoldAndChangesNothing) {
    CommandFileDialogRecord d;
    d.EMaxIter = "70000";
    d.RULengthEnabled = true;
    d.RULength = 1;
    d.ETolerance = "1e-3";
    RunSettings s;
    EXPECT_EQ(korvel::testing::RunErrorOf([&] { DialogToSettings(d, s); }),
              "Maximum number of iterations 70000 out of range (0 to 65535). | Command File "
              "Parameters, Max # of Iterations: '70000'");
    EXPECT_EQ(s.MaxIterations, RunSettings{}.MaxIterations);
    EXPECT_FALSE(s.RepeatUnitFixed);
    EXPECT_EQ(s.FitTolerance, RunSettings{}.FitTolerance);
}
