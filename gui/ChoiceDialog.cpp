// The Newton-step and uncertainty questions.

#include "gui/ChoiceDialog.h"

#include <QPushButton>
#include <QVBoxLayout>

#include "gui/RadioGroup.h"

namespace korvel::gui {

ChoiceDialog::ChoiceDialog(const QString& objectName, const QString& caption,
                           const QString& groupName, const QString& question,
                           const QStringList& items) {
    setObjectName(objectName);
    setWindowTitle(caption);
    group_ = new RadioGroup(groupName, question, items, 0, this);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ButtonOK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group_);
    layout->addWidget(ok, 0, Qt::AlignRight);
    setMinimumWidth(260);
}

bool ChoiceDialog::Yes() const { return group_->ItemIndex() == 1; }

ChoiceDialog* NewNewtonDialog() {
    return new ChoiceDialog("FormNewton", "   Make your Choise", "NewtonRadioGroup",
                            "Execute Newton Step ?", {"No", "Yes"});
}

ChoiceDialog* NewUncertaintyDialog() {
    return new ChoiceDialog("FormUncertainty", " Make your Choice", "UncertaintyRadioGroup",
                            "Calculate Parameters Uncertainty ?", {"   No", "   Yes"});
}

}  // namespace korvel::gui
