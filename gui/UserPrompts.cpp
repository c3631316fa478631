// The standard Qt dialogs behind the program's modal questions.

#include "gui/UserPrompts.h"

#include <QDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QInputDialog>

namespace korvel::gui {

QString QtFileFilter(const QString& programFilter) {
    const QStringList parts = programFilter.split(QLatin1Char('|'));
    QStringList entries;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString label = parts[i];
        const QString given = parts[i + 1];
        const QString pattern = given == QLatin1String("*.*") ? QStringLiteral("*") : given;
        // A label that already ends with its patterns in brackets, "Command file
        // (*.inp)", shows them once.
        const QString shown = QStringLiteral(" (%1)").arg(given);
        if (label.endsWith(shown)) label.chop(shown.size());
        entries << QStringLiteral("%1 (%2)").arg(label, pattern);
    }
    return entries.join(QStringLiteral(";;"));
}

QString ProgramFileFilter() {
    return QtFileFilter(QStringLiteral(
        "All files|*.*|Command file (*.inp)|*.inp|Model file (*.mdl)|*.mdl|Limits file "
        "(*.lmt)|*.lmt|Data file (*.dat)|*.dat"));
}

int UserPrompts::Exec(QDialog& dialog) { return dialog.exec(); }

QString UserPrompts::OpenFileName(QWidget* parent) {
    return QFileDialog::getOpenFileName(parent, QString(), QString(), ProgramFileFilter());
}

QString UserPrompts::SaveFileName(QWidget* parent, const QString& proposed, const QString& filter) {
    return QFileDialog::getSaveFileName(parent, QString(), proposed, filter, nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

QMessageBox::StandardButton UserPrompts::Ask(QWidget* parent, const QString& text,
                                             QMessageBox::StandardButtons buttons,
                                             std::optional<QPoint> at) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Korvel"), text, buttons, parent);
    if (at) box.move(*at);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void UserPrompts::Warn(QWidget* parent, const QString& text) {
    QMessageBox::warning(parent, QStringLiteral("Korvel"), text);
}

bool UserPrompts::PickFont(QWidget* parent, QFont& font) {
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, font, parent);
    if (ok) font = chosen;
    return ok;
}

int UserPrompts::ChooseItem(QWidget* parent, const QString& label, const QStringList& items,
                            int current) {
    bool ok = false;
    const QString chosen = QInputDialog::getItem(parent, QStringLiteral("Korvel"), label, items,
                                                 current, false, &ok);
    return ok ? static_cast<int>(items.indexOf(chosen)) : -1;
}

}  // namespace korvel::gui
