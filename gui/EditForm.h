#pragma once
// TEditForm: a plain-text editor window for the program's input and result files.
// The text is loaded and saved as plain text lines ended by CR LF; fonts and
// alignment chosen in the window live only while it is open. Closing a modified
// document asks whether to save it, and a save that does not happen keeps the
// window open. Saving replaces the file through a temporary file, so a failed save
// never destroys it.

#include <QMainWindow>
#include <QPrinter>
#include <memory>

class QAction;
class QActionGroup;
class QMenu;
class QTextEdit;

namespace korvel::gui {

class UserPrompts;

// What the editor's "&New" and "&Open..." ask of the main window, which owns editors.
class EditorHost {
  public:
    virtual ~EditorHost() = default;
    virtual void New1Click() = 0;
    virtual void Open1Click() = 0;
};

class EditForm : public QMainWindow {
    Q_OBJECT
  public:
    EditForm(EditorHost& host, UserPrompts& prompts);
    ~EditForm() override;

    // Loads the file's lines and clears the modified flag; false (and a message) when
    // the file cannot be read: the window stays, empty, with the caption set.
    bool OpenFile(const QString& path);
    const QString& DocumentPath() const { return documentPath_; }
    QTextEdit* Editor() const { return editor_; }
    bool Modified() const;

    // Save1Click and Saveas1Click return whether the document was written.
    bool Save1Click();
    bool Saveas1Click();
    void Print1Click();
    void Printersetup1Click();
    void Edit1Click();
    void AlignClick(QAction* item);
    void Wordwrap1Click();
    void Font1Click();
    void Delete1Click();
    // The close check: true when the window may close.
    bool CloseQuery();

    QAction* Action(const char* name) const;
    QMenu* ContextMenu() const { return popupMenu_; }

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void BuildMenus();
    void ShowPopup(const QPoint& position);

    EditorHost& host_;
    UserPrompts& prompts_;
    QTextEdit* editor_;
    QString documentPath_ = QStringLiteral("Untitled");
    bool latin1_ = false;  // the file was not UTF-8: keep its 8-bit encoding
    QActionGroup* alignment_ = nullptr;
    QMenu* popupMenu_ = nullptr;
    std::unique_ptr<QPrinter> printer_;
};

// The file's lines joined with CR LF after every line, as the editor saves them.
QByteArray EditorFileContent(const QString& text, bool latin1);

}  // namespace korvel::gui
