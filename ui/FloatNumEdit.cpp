#include "ui/FloatNumEdit.h"

#include <QKeyEvent>

namespace {

bool IsControlText(const QString& text) {
    return text.size() == 1 && (text.front().unicode() < 0x20 || text.front().unicode() == 0x7F);
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
    // Editing and navigation keys, shortcuts (copy, paste, undo, select all)
    // and the control characters the field lets through (backspace, tab, Enter,
    // escape) keep their ordinary handling.
    if (typed.isEmpty() || isReadOnly() ||
        (event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier)) != 0 ||
        IsControlText(typed)) {
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
