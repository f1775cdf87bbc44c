// TFloatNumEdit: a one-line field for a floating-point number. Typed characters
// are filtered so that only a plausible number can be typed; the value is read
// from the text on demand and written back in the field's format. The decimal
// separator is the user's regional one.
#pragma once

#include "ui/FloatFormat.h"

#include <QLineEdit>

namespace orbel {

class TFloatNumEdit : public QLineEdit {
    Q_OBJECT

public:
    // Text "0", Precision 8, Digits 4, Format ffGeneral.
    explicit TFloatNumEdit(QWidget* parent = nullptr);

    // Changing a setting rewrites the current value in the new form; setting the
    // value it already has leaves the text alone.
    int Precision() const { return precision_; }
    void SetPrecision(int precision);
    int Digits() const { return digits_; }
    void SetDigits(int digits);
    TFloatFormat Format() const { return format_; }
    void SetFormat(TFloatFormat format);

    // The value of the text; a text that is no number reads as 0.
    double Value() const;
    // Replaces the text with the value written in the current form.
    void SetValue(double value);
    // Whether the text is a number at all (an empty text is not).
    bool HoldsNumber() const;

protected:
    // Only typed characters are filtered; pasted or assigned text is not.
    void keyPressEvent(QKeyEvent* event) override;

private:
    template <typename T> void ChangeSetting(T& setting, T value);

    int precision_ = 8;
    int digits_ = 4;
    TFloatFormat format_ = ffGeneral;
};

} // namespace orbel
