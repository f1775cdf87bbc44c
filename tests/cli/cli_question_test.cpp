// orbel-cli's tank question on a pseudo-terminal: the answers it takes, the
// values it refuses before asking, and the keys typed ahead of it.
#include "cli/CliProcess.h"
#include "common/SimThread.h"

#include <gtest/gtest.h>

#include <thread>

using orbel::test::CliCall;
using orbel::test::CliProcess;
using orbel::test::CliResult;
using orbel::test::SimThread;

namespace {

// Long enough for the question to be read: well past the time within which a
// key press counts as typed ahead of it, even on a loaded machine.
constexpr auto ReadingTime = std::chrono::seconds(1);

// "calibrate ARGS" on the simulator's line in the C.UTF-8 locale, standard
// input a terminal or a pipe.
CliCall Calibrate(const SimThread& sim, const std::vector<std::string>& args, bool terminal) {
    CliCall call{.args = {"--port", sim.DevicePath(), "calibrate"}, .terminalInput = terminal};
    call.args.insert(call.args.end(), args.begin(), args.end());
    call.args.push_back("--no-readback"); // the act alone on the line
    call.env.push_back("LC_ALL=C.UTF-8");
    return call;
}

// Types each answer once the question has been put again and read (a
// technician's reading time, not a wait for a condition).
CliResult Answering(CliProcess& cli, const std::vector<std::string>& answers) {
    for (std::size_t i = 0; i < answers.size() && cli.WaitForError("[yes/no]", i + 1); ++i) {
        std::this_thread::sleep_for(ReadingTime);
        cli.Type(answers[i]);
    }
    return cli.Finish();
}

} // namespace

TEST(CliQuestion, RefusedOrUnconfirmedCalibrationSendsNothing) {
    const struct {
        std::vector<std::string> args;
        bool terminal;
        std::vector<std::string> answers; // on the terminal: one each time it asks
        int exitCode;
        const char* err;
    } cases[] = {
        {{"1", "C1", "6553,55", "--yes"}, false, {}, 2, "Недопустимое значение калибровки"},
        {{"1", "C1", "-0,06", "--yes"}, false, {}, 2, "Недопустимое значение калибровки"},
        {{"1", "C1", "abc", "--yes"}, false, {}, 2, "Недопустимое значение калибровки"},
        {{"1", "C1", "1e2", "--yes"}, false, {}, 2, "Недопустимое значение калибровки"},
        {{"3", "C1", "5", "--yes"}, false, {}, 2, "CHANNEL"},
        {{"1", "C3", "5", "--yes"}, false, {}, 2, "POINT"},
        {{"1", "C1", "5"}, false, {"yes\n"}, 2, "--yes"},
        {{"1", "C2", "5"}, true, {"нет\n"}, 2, "заполнен не менее 90%"},
        // The Y key in either layout is asked again; the answer after it counts.
        {{"1", "C2", "5"}, true, {"н\n", "y\n", "lf\n"}, 0, "Answer yes or no."},
        {{"2", "C1", "5"}, true, {"maybe\n", "No\n"}, 2, "резервуар 2 опустошен не более 10%"},
        {{"2", "C1", "5"}, true, {"\x04"}, 2, "not confirmed"}, // end of input
        {{"2", "C2", "5"}, true, {"Д\n"}, 0, "резервуар 2 заполнен"},
        {{"1", "C1", "5"}, true, {"yes\n"}, 0, "[yes/no]"},
    };
    for (const auto& c : cases) {
        SimThread sim(SimThread::Steady());
        CliCall call = Calibrate(sim, c.args, c.terminal);
        if (!c.terminal && !c.answers.empty()) {
            call.input = c.answers[0];
        }
        CliProcess cli(call);
        const CliResult result =
            Answering(cli, c.terminal ? c.answers : std::vector<std::string>{});
        const std::string name = c.args[2] + " " + (c.answers.empty() ? "" : c.answers[0]);
        EXPECT_EQ(result.exitCode, c.exitCode) << name << "\n" << result.err;
        EXPECT_NE(result.err.find(c.err), std::string::npos) << name << "\n" << result.err;
        EXPECT_EQ(sim.Received().size(), c.exitCode == 0 ? 1U : 0U) << name;
    }
}

// Keys pressed before the question was put (a second Enter among them)
// answer nothing; the answer typed after reading it does.
TEST(CliQuestion, AnswersTypedAheadOfTheQuestionAreIgnored) {
    const struct {
        const char* before; // on the terminal before the program starts
        const char* after;  // typed once the question has been read
        int exitCode;
    } cases[] = {
        {"yes\n", "\x04", 2},
        {"yes\n\n", "n\n", 2},
        {"n\n", "yes\n", 0},
    };
    for (const auto& c : cases) {
        SimThread sim(SimThread::Steady());
        CliCall call = Calibrate(sim, {"1", "C1", "5"}, true);
        call.input = c.before;
        CliProcess cli(call);
        const CliResult result = Answering(cli, {c.after});
        const std::string name = std::string(c.before) + "|" + c.after;
        EXPECT_EQ(result.exitCode, c.exitCode) << name << "\n" << result.err;
        EXPECT_EQ(sim.Received().size(), c.exitCode == 0 ? 1U : 0U) << name;
        // Asked once: nothing typed early was taken for an answer it did not know.
        EXPECT_EQ(result.err.find("[yes/no]"), result.err.rfind("[yes/no]")) << name;
    }
}
