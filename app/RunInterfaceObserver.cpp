// Progress records to window fields: the texts and number formats of the "Fitting
// Infor" and "   Simplex Initialization " windows and of the main window's TmpMessage.

#include "app/RunInterfaceObserver.h"

#include "app/RunInterface.h"
#include "base/NumberFormat.h"

namespace korvel {

namespace {

constexpr const char* kHiddenCaption = "      ";

}  // namespace

const char* SearchPhaseText(FitPhase phase) {
    return phase == FitPhase::Tunnelling ? "Descend" : "Local";
}

const char* PhaseCaption(FitPhase phase) {
    switch (phase) {
        case FitPhase::Newton:
            return "Newton Step in progress: ";
        case FitPhase::NewtonGradient:
            return "Newton Step in progress:  1st derivative.  To be done ";
        case FitPhase::NewtonCurvature:
            return "Newton Step in progress:  2nd derivative.  To be done ";
        case FitPhase::Uncertainty:
            return "Uncertainty estimate in progress:  To be done ";
        default:
            return "";
    }
}

void RunInterfaceObserver::OnProgress(const FitProgress& progress) {
    switch (progress.Phase) {
        case FitPhase::InitialSimplex:
            switch (progress.Kind) {
                case ProgressKind::Started:
                    ui_.ShowSimplexInitialization(true);
                    break;
                case ProgressKind::VertexStarted:
                    ui_.SetSimplexInitField(SimplexInitField::ELoopsRest,
                                            FormatI(progress.Remaining));
                    break;
                case ProgressKind::VertexEvaluated:
                    ui_.SetSimplexInitField(SimplexInitField::EClcTime,
                                            FormatF(progress.SecondsPerCurve, 9, 3));
                    break;
                case ProgressKind::BetweenEvaluations:
                    TakeEvaluationKeys();
                    break;
                case ProgressKind::Ended:
                    ui_.ShowSimplexInitialization(false);
                    break;
                default:
                    break;
            }
            break;
        case FitPhase::Search:
            if (progress.Kind == ProgressKind::Started) {
                ui_.SetDrawEnabled(true);
                ui_.ShowFittingInformation(true);
                ui_.SetTmpMessage("Press Ctrl+Q to terminate fitting",
                                  TmpMessageStyle::FittingHint);
                ui_.ShowPlotWindow();
            } else if (progress.Kind == ProgressKind::Ended) {
                ui_.ShowMessage("End of Global Fitting");
                ui_.ShowFittingInformation(false);
                ui_.SetTmpMessage(kHiddenCaption, TmpMessageStyle::Hidden);
            }
            break;
        case FitPhase::Local:
        case FitPhase::Tunnelling:
            if (progress.Kind == ProgressKind::Iteration) {
                OnSimplexIteration(progress);
            } else if (progress.Kind == ProgressKind::RunEnded) {
                ui_.SetFittingField(FittingField::TermMess, std::string(progress.TerminationText));
            }
            break;
        case FitPhase::GlobalStep:
            if (progress.Kind == ProgressKind::RunEnded) {
                // The count has moved on since the last iteration showed it.
                ui_.SetFittingField(FittingField::NIteration, FormatI(progress.Calls));
                ui_.SetFittingField(FittingField::TermMess, std::string(progress.TerminationText));
            }
            break;
        case FitPhase::Result:
            // The plot may still show a trial of the search (Draw during tunnelling).
            if (progress.Kind == ProgressKind::Evaluated && progress.Curves)
                ui_.DrawPlot(*progress.Curves);
            break;
        case FitPhase::Newton:
        case FitPhase::NewtonGradient:
        case FitPhase::NewtonCurvature:
        case FitPhase::Uncertainty:
            switch (progress.Kind) {
                case ProgressKind::Started:
                    caption_ = PhaseCaption(progress.Phase);
                    ui_.SetTmpMessage(caption_, TmpMessageStyle::NewtonStep);
                    break;
                case ProgressKind::CountDown:
                    caption_ += std::to_string(progress.Remaining);
                    ui_.SetTmpMessage(caption_, TmpMessageStyle::NewtonStep);
                    break;
                case ProgressKind::BetweenEvaluations:
                    TakeEvaluationKeys();
                    break;
                case ProgressKind::Ended:
                    ui_.SetTmpMessage(kHiddenCaption, TmpMessageStyle::Hidden);
                    break;
                default:
                    break;
            }
            break;
        case FitPhase::Population:
        case FitPhase::Sampling:
            // Between generations the window takes its keys: Ctrl+Q ends the search (the
            // best member so far is polished) or the sampling.
            if (progress.Kind == ProgressKind::Started) {
                ui_.SetTmpMessage("Press Ctrl+Q to terminate fitting", TmpMessageStyle::FittingHint);
            } else if (progress.Kind == ProgressKind::Generation) {
                TakeEvaluationKeys();
            } else if (progress.Kind == ProgressKind::Ended) {
                ui_.SetTmpMessage(kHiddenCaption, TmpMessageStyle::Hidden);
            }
            break;
    }
}

void RunInterfaceObserver::OnSimplexIteration(const FitProgress& progress) {
    const bool local = progress.Phase == FitPhase::Local;
    if (progress.Iteration == 0)
        ui_.SetFittingField(FittingField::LocGlob, SearchPhaseText(progress.Phase));
    ui_.SetFittingField(FittingField::NIteration, FormatI(progress.Calls));
    ui_.SetFittingField(FittingField::Tolerance, FormatE(progress.Tolerance, 15));
    ui_.SetFittingField(FittingField::XiBest, FormatE(progress.BestMerit, 15));
    ui_.SetFittingField(FittingField::XiWorst, FormatE(progress.WorstMerit, 15));
    if (local) ui_.SetFittingField(FittingField::SessionBest, FormatE(progress.BestMerit, 15));
    if (local && progress.NewBest && progress.Curves) ui_.DrawPlot(*progress.Curves);
    TakeIterationKeys();
}

void RunInterfaceObserver::TakeIterationKeys() {
    ui_.ProcessPendingEvents();
    const int key = ui_.LastKey();
    if (key == kCtrlQ) {
        stop_.EndSearch = true;
        ui_.ClearLastKey();
    } else if (key == kCtrlX) {
        stop_.EndLocalRun = true;
        ui_.ClearLastKey();
    }
}

void RunInterfaceObserver::TakeEvaluationKeys() {
    ui_.ProcessEventsBetweenEvaluations();
    if (ui_.LastKey() != kCtrlQ) return;
    ui_.ClearLastKey();
    stop_.EndSearch = true;
}

bool RunInterfaceObserver::DecideNewtonStep() { return ui_.AskNewtonStep(); }

bool RunInterfaceObserver::DecideUncertainty() { return ui_.AskUncertainty(); }

}  // namespace korvel
