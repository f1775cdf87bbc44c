#include "common/RecordingBoxes.h"
#include "ui/ExceptionReport.h"
#include "ui/TTimer.h"

#include <QElapsedTimer>
#include <QTest>
#include <gtest/gtest.h>

using namespace orbel;

TEST(TTimer, EnablingARunningTimerKeepsItsSchedule) {
    TTimer timer(120, true);
    int ticks = 0;
    QElapsedTimer clock;
    clock.start();
    qint64 firstTick = -1;
    timer.OnTimer = [&] {
        if (ticks++ == 0) {
            firstTick = clock.elapsed();
        }
    };
    QTest::qWait(60);
    timer.SetEnabled(true); // must not restart the period
    ASSERT_TRUE(QTest::qWaitFor([&] { return ticks > 0; }, 2000));
    EXPECT_GE(firstTick, 115);
    EXPECT_LT(firstTick, 175); // a restart would put it at 180 or later
}

TEST(TTimer, IntervalZeroStopsAndANewIntervalRestarts) {
    TTimer timer(30, true);
    int ticks = 0;
    timer.OnTimer = [&] { ++ticks; };
    timer.SetInterval(0);
    QTest::qWait(100);
    EXPECT_EQ(ticks, 0);
    EXPECT_TRUE(timer.Enabled());
    timer.SetInterval(20);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticks >= 2; }, 2000));
}

TEST(TTimer, TicksWhileBusyAreMergedIntoOne) {
    TTimer timer(10, true);
    int ticks = 0;
    timer.OnTimer = [&] { ++ticks; };
    QTest::qSleep(200); // the thread is busy: twenty periods pass
    QCoreApplication::processEvents();
    EXPECT_LE(ticks, 1);
}

TEST(TTimer, AnEscapingExceptionLeavesTheTimerRunning) {
    TTimer timer(10, true);
    int ticks = 0;
    timer.OnTimer = [&] {
        ++ticks;
        throw std::runtime_error("boom");
    };
    RecordingBoxes boxes;
    boxes.allowAny = true;
    InstallStandardExceptionReport();
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticks >= 3; }, 2000));
    ASSERT_GE(boxes.shown.size(), 3U);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("boom"));
    EXPECT_EQ(boxes.shown[0].kind, TMsgKind::Error);
}
