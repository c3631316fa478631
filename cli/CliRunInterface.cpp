// Command-line implementation of the run interface and the fit's observer. Progress
// lines go to stderr at most four times a second on a terminal (rewriting one line)
// and once a second otherwise; termination messages and message boxes always get
// their own line.

#include "cli/CliRunInterface.h"

#include <unistd.h>

#include <algorithm>
#include <utility>

#include "app/RunInterfaceObserver.h"
#include "base/NumberFormat.h"
#include "cli/Interrupt.h"

namespace korvel::cli {

namespace {

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

}  // namespace

CliRunInterface::CliRunInterface(DialogAnswers answers, bool quiet, std::FILE* out)
    : answers_(std::move(answers)),
      quiet_(quiet),
      out_(out),
      isTerminal_(out != nullptr && isatty(fileno(out)) != 0) {}

bool CliRunInterface::ShowCommandFileDialog(CommandFileDialogRecord& record) {
    // The dialog is accepted as the command file filled it, except for the three
    // settings the command file does not carry.
    record.QzFormat = answers_.QzInverseAngstrom ? 1 : 0;
    record.DensityUnits = answers_.DensityUnits;
    if (record.RULengthEnabled) {
        record.RULength = answers_.RepeatUnitFixed ? 1 : 0;
    } else {
        record.RULength = 0;
        if (answers_.RepeatUnitFixed)
            PrintLine("note: the model has no repeat unit; --repeat-unit-fixed has no effect");
    }
    return true;
}

void CliRunInterface::ShowWeightingDialog(WeightingDialogRecord& record) {
    record.NormaRadioGroup = answers_.FresnelWeights ? 0 : 1;
    record.FracEdit = answers_.FresnelWeights ? std::string() : answers_.ErrorFractionText;
}

// After Ctrl+C the results are those of the best model so far: no further phase starts.
bool CliRunInterface::AskNewtonStep() { return answers_.NewtonStep && !interruptHandled_; }

bool CliRunInterface::AskUncertainty() { return answers_.Uncertainty && !interruptHandled_; }

void CliRunInterface::ShowMessage(const std::string& text) { PrintLine(text); }

void CliRunInterface::ShowSimplexInitialization(bool shown) {
    if (!shown) PrintInitialSimplexSummary();
}

void CliRunInterface::SetSimplexInitField(SimplexInitField, const std::string&) {}

void CliRunInterface::ShowFittingInformation(bool shown) {
    if (!shown) ShowProgress(true);
}

void CliRunInterface::SetFittingField(FittingField, const std::string&) {}

void CliRunInterface::SetTmpMessage(const std::string&, TmpMessageStyle) {}

void CliRunInterface::SetDrawEnabled(bool enabled) { drawEnabled_ = enabled; }

void CliRunInterface::ShowPlotWindow() {}

void CliRunInterface::DrawPlot(const CurveArrays& curves) {
    lastCurves_ = curves;
    hasDrawn_ = true;
}

void CliRunInterface::ProcessPendingEvents() {}

// No key reaches the program: Ctrl+C is a signal, heard through the fit's progress.
int CliRunInterface::LastKey() const { return 0; }

void CliRunInterface::ClearLastKey() {}

void CliRunInterface::ShowWarning(const std::string& text) {
    // Also with --quiet: like an error, a warning is about the input, not progress.
    if (out_ == nullptr) return;
    if (progressLineOpen_) {
        std::fputc('\n', out_);
        progressLineOpen_ = false;
    }
    std::fprintf(out_, "warning: %s\n", text.c_str());
    std::fflush(out_);
}

void CliRunInterface::OnProgress(const FitProgress& progress) {
    switch (progress.Phase) {
        case FitPhase::InitialSimplex:
            ShowInitialSimplex(progress);
            break;
        case FitPhase::Search:
            if (progress.Kind == ProgressKind::Started) {
                PrintLine(
                    "fitting: press Ctrl+C to end the search (the result files are still "
                    "written)");
            } else if (progress.Kind == ProgressKind::Ended) {
                PrintLine("End of Global Fitting");
                ShowProgress(true);
            }
            break;
        case FitPhase::Local:
        case FitPhase::Tunnelling:
            if (progress.Kind == ProgressKind::Iteration) ShowSimplexIteration(progress);
            if (progress.Kind == ProgressKind::RunEnded) ShowRunEnded(progress);
            break;
        case FitPhase::GlobalStep:
            if (progress.Kind == ProgressKind::RunEnded) {
                calls_ = progress.Evaluations;
                ShowProgress(false);
                ShowRunEnded(progress);
            }
            break;
        case FitPhase::Result:
            if (progress.Kind == ProgressKind::Evaluated && progress.Curves)
                DrawPlot(*progress.Curves);
            break;
        case FitPhase::Newton:
        case FitPhase::NewtonGradient:
        case FitPhase::NewtonCurvature:
        case FitPhase::Uncertainty:
            if (progress.Kind == ProgressKind::Started) {
                // A stage starts: its caption at once.
                stem_ = Trimmed(PhaseCaption(progress.Phase));
                ShowStatus(stem_, true);
            } else if (progress.Kind == ProgressKind::CountDown) {
                ShowStatus(stem_ + " " + std::to_string(progress.Remaining), false);
            } else if (progress.Kind == ProgressKind::BetweenEvaluations) {
                TakeInterrupt();
            }
            break;
        case FitPhase::Population:
            if (progress.Kind == ProgressKind::Started) {
                PrintLine("global search: press Ctrl+C to end it (the best member is still polished)");
            } else if (progress.Kind == ProgressKind::Generation) {
                calls_ = progress.Evaluations;
                ShowStatus("generation " + std::to_string(progress.Generation) + " of " +
                               std::to_string(progress.Total) + "  #Calls " +
                               std::to_string(calls_) + "  best Xi^2 " +
                               Trimmed(FormatE(progress.BestMerit, 15)) + "  median " +
                               Trimmed(FormatE(progress.MedianMerit, 15)),
                           progress.Generation == 0);
                TakeInterrupt();
            } else if (progress.Kind == ProgressKind::Ended) {
                PrintLine("global search: " + std::to_string(progress.Evaluations) +
                          " curve evaluations");
            }
            break;
        case FitPhase::Sampling:
            if (progress.Kind == ProgressKind::Generation) {
                ShowStatus("sampling: step " + std::to_string(progress.Generation) + " of " +
                               std::to_string(progress.Total) + "  acceptance " +
                               Trimmed(FormatF(progress.Acceptance, 6, 3)),
                           false);
                TakeSamplingInterrupt();
            }
            break;
    }
}

void CliRunInterface::ShowInitialSimplex(const FitProgress& progress) {
    switch (progress.Kind) {
        case ProgressKind::Started:
            verticesToEvaluate_ = 0;
            verticesLeft_ = 0;
            secondsPerCurve_.clear();
            break;
        case ProgressKind::VertexStarted:
            verticesToEvaluate_ = progress.Total;
            verticesLeft_ = progress.Remaining;
            ShowStatus("initial simplex: " + std::to_string(verticesLeft_) + " of " +
                           std::to_string(verticesToEvaluate_) + " vertices to evaluate",
                       false);
            break;
        case ProgressKind::VertexEvaluated:
            secondsPerCurve_ = Trimmed(FormatF(progress.SecondsPerCurve, 9, 3));
            break;
        case ProgressKind::BetweenEvaluations:
            TakeInterrupt();
            break;
        case ProgressKind::Ended:
            PrintInitialSimplexSummary();
            break;
        default:
            break;
    }
}

void CliRunInterface::PrintInitialSimplexSummary() {
    if (verticesToEvaluate_ == 0) return;
    // A stop may have ended the evaluation early: the count-down says how far it came.
    const int total = verticesToEvaluate_;
    const int evaluated = total - verticesLeft_ + 1;
    PrintLine("initial simplex: " + std::to_string(evaluated) +
              (evaluated == total ? "" : " of " + std::to_string(total)) + " vertices evaluated, " +
              secondsPerCurve_ + " s per curve");
}

void CliRunInterface::ShowSimplexIteration(const FitProgress& progress) {
    if (progress.Iteration == 0) {
        phase_ = SearchPhaseText(progress.Phase);
        simplexRunOpen_ = true;
        ShowProgress(false);
    }
    calls_ = progress.Evaluations;
    ShowProgress(false);
    if (progress.Phase == FitPhase::Local) {
        // Set by local runs only, so it is always a reduced chi-square.
        bestMerit_ = Trimmed(FormatE(progress.SessionBest, 15));
        ShowProgress(false);
        if (progress.NewBest && progress.Curves) DrawPlot(*progress.Curves);
    }
    TakeInterrupt();
}

void CliRunInterface::ShowRunEnded(const FitProgress& progress) {
    // A simplex run ends with its message; the global step reports its own end.
    const std::string text = Trimmed(std::string(progress.TerminationText));
    const bool run = simplexRunOpen_ && progress.Phase != FitPhase::GlobalStep;
    if (!text.empty())
        PrintLine((run ? phase_ + " run" : std::string("Global step")) + " ended: " + text +
                  "  #Calls " + std::to_string(calls_) + ", best Xi^2 " + bestMerit_);
    simplexRunOpen_ = false;
}

void CliRunInterface::TakeInterrupt() {
    if (!interruptHandled_ && InterruptRequested()) {
        interruptHandled_ = true;
        stop_.EndSearch = true;
        PrintLine("interrupted: ending the search");
    }
}

void CliRunInterface::TakeSamplingInterrupt() {
    // The fit was not interrupted (it is not sampled then): Ctrl+C ends the sampling with
    // the steps so far.
    if (!interruptHandled_ && InterruptRequested()) {
        interruptHandled_ = true;
        stop_.EndSearch = true;
        PrintLine("interrupted: ending the sampling");
    }
}

bool CliRunInterface::DecideNewtonStep() { return AskNewtonStep(); }

bool CliRunInterface::DecideUncertainty() { return AskUncertainty(); }

void CliRunInterface::PrintLine(const std::string& line) {
    if (quiet_ || out_ == nullptr) return;
    if (progressLineOpen_) {
        std::fputc('\n', out_);
        progressLineOpen_ = false;
    }
    std::fprintf(out_, "%s\n", line.c_str());
    std::fflush(out_);
}

void CliRunInterface::ShowProgress(bool force) {
    if (phase_.empty() || bestMerit_.empty()) return;
    ShowStatus(phase_ + "  #Calls " + std::to_string(calls_) + "  best Xi^2 " + bestMerit_, force);
}

void CliRunInterface::ShowStatus(const std::string& line, bool force) {
    if (quiet_ || out_ == nullptr) return;
    const auto now = std::chrono::steady_clock::now();
    const auto interval =
        isTerminal_ ? std::chrono::milliseconds(250) : std::chrono::milliseconds(1000);
    if (!force && now - lastProgress_ < interval) return;
    lastProgress_ = now;
    if (isTerminal_) {
        std::fprintf(out_, "\r%-72s", line.c_str());
        progressLineOpen_ = true;
    } else {
        std::fprintf(out_, "%s\n", line.c_str());
    }
    std::fflush(out_);
}

}  // namespace korvel::cli
