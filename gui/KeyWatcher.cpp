// Application-wide key preview that keeps LastKey.

#include "gui/KeyWatcher.h"

#include <QKeyEvent>
#include <QWidget>

#include "gui/EditForm.h"

namespace korvel::gui {

int TypedControlCode(const QKeyEvent& event) {
    const int key = event.key();
    if ((event.modifiers() & Qt::ControlModifier) && key >= Qt::Key_A && key <= Qt::Key_Z)
        return key - Qt::Key_A + 1;
    if (key == Qt::Key_Return || key == Qt::Key_Enter) return 13;
    if (key == Qt::Key_Tab) return 9;
    if (key == Qt::Key_Backspace) return 8;
    const QString text = event.text();
    if (text.isEmpty()) return -1;
    const char16_t c = text.at(0).unicode();
    return (c >= 1 && c <= 26) ? c : 0;
}

bool KeyWatcher::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    // Keys reach the filter once per widget they propagate through; the window
    // handle's copy is skipped. Editors keep their own Ctrl+X and Ctrl+C.
    if (!widget || qobject_cast<EditForm*>(widget->window())) return false;
    const int code = TypedControlCode(*static_cast<QKeyEvent*>(event));
    if (code >= 0) lastKey_ = code;
    return false;
}

}  // namespace korvel::gui
