#pragma once
// Scripted answers for the windows' modal questions: dialogs are not shown but handed
// to a callback that plays the user, file names and message-box answers come from
// queues, and everything asked is recorded.

#include <QDialog>
#include <QStringList>
#include <deque>
#include <functional>

#include "gui/UserPrompts.h"

namespace korvel::gui::testing {

class ScriptedPrompts : public UserPrompts {
  public:
    int Exec(QDialog& dialog) override {
        Shown << dialog.objectName();
        if (OnExec) return OnExec(dialog);
        return QDialog::Accepted;
    }
    QString OpenFileName(QWidget*) override { return Next(OpenAnswers); }
    QString SaveFileName(QWidget*, const QString& proposed, const QString&) override {
        Proposed << proposed;
        return Next(SaveAnswers);
    }
    QMessageBox::StandardButton Ask(QWidget*, const QString& text,
                                    QMessageBox::StandardButtons buttons,
                                    std::optional<QPoint> at) override {
        Asked << text;
        if (at) AskedAt = *at;
        if (!AskAnswers.empty()) {
            const auto answer = AskAnswers.front();
            AskAnswers.pop_front();
            return answer;
        }
        return (buttons & QMessageBox::Ok) ? QMessageBox::Ok : QMessageBox::Yes;
    }
    void Warn(QWidget*, const QString& text) override { Warnings << text; }
    int ChooseItem(QWidget*, const QString& label, const QStringList& items,
                   int current) override {
        Chosen << label;
        ChoiceItems = items;
        if (ItemAnswers.empty()) return current;
        const int answer = ItemAnswers.front();
        ItemAnswers.pop_front();
        return answer;
    }
    bool PickFont(QWidget*, QFont& font) override {
        if (!FontAnswer) return false;
        font = *FontAnswer;
        return true;
    }

    std::function<int(QDialog&)> OnExec;
    QStringList OpenAnswers;
    QStringList SaveAnswers;
    std::deque<QMessageBox::StandardButton> AskAnswers;
    std::optional<QFont> FontAnswer;
    std::deque<int> ItemAnswers;  // ChooseItem: an index, -1 to cancel; none: the proposed one

    QStringList Shown;
    QStringList Proposed;
    QStringList Asked;
    QPoint AskedAt;
    QStringList Warnings;
    QStringList Chosen;       // the labels of ChooseItem
    QStringList ChoiceItems;  // the items of the latest ChooseItem

  private:
    static QString Next(QStringList& queue) {
        return queue.isEmpty() ? QString() : queue.takeFirst();
    }
};

}  // namespace korvel::gui::testing
