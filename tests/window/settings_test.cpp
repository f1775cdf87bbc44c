// The port and mode menu and "user.ini", against simulated instruments.
#include "WindowFixture.h"

#include <QAction>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

class SettingsTest : public WindowFixture {
protected:
    std::vector<bool> PortMarks() const {
        return {form->COM11->isChecked(), form->COM21->isChecked(), form->COM31->isChecked(),
                form->COM41->isChecked()};
    }
    static std::vector<bool> Marked(int n) {
        std::vector<bool> marks(4, false);
        if (n > 0) {
            marks[n - 1] = true;
        }
        return marks;
    }
    void ExpectBox(std::size_t index, TMsgKind kind, const QString& text, TMsgButtons buttons) {
        ASSERT_LT(index, boxes.shown.size());
        EXPECT_EQ(boxes.shown[index].kind, kind);
        EXPECT_EQ(boxes.shown[index].text, text);
        EXPECT_EQ(boxes.shown[index].buttons, buttons);
    }
};

} // namespace

TEST_F(SettingsTest, SavedPortAndModeAreAppliedAtStartUp) {
    SimThread& sim3 = Instrument(3);
    WriteUserIni("COM3\r\n1\r\n");
    TForm1& w = Open();
    EXPECT_EQ(PortMarks(), Marked(3));
    ASSERT_TRUE(w.ComPort1->Connected());
    EXPECT_EQ(w.ComPort1->Port(), "COM3");
    EXPECT_EQ(Panel0(), "COM3");
    EXPECT_TRUE(w.SoftWare1->isChecked());
    EXPECT_FALSE(w.SystemBus1->isChecked());
    EXPECT_EQ(w.TimeoutModeFlag(), tmSoftware);
    w.Button4Click(); // the open port is the instrument behind COM3
    EXPECT_TRUE(sim3.WaitForReceived(1));
    EXPECT_EQ(MemoLines().size(), 5);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(SettingsTest, OnlyAnExactFirstLineOpensAPortAndLineTwoStillCounts) {
    Instrument(3);
    for (const char* content : {"com3\r\n0\r\n", "COM3 \r\n0\r\n", "COM5\r\n0\r\n"}) {
        SCOPED_TRACE(content);
        WriteUserIni(content);
        TForm1& w = Open();
        EXPECT_FALSE(w.ComPort1->Connected());
        EXPECT_EQ(PortMarks(), Marked(0));
        EXPECT_TRUE(Panel0().isEmpty());
        EXPECT_TRUE(w.SystemBus1->isChecked());
        EXPECT_FALSE(w.SoftWare1->isChecked());
        form.reset();
    }
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(SettingsTest, AMissingSecondLineSelectsTheSystemBus) {
    SimThread& sim2 = Instrument(2);
    WriteUserIni("COM2");
    TForm1& w = Open();
    ASSERT_TRUE(w.ComPort1->Connected());
    EXPECT_EQ(w.ComPort1->Port(), "COM2");
    EXPECT_EQ(PortMarks(), Marked(2));
    EXPECT_TRUE(w.SystemBus1->isChecked());
    EXPECT_FALSE(w.SoftWare1->isChecked());
    EXPECT_EQ(w.TimeoutModeFlag(), tmSystemBus);
    w.Button4Click(); // system-bus mode still talks to the instrument
    EXPECT_TRUE(sim2.WaitForReceived(1));
    EXPECT_EQ(MemoLines().size(), 5);
}

TEST_F(SettingsTest, APortThatCannotBeOpenedAtStartUpShowsItsBoxThenTheWindowEnables) {
    WriteUserIni("COM3\r\n0\r\n"); // nothing answers as COM3
    bool disabledInBox = false;
    boxes.whileOpen = [&] { disabledInBox = form && !form->isEnabled(); };
    boxes.answers = {TMsgAnswer::Cancel};
    TForm1& w = Open(false);
    ASSERT_TRUE(WaitFor([&] { return w.isEnabled(); }));
    ASSERT_EQ(boxes.shown.size(), 1U);
    ExpectBox(0, TMsgKind::Error, "Не могу открыть СОМ 3\rWritten by Dravik", TMsgButtons::Cancel);
    EXPECT_TRUE(disabledInBox);
    EXPECT_FALSE(w.ComPort1->Connected());
    EXPECT_EQ(PortMarks(), Marked(0));
    EXPECT_TRUE(Panel0().isEmpty());
    EXPECT_TRUE(w.SystemBus1->isChecked()); // line 2 applied after the failed switch
}

TEST_F(SettingsTest, AFailedSwitchClosesTheOldPortAndASaveWritesTheNewName) {
    SimThread& sim1 = Instrument(1);
    WriteUserIni("COM1\r\n1\r\n");
    TForm1& w = Open();
    ASSERT_TRUE(w.ComPort1->Connected());
    boxes.answers = {TMsgAnswer::Cancel};
    w.COM31->trigger();
    ASSERT_EQ(boxes.shown.size(), 1U);
    ExpectBox(0, TMsgKind::Error, "Не могу открыть СОМ 3\rWritten by Dravik", TMsgButtons::Cancel);
    EXPECT_EQ(boxes.shown[0].caption, "Error");
    EXPECT_FALSE(w.ComPort1->Connected());
    EXPECT_EQ(PortMarks(), Marked(0));
    EXPECT_TRUE(Panel0().isEmpty());
    // The old device is free again: another program can take it now.
    const int fd = ::open(sim1.DevicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    ::close(fd);

    boxes.answers = {TMsgAnswer::Ok};
    w.C1->trigger();
    EXPECT_EQ(ReadUserIni(), "COM3\r\n1\r\n");
    ExpectBox(1, TMsgKind::Confirmation, "ТЕКУЩИЕ НАСТРОЙКИ СОХРАНЕНЫ", TMsgButtons::Ok);

    // Switching back to the instrument works from the menu.
    w.COM11->trigger();
    EXPECT_TRUE(w.ComPort1->Connected());
    EXPECT_EQ(PortMarks(), Marked(1));
    EXPECT_EQ(Panel0(), "COM1");
}

TEST_F(SettingsTest, SavingWritesExactlyTwoCrLfLines) {
    TForm1& w = Open();
    boxes.answers = {TMsgAnswer::Ok};
    w.C1->trigger(); // no port ever chosen
    EXPECT_EQ(ReadUserIni(), "COM1\r\n1\r\n");
    ASSERT_EQ(boxes.shown.size(), 1U);
    ExpectBox(0, TMsgKind::Confirmation, "ТЕКУЩИЕ НАСТРОЙКИ СОХРАНЕНЫ", TMsgButtons::Ok);

    Instrument(4);
    WriteUserIni("COM2\r\n1\r\nan old third line\r\n");
    w.COM41->trigger();
    w.SystemBus1->trigger();
    ASSERT_TRUE(w.ComPort1->Connected());
    boxes.answers = {TMsgAnswer::Ok};
    w.C1->trigger();
    EXPECT_EQ(ReadUserIni(), "COM4\r\n0\r\n"); // replaced as a whole
    EXPECT_EQ(boxes.shown.size(), 2U);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir),
                            std::filesystem::directory_iterator{}),
              1); // no temporary file left
}

