// The fit view window.

#include "gui/FitViewWindow.h"

#include <QMenu>

namespace korvel::gui {

FitViewWindow::FitViewWindow(UserPrompts& prompts)
    : ViewWindow(prompts, QStringLiteral("FitView"), QStringLiteral("Fit view"),
                 QStringLiteral("fit-view")) {
    resize(720, 540);
}

void FitViewWindow::SetData(std::optional<FitViewData> data) {
    data_ = std::move(data);
    if (data_) options_ = DefaultFitViewOptions(*data_);
    Render();
}

void FitViewWindow::SetOptions(const FitViewOptions& options) {
    options_ = options;
    Render();
}

void FitViewWindow::FillContextMenu(QMenu& menu) {
    ViewWindow::FillContextMenu(menu);
    menu.addSeparator();
    auto toggle = [&](const char* name, const QString& text, bool checked, auto change) {
        QAction* action = menu.addAction(text);
        action->setObjectName(QString::fromLatin1(name));
        action->setCheckable(true);
        action->setChecked(checked);
        action->setEnabled(HasContent());
        connect(action, &QAction::toggled, this, [this, change](bool on) {
            FitViewOptions options = options_;
            change(options, on);
            SetOptions(options);
        });
    };
    const bool wavelength = data_ && data_->Wavelength > 0.0;
    toggle("AbscissaQz", QStringLiteral("Abscissa Qz (1/\u00c5)"),
           options_.Abscissa == FitAbscissa::Qz,
           [](FitViewOptions& o, bool on) { o.Abscissa = on ? FitAbscissa::Qz : FitAbscissa::Angle; });
    toggle("QzFourth", QStringLiteral("Ordinate R\u00b7Qz\u2074"), options_.QzFourth,
           [](FitViewOptions& o, bool on) { o.QzFourth = on; });
    toggle("Residuals", QStringLiteral("Residuals"), options_.Residuals,
           [](FitViewOptions& o, bool on) { o.Residuals = on; });
    if (!wavelength)
        for (const char* name : {"AbscissaQz", "QzFourth"})
            menu.findChild<QAction*>(QString::fromLatin1(name))->setEnabled(false);
}

void FitViewWindow::DrawView(PlotCanvas& canvas) const { DrawFitView(canvas, *data_, options_); }

QString FitViewWindow::EmptyText() const {
    return QStringLiteral("No fit to show: run a fit first.");
}

}  // namespace korvel::gui
