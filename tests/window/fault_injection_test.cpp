// Faults on the line, end to end: for each, the no-reply count equals the
// failures injected, and what an accepted reply shows is not disturbed.
#include "WindowFixture.h"

#include "ui/TShape.h"

#include <QLineEdit>

using namespace orbel;

namespace {

struct TFault {
    const char* name;
    std::function<void(orbel::sim::Options&)> inject;
    int requests;
    int failures; // of those requests
};

// Names the fault in test listings instead of dumping its bytes.
void PrintTo(const TFault& fault, std::ostream* out) {
    *out << fault.name;
}

class FaultInjection : public WindowFixture, public ::testing::WithParamInterface<TFault> {};

const QStringList SignatureLines{"Адрес прибора 1", "Тип прибора 1", "Cерийный № 42",
                                 "Версия HARD 1", "Версия SOFT 3"};

} // namespace

TEST_P(FaultInjection, NoReplyCountEqualsTheInjectedFailures) {
    const TFault& fault = GetParam();
    SimThread& sim = Instrument(1);
    WriteUserIni("COM1\r\n1\r\n");
    TForm1& w = Open();
    ASSERT_TRUE(w.ComPort1->Connected());
    w.Edit3->setText("unchanged");

    sim.Update(fault.inject);
    for (int i = 0; i < fault.requests; ++i) {
        w.Button4Click();
        Pump(300); // requests at least 270 ms apart: each failure is reported on its own
    }
    EXPECT_EQ(w.NoReplyCount(), fault.failures);
    if (fault.failures == fault.requests) {
        EXPECT_EQ(w.Edit3->text(), "unchanged");
        EXPECT_TRUE(MemoLines().isEmpty());
        EXPECT_EQ(Panel1(), QStringLiteral("Не отвечает (%1)").arg(fault.failures));
    }

    // The line is clean again: the next request is accepted and shows its reply.
    sim.Update([](auto& o) {
        o = SimThread::Options{};
        o.drift = false;
    });
    w.Button4Click();
    EXPECT_EQ(MemoLines(), SignatureLines);
    Pump(300);
    EXPECT_EQ(w.NoReplyCount(), fault.failures);
    EXPECT_TRUE(w.ComPort1->Connected());
    EXPECT_TRUE(boxes.shown.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Line, FaultInjection,
    ::testing::Values(TFault{"OneStrayByte", [](auto& o) { o.stray = 1; }, 2, 0},
                      TFault{"ThreeStrayBytes", [](auto& o) { o.stray = 3; }, 2, 0},
                      TFault{"FourStrayBytes", [](auto& o) { o.stray = 4; }, 2, 2},
                      TFault{"EverySecondCrcCorrupted", [](auto& o) { o.corruptEvery = 2; }, 4, 2},
                      TFault{"Silence", [](auto& o) { o.silent = true; }, 3, 3},
                      TFault{"LastByteTooLate", [](auto& o) { o.lateLastMs = 150; }, 2, 2},
                      TFault{"AltReply", [](auto& o) { o.altReply = true; }, 2, 0},
                      // A USB adapter's 16 ms latency timer splits replies, fails none.
                      TFault{"LatencyTimer16ms",
                             [](auto& o) {
                                 o.pace = true;
                                 o.latencyTimerMs = 16;
                             },
                             4, 0}),
    [](const ::testing::TestParamInfo<TFault>& info) { return std::string(info.param.name); });

TEST_F(WindowFixture, HangUpDuringContinuousReadingIsToldAndAReopenWorks) {
    Instrument(1, [] {
        SimThread::Options o;
        o.hangupAfter = 2;
        return o;
    }());
    WriteUserIni("COM1\r\n1\r\n");
    TForm1& w = Open();
    boxes.answers = {TMsgAnswer::Cancel};
    w.Button3Click();
    ASSERT_TRUE(WaitFor([&] { return !w.ComPort1->Connected(); }, 8000));
    EXPECT_EQ(w.ReadingFlag(), 0); // the reading stopped with the device
    EXPECT_EQ(Panel0(), "");
    EXPECT_FALSE(w.COM11->isChecked());
    ASSERT_EQ(boxes.shown.size(), 1U); // the loss is told once, naming the port
    EXPECT_TRUE(boxes.shown[0].text.startsWith("СОМ Порт не активен !!!\rCOM1: "));
    Pump(300);
    EXPECT_EQ(w.NoReplyCount(), 1); // only the request that met the hang-up failed

    Instrument(1); // a new instrument on the same name
    w.COM11->trigger();
    ASSERT_TRUE(w.ComPort1->Connected());
    w.Button4Click();
    EXPECT_EQ(MemoLines(), SignatureLines);
}
