#include "serial/platform/win32/Win32Errors.h"

#include <windows.h>

namespace {

// Newer than the system headers of the cross toolchain.
constexpr DWORD ErrorNoSuchDevice = 433; // ERROR_NO_SUCH_DEVICE

} // namespace

ComFault Win32FaultOf(std::uint32_t code) noexcept {
    switch (code) {
    case ERROR_SUCCESS:
        return ComFault::None;
    case ERROR_IO_PENDING:
        return ComFault::Pending;
    case ERROR_OPERATION_ABORTED:
        return ComFault::Cancelled;
    // An unplugged USB adapter answers with any of these, depending on its driver.
    case ERROR_DEVICE_REMOVED:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEV_NOT_EXIST:
    case ErrorNoSuchDevice:
    case ERROR_BAD_COMMAND:
    case ERROR_GEN_FAILURE:
    case ERROR_NOT_READY:
    case ERROR_BROKEN_PIPE: // the far end of a virtual line hung up
        return ComFault::DeviceLost;
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
        return ComFault::Busy;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_UNIT:
        return ComFault::NoDevice;
    case ERROR_ACCESS_DENIED:
        return ComFault::AccessDenied;
    case ERROR_INVALID_PARAMETER:
    case ERROR_NOT_SUPPORTED:
        return ComFault::InvalidArgument;
    default:
        return ComFault::Other;
    }
}

ComResult Win32Result(std::uint32_t code) noexcept {
    return {Win32FaultOf(code), static_cast<std::int32_t>(code)};
}

ComResult Win32OpenResult(std::uint32_t code) noexcept {
    if (code == ERROR_ACCESS_DENIED) {
        return {ComFault::Busy, static_cast<std::int32_t>(code)};
    }
    return Win32Result(code);
}

ComResult Win32LastError() noexcept {
    const DWORD code = GetLastError();
    // A failed call that left no code still failed.
    return Win32Result(code != ERROR_SUCCESS ? code : ERROR_GEN_FAILURE);
}

std::string Win32ErrorText(std::uint32_t code) {
    wchar_t* text = nullptr;
    const DWORD flags =
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    const DWORD length =
        FormatMessageW(flags, nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                       reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (length == 0 || text == nullptr) {
        return "system error " + std::to_string(code);
    }
    std::wstring_view view(text, length);
    while (!view.empty() && (view.back() == L'\r' || view.back() == L'\n' || view.back() == L' ')) {
        view.remove_suffix(1);
    }
    std::string utf8 = Utf8FromWide(view);
    LocalFree(text);
    return utf8;
}

std::string Utf8FromWide(std::wstring_view text) {
    if (text.empty()) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    const int bytes =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, out.data(), bytes, nullptr, nullptr);
    return out;
}

std::wstring WideFromUtf8(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    const int chars = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(chars), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), size, out.data(), chars);
    return out;
}
