// The real message boxes, answered from the keyboard and the mouse as an
// operator would, on a clock the test moves.
#include "ui/MessageBoxes.h"
#include "ui/TypeAheadGuard.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <chrono>

using namespace orbel;
using namespace std::chrono_literals;

namespace {

using TimePoint = TTypeAheadGuard::TimePoint;

// What the operator does once the box is up: a key, or a click on Yes.
struct TAction {
    std::chrono::milliseconds after; // since the box became visible
    Qt::Key key;                     // Qt::Key_unknown: a click on Yes
    bool repeat = false;             // a repeat of a key held down
};

// Shows the tank question; `first` comes when the box is up. A box the first
// action did not answer gets Escape once the guard is over. Whether the first
// action answered it is written to `answeredFirst`.
TMsgAnswer Ask(const TAction& first, bool& answeredFirst, QString& shownText) {
    TimePoint now{1h};
    SetTypeAheadClock([&] { return now; });
    const TimePoint shown = now;
    QTimer act;
    QObject::connect(&act, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            return; // not shown yet
        }
        act.stop();
        shownText = box->text();
        now = shown + first.after;
        if (first.key == Qt::Key_unknown) {
            QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton);
        } else if (first.repeat) {
            QKeyEvent press(QEvent::KeyPress, first.key, Qt::NoModifier, QString(), true);
            QApplication::sendEvent(box, &press);
        } else {
            QTest::keyClick(box, first.key);
        }
        answeredFirst = !box->isVisible();
        if (!answeredFirst) {
            now = shown + TTypeAheadGuard::Quiet;
            QTest::keyClick(box, Qt::Key_Escape);
        }
    });
    act.start(5);
    const TMsgAnswer answer =
        MessageBoxes().Show(TMsgKind::Warning, QStringLiteral("Question"),
                            QStringLiteral("Tank\rempty?"), TMsgButtons::YesNo);
    SetTypeAheadClock({});
    return answer;
}

} // namespace

TEST(MessageBoxes, TheQuestionDropsKeysOfItsFirstMomentsButTakesClicks) {
    const struct {
        TAction action;
        bool answers;
        TMsgAnswer answer;
    } rows[] = {
        {{0ms, Qt::Key_Return}, false, TMsgAnswer::No},      // the second Enter of a double one
        {{299ms, Qt::Key_Enter}, false, TMsgAnswer::No},     // still too soon
        {{0ms, Qt::Key_Escape}, false, TMsgAnswer::No},      // dropped too, then Escape
        {{2s, Qt::Key_Return, true}, false, TMsgAnswer::No}, // an Enter held down
        {{300ms, Qt::Key_Return}, true, TMsgAnswer::Yes},    // a deliberate Enter
        {{300ms, Qt::Key_Enter}, true, TMsgAnswer::Yes},
        {{2s, Qt::Key_Escape}, true, TMsgAnswer::No},
        {{0ms, Qt::Key_unknown}, true, TMsgAnswer::Yes}, // a click at once
    };
    for (const auto& row : rows) {
        bool answeredFirst = false;
        QString shownText;
        const TMsgAnswer answer = Ask(row.action, answeredFirst, shownText);
        const auto what = ::testing::Message()
                          << row.action.key << " after " << row.action.after.count() << " ms";
        EXPECT_EQ(answeredFirst, row.answers) << what;
        EXPECT_EQ(answer, row.answer) << what;
        EXPECT_EQ(shownText, "Tank\nempty?");
    }
}

TEST(MessageBoxes, AKeyBeforeTheBoxIsVisibleIsDropped) {
    const TimePoint shown{1h};
    EXPECT_TRUE(TTypeAheadGuard::Drops(std::nullopt, shown));
    EXPECT_TRUE(TTypeAheadGuard::Drops(shown, shown + 299ms));
    EXPECT_FALSE(TTypeAheadGuard::Drops(shown, shown + 300ms));
}
