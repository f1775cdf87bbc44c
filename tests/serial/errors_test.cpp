#include "serial/errors/EComPort.h"
#include "serial/errors/PortErrorCatalogue.h"
#include "serial/errors/PortErrorMessages.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>

using namespace orbel;

TEST(EComPort, SystemCodeIsMinusOneExactlyWithoutASystemCall) {
    for (int code = 1; code <= PortErrorCount; ++code) {
        const bool withoutSystemCall = code == 4 || code == 14;
        const EComPort e =
            withoutSystemCall ? EComPort(code) : EComPort(code, ComResult{ComFault::DeviceLost, 0});
        EXPECT_EQ(e.PortCode(), code);
        EXPECT_EQ(e.SystemCode() == -1, withoutSystemCall) << code;
        EXPECT_EQ(e.Fault(), withoutSystemCall ? ComFault::Other : ComFault::DeviceLost) << code;
    }
}

TEST(EComPort, OpenFailureCarriesTheSuffixWithTheSystemCode) {
    const EComPort e(CError_OpenFailed, ComResult{ComFault::AccessDenied, 5});
    EXPECT_EQ(e.Message(), PortErrorMessages(1) + PortErrorSuffixFor(5));
    EXPECT_EQ(EComPort(CError_ConnChangeProp).Message(), PortErrorMessages(14));
}

TEST(PortErrorMessages, AllTwentyThreeEntriesArePresentAndOthersEmpty) {
    for (int code = 1; code <= PortErrorCount; ++code) {
        EXPECT_FALSE(PortErrorMessages(code).empty()) << code;
    }
    EXPECT_TRUE(PortErrorMessages(0).empty());
    EXPECT_TRUE(PortErrorMessages(24).empty());
}

// Runs in the test process's own locale: English unless the environment asks
// for Russian, which a separate CTest entry does (on Windows, the user's
// interface language chooses).
TEST(PortErrorMessages, FollowTheCatalogueOfTheLanguageInForce) {
#ifdef _WIN32
    const bool russian = UserReadsRussian();
#else
    const char* language = std::getenv("LANGUAGE");
    const bool russian = language != nullptr && std::string(language) == "ru";
#endif
    const auto table = TranslatePortErrorTable();
    if (russian) {
        EXPECT_EQ(table[0], "Не удаётся открыть COM-порт");
        EXPECT_EQ(PortErrorSuffixFor(2), " (код ошибки системы: 2)");
        for (int i = 0; i < PortErrorCount; ++i) {
            EXPECT_STRNE(table[static_cast<std::size_t>(i)].c_str(),
                         PortErrorTexts[static_cast<std::size_t>(i)])
                << i + 1;
        }
    } else {
        for (int i = 0; i < PortErrorCount; ++i) {
            EXPECT_EQ(table[static_cast<std::size_t>(i)],
                      PortErrorTexts[static_cast<std::size_t>(i)]);
        }
#ifdef _WIN32
        const std::string code = " (win error code: ";
#else
        const std::string code = " (system error code: "; // an errno is no win error code
#endif
        EXPECT_EQ(EComPort(CError_OpenFailed, ComResult{ComFault::AccessDenied, 5}).Message(),
                  "Unable to open com port" + code + "5)");
        EXPECT_EQ(
            EComPort(CError_SetStateFailed, ComResult{ComFault::InvalidArgument, 87}).Message(),
            "SetCommState function failed" + code + "87)");
    }
}

TEST(PortErrorMessages, SuffixReplacesOnlyTheFirstPercentDAsText) {
    EXPECT_NE(PortErrorSuffixFor(-1).find("-1"), std::string::npos);
    EXPECT_NE(PortErrorSuffixFor(2147483647).find("2147483647"), std::string::npos);
}

TEST(PortErrorTexts, TheTwentyThreeEnglishMessagesWordForWord) {
    const char* const expected[PortErrorCount] = {
        "Unable to open com port",
        "WriteFile function failed",
        "ReadFile function failed",
        "Invalid Async parameter",
        "PurgeComm function failed",
        "Unable to get async status",
        "SetCommState function failed",
        "SetCommTimeouts failed",
        "SetupComm function failed",
        "ClearCommError function failed",
        "GetCommModemStatus function failed",
        "EscapeCommFunction function failed",
        "TransmitCommChar function failed",
        "Cannot set property while connected",
        "EnumPorts function failed",
        "Failed to store settings",
        "Failed to load settings",
        "Link (un)registration failed",
        "Cannot change led state if ComPort is selected",
        "Cannot wait for event if event thread is created",
        "WaitForEvent method failed",
        "A component is linked to OnRxBuf event",
        "Registry error"};
    for (int i = 0; i < PortErrorCount; ++i) {
        EXPECT_STREQ(PortErrorTexts[static_cast<std::size_t>(i)], expected[i]) << "code " << i + 1;
    }
}
