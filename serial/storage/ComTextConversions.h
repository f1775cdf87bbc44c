// Text forms of the line settings, as the settings storage writes and reads
// them. Reading never fails: text that names no value gives the type's default.
#pragma once

#include "serial/types/ComTypes.h"

#include <cstdint>
#include <string>

namespace orbel {

std::string BaudRateToStr(TBaudRate value);
std::string StopBitsToStr(TStopBits value);
std::string DataBitsToStr(TDataBits value);
std::string ParityToStr(TParityBits value);
std::string FlowControlToStr(TFlowControl value);
std::string DTRToStr(TDTRFlowControl value);
std::string RTSToStr(TRTSFlowControl value);
// "Yes" / "No".
std::string BoolToStr(bool value);
// Codes 33 to 127 as the character itself, any other as "#" and the decimal code.
std::string CharToStr(std::uint8_t value);

// Matched case-insensitively against the text forms, in order.
TBaudRate StrToBaudRate(const std::string& text);       // default br9600
TStopBits StrToStopBits(const std::string& text);       // default sbOneStopBit
TDataBits StrToDataBits(const std::string& text);       // default dbEight
TParityBits StrToParity(const std::string& text);       // default prNone
TFlowControl StrToFlowControl(const std::string& text); // default fcCustom
TDTRFlowControl StrToDTR(const std::string& text);      // default dtrDisable
TRTSFlowControl StrToRTS(const std::string& text);      // default rtsDisable
// True exactly for "YES" in any case.
bool StrToBool(const std::string& text);
// "" gives 0; "#" followed by an integer gives that number (anything else
// after "#" gives 0); other text gives its first byte. Taken modulo 256.
std::uint8_t StrToChar(const std::string& text);

} // namespace orbel
