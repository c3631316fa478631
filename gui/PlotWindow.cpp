// The plot window.

#include "gui/PlotWindow.h"

#include <QContextMenuEvent>
#include <QFileInfo>
#include <QMenu>
#include <QPainter>
#include <QSaveFile>

#include "gui/FitViews.h"
#include "gui/QtPlotCanvas.h"
#include "gui/UserPrompts.h"
#include "output/SvgCanvas.h"

namespace korvel::gui {

PlotWindow::PlotWindow(UserPrompts& prompts) : prompts_(prompts) {
    setObjectName(QStringLiteral("GrphRefl"));
    setWindowTitle(QStringLiteral("   Plot of Experimental data and the best fit "));
    setWindowFlag(Qt::Window);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
    resize(537, 376);
    move(119, 137);
    Render();
}

void PlotWindow::Render() {
    image_ = QImage(size(), QImage::Format_RGB32);
    image_.fill(Qt::white);
    if (!hasCurves_) return;
    QtPlotCanvas canvas(image_);
    DrawPlot(canvas, curves_);
}

void PlotWindow::Draw(const CurveArrays& curves) {
    curves_ = curves;
    hasCurves_ = true;
    Render();
    repaint();
}

void PlotWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.drawImage(0, 0, image_);
}

void PlotWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Render();
}

void PlotWindow::FillContextMenu(QMenu& menu) {
    QAction* save = menu.addAction(QStringLiteral("Save image..."));
    save->setObjectName(QStringLiteral("SaveImage"));
    connect(save, &QAction::triggered, this, &PlotWindow::SaveImageClick);
    if (!views_) return;
    menu.addSeparator();
    views_->FillMenu(menu);
}

void PlotWindow::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    FillContextMenu(menu);
    menu.exec(event->globalPos());
}

void PlotWindow::SaveImageClick() {
    const QString path = prompts_.SaveFileName(
        this, QStringLiteral("plot.png"), QStringLiteral("PNG image (*.png);;SVG image (*.svg)"));
    if (path.isEmpty()) return;
    if (QFileInfo::exists(path) &&
        prompts_.Ask(this,
                     QStringLiteral("%1 already exists.\nDo you want to replace it?").arg(path),
                     QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    QString error;
    if (!SaveImage(path, &error)) prompts_.Warn(this, error);
}

bool PlotWindow::SaveImage(const QString& path, QString* error) const {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error) *error = QStringLiteral("Cannot write %1:\n%2").arg(path, file.errorString());
        return false;
    }
    bool written = false;
    if (path.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive)) {
        CurveArrays none;
        const std::string svg = PlotToSvg(hasCurves_ ? curves_ : none, width(), height());
        written = file.write(svg.data(), static_cast<qint64>(svg.size())) ==
                  static_cast<qint64>(svg.size());
    } else {
        written = image_.save(&file, "PNG");
    }
    if (!written || !file.commit()) {
        if (error) *error = QStringLiteral("Cannot write %1:\n%2").arg(path, file.errorString());
        file.cancelWriting();
        return false;
    }
    return true;
}

}  // namespace korvel::gui
