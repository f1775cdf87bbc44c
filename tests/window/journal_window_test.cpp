// The window and the calibration journal: what a calibration from the window
// leaves there, with nothing added on the line, and a journal that cannot be
// written, which does not stop the calibration.
#include "WindowFixture.h"

#include "journal/JournalRead.h"
#include "ui/FloatNumEdit.h"

#include <QPlainTextEdit>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace {

class JournalWindowTest : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        const char* given = std::getenv("ORBEL_JOURNAL");
        saved = given != nullptr ? given : "";
        folder = std::filesystem::temp_directory_path() /
                 ("orbel-window-journal-" + std::to_string(::getpid()));
        std::filesystem::remove_all(folder);
        path = (folder / "calibration-journal.jsonl").string();
        setenv("ORBEL_JOURNAL", path.c_str(), 1);
    }
    void TearDown() override {
        WindowFixture::TearDown(); // the window first: it holds the journal's recorder
        setenv("ORBEL_JOURNAL", saved.c_str(), 1);
        std::filesystem::remove_all(folder);
    }

    TForm1& Connected() {
        SimThread::Options options;
        options.serial = 4242;
        options.coeffs = {50, 900, 55, 905};
        sim = &Instrument(1, options);
        WriteUserIni("COM1\r\n1\r\n");
        TForm1& w = Open();
        // The signature read until it is answered: on a loaded machine the
        // simulator may come to the line after the first request's budget.
        // Repeats of one signature are kept once.
        for (int i = 0; i < 10 && w.Edit3->text() != "4242"; ++i) {
            w.Button4Click();
        }
        EXPECT_EQ(w.Edit3->text(), "4242");
        return w;
    }

    std::string saved;
    std::filesystem::path folder;
    std::string path;
    SimThread* sim = nullptr;
};

} // namespace

TEST_F(JournalWindowTest, ACalibrationLeavesOneEntryWithItsReadsAndNothingMoreOnTheLine) {
    TForm1& w = Connected(); // signature
    const std::size_t sent = sim->Received().size();
    w.Button9Click(); // coefficients
    w.Button9Click(); // the same again: not kept twice
    boxes.answers = {TMsgAnswer::Yes};
    w.FloatNumEdit3->setText("6,5");
    w.Button10Click(); // C1 of channel 2
    w.Button9Click();  // as left
    EXPECT_EQ(sim->Received().size(), sent + 4);

    std::ifstream in(path, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const auto records = ReadJournal(text);
    ASSERT_EQ(records.size(), 4U) << text;
    EXPECT_FALSE(VerifyChain(records));
    const TJournalRecord& act = records[2];
    EXPECT_EQ(act.act, "calibrate");
    EXPECT_EQ(act.program, "orbel");
    EXPECT_EQ(act.port, "COM1");
    EXPECT_EQ(act.device, sim->DevicePath());
    EXPECT_EQ(act.channel, 2);
    EXPECT_EQ(act.point, "C1");
    EXPECT_EQ(act.value, 6.5);
    EXPECT_EQ(act.tenths, 65);
    EXPECT_EQ(act.outcome, "accepted");
    EXPECT_EQ(act.serial, 4242);
    EXPECT_FALSE(act.host.empty() || act.user.empty() || act.request.empty() || act.reply.empty());
    ASSERT_TRUE(act.coefficients);
    EXPECT_EQ(act.coefficients->values[2], 5.5);
    ASSERT_TRUE(records[3].coefficients);
    EXPECT_EQ(records[3].coefficients->values[2], 6.5);
}

TEST_F(JournalWindowTest, AJournalThatCannotBeWrittenDoesNotStopTheCalibration) {
    std::filesystem::create_directories(path); // a folder where the file should be
    TForm1& w = Connected();
    const std::size_t sent = sim->Received().size();
    boxes.shown.clear();
    for (const char* value : {"1", "2"}) {
        boxes.answers = {TMsgAnswer::Yes};
        w.FloatNumEdit1->setText(value);
        w.Button6Click();
        EXPECT_EQ(w.Memo1->toPlainText(), "Операция выполнена") << value;
    }
    EXPECT_EQ(sim->Received().size(), sent + 2);
    ASSERT_EQ(boxes.shown.size(), 2U); // the tank questions, no box of the journal's
    for (const auto& box : boxes.shown) {
        EXPECT_EQ(box.kind, TMsgKind::Warning);
    }
}
