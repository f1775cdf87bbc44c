// Where a fixed-size window goes on a screen: whole on the screen's available
// area (the part the task bar leaves), centred; where it cannot fit, its left
// or top edge on the area's, so that the title bar, the menu and the start of
// the status bar stay in reach. Sizes and positions in the toolkit's
// device-independent pixels.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace orbel {

// The top-left corner of a window frame of `frame` size (title bar and
// borders included) on the available area `available`.
QPoint PlacedTopLeft(const QRect& available, const QSize& frame);

} // namespace orbel
