#include "base/CatchAll.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

using namespace orbel;

namespace {

class CatchAllTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetExceptionReport([this](const std::exception& e) { reported.push_back(e.what()); });
    }
    void TearDown() override { SetExceptionReport(nullptr); }

    std::vector<std::string> reported;
};

} // namespace

TEST_F(CatchAllTest, WhateverEscapesGoesToTheReportWithItsMessage) {
    EXPECT_TRUE(RunReported([] {}));
    EXPECT_FALSE(RunReported([] { throw std::runtime_error("port gone"); }));
    EXPECT_FALSE(RunReported([] { throw 42; }, "unknown failure while closing the port"));
    EXPECT_FALSE(RunReported([] { throw "text"; }));
    EXPECT_EQ(reported,
              (std::vector<std::string>{"port gone", "unknown failure while closing the port",
                                        "Unknown error"}));
}

TEST_F(CatchAllTest, AReportThatFailsAndTheDefaultReportWriteToStandardError) {
    SetExceptionReport([](const std::exception&) { throw std::logic_error("box failed"); });
    testing::internal::CaptureStderr();
    EXPECT_FALSE(RunReported([] { throw std::runtime_error("first"); }));
    SetExceptionReport(nullptr);
    EXPECT_FALSE(RunReported([] { throw 1; }, "second"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "first\nsecond\n");
}
