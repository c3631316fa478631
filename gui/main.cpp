// korvel: the desktop program. Creates the main window with its eleven further
// windows and runs the event loop until the main window closes.
// `korvel --screenshots FOLDER COMMAND.inp` instead takes the documentation's
// screenshots during the fit the command file names.

#include <QApplication>
#include <QStringList>
#include <csignal>
#include <cstdio>

#include "gui/MainWindow.h"
#include "gui/Screenshots.h"
#include "gui/UserPrompts.h"

int main(int argc, char** argv) {
    // A file-size limit (ulimit -f) makes a write fail as a full disk does ("Disk write
    // error.", earlier results kept) instead of killing the program mid-write.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvel"));
    const QStringList args = QApplication::arguments();
    const int shots = static_cast<int>(args.indexOf(QStringLiteral("--screenshots")));
    if (shots > 0) {
        if (shots + 2 >= args.size()) {
            std::fprintf(stderr, "usage: korvel --screenshots FOLDER COMMAND.inp\n");
            return 2;
        }
        return korvel::gui::TakeScreenshots(args[shots + 1], args[shots + 2]);
    }
    korvel::gui::UserPrompts prompts;
    korvel::gui::MainWindow window(prompts);
    window.show();
    return app.exec();
}
