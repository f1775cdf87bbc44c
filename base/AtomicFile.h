// Saving a small file so that a reader (or a crash) sees either the old
// content or the new one, never a mix, and so that a save never writes
// anywhere but the file's own folder.
//
// The new content goes into a file with a unique name beside the target,
// which is flushed to the disk, given the old file's permissions and renamed
// over the target. A symbolic link in the target's place is replaced, not
// followed. Only where the folder takes no new file (it is not writable) is
// the target rewritten in place, and then only when it is a regular file
// reached without following a link.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace orbel {

// A save that failed: the message names the file and the system's reason.
class EFileWrite : public std::runtime_error {
public:
    EFileWrite(const std::string& path, const std::string& reason)
        : std::runtime_error("cannot write " + path + ": " + reason), path_(path) {}
    const std::string& Path() const noexcept { return path_; }

private:
    std::string path_;
};

// Replaces the content of `path` with `content`. Throws EFileWrite when the
// file cannot be written; the old file is then left as it was, except after a
// failed write in place.
void WriteFileAtomically(const std::string& path, std::string_view content);

} // namespace orbel
