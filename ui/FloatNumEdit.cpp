#include "ui/FloatNumEdit.h"

#include <QKeyEvent>
#include <QKeySequence>

namespace orbel {

namespace {

bool IsControlText(const QString& text) {
    return text.size() == 1 && (text.front().unicode() < 0x20 || text.front().unicode() == 0x7F);
}

bool IsEditShortcut(QKeyEvent* event) {
    for (const auto key : {QKeySequence::Copy, QKeySequence::Cut, QKeySequence::Paste,
                           QKeySequence::SelectAll, QKeySequence::Undo, QKeySequence::Redo}) {
        if (event->matches(key)) {
            return true;
        }
    }
    return false;
}

} // namespace

TFloatNumEdit::TFloatNumEdit(QWidget* parent) : QLineEdit(QStringLiteral("0"), parent) {
    // Every character must come through keyPressEvent, none through an input
    // method's commit.
    setAttribute(Qt::WA_InputMethodEnabled, false);
}

template <typename T> void TFloatNumEdit::ChangeSetting(T& setting, T value) {
    if (setting == value) {
        return;
    }
    const double current = Value();
    setting = value;
    SetValue(current);
}

void TFloatNumEdit::SetPrecision(int precision) {
    ChangeSetting(precision_, precision);
}

void TFloatNumEdit::SetDigits(int digits) {
    ChangeSetting(digits_, digits);
}

void TFloatNumEdit::SetFormat(TFloatFormat format) {
    ChangeSetting(format_, format);
}

double TFloatNumEdit::Value() const {
    return TextToFloat(text(), RegionalSettings().DecimalSeparator);
}

void TFloatNumEdit::SetValue(double value) {
    setText(FloatToText(value, format_, precision_, digits_, RegionalSettings()));
}

bool TFloatNumEdit::HoldsNumber() const {
    return TryTextToFloat(text(), RegionalSettings().DecimalSeparator).has_value();
}

void TFloatNumEdit::keyPressEvent(QKeyEvent* event) {
    const QString typed = event->text();
    // Editing and navigation keys, the usual edit shortcuts (copy, cut, paste,
    // select all, undo, redo) and keys that type a control character (which
    // the line never takes as text) keep their ordinary handling. Any other
    // key that types something is filtered, whatever modifiers are held.
    if (typed.isEmpty() || isReadOnly() || IsControlText(typed) || IsEditShortcut(event)) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    const QChar separator = RegionalSettings().DecimalSeparator;
    for (const QChar c : typed) {
        const qsizetype start = hasSelectedText() ? selectionStart() : cursorPosition();
        const qsizetype length = hasSelectedText() ? selectionLength() : 0;
        if (const auto accepted = FilterTypedChar(text(), start, length, c, separator)) {
            insert(QString(*accepted));
        }
    }
    event->accept();
}

} // namespace orbel
