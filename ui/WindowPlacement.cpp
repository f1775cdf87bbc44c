#include "ui/WindowPlacement.h"

namespace orbel {

namespace {

// One axis: centred when it fits, else from the area's start.
int Place(int start, int room, int length) {
    return length <= room ? start + (room - length) / 2 : start;
}

} // namespace

QPoint PlacedTopLeft(const QRect& available, const QSize& frame) {
    return {Place(available.left(), available.width(), frame.width()),
            Place(available.top(), available.height(), frame.height())};
}

} // namespace orbel
