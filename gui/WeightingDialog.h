#pragma once
// "   Choose weighting metod" (TFormFraction): Fresnel-law weights or a fraction D
// of the measured intensity as the uncertainty of each point.

#include <QDialog>

#include "app/DialogRecords.h"

class QLabel;
class QLineEdit;

namespace korvel::gui {

class RadioGroup;

class WeightingDialog : public QDialog {
    Q_OBJECT
  public:
    WeightingDialog();

    void FromRecord(const WeightingDialogRecord& record);
    void ToRecord(WeightingDialogRecord& record) const;

    // Enables the fraction field for "Fraction of Exp data"; otherwise disables it and
    // paints it silver.
    void NormaRadioGroupClick();

  private:
    RadioGroup* NormaRadioGroup;
    QLabel* FracLabel;
    QLineEdit* FracEdit;
};

}  // namespace korvel::gui
