// The windows' font: "MS Sans Serif" at 8 points, the face the captions and
// control sizes were made for. Where it is missing, a condensed sans serif
// keeps every caption inside its control.
#pragma once

#include <QFont>

namespace orbel {

QFont FormFont(int points = 8);

} // namespace orbel
