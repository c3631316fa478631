// The profile window.

#include "gui/ProfileWindow.h"

namespace korvel::gui {

ProfileWindow::ProfileWindow(UserPrompts& prompts)
    : ViewWindow(prompts, QStringLiteral("ProfileView"), QStringLiteral("Profile"),
                 QStringLiteral("profile")) {
    resize(720, 480);
}

void ProfileWindow::SetData(std::optional<ProfileViewData> data) {
    data_ = std::move(data);
    Render();
}

void ProfileWindow::DrawView(PlotCanvas& canvas) const { DrawProfileView(canvas, *data_); }

QString ProfileWindow::EmptyText() const {
    return QStringLiteral("No model to show: run a fit or a simulation first.");
}

}  // namespace korvel::gui
