// The scripted stand-in of the communications calls as the one table of this
// test program, and an instrument on it that answers every request with the
// reply it expects (its data bytes zero).
#pragma once

#include "ScriptedWin32Calls.h"
#include "protocol/EMUL_Functions.h"

#include <cstdint>
#include <vector>

// SystemComPlatform(), which the window and orbel-cli's session use, is made
// with it the first time it is asked for: call this before.
inline TScriptedWin32Calls& StandInDriver() {
    static auto* calls = [] {
        auto* made = new TScriptedWin32Calls;
        ReplaceProcessWin32Calls(made);
        return made;
    }();
    return *calls;
}

inline std::vector<std::uint8_t> StandInReply(const std::vector<std::uint8_t>& request) {
    const std::uint8_t length = EMUL_Functions::ReplyDataLength;
    std::vector<std::uint8_t> reply(2u + length, 0); // address, command, length, data
    reply[0] = 1;
    reply[1] = request.at(1);
    reply[2] = length;
    const std::uint16_t crc =
        EMUL_Functions::CRC16(static_cast<std::uint8_t>(reply.size()), reply.data());
    reply.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    reply.push_back(static_cast<std::uint8_t>(crc >> 8));
    return reply;
}
