// Polling and the paths where the port is missing: continuous reading, the
// hidden cyclic requests, a closed port, a device lost mid-run, and a request
// that runs inside another one's pass over queued messages.
#include "WindowFixture.h"

#include "ui/TShape.h"
#include "ui/TTimer.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <optional>

using namespace orbel;

using Bytes = std::vector<std::uint8_t>;

namespace {

const Bytes SignatureRequest{0xFF, 0x20, 0x01, 0x99, 0xF0};
const Bytes ReadingsRequest{0xFF, 0x02, 0x01, 0x81, 0x50};
const QString PortNotActive = QStringLiteral("СОМ Порт не активен !!!\r Written by Dravik");
const QString PortLost = QStringLiteral("СОМ Порт не активен !!!\rCOM1: ");

class PollingTest : public WindowFixture {
protected:
    SimThread* sim = nullptr;

    TForm1& Connected(SimThread::Options options = {}) {
        sim = &Instrument(1, options);
        WriteUserIni("COM1\r\n1\r\n");
        TForm1& window = Open();
        EXPECT_TRUE(window.ComPort1->Connected());
        return window;
    }

    std::size_t Requests() const { return sim->Received().size(); }
};

} // namespace

TEST_F(PollingTest, ContinuousReadingPollsAndStopsCleanly) {
    TForm1& w = Connected();
    w.Button3Click();
    EXPECT_EQ(w.Button3->text(), "ОСТАНОВИТЬ ЧТЕНИЕ ПОКАЗАНИЙ");
    EXPECT_FALSE(w.GroupBox2->isEnabled());
    EXPECT_FALSE(w.Button6->isEnabled()); // greyed with its group
    EXPECT_FALSE(w.Button4->isEnabled());
    EXPECT_TRUE(w.Button3->isEnabled());
    EXPECT_TRUE(w.isEnabled());
    EXPECT_EQ(Requests(), 0U); // nothing leaves at the moment of switching on

    ASSERT_TRUE(WaitFor([&] { return Requests() >= 2; }, 5000));
    for (const auto& frame : sim->Received()) {
        EXPECT_EQ(frame.bytes, ReadingsRequest) << Hex(frame.bytes);
    }
    EXPECT_EQ(MemoLines().value(0), "КАНАЛ1 :");

    w.Button3Click();
    EXPECT_EQ(w.Button3->text(), "СЧИТАТЬ ПОКАЗАНИЯ");
    EXPECT_TRUE(w.GroupBox2->isEnabled());
    EXPECT_TRUE(w.Button6->isEnabled());
    EXPECT_TRUE(w.Button4->isEnabled());
    EXPECT_FALSE(w.Clicker->Enabled());
    const std::size_t stoppedAt = Requests();
    Pump(1700); // longer than a polling period
    EXPECT_EQ(Requests(), stoppedAt);
    EXPECT_EQ(w.NoReplyCount(), 0);
}

TEST_F(PollingTest, ARequestOnAClosedPortShowsOneBoxAndNothingElse) {
    TForm1& w = Open();
    for (int n = 1; n <= 2; ++n) {
        boxes.answers = {TMsgAnswer::Cancel};
        w.Button4Click();
        ASSERT_EQ(boxes.shown.size(), static_cast<std::size_t>(n));
        const TShownBox& box = boxes.shown.back();
        EXPECT_EQ(box.text, PortNotActive);
        EXPECT_EQ(box.kind, TMsgKind::Error);
        EXPECT_EQ(box.caption, "Error");
        EXPECT_EQ(box.buttons, TMsgButtons::Cancel);
    }
    Pump(350); // longer than the no-reply timer
    // Nothing was sent, so nothing is shown as sent or counted as unanswered.
    EXPECT_EQ(w.StaticText1->text(), "");
    EXPECT_EQ(Panel1(), "");
    EXPECT_EQ(w.NoReplyCount(), 0);
    EXPECT_TRUE(w.isEnabled());
    // Still usable: a port chosen now answers.
    Instrument(2);
    w.COM21->trigger();
    w.Button4Click();
    EXPECT_EQ(MemoLines().size(), 5);
    EXPECT_EQ(boxes.shown.size(), 2U);
}

