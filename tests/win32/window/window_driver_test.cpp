// The window over real drivers' unplugs, replayed by the scripted stand-in of
// the communications calls (../ScriptedWin32Calls.cpp names each behaviour's
// source): polling stops, the port is closed without a box, the next request
// gets the one "not active" box, and the replugged adapter opens again from
// the menu without a restart.
#include "../StandInInstrument.h"
#include "WindowHarness.h"
#include "ui/TTimer.h"

#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <functional>

namespace {

const QString PortNotActive = QStringLiteral("СОМ Порт не активен !!!\r Written by Dravik");

class WindowOnDriver : public WindowHarness {
protected:
    void SetUp() override {
        TScriptedWin32Calls& driver = StandInDriver();
        driver.Replug();
        driver.answer = StandInReply;
        EnterWindowTest();
    }
    void TearDown() override {
        LeaveWindowTest();
        StandInDriver().answer = nullptr;
    }
    static bool WaitFor(const std::function<bool()>& condition, int ms = 5000) {
        QElapsedTimer clock;
        clock.start();
        QTimer tick;
        tick.start(10);
        while (!condition()) {
            if (clock.elapsed() >= ms) {
                return condition();
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        }
        return true;
    }
};

} // namespace

TEST_F(WindowOnDriver, AnUnplugWhilePollingStopsItAndTheReplugOpensFromTheMenu) {
    for (const TDriverProfile& profile : DriverProfiles()) {
        SCOPED_TRACE(profile.name);
        StandInDriver().Replug();
        StandInDriver().UseProfile(profile);
        WriteUserIni("COM1\r\n1\r\n");
        TForm1& w = Open();
        ASSERT_TRUE(w.ComPort1->Connected());
        w.Clicker->SetInterval(300);
        w.Button3Click();
        ASSERT_TRUE(WaitFor([&] { return !w.Memo1->toPlainText().isEmpty(); }));
        StandInDriver().Unplug();
        ASSERT_TRUE(WaitFor([&] { return !w.ComPort1->Connected(); }));
        EXPECT_EQ(w.ReadingFlag(), 0);
        EXPECT_FALSE(w.COM11->isChecked());
        EXPECT_TRUE(boxes.shown.empty());
        EXPECT_EQ(StandInDriver().OpenHandles(), 0);

        boxes.answers = {TMsgAnswer::Cancel};
        w.Button4Click();
        ASSERT_EQ(boxes.shown.size(), 1U);
        EXPECT_EQ(boxes.shown[0].text, PortNotActive);

        StandInDriver().Replug();
        w.COM11->trigger();
        EXPECT_TRUE(w.ComPort1->Connected());
        EXPECT_EQ(boxes.shown.size(), 1U);
        form.reset();
        boxes.shown.clear();
    }
}
