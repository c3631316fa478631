// The desktop program survives any fault inside a run: the run is abandoned with a
// message, the program stays open with its windows, and every editor keeps its text,
// unsaved changes included.

#include <QAction>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <new>
#include <stdexcept>

#include "gui/EditForm.h"
#include "gui/FittingInfoWindow.h"
#include "gui/MainWindow.h"
#include "gui/tests/GuiTestFiles.h"
#include "gui/tests/ScriptedPrompts.h"

using namespace korvel;
using namespace korvel::gui;
using korvel::gui::testing::ReadFile;
using korvel::gui::testing::ScriptedPrompts;
using korvel::gui::testing::WriteFile;

namespace {

QString WriteFitProblem(const QTemporaryDir& dir) {
    WriteFile(dir.filePath("film.mdl"), "1.54 0 0 0 0 0\n1 0 0 0\n120 1e-5 5e-7 4\n0 7.6e-6 0 3\n");
    WriteFile(dir.filePath("film.lmt"),
              "60 200 20\n0 2e-5 0\n0 1e-6 0\n0 10 0\n0 1 0\n0 2e-5 0\n0 1e-6 0\n0 10 0\n");
    WriteFile(dir.filePath("film.dat"),
              "0.1 1 0.1\n0.2 0.5 0.05\n0.3 0.01 0.001\n0.4 0.001 1e-4\n");
    WriteFile(dir.filePath("film.inp"),
              "film.dat\nFit\nY\nY\nfilm.mdl\nfilm.lmt\n1e-5\n10\n0\nP\n");
    return dir.filePath("film.inp");
}

}  // namespace

class RegressionRunFaultTest : public QObject {
    Q_OBJECT
  private slots:
    void AFaultInsideARunIsShownAndEveryEditorKeepsItsText() {
        QTemporaryDir dir;
        ScriptedPrompts prompts;
        MainWindow main(prompts);
        main.show();
        EditForm* editor = main.NewEditor();
        editor->Editor()->setPlainText("1.54 0 0 0 0 0\nunsaved work");
        editor->Editor()->document()->setModified(true);
        prompts.OpenAnswers << WriteFitProblem(dir);
        main.ComFileNClick();

        const std::function<void()> faults[] = {
            [] { throw std::bad_alloc(); },
            [] { throw std::out_of_range("vector index out of range"); },
            [] { throw 42; },
        };
        const QString messages[] = {"Not enough memory for this run.", "vector index out of range",
                                    "The run stopped on an unexpected error."};
        for (int i = 0; i < 3; ++i) {
            // The fault strikes inside the run, while the settings dialog is up.
            prompts.OnExec = [&, i](QDialog& d) -> int {
                if (d.objectName() == "ComFile") faults[i]();
                return QDialog::Accepted;
            };
            main.Action("Fitting1")->trigger();
            QCOMPARE(prompts.Warnings.size(), i + 1);
            QCOMPARE(prompts.Warnings.last(), messages[i]);
            QVERIFY(main.isVisible());
            QVERIFY(!main.RunActive());
            QVERIFY(main.Action("Fitting1")->isEnabled());
            QVERIFY(main.Action("Simulation1")->isEnabled());
            QVERIFY(!main.Action("draw1")->isEnabled());
            QVERIFY(!main.FormInfo().isVisible());
            QCOMPARE(main.Editors().size(), std::size_t{1});
            QCOMPARE(editor->Editor()->toPlainText(), QString("1.54 0 0 0 0 0\nunsaved work"));
            QVERIFY(editor->Modified());
        }

        // The program goes on working: the same fit now runs to its end.
        prompts.OnExec = nullptr;
        main.Action("Fitting1")->trigger();
        QCOMPARE(prompts.Warnings.size(), 3);
        QVERIFY(QFile::exists(dir.filePath("film.bst")));
    }
};

QTEST_MAIN(RegressionRunFaultTest)
#include "RegressionRunFaultTest.moc"
