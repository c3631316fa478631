#pragma once
// A window that shows one view of a run (the fit view, the profile, the fitted values)
// drawn through the canvas interface into an image, smoothed. It repaints from the
// image when covered and redraws at its new size when resized. Its right-click menu
// saves the view as PNG (at a chosen multiple of the window's size, drawn at that
// resolution, not scaled up) or SVG; a view adds its own entries to the menu.

#include <QImage>
#include <QString>
#include <QWidget>

class QMenu;

namespace korvel {
class PlotCanvas;
}

namespace korvel::gui {

class UserPrompts;

class ViewWindow : public QWidget {
    Q_OBJECT
  public:
    // `fileStem` names the proposed image file ("fit-view" gives fit-view.png).
    ViewWindow(UserPrompts& prompts, const QString& objectName, const QString& title,
               const QString& fileStem);

    const QImage& Image() const { return image_; }
    // Writes the view to a .png file `scale` times the window's size, or to a .svg file
    // of the window's size (by the extension); false with a message in `error` when it
    // cannot.
    bool SaveImage(const QString& path, int scale = 1, QString* error = nullptr) const;
    // "Save image...": asks for the file, whether to replace it, and a PNG's size.
    void SaveImageClick();
    // The entries of the right-click menu, in order.
    virtual void FillContextMenu(QMenu& menu);
    // Whether there is anything to show; without, the window says so.
    virtual bool HasContent() const = 0;

  protected:
    // Draws the view on a canvas of the window's size.
    virtual void DrawView(PlotCanvas& canvas) const = 0;
    // What the window says while it has nothing to show.
    virtual QString EmptyText() const = 0;
    // Redraws the image from the view and repaints the window at once.
    void Render();

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

    UserPrompts& prompts_;

  private:
    void DrawInto(PlotCanvas& canvas) const;

    QString fileStem_;
    QImage image_;
};

}  // namespace korvel::gui
