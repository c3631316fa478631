#pragma once
// " Simulation Settings" (TSimulForm): the model file, calculation mode, Qz format,
// grid limits, number of intervals and density units of a simulation. Its numbers
// are read with the user's locale (decimal comma where the user has one).

#include <QDialog>
#include <QLocale>

#include "app/DialogRecords.h"
#include "app/SimulationRun.h"

class QLineEdit;

namespace korvel::gui {

class RadioGroup;
class UserPrompts;

// The request a simulation takes from the dialog's record. Throws RunError with
// "'%s' is not a valid floating point value" or "'%s' is not a valid integer value".
SimulationRequest ParseSimulationSettings(const SimulationSettingsRecord& record,
                                          const QLocale& locale = QLocale());

class SimulationDialog : public QDialog {
    Q_OBJECT
  public:
    explicit SimulationDialog(UserPrompts& prompts);

    void FromRecord(const SimulationSettingsRecord& record);
    void ToRecord(SimulationSettingsRecord& record) const;

    void MFNBitBtnClick();

  private:
    UserPrompts& prompts_;
    QLineEdit* EModelFN;
    RadioGroup* CalculationFPM;
    RadioGroup* QzFormat;
    QLineEdit* EditQzMin;
    QLineEdit* EditQzMAX;
    QLineEdit* EditNIntervals;
    RadioGroup* DensityUnits;
};

}  // namespace korvel::gui
