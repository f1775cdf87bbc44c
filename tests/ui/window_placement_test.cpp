// Where the main window goes on screens of every size, in device-independent
// pixels (a 1024x600 screen at 125 % is 819x480 of them), with the frame of
// the window at those scales (title bar and borders included).
#include "ui/WindowPlacement.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

using namespace orbel;

TEST(WindowPlacement, TheFrameLiesOnTheAvailableAreaLeftAndTopFirst) {
    const QSize frame(890, 472);
    const struct {
        const char* screen;
        QRect available;
        QPoint topLeft;
    } rows[] = {
        {"1024x600 at 125 %, task bar below", {0, 0, 819, 448}, {0, 0}},
        {"1260x880 at 150 %, task bar below", {0, 0, 840, 560}, {0, 44}},
        {"1920x1080, task bar below", {0, 0, 1920, 1040}, {515, 284}},
        {"task bar on the left", {60, 0, 964, 768}, {97, 148}},
        {"second screen left of the first", {-1280, 0, 1280, 984}, {-1085, 256}},
        {"small second screen above and left", {-800, -600, 800, 560}, {-800, -556}},
        {"exactly the frame", {10, 20, 890, 472}, {10, 20}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(PlacedTopLeft(row.available, frame), row.topLeft) << row.screen;
    }
}
