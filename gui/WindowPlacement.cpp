// Placing windows clear of the main window.

#include "gui/WindowPlacement.h"

#include <QScreen>
#include <QWidget>

namespace korvel::gui {
namespace {

constexpr int kGap = 8;
// A window never shown has no frame yet; its title bar is about this high.
constexpr int kTitleBar = 30;

}  // namespace

QPoint PositionClearOf(const QRect& frame, const QRect& keepClear, const QRect& screen) {
    if (!frame.intersects(keepClear)) return frame.topLeft();
    const QPoint candidates[] = {
        {frame.left(), keepClear.bottom() + 1 + kGap},
        {keepClear.right() + 1 + kGap, frame.top()},
        {keepClear.left() - kGap - frame.width(), frame.top()},
    };
    for (const QPoint& corner : candidates) {
        const QRect moved(corner, frame.size());
        if (screen.contains(moved) && !moved.intersects(keepClear)) return corner;
    }
    // Below the main window at least never covers it.
    return candidates[0];
}

void PlaceClearOf(QWidget& window, const QWidget& main) {
    QRect frame = window.frameGeometry();
    // Before the first show the frame is the client area alone, placed where the frame
    // will be; the title bar comes below that corner.
    if (!window.testAttribute(Qt::WA_WState_Created) || frame == window.geometry())
        frame = QRect(window.pos(), window.size() + QSize(0, kTitleBar));
    const QScreen* screen = main.screen();
    const QRect available = screen ? screen->availableGeometry() : QRect();
    window.move(PositionClearOf(frame, main.frameGeometry(), available));
}

}  // namespace korvel::gui
