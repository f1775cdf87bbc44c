#include "protocol/ReplyDecoder.h"

#include <gtest/gtest.h>

#include <vector>

using namespace orbel;

using EMUL_Functions::TFrame;

namespace {

TFrame Frame(const std::vector<std::uint8_t>& bytes) {
    TFrame f{};
    std::copy(bytes.begin(), bytes.end(), f.begin());
    return f;
}

std::vector<std::string> Lines(const std::vector<std::uint8_t>& bytes,
                               const std::string& sep = ",") {
    return DecodeReply(Frame(bytes), sep).memoLines;
}

std::vector<std::uint8_t> Readings(std::uint8_t status) {
    return {0xFF, 0x02, 0x0B, 0x03, 0xE8, 0x01, 0xF4, 0x00, 0x64, 0x00, 0x32, status, 0x00, 0, 0};
}

} // namespace

TEST(ReplyDecoder, SignatureGivesFiveLinesAndTheSerialNumber) {
    const auto reply =
        DecodeReply(Frame({0x01, 0x20, 0x06, 0x01, 0x00, 0x2A, 0x01, 0x03, 0xFD, 0xFA}), ",");
    EXPECT_EQ(reply.kind, TReplyKind::Signature);
    EXPECT_EQ(reply.memoLines,
              (std::vector<std::string>{"Адрес прибора 1", "Тип прибора 1", "C\u0435рийный № 42",
                                        "Версия HARD 1", "Версия SOFT 3"}));
    EXPECT_EQ(reply.memoLines[2].substr(0, 1), "C"); // a Latin C
    EXPECT_EQ(reply.serialNumber, "42");
    EXPECT_EQ(DecodeReply(Frame({1, 32, 6, 1, 255, 255, 1, 3}), ",").serialNumber, "65535");
}

TEST(ReplyDecoder, ReadingsFollowTheSensorStatus) {
    EXPECT_EQ(Lines(Readings(0)),
              (std::vector<std::string>{"КАНАЛ1 :", "Уровень=100,0%", "Объем=50,0%", "",
                                        "КАНАЛ2 :", "Уровень=10,0%", "Объем=5,0%"}));
    EXPECT_EQ(Lines(Readings(0), "."),
              (std::vector<std::string>{"КАНАЛ1 :", "Уровень=100.0%", "Объем=50.0%", "",
                                        "КАНАЛ2 :", "Уровень=10.0%", "Объем=5.0%"}));
    EXPECT_EQ(Lines(Readings(1)),
              (std::vector<std::string>{"КАНАЛ1 :", "Нет сигнала с датчика", "",
                                        "КАНАЛ2 :", "Уровень=10,0%", "Объем=5,0%"}));
    EXPECT_EQ(Lines(Readings(2)),
              (std::vector<std::string>{"КАНАЛ1 :", "Уровень=100,0%", "Объем=50,0%", "",
                                        "КАНАЛ2 :", "Нет сигнала с датчика"}));
    for (std::uint8_t status : {3, 255}) {
        EXPECT_EQ(Lines(Readings(status)),
                  (std::vector<std::string>{"КАНАЛ1 :", "Нет сигнала с датчика", "",
                                            "КАНАЛ2 :", "Нет сигнала с датчика"}));
    }
}

TEST(ReplyDecoder, NumbersComeBesideTheLines) {
    const auto signature = DecodeReply(Frame({7, 32, 6, 3, 1, 2, 4, 5}), ",").signature;
    EXPECT_EQ(std::vector<int>({signature.address, signature.type, signature.serial, signature.hard,
                                signature.soft}),
              std::vector<int>({7, 3, 258, 4, 5}));
    const auto readings = DecodeReply(Frame(Readings(1)), ",");
    EXPECT_EQ(readings.sensorStatus, 1);
    EXPECT_FALSE(readings.channels[0].hasSignal);
    EXPECT_EQ(readings.channels[0].levelTenths, 1000); // kept, though not shown
    EXPECT_TRUE(readings.channels[1].hasSignal);
    EXPECT_EQ(readings.channels[1].volumeTenths, 50);
    const auto coefficients =
        DecodeReply(Frame({0xFF, 0xA5, 0x09, 0x00, 0x32, 0x03, 0x84, 0xFF, 0xFF, 0, 1}), ",");
    EXPECT_EQ(coefficients.coefficientTenths, (std::array<std::uint16_t, 4>{50, 900, 65535, 1}));
}