TEST_F(SettingsTest, AFailedSaveLeavesWhatWasThereAndSaysSo) {
    TForm1& w = Open();
    const auto blocker = dir / "user.ini";
    std::filesystem::create_directory(blocker);
    std::ofstream(blocker / "keep") << "kept";
    boxes.answers = {TMsgAnswer::Cancel};
    testing::internal::CaptureStderr();
    w.C1->trigger();
    const std::string err = testing::internal::GetCapturedStderr();
    ASSERT_EQ(boxes.shown.size(), 1U);
    ExpectBox(0, TMsgKind::Error, "Ошибка записи в файл", TMsgButtons::Cancel);
    // Standard error names the file and the system's reason.
    EXPECT_NE(err.find(blocker.string() + ": " + std::strerror(EISDIR)), std::string::npos) << err;
    EXPECT_TRUE(std::filesystem::is_directory(blocker));
    std::ifstream kept(blocker / "keep");
    std::string content;
    kept >> content;
    EXPECT_EQ(content, "kept");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir),
                            std::filesystem::directory_iterator{}),
              1); // no temporary file left
    EXPECT_TRUE(w.isEnabled());
}

namespace {

struct TChoice {
    const char* name;
    const char* saved;       // user.ini at start-up
    QAction* TForm1::*item;  // the item chosen
    std::vector<bool> marks; // port, then mode items after the choice
    const char* savedAfter;  // what a save writes then
};

void PrintTo(const TChoice& c, std::ostream* out) {
    *out << c.name;
}

class RadioChoice : public SettingsTest, public ::testing::WithParamInterface<TChoice> {};

} // namespace

// A radio item chosen again keeps its mark and runs its action as before; a
// saved file keeps its meaning.
TEST_P(RadioChoice, KeepsTheMarkOfTheChosenItem) {
    const TChoice& c = GetParam();
    SimThread& sim2 = Instrument(2);
    WriteUserIni(c.saved);
    TForm1& w = Open();
    // A switch would close the port and handle queued events while it is
    // closed; this event shows whether that happened.
    bool openWhenItRan = false;
    QTimer::singleShot(0, &w, [&] { openWhenItRan = w.ComPort1->Connected(); });
    (w.*c.item)->trigger();
    Pump(0);
    EXPECT_TRUE(openWhenItRan);
    std::vector<bool> marks = PortMarks();
    marks.push_back(w.SoftWare1->isChecked());
    marks.push_back(w.SystemBus1->isChecked());
    EXPECT_EQ(marks, c.marks);
    EXPECT_EQ(w.TimeoutModeFlag(), c.marks[4] ? tmSoftware : tmSystemBus);
    EXPECT_EQ(Panel0(), "COM2");
    w.Button4Click(); // still the same open port
    EXPECT_TRUE(sim2.WaitForReceived(1));
    EXPECT_EQ(MemoLines().size(), 5);
    boxes.answers = {TMsgAnswer::Ok};
    w.C1->trigger();
    EXPECT_EQ(ReadUserIni(), c.savedAfter);
}

INSTANTIATE_TEST_SUITE_P(Menu, RadioChoice,
                         ::testing::Values(TChoice{"MarkedPort",
                                                   "COM2\r\n1\r\n",
                                                   &TForm1::COM21,
                                                   {false, true, false, false, true, false},
                                                   "COM2\r\n1\r\n"},
                                           TChoice{"MarkedSoftware",
                                                   "COM2\r\n1\r\n",
                                                   &TForm1::SoftWare1,
                                                   {false, true, false, false, true, false},
                                                   "COM2\r\n1\r\n"},
                                           TChoice{"MarkedSystemBus",
                                                   "COM2\r\n0\r\n",
                                                   &TForm1::SystemBus1,
                                                   {false, true, false, false, false, true},
                                                   "COM2\r\n0\r\n"},
                                           TChoice{"OtherMode",
                                                   "COM2\r\n1\r\n",
                                                   &TForm1::SystemBus1,
                                                   {false, true, false, false, false, true},
                                                   "COM2\r\n0\r\n"}),
                         [](const ::testing::TestParamInfo<TChoice>& info) {
                             return std::string(info.param.name);
                         });
