#pragma once
// "Command File Parameters" (TComFile): shows and edits the run settings record of a
// fit. The widgets translate to and from CommandFileDialogRecord; the glyph buttons
// pick file names, and the command-file button also reads the file it picks.

#include <QDialog>

#include "app/DialogRecords.h"

class QLabel;
class QLineEdit;
class QGridLayout;
class QToolButton;

namespace korvel {
struct Workspace;
}

namespace korvel::gui {

class RadioGroup;
class UserPrompts;

QStringList DensityUnitItems();

class CommandFileDialog : public QDialog {
    Q_OBJECT
  public:
    CommandFileDialog(Workspace& ws, UserPrompts& prompts);

    void FromRecord(const CommandFileDialogRecord& record);
    void ToRecord(CommandFileDialogRecord& record) const;

    void CFNBitBtnClick();
    void EDFNBitBtnClick();
    void MFNBitBtnClick();
    void LFNBitBtnClick();

  private:
    QLineEdit* AddFileRow(const QString& name, const QString& label, const QString& buttonName,
                          QGridLayout* grid, int row, QToolButton** button);

    Workspace& ws_;
    UserPrompts& prompts_;
    QLineEdit* EComFN;
    QLineEdit* EExpDataFN;
    QLineEdit* EModelFN;
    QLineEdit* ELimitsFN;
    QLineEdit* ETolerance;
    QLineEdit* EMaxIter;
    QLineEdit* ECutOffLevel;
    RadioGroup* SimFit;
    RadioGroup* ScaleNY;
    RadioGroup* UncertaintySG;
    RadioGroup* CalculationFPM;
    RadioGroup* QzFormat;
    RadioGroup* RULength;
    RadioGroup* DensityUnits;
    // "set by the last simulation" beside the two choices the command file does not carry,
    // while they are the ones a simulation left.
    QLabel* QzFormatNote;
    QLabel* DensityUnitsNote;
};

}  // namespace korvel::gui
