#pragma once
// Every modal question the windows ask the user goes through this one class: the
// program uses the standard Qt dialogs, and tests substitute scripted answers.

#include <QFont>
#include <QMessageBox>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <optional>

class QDialog;
class QWidget;

namespace korvel::gui {

// The program's file-open filter in Qt's notation (all, .inp, .mdl, .lmt, .dat).
QString ProgramFileFilter();
// Turns a "Label|pattern|Label|pattern" filter into Qt's "Label (pattern);;..." form,
// the pattern once also where the label already names it ("Command file (*.inp)").
// "*.*" becomes "*", so that "All files" also lists files without an extension.
QString QtFileFilter(const QString& programFilter);

class UserPrompts {
  public:
    virtual ~UserPrompts() = default;

    // Shows the dialog modally and returns its result, whatever closed it.
    virtual int Exec(QDialog& dialog);
    // A file to open, or an empty string when cancelled.
    virtual QString OpenFileName(QWidget* parent);
    // A file to save to (the caller confirms replacing), or empty when cancelled.
    virtual QString SaveFileName(QWidget* parent, const QString& proposed, const QString& filter);
    // A message box with the given buttons, at a screen position when given; no icon.
    virtual QMessageBox::StandardButton Ask(QWidget* parent, const QString& text,
                                            QMessageBox::StandardButtons buttons,
                                            std::optional<QPoint> at = std::nullopt);
    // A failure the user must see: a warning box with OK.
    virtual void Warn(QWidget* parent, const QString& text);
    virtual bool PickFont(QWidget* parent, QFont& font);
    // One of `items`, `current` proposed; its index, or -1 when cancelled.
    virtual int ChooseItem(QWidget* parent, const QString& label, const QStringList& items,
                           int current);
};

}  // namespace korvel::gui
