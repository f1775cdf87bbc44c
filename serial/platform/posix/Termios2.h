// The kernel's termios2 record, for speeds without a B-constant (BOTHER). Kept
// in a file of its own because the kernel's record clashes with <termios.h>.
// The record goes to the driver as it is: unlike tcsetattr, nothing here turns
// a record the driver changed into a failure.
#pragma once

#include <array>
#include <cstdint>

namespace orbel {

// The kernel's terminal record, field for field, with speeds in bits per second.
struct TKernelTermios {
    std::uint32_t iflag = 0;
    std::uint32_t oflag = 0;
    std::uint32_t cflag = 0; // with the speed bits
    std::uint32_t lflag = 0;
    std::uint8_t line = 0;
    std::array<std::uint8_t, 19> cc{};
    std::uint32_t ispeed = 0;
    std::uint32_t ospeed = 0;
};

// Makes the record carry `speed` in bits per second, in and out (BOTHER).
void UseOtherSpeed(TKernelTermios& record, std::uint32_t speed);
// Applies the record at once; 0 or the errno.
int SetKernelTermios(int fd, const TKernelTermios& record);
// Reads the record back, speeds as the driver holds them; 0 or the errno.
int GetKernelTermios(int fd, TKernelTermios& record);

} // namespace orbel