TEST(ReplyDecoder, TenthsAreFixedPointWithOneDecimal) {
    EXPECT_EQ(TenthsText(0, ","), "0,0");
    EXPECT_EQ(TenthsText(5, ","), "0,5");
    EXPECT_EQ(TenthsText(1000, ","), "100,0");
    EXPECT_EQ(TenthsText(65535, "."), "6553.5");
}

TEST(ReplyDecoder, CoefficientsFillFourValuesAndTheirLines) {
    const auto reply = DecodeReply(
        Frame({0xFF, 0xA5, 0x09, 0x00, 0x32, 0x03, 0x84, 0x00, 0x32, 0x03, 0x84, 0x0B, 0x83}), ",");
    EXPECT_EQ(reply.kind, TReplyKind::Coefficients);
    // The window puts the values into its fields; orbel-cli prints the lines.
    EXPECT_EQ(reply.memoLines, (std::vector<std::string>{"C1 канал 1 = 5,0", "C2 канал 1 = 90,0",
                                                         "C1 канал 2 = 5,0", "C2 канал 2 = 90,0"}));
    EXPECT_EQ(reply.coefficients, (std::array<double, 4>{5, 90, 5, 90}));
}

TEST(ReplyDecoder, CalibrationReplyGivesOneLine) {
    EXPECT_EQ(Lines({0xFF, 0xA4, 0x02, 0x00, 0x70, 0xB3}),
              (std::vector<std::string>{"Операция выполнена"}));
}

TEST(ReplyDecoder, AltReplyAndMismatchedLengthsAreNotDecoded) {
    EXPECT_EQ(DecodeReply(Frame({0xFF, 0xFA, 0x02, 0x01, 0xD0, 0xA1}), ",").kind,
              TReplyKind::Other);
    // A short coefficient frame would otherwise put its CRC into the fields.
    EXPECT_EQ(DecodeReply(Frame({0xFF, 0xA5, 0x02, 0x00, 0x12, 0x34}), ",").kind,
              TReplyKind::Other);
    EXPECT_EQ(DecodeReply(Frame({0xFF, 0x02, 0x06, 0, 0, 0, 0, 0, 0, 0}), ",").kind,
              TReplyKind::Other);
    EXPECT_EQ(DecodeReply(Frame({0xFF, 0x20, 0x0B}), ",").kind, TReplyKind::Other);
}

TEST(ReplyDecoder, EachDecodingReadsItsBytesAndWritesItsText) {
    const TFrame frame =
        Frame({0xFF, 0x63, 0x0A, 0x3F, 0x8C, 0xCC, 0xCD, 0xC0, 0x49, 0x0F, 0xDB, 0xFF});
    struct Case {
        TReplyField field;
        std::uint32_t raw;
        double value;
        const char* text;
    };
    for (const Case& c : {
             Case{{"b", nullptr, TDecoding::Byte, 11, 0}, 0xFF, 255, "255"},
             Case{{"w", nullptr, TDecoding::Word, 3, 0}, 0x3F8C, 16268, "16268"},
             Case{{"t", nullptr, TDecoding::Tenths, 9, 0}, 0x0FDB, 405.9, "405,9"},
             Case{{"f", nullptr, TDecoding::Float, 3, 0}, 0x3F8CCCCD, 1.1, "1,1"},
             Case{{"f", nullptr, TDecoding::Float, 7, 0}, 0xC0490FDB, -3.1415927, "-3,1415927"},
         }) {
        const TDecodedValue value = DecodeField(frame, c.field);
        EXPECT_EQ(value.raw, c.raw) << c.field.key;
        EXPECT_EQ(value.value, c.value) << c.field.key;
        EXPECT_EQ(ValueText(value, ","), c.text) << c.field.key;
    }
}
