// Whole fitting runs from the command file to the result files, driven through the
// scripted run interface, and synthetic fits recovered from wrong starting values.
// Every test writes its own input files into a temporary directory.

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "FitTestSupport.h"
#include "SyntheticFitSupport.h"
#include "ScriptedRunInterface.h"
#include "base/RunError.h"
#include "app/Workspace.h"
#include "app/FittingRun.h"
#include "app/RunReport.h"
#include "fit/Residuals.h"
#include "fit/Simplex.h"

namespace korvel {
namespace {

using testing::ReadText;
using testing::ScriptedRunInterface;
using testing::TemporaryDirectory;
using testing::WriteText;
using namespace testing::synthetic;

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
    PrepareFit(kFilmModel, kFilmLimits, {150.0, 1.5e-5, 4.0}, {130.0, 1.3e-5, 6.0},
               Range(0.1, 2.0, points));
}

// A film fit in a temporary directory: the true curve as data, a wrong start; the
// test sets the command, the workspace and the interface, then calls Run.
class FilmFit : public ::testing::Test {
  protected:
    void Run(int points = 40) {
        PrepareFilmFit(points);
        WriteCommandFile(command);
        RunFitting(ws, ui);
    }
    TemporaryDirectory directory;
    CommandFile command;
    Workspace ws = NewWorkspace();
    ScriptedRunInterface ui;
};

TEST_F(FilmFit, AsksThroughTheRunInterfaceInTheOrderOfTheRun) {
    command.MaxIterations = 0;
    Run();
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

TEST_F(FilmFit, WithMaxIterationsZeroRunsOneLocalRunAndNoGlobalStep) {
    command.MaxIterations = 0;
    Run();
    EXPECT_EQ(ui.TermMessages, std::vector<std::string>{"Maximum iterations exceeded.      "});
    EXPECT_EQ(CountLines(ReadText("model.loc")), 1);
    // Only what the result writer wrote: no Newton or uncertainty sections.
    const std::string bst = ReadText("model.bst");
    EXPECT_EQ(bst.find("Neuton"), std::string::npos);
    EXPECT_EQ(bst.find("Estimation"), std::string::npos);
    EXPECT_NE(bst.find(" Variables :\r\n[Thickness: 1], [ReDensity: 1], [Roughness: 1], \r\n"),
              std::string::npos);
}

TEST_F(FilmFit, CtrlXEndsALocalRunAndCtrlQTheWholeSearch) {
    ui.KeysAtIteration[5] = kCtrlX;
    ui.KeysAtIteration[20] = kCtrlQ;
    Run();
    ASSERT_GE(ui.TermMessages.size(), 2u);
    EXPECT_EQ(ui.TermMessages.front(), "Amoeba has been canceled by user. ");
    EXPECT_EQ(ui.TermMessages.back(), "Full stop by user.                ");
    EXPECT_EQ(ui.Iterations, 20);
    EXPECT_GE(CountLines(ReadText("model.loc")), 1);
    EXPECT_NE(ReadText("model.bst").find("Norma   = "), std::string::npos);
    EXPECT_TRUE(testing::fs::exists("model.pct"));
    EXPECT_EQ(ui.Messages.back(), "Done!!!   Press OK to continue");
}

TEST_F(FilmFit, SimulateModeEvaluatesOnceAndAsksNothing) {
    command.Mode = "S";
    Run(20);
    EXPECT_EQ(ws.Fit.EvaluationCount, 2);  // the single vertex, then the final model
    EXPECT_EQ(ui.Iterations, 0);
    EXPECT_EQ(std::count(ui.Calls.begin(), ui.Calls.end(), "AskNewtonStep"), 0);
    EXPECT_EQ(ReadText("model.loc"), "");
    EXPECT_EQ(CountLines(ReadText("model.pct")), 20);
    EXPECT_NE(ReadText("model.bst").find(" Variables :\r\n\r\n\r\n"), std::string::npos);
}

TEST_F(FilmFit, NewtonAndUncertaintyAppendTheirSections) {
    command.MaxIterations = 200;
    ui.NewtonAnswer = true;
    ui.UncertaintyAnswer = true;
    Run();
    const std::string bst = ReadText("model.bst");
    EXPECT_NE(bst.find("\r\nModel after Neuton step\r\n\r\n"), std::string::npos);
    EXPECT_NE(bst.find("Xi2_Amoeba - Xi2_Newton = "), std::string::npos);
    EXPECT_NE(bst.find("Estimation of Parameters Uncertainties"), std::string::npos);
    EXPECT_NE(bst.find("[Thickness:1]   "), std::string::npos);
    EXPECT_FALSE(ws.Fit.SkipFigureOfMerit);
    EXPECT_EQ(ui.TmpMessages.back(), "      ");
}

TEST_F(FilmFit, TheSameSeedGivesTheSameResultFiles) {
    command.MaxIterations = 100;
    std::vector<std::string> first;
    for (int run = 0; run < 2; ++run) {
        ws = NewWorkspace(99);
        ui = ScriptedRunInterface{};
        Run(30);
        if (run == 0) first = {ReadText("model.bst"), ReadText("model.pct"), ReadText("model.loc")};
    }
    EXPECT_EQ(ReadText("model.bst"), first[0]);
    EXPECT_EQ(ReadText("model.pct"), first[1]);
    EXPECT_EQ(ReadText("model.loc"), first[2]);
}

TEST_F(FilmFit, ReportsTheClockSeedItTookAndThatSeedRepeatsTheRun) {
    command.MaxIterations = 100;
    ws.Options.Seed.reset();
    Run(30);
    const std::uint64_t seed = ws.Fit.Seed;
    EXPECT_FALSE(ws.Options.Seed.has_value());  // the next run takes the clock again
    const std::vector<std::string> first{ReadText("model.bst"), ReadText("model.loc")};
    ws = NewWorkspace(seed);
    ui = ScriptedRunInterface{};
    Run(30);
    EXPECT_EQ(ws.Fit.Seed, seed);
    EXPECT_EQ(ReadText("model.bst"), first[0]);
    EXPECT_EQ(ReadText("model.loc"), first[1]);
}

TEST_F(FilmFit, WritesTheFitLogWhenTheOptionIsOn) {
    command.MaxIterations = 3;
    ws.Options.CreateFitLog = true;
    ws.FitLogFile = "fitlog.txt";  // where the desktop program keeps it
    ui.KeysAtIteration[4] = kCtrlQ;
    Run(20);
    const std::string log = ReadText("fitlog.txt");
    EXPECT_EQ(CountLines(log), 4);
    EXPECT_EQ(log.substr(6, 2), "  ");
    EXPECT_EQ(log.find("\r\n"), 23u);
}

// Data files the fit must refuse before the search starts.
TEST_F(FilmFit, RejectsBadDataBeforeTheSearch) {
    PrepareFilmFit(20);
    WriteCommandFile(command);
    // A zero uncertainty at point 2.
    WriteText("data.dat",
              "0.5 1e-3 1e-5\n0.6 1e-3 0\n0.7 1e-3 1e-5\n0.8 1e-3 1e-5\n"
              "0.9 1e-3 1e-5\n1.0 1e-3 1e-5\n");
    try {
        RunFitting(ws, ui);
        FAIL() << "no error";
    } catch (const RunError& error) {
        EXPECT_NE(error.Where().find("point 2"), std::string::npos) << error.Where();
    }
    EXPECT_EQ(ui.Iterations, 0);
    EXPECT_FALSE(ui.DrawEnabled);
    // Four points, of which the unsmeared end points leave two in the window: no more
    // points than free parameters.
    WriteText("data.dat", "0.5 1e-3 1e-5\n0.6 1e-3 1e-5\n0.7 1e-3 1e-5\n0.8 1e-3 1e-5\n");
    ws = NewWorkspace();
    EXPECT_THROW(RunFitting(ws, ui), RunError);
    EXPECT_EQ(ui.Iterations, 0);
}

// Uncertainties whose weights 1/dI^2 or weighted intensities (I/dI)^2 leave the range of
// doubles: the figure of merit would be infinite, or 0 with W_Norma not a number. The
// data file is named, and the point where one point is at fault.
TEST_F(FilmFit, RefusesUncertaintiesWhoseWeightsAreOutOfRange) {
    PrepareFilmFit(20);
    WriteCommandFile(command);
    auto failure = [&](const std::string& uncertainty, const std::string& second) {
        std::string data;
        for (int i = 0; i < 8; ++i)
            data +=
                std::to_string(0.5 + 0.1 * i) + " 1e-3 " + (i == 1 ? second : uncertainty) + "\n";
        WriteText("data.dat", data);
        testing::fs::remove("model.bst");  // the synthetic data's own run wrote one
        ws = NewWorkspace();
        ui = ScriptedRunInterface{};
        const std::string text = testing::RunErrorOf([&] { RunFitting(ws, ui); });
        EXPECT_EQ(ui.Iterations, 0) << text;
        EXPECT_FALSE(testing::fs::exists("model.bst")) << text;
        return text;
    };
    EXPECT_EQ(failure("1e-5", "1e-320"),
              "The uncertainty of a data point is too small: its squared weight or weighted "
              "intensity (I / dI)^2 is not a finite number. | data.dat, point 2");
    EXPECT_EQ(failure("1e300", "1e300"),
              "The uncertainties of the data are too large: the mean weighted intensity (I / "
              "dI)^2 is 0 or too small to divide by. | data.dat");
}

TEST_F(FilmFit, HandsTheReadersWarningsToTheWindowBeforeTheFirstEvaluation) {
    command.MaxIterations = 0;
    PrepareFilmFit();
    // Stops after the film's roughness, the last free row: the substrate reads as 0s.
    WriteText("model.lmt", "100 200 10\n0.5e-5 2.5e-5 10\n0 1e-6 0\n1 10 10\n");
    WriteCommandFile(command);
    RunFitting(ws, ui);
    ASSERT_EQ(ui.Warnings.size(), 1u);
    EXPECT_NE(ui.Warnings[0].find("the limits file ends before the limits of [Thickness:2] "
                                  "(layer 2, column 1)"),
              std::string::npos)
        << ui.Warnings[0];
    const auto shown =
        std::find(ui.Calls.begin(), ui.Calls.end(), "ShowWarning: " + ui.Warnings[0]);
    EXPECT_LT(shown, std::find(ui.Calls.begin(), ui.Calls.end(), "ShowSimplexInitialization: on"));
    EXPECT_EQ(ws.Free.FreeCount, 3);  // the free rows are all there
}

// Ctrl+Q (Ctrl+C on the command line) between two evaluations of the phases without
// simplex iterations. The film fit has 3 free parameters: 4 vertices, so checks 1 to 3
// fall in the starting simplex; the Newton step's 12 evaluations follow, then the
// uncertainty estimate's 6.
TEST_F(FilmFit, AStopWhileTheStartingSimplexIsEvaluatedWritesTheBestVertexSoFar) {
    ui.NewtonAnswer = true;
    ui.KeysAtEvaluationCheck[2] = kCtrlQ;  // before vertex 3
    Run();
    EXPECT_EQ(ui.EvaluationChecks, 2);
    EXPECT_EQ(ui.Iterations, 0);               // no search
    EXPECT_EQ(ws.Fit.EvaluationCount, 2 + 1);  // two vertices, then the result
    EXPECT_LE(ws.Fit.BestVertex, 2);
    EXPECT_EQ(ReadText("model.loc"), "");
    EXPECT_NE(ReadText("model.bst").find("#Calls  = 3\r\n"), std::string::npos);
    EXPECT_EQ(CountLines(ReadText("model.pct")), 40);
    EXPECT_EQ(std::count(ui.Calls.begin(), ui.Calls.end(), "AskNewtonStep"), 0);
    EXPECT_EQ(ui.Messages.back(), "Done!!!   Press OK to continue");
    EXPECT_EQ(ui.LastKey(), 0);
}

// Ctrl+X is no stop between two evaluations: it stays in LastKey and ends the first
// local run at its first iteration.
TEST_F(FilmFit, ACtrlXWhileTheStartingSimplexIsEvaluatedEndsTheFirstLocalRun) {
    ui.KeysAtEvaluationCheck[1] = kCtrlX;  // before vertex 2
    Run();
    EXPECT_EQ(ui.EvaluationChecks, 3);  // all four vertices evaluated
    ASSERT_FALSE(ui.TermMessages.empty());
    EXPECT_EQ(ui.TermMessages.front(), "Amoeba has been canceled by user. ");
    const std::string loc = ReadText("model.loc");
    const std::string firstRun = loc.substr(0, loc.find("\r\n"));
    EXPECT_NE(firstRun.find(" #ITER=      0 "), std::string::npos) << firstRun;
    EXPECT_EQ(ui.LastKey(), 0);
}

TEST_F(FilmFit, AStopDuringTheNewtonStepKeepsTheSearchResultAndAddsNothing) {
    command.MaxIterations = 0;
    ui.UncertaintyAnswer = true;
    Run();
    const std::string withoutNewton = ReadText("model.bst");
    ws = NewWorkspace();
    ui = ScriptedRunInterface{};
    ui.NewtonAnswer = true;
    ui.UncertaintyAnswer = true;
    ui.KeysAtEvaluationCheck[6] = kCtrlQ;  // the Newton step's third check
    Run();
    // The uncertainty estimate still ran, around the unmoved search result.
    EXPECT_EQ(ReadText("model.bst"), withoutNewton);
    EXPECT_NE(withoutNewton.find("Estimation of Parameters Uncertainties"), std::string::npos);
    EXPECT_EQ(ui.EvaluationChecks, 6 + 6);
    EXPECT_NE(std::find(ui.TmpMessages.begin(), ui.TmpMessages.end(),
                        "Newton Step in progress:  1st derivative.  To be done 32"),
              ui.TmpMessages.end());
    EXPECT_EQ(ui.TmpMessages.back(), "      ");
}

TEST_F(FilmFit, TheUncertaintyEstimateShowsItsProgressAndAStopAppendsNothing) {
    command.MaxIterations = 0;
    ui.UncertaintyAnswer = true;
    Run();
    const std::vector<std::string> countDown{"Uncertainty estimate in progress:  To be done ",
                                             "Uncertainty estimate in progress:  To be done 3",
                                             "Uncertainty estimate in progress:  To be done 32",
                                             "Uncertainty estimate in progress:  To be done 321",
                                             "      "};
    EXPECT_TRUE(std::equal(countDown.rbegin(), countDown.rend(), ui.TmpMessages.rbegin()));

    ws = NewWorkspace();
    ui = ScriptedRunInterface{};
    ui.UncertaintyAnswer = true;
    ui.KeysAtEvaluationCheck[3 + 4] = kCtrlQ;  // before the estimate's fourth evaluation
    Run();
    EXPECT_EQ(ReadText("model.bst").find("Estimation"), std::string::npos);
    EXPECT_FALSE(ws.Fit.SkipFigureOfMerit);
    EXPECT_EQ(ui.EvaluationChecks, 7);
    EXPECT_EQ(ui.TmpMessages.back(), "      ");
    EXPECT_EQ(ui.Messages.back(), "Done!!!   Press OK to continue");
}

// End to end: data from the true model, a fit from wrong starting values.

// The views of a fit: the final model's residuals divided by the weights the fit used
// give back its figure of merit, and the table matches the result model file.
TEST_F(FilmFit, TheReportShowsTheFinalModelWithTheWeightsTheFitUsed) {
    ui.UncertaintyAnswer = true;
    Run();
    const RunReport report = ReportOfFit(ws);
    ASSERT_TRUE(report.Fit && report.Profile && report.Values);
    const FitViewData& view = *report.Fit;
    // The weights are the data file's third column, as read.
    std::istringstream data(ReadText("data.dat"));
    double angle = 0.0, measured = 0.0, error = 0.0;
    for (std::size_t i = 0; data >> angle >> measured >> error; ++i) {
        ASSERT_LT(i, view.Uncertainty.size());
        EXPECT_DOUBLE_EQ(view.Uncertainty[i], error);
        EXPECT_DOUBLE_EQ(view.Measured[i], measured);
    }
    const std::vector<double> residuals =
        NormalisedResiduals(view.Measured, view.Fitted, view.Uncertainty);
    const double chi2 =
        ReducedChiSquare(residuals, view.WindowFirst, view.WindowLast, ws.Free.FreeCount);
    EXPECT_NEAR(chi2, report.Values->ReducedChiSquare, 1e-9 * chi2);
    EXPECT_NEAR(view.ReducedChiSquare, report.Values->ReducedChiSquare, 1e-12 * chi2);

    // The free parameters in model order, started where model.mdl said, ended where
    // model.bst says, each with an estimated uncertainty and its limits.
    const auto layers = FittedLayers(ReadText("model.bst"), 2);
    const std::vector<FittedValue>& values = report.Values->Values;
    ASSERT_EQ(values.size(), 3u);
    const struct {
        const char* Name;
        int Column;
        double Start, Lower, Upper;
    } expected[] = {{"Thickness:1", 0, 130.0, 100.0, 200.0},
                    {"ReDensity:1", 1, 1.3e-5, 0.5e-5, 2.5e-5},
                    {"Roughness:1", 3, 6.0, 1.0, 10.0}};
    for (std::size_t k = 0; k < values.size(); ++k) {
        SCOPED_TRACE(expected[k].Name);
        EXPECT_EQ(values[k].Name, expected[k].Name);
        EXPECT_DOUBLE_EQ(values[k].Start, expected[k].Start);
        const double fitted = layers[0][expected[k].Column];
        EXPECT_NEAR(values[k].Fitted, fitted, 1e-5 * std::fabs(fitted));
        ASSERT_TRUE(values[k].Uncertainty.has_value());
        EXPECT_GT(*values[k].Uncertainty, 0.0);
        EXPECT_EQ(values[k].Lower, expected[k].Lower);
        EXPECT_EQ(values[k].Upper, expected[k].Upper);
        EXPECT_EQ(values[k].Mark, LimitMark::None);
    }
    // The profile shows the fitted film beside the start.
    ASSERT_TRUE(report.Profile->Start.has_value());
    EXPECT_DOUBLE_EQ(report.Profile->Start->Value(1), 130.0);
    EXPECT_NEAR(report.Profile->Model.Value(1), layers[0][0], 1e-5 * layers[0][0]);
}

TEST_F(FilmFit, FresnelWeightsAreTheWeightsOfTheResiduals) {
    PrepareFilmFit();
    // Angle and reflectivity only: the weights come from the weighting dialog.
    std::istringstream synthetic(ReadText("data.dat"));
    std::string data;
    double angle = 0.0, measured = 0.0, error = 0.0;
    while (synthetic >> angle >> measured >> error)
        data += std::to_string(angle) + " " + std::to_string(measured) + "\n";
    WriteText("data.dat", data);
    command.ErrorsFromFile = "N";
    WriteCommandFile(command);
    ui.WeightingAnswer = WeightingDialogRecord{0, ""};  // "Freshnel law"
    RunFitting(ws, ui);
    const RunReport report = ReportOfFit(ws);
    ASSERT_TRUE(report.Fit && report.Values);
    const FitViewData& view = *report.Fit;
    // Not the file's 3 % errors: the bare substrate's reflectivity at each angle.
    EXPECT_GT(std::fabs(view.Uncertainty[20] - 0.03 * view.Measured[20]),
              0.1 * view.Uncertainty[20]);
    const double chi2 =
        ReducedChiSquare(NormalisedResiduals(view.Measured, view.Fitted, view.Uncertainty),
                         view.WindowFirst, view.WindowLast, ws.Free.FreeCount);
    EXPECT_NEAR(chi2, report.Values->ReducedChiSquare, 1e-9 * chi2);
}

TEST_F(FilmFit, AValuePressedAgainstALimitIsMarked) {
    // The true roughness is 4 A; the limits allow 5 .. 10 only.
    PrepareFit(kFilmModel, kFilmLimits, {150.0, 1.5e-5, 4.0}, {130.0, 1.3e-5, 6.0},
               Range(0.1, 2.0, 40));
    std::string limits = kFilmLimits;
    limits.replace(limits.find("1 10 10"), 7, "5 10 10");
    WriteText("model.lmt", limits);
    WriteCommandFile(command);
    RunFitting(ws, ui);
    const RunReport report = ReportOfFit(ws);
    ASSERT_TRUE(report.Values);
    const FittedValue& roughness = report.Values->Values.back();
    EXPECT_EQ(roughness.Name, "Roughness:1");
    EXPECT_NEAR(roughness.Fitted, 5.0, 0.01);
    EXPECT_EQ(roughness.Mark, LimitMark::AtLower);
    EXPECT_FALSE(report.Values->Values.front().Uncertainty.has_value());
}

TEST_F(FilmFit, ClosingTheSettingsDialogCancelsTheFitBeforeAnyFileIsRead) {
    PrepareFilmFit();
    WriteCommandFile(command);
    for (const char* name : {"data.dat", "model.bst", "model.pct", "model.loc"})
        testing::fs::remove(name);  // data.dat would fail the run if it were read
    ui.CancelCommandFileDialog = true;
    EXPECT_EQ(RunFitting(ws, ui), FittingOutcome::Cancelled);
    EXPECT_FALSE(testing::fs::exists("model.bst"));
    EXPECT_FALSE(testing::fs::exists("model.pct"));
    EXPECT_TRUE(ui.Messages.empty());
    EXPECT_EQ(ui.Calls, std::vector<std::string>{"ShowCommandFileDialog"});
}

TEST_F(FilmFit, DataReadAsQzThatReachLargeAnglesAreWarnedOf) {
    PrepareFilmFit();
    command.Mode = "S";
    WriteCommandFile(command);
    ui.EditCommandFileDialog = [](CommandFileDialogRecord& record) { record.QzFormat = 1; };
    // Angles of 0.1 .. 2 degrees read as Qz reach no more than 14.2 degrees: no word.
    RunFitting(ws, ui);
    EXPECT_TRUE(ui.Warnings.empty());
    // 0.1 .. 3 read as Qz reach 21.6 degrees.
    std::string data;
    for (const double x : Range(0.1, 3.0, 30)) data += std::to_string(x) + " 1e-3 1e-5\n";
    WriteText("data.dat", data);
    RunFitting(ws, ui);
    ASSERT_EQ(ui.Warnings.size(), 1u);
    EXPECT_NE(ui.Warnings[0].find("data.dat: the abscissae, read as Qz in 1/A (\"Qz Format\"), "
                                  "reach a glancing angle of 21.6 degrees"),
              std::string::npos)
        << ui.Warnings[0];
}

TEST_F(FilmFit, RecoversASingleFilm) {
    ws = NewWorkspace(3);
    Run(60);
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
    PrepareFit(model, limits, {25.0, 35.0, 4.0}, {23.5, 36.0, 2.0}, Range(0.2, 3.0, 50));
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
    PrepareFit(model, limits, {200.0, 6.4e-6, 5.0}, {192.0, 5.8e-6, 6.5}, Range(0.01, 0.2, 60),
               true, 1);
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
