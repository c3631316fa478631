#pragma once
// The text a message box shows for a run that could not go on: the program's own
// message, then the place it happened.

#include <QString>

#include "base/RunError.h"

namespace korvel::gui {

inline QString RunErrorText(const RunError& error) {
    QString text = QString::fromStdString(error.Message());
    if (!error.Where().empty()) text += QLatin1Char('\n') + QString::fromStdString(error.Where());
    return text;
}

}  // namespace korvel::gui
