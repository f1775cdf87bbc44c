#include "ui/MessageBoxes.h"

#include "ui/TypeAheadGuard.h"

#include <QMessageBox>
#include <QPushButton>

#include <optional>

namespace orbel {

namespace {

class TQtMessageBoxes : public IMessageBoxes {
public:
    TMsgAnswer Show(TMsgKind kind, const QString& caption, const QString& text,
                    TMsgButtons buttons) override {
        // No parent: a disabled window would disable its boxes too, and boxes
        // shown while the main window is still loading must stay clickable.
        QMessageBox box;
        box.setWindowTitle(caption);
        QString shown = text;
        shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
        box.setText(shown);
        box.setWindowModality(Qt::ApplicationModal);
        switch (kind) {
        case TMsgKind::Error:
            box.setIcon(QMessageBox::Critical);
            break;
        case TMsgKind::Confirmation:
            box.setIcon(QMessageBox::Question);
            break;
        case TMsgKind::Warning:
            box.setIcon(QMessageBox::Warning);
            break;
        }
        switch (buttons) {
        case TMsgButtons::Cancel:
            box.setStandardButtons(QMessageBox::Cancel);
            break;
        case TMsgButtons::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case TMsgButtons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::Yes);
            box.setEscapeButton(QMessageBox::No);
            break;
        }
        // A question is not answered by keys meant for the window.
        std::optional<TTypeAheadGuard> guard;
        if (buttons == TMsgButtons::YesNo) {
            guard.emplace(box);
        }
        switch (box.exec()) {
        case QMessageBox::Cancel:
            return TMsgAnswer::Cancel;
        case QMessageBox::Ok:
            return TMsgAnswer::Ok;
        case QMessageBox::Yes:
            return TMsgAnswer::Yes;
        case QMessageBox::No:
            return TMsgAnswer::No;
        default:
            return TMsgAnswer::None;
        }
    }
};

TQtMessageBoxes realBoxes;
IMessageBoxes* current = nullptr;

} // namespace

IMessageBoxes& MessageBoxes() {
    return current != nullptr ? *current : realBoxes;
}

void SetMessageBoxes(IMessageBoxes* boxes) {
    current = boxes;
}

} // namespace orbel
