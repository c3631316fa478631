#pragma once
// "   Simplex Initialization " (TSimplexIni): vertices still to evaluate and the time
// of one curve evaluation, in seconds, while the starting simplex is evaluated.

#include <QLineEdit>
#include <QWidget>

#include "app/RunInterface.h"

namespace korvel::gui {

class SimplexInitWindow : public QWidget {
    Q_OBJECT
  public:
    SimplexInitWindow();
    void SetField(SimplexInitField field, const QString& text);
    QLineEdit* ELoopsRest;
    QLineEdit* EClcTime;
};

}  // namespace korvel::gui
