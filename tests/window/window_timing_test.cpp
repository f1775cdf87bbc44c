// Timing windows of the whole window: the start-up load, the caption
// alternation, the polling period and the indicators' return to white. Each
// bound is at least the budget and at most the budget plus a margin for a
// loaded machine.
#include "WindowFixture.h"

#include "ui/TShape.h"
#include "ui/TTimer.h"

#include <QElapsedTimer>

using namespace orbel;

namespace {

constexpr qint64 Margin = 250;

class WindowTimingTest : public WindowFixture {
protected:
    SimThread* sim = nullptr;

    TForm1& Connected() {
        sim = &Instrument(1);
        WriteUserIni("COM1\r\n1\r\n");
        TForm1& window = Open();
        EXPECT_TRUE(window.ComPort1->Connected());
        return window;
    }
};

} // namespace

TEST_F(WindowTimingTest, WindowEnablesOnlyAfterTheStartUpTimer) {
    QElapsedTimer clock;
    clock.start();
    TForm1& w = Open(false);
    EXPECT_FALSE(w.isEnabled());
    ASSERT_TRUE(WaitFor([&] { return w.isEnabled(); }));
    const qint64 enabledAt = clock.elapsed();
    EXPECT_GE(enabledAt, 1000);
    EXPECT_LE(enabledAt, 1000 + Margin);
}

TEST_F(WindowTimingTest, CaptionAndApplicationTitleAlternateEveryOneAndAHalfSeconds) {
    const QString orbel = QString::fromUtf8("ОРБЕЛ (версия 2008)");
    const QString company = QString::fromUtf8("ООО \"Тальвер\"");
    // The title belongs to the process; start from a text the ticks never set.
    SetApplicationTitle(QStringLiteral("before the first tick"));
    struct Change {
        qint64 ms;
        QString caption;
        QString title;
    };
    std::vector<Change> changes;
    QElapsedTimer clock;
    clock.start();
    TForm1& w = Open(false);
    EXPECT_EQ(w.windowTitle(), orbel);
    QString caption = w.windowTitle();
    QString title = ApplicationTitle();
    ASSERT_TRUE(WaitFor(
        [&] {
            if (w.windowTitle() != caption || ApplicationTitle() != title) {
                caption = w.windowTitle();
                title = ApplicationTitle();
                changes.push_back({clock.elapsed(), caption, title});
            }
            return changes.size() >= 3;
        },
        4500 + 2 * Margin));
    const QString expectedCaption[] = {orbel, company, orbel};
    const QString expectedTitle[] = {company, orbel, company};
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const qint64 due = 1500 * static_cast<qint64>(i + 1);
        EXPECT_GE(changes[i].ms, due);
        EXPECT_LE(changes[i].ms, due + Margin);
        EXPECT_EQ(changes[i].caption, expectedCaption[i]);
        EXPECT_EQ(changes[i].title, expectedTitle[i]);
    }
}

TEST_F(WindowTimingTest, ContinuousReadingRequestsLeaveEvery1300Milliseconds) {
    TForm1& w = Connected();
    QElapsedTimer clock;
    clock.start();
    w.Button3Click();
    ASSERT_TRUE(WaitFor([&] { return !sim->Received().empty(); }));
    const qint64 first = clock.elapsed();
    EXPECT_GE(first, 1300);
    EXPECT_LE(first, 1300 + Margin);
    ASSERT_TRUE(WaitFor([&] { return sim->Received().size() >= 4; }, 3 * 1300 + 2 * Margin));
    w.Button3Click();
    const auto received = sim->Received();
    for (std::size_t i = 1; i < 4; ++i) {
        const std::int64_t gap = received[i].ms - received[i - 1].ms;
        EXPECT_GE(gap, 1300 - 100) << i;
        EXPECT_LE(gap, 1300 + 100) << i;
    }
}

TEST_F(WindowTimingTest, IndicatorsTurnWhiteAbout100MillisecondsAfterTheirStart) {
    TForm1& w = Connected();
    QElapsedTimer sinceRequest;
    sinceRequest.start();
    w.Button4Click();
    const qint64 exchangeMs = sinceRequest.elapsed();
    QElapsedTimer sinceReply;
    sinceReply.start();
    ASSERT_EQ(MemoLines().size(), 5);
    // Both are red when the window thread is free again, however long the
    // exchange took: no tick is handled during it.
    EXPECT_EQ(w.TXD_SHAPE->BrushColor(), QColor(255, 0, 0));
    EXPECT_EQ(w.RXD_SHAPE->BrushColor(), QColor(255, 0, 0));
    qint64 txdWhite = -1;
    qint64 rxdWhite = -1;
    ASSERT_TRUE(WaitFor([&] {
        if (txdWhite < 0 && w.TXD_SHAPE->BrushColor() == Qt::white) {
            txdWhite = sinceRequest.elapsed();
        }
        if (rxdWhite < 0 && w.RXD_SHAPE->BrushColor() == Qt::white) {
            rxdWhite = sinceReply.elapsed();
        }
        return txdWhite >= 0 && rxdWhite >= 0;
    }));
    EXPECT_GE(txdWhite, 100);
    EXPECT_LE(txdWhite, std::max<qint64>(100, exchangeMs) + Margin);
    EXPECT_GE(rxdWhite, 100 - 20); // started just before the memo was filled
    EXPECT_LE(rxdWhite, 100 + Margin);
    EXPECT_FALSE(w.TXD_T->Enabled());
    EXPECT_FALSE(w.RXD_T->Enabled());
}

TEST_F(WindowTimingTest, TheNoReplyReportComesNotEarlierThan270MillisecondsAfterTheDispatch) {
    TForm1& w = Connected();
    sim->Update([](auto& o) { o.silent = true; });
    QElapsedTimer clock;
    clock.start();
    w.Button4Click();
    EXPECT_EQ(w.NoReplyCount(), 0);
    ASSERT_TRUE(WaitFor([&] { return w.NoReplyCount() == 1; }));
    const qint64 reportedAt = clock.elapsed();
    EXPECT_GE(reportedAt, 270);
    EXPECT_LE(reportedAt, 270 + Margin);
    EXPECT_EQ(Panel1(), "Не отвечает (1)");
}
