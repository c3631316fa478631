#pragma once
// "Fitting Infor" (TFormInfo): the progress of the simplex search, one read-only
// field per quantity. Every field repaints as soon as it is set.

#include <QLineEdit>
#include <QWidget>
#include <map>

#include "app/RunInterface.h"

namespace korvel::gui {

class FittingInfoWindow : public QWidget {
    Q_OBJECT
  public:
    FittingInfoWindow();

    // Sets the text and repaints the field at once. LocGlob shows "Local" in blue and
    // "Descend" in maroon, both on silver.
    void SetField(FittingField field, const QString& text);
    QLineEdit* Field(FittingField field) const { return fields_.at(field); }

  private:
    std::map<FittingField, QLineEdit*> fields_;
};

}  // namespace korvel::gui
