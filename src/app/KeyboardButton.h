#pragma once
// Buttons that the keyboard works as on Windows: Enter (and the keypad's Enter) clicks the button that
// has the focus, as Space does, and the focus is drawn on it however it got there (the default style
// draws it only after a Tab, so a button focused by a click or at start looked unfocused).

#include <QPushButton>
#include <QToolButton>

class QKeyEvent;

namespace pontrel::app {

namespace keyboard {
// Whether the key clicks a focused button besides Space.
bool clicks(const QKeyEvent* event);
} // namespace keyboard

template <class Button> class KeyboardWorked : public Button {
  public:
    using Button::Button;

  protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (keyboard::clicks(event) && this->isEnabled()) {
            this->animateClick();
            return;
        }
        Button::keyPressEvent(event);
    }
};

class KeyboardPushButton : public KeyboardWorked<QPushButton> {
  public:
    using KeyboardWorked<QPushButton>::KeyboardWorked;

  protected:
    void initStyleOption(QStyleOptionButton* option) const override;
};

class KeyboardToolButton : public KeyboardWorked<QToolButton> {
  public:
    using KeyboardWorked<QToolButton>::KeyboardWorked;

  protected:
    void initStyleOption(QStyleOptionToolButton* option) const override;
};

} // namespace pontrel::app
