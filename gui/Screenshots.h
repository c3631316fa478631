#pragma once
// The documentation's screenshots: the main window, the Command File Parameters
// dialog, the Fitting Information window during a fit, the plot after it and the
// fit's three views (fit view, profile, fitted values),
// written as PNG files into a folder. The fit is the one the command file names,
// answered the way a user would (dialogs accepted, no Newton step, no uncertainty).

#include <QString>

namespace korvel::gui {

// Returns the process exit code: 0 when every picture was written.
int TakeScreenshots(const QString& folder, const QString& commandFile);

}  // namespace korvel::gui
