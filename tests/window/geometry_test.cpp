// The main window's geometry: where it opens on a screen smaller than itself
// and the room its buttons leave around their captions.
#include "WindowFixture.h"

#include "ui/WindowPlacement.h"

#include <QFontMetrics>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

using namespace orbel;

namespace {

class GeometryTest : public WindowFixture {};

} // namespace

// The offscreen screen (800x600) is narrower than the window.
TEST_F(GeometryTest, TheWindowOpensWithItsLeftAndTopEdgesOnTheScreen) {
    TForm1& w = Open();
    const QRect available = w.screen()->availableGeometry();
    const QRect frame = w.frameGeometry();
    EXPECT_EQ(frame.topLeft(), PlacedTopLeft(available, frame.size()));
    EXPECT_GE(frame.left(), available.left());
    EXPECT_GE(frame.top(), available.top());
    EXPECT_EQ(w.width(), 874); // the size stays
}

TEST_F(GeometryTest, EveryCaptionFitsItsButtonWithAMargin) {
    TForm1& w = Open();
    // The room the style itself asks for: its margin and the frame on both sides.
    const auto fits = [](const QPushButton* button) {
        const QStyle* style = button->style();
        const int room = style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button) +
                         2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button);
        EXPECT_LE(QFontMetrics(button->font()).horizontalAdvance(button->text()) + room,
                  button->width())
            << button->objectName().toStdString() << " \"" << button->text().toStdString() << "\"";
    };
    for (const QPushButton* button : w.findChildren<QPushButton*>()) {
        fits(button);
    }
    // The captions the running states give.
    w.Button3Click();
    w.Button2Click();
    fits(w.Button3);
    fits(w.Button2);
    w.Button2Click();
    fits(w.Button2);
    w.Button3Click();
}
