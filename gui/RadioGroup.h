#pragma once
// A captioned group of radio buttons whose choice is an item index, as the dialogs'
// records hold it. The buttons are named <group>_<index> for tests.

#include <QButtonGroup>
#include <QGroupBox>
#include <QStringList>

namespace korvel::gui {

class RadioGroup : public QGroupBox {
    Q_OBJECT
  public:
    RadioGroup(const QString& name, const QString& caption, const QStringList& items,
               int initialItem, QWidget* parent = nullptr);

    int ItemIndex() const;
    // An index outside the items leaves the choice as it was.
    void SetItemIndex(int index);
    QAbstractButton* Item(int index) const { return buttons_.button(index); }
    int Count() const { return static_cast<int>(buttons_.buttons().size()); }

  signals:
    // The user (or SetItemIndex) chose an item.
    void Clicked(int index);

  private:
    QButtonGroup buttons_;
};

}  // namespace korvel::gui
