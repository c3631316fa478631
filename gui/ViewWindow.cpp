// The view windows' common part: image, repaint, saving.

#include "gui/ViewWindow.h"

#include <QContextMenuEvent>
#include <QFileInfo>
#include <QMenu>
#include <QPainter>
#include <QSaveFile>
#include <algorithm>

#include "gui/QtPlotCanvas.h"
#include "gui/UserPrompts.h"
#include "output/SvgCanvas.h"
#include "output/ViewAxes.h"

namespace korvel::gui {
namespace {

constexpr int kLargestScale = 4;

}  // namespace

ViewWindow::ViewWindow(UserPrompts& prompts, const QString& objectName, const QString& title,
                       const QString& fileStem)
    : prompts_(prompts), fileStem_(fileStem) {
    setObjectName(objectName);
    setWindowTitle(title);
    setWindowFlag(Qt::Window);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
}

void ViewWindow::DrawInto(PlotCanvas& canvas) const {
    if (HasContent()) {
        DrawView(canvas);
        return;
    }
    canvas.FillRect(0, 0, canvas.Width(), canvas.Height(), kPlotWhite);
    const std::string text = EmptyText().toStdString();
    canvas.SetFont(kViewFont, kViewTitleSize, kViewGrey);
    canvas.TextOut((canvas.Width() - canvas.TextWidth(text, kViewTitleSize)) / 2,
                   (canvas.Height() - canvas.TextHeight(kViewTitleSize)) / 2, text);
}

void ViewWindow::Render() {
    image_ = QImage(size(), QImage::Format_RGB32);
    image_.fill(Qt::white);
    {
        QtPlotCanvas canvas(image_, /*smooth=*/true);
        DrawInto(canvas);
    }
    repaint();
}

void ViewWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.drawImage(0, 0, image_);
}

void ViewWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Render();
}

void ViewWindow::FillContextMenu(QMenu& menu) {
    QAction* save = menu.addAction(QStringLiteral("Save image..."));
    save->setObjectName(QStringLiteral("SaveImage"));
    connect(save, &QAction::triggered, this, &ViewWindow::SaveImageClick);
}

void ViewWindow::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    FillContextMenu(menu);
    menu.exec(event->globalPos());
}

void ViewWindow::SaveImageClick() {
    const QString path =
        prompts_.SaveFileName(this, fileStem_ + QStringLiteral(".png"),
                              QStringLiteral("PNG image (*.png);;SVG image (*.svg)"));
    if (path.isEmpty()) return;
    int scale = 1;
    if (!path.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive)) {
        QStringList sizes;
        for (int s = 1; s <= kLargestScale; ++s)
            sizes << QStringLiteral("%1\u00d7 the window: %2 \u00d7 %3 pixels")
                         .arg(s)
                         .arg(s * width())
                         .arg(s * height());
        const int chosen = prompts_.ChooseItem(this, QStringLiteral("Size of the image:"), sizes, 1);
        if (chosen < 0) return;
        scale = chosen + 1;
    }
    if (QFileInfo::exists(path) &&
        prompts_.Ask(this,
                     QStringLiteral("%1 already exists.\nDo you want to replace it?").arg(path),
                     QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    QString error;
    if (!SaveImage(path, scale, &error)) prompts_.Warn(this, error);
}

bool ViewWindow::SaveImage(const QString& path, int scale, QString* error) const {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error) *error = QStringLiteral("Cannot write %1:\n%2").arg(path, file.errorString());
        return false;
    }
    bool written = false;
    if (path.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive)) {
        SvgCanvas canvas(width(), height());
        DrawInto(canvas);
        const std::string svg = canvas.Document();
        written = file.write(svg.data(), static_cast<qint64>(svg.size())) ==
                  static_cast<qint64>(svg.size());
    } else {
        // Drawn anew at the higher resolution: lines and text stay sharp.
        const int factor = std::clamp(scale, 1, kLargestScale);
        QImage image(size() * factor, QImage::Format_RGB32);
        image.setDevicePixelRatio(factor);
        image.fill(Qt::white);
        {
            QtPlotCanvas canvas(image, /*smooth=*/true);
            DrawInto(canvas);
        }
        image.setDevicePixelRatio(1.0);
        written = image.save(&file, "PNG");
    }
    if (!written || !file.commit()) {
        if (error) *error = QStringLiteral("Cannot write %1:\n%2").arg(path, file.errorString());
        file.cancelWriting();
        return false;
    }
    return true;
}

}  // namespace korvel::gui
