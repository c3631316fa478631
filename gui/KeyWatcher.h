#pragma once
// The main window's keyboard preview: every character typed outside the editor
// windows sets LastKey to its control code (Ctrl+A .. Ctrl+Z, Backspace, Tab and
// Enter give 1 .. 26) or to 0 for any other character. The fitting run reads it:
// 17 (Ctrl+Q) ends the search, 24 (Ctrl+X) the current simplex run.

#include <QObject>

class QKeyEvent;

namespace korvel::gui {

// The code a key press types: 1 .. 26 for control characters, 0 for other characters,
// -1 when it types no character at all (a lone modifier, an arrow key).
int TypedControlCode(const QKeyEvent& event);

class KeyWatcher : public QObject {
    Q_OBJECT
  public:
    explicit KeyWatcher(QObject* parent = nullptr) : QObject(parent) {}
    int LastKey() const { return lastKey_; }
    void SetLastKey(int key) { lastKey_ = key; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    int lastKey_ = 0;
};

}  // namespace korvel::gui
