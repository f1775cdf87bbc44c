#include "journal/JournalAppend.h"

#include "base/WideText.h"
#include "journal/JournalChain.h"
#include "journal/JournalFile.h"

#include <filesystem>
#include <stdexcept>

namespace orbel {

namespace {

// The file's last line, read backwards in growing pieces until it is whole.
TJournalEnd FindEnd(IJournalFile& file) {
    const std::uint64_t size = file.Size();
    std::uint64_t piece = 4096;
    for (;;) {
        const std::uint64_t from = size > piece ? size - piece : 0;
        const std::string tail = file.ReadAt(from, static_cast<std::size_t>(size - from));
        if (const auto end = JournalEndIn(tail, from == 0)) {
            return *end;
        }
        piece *= 4;
    }
}

} // namespace

std::string AppendToJournal(const std::string& path, const TEntryMaker& entryLine) {
    try {
        const std::filesystem::path file = PathFromUtf8(path);
        std::error_code ec;
        if (file.has_parent_path()) {
            std::filesystem::create_directories(file.parent_path(), ec);
            if (ec) {
                return "its folder cannot be made: " + ec.message();
            }
        }
        const std::unique_ptr<IJournalFile> journal = OpenJournalLocked(path);
        if (!LooksLikeJournal(journal->ReadAt(0, EntryOpening.size()))) {
            return "the file is not a calibration journal";
        }
        const TJournalEnd end = FindEnd(*journal);
        const std::string prev = end.empty ? std::string(ChainStart) : Sha256Hex(end.lastLine);
        journal->Append(AppendedBytes(end, entryLine(prev)));
        journal->Flush();
        return {};
    } catch (const std::exception& e) {
        return e.what();
    }
}

} // namespace orbel
