#pragma once

#include <QAbstractButton>
#include <QKeyEvent>

namespace cw {

/// Makes Enter (the main key or the keypad's) press a focused button, as Space does, the way buttons of the
/// desktop's native dialogs behave. Qt presses a focused push button on Enter only inside dialogs, and there
/// only when it is an auto-default button.
class EnterPressesButton : public QObject {
public:
    /// Installs itself on `button`, which owns it.
    explicit EnterPressesButton(QAbstractButton* button) : QObject(button), button_(button) {
        button->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != button_ || event->type() != QEvent::KeyPress) {
            return false;
        }
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
        if (!enter || modifiers != Qt::NoModifier || key->isAutoRepeat() || !button_->isEnabled()) {
            return false;
        }
        button_->click();
        return true;
    }

private:
    QAbstractButton* button_;
};

/// Makes Enter press `button` while it has the focus.
inline void pressOnEnter(QAbstractButton* button) {
    new EnterPressesButton(button); // owned by the button
}

} // namespace cw
