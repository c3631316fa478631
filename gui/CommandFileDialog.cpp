// The Command File Parameters dialog and its four file buttons.

#include "gui/CommandFileDialog.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>

#include "app/CommandFile.h"
#include "base/RunError.h"
#include "app/Workspace.h"
#include "gui/RadioGroup.h"
#include "gui/RunErrorText.h"
#include "gui/UserPrompts.h"

namespace korvel::gui {

QStringList DensityUnitItems() {
    return {QStringLiteral("Delta         &&   Beta            N = 1 - delta  - i * betta"),
            QStringLiteral("SLD_Re    &&   SLD_Im      Scattering Length Density"),
            QStringLiteral("El_Re        &&   El_Im          Electron Density"),
            QStringLiteral("Qc^2         &&   Mu             ")};
}

QLineEdit* CommandFileDialog::AddFileRow(const QString& name, const QString& label,
                                         const QString& buttonName, QGridLayout* grid, int row,
                                         QToolButton** button) {
    auto* caption = new QLabel(label, this);
    auto* edit = new QLineEdit(QStringLiteral("indefined"), this);
    edit->setObjectName(name);
    edit->setMinimumWidth(320);
    caption->setBuddy(edit);
    *button = new QToolButton(this);
    (*button)->setObjectName(buttonName);
    (*button)->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    (*button)->setToolTip(QStringLiteral("Choose a file"));
    grid->addWidget(caption, row, 0, 1, 2);
    grid->addWidget(*button, row + 1, 0);
    grid->addWidget(edit, row + 1, 1);
    return edit;
}

CommandFileDialog::CommandFileDialog(Workspace& ws, UserPrompts& prompts)
    : ws_(ws), prompts_(prompts) {
    setObjectName(QStringLiteral("ComFile"));
    setWindowTitle(QStringLiteral("Command File Parameters"));

    auto* files = new QGridLayout;
    QToolButton* cfn = nullptr;
    QToolButton* edfn = nullptr;
    QToolButton* mfn = nullptr;
    QToolButton* lfn = nullptr;
    EComFN = AddFileRow("EComFN", "Command File Name", "CFNBitBtn", files, 0, &cfn);
    EExpDataFN = AddFileRow("EExpDataFN", "Exp Data File Name", "EDFNBitBtn", files, 2, &edfn);
    EModelFN = AddFileRow("EModelFN", "Model File Name", "MFNBitBtn", files, 4, &mfn);
    ELimitsFN = AddFileRow("ELimitsFN", "Limits File Name", "LFNBitBtn", files, 6, &lfn);
    connect(cfn, &QToolButton::clicked, this, &CommandFileDialog::CFNBitBtnClick);
    connect(edfn, &QToolButton::clicked, this, &CommandFileDialog::EDFNBitBtnClick);
    connect(mfn, &QToolButton::clicked, this, &CommandFileDialog::MFNBitBtnClick);
    connect(lfn, &QToolButton::clicked, this, &CommandFileDialog::LFNBitBtnClick);

    auto* numbers = new QGridLayout;
    auto addNumber = [&](const char* name, const char* label, const char* initial, int column) {
        auto* edit = new QLineEdit(QString::fromLatin1(initial), this);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setMinimumWidth(
            edit->fontMetrics().horizontalAdvance(QStringLiteral(" 0.000000E+00000")));
        auto* caption = new QLabel(QString::fromLatin1(label), this);
        caption->setBuddy(edit);
        numbers->addWidget(caption, 0, column);
        numbers->addWidget(edit, 1, column);
        return edit;
    };
    ETolerance = addNumber("ETolerance", "Tolerance", "1.0e-5", 0);
    EMaxIter = addNumber("EMaxIter", "Max # of Iterations", "65000", 1);
    ECutOffLevel = addNumber("ECutOffLevel", "Cut off Level", "0", 2);
    files->addLayout(numbers, 8, 0, 1, 2);

    SimFit = new RadioGroup("SimFit", "  Mode of Work  ", {"Simulate", "Fit"}, 0, this);
    ScaleNY = new RadioGroup("ScaleNY", "  Is Data Scaled ?  ", {"No", "Yes"}, 1, this);
    UncertaintySG = new RadioGroup("UncertaintySG", "  Uncertainty  ",
                                   {"Set Manually", "Get from the File"}, 1, this);
    CalculationFPM = new RadioGroup("CalculationFPM", "  Calculation Mode  ",
                                    {"Fourier", "Parratt", "Matrix"}, 2, this);
    QzFormat = new RadioGroup("QzFormat", "  Qz Format  ", {"Degree", "1/A"}, 0, this);
    RULength = new RadioGroup("RULength", "  Repeat Unit Length  ", {"Free", "Fixed"}, 0, this);
    DensityUnits = new RadioGroup("DensityUnits", "  Density Units  ", DensityUnitItems(), 0, this);

    auto note = [this](const char* name) {
        auto* label = new QLabel(QStringLiteral("\u25b2 set by the last simulation"), this);
        label->setObjectName(QString::fromLatin1(name));
        label->setToolTip(QStringLiteral(
            "The command file does not say whether abscissae are Qz or what the density "
            "columns hold:\nthe fit takes this choice as the last simulation left it. "
            "Check it before fitting."));
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, QColor(190, 80, 0));
        label->setPalette(palette);
        label->hide();
        return label;
    };
    QzFormatNote = note("QzFormatNote");
    DensityUnitsNote = note("DensityUnitsNote");
    // A choice the user makes is no longer the simulation's.
    connect(QzFormat, &RadioGroup::Clicked, QzFormatNote, &QWidget::hide);
    connect(DensityUnits, &RadioGroup::Clicked, DensityUnitsNote, &QWidget::hide);

