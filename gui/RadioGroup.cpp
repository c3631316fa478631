// Radio group holding its choice as an item index.

#include "gui/RadioGroup.h"

#include <QRadioButton>
#include <QVBoxLayout>

namespace korvel::gui {

RadioGroup::RadioGroup(const QString& name, const QString& caption, const QStringList& items,
                       int initialItem, QWidget* parent)
    : QGroupBox(caption, parent) {
    setObjectName(name);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 4, 8, 4);
    layout->setSpacing(2);
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items[i], this);
        button->setObjectName(QStringLiteral("%1_%2").arg(name).arg(i));
        buttons_.addButton(button, i);
        layout->addWidget(button);
    }
    SetItemIndex(initialItem);
    connect(&buttons_, &QButtonGroup::idClicked, this, &RadioGroup::Clicked);
}

int RadioGroup::ItemIndex() const { return buttons_.checkedId(); }

void RadioGroup::SetItemIndex(int index) {
    if (auto* button = buttons_.button(index)) {
        button->setChecked(true);
        emit Clicked(index);
    }
}

}  // namespace korvel::gui
