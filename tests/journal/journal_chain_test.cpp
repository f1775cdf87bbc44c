// The chain and the reading of lines: what --verify names, torn lines, lines
// that are no entries, the end a writer finds.
#include "JournalTestEntries.h"
#include "journal/JournalChain.h"
#include "journal/JournalRead.h"

#include <gtest/gtest.h>

using namespace orbel;
using orbel::test::SomeEntry;

namespace {

// A journal of `count` chained entries, each line ended.
std::string Chained(int count) {
    std::string text;
    std::string prev(ChainStart);
    for (int i = 0; i < count; ++i) {
        const std::string line = SomeEntry(prev);
        text += line + "\n";
        prev = Sha256Hex(line);
    }
    return text;
}

// The offset of the middle of line `number` (from 1).
std::size_t MiddleOf(const std::string& text, int number) {
    std::size_t start = 0;
    for (int i = 1; i < number; ++i) {
        start = text.find('\n', start) + 1;
    }
    return start + (text.find('\n', start) - start) / 2;
}

} // namespace

TEST(JournalChain, Sha256IsTheStandardOne) {
    EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(JournalChain, VerifyNamesTheLineThatWasChanged) {
    const std::string intact = Chained(5);
    EXPECT_FALSE(VerifyChain(ReadJournal(intact)));

    const struct {
        const char* name;
        int line;           // whose middle byte changes, 0: none
        std::size_t broken; // the line named
    } cases[] = {
        {"a value in the middle", 3, 3},
        {"the first line", 1, 1},
        {"the line before the last", 4, 4},
    };
    for (const auto& c : cases) {
        std::string text = intact;
        const std::size_t at = MiddleOf(text, c.line);
        text[at] = text[at] == '1' ? '2' : '1';
        const auto broken = VerifyChain(ReadJournal(text));
        ASSERT_TRUE(broken) << c.name;
        EXPECT_EQ(broken->line, c.broken) << c.name << ": " << broken->reason;
    }

    // An entry's own chain value changed: it is the one named.
    std::string text = intact;
    const std::size_t prev = MiddleOf(text, 3);
    const std::size_t value = text.find("\"prev\":\"", prev) + 8;
    text[value] = text[value] == 'a' ? 'b' : 'a';
    const auto broken = VerifyChain(ReadJournal(text));
    ASSERT_TRUE(broken);
    EXPECT_EQ(broken->line, 3U) << broken->reason;

    // A line taken out, or the first one's start value changed.
    std::string removed = intact;
    const std::size_t second = removed.find('\n') + 1;
    removed.erase(second, removed.find('\n', second) + 1 - second);
    EXPECT_TRUE(VerifyChain(ReadJournal(removed)));
    std::string started = intact;
    started[started.find("\"prev\":\"") + 8] = '1';
    ASSERT_TRUE(VerifyChain(ReadJournal(started)));
    EXPECT_EQ(VerifyChain(ReadJournal(started))->line, 1U);
}

TEST(JournalChain, TornAndForeignLinesAreReportedAndTheReadGoesOn) {
    const std::string first = SomeEntry(ChainStart);
    const std::string torn = first.substr(0, 40);
    const std::string after = SomeEntry(Sha256Hex(torn));
    const std::string text = first + "\n" + torn + "\n" + after + "\nnot json\n" +
                             SomeEntry(Sha256Hex("not json")) + "\n[1,2]\n" +
                             SomeEntry(Sha256Hex("[1,2]")) + "\n{\"time\":\"2026";
    const std::vector<TJournalRecord> records = ReadJournal(text);
    ASSERT_EQ(records.size(), 8U);
    const char* const problems[] = {"", "not JSON", "", "not JSON", "", "not a journal entry",
                                    "", "torn"};
    for (std::size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(records[i].problem.substr(0, std::string(problems[i]).size()), problems[i])
            << "line " << i + 1;
        EXPECT_EQ(records[i].problem.empty(), std::string(problems[i]).empty()) << i + 1;
    }
    // A crash's torn line in the middle does not break the chain: the next
    // entry chains to it as it stands.
    EXPECT_FALSE(VerifyChain(records));
    EXPECT_EQ(records[2].act, "calibrate");
    EXPECT_EQ(records[2].value, 12.5);
}

TEST(JournalChain, AWriterFindsTheLastLineAndStartsALineOfItsOwn) {
    const struct {
        const char* tail;
        bool wholeFile;
        bool found;
        const char* lastLine;
        const char* appended; // for the entry "E"
    } cases[] = {
        {"", true, true, "", "E\n"},
        {"{\"a\"}\n", true, true, "{\"a\"}", "E\n"},
        {"x\n{\"b\"}\n", false, true, "{\"b\"}", "E\n"},
        {"x\n{\"b\"", false, true, "{\"b\"", "\nE\n"}, // torn: left as it is
        {"{\"b\"}\n", false, false, "", ""},           // may not be the line's start
        {"{\"b\"", true, true, "{\"b\"", "\nE\n"},
    };
    for (const auto& c : cases) {
        const auto end = JournalEndIn(c.tail, c.wholeFile);
        ASSERT_EQ(end.has_value(), c.found) << c.tail;
        if (end) {
            EXPECT_EQ(end->lastLine, c.lastLine) << c.tail;
            EXPECT_EQ(AppendedBytes(*end, "E"), c.appended) << c.tail;
        }
    }
    for (const char* head : {"", "{\"ti", "{\"time\":\"2026"}) {
        EXPECT_TRUE(LooksLikeJournal(head)) << head;
    }
    for (const char* head : {"# notes", "{\"a\":1}", "\xEF\xBB\xBF{\"time\""}) {
        EXPECT_FALSE(LooksLikeJournal(head)) << head;
    }
}
