// Whole fitting runs from the command file to the result files, driven through the
// scripted run interface, and synthetic fits recovered from wrong starting values.
// Every test writes its own input files into a temporary directory.

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "FitTestSupport.h"
#include "ScriptedRunInterface.h"
#include "app/RunError.h"
#include "app/Workspace.h"
#include "fit/FittingRun.h"
#include "fit/Simplex.h"

namespace korvel {
namespace {

using testing::ReadText;
using testing::ScriptedRunInterface;
using testing::TemporaryDirectory;

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

struct CommandFile {
    std::string Mode = "F";
    std::string Scaled = "N";  // N: the data are already scaled
    std::string ErrorsFromFile = "Y";
    double Tolerance = 1e-8;
    int MaxIterations = 300;
    char Calculation = 'P';
};

void WriteCommandFile(const CommandFile& c) {
    std::ostringstream s;
    s << "# synthetic fit\n"
      << "data.dat\n"
      << c.Mode << "\n"
      << c.Scaled << "\n"
      << c.ErrorsFromFile << "\n"
      << "model.mdl\n"
      << "model.lmt\n"
      << c.Tolerance << "\n"
      << c.MaxIterations << "\n"
      << "0\n"
      << c.Calculation << "\n";
    WriteText("fit.inp", s.str());
}

// Single film on a substrate, delta/beta units, no resolution smearing.
const char* kFilmModel =
    "1.5405 0 0 0 0 0\n"
    "1 0 0 0\n"
    "%T %D 2.0e-7 %R\n"
    "0 7.6e-6 1.7e-7 3\n";
const char* kFilmLimits =
    "100 200 10\n0.5e-5 2.5e-5 10\n0 1e-6 0\n1 10 10\n"
    "0 0 0\n0 0 0\n0 0 0\n0 0 0\n";

std::string Fill(std::string text, double thickness, double delta, double roughness) {
    auto put = [&text](const std::string& key, double value) {
        std::ostringstream s;
        s.precision(17);
        s << value;
        text.replace(text.find(key), key.size(), s.str());
    };
    put("%T", thickness);
    put("%D", delta);
    put("%R", roughness);
    return text;
}

Workspace NewWorkspace(std::uint64_t seed = 2024) {
    Workspace ws;
    ws.Settings.CommandFileName = "fit.inp";
    ws.Options.Seed = seed;
    ws.Options.MaxRespreads = 0;
    return ws;
}

// Writes data.dat with the curve of the current model.mdl at the given abscissae,
// computed by a "Simulate" run, with dI = fraction * I as third column.
void WriteSyntheticData(const std::vector<double>& abscissae, bool qz = false,
                        int densityUnits = 0) {
    std::string placeholder;
    for (double x : abscissae) {
        std::ostringstream line;
        line.precision(10);
        line << x << " 1 1\n";
        placeholder += line.str();
    }
    WriteText("data.dat", placeholder);
    CommandFile simulate;
    simulate.Mode = "S";
    WriteCommandFile(simulate);
    Workspace ws = NewWorkspace();
    ScriptedRunInterface ui;
    ui.EditCommandFileDialog = [&](CommandFileDialogRecord& record) {
        record.QzFormat = qz ? 1 : 0;
        record.DensityUnits = densityUnits;
    };
    RunFitting(ws, ui);
    std::istringstream pct(ReadText("model.pct"));
    std::string data;
    double x, measured, computed;
    while (pct >> x >> measured >> computed) {
        std::ostringstream line;
        line.precision(10);
        line << x << " " << computed << " " << 0.03 * computed << "\n";
        data += line.str();
    }
    WriteText("data.dat", data);
}

std::vector<double> Range(double first, double last, int count) {
    std::vector<double> values(count);
    for (int i = 0; i < count; ++i) values[i] = first + (last - first) * i / (count - 1);
    return values;
}

// The model lines of a .bst file: layer values as read back, one array per layer.
std::vector<std::vector<double>> FittedLayers(const std::string& bst, int layers) {
    std::istringstream in(bst);
    std::string line;
    std::getline(in, line);
    std::getline(in, line);
    std::vector<std::vector<double>> values;
    for (int l = 0; l < layers; ++l) {
        std::getline(in, line);
        std::istringstream numbers(line);
        std::vector<double> layer(4);
        for (double& v : layer) numbers >> v;
        values.push_back(layer);
    }
    return values;
}

int CountLines(const std::string& text) {
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

// A small film problem with the true curve as data and a wrong start.
void PrepareFilmFit(int points = 40) {
    WriteText("model.lmt", kFilmLimits);
    WriteText("model.mdl", Fill(kFilmModel, 150.0, 1.5e-5, 4.0));
    WriteSyntheticData(Range(0.1, 2.0, points));
    WriteText("model.mdl", Fill(kFilmModel, 130.0, 1.3e-5, 6.0));
}

TEST(FittingRun, AsksThroughTheRunInterfaceInTheOrderOfTheRun) {
    TemporaryDirectory directory;
    PrepareFilmFit();
    CommandFile command;
    command.MaxIterations = 0;
    WriteCommandFile(command);
    Workspace ws = NewWorkspace();
    ScriptedRunInterface ui;
    RunFitting(ws, ui);
    const std::vector<std::string> expected{"ShowCommandFileDialog",
                                            "ShowSimplexInitialization: on",
                                            "ShowSimplexInitialization: off",
                                            "SetDrawEnabled: on",
                                            "ShowFittingInformation: on",
                                            "ShowPlotWindow",
                                            "ShowMessage: End of Global Fitting",
                                            "ShowFittingInformation: off",
                                            "AskNewtonStep",
                                            "AskUncertainty",
                                            "SetDrawEnabled: off",
                                            "ShowMessage: Done!!!   Press OK to continue"};
    EXPECT_EQ(ui.Calls, expected);
    EXPECT_EQ(ui.TmpMessages,
              (std::vector<std::string>{"Press Ctrl+Q to terminate fitting", "      "}));
    EXPECT_EQ(ui.SimplexInitFields[SimplexInitField::ELoopsRest], "1");
    EXPECT_EQ(ui.SimplexInitFields[SimplexInitField::EClcTime].size(), 9u);
}

TEST(FittingRun, WithMaxIterationsZeroRunsOneLocalRunAndNoGlobalStep) {
    TemporaryDirectory directory;
    PrepareFilmFit();
    CommandFile command;
    command.MaxIterations = 0;
    WriteCommandFile(command);
    Workspace ws = NewWorkspace();
    ScriptedRunInterface ui;
    RunFitting(ws, ui);
    EXPECT_EQ(ui.TermMessages, std::vector<std::string>{"Maximum iterations exceeded.      "});
    EXPECT_EQ(CountLines(ReadText("model.loc")), 1);
    // Only what the result writer wrote: no Newton or uncertainty sections.
    const std::string bst = ReadText("model.bst");
    EXPECT_EQ(bst.find("Neuton"), std::string::npos);
    EXPECT_EQ(bst.find("Estimation"), std::string::npos);
    EXPECT_NE(bst.find(" Variables :\r\n[Thickness: 1], [ReDensity: 1], [Roughness: 1], \r\n"),
              std::string::npos);
}

TEST(FittingRun, CtrlXEndsALocalRunAndCtrlQTheWholeSearch) {
    TemporaryDirectory directory;
    PrepareFilmFit();
    WriteCommandFile(CommandFile{});
    Workspace ws = NewWorkspace();
    ScriptedRunInterface ui;
    ui.KeysAtIteration[5] = kCtrlX;
    ui.KeysAtIteration[20] = kCtrlQ;
    RunFitting(ws, ui);
    ASSERT_GE(ui.TermMessages.size(), 2u);
    EXPECT_EQ(ui.TermMessages.front(), "Amoeba has been canceled by user. ");
    EXPECT_EQ(ui.TermMessages.back(), "Full stop by user.                ");
    EXPECT_EQ(ui.Iterations, 20);
    EXPECT_GE(CountLines(ReadText("model.loc")), 1);
    EXPECT_NE(ReadText("model.bst").find("Norma   = "), std::string::npos);
    EXPECT_NE(ReadText("model.pct"), "<missing>");
    EXPECT_EQ(ui.Messages.back(), "Done!!!   Press OK to continue");
}

TEST(FittingRun, SimulateModeEvaluatesOnceAndAsksNothing) {
    TemporaryDirectory directory;
    PrepareFilmFit(20);
    CommandFile command;
    command.Mode = "S";
    WriteCommandFile(command);
    Workspace ws = NewWorkspace();
    ScriptedRunInterface ui;
    RunFitting(ws, ui);
    EXPECT_EQ(ws.Fit.EvaluationCount, 2);  // the single vertex, then the final model
    EXPECT_EQ(ui.Iterations, 0);
    EXPECT_EQ(std::count(ui.Calls.begin(), ui.Calls.end(), "AskNewtonStep"), 0);
    EXPECT_EQ(ReadText("model.loc"), "");
    EXPECT_EQ(CountLines(ReadText("model.pct")), 20);
    EXPECT_NE(ReadText("model.bst").find(" Variables :\r\n\r\n\r\n"), std::string::npos);
}

TEST(FittingRun, NewtonAndUncertaintyAppendTheirSections) {
    TemporaryDirectory directory;
    PrepareFilmFit();
    CommandFile command;
    command.MaxIterations = 200;
    WriteCommandFile(command);
    Workspace ws = NewWorkspace();
    ScriptedRunInterface ui;
    ui.NewtonAnswer = true;
    ui.UncertaintyAnswer = true;
    RunFitting(ws, ui);
    const std::string bst = ReadText("model.bst");
    EXPECT_NE(bst.find("\r\nModel after Neuton step\r\n\r\n"), std::string::npos);
    EXPECT_NE(bst.find("Xi2_Amoeba - Xi2_Newton = "), std::string::npos);
    EXPECT_NE(bst.find("Estimation of Parameters Uncertainties"), std::string::npos);
    EXPECT_NE(bst.find("[Thickness:1]   "), std::string::npos);
    EXPECT_FALSE(ws.Fit.SkipFigureOfMerit);
    EXPECT_EQ(ui.TmpMessages.back(), "      ");
}

TEST(FittingRun, TheSameSeedGivesTheSameResultFiles) {
    TemporaryDirectory directory;
    PrepareFilmFit(30);
    CommandFile command;
    command.MaxIterations = 100;
    WriteCommandFile(command);
    std::string first[3];
    for (int run = 0; run < 2; ++run) {
        Workspace ws = NewWorkspace(99);
        ScriptedRunInterface ui;
        RunFitting(ws, ui);
        const std::string files[3] = {ReadText("model.bst"), ReadText("model.pct"),
                                      ReadText("model.loc")};
        for (int f = 0; f < 3; ++f) {
            if (run == 0)
                first[f] = files[f];
            else
                EXPECT_EQ(files[f], first[f]) << f;
        }
    }
}

TEST(FittingRun, WritesTheFitLogWhenTheOptionIsOn) {
    TemporaryDirectory directory;
    PrepareFilmFit(20);
    CommandFile command;
    command.MaxIterations = 3;
    WriteCommandFile(command);
    Workspace ws = NewWorkspace();
    ws.Options.CreateFitLog = true;
    ScriptedRunInterface ui;
    ui.KeysAtIteration[4] = kCtrlQ;
    RunFitting(ws, ui);
    const std::string log = ReadText("fitlog.txt");
    EXPECT_EQ(CountLines(log), 4);
    EXPECT_EQ(log.substr(6, 2), "  ");
    EXPECT_EQ(log.find("\r\n"), 23u);
}

TEST(FittingRun, RejectsAZeroUncertaintyBeforeTheSearch) {
    TemporaryDirectory directory;
    PrepareFilmFit(20);
    WriteText("data.dat",
              "0.5 1e-3 1e-5\n0.6 1e-3 0\n0.7 1e-3 1e-5\n0.8 1e-3 1e-5\n"
              "0.9 1e-3 1e-5\n1.0 1e-3 1e-5\n");
    WriteCommandFile(CommandFile{});
    Workspace ws = NewWorkspace();
    ScriptedRunInterface ui;
    try {
        RunFitting(ws, ui);
        FAIL() << "no error";
    } catch (const RunError& error) {
        EXPECT_NE(error.Where().find("point 2"), std::string::npos) << error.Where();
    }
    EXPECT_EQ(ui.Iterations, 0);
    EXPECT_FALSE(ui.DrawEnabled);
}

TEST(FittingRun, RejectsAFitWindowWithNoMorePointsThanFreeParameters) {
    TemporaryDirectory directory;
    PrepareFilmFit(20);
    // Four points, of which the unsmeared end points leave two in the window.
    WriteText("data.dat", "0.5 1e-3 1e-5\n0.6 1e-3 1e-5\n0.7 1e-3 1e-5\n0.8 1e-3 1e-5\n");
    WriteCommandFile(CommandFile{});
    Workspace ws = NewWorkspace();
    ScriptedRunInterface ui;
    EXPECT_THROW(RunFitting(ws, ui), RunError);
    EXPECT_EQ(ui.Iterations, 0);
}

// End to end: data from the true model, a fit from wrong starting values.

TEST(SyntheticFit, RecoversASingleFilm) {
    TemporaryDirectory directory;
    PrepareFilmFit(60);
    WriteCommandFile(CommandFile{});
    Workspace ws = NewWorkspace(3);
    ScriptedRunInterface ui;
    RunFitting(ws, ui);
    const auto layers = FittedLayers(ReadText("model.bst"), 2);
    EXPECT_NEAR(layers[0][0], 150.0, 0.5);
    EXPECT_NEAR(layers[0][1], 1.5e-5, 0.02 * 1.5e-5);
    EXPECT_NEAR(layers[0][3], 4.0, 0.3);
    EXPECT_LT(ws.Fit.BestMerit, 1e-3);
}

TEST(SyntheticFit, RecoversThePeriodOfAMultilayer) {
    TemporaryDirectory directory;
    const std::string model =
        "1.5405 0 0 0 0 0\n"
        "0 2 0 10\n"
        "%T 3.0e-5 2.0e-6 3\n"
        "%D 7.0e-6 1.0e-7 3\n"
        "0 7.6e-6 1.7e-7 %R\n";
    const std::string limits =
        "20 30 5\n0 0 0\n0 0 0\n0 0 0\n"
        "30 40 5\n0 0 0\n0 0 0\n0 0 0\n"
        "0 0 0\n0 0 0\n0 0 0\n1 6 10\n";
    // %D stands for the second layer's thickness here.
    WriteText("model.lmt", limits);
    WriteText("model.mdl", Fill(model, 25.0, 35.0, 4.0));
    WriteSyntheticData(Range(0.2, 3.0, 50));
    WriteText("model.mdl", Fill(model, 23.5, 36.0, 2.0));
    WriteText("model.lmt", limits);
    CommandFile command;
    command.Calculation = 'M';
    command.MaxIterations = 150;
    WriteCommandFile(command);
    Workspace ws = NewWorkspace(11);
    ScriptedRunInterface ui;
    RunFitting(ws, ui);
    const auto layers = FittedLayers(ReadText("model.bst"), 3);
    EXPECT_NEAR(layers[0][0] + layers[1][0], 60.0, 0.1);
    EXPECT_NEAR(layers[0][0], 25.0, 0.5);
    EXPECT_NEAR(layers[2][3], 4.0, 0.5);
    EXPECT_NE(ReadText("model.bst").find("Repeat Unit Length =    60.0"), std::string::npos);
}

TEST(SyntheticFit, RecoversAFilmGivenInQzWithScatteringLengthDensities) {
    TemporaryDirectory directory;
    // Neutrons at 5 A; columns 2 and 3 are SLD in 1/A^2.
    const std::string model =
        "5.0 0 0 0 0 0\n"
        "1 0 0 0\n"
        "%T %D 0 %R\n"
        "0 2.07e-6 0 3\n";
    const std::string limits =
        "100 300 10\n1e-6 8e-6 10\n0 0 0\n1 10 10\n"
        "0 0 0\n0 0 0\n0 0 0\n0 0 0\n";
    WriteText("model.lmt", limits);
    WriteText("model.mdl", Fill(model, 200.0, 6.4e-6, 5.0));
    WriteSyntheticData(Range(0.01, 0.2, 60), true, 1);
    WriteText("model.mdl", Fill(model, 192.0, 5.8e-6, 6.5));
    WriteText("model.lmt", limits);
    WriteCommandFile(CommandFile{});
    Workspace ws = NewWorkspace(5);
    ScriptedRunInterface ui;
    ui.EditCommandFileDialog = [](CommandFileDialogRecord& record) {
        record.QzFormat = 1;
        record.DensityUnits = 1;
    };
    RunFitting(ws, ui);
    const auto layers = FittedLayers(ReadText("model.bst"), 2);
    EXPECT_NEAR(layers[0][0], 200.0, 1.0);
    EXPECT_NEAR(layers[0][1], 6.4e-6, 0.02 * 6.4e-6);  // written back in SLD units
    EXPECT_NEAR(layers[0][3], 5.0, 0.5);
    // The fitted curve file gives Qz again.
    std::istringstream pct(ReadText("model.pct"));
    double qz = 0.0;
    pct >> qz;
    EXPECT_NEAR(qz, 0.01, 1e-8);
}

}  // namespace
}  // namespace korvel
