// Saving a file over whatever stands in its place, in a folder that takes new
// files or not: what the save does, and that nothing outside the folder changes.
#include "base/AtomicFile.h"

#include "common/AsOrdinaryUser.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

using namespace orbel;

namespace fs = std::filesystem;

namespace {

enum class TEntry { None, File, LinkToFile, LinkToMissing, Fifo, Folder };

struct TSaveCase {
    const char* name;
    TEntry entry;
    bool folderTakesFiles;
    bool saved;
};

void PrintTo(const TSaveCase& c, std::ostream* out) {
    *out << c.name;
}

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The kind of what stands at `path`, links not followed.
fs::file_type Kind(const fs::path& path) {
    return fs::symlink_status(path).type();
}

class AtomicSave : public ::testing::TestWithParam<TSaveCase> {
protected:
    fs::path root, folder, outside, file;

    void SetUp() override {
        char name[] = "/tmp/orbel-save-XXXXXX";
        ASSERT_NE(::mkdtemp(name), nullptr);
        root = name;
        folder = root / "work";
        outside = root / "other" / "precious";
        file = folder / "user.ini";
        fs::create_directories(folder);
        fs::create_directories(outside.parent_path());
        std::ofstream(outside) << "precious\n";
        // Everyone may write the other user's file: only the save's own care
        // keeps it unchanged.
        for (const fs::path& p : {root, outside.parent_path(), outside}) {
            ::chmod(p.c_str(), p == outside ? 0666 : 0777);
        }
    }
    void TearDown() override {
        ::chmod(folder.c_str(), 0755);
        fs::remove_all(root);
    }

    void Place(TEntry entry) {
        switch (entry) {
        case TEntry::None:
            break;
        case TEntry::File:
            std::ofstream(file) << "old\n";
            ::chmod(file.c_str(), 0646);
            break;
        case TEntry::LinkToFile:
            fs::create_symlink(outside, file);
            break;
        case TEntry::LinkToMissing:
            fs::create_symlink(outside.parent_path() / "missing", file);
            break;
        case TEntry::Fifo:
            ASSERT_EQ(::mkfifo(file.c_str(), 0666), 0);
            ::chmod(file.c_str(), 0666); // writable: only the save's care keeps it from blocking
            break;
        case TEntry::Folder:
            fs::create_directory(file);
            break;
        }
    }
};

} // namespace

TEST_P(AtomicSave, WritesOnlyInsideItsFolder) {
    const TSaveCase& c = GetParam();
    Place(c.entry);
    const fs::file_type before = Kind(file);
    ::chmod(folder.c_str(), c.folderTakesFiles ? 0777 : 0555);

    const int result =
        orbel::test::RunAsOrdinaryUser([&] { WriteFileAtomically(file.string(), "new\n"); });

    ASSERT_LT(result, 2) << "the save neither returned nor threw";
    EXPECT_EQ(result == 0, c.saved);
    EXPECT_EQ(Slurp(outside), "precious\n");
    EXPECT_FALSE(fs::exists(outside.parent_path() / "missing"));
    if (c.saved) {
        EXPECT_EQ(Kind(file), fs::file_type::regular);
        EXPECT_EQ(Slurp(file), "new\n");
    } else {
        EXPECT_EQ(Kind(file), before);
    }
    if (c.entry == TEntry::File) {
        struct stat st {};
        ASSERT_EQ(::stat(file.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0646U); // the old file's permissions stay
    }
    // Nothing is left behind beside the file.
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(folder)) {
        ++entries;
    }
    EXPECT_EQ(entries, c.entry == TEntry::None && !c.saved ? 0U : 1U);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, AtomicSave,
    ::testing::Values(TSaveCase{"NewFile", TEntry::None, true, true},
                      TSaveCase{"File", TEntry::File, true, true},
                      TSaveCase{"LinkToAFileIsReplaced", TEntry::LinkToFile, true, true},
                      TSaveCase{"LinkToNothingIsReplaced", TEntry::LinkToMissing, true, true},
                      TSaveCase{"FifoIsReplaced", TEntry::Fifo, true, true},
                      TSaveCase{"FolderStays", TEntry::Folder, true, false},
                      TSaveCase{"ClosedFolderNoFile", TEntry::None, false, false},
                      TSaveCase{"ClosedFolderFileInPlace", TEntry::File, false, true},
                      TSaveCase{"ClosedFolderLinkToAFile", TEntry::LinkToFile, false, false},
                      TSaveCase{"ClosedFolderLinkToNothing", TEntry::LinkToMissing, false, false},
                      TSaveCase{"ClosedFolderFifo", TEntry::Fifo, false, false},
                      TSaveCase{"ClosedFolderFolder", TEntry::Folder, false, false}),
    [](const ::testing::TestParamInfo<TSaveCase>& info) { return std::string(info.param.name); });

TEST(AtomicSaveErrors, NameThePathAndTheReason) {
    try {
        WriteFileAtomically("/nonexistent-orbel-folder/user.ini", "x");
        FAIL() << "a save into a missing folder succeeded";
    } catch (const EFileWrite& e) {
        EXPECT_EQ(e.Path(), "/nonexistent-orbel-folder/user.ini");
        EXPECT_STREQ(e.what(), "cannot write /nonexistent-orbel-folder/user.ini: cannot create a "
                               "file beside it: No such file or directory");
    }
}
