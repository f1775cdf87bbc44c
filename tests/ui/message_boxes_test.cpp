// The real message boxes, answered from the keyboard as an operator would.
#include "ui/MessageBoxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace orbel;

TEST(MessageBoxes, TheQuestionTakesEnterAsYesAndEscapeAsNo) {
    const struct {
        Qt::Key key;
        TMsgAnswer answer;
    } rows[] = {{Qt::Key_Return, TMsgAnswer::Yes},
                {Qt::Key_Enter, TMsgAnswer::Yes},
                {Qt::Key_Escape, TMsgAnswer::No}};
    for (const auto& row : rows) {
        QString shownText;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QTimer press;
        QObject::connect(&press, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr) {
                return; // not shown yet
            }
            press.stop();
            shownText = box->text();
            icon = box->icon();
            QTest::keyClick(box, row.key);
        });
        press.start(5);
        const TMsgAnswer answer =
            MessageBoxes().Show(TMsgKind::Warning, QStringLiteral("Question"),
                                QStringLiteral("Tank\rempty?"), TMsgButtons::YesNo);
        EXPECT_EQ(answer, row.answer) << row.key;
        EXPECT_EQ(shownText, "Tank\nempty?");
        EXPECT_EQ(icon, QMessageBox::Warning);
    }
}
