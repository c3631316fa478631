#pragma once
// "Fit view": measured points with their uncertainty bars, the fitted curve and the
// residual panel of the last fit (output/FitView). The right-click menu switches the
// abscissa between theta and Qz, the ordinate between R and R Qz^4, and the residual
// panel on and off.

#include <optional>

#include "gui/ViewWindow.h"
#include "output/FitView.h"

namespace korvel::gui {

class FitViewWindow : public ViewWindow {
    Q_OBJECT
  public:
    explicit FitViewWindow(UserPrompts& prompts);

    // The fit to show (none: the window says there is none); the options start from
    // the abscissa the data were given in.
    void SetData(std::optional<FitViewData> data);
    const FitViewOptions& Options() const { return options_; }
    void SetOptions(const FitViewOptions& options);

    void FillContextMenu(QMenu& menu) override;
    bool HasContent() const override { return data_.has_value(); }

  protected:
    void DrawView(PlotCanvas& canvas) const override;
    QString EmptyText() const override;

  private:
    std::optional<FitViewData> data_;
    FitViewOptions options_;
};

}  // namespace korvel::gui
