// The Fitting Information window.

#include "gui/FittingInfoWindow.h"

#include <QFormLayout>
#include <QLabel>

namespace korvel::gui {

FittingInfoWindow::FittingInfoWindow() {
    setObjectName(QStringLiteral("FormInfo"));
    setWindowTitle(QStringLiteral("Fitting Infor"));
    setWindowFlag(Qt::Window);
    auto* form = new QFormLayout(this);
    struct Row {
        FittingField field;
        const char* name;
        const char* label;
        const char* initial;
    };
    static constexpr Row kRows[] = {
        {FittingField::LocGlob, "LocGlob", "Fitting_Mode", "indefinite"},
        {FittingField::NIteration, "NIteration", "Iterations Done", "0"},
        {FittingField::Tolerance, "Tolerance", "Tolerance", "indefinite"},
        {FittingField::XiBest, "XiBest", "The Best Xi \u00b2", "indefinite"},
        {FittingField::XiWorst, "XiWorst", "The Worst Xi \u00b2", "indefinite"},
        {FittingField::SessionBest, "SessionBest", " Xi \u00b2 Best in the session ", "indefinite"},
        {FittingField::TermMess, "TermMess", "Termination Message", " "},
    };
    QFont fixed(QStringLiteral("Monospace"));
    fixed.setStyleHint(QFont::TypeWriter);
    for (const Row& row : kRows) {
        auto* edit = new QLineEdit(QString::fromUtf8(row.initial), this);
        edit->setObjectName(QString::fromLatin1(row.name));
        edit->setReadOnly(true);
        edit->setFont(fixed);
        edit->setMinimumWidth(QFontMetrics(fixed).horizontalAdvance(QString(36, 'M')));
        auto* label = new QLabel(QString::fromUtf8(row.label), this);
        if (row.field == FittingField::LocGlob)
            label->setObjectName(QStringLiteral("Fitting_Mode"));
        form->addRow(label, edit);
        fields_[row.field] = edit;
    }
}

void FittingInfoWindow::SetField(FittingField field, const QString& text) {
    QLineEdit* edit = fields_.at(field);
    edit->setText(text);
    if (field == FittingField::LocGlob && (text == "Local" || text == "Descend")) {
        QPalette palette = edit->palette();
        palette.setColor(QPalette::Base, QColor(192, 192, 192));
        palette.setColor(QPalette::Text, text == "Local" ? QColor(0, 0, 255) : QColor(128, 0, 0));
        edit->setPalette(palette);
    }
    edit->repaint();
}

}  // namespace korvel::gui
