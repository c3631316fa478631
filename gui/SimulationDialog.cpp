// The Simulation Settings dialog and the conversion of its texts into a request.

#include "gui/SimulationDialog.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>

#include "base/RunError.h"
#include "gui/CommandFileDialog.h"
#include "gui/RadioGroup.h"
#include "gui/UserPrompts.h"

namespace korvel::gui {
namespace {

double ToReal(const std::string& text, const QLocale& locale) {
    bool ok = false;
    const double value = locale.toDouble(QString::fromStdString(text).trimmed(), &ok);
    if (!ok) throw RunError("'" + text + "' is not a valid floating point value");
    return value;
}

long long ToInteger(const std::string& text, const QLocale& locale) {
    bool ok = false;
    const long long value = locale.toLongLong(QString::fromStdString(text).trimmed(), &ok);
    if (!ok) throw RunError("'" + text + "' is not a valid integer value");
    return value;
}

}  // namespace

SimulationRequest ParseSimulationSettings(const SimulationSettingsRecord& r,
                                          const QLocale& userLocale) {
    // Only the decimal separator follows the user's settings: a digit-group separator
    // would turn "1.000" (German) or "1,000" (English) silently into a thousand.
    QLocale locale = userLocale;
    locale.setNumberOptions(locale.numberOptions() | QLocale::RejectGroupSeparator);
    SimulationRequest request;
    request.ModelFileName = r.EModelFN;
    static constexpr char kModes[] = {'F', 'P', 'M'};
    request.CalculationMode =
        (r.CalculationFPM >= 0 && r.CalculationFPM <= 2) ? kModes[r.CalculationFPM] : 'M';
    request.QzInverseAngstrom = r.QzFormat == 1;
    request.Lower = ToReal(r.EditQzMin, locale);
    request.Upper = ToReal(r.EditQzMAX, locale);
    request.Intervals = ToInteger(r.EditNIntervals, locale);
    request.DensityUnits = r.DensityUnits;
    return request;
}

SimulationDialog::SimulationDialog(UserPrompts& prompts) : prompts_(prompts) {
    setObjectName(QStringLiteral("SimulForm"));
    setWindowTitle(QStringLiteral(" Simulation Settings"));

    auto* grid = new QGridLayout(this);
    auto* modelLabel = new QLabel(QStringLiteral("Model File Name"), this);
    EModelFN = new QLineEdit(QStringLiteral("indefined"), this);
    EModelFN->setObjectName(QStringLiteral("EModelFN"));
    EModelFN->setMinimumWidth(320);
    modelLabel->setBuddy(EModelFN);
    auto* pick = new QToolButton(this);
    pick->setObjectName(QStringLiteral("MFNBitBtn"));
    pick->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    connect(pick, &QToolButton::clicked, this, &SimulationDialog::MFNBitBtnClick);
    // The glyph button sits right beside the name it picks.
    auto* modelRow = new QHBoxLayout;
    modelRow->addWidget(pick);
    modelRow->addWidget(EModelFN, 1);
    grid->addWidget(modelLabel, 0, 0, 1, 3);
    grid->addLayout(modelRow, 1, 0, 1, 3);

    CalculationFPM = new RadioGroup("CalculationFPM", "  Calculation Mode  ",
                                    {"Fourier", "Parratt", "Matrix"}, 2, this);
    QzFormat = new RadioGroup("QzFormat", "  Qz Format  ", {"Degree", "1/A"}, 0, this);
    grid->addWidget(CalculationFPM, 2, 0, 1, 2);
    grid->addWidget(QzFormat, 2, 2);

    auto addNumber = [&](const char* name, const char* label, const char* initial, int column) {
        auto* edit = new QLineEdit(QString::fromLatin1(initial), this);
        edit->setObjectName(QString::fromLatin1(name));
        auto* caption = new QLabel(QString::fromLatin1(label), this);
        caption->setBuddy(edit);
        grid->addWidget(caption, 3, column);
        grid->addWidget(edit, 4, column);
        return edit;
    };
    EditQzMin = addNumber("EditQzMin", "Qz  MIN", "0", 0);
    EditQzMAX = addNumber("EditQzMAX", "Qz  MAX", "1", 1);
    EditNIntervals = addNumber("EditNIntervals", "# of intervals", "100", 2);

    DensityUnits = new RadioGroup("DensityUnits", "  Density Units  ", DensityUnitItems(), 0, this);
    grid->addWidget(DensityUnits, 5, 0, 1, 3);

    auto* simulate = new QPushButton(QStringLiteral("Simulate"), this);
    simulate->setObjectName(QStringLiteral("ButtonOK"));
    simulate->setDefault(true);
    connect(simulate, &QPushButton::clicked, this, &QDialog::accept);
    grid->addWidget(simulate, 6, 2, Qt::AlignRight);
}

void SimulationDialog::FromRecord(const SimulationSettingsRecord& r) {
    EModelFN->setText(QString::fromStdString(r.EModelFN));
    CalculationFPM->SetItemIndex(r.CalculationFPM);
    QzFormat->SetItemIndex(r.QzFormat);
    EditQzMin->setText(QString::fromStdString(r.EditQzMin));
    EditQzMAX->setText(QString::fromStdString(r.EditQzMAX));
    EditNIntervals->setText(QString::fromStdString(r.EditNIntervals));
    DensityUnits->SetItemIndex(r.DensityUnits);
}

void SimulationDialog::ToRecord(SimulationSettingsRecord& r) const {
    r.EModelFN = EModelFN->text().toStdString();
    r.CalculationFPM = CalculationFPM->ItemIndex();
    r.QzFormat = QzFormat->ItemIndex();
    r.EditQzMin = EditQzMin->text().toStdString();
    r.EditQzMAX = EditQzMAX->text().toStdString();
    r.EditNIntervals = EditNIntervals->text().toStdString();
    r.DensityUnits = DensityUnits->ItemIndex();
}

void SimulationDialog::MFNBitBtnClick() {
    const QString path = prompts_.OpenFileName(this);
    if (!path.isEmpty()) EModelFN->setText(QFileInfo(path).absoluteFilePath());
}

}  // namespace korvel::gui
