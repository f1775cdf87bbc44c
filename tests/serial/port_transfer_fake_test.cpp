#include "FakePortFixture.h"

#include <array>
#include <cerrno>
#include <gtest/gtest.h>

TEST_F(FakePort, PurgeFlagsFollowTheTwoQueues) {
    OpenAndForget();
    port.PurgeBuffers(true, false);
    port.PurgeBuffers(false, true);
    port.PurgeBuffers(true, true);
    port.PurgeBuffers(false, false);
    port.AbortTransfers();
    EXPECT_EQ(fake.Calls(), (std::vector<std::string>{"Purge(1, 8)", "Purge(1, 4)", "Purge(1, 12)",
                                                      "Purge(1, 0)", "Purge(1, 3)"}));
    fake.FailNext("Purge", EIO);
    EXPECT_EQ(PortCodeOf([&] { port.PurgeBuffers(true, true); }), CError_PurgeFailed);
}

TEST_F(FakePort, EveryOperationOnAClosedPortFailsWithItsCode) {
    std::uint8_t byte = 0;
    const std::pair<int, std::function<void()>> cases[] = {
        {CError_ReadFailed, [&] { port.ReadBytes(&byte, 1); }},
        {CError_WriteFailed, [&] { port.WriteBytes(&byte, 1); }},
        {CError_PurgeFailed, [&] { port.PurgeBuffers(true, true); }},
        {CError_PurgeFailed, [&] { port.AbortTransfers(); }},
        {CError_ClearComFailed, [&] { port.BytesWaiting(); }},
        {CError_ClearComFailed, [&] { port.LineErrors(); }},
        {CError_ModemStatFailed, [&] { port.LineSignals(); }},
    };
    for (const auto& [code, call] : cases) {
        try {
            call();
            ADD_FAILURE() << "no exception for code " << code;
        } catch (const EComPort& e) {
            EXPECT_EQ(e.PortCode(), code);
            EXPECT_EQ(e.SystemCode(), EBADF);
        }
    }
}

TEST_F(FakePort, AMissingTransferRecordIsCode4WithoutSystemCode) {
    OpenAndForget();
    std::uint8_t byte = 0;
    for (const auto& call : std::vector<std::function<void()>>{
             [&] { port.StartRead(&byte, 1, nullptr); },
             [&] { port.StartWrite(&byte, 1, nullptr); }, [&] { port.AwaitTransfer(nullptr); }}) {
        try {
            call();
            ADD_FAILURE() << "no exception";
        } catch (const EComPort& e) {
            EXPECT_EQ(e.PortCode(), CError_InvalidAsync);
            EXPECT_EQ(e.SystemCode(), -1);
        }
    }
    EXPECT_TRUE(fake.Calls().empty());
}

TEST_F(FakePort, AShortReadFillsTheStartOfTheBufferOnly) {
    OpenAndForget();
    fake.QueueRead({1, 2, 3, 4});
    std::array<std::uint8_t, 10> buffer;
    buffer.fill(0xEE);
    EXPECT_EQ(port.ReadBytes(buffer.data(), 10), 4);
    EXPECT_EQ(buffer,
              (std::array<std::uint8_t, 10>{1, 2, 3, 4, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}));
    EXPECT_EQ(fake.Calls(), (std::vector<std::string>{"StartRead(1, 10)", "AwaitRequest(1)",
                                                      "ReleaseRequest()"}));
}

TEST_F(FakePort, AFailedTransferRaisesByDirectionAndIsReleased) {
    OpenAndForget();
    std::uint8_t bytes[5] = {};
    fake.FailNext("AwaitRequest", EIO);
    try {
        port.ReadBytes(bytes, 5);
        FAIL() << "no exception";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.PortCode(), CError_ReadFailed);
        EXPECT_EQ(e.SystemCode(), EIO);
    }
    EXPECT_EQ(fake.Calls().back(), "ReleaseRequest()");
    fake.FailNext("AwaitRequest", ENXIO);
    EXPECT_EQ(PortCodeOf([&] { port.WriteBytes(bytes, 5); }), CError_WriteFailed);
    fake.FailNext("StartWrite", ENODEV);
    EXPECT_EQ(PortCodeOf([&] { port.WriteBytes(bytes, 5); }), CError_WriteFailed);
    EXPECT_EQ(fake.Calls().back(), "ReleaseRequest()");
}

TEST_F(FakePort, ANegativeCountNeverReachesTheDevice) {
    OpenAndForget();
    std::uint8_t byte = 0;
    EXPECT_EQ(PortCodeOf([&] { port.ReadBytes(&byte, -1); }), CError_ReadFailed);
    EXPECT_EQ(PortCodeOf([&] { port.WriteBytes(&byte, -1); }), CError_WriteFailed);
    EXPECT_EQ(fake.Calls(), (std::vector<std::string>{"ReleaseRequest()", "ReleaseRequest()"}));
}

TEST_F(FakePort, StatusQueriesMapTheDeviceBits) {
    OpenAndForget();
    fake.SetModemStatus(ModemStatus::DsrOn | ModemStatus::RingOn);
    EXPECT_EQ(port.LineSignals(), (TComLineSignals{sgDSR, sgRing}));
    fake.SetInQueue(7);
    EXPECT_EQ(port.BytesWaiting(), 7);

    fake.SetLineErrors(LineError::RxParity | LineError::Frame | LineError::TxFull);
    EXPECT_EQ(port.LineErrors(), (TComErrors{erFrame, erTxFull}));
    port.Parity().SetCheck(true);
    fake.SetLineErrors(LineError::RxParity | LineError::Mode | LineError::IOE);
    EXPECT_EQ(port.LineErrors(), (TComErrors{erRxParity, erMode, erIO}));
    EXPECT_TRUE(port.LineErrors().Empty()); // reading cleared them
}