namespace {

// How polling loses its port.
enum class TLoss { ClosedPort, HangUp, KilledInstrument, FailedSwitch, SwitchThatWorks };

struct TLossCase {
    const char* name;
    bool cyclic; // cyclic requests, else continuous reading
    TLoss loss;
};

void PrintTo(const TLossCase& c, std::ostream* out) {
    *out << c.name;
}

class PollingLoss : public PollingTest, public ::testing::WithParamInterface<TLossCase> {
protected:
    bool Polling(TForm1& w) const {
        return GetParam().cyclic ? w.CyclicFlag() != 0 : w.ReadingFlag() != 0;
    }
    void Start(TForm1& w) {
        if (GetParam().cyclic) {
            w.Edit1->setText("300");
            w.ComandComboBox->setCurrentIndex(1);
            w.Button2Click();
        } else {
            w.Clicker->SetInterval(300);
            w.Button3Click();
        }
    }
    // The box the loss brings (its start, for a lost device), if any.
    static QString BoxOf(TLoss loss) {
        switch (loss) {
        case TLoss::ClosedPort:
            return PortNotActive;
        case TLoss::FailedSwitch:
            return QStringLiteral("Не могу открыть СОМ 2\rWritten by Dravik");
        case TLoss::HangUp:
        case TLoss::KilledInstrument:
            return PortLost;
        case TLoss::SwitchThatWorks:
            break;
        }
        return {};
    }
};

} // namespace

TEST_P(PollingLoss, StopsWithOneBoxAtMostAndTheWindowServesRightAfter) {
    const TLossCase& c = GetParam();
    std::optional<orbel::test::SimProcess> process;
    if (c.loss == TLoss::KilledInstrument) {
        process.emplace(std::vector<std::string>{"--no-drift"});
        PointPortAt(1, process->DevicePath());
        WriteUserIni("COM1\r\n1\r\n");
    } else if (c.loss != TLoss::ClosedPort) {
        SimThread::Options options;
        options.hangupAfter = c.loss == TLoss::HangUp ? 2 : 0;
        sim = &Instrument(1, options);
        WriteUserIni("COM1\r\n1\r\n");
    }
    TForm1& w = Open();
    const QString box = BoxOf(c.loss);
    if (!box.isEmpty()) {
        boxes.answers = {TMsgAnswer::Cancel};
    }
    Start(w);

    if (c.loss == TLoss::KilledInstrument) {
        ASSERT_TRUE(WaitFor([&] { return !w.Memo1->toPlainText().isEmpty(); }));
        ::kill(process->Pid(), SIGKILL);
        process->WaitForExit();
    } else if (c.loss == TLoss::FailedSwitch || c.loss == TLoss::SwitchThatWorks) {
        ASSERT_TRUE(WaitFor([&] { return Requests() >= 1; }));
        if (c.loss == TLoss::SwitchThatWorks) {
            sim = &Instrument(2);
        }
        w.COM21->trigger();
    }
    if (c.loss == TLoss::SwitchThatWorks) {
        // Polling goes on, on the new port.
        EXPECT_TRUE(WaitFor([&] { return Requests() >= 2; }));
        EXPECT_TRUE(Polling(w));
        EXPECT_TRUE(boxes.shown.empty());
        c.cyclic ? w.Button2Click() : w.Button3Click();
        return;
    }
    ASSERT_TRUE(WaitFor([&] { return !Polling(w); }, 8000));
    Pump(1000); // several polling periods: nothing comes back
    EXPECT_FALSE(w.Clicker->Enabled());
    EXPECT_FALSE(w.CYCLE->Enabled());
    ASSERT_EQ(boxes.shown.size(), box.isEmpty() ? 0U : 1U);
    if (!box.isEmpty()) {
        EXPECT_TRUE(boxes.shown[0].text.startsWith(box)) << boxes.shown[0].text.toStdString();
    }
    // The controls are as the operator's own stop leaves them.
    EXPECT_EQ(w.Button3->text(), "СЧИТАТЬ ПОКАЗАНИЯ");
    EXPECT_TRUE(w.GroupBox2->isEnabled());
    EXPECT_TRUE(w.Button4->isEnabled());
    EXPECT_TRUE(w.Button1->isEnabled());
    EXPECT_EQ(w.Button2->text(), c.cyclic ? "ЗАПРАШИВАТЬ  ЦИКЛИЧЕСКИ" : "ЗАПРАШИВАТЬ ЦИКЛИЧЕСКИ");
    EXPECT_TRUE(w.isEnabled());

    // Usable at once: an instrument chosen now answers.
    Instrument(3);
    w.COM31->trigger();
    w.Button4Click();
    EXPECT_EQ(MemoLines().size(), 5);
}

