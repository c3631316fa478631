// Screenshots for the README, taken from the real windows.

#include "gui/Screenshots.h"

#include <QDir>
#include <QPixmap>
#include <QWidget>
#include <cstdio>

#include "gui/MainWindow.h"
#include "gui/UserPrompts.h"

namespace korvel::gui {

int TakeScreenshots(const QString& folder) {
    QDir().mkpath(folder);
    UserPrompts prompts;
    MainWindow main(prompts);
    main.show();
    const bool ok = main.grab().save(QDir(folder).filePath(QStringLiteral("main-window.png")));
    return ok ? 0 : 1;
}

}  // namespace korvel::gui
