// Result texts to files: the set of .bst, .pct and .loc through the result writer,
// the later sections appended to the .bst in place, the fitting log appended line by
// line.

#include "app/FitFiles.h"

#include <utility>

#include "app/Workspace.h"
#include "base/ResultSetWriter.h"
#include "base/TextFile.h"
#include "output/ResultFiles.h"

namespace korvel {

void WriteFitResults(Workspace& ws, ResultSetWriter& results) {
    results.Write(ws.Files.ResultModelFile, ResultModelText(ws));
    results.Write(ws.Files.FittedCurveFile, FittedCurveText(ws));
    results.Commit();
    ws.Files.Written = true;
}

void FitFileWriter::OnProgress(const FitProgress& progress) {
    // The log line of an iteration goes before the display takes its keys.
    if (progress.Phase == FitPhase::Local && progress.Kind == ProgressKind::Iteration &&
        !fitLog_.empty())
        AppendToFile(fitLog_, FitLogLine(progress.Calls, progress.BestMerit));
    next_.OnProgress(progress);
    if (progress.Phase == FitPhase::InitialSimplex && progress.Kind == ProgressKind::Ended &&
        results_) {
        // The .loc file holds the local runs of this fit only; it is put into place with
        // the .bst and .pct.
        results_->Write(ws_.Files.LocalRunFile, "");
    } else if (progress.Phase == FitPhase::Search && progress.Kind == ProgressKind::Started &&
               !fitLog_.empty()) {
        ReplaceFile(fitLog_, "");
    }
}

void FitFileWriter::OnLocalRunEnded(const FitSession& session) {
    if (results_) results_->Append(ws_.Files.LocalRunFile, LocalRunLine(session));
    next_.OnLocalRunEnded(session);
}

void FitFileWriter::OnSearchResult(const FitSession& session) {
    if (results_) WriteFitResults(ws_, *results_);
    next_.OnSearchResult(session);
}

void FitFileWriter::OnNewtonSection(const FitSession& session, NewtonSection section,
                                    double meritDifference) {
    AppendToFile(ws_.Files.ResultModelFile, NewtonSectionText(session, section, meritDifference));
    next_.OnNewtonSection(session, section, meritDifference);
}

void FitFileWriter::OnUncertainties(const FitSession& session, std::span<const double> values,
                                    std::span<const double> uncertainties) {
    AppendToFile(ws_.Files.ResultModelFile, UncertaintyTable(session, values, uncertainties));
    next_.OnUncertainties(session, values, uncertainties);
}

}  // namespace korvel
