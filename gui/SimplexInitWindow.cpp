// The Simplex Initialization window.

#include "gui/SimplexInitWindow.h"

#include <QGridLayout>
#include <QLabel>

namespace korvel::gui {

SimplexInitWindow::SimplexInitWindow() {
    setObjectName(QStringLiteral("SimplexIni"));
    setWindowTitle(QStringLiteral("   Simplex Initialization "));
    setWindowFlag(Qt::Window);
    auto* grid = new QGridLayout(this);
    ELoopsRest = new QLineEdit(QStringLiteral("indefinite"), this);
    ELoopsRest->setObjectName(QStringLiteral("ELoopsRest"));
    ELoopsRest->setReadOnly(true);
    EClcTime = new QLineEdit(QStringLiteral("indefinite"), this);
    EClcTime->setObjectName(QStringLiteral("EClcTime"));
    EClcTime->setReadOnly(true);
    grid->addWidget(new QLabel(QStringLiteral("Loops before beginning"), this), 0, 0);
    grid->addWidget(ELoopsRest, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Calculation time per Curve"), this), 1, 0);
    grid->addWidget(EClcTime, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("sec."), this), 1, 2);
}

void SimplexInitWindow::SetField(SimplexInitField field, const QString& text) {
    QLineEdit* edit = field == SimplexInitField::ELoopsRest ? ELoopsRest : EClcTime;
    edit->setText(text);
    edit->repaint();
}

}  // namespace korvel::gui