INSTANTIATE_TEST_SUITE_P(
    Loss, PollingLoss,
    ::testing::Values(TLossCase{"ReadingClosedPort", false, TLoss::ClosedPort},
                      TLossCase{"ReadingHangUp", false, TLoss::HangUp},
                      TLossCase{"ReadingKilledInstrument", false, TLoss::KilledInstrument},
                      TLossCase{"ReadingFailedSwitch", false, TLoss::FailedSwitch},
                      TLossCase{"ReadingSwitchThatWorks", false, TLoss::SwitchThatWorks},
                      TLossCase{"CyclicClosedPort", true, TLoss::ClosedPort},
                      TLossCase{"CyclicHangUp", true, TLoss::HangUp},
                      TLossCase{"CyclicKilledInstrument", true, TLoss::KilledInstrument},
                      TLossCase{"CyclicFailedSwitch", true, TLoss::FailedSwitch}),
    [](const ::testing::TestParamInfo<TLossCase>& info) { return std::string(info.param.name); });

TEST_F(PollingTest, ALostDeviceIsToldOnceWithTheReasonAndCanBeChosenAgain) {
    SimThread::Options options;
    options.hangupAfter = 2;
    TForm1& w = Connected(options);
    w.Clicker->SetInterval(500);
    boxes.answers = {TMsgAnswer::Cancel};
    w.Button3Click();
    ASSERT_TRUE(WaitFor([&] { return !w.ComPort1->Connected(); }, 8000));
    EXPECT_EQ(w.ReadingFlag(), 0); // the reading stopped with the device
    EXPECT_EQ(sim->Sent().size(), 2U);
    EXPECT_FALSE(w.COM11->isChecked());
    EXPECT_TRUE(Panel0().isEmpty());
    ASSERT_EQ(boxes.shown.size(), 1U);
    // The port, its error and the system's reason (a pseudo-terminal whose
    // other end hung up fails with EIO).
    const QString& lost = boxes.shown[0].text;
    EXPECT_TRUE(lost.startsWith(PortLost)) << lost.toStdString();
    EXPECT_TRUE(lost.endsWith(u'\r' + QString::fromUtf8(std::strerror(EIO)))) << lost.toStdString();
    EXPECT_EQ(boxes.shown[0].kind, TMsgKind::Error);
    EXPECT_EQ(boxes.shown[0].buttons, TMsgButtons::Cancel);
    EXPECT_TRUE(WaitFor([&] { return w.NoReplyCount() == 1; }));

    // A request now meets no port: the one box of its own, nothing sent.
    w.StaticText1->clear();
    boxes.answers = {TMsgAnswer::Cancel};
    w.Button4Click();
    ASSERT_EQ(boxes.shown.size(), 2U);
    EXPECT_EQ(boxes.shown[1].text, PortNotActive);
    Pump(350);
    EXPECT_EQ(w.StaticText1->text(), "");
    EXPECT_EQ(w.NoReplyCount(), 1);

    // The instrument comes back on the same name.
    SimThread& again = Instrument(1);
    w.COM11->trigger();
    ASSERT_TRUE(w.ComPort1->Connected());
    EXPECT_TRUE(w.COM11->isChecked());
    EXPECT_EQ(Panel0(), "COM1");
    w.Button4Click();
    EXPECT_TRUE(again.WaitForReceived(1));
    EXPECT_EQ(MemoLines().size(), 5);
    EXPECT_EQ(boxes.shown.size(), 2U);
}

