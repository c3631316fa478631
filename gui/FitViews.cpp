// The view windows of the last run.

#include "gui/FitViews.h"

#include <QMenu>

#include "gui/FitViewWindow.h"
#include "gui/FittedValuesWindow.h"
#include "gui/ProfileWindow.h"
#include "gui/WindowPlacement.h"

namespace korvel::gui {
namespace {

constexpr int kCascade = 28;

}  // namespace

FitViews::FitViews(UserPrompts& prompts, const QWidget& main, const QWidget& plot)
    : main_(main),
      plot_(plot),
      fitView_(std::make_unique<FitViewWindow>(prompts)),
      profile_(std::make_unique<ProfileWindow>(prompts)),
      fittedValues_(std::make_unique<FittedValuesWindow>(prompts)) {}

FitViews::~FitViews() = default;

void FitViews::SetReport(RunReport report) {
    report_ = std::move(report);
    fitView_->SetData(report_.Fit);
    profile_->SetData(report_.Profile);
    fittedValues_->SetData(report_.Values);
}

void FitViews::Open(QWidget& window, int cascade) {
    if (!window.isVisible()) {
        // Cascaded from the plot window's corner, clear of the main window.
        window.move(plot_.pos() + QPoint(cascade * kCascade, cascade * kCascade));
        PlaceClearOf(window, main_);
    }
    window.show();
    window.raise();
    window.activateWindow();
}

void FitViews::ShowFitView() { Open(*fitView_, 1); }

void FitViews::ShowProfile() { Open(*profile_, 2); }

void FitViews::ShowFittedValues() { Open(*fittedValues_, 3); }

void FitViews::CloseAll() {
    fitView_->close();
    profile_->close();
    fittedValues_->close();
}

void FitViews::FillMenu(QMenu& menu) {
    auto add = [&](const char* name, const QString& text, bool enabled, void (FitViews::*show)()) {
        QAction* action = menu.addAction(text);
        action->setObjectName(QString::fromLatin1(name));
        action->setEnabled(enabled);
        QObject::connect(action, &QAction::triggered, &menu, [this, show] { (this->*show)(); });
    };
    add("FitViewItem", QStringLiteral("Fit view"), report_.Fit.has_value(), &FitViews::ShowFitView);
    add("ProfileItem", QStringLiteral("Profile"), report_.Profile.has_value(),
        &FitViews::ShowProfile);
    add("FittedValuesItem", QStringLiteral("Fitted values"), report_.Values.has_value(),
        &FitViews::ShowFittedValues);
}

}  // namespace korvel::gui
