// The window over real drivers' unplugs, replayed by the scripted stand-in of
// the communications calls (../ScriptedWin32Calls.cpp names each behaviour's
// source): polling stops, the port is closed and the loss told in one box,
// the next request gets the one "not active" box and sends nothing, and the
// replugged adapter opens again from the menu without a restart.
#include "StandInInstrument.h"
#include "common/WindowHarness.h"
#include "ui/TTimer.h"

#include <QAction>
#include <QCoreApplication>
#include <QEventLoop>

using namespace orbel;

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
};

} // namespace

TEST_F(WindowOnDriver, AnUnplugWhilePollingStopsItAndTheReplugOpensFromTheMenu) {
    WriteUserIni("COM1\r\n1\r\n");
    TForm1& w = Open();
    w.Clicker->SetInterval(300);
    std::size_t boxesBefore = 0;
    for (const TDriverProfile& profile : DriverProfiles()) {
        SCOPED_TRACE(profile.name);
        StandInDriver().UseProfile(profile);
        ASSERT_TRUE(w.ComPort1->Connected()); // from user.ini, then from the menu
        w.Memo1->clear();
        w.Button3Click();
        ASSERT_TRUE(RunEventsUntil([&] { return !w.Memo1->toPlainText().isEmpty(); }, 5000));
        boxes.answers = {TMsgAnswer::Cancel};
        StandInDriver().Unplug();
        ASSERT_TRUE(RunEventsUntil([&] { return !w.ComPort1->Connected(); }, 5000));
        EXPECT_EQ(w.ReadingFlag(), 0);
        EXPECT_FALSE(w.COM11->isChecked());
        EXPECT_EQ(StandInDriver().OpenHandles(), 0);
        // Told once: the words, the port with its error, the system's reason.
        ASSERT_EQ(boxes.shown.size(), boxesBefore + 1);
        const QStringList lost = boxes.shown.back().text.split(u'\r');
        ASSERT_EQ(lost.size(), 3) << boxes.shown.back().text.toStdString();
        EXPECT_EQ(lost[0], "СОМ Порт не активен !!!");
        EXPECT_TRUE(lost[1].startsWith("COM1: ")) << lost[1].toStdString();
        EXPECT_FALSE(lost[2].isEmpty());

        w.StaticText1->clear();
        boxes.answers = {TMsgAnswer::Cancel};
        w.Button4Click();
        ASSERT_EQ(boxes.shown.size(), boxesBefore + 2);
        EXPECT_EQ(boxes.shown.back().text, PortNotActive);
        EXPECT_TRUE(w.StaticText1->text().isEmpty()); // nothing was sent
        boxesBefore = boxes.shown.size();

        StandInDriver().Replug();
        w.COM11->trigger();
        EXPECT_EQ(boxes.shown.size(), boxesBefore);
        EXPECT_TRUE(w.ComPort1->Connected()); // the replugged device opens again
    }
}