TEST_F(PollingTest, CyclicRequestsSendTheSelectedCommandWhileButton1IsDisabled) {
    TForm1& w = Connected();
    w.Edit1->setText("250");
    w.ComandComboBox->setCurrentIndex(0);
    w.Button2Click();
    EXPECT_EQ(w.Button2->text(), "СТОП");
    EXPECT_FALSE(w.Button1->isEnabled());
    EXPECT_FALSE(w.ComandComboBox->isEnabled());
    EXPECT_EQ(w.CyclicFlag(), 1);
    ASSERT_TRUE(WaitFor([&] { return Requests() >= 2; }));
    for (const auto& frame : sim->Received()) {
        EXPECT_EQ(frame.bytes, SignatureRequest) << Hex(frame.bytes);
    }
    EXPECT_EQ(MemoLines().size(), 5);

    w.Button2Click();
    EXPECT_EQ(w.Button2->text(), "ЗАПРАШИВАТЬ  ЦИКЛИЧЕСКИ"); // two blanks
    EXPECT_TRUE(w.Button1->isEnabled());
    EXPECT_TRUE(w.ComandComboBox->isEnabled());
    EXPECT_EQ(w.CyclicFlag(), 0);
    EXPECT_TRUE(w.Memo1->toPlainText().isEmpty());
    EXPECT_TRUE(w.StaticText1->text().isEmpty());
    EXPECT_TRUE(Panel1().isEmpty());
    const std::size_t stoppedAt = Requests();
    Pump(700);
    EXPECT_EQ(Requests(), stoppedAt);
}

TEST_F(PollingTest, CyclicIntervalFollowsEdit1AndIgnoresBadText) {
    TForm1& w = Connected();
    w.Edit1->setText(" 500 ");
    EXPECT_EQ(w.CYCLE->Interval(), 500U);
    for (const char* text : {"", "abc", "-5", "5x", "1.5"}) {
        w.Edit1->setText(QString::fromLatin1(text));
        EXPECT_EQ(w.CYCLE->Interval(), 500U) << text;
    }
    w.Edit1->setText(" 200\t");
    EXPECT_EQ(w.CYCLE->Interval(), 200U);

    w.Edit1->setText("0");
    EXPECT_EQ(w.CYCLE->Interval(), 0U);
    w.Button2Click();
    Pump(1200); // longer than the default interval: no tick comes
    EXPECT_EQ(Requests(), 0U);
    w.Edit1->setText("150"); // a new interval starts the ticks again
    EXPECT_TRUE(WaitFor([&] { return Requests() >= 1; }));
    w.Button2Click();
}

TEST_F(PollingTest, ARequestQueuedBeforeADispatchRunsInsideItsPass) {
    TForm1& w = Connected();
    bool nestedDone = false;
    QTimer::singleShot(0, &w, [&] {
        w.Button4Click();
        nestedDone = true;
    });
    w.Button5Click();
    EXPECT_TRUE(nestedDone);
    // The nested signature request ran first, and the outer dispatch went on
    // with the request the nested one left behind.
    const auto received = sim->Received();
    ASSERT_EQ(received.size(), 2U);
    EXPECT_EQ(received[0].bytes, SignatureRequest);
    EXPECT_EQ(received[1].bytes, SignatureRequest);
    EXPECT_EQ(MemoLines().size(), 5);
    EXPECT_FALSE(w.Time_is_out->Enabled());
    // Both ended normally: the worker serves the next request, no report came.
    w.Button5Click();
    EXPECT_TRUE(sim->WaitForReceived(3));
    EXPECT_EQ(sim->Received().back().bytes,
              (Bytes{0xFF, 0xA5, 0x04, 0xB6, 0x00, 0x08, 0xB9, 0x1D}));
    Pump(350);
    EXPECT_EQ(w.NoReplyCount(), 0);
    EXPECT_TRUE(boxes.shown.empty());
}
