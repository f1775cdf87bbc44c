// TFloatNumEdit: a one-line field for a floating-point number. Typed characters
// are filtered so that only a plausible number can be typed; the value is read
// from the text on demand and written back in the field's format. The decimal
// separator is the user's regional one.
#pragma once

#include "ui/FloatFormat.h"

#include <QLineEdit>

class QAction;
class QMenu;

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

    // Inserts `text` at the caret (over the selection) as if it were typed,
    // each character through the typing filter, blanks and line ends around
    // it trimmed; a text with a character the filter refuses is not pasted.
    // Every paste (keys, context menu, middle button, drop) comes here.
    void PasteText(const QString& text);

protected:
    // Typed and pasted characters are filtered; assigned text is not.
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // Inserts each character the typing filter takes, in its filtered form.
    void InsertFiltered(const QString& text);

    template <typename T> void ChangeSetting(T& setting, T value);

    int precision_ = 8;
    int digits_ = 4;
    TFloatFormat format_ = ffGeneral;
};

// The paste item of a line's standard context menu; nullptr if it has none.
QAction* PasteAction(const QMenu& menu);

} // namespace orbel
