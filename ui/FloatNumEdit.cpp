#include "ui/FloatNumEdit.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>

namespace orbel {

namespace {

bool IsControlText(const QString& text) {
    return text.size() == 1 && (text.front().unicode() < 0x20 || text.front().unicode() == 0x7F);
}

bool IsEditShortcut(QKeyEvent* event) {
    for (const auto key : {QKeySequence::Copy, QKeySequence::Cut, QKeySequence::SelectAll,
                           QKeySequence::Undo, QKeySequence::Redo}) {
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
    if (event->matches(QKeySequence::Paste)) {
        if (!isReadOnly()) {
            PasteText(QApplication::clipboard()->text());
        }
        event->accept();
        return;
    }
    const QString typed = event->text();
    // Editing and navigation keys, the usual edit shortcuts (copy, cut,
    // select all, undo, redo) and keys that type a control character (which
    // the line never takes as text) keep their ordinary handling. Any other
    // key that types something is filtered, whatever modifiers are held.
    if (typed.isEmpty() || isReadOnly() || IsControlText(typed) || IsEditShortcut(event)) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    InsertFiltered(typed);
    event->accept();
}

void TFloatNumEdit::InsertFiltered(const QString& typed) {
    const QChar separator = RegionalSettings().DecimalSeparator;
    for (const QChar c : typed) {
        const qsizetype start = hasSelectedText() ? selectionStart() : cursorPosition();
        const qsizetype length = hasSelectedText() ? selectionLength() : 0;
        if (const auto accepted = FilterTypedChar(text(), start, length, c, separator)) {
            insert(QString(*accepted));
        }
    }
}

void TFloatNumEdit::PasteText(const QString& pasted) {
    // The whole paste is tried first on a copy: a value with a character the
    // filter refuses is not pasted at all, rather than pasted as another value.
    const QChar separator = RegionalSettings().DecimalSeparator;
    QString result = text();
    qsizetype start = hasSelectedText() ? selectionStart() : cursorPosition();
    qsizetype length = hasSelectedText() ? selectionLength() : 0;
    QString filtered;
    for (const QChar c : pasted.trimmed()) {
        const auto accepted = IsControlText(QString(c))
                                  ? std::nullopt
                                  : FilterTypedChar(result, start, length, c, separator);
        if (!accepted) {
            return;
        }
        result.replace(start, length, *accepted);
        ++start;
        length = 0;
        filtered += *accepted;
    }
    if (!filtered.isEmpty()) {
        insert(filtered);
    }
}

QAction* PasteAction(const QMenu& menu) {
    // The toolkit's text controls name their paste item "edit-paste"; its
    // line edits (Qt 6.4) leave their items unnamed, so the text is the
    // fallback: translated in the same context as the toolkit's own, with
    // the shortcut after a tab.
    const QList<QAction*> actions = menu.actions();
    for (QAction* action : actions) {
        if (action->objectName() == QLatin1String("edit-paste")) {
            return action;
        }
    }
    for (QAction* action : actions) {
        if (action->text().section(u'\t', 0, 0) == QLineEdit::tr("&Paste")) {
            return action;
        }
    }
    return nullptr;
}

void TFloatNumEdit::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    // The toolkit's own paste would insert the clipboard unfiltered.
    if (QAction* paste = PasteAction(*menu)) {
        paste->disconnect(this);
        connect(paste, &QAction::triggered, this,
                [this] { PasteText(QApplication::clipboard()->text()); });
    }
    menu->popup(event->globalPos());
}

void TFloatNumEdit::mouseReleaseEvent(QMouseEvent* event) {
    // The middle button pastes the selection where the system has one.
    if (event->button() == Qt::MiddleButton && QApplication::clipboard()->supportsSelection()) {
        if (!isReadOnly()) {
            deselect();
            setCursorPosition(cursorPositionAt(event->position().toPoint()));
            PasteText(QApplication::clipboard()->text(QClipboard::Selection));
        }
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

void TFloatNumEdit::dropEvent(QDropEvent* event) {
    if (event->source() == this) {
        QLineEdit::dropEvent(event); // text of its own moved within the field
        return;
    }
    if (isReadOnly() || !event->mimeData()->hasText()) {
        event->ignore();
        return;
    }
    setCursorPosition(cursorPositionAt(event->position().toPoint()));
    PasteText(event->mimeData()->text());
    event->acceptProposedAction();
}

} // namespace orbel
