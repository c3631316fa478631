#pragma once
// Everything a run asks of a window goes through this interface. The desktop
// program implements it with its dialogs and windows, the command line with its
// options and stderr, and the tests with scripted answers.

#include <string>

#include "app/DialogRecords.h"

namespace korvel {

struct CurveArrays;

// Control codes of LastKey that a run acts on.
inline constexpr int kCtrlQ = 17;  // end the whole search
inline constexpr int kCtrlX = 24;  // end the simplex run under way

// Fields of the "Fitting Infor" window.
enum class FittingField { LocGlob, NIteration, Tolerance, XiBest, XiWorst, SessionBest, TermMess };
// Fields of the "   Simplex Initialization " window.
enum class SimplexInitField { ELoopsRest, EClcTime };
// How the main window's TmpMessage label is shown.
enum class TmpMessageStyle {
    Hidden,       // caption of six blanks, font size 8, black, hidden
    FittingHint,  // "Press Ctrl+Q to terminate fitting": left 120, size 10, red
    NewtonStep,   // "Newton Step in progress: ...": left 10, size 8, red
};

class RunInterface {
public:
    virtual ~RunInterface() = default;

    // Modal dialogs. The implementation shows the record, lets the user edit it and
    // returns when the dialog closes, by whatever means.
    // "Command File Parameters": true when it was closed with OK; false when the user
    // closed it otherwise (its close button, Esc), which cancels the fit. Either way the
    // record holds what the dialog showed when it closed.
    virtual bool ShowCommandFileDialog(CommandFileDialogRecord& record) = 0;
    virtual void ShowWeightingDialog(WeightingDialogRecord& record) = 0;
    // "Execute Newton Step ?": true for "Yes".
    virtual bool AskNewtonStep() = 0;
    // "Calculate Parameters Uncertainty ?": true for "   Yes".
    virtual bool AskUncertainty() = 0;
    // Message box with OK and Cancel at (660, 458); the answer is not examined.
    virtual void ShowMessage(const std::string& text) = 0;

    // Run windows. Field setters repaint at once, also while no events are processed.
    virtual void ShowSimplexInitialization(bool shown) = 0;
    virtual void SetSimplexInitField(SimplexInitField field, const std::string& text) = 0;
    virtual void ShowFittingInformation(bool shown) = 0;
    virtual void SetFittingField(FittingField field, const std::string& text) = 0;
    virtual void SetTmpMessage(const std::string& caption, TmpMessageStyle style) = 0;

    // The "&Draw" menu item follows the runs; the plot window shows the curves.
    virtual void SetDrawEnabled(bool enabled) = 0;
    virtual void ShowPlotWindow() = 0;
    virtual void DrawPlot(const CurveArrays& curves) = 0;

    // Once per simplex iteration: let the window process pending messages; then
    // LastKey is read (kCtrlQ, kCtrlX) and cleared when it becomes a stop request.
    virtual void ProcessPendingEvents() = 0;
    virtual int LastKey() const = 0;
    virtual void ClearLastKey() = 0;
    // The same between two curve evaluations of the phases without simplex iterations
    // (the starting simplex, the Newton step, the uncertainty estimate), so that a stop
    // is heard there too; only Ctrl+Q is taken there.
    virtual void ProcessEventsBetweenEvaluations() { ProcessPendingEvents(); }

    // Something the run read as its format says but that is probably not what was
    // meant (a model file ending early, a link cycle): one line naming the file and the
    // place. The run goes on.
    virtual void ShowWarning(const std::string& text) = 0;
};

}  // namespace korvel
