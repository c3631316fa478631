// The text editor window.

#include "gui/EditForm.h"

#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QMenuBar>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QScrollBar>
#include <QStringDecoder>
#include <QTextCursor>
#include <QTextEdit>
#include <new>

#include "base/RunError.h"
#include "gui/RunErrorText.h"
#include "gui/UserPrompts.h"
#include "base/TextFile.h"

namespace korvel::gui {

QByteArray EditorFileContent(const QString& text, bool latin1) {
    QStringList lines = text.split(QLatin1Char('\n'));
    // A document that ends with a line break has no further line after it.
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    QByteArray out;
    for (const QString& line : lines) {
        out += latin1 ? line.toLatin1() : line.toUtf8();
        out += "\r\n";
    }
    return out;
}

EditForm::EditForm(EditorHost& host, UserPrompts& prompts) : host_(host), prompts_(prompts) {
    setObjectName(QStringLiteral("EditForm"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Untitled"));
    editor_ = new QTextEdit(this);
    editor_->setObjectName(QStringLiteral("Editor"));
    editor_->setFrameShape(QFrame::NoFrame);
    editor_->setAcceptRichText(false);
    // A fixed-pitch face keeps the columns of model, limits and data files aligned.
    editor_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    editor_->setLineWrapMode(QTextEdit::WidgetWidth);
    editor_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    editor_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    editor_->setContextMenuPolicy(Qt::CustomContextMenu);
    setCentralWidget(editor_);
    BuildMenus();
    connect(editor_, &QTextEdit::customContextMenuRequested, this, &EditForm::ShowPopup);
    connect(editor_, &QTextEdit::selectionChanged, this, &EditForm::Edit1Click);
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this, &EditForm::Edit1Click);
    Edit1Click();
    resize(640, 480);
}

EditForm::~EditForm() = default;

void EditForm::BuildMenus() {
    auto add = [this](QMenu* menu, const char* name, const QString& caption,
                      const QKeySequence& shortcut = {}) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        if (!shortcut.isEmpty()) action->setShortcut(shortcut);
        return action;
    };
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("File1"));
    connect(add(file, "New1", "&New"), &QAction::triggered, this, [this] { host_.New1Click(); });
    connect(add(file, "Open1", "&Open..."), &QAction::triggered, this,
            [this] { host_.Open1Click(); });
    connect(add(file, "Close1", "&Close"), &QAction::triggered, this, &QWidget::close);
    connect(add(file, "Save1", "&Save"), &QAction::triggered, this, &EditForm::Save1Click);
    connect(add(file, "Saveas1", "Save &as..."), &QAction::triggered, this,
            &EditForm::Saveas1Click);
    connect(add(file, "Print1", "&Print"), &QAction::triggered, this, &EditForm::Print1Click);
    connect(add(file, "Printersetup1", "Printer setup..."), &QAction::triggered, this,
            &EditForm::Printersetup1Click);
    file->addSeparator();
    connect(add(file, "Exit1", "E&xit"), &QAction::triggered, this, &QWidget::close);

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    edit->setObjectName(QStringLiteral("Edit1"));
    connect(edit, &QMenu::aboutToShow, this, &EditForm::Edit1Click);
    connect(add(edit, "Cut1", "Cu&t", QKeySequence(Qt::CTRL | Qt::Key_X)), &QAction::triggered,
            editor_, &QTextEdit::cut);
    connect(add(edit, "Copy1", "&Copy", QKeySequence(Qt::CTRL | Qt::Key_C)), &QAction::triggered,
            editor_, &QTextEdit::copy);
    connect(add(edit, "Paste1", "&Paste", QKeySequence(Qt::CTRL | Qt::Key_V)), &QAction::triggered,
            editor_, &QTextEdit::paste);
    connect(add(edit, "Delete1", "De&lete", QKeySequence(Qt::CTRL | Qt::Key_D)),
            &QAction::triggered, this, &EditForm::Delete1Click);
    edit->addSeparator();
    connect(add(edit, "Selectall1", "Select &all", QKeySequence(Qt::CTRL | Qt::Key_A)),
            &QAction::triggered, editor_, &QTextEdit::selectAll);

    QMenu* character = menuBar()->addMenu(QStringLiteral("&Character"));
    character->setObjectName(QStringLiteral("Character1"));
    alignment_ = new QActionGroup(this);
    alignment_->setExclusive(true);
    for (auto [name, caption] : {std::pair{"Left1", "&Left"}, std::pair{"Right1", "&Right"},
                                 std::pair{"Center1", "&Center"}}) {
        QAction* item = add(character, name, QString::fromLatin1(caption));
        item->setCheckable(true);
        alignment_->addAction(item);
    }
    Action("Left1")->setChecked(true);
    connect(alignment_, &QActionGroup::triggered, this, &EditForm::AlignClick);
    character->addSeparator();
    QAction* wrap = add(character, "Wordwrap1", "&Word wrap");
    wrap->setCheckable(true);
    wrap->setChecked(true);
    connect(wrap, &QAction::triggered, this, &EditForm::Wordwrap1Click);
    character->addSeparator();
    connect(add(character, "Font1", "&Font..."), &QAction::triggered, this, &EditForm::Font1Click);

    popupMenu_ = new QMenu(this);
    popupMenu_->setObjectName(QStringLiteral("PopupMenu1"));
    connect(popupMenu_, &QMenu::aboutToShow, this, &EditForm::Edit1Click);
    connect(add(popupMenu_, "Cut2", "Cu&t"), &QAction::triggered, editor_, &QTextEdit::cut);
    connect(add(popupMenu_, "Copy2", "&Copy"), &QAction::triggered, editor_, &QTextEdit::copy);
    connect(add(popupMenu_, "Paste2", "&Paste"), &QAction::triggered, editor_, &QTextEdit::paste);
}

