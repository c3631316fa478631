#pragma once
// Where a window opens so that it leaves the main window's menus and status line free.

#include <QPoint>
#include <QRect>

class QWidget;

namespace korvel::gui {

// The top-left corner for a window whose frame is `frame`, so that it does not cover
// `keepClear`: where it is when it does not; else just below `keepClear`, or right of
// it, or left of it, whichever first fits the `screen`; else where it is.
QPoint PositionClearOf(const QRect& frame, const QRect& keepClear, const QRect& screen);

// Moves `window`, not yet shown, clear of `main` on main's screen.
void PlaceClearOf(QWidget& window, const QWidget& main);

}  // namespace korvel::gui