    auto* groups = new QGridLayout;
    groups->addWidget(SimFit, 0, 0);
    groups->addWidget(ScaleNY, 0, 1);
    groups->addWidget(UncertaintySG, 0, 2);
    groups->addWidget(CalculationFPM, 1, 0);
    groups->addWidget(QzFormat, 1, 1);
    groups->addWidget(RULength, 1, 2);
    groups->addWidget(QzFormatNote, 2, 1);
    groups->addWidget(DensityUnits, 3, 0, 1, 3);
    groups->addWidget(DensityUnitsNote, 4, 0, 1, 3);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ButtonOK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->addLayout(files, 0, 0);
    layout->addLayout(groups, 0, 1);
    layout->addWidget(ok, 1, 1, Qt::AlignRight);
}

void CommandFileDialog::FromRecord(const CommandFileDialogRecord& r) {
    EComFN->setText(QString::fromStdString(r.EComFN));
    EExpDataFN->setText(QString::fromStdString(r.EExpDataFN));
    EModelFN->setText(QString::fromStdString(r.EModelFN));
    ELimitsFN->setText(QString::fromStdString(r.ELimitsFN));
    ETolerance->setText(QString::fromStdString(r.ETolerance));
    EMaxIter->setText(QString::fromStdString(r.EMaxIter));
    ECutOffLevel->setText(QString::fromStdString(r.ECutOffLevel));
    SimFit->SetItemIndex(r.SimFit);
    ScaleNY->SetItemIndex(r.ScaleNY);
    UncertaintySG->SetItemIndex(r.UncertaintySG);
    CalculationFPM->SetItemIndex(r.CalculationFPM);
    QzFormat->SetItemIndex(r.QzFormat);
    // Without a repeat unit the length can only be free.
    RULength->SetItemIndex(r.RULengthEnabled ? r.RULength : 0);
    RULength->setEnabled(r.RULengthEnabled);
    DensityUnits->SetItemIndex(r.DensityUnits);
    QzFormatNote->setVisible(r.QzFormatFromSimulation);
    DensityUnitsNote->setVisible(r.DensityUnitsFromSimulation);
}

void CommandFileDialog::ToRecord(CommandFileDialogRecord& r) const {
    r.EComFN = EComFN->text().toStdString();
    r.EExpDataFN = EExpDataFN->text().toStdString();
    r.EModelFN = EModelFN->text().toStdString();
    r.ELimitsFN = ELimitsFN->text().toStdString();
    r.ETolerance = ETolerance->text().toStdString();
    r.EMaxIter = EMaxIter->text().toStdString();
    r.ECutOffLevel = ECutOffLevel->text().toStdString();
    r.SimFit = SimFit->ItemIndex();
    r.ScaleNY = ScaleNY->ItemIndex();
    r.UncertaintySG = UncertaintySG->ItemIndex();
    r.CalculationFPM = CalculationFPM->ItemIndex();
    r.QzFormat = QzFormat->ItemIndex();
    r.RULengthEnabled = RULength->isEnabled();
    r.RULength = r.RULengthEnabled ? RULength->ItemIndex() : 0;
    r.DensityUnits = DensityUnits->ItemIndex();
    r.QzFormatFromSimulation = !QzFormatNote->isHidden();
    r.DensityUnitsFromSimulation = !DensityUnitsNote->isHidden();
}

void CommandFileDialog::CFNBitBtnClick() {
    const QString path = prompts_.OpenFileName(this);
    if (path.isEmpty()) return;
    EComFN->setText(path);
    CommandFileDialogRecord shown;
    ToRecord(shown);
    ws_.Settings.CommandFileName = shown.EComFN;
    try {
        ReadCommandFile(ws_);
    } catch (const RunError& e) {
        // The dialog stays open with what it showed; the user can pick another file.
        prompts_.Warn(this, RunErrorText(e));
        return;
    }
    SettingsToDialog(ws_.Settings, shown);
    shown.RULengthEnabled = ws_.CommandFileDialog.RULengthEnabled;
    FromRecord(shown);
    repaint();
}

void CommandFileDialog::EDFNBitBtnClick() {
    const QString path = prompts_.OpenFileName(this);
    if (!path.isEmpty()) EExpDataFN->setText(path);
}

void CommandFileDialog::MFNBitBtnClick() {
    const QString path = prompts_.OpenFileName(this);
    if (!path.isEmpty()) EModelFN->setText(path);
}

void CommandFileDialog::LFNBitBtnClick() {
    const QString path = prompts_.OpenFileName(this);
    if (!path.isEmpty()) ELimitsFN->setText(path);
}

}  // namespace korvel::gui
