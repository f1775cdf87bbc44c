// Keyboard use of push buttons as desktop users expect it: Enter and the
// keypad's Enter press a focused button, as Space does (the toolkit does so by
// itself only for a dialog's buttons).
#pragma once

class QAbstractButton;

namespace orbel {

// Makes Enter and keypad Enter click `button` while it has the focus.
void PressOnEnter(QAbstractButton* button);

} // namespace orbel
