#include "app/KeyboardButton.h"

#include <QKeyEvent>
#include <QStyleOptionButton>
#include <QStyleOptionToolButton>

namespace pontrel::app {

bool keyboard::clicks(const QKeyEvent* event) {
    const auto modifiers = event->modifiers() & ~Qt::KeypadModifier;
    return (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && modifiers == Qt::NoModifier;
}

// The style draws the focus frame (and Fusion its highlighted outline) only for a focus that the
// keyboard moved; a focused button always says so here.
void KeyboardPushButton::initStyleOption(QStyleOptionButton* option) const {
    QPushButton::initStyleOption(option);
    if (hasFocus())
        option->state |= QStyle::State_HasFocus | QStyle::State_KeyboardFocusChange;
}

void KeyboardToolButton::initStyleOption(QStyleOptionToolButton* option) const {
    QToolButton::initStyleOption(option);
    if (hasFocus())
        option->state |= QStyle::State_HasFocus | QStyle::State_KeyboardFocusChange;
}

} // namespace pontrel::app
