#pragma once
// The documentation's screenshots: the main window, the Command File Parameters
// dialog, the Fitting Information window during the demo fit and the plot after
// it, written as PNG files into a folder.

#include <QString>

namespace korvel::gui {

// Returns the process exit code: 0 when every picture was written.
int TakeScreenshots(const QString& folder);

}  // namespace korvel::gui
