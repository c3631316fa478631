#pragma once
// "Profile": the density profile of the last run's model (output/ProfileView), after a
// fit with its start model dashed beside it.

#include <optional>

#include "gui/ViewWindow.h"
#include "output/ProfileView.h"

namespace korvel::gui {

class ProfileWindow : public ViewWindow {
    Q_OBJECT
  public:
    explicit ProfileWindow(UserPrompts& prompts);

    void SetData(std::optional<ProfileViewData> data);
    bool HasContent() const override { return data_.has_value(); }

  protected:
    void DrawView(PlotCanvas& canvas) const override;
    QString EmptyText() const override;

  private:
    std::optional<ProfileViewData> data_;
};

}  // namespace korvel::gui
