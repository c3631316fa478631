// Command-line implementation of the run interface. Progress lines go to stderr at
// most four times a second on a terminal (rewriting one line) and once a second
// otherwise; termination messages and message boxes always get their own line.

#include "cli/CliRunInterface.h"

#include <unistd.h>

#include <algorithm>
#include <utility>

#include "cli/Interrupt.h"

namespace korvel::cli {

namespace {

constexpr int kCtrlQ = 17;

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

void CliRunInterface::ShowCommandFileDialog(CommandFileDialogRecord& record) {
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
    if (shown) {
        verticesToEvaluate_.clear();
        verticesLeft_.clear();
        secondsPerCurve_.clear();
        return;
    }
    if (verticesToEvaluate_.empty()) return;
    // A stop may have ended the evaluation early: the count-down says how far it came.
    const int total = std::stoi(verticesToEvaluate_);
    const int evaluated = total - std::stoi(verticesLeft_) + 1;
    PrintLine("initial simplex: " + std::to_string(evaluated) +
              (evaluated == total ? "" : " of " + verticesToEvaluate_) + " vertices evaluated, " +
              secondsPerCurve_ + " s per curve");
}

void CliRunInterface::SetSimplexInitField(SimplexInitField field, const std::string& text) {
    if (field == SimplexInitField::ELoopsRest) {
        // Counts down from the number of vertices; keep the first value.
        if (verticesToEvaluate_.empty()) verticesToEvaluate_ = Trimmed(text);
        verticesLeft_ = Trimmed(text);
        ShowStatus("initial simplex: " + Trimmed(text) + " of " + verticesToEvaluate_ +
                       " vertices to evaluate",
                   false);
    } else {
        secondsPerCurve_ = Trimmed(text);
    }
}

void CliRunInterface::ShowFittingInformation(bool shown) {
    if (!shown) ShowProgress(true);
}

void CliRunInterface::SetFittingField(FittingField field, const std::string& text) {
    switch (field) {
        case FittingField::LocGlob:
            phase_ = Trimmed(text);
            simplexRunOpen_ = true;
            break;
        case FittingField::NIteration:
            CountCalls(Trimmed(text));
            break;
        case FittingField::SessionBest:
            // Written by local runs only, so it is always a reduced chi-square.
            bestMerit_ = Trimmed(text);
            break;
        case FittingField::TermMess:
            // A simplex run ends with its message; outside a run the message is the
            // global step's own.
            if (!Trimmed(text).empty())
                PrintLine((simplexRunOpen_ ? phase_ + " run" : std::string("Global step")) +
                          " ended: " + Trimmed(text) + "  #Calls " + calls_ + ", best Xi^2 " +
                          bestMerit_);
            simplexRunOpen_ = false;
            return;
        case FittingField::Tolerance:
        case FittingField::XiBest:
        case FittingField::XiWorst:
            return;
    }
    ShowProgress(false);
}

void CliRunInterface::SetTmpMessage(const std::string& caption, TmpMessageStyle style) {
    switch (style) {
        case TmpMessageStyle::FittingHint:
            PrintLine(
                "fitting: press Ctrl+C to end the search (the result files are still "
                "written)");
            break;
        case TmpMessageStyle::NewtonStep:
            ShowPhaseCaption(Trimmed(caption));
            break;
        case TmpMessageStyle::Hidden:
            break;
    }
}

void CliRunInterface::SetDrawEnabled(bool enabled) { drawEnabled_ = enabled; }

void CliRunInterface::ShowPlotWindow() {}

void CliRunInterface::DrawPlot(const CurveArrays& curves) {
    lastCurves_ = curves;
    hasDrawn_ = true;
}

void CliRunInterface::ProcessPendingEvents() {
    if (!interruptHandled_ && InterruptRequested()) {
        interruptHandled_ = true;
        lastKey_ = kCtrlQ;
        PrintLine("interrupted: ending the search");
    }
}

int CliRunInterface::LastKey() const { return lastKey_; }

void CliRunInterface::ClearLastKey() { lastKey_ = 0; }

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

void CliRunInterface::CountCalls(const std::string& text) {
    unsigned long long shown = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            calls_ = text;
            return;
        }
        shown = shown * 10 + static_cast<unsigned>(c - '0');
    }
    if (shown < callsShown_) callsWrapped_ += 65536;
    callsShown_ = shown;
    calls_ = std::to_string(callsWrapped_ + shown);
}

// The Newton step and the uncertainty estimate grow their caption by one number per
// stage of the count-down. A caption that only appends digits goes on counting down and
// is shown with its latest number at most a few times a second; any other caption
// starts a stage and is shown at once.
void CliRunInterface::ShowPhaseCaption(const std::string& caption) {
    const bool countDown =
        !caption_.empty() && caption.size() > caption_.size() &&
        caption.compare(0, caption_.size(), caption_) == 0 &&
        caption.find_first_not_of("0123456789 ", caption_.size()) == std::string::npos;
    if (!countDown) {
        caption_ = caption;
        stem_ = caption;
        ShowStatus(caption, true);
        return;
    }
    const std::string latest = Trimmed(caption.substr(caption_.size()));
    caption_ = caption;
    ShowStatus(stem_ + " " + latest, false);
}

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
    ShowStatus(phase_ + "  #Calls " + calls_ + "  best Xi^2 " + bestMerit_, force);
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
