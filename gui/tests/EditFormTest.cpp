// The editor window: loading and saving CR LF text, the close check, the menus'
// enabled states, alignment, word wrap and fonts.

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontInfo>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>

#include "gui/EditForm.h"
#include "gui/tests/ScriptedPrompts.h"

using namespace korvel::gui;
using korvel::gui::testing::ScriptedPrompts;

namespace {

struct CountingHost : EditorHost {
    int news = 0;
    int opens = 0;
    void New1Click() override { ++news; }
    void Open1Click() override { ++opens; }
};

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

bool WriteAll(const QString& path, const QByteArray& content) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(content) == content.size();
}

}  // namespace

class EditFormTest : public QObject {
    Q_OBJECT
  private slots:
    void init() { QApplication::clipboard()->clear(); }

    void StartsUntitledWithWrapAndOnlyAVerticalScrollBar() {
        CountingHost host;
        ScriptedPrompts prompts;
        EditForm form(host, prompts);
        QCOMPARE(form.windowTitle(), QString("Untitled"));
        QCOMPARE(form.DocumentPath(), QString("Untitled"));
        QVERIFY(form.Action("Wordwrap1")->isChecked());
        QVERIFY(form.Action("Left1")->isChecked());
        QCOMPARE(form.Editor()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(form.Editor()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(form.Action("Cut1")->shortcut(), QKeySequence("Ctrl+X"));
        QCOMPARE(form.Action("Delete1")->shortcut(), QKeySequence("Ctrl+D"));
        QCOMPARE(form.Action("Selectall1")->text(), QString("Select &all"));
        QCOMPARE(form.Action("Saveas1")->text(), QString("Save &as..."));
        form.Action("New1")->trigger();
        form.Action("Open1")->trigger();
        QCOMPARE(host.news, 1);
        QCOMPARE(host.opens, 1);
    }

    void ShowsTextInAFixedPitchFontSoColumnsStayAligned() {
        CountingHost host;
        ScriptedPrompts prompts;
        EditForm form(host, prompts);
        QVERIFY(QFontInfo(form.Editor()->font()).fixedPitch());
    }

    void OpensAFileAndSavesItWithCrLfLines() {
        QTemporaryDir dir;
        const QString path = dir.filePath("model.mdl");
        QVERIFY(WriteAll(path, "1.54 0 0 0 0 0\n1 0 0 0\r\n10 1e-6 1e-8 1"));
        CountingHost host;
        ScriptedPrompts prompts;
        EditForm form(host, prompts);
        QVERIFY(form.OpenFile(path));
        QCOMPARE(form.windowTitle(), QString("model.mdl"));
        QVERIFY(!form.Modified());
        QCOMPARE(form.Editor()->textCursor().position(), 0);
        form.Editor()->moveCursor(QTextCursor::End);
        form.Editor()->insertPlainText("\n0 2e-6 3e-8 2");
        QVERIFY(form.Modified());
        QVERIFY(form.Save1Click());
        QVERIFY(!form.Modified());
        QCOMPARE(ReadAll(path),
                 QByteArray("1.54 0 0 0 0 0\r\n1 0 0 0\r\n10 1e-6 1e-8 1\r\n0 2e-6 3e-8 2\r\n"));
        QVERIFY(prompts.Proposed.isEmpty());  // a named document saves in place
    }

    void EightBitTextSurvivesARoundTrip() {
        QTemporaryDir dir;
        const QString path = dir.filePath("latin.txt");
        QVERIFY(WriteAll(path, "r\xe9sum\xe9\r\n"));
        CountingHost host;
        ScriptedPrompts prompts;
        EditForm form(host, prompts);
        QVERIFY(form.OpenFile(path));
        QCOMPARE(form.Editor()->toPlainText(), QString::fromUtf8("r\u00e9sum\u00e9"));
        form.Editor()->insertPlainText(" ");
        QVERIFY(form.Save1Click());
        QCOMPARE(ReadAll(path), QByteArray(" r\xe9sum\xe9\r\n"));
    }

    void AMissingFileIsReportedAndTheWindowStaysEmptyWithItsName() {
        CountingHost host;
        ScriptedPrompts prompts;
        EditForm form(host, prompts);
        QVERIFY(!form.OpenFile("/no/such/dir/x.inp"));
        QCOMPARE(form.windowTitle(), QString("x.inp"));
        QVERIFY(form.Editor()->toPlainText().isEmpty());
        QCOMPARE(prompts.Warnings.size(), 1);
    }

    void SavingANewDocumentGoesThroughSaveAsAndMayCreateAFile() {
        QTemporaryDir dir;
        CountingHost host;
        ScriptedPrompts prompts;
        EditForm form(host, prompts);
        form.Editor()->insertPlainText("a\nb");
        prompts.SaveAnswers << dir.filePath("new.txt");
        QVERIFY(form.Save1Click());
        QCOMPARE(prompts.Proposed, QStringList{"Untitled"});
        QCOMPARE(ReadAll(dir.filePath("new.txt")), QByteArray("a\r\nb\r\n"));
        QCOMPARE(form.windowTitle(), QString("new.txt"));
        QCOMPARE(form.DocumentPath(), dir.filePath("new.txt"));
    }

    void SaveAsConfirmsBeforeReplacingAnotherFile() {
        QTemporaryDir dir;
        const QString other = dir.filePath("other.txt");
        QVERIFY(WriteAll(other, "keep\r\n"));
        CountingHost host;
        ScriptedPrompts prompts;
        EditForm form(host, prompts);
        form.Editor()->insertPlainText("new text");
        prompts.SaveAnswers << other;
        prompts.AskAnswers = {QMessageBox::No};
        QVERIFY(!form.Saveas1Click());
        QCOMPARE(ReadAll(other), QByteArray("keep\r\n"));
        QCOMPARE(form.DocumentPath(), QString("Untitled"));
        QVERIFY(form.Modified());
        prompts.SaveAnswers << other;
        prompts.AskAnswers = {QMessageBox::Yes};
        QVERIFY(form.Saveas1Click());
        QCOMPARE(ReadAll(other), QByteArray("new text\r\n"));
        QVERIFY(prompts.Asked[0].contains("already exists"));
    }

    void AFailedSaveKeepsTheModifiedFlagAndShowsTheMessage() {
        QTemporaryDir dir;
        const QString path = dir.filePath("f.txt");
        QVERIFY(WriteAll(path, "old\r\n"));
        CountingHost host;
        ScriptedPrompts prompts;
        EditForm form(host, prompts);
        QVERIFY(form.OpenFile(path));
        form.Editor()->insertPlainText("x");
        // The document's place is taken by a folder: no file can be written there.
        QVERIFY(QFile::remove(path));
        QVERIFY(QDir().mkdir(path));
        QVERIFY(!form.Save1Click());
        QVERIFY(form.Modified());
        QCOMPARE(prompts.Warnings.size(), 1);
        QVERIFY(QFileInfo(path).isDir());
    }

    void CloseCheckAsksAndFollowsTheAnswer() {
        QTemporaryDir dir;
        const QString path = dir.filePath("f.txt");
        QVERIFY(WriteAll(path, "x\r\n"));
        CountingHost host;
        ScriptedPrompts prompts;
        {  // unmodified: closes without a question
            auto* form = new EditForm(host, prompts);
            form->show();
            QVERIFY(form->close());
            QVERIFY(prompts.Asked.isEmpty());
        }
        {  // Cancel keeps the window open
            EditForm form(host, prompts);
            form.OpenFile(path);
            form.Editor()->insertPlainText("y");
            prompts.AskAnswers = {QMessageBox::Cancel};
            QVERIFY(!form.CloseQuery());
            QCOMPARE(prompts.Asked.last(), "Save changes to " + path + "?");
            // No closes and drops the changes
            prompts.AskAnswers = {QMessageBox::No};
            QVERIFY(form.CloseQuery());
            QCOMPARE(ReadAll(path), QByteArray("x\r\n"));
            // Yes saves, then closes
            prompts.AskAnswers = {QMessageBox::Yes};
            QVERIFY(form.CloseQuery());
            QCOMPARE(ReadAll(path), QByteArray("yx\r\n"));
        }
        {  // Yes on a new document whose Save As is cancelled keeps the window open
            auto* form = new EditForm(host, prompts);
            form->show();
            form->Editor()->insertPlainText("unsaved");
            prompts.AskAnswers = {QMessageBox::Yes};
            QVERIFY(!form->close());
            QVERIFY(form->isVisible());
            QVERIFY(form->Modified());
            QCOMPARE(form->Editor()->toPlainText(), QString("unsaved"));
            prompts.AskAnswers = {QMessageBox::No};
            QVERIFY(form->close());
        }
    }

    void EditCommandsFollowTheSelectionAndTheClipboard() {
        CountingHost host;
        ScriptedPrompts prompts;
        EditForm form(host, prompts);
        form.show();
        form.Editor()->insertPlainText("hello world");
        form.Edit1Click();
        for (const char* name : {"Cut1", "Copy1", "Delete1", "Cut2", "Copy2", "Paste1", "Paste2"})
            QVERIFY2(!form.Action(name)->isEnabled(), name);
        QTextCursor cursor = form.Editor()->textCursor();
        cursor.setPosition(0);
        cursor.setPosition(5, QTextCursor::KeepAnchor);
        form.Editor()->setTextCursor(cursor);
        form.findChild<QMenu*>("Edit1")->aboutToShow();
        for (const char* name : {"Cut1", "Copy1", "Delete1", "Cut2", "Copy2"})
            QVERIFY2(form.Action(name)->isEnabled(), name);
        form.Action("Copy1")->trigger();
        QCOMPARE(QApplication::clipboard()->text(), QString("hello"));
        form.ContextMenu()->aboutToShow();
        QVERIFY(form.Action("Paste2")->isEnabled());
        form.Action("Delete1")->trigger();
        QCOMPARE(form.Editor()->toPlainText(), QString(" world"));
        QCOMPARE(QApplication::clipboard()->text(), QString("hello"));  // delete keeps it
        form.Action("Paste1")->trigger();
        QCOMPARE(form.Editor()->toPlainText(), QString("hello world"));
        form.Action("Selectall1")->trigger();
        form.Action("Cut1")->trigger();
        QVERIFY(form.Editor()->toPlainText().isEmpty());
        QCOMPARE(QApplication::clipboard()->text(), QString("hello world"));
    }

    void AlignmentItemsAreExclusiveAndAlignTheParagraph() {
        CountingHost host;
        ScriptedPrompts prompts;
        EditForm form(host, prompts);
        form.Editor()->insertPlainText("line");
        form.Action("Center1")->trigger();
        QVERIFY(form.Action("Center1")->isChecked());
        QVERIFY(!form.Action("Left1")->isChecked());
        QVERIFY(!form.Action("Right1")->isChecked());
        QCOMPARE(form.Editor()->alignment(), Qt::AlignHCenter);
        form.Action("Right1")->trigger();
        QCOMPARE(int(form.Action("Left1")->isChecked()) + int(form.Action("Right1")->isChecked()) +
                     int(form.Action("Center1")->isChecked()),
                 1);
        QCOMPARE(form.Editor()->alignment(), Qt::AlignRight);
    }

    void WordWrapTogglesTheHorizontalScrollBar() {
        CountingHost host;
        ScriptedPrompts prompts;
        EditForm form(host, prompts);
        form.Action("Wordwrap1")->trigger();
        QVERIFY(!form.Action("Wordwrap1")->isChecked());
        QCOMPARE(form.Editor()->lineWrapMode(), QTextEdit::NoWrap);
        QCOMPARE(form.Editor()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        form.Action("Wordwrap1")->trigger();
        QVERIFY(form.Action("Wordwrap1")->isChecked());
        QCOMPARE(form.Editor()->lineWrapMode(), QTextEdit::WidgetWidth);
        QCOMPARE(form.Editor()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    }

    void FontsAndAlignmentAreNotSaved() {
        QTemporaryDir dir;
        const QString path = dir.filePath("f.txt");
        QVERIFY(WriteAll(path, "abc\r\n"));
        CountingHost host;
        ScriptedPrompts prompts;
        EditForm form(host, prompts);
        form.OpenFile(path);
        form.Editor()->selectAll();
        QFont big("Sans Serif", 20);
        prompts.FontAnswer = big;
        form.Action("Font1")->trigger();
        QCOMPARE(form.Editor()->currentFont().pointSize(), 20);
        form.Action("Center1")->trigger();
        QVERIFY(form.Save1Click());
        QCOMPARE(ReadAll(path), QByteArray("abc\r\n"));
    }
};

QTEST_MAIN(EditFormTest)
#include "EditFormTest.moc"
