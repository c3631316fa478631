// The library fit's observer: progress to the caller, stop requests to the fit, result
// texts and the reported model into the result.

#include "api/FitCollector.h"

#include <string_view>

#include "api/Conversion.h"
#include "base/ParameterIndex.h"
#include "fit/FitSession.h"
#include "input/ModelReader.h"
#include "output/ResultFiles.h"

namespace korvel::api {

namespace {

// The public phases and events mirror the fit's own, one for one.
static_assert(static_cast<int>(ProgressPhase::Uncertainty) ==
              static_cast<int>(FitPhase::Uncertainty));
static_assert(static_cast<int>(ProgressPhase::Sampling) == static_cast<int>(FitPhase::Sampling));
static_assert(static_cast<int>(ProgressEvent::Generation) ==
              static_cast<int>(ProgressKind::Generation));
static_assert(static_cast<int>(ProgressPhase::Newton) == static_cast<int>(FitPhase::Newton));
static_assert(static_cast<int>(ProgressEvent::Evaluated) ==
              static_cast<int>(ProgressKind::Evaluated));
static_assert(static_cast<int>(ProgressEvent::Iteration) ==
              static_cast<int>(ProgressKind::Iteration));

// A termination text without the blanks that pad it to the fitting window's field.
std::string_view Trimmed(std::string_view text) {
    const auto last = text.find_last_not_of(' ');
    return last == std::string_view::npos ? std::string_view() : text.substr(0, last + 1);
}

}  // namespace

FitCollector::FitCollector(const FitControl& control, FitStop& stop, DensityUnits units)
    : control_(control), stop_(stop), units_(units) {
    // Requests to end a local run made before this fit were meant for others.
    if (control_.Stop) localRunEndsSeen_ = control_.Stop->LocalRunEndRequests();
}

void FitCollector::OnProgress(const FitProgress& progress) {
    const bool runEnded = progress.Kind == ProgressKind::RunEnded;
    if (runEnded) result_.Termination.assign(Trimmed(progress.TerminationText));
    if (control_.OnProgress) {
        Progress& r = report_;
        r.Phase = static_cast<ProgressPhase>(progress.Phase);
        r.Event = static_cast<ProgressEvent>(progress.Kind);
        r.Evaluations = progress.Evaluations;
        r.SessionBest = progress.SessionBest;
        r.Iteration = progress.Iteration;
        r.BestMerit = progress.BestMerit;
        r.WorstMerit = progress.WorstMerit;
        r.Tolerance = progress.Tolerance;
        r.NewBest = progress.NewBest;
        if (runEnded)
            r.Termination.assign(Trimmed(progress.TerminationText));
        else
            r.Termination.clear();
        r.Remaining = progress.Remaining;
        r.Total = progress.Total;
        r.SecondsPerCurve = progress.SecondsPerCurve;
        r.Generation = progress.Generation;
        r.MedianMerit = progress.MedianMerit;
        r.Acceptance = progress.Acceptance;
        control_.OnProgress(r);
    }
    // Every stop read of the fit follows a report: a request made before or during
    // this one is read next.
    TakeStopRequests();
}

void FitCollector::TakeStopRequests() {
    if (searchEndPending_ && !stop_.EndSearch.load()) {
        searchEndPending_ = false;
        stopped_ = true;
    }
    if (!control_.Stop) return;
    if (!searchEndPassed_ && control_.Stop->SearchEndRequested()) {
        searchEndPassed_ = true;
        searchEndPending_ = true;
        stop_.EndSearch = true;
    }
    const std::uint64_t localRunEnds = control_.Stop->LocalRunEndRequests();
    if (localRunEnds != localRunEndsSeen_) {
        localRunEndsSeen_ = localRunEnds;
        stop_.EndLocalRun = true;
    }
}

bool FitCollector::Decide(bool wanted) {
    TakeStopRequests();
    if (!wanted) return false;
    if (searchEndPassed_) {
        stopped_ = true;
        return false;
    }
    return true;
}

void FitCollector::OnLocalRunEnded(const FitSession& session) {
    result_.LocText += LocalRunLine(session);
}

void FitCollector::OnSearchResult(const FitSession& session) {
    result_.BstText = ResultModelText(session);
    result_.PctText = FittedCurveText(session);
    Keep(session);
}

void FitCollector::OnNewtonSection(const FitSession& session, NewtonSection section,
                                   double meritDifference) {
    result_.BstText += NewtonSectionText(session, section, meritDifference);
    // The Newton point stands when it beats the search's result; the optimised point
    // always stands. The model and curves are those of the point reported.
    if ((section == NewtonSection::NewtonPoint && meritDifference > 0.0) ||
        section == NewtonSection::OptimizedPoint)
        Keep(session);
}

void FitCollector::OnUncertainties(const FitSession& session, std::span<const double> values,
                                   std::span<const double> uncertainties) {
    result_.BstText += UncertaintyTable(session, values, uncertainties);
    uncertainties_.assign(uncertainties.begin(), uncertainties.end());
}

void FitCollector::Keep(const FitSession& session) {
    result_.Fitted = ToSample(session.Model, units_);
    result_.ReducedChiSquare = session.Fit.BestMerit;
    result_.WindowFirst = session.Fit.FitWindowFirst;
    result_.WindowLast = session.Fit.FitWindowLast;
    result_.ScaleUnsmeared = session.Fit.ScaleUnsmeared;
    result_.ScaleSmeared = session.Fit.ScaleSmeared;
    const CurveArrays& curves = session.Curves;
    result_.Computed = ToCurve(curves.Angle, curves.CalculatedCurve);
    result_.Smeared = ToCurve(curves.Angle, curves.SmearedCurve);
}

FitResult FitCollector::Finish(const FitSession& session) {
    TakeStopRequests();
    FitResult result = std::move(result_);
    result.Stopped = stopped_;
    result.Seed = session.Fit.Seed;
    result.Evaluations = session.Fit.Evaluations;
    result.Warnings = session.Warnings.Texts;
    const CurveArrays& curves = session.Curves;
    result.Measured = ToCurve(curves.Angle, curves.MeasuredIntensity, curves.Uncertainty);
    result.Measured.Resolution = curves.Resolution;

    // The free parameters as the best vertex holds them at the end: values once the fit
    // has converted it (and kept, moved or restored it after a Newton step).
    const FreeParameters& free = session.Free;
    const int best = session.Fit.BestVertex;
    if (free.VertexHoldsValues && best >= 1 && best <= static_cast<int>(free.Vertices.size())) {
        const std::vector<double>& vertex = free.Vertices[best - 1];
        const int units = static_cast<int>(units_);
        const double wavelength = session.Model.Header.Wavelength;
        for (int k = 1; k <= free.FreeCount; ++k) {
            const int j = free.ModelIndexOfFree(k);
            FittedParameter parameter;
            parameter.Name = std::string(ParameterLabel(j)) + ":" + std::to_string(LayerOf(j));
            parameter.Value = vertex[k - 1];
            if (IsDensityParameter(j))
                parameter.Value = ToFileUnits(j, parameter.Value, units, wavelength);
            // The density conversions are linear: an uncertainty converts as its value.
            if (k <= static_cast<int>(uncertainties_.size()) && uncertainties_[k - 1]) {
                double uncertainty = *uncertainties_[k - 1];
                if (IsDensityParameter(j))
                    uncertainty = ToFileUnits(j, uncertainty, units, wavelength);
                parameter.Uncertainty = uncertainty;
            }
            result.Parameters.push_back(std::move(parameter));
        }
    }
    return result;
}

}  // namespace korvel::api
