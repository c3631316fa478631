#pragma once
// The two questions at the end of a fit, each a radio group and an OK button:
// "Execute Newton Step ?" (TFormNewton) and "Calculate Parameters Uncertainty ?"
// (TFormUncertainty). Item 1 is the "Yes" answer.

#include <QDialog>

namespace korvel::gui {

class RadioGroup;

class ChoiceDialog : public QDialog {
    Q_OBJECT
  public:
    ChoiceDialog(const QString& objectName, const QString& caption, const QString& groupName,
                 const QString& question, const QStringList& items);
    RadioGroup* Group() const { return group_; }
    bool Yes() const;

  private:
    RadioGroup* group_;
};

ChoiceDialog* NewNewtonDialog();
ChoiceDialog* NewUncertaintyDialog();

}  // namespace korvel::gui
