// The weighting dialog of a fit whose uncertainties do not come from the data file.

#include "gui/WeightingDialog.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "gui/RadioGroup.h"

namespace korvel::gui {

WeightingDialog::WeightingDialog() {
    setObjectName(QStringLiteral("FormFraction"));
    setWindowTitle(QStringLiteral("   Choose weighting metod"));
    NormaRadioGroup = new RadioGroup("NormaRadioGroup", QString(),
                                     {"Freshnel law", "Fraction of Exp data"}, 1, this);
    FracLabel = new QLabel(QStringLiteral("d I = Iexp * D,   where D is"), this);
    FracLabel->setObjectName(QStringLiteral("FracLabel"));
    FracEdit = new QLineEdit(this);
    FracEdit->setObjectName(QStringLiteral("FracEdit"));
    FracLabel->setBuddy(FracEdit);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("FracButton"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* grid = new QGridLayout(this);
    grid->addWidget(NormaRadioGroup, 0, 0, 1, 2);
    grid->addWidget(FracLabel, 1, 0);
    grid->addWidget(FracEdit, 1, 1);
    grid->addWidget(ok, 2, 1, Qt::AlignRight);
    connect(NormaRadioGroup, &RadioGroup::Clicked, this, &WeightingDialog::NormaRadioGroupClick);
    NormaRadioGroupClick();
}

void WeightingDialog::NormaRadioGroupClick() {
    const bool fraction = NormaRadioGroup->ItemIndex() == 1;
    FracLabel->setEnabled(fraction);
    FracEdit->setEnabled(fraction);
    QPalette palette = FracEdit->palette();
    palette.setColor(QPalette::Base, fraction ? QApplication::palette().color(QPalette::Base)
                                              : QColor(192, 192, 192));
    FracEdit->setPalette(palette);
}

void WeightingDialog::FromRecord(const WeightingDialogRecord& r) {
    FracEdit->setText(QString::fromStdString(r.FracEdit));
    NormaRadioGroup->SetItemIndex(r.NormaRadioGroup);
    NormaRadioGroupClick();
}

void WeightingDialog::ToRecord(WeightingDialogRecord& r) const {
    r.NormaRadioGroup = NormaRadioGroup->ItemIndex();
    r.FracEdit = FracEdit->text().toStdString();
}

}  // namespace korvel::gui
