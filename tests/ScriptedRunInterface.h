#pragma once
// A run interface for tests: records every call in order, answers the dialogs from
// preset values and types control keys at given iterations (the n-th call of
// ProcessPendingEvents, counted over the whole run, 1-based) or at given checks
// between evaluations (the n-th call of ProcessEventsBetweenEvaluations).

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/RunInterface.h"
#include "model/CurveArrays.h"

namespace korvel::testing {

class ScriptedRunInterface : public RunInterface {
  public:
    // Answers.
    bool NewtonAnswer = false;
    bool UncertaintyAnswer = false;
    std::function<void(CommandFileDialogRecord&)> EditCommandFileDialog;
    bool CancelCommandFileDialog = false;  // closed without OK
    std::optional<WeightingDialogRecord> WeightingAnswer;
    // Key typed at iteration n (n-th ProcessPendingEvents call).
    std::map<int, int> KeysAtIteration;
    // Key typed at the n-th check between evaluations (ProcessEventsBetweenEvaluations).
    std::map<int, int> KeysAtEvaluationCheck;
    // Also list each DrawPlot in Calls (as "DrawPlot").
    bool RecordDraws = false;

    // What the run did.
    std::vector<std::string> Calls;  // one entry per call, "Name: argument"
    std::map<FittingField, std::string> FittingFields;
    std::vector<std::string> TermMessages;
    std::vector<std::string> Phases;  // each LocGlob text
    std::map<SimplexInitField, std::string> SimplexInitFields;
    std::vector<std::string> TmpMessages;
    std::vector<std::string> Messages;
    std::vector<std::string> Warnings;
    int Iterations = 0;        // ProcessPendingEvents calls
    int EvaluationChecks = 0;  // ProcessEventsBetweenEvaluations calls
    int PlotDraws = 0;
    CurveArrays Drawn;  // the curves of the last DrawPlot
    bool DrawEnabled = false;
    bool FittingInformationShown = false;
    bool SimplexInitializationShown = false;

    bool ShowCommandFileDialog(CommandFileDialogRecord& record) override {
        Calls.push_back("ShowCommandFileDialog");
        if (EditCommandFileDialog) EditCommandFileDialog(record);
        return !CancelCommandFileDialog;
    }
    void ShowWeightingDialog(WeightingDialogRecord& record) override {
        Calls.push_back("ShowWeightingDialog");
        if (WeightingAnswer) record = *WeightingAnswer;
    }
    bool AskNewtonStep() override {
        Calls.push_back("AskNewtonStep");
        return NewtonAnswer;
    }
    bool AskUncertainty() override {
        Calls.push_back("AskUncertainty");
        return UncertaintyAnswer;
    }
    void ShowMessage(const std::string& text) override {
        Calls.push_back("ShowMessage: " + text);
        Messages.push_back(text);
    }
    void ShowSimplexInitialization(bool shown) override {
        if (shown != SimplexInitializationShown)
            Calls.push_back(std::string("ShowSimplexInitialization: ") + (shown ? "on" : "off"));
        SimplexInitializationShown = shown;
    }
    void SetSimplexInitField(SimplexInitField field, const std::string& text) override {
        SimplexInitFields[field] = text;
    }
    void ShowFittingInformation(bool shown) override {
        if (shown != FittingInformationShown)
            Calls.push_back(std::string("ShowFittingInformation: ") + (shown ? "on" : "off"));
        FittingInformationShown = shown;
    }
    void SetFittingField(FittingField field, const std::string& text) override {
        FittingFields[field] = text;
        if (field == FittingField::TermMess) TermMessages.push_back(text);
        if (field == FittingField::LocGlob) Phases.push_back(text);
    }
    void SetTmpMessage(const std::string& caption, TmpMessageStyle style) override {
        TmpMessages.push_back(caption);
        TmpStyle = style;
    }
    void SetDrawEnabled(bool enabled) override {
        Calls.push_back(std::string("SetDrawEnabled: ") + (enabled ? "on" : "off"));
        DrawEnabled = enabled;
    }
    void ShowPlotWindow() override { Calls.push_back("ShowPlotWindow"); }
    void DrawPlot(const CurveArrays& curves) override {
        ++PlotDraws;
        Drawn = curves;
        if (RecordDraws) Calls.push_back("DrawPlot");
    }
    void ProcessPendingEvents() override {
        ++Iterations;
        auto key = KeysAtIteration.find(Iterations);
        if (key != KeysAtIteration.end()) lastKey_ = key->second;
    }
    int LastKey() const override { return lastKey_; }
    void ClearLastKey() override { lastKey_ = 0; }
    void ProcessEventsBetweenEvaluations() override {
        ++EvaluationChecks;
        auto key = KeysAtEvaluationCheck.find(EvaluationChecks);
        if (key != KeysAtEvaluationCheck.end()) lastKey_ = key->second;
    }
    void ShowWarning(const std::string& text) override {
        Calls.push_back("ShowWarning: " + text);
        Warnings.push_back(text);
    }

    TmpMessageStyle TmpStyle = TmpMessageStyle::Hidden;

  private:
    int lastKey_ = 0;
};

}  // namespace korvel::testing
