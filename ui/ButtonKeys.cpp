#include "ui/ButtonKeys.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QKeyEvent>

namespace orbel {

namespace {

class TEnterPresses : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) {
            return false;
        }
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        // The keypad's Enter carries the keypad modifier; anything more is another shortcut.
        if (!enter || key->isAutoRepeat() ||
            (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
            return false;
        }
        auto* button = qobject_cast<QAbstractButton*>(watched);
        if (button == nullptr || !button->isEnabled()) {
            return false;
        }
        button->click();
        return true;
    }
};

TEnterPresses* Filter() {
    // One filter for every button, owned by the application object.
    static TEnterPresses* filter = new TEnterPresses(QCoreApplication::instance());
    return filter;
}

} // namespace

void PressOnEnter(QAbstractButton* button) {
    button->installEventFilter(Filter());
}

} // namespace orbel
