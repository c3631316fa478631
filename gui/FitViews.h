#pragma once
// The three view windows of the last run ("Fit view", "Profile", "Fitted values"),
// opened from the plot window's right-click menu. They show the run report the main
// window hands over once a run is over, and follow it while open.

#include <memory>

#include "app/RunReport.h"

class QMenu;
class QWidget;

namespace korvel::gui {

class FitViewWindow;
class FittedValuesWindow;
class ProfileWindow;
class UserPrompts;

class FitViews {
  public:
    // The windows open clear of `main` and of `plot`'s corner.
    FitViews(UserPrompts& prompts, const QWidget& main, const QWidget& plot);
    ~FitViews();

    // The report of the run just over; an empty one clears the windows.
    void SetReport(RunReport report);
    const RunReport& Report() const { return report_; }

    void ShowFitView();
    void ShowProfile();
    void ShowFittedValues();
    // "Fit view", "Profile" and "Fitted values", each enabled when the report has it.
    void FillMenu(QMenu& menu);
    void CloseAll();

    FitViewWindow& FitView() { return *fitView_; }
    ProfileWindow& Profile() { return *profile_; }
    FittedValuesWindow& FittedValues() { return *fittedValues_; }

  private:
    void Open(QWidget& window, int cascade);

    const QWidget& main_;
    const QWidget& plot_;
    RunReport report_;
    std::unique_ptr<FitViewWindow> fitView_;
    std::unique_ptr<ProfileWindow> profile_;
    std::unique_ptr<FittedValuesWindow> fittedValues_;
};

}  // namespace korvel::gui
