// About, History and Options.

#include "gui/SmallDialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

namespace korvel::gui {
namespace {

QPushButton* OkButton(QDialog* dialog) {
    auto* ok = new QPushButton(QStringLiteral("OK"), dialog);
    ok->setObjectName(QStringLiteral("ButtonOK"));
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
    return ok;
}

}  // namespace

QPixmap AboutPicture(int width, int height) {
    QPixmap picture(width, height);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    // A multilayer: alternating films on a grey substrate, with an incoming and a
    // reflected ray.
    const int stackLeft = 10;
    const int stackWidth = width / 2 - 20;
    int y = height / 3;
    for (int i = 0; i < 6; ++i) {
        painter.fillRect(stackLeft, y, stackWidth, 7,
                         i % 2 ? QColor(70, 110, 190) : QColor(210, 170, 90));
        y += 7;
    }
    painter.fillRect(stackLeft, y, stackWidth, height - y - 10, QColor(150, 150, 150));
    painter.setPen(QPen(QColor(220, 0, 0), 2));
    const QPointF hit(stackLeft + stackWidth / 2.0, height / 3.0);
    painter.drawLine(QPointF(stackLeft, 10), hit);
    painter.drawLine(hit, QPointF(stackLeft + stackWidth, 10));
    // A reflectivity curve: a plateau, then a decay with Kiessig fringes.
    const QRectF plot(width / 2.0 + 5, 10, width / 2.0 - 15, height - 20);
    painter.setPen(QPen(Qt::black, 1));
    painter.drawRect(plot);
    QPainterPath path;
    for (int i = 0; i <= 200; ++i) {
        const double q = i / 200.0;
        const double lg = q < 0.1 ? 0.0 : -6.0 * (q - 0.1) / 0.9 + 0.4 * std::cos(60.0 * q) * q;
        const QPointF p(plot.left() + q * plot.width(), plot.top() - lg / 7.0 * plot.height());
        if (i == 0)
            path.moveTo(p);
        else
            path.lineTo(p);
    }
    painter.setPen(QPen(QColor(0, 0, 255), 1.5));
    painter.drawPath(path);
    return picture;
}

AboutDialog::AboutDialog() {
    setObjectName(QStringLiteral("FormAbout"));
    setWindowTitle(QStringLiteral("About Program"));
    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("Image1"));
    picture->setPixmap(AboutPicture(280, 140));
    auto* text = new QLabel(QStringLiteral("Korvel %1\nSpecular X-ray and neutron reflectometry\n"
                                           "of layered samples")
                                .arg(QStringLiteral(KORVEL_VERSION)),
                            this);
    text->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(picture, 0, Qt::AlignCenter);
    layout->addWidget(text);
    layout->addWidget(OkButton(this), 0, Qt::AlignCenter);
}

HistoryDialog::HistoryDialog() {
    setObjectName(QStringLiteral("FormHistory"));
    setWindowTitle(QStringLiteral("   History"));
    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->addItems({
        "Design of the program Korvel is started on 1992.",
        "",
        "Since that time the program is upgraded constantly.",
        "",
        "There is a history of the modifications.",
        "",
        "1992",
        "- The first DOS version of the program is done.",
        "..............",
        ".............",
        "1994",
        "- Matrix method of the reflectivity calculation implemented",
        "",
        "1995",
        "- Global minimization is implemented",
        "",
        "01.01.2001",
        "- First WINDOWS versio of the program is done.",
        "",
        "22.03.2002",
        "- History list added",
        "- Option of simulation of reflectivity curves added",
        "  (calculation of reflectivity on regular grid of Qz",
        "   with out any reference to experimental data)",
        "- Bug of plot option is corrected",
        "  (plot did not update the Qz scale )",
    });
    // Tall enough for every line, so the history reads without scrolling.
    int height = 2 * ListBox1->frameWidth() + 4;
    for (int row = 0; row < ListBox1->count(); ++row) height += ListBox1->sizeHintForRow(row);
    ListBox1->setMinimumSize(420, height);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ListBox1);
    layout->addWidget(OkButton(this), 0, Qt::AlignCenter);
}

OptionsDialog::OptionsDialog() {
    setObjectName(QStringLiteral("FormOptions"));
    setWindowTitle(QStringLiteral("Options"));
    CB_FitLog = new QCheckBox(QStringLiteral("  Create Log file of fitting"), this);
    CB_FitLog->setObjectName(QStringLiteral("CB_FitLog"));
    CB_GlobalSearch = new QComboBox(this);
    CB_GlobalSearch->setObjectName(QStringLiteral("CB_GlobalSearch"));
    CB_GlobalSearch->addItems({QStringLiteral("Tunnelling"),
                               QStringLiteral("Differential evolution (self-adaptive)"),
                               QStringLiteral("CMA-ES"), QStringLiteral("Particle swarm")});
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(CB_FitLog);
    auto* search = new QFormLayout;
    search->addRow(QStringLiteral("Global search:"), CB_GlobalSearch);
    layout->addLayout(search);
    layout->addWidget(OkButton(this), 0, Qt::AlignCenter);
}

}  // namespace korvel::gui
