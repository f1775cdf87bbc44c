// Not part of the test suite: draws the main window, offscreen, after a
// signature, a coefficient and a readings exchange with a simulated
// instrument, into the PNG file named by ORBEL_SCREENSHOT (scripts/screenshot).
#include "WindowFixture.h"

#include <QImage>
#include <QPixmap>

#include <cstdlib>

namespace {

class Screenshot : public WindowFixture {};

} // namespace

TEST_F(Screenshot, MainWindowAfterASignatureAndAReading) {
    const char* path = std::getenv("ORBEL_SCREENSHOT");
    ASSERT_NE(path, nullptr) << "ORBEL_SCREENSHOT names the PNG file to write";
    Instrument(1);
    WriteUserIni("COM1\r\n1\r\n");
    TForm1& w = Open();
    ASSERT_TRUE(w.ComPort1->Connected());
    w.Button4Click();
    ASSERT_EQ(MemoLines().size(), 5);
    w.Button5Click();
    w.ClickerTimer();
    ASSERT_FALSE(MemoLines().isEmpty());
    ASSERT_EQ(w.NoReplyCount(), 0);
    const QImage image = w.grab().toImage();
    ASSERT_FALSE(image.isNull());
    ASSERT_TRUE(image.save(QString::fromLocal8Bit(path), "PNG"));
}
