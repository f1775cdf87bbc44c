#include "serial/platform/win32/Win32Errors.h"

#include "base/WideText.h"

#include <windows.h>

namespace orbel {

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
    // An unplugged USB adapter answers with any of these, depending on its
    // driver: the kernel's "delete pending" arrives as access denied, "no
    // such device" as file not found, a framework driver's "invalid device
    // state" as bad command. At the open the first two mean something else
    // (Win32OpenResult).
    case ERROR_ACCESS_DENIED:
    case ERROR_FILE_NOT_FOUND:
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
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_UNIT:
        return ComFault::NoDevice;
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
    switch (code) {
    case ERROR_ACCESS_DENIED:
        return {ComFault::Busy, static_cast<std::int32_t>(code)};
    case ERROR_FILE_NOT_FOUND:
        return {ComFault::NoDevice, static_cast<std::int32_t>(code)};
    default:
        return Win32Result(code);
    }
}

ComResult Win32LastError() noexcept {
    const DWORD code = GetLastError();
    // A failed call that left no code still failed, for no reason known:
    // nothing says the device is gone.
    if (code == ERROR_SUCCESS) {
        return {ComFault::Other, static_cast<std::int32_t>(ERROR_GEN_FAILURE)};
    }
    return Win32Result(code);
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

} // namespace orbel
