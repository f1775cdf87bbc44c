// The one seam through which every modal message box is shown, so that tests
// can answer them instead of a person.
#pragma once

#include <QString>

namespace orbel {

enum class TMsgKind { Error, Confirmation, Warning };
enum class TMsgButtons { Cancel, Ok, YesNo };
enum class TMsgAnswer { None, Cancel, Ok, Yes, No };

class IMessageBoxes {
public:
    virtual ~IMessageBoxes() = default;
    // Shows a modal box and returns the answer (None when it was closed
    // without one). Texts keep their carriage returns. The real question
    // boxes (Yes and No) drop type-ahead (TypeAheadGuard.h).
    virtual TMsgAnswer Show(TMsgKind kind, const QString& caption, const QString& text,
                            TMsgButtons buttons) = 0;
};

// The boxes in force: the real ones unless a test installed others.
IMessageBoxes& MessageBoxes();
// Installs `boxes` (not owned); nullptr restores the real ones.
void SetMessageBoxes(IMessageBoxes* boxes);

} // namespace orbel