QAction* EditForm::Action(const char* name) const {
    return findChild<QAction*>(QString::fromLatin1(name));
}

void EditForm::ShowPopup(const QPoint& position) {
    popupMenu_->popup(editor_->viewport()->mapToGlobal(position));
}

bool EditForm::Modified() const { return editor_->document()->isModified(); }

bool EditForm::OpenFile(const QString& path) {
    documentPath_ = path;
    setWindowTitle(QFileInfo(path).fileName());
    QByteArray bytes;
    try {
        const std::string content = ReadWholeFile(path.toStdString());
        bytes = QByteArray(content.data(), static_cast<qsizetype>(content.size()));
    } catch (const RunError& e) {
        editor_->clear();
        editor_->document()->setModified(false);
        prompts_.Warn(this, RunErrorText(e));
        return false;
    } catch (const std::bad_alloc&) {
        // Nothing may leave a window's handler: Qt would end the program with it.
        editor_->clear();
        editor_->document()->setModified(false);
        prompts_.Warn(this, QStringLiteral("Not enough memory to open ") + path);
        return false;
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    latin1_ = utf8.hasError();
    if (latin1_) text = QString::fromLatin1(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (text.endsWith(QLatin1Char('\n'))) text.chop(1);
    editor_->setPlainText(text);
    editor_->moveCursor(QTextCursor::Start);
    editor_->document()->setModified(false);
    return true;
}

bool EditForm::Save1Click() {
    if (documentPath_ == QLatin1String("Untitled")) return Saveas1Click();
    const QString text = editor_->toPlainText();
    // Characters outside the 8-bit set of a Latin-1 file force UTF-8 rather than be lost.
    bool latin1 = latin1_;
    if (latin1)
        for (QChar c : text)
            if (c.unicode() > 0xff) latin1 = false;
    const QByteArray content = EditorFileContent(text, latin1);
    try {
        ReplaceFile(documentPath_.toStdString(), content.toStdString());
    } catch (const RunError& e) {
        prompts_.Warn(this, RunErrorText(e));
        return false;
    } catch (const std::bad_alloc&) {
        prompts_.Warn(this, QStringLiteral("Not enough memory to save ") + documentPath_);
        return false;
    }
    latin1_ = latin1;
    editor_->document()->setModified(false);
    return true;
}

bool EditForm::Saveas1Click() {
    const QString path = prompts_.SaveFileName(
        this, documentPath_, QStringLiteral("Plain text files (*.txt);;All files (*)"));
    if (path.isEmpty()) return false;
    const QString full = QFileInfo(path).absoluteFilePath();
    if (full != documentPath_ && QFileInfo::exists(full) &&
        prompts_.Ask(this,
                     QStringLiteral("%1 already exists.\nDo you want to replace it?").arg(full),
                     QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return false;
    const QString previous = documentPath_;
    documentPath_ = full;
    setWindowTitle(QFileInfo(full).fileName());
    if (Save1Click()) return true;
    documentPath_ = previous;
    setWindowTitle(previous == QLatin1String("Untitled") ? previous
                                                         : QFileInfo(previous).fileName());
    return false;
}

void EditForm::Print1Click() {
    if (!printer_) printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    QPrintDialog dialog(printer_.get(), this);
    dialog.setObjectName(QStringLiteral("PrintDialog1"));
    if (prompts_.Exec(dialog) != QDialog::Accepted) return;
    printer_->setDocName(documentPath_);
    printer_->setFullPage(false);
    editor_->document()->print(printer_.get());
}

void EditForm::Printersetup1Click() {
    if (!printer_) printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    QPageSetupDialog dialog(printer_.get(), this);
    dialog.setObjectName(QStringLiteral("PrinterSetupDialog1"));
    prompts_.Exec(dialog);
}

void EditForm::Edit1Click() {
    const bool selection = editor_->textCursor().hasSelection();
    const bool clipboardText = !QApplication::clipboard()->text().isEmpty();
    for (const char* name : {"Cut1", "Copy1", "Delete1", "Cut2", "Copy2"})
        Action(name)->setEnabled(selection);
    for (const char* name : {"Paste1", "Paste2"}) Action(name)->setEnabled(clipboardText);
}

void EditForm::Delete1Click() { editor_->textCursor().removeSelectedText(); }

void EditForm::AlignClick(QAction* item) {
    for (QAction* a : alignment_->actions()) a->setChecked(a == item);
    Qt::Alignment alignment = Qt::AlignLeft;
    if (Action("Right1")->isChecked()) alignment = Qt::AlignRight;
    if (Action("Center1")->isChecked()) alignment = Qt::AlignHCenter;
    editor_->setAlignment(alignment);
}

void EditForm::Wordwrap1Click() {
    const bool wrap = editor_->lineWrapMode() == QTextEdit::NoWrap;
    editor_->setLineWrapMode(wrap ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
    editor_->setHorizontalScrollBarPolicy(wrap ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAlwaysOn);
    Action("Wordwrap1")->setChecked(wrap);
}

void EditForm::Font1Click() {
    QFont font = editor_->currentFont();
    if (!prompts_.PickFont(this, font)) return;
    QTextCharFormat format;
    format.setFont(font);
    editor_->mergeCurrentCharFormat(format);
}

bool EditForm::CloseQuery() {
    if (!Modified()) return true;
    const auto answer = prompts_.Ask(this, QStringLiteral("Save changes to %1?").arg(documentPath_),
                                     QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (answer == QMessageBox::No) return true;
    if (answer == QMessageBox::Yes) return Save1Click();
    return false;
}

void EditForm::closeEvent(QCloseEvent* event) {
    if (CloseQuery())
        event->accept();
    else
        event->ignore();
}

}  // namespace korvel::gui
