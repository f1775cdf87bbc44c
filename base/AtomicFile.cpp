#include "base/AtomicFile.h"

#include "base/WideText.h"

#include <cstdint>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <algorithm>
#include <windows.h>
#else
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace orbel {

namespace {

// Failures found by the checks here rather than by the system.
constexpr int NotRegularFile = -2;
constexpr int SymbolicLink = -3;

// The folder part of a path, "." when it has none.
std::string FolderOf(const std::string& path) {
#ifdef _WIN32
    const std::size_t slash = path.find_last_of("/\\");
#else
    const std::size_t slash = path.rfind('/');
#endif
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

#ifdef _WIN32

// The system's calls; each returns 0 or the system's error code.

struct TTemporary {
    std::wstring path;
    HANDLE handle = INVALID_HANDLE_VALUE;
};

int LastError() {
    return static_cast<int>(GetLastError());
}

int WriteAll(HANDLE handle, std::string_view content) {
    while (!content.empty()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(content.size(), 1u << 30));
        if (!WriteFile(handle, content.data(), chunk, &written, nullptr)) {
            return LastError();
        }
        content.remove_prefix(written);
    }
    return FlushFileBuffers(handle) ? 0 : LastError();
}

int OpenTemporary(const std::string& target, TTemporary& temp) {
    wchar_t name[MAX_PATH + 1] = {};
    if (GetTempFileNameW(WideFromUtf8(FolderOf(target)).c_str(), L"sav", 0, name) == 0) {
        return LastError();
    }
    temp.path = name;
    temp.handle = CreateFileW(name, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    return temp.handle == INVALID_HANDLE_VALUE ? LastError() : 0;
}

int FillAndClose(TTemporary& temp, std::string_view content, const std::string& target) {
    int error = WriteAll(temp.handle, content);
    CloseHandle(temp.handle);
    temp.handle = INVALID_HANDLE_VALUE;
    const DWORD old = GetFileAttributesW(WideFromUtf8(target).c_str());
    if (error == 0 && old != INVALID_FILE_ATTRIBUTES &&
        (old & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0) {
        const DWORD kept = old & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
        if (kept != 0 && !SetFileAttributesW(temp.path.c_str(), kept)) {
            error = LastError();
        }
    }
    return error;
}

int Replace(const TTemporary& temp, const std::string& target) {
    return MoveFileExW(temp.path.c_str(), WideFromUtf8(target).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? 0
               : LastError();
}

void Remove(TTemporary& temp) {
    if (temp.handle != INVALID_HANDLE_VALUE) {
        CloseHandle(temp.handle);
        temp.handle = INVALID_HANDLE_VALUE;
    }
    if (!temp.path.empty()) {
        DeleteFileW(temp.path.c_str());
    }
}

bool NoFileBeside(int error) {
    return error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT;
}

constexpr int MissingFile = ERROR_FILE_NOT_FOUND;

int WriteInPlace(const std::string& target, std::string_view content) {
    const HANDLE handle = CreateFileW(WideFromUtf8(target).c_str(), GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return LastError();
    }
    BY_HANDLE_FILE_INFORMATION info{};
    int error = 0;
    if (!GetFileInformationByHandle(handle, &info)) {
        error = LastError();
    } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        error = SymbolicLink;
    } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
               GetFileType(handle) != FILE_TYPE_DISK) {
        error = NotRegularFile;
    } else if (!SetEndOfFile(handle)) {
        error = LastError();
    } else {
        error = WriteAll(handle, content);
    }
    CloseHandle(handle);
    return error;
}

std::string SystemReason(int error) {
    char* text = nullptr;
    const DWORD n = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string reason = n != 0 ? std::string(text, n) : "error " + std::to_string(error);
    LocalFree(text);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r')) {
        reason.pop_back();
    }
    return reason;
}

#else

// The system's calls; each returns 0 or the system's error code.

struct TTemporary {
    std::string path;
    int fd = -1;
};

int WriteAll(int fd, std::string_view content) {
    while (!content.empty()) {
        const ssize_t n = ::write(fd, content.data(), content.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        content.remove_prefix(static_cast<std::size_t>(n));
    }
    return ::fsync(fd) == 0 ? 0 : errno;
}

// What a new file gets: 0666 less the process's umask (read without changing
// it, which would race with other threads).
mode_t NewFileMode() {
    mode_t mask = 022;
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("Umask:", 0) == 0) {
            mask = static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
            break;
        }
    }
    return 0666 & ~mask;
}

// The old file's permissions when it is a regular file of its own (not a
// link), else those of a new file.
mode_t ModeFor(const std::string& target) {
    struct stat old {};
    if (::lstat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        return old.st_mode & 07777;
    }
    return NewFileMode();
}

std::string NameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int OpenTemporary(const std::string& target, TTemporary& temp) {
    std::string name = FolderOf(target) + "/." + NameOf(target) + ".XXXXXX";
    // Created anew with a unique name: it cannot be a link planted beforehand.
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    temp.path = std::move(name);
    temp.fd = fd;
    return 0;
}

int FillAndClose(TTemporary& temp, std::string_view content, const std::string& target) {
    int error = ::fchmod(temp.fd, ModeFor(target)) == 0 ? 0 : errno;
    if (error == 0) {
        error = WriteAll(temp.fd, content);
    }
    if (::close(temp.fd) != 0 && error == 0) {
        error = errno;
    }
    temp.fd = -1;
    return error;
}

int Replace(const TTemporary& temp, const std::string& target) {
    if (::rename(temp.path.c_str(), target.c_str()) != 0) {
        return errno;
    }
    // The new name itself reaches the disk with the folder; a folder that
    // cannot be flushed changes nothing about the save.
    const int folder = ::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return 0;
}

void Remove(TTemporary& temp) {
    if (temp.fd >= 0) {
        ::close(temp.fd);
        temp.fd = -1;
    }
    if (!temp.path.empty()) {
        ::unlink(temp.path.c_str());
    }
}

// The folder refuses new files (no write permission, immutable, read-only).
bool NoFileBeside(int error) {
    return error == EACCES || error == EPERM || error == EROFS;
}

constexpr int MissingFile = ENOENT;

int WriteInPlace(const std::string& target, std::string_view content) {
    struct stat entry {};
    if (::lstat(target.c_str(), &entry) != 0) {
        return errno;
    }
    if (S_ISLNK(entry.st_mode)) {
        return SymbolicLink;
    }
    if (!S_ISREG(entry.st_mode)) {
        return NotRegularFile;
    }
    // Checked again on the open file: never through a link, and without
    // blocking should a pipe have taken the file's place meanwhile.
    const int fd =
        ::open(target.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return errno == ELOOP ? SymbolicLink : errno;
    }
    struct stat file {};
    int error = 0;
    if (::fstat(fd, &file) != 0) {
        error = errno;
    } else if (!S_ISREG(file.st_mode)) {
        error = NotRegularFile;
    } else if (::ftruncate(fd, 0) != 0) {
        error = errno;
    } else {
        error = WriteAll(fd, content);
    }
    if (::close(fd) != 0 && error == 0) {
        error = errno;
    }
    return error;
}

std::string SystemReason(int error) {
    return std::strerror(error);
}

#endif

std::string Reason(int error) {
    switch (error) {
    case NotRegularFile:
        return "not a regular file";
    case SymbolicLink:
        return "a symbolic link, and its folder takes no new file to replace it with";
    default:
        return SystemReason(error);
    }
}

} // namespace

void WriteFileAtomically(const std::string& path, std::string_view content) {
    TTemporary temp;
    if (const int error = OpenTemporary(path, temp); error != 0) {
        if (!NoFileBeside(error)) {
            throw EFileWrite(path, "cannot create a file beside it: " + Reason(error));
        }
        // No file to rewrite: the folder's refusal is the reason.
        if (const int inPlace = WriteInPlace(path, content); inPlace != 0) {
            throw EFileWrite(path, Reason(inPlace == MissingFile ? error : inPlace));
        }
        return;
    }
    int error = FillAndClose(temp, content, path);
    if (error == 0) {
        error = Replace(temp, path);
    }
    if (error != 0) {
        Remove(temp);
        throw EFileWrite(path, Reason(error));
    }
}

} // namespace orbel
