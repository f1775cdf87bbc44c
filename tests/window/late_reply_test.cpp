// An instrument slower than the read budget: its reply comes after the read
// has ended. That reply must never pass for the answer to the next request;
// each request then ends without a reply, which is the truth.
#include "WindowFixture.h"

#include "ui/FloatNumEdit.h"

#include <cstdlib>

using namespace orbel;

namespace {

struct TLateCase {
    const char* name;
    int command;            // 1 readings, 2 coefficients, 3 calibration of C1 channel 1
    std::uint32_t budgetMs; // the read budget of that command's reply
    bool software;
};

void PrintTo(const TLateCase& c, std::ostream* out) {
    *out << c.name;
}

class LateReply : public WindowFixture, public ::testing::WithParamInterface<TLateCase> {
protected:
    void Send(TForm1& w, int command) {
        if (command == 3) {
            boxes.answers = {TMsgAnswer::Yes};
            w.Button6Click();
        } else if (command == 2) {
            w.Button5Click();
        } else {
            w.ClickerTimer();
        }
    }
};

} // namespace

TEST_P(LateReply, IsNeverTakenForTheAnswerToALaterRequest) {
    const TLateCase& c = GetParam();
    const auto tracePath = dir / "trace.log";
    ::setenv("ORBEL_TRACE", tracePath.c_str(), 1);
    TForm1& w = Open(false);
    ::unsetenv("ORBEL_TRACE");
    SimThread& sim = Instrument(1);
    WriteUserIni(c.software ? "COM1\r\n1\r\n" : "COM1\r\n0\r\n");
    w.TimerToREAD_OnTime();
    ASSERT_TRUE(w.ComPort1->Connected());
    w.FloatNumEdit1->setText("12,5");

    // Just after the read has ended: the reply lands in the input queue.
    sim.Update([&](auto& o) { o.delayMs = c.budgetMs + 40; });
    for (std::size_t i = 1; i <= 2; ++i) {
        Send(w, c.command);
        ASSERT_TRUE(sim.WaitForSent(i));
        Pump(300); // the reply is waiting, and the no-reply report has come
    }
    EXPECT_EQ(w.NoReplyCount(), 2);

    // A prompt instrument again: the coefficients come back, the late
    // acknowledgement of a calibration does not stand in their way.
    sim.Update([](auto& o) { o.delayMs = 0; });
    w.Button5Click();
    Pump(300);
    EXPECT_EQ(w.NoReplyCount(), 2);
    EXPECT_EQ(w.FloatNumEdit1->text(), c.command == 3 ? "12,5" : "5");

    std::ifstream trace(tracePath);
    const std::string text{std::istreambuf_iterator<char>(trace), {}};
    EXPECT_NE(text.find("late bytes discarded"), std::string::npos) << text;
}

INSTANTIATE_TEST_SUITE_P(Commands, LateReply,
                         ::testing::Values(TLateCase{"ReadingsSoftware", 1, 126, true},
                                           TLateCase{"ReadingsSystemBus", 1, 126, false},
                                           TLateCase{"CoefficientsSoftware", 2, 112, true},
                                           TLateCase{"CoefficientsSystemBus", 2, 112, false},
                                           TLateCase{"CalibrationSoftware", 3, 63, true},
                                           TLateCase{"CalibrationSystemBus", 3, 63, false}),
                         [](const ::testing::TestParamInfo<TLateCase>& info) {
                             return std::string(info.param.name);
                         });
