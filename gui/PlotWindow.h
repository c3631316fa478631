#pragma once
// "   Plot of Experimental data and the best fit " (TGrphRefl): measured and computed
// curves on a logarithmic intensity axis. The window keeps the curves it was last
// asked to draw and an image of the drawing, so it repaints from the image when it
// was covered and redraws the curves at the new size when it is resized.
// A right-click offers "Save image..." as PNG or SVG, and the run's views: "Fit view",
// "Profile" and "Fitted values", each in a window of its own.

#include <QImage>
#include <QWidget>

class QMenu;

#include "model/CurveArrays.h"

namespace korvel::gui {

class FitViews;
class UserPrompts;

class PlotWindow : public QWidget {
    Q_OBJECT
  public:
    explicit PlotWindow(UserPrompts& prompts);

    // DrawPlot: draws the curves into the image and repaints the window at once.
    void Draw(const CurveArrays& curves);
    const QImage& Image() const { return image_; }
    bool HasCurves() const { return hasCurves_; }
    const CurveArrays& Curves() const { return curves_; }
    // Writes the plot to a .png or .svg file (by its extension); false with a message
    // in `error` when it cannot.
    bool SaveImage(const QString& path, QString* error = nullptr) const;
    void SaveImageClick();
    // The views the right-click menu opens (none: the menu has only "Save image...").
    void SetViews(FitViews* views) { views_ = views; }
    // The entries of the right-click menu, in order.
    void FillContextMenu(QMenu& menu);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    void Render();

    UserPrompts& prompts_;
    FitViews* views_ = nullptr;
    CurveArrays curves_;
    bool hasCurves_ = false;
    QImage image_;
};

}  // namespace korvel::gui
