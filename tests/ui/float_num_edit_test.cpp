// The numeric entry field: typing through the filter, reading and writing the
// value, and its settings.
#include "ui/FloatNumEdit.h"

#include "QtPrinters.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <vector>

using namespace orbel;

namespace {

class FloatNumEditTest : public ::testing::Test {
protected:
    void SetUp() override {
        TRegionalSettings russian;
        russian.DecimalSeparator = u',';
        SetRegionalSettingsForTests(russian);
    }
    void TearDown() override { ResetRegionalSettingsForTests(); }

    // Puts the caret at `caret`, or selects `length` characters from it.
    void Place(const QString& text, int caret, int length = 0) {
        edit.setText(text);
        if (length > 0) {
            edit.setSelection(caret, length);
        } else {
            edit.setCursorPosition(caret);
        }
    }

    TFloatNumEdit edit;
};

} // namespace

TEST_F(FloatNumEditTest, StartsAsAZeroInTheGeneralFormat) {
    EXPECT_EQ(edit.text(), "0");
    EXPECT_EQ(edit.Precision(), 8);
    EXPECT_EQ(edit.Digits(), 4);
    EXPECT_EQ(edit.Format(), ffGeneral);
    EXPECT_EQ(edit.Value(), 0.0);
    EXPECT_EQ(edit.echoMode(), QLineEdit::Normal);
}

TEST_F(FloatNumEditTest, WritesAndReadsValuesWithTheRegionalSeparator) {
    const struct {
        double value;
        const char* text;
    } cases[] = {{500, "500"}, {7, "7"}, {0, "0"}, {123.4, "123,4"}, {1.5e8, "1,5E8"}};
    for (const auto& c : cases) {
        edit.SetValue(c.value);
        EXPECT_EQ(edit.text(), QString::fromLatin1(c.text));
        EXPECT_EQ(edit.Value(), c.value);
    }
    edit.setText(QStringLiteral("2.5"));
    EXPECT_EQ(edit.Value(), 0.0);
    EXPECT_FALSE(edit.HoldsNumber());
    edit.clear();
    EXPECT_EQ(edit.Value(), 0.0);
    EXPECT_FALSE(edit.HoldsNumber());
}

TEST_F(FloatNumEditTest, TypedPointBecomesTheSeparatorAndASecondOneIsDiscarded) {
    edit.clear();
    QTest::keyClicks(&edit, QStringLiteral("1.5"));
    EXPECT_EQ(edit.text(), "1,5");
    QTest::keyClicks(&edit, QStringLiteral(".,"));
    EXPECT_EQ(edit.text(), "1,5");
    EXPECT_EQ(edit.Value(), 1.5);
}

TEST_F(FloatNumEditTest, TypedMinusOnlyAtTheStartAndNeverTwice) {
    Place(QStringLiteral("12"), 0);
    QTest::keyClick(&edit, '-');
    EXPECT_EQ(edit.text(), "-12");

    Place(QStringLiteral("12"), 1);
    QTest::keyClick(&edit, '-');
    EXPECT_EQ(edit.text(), "12");

    Place(QStringLiteral("-12"), 0);
    QTest::keyClick(&edit, '-');
    EXPECT_EQ(edit.text(), "-12");

    Place(QStringLiteral("-12"), 0, 1);
    QTest::keyClick(&edit, '-');
    EXPECT_EQ(edit.text(), "-12");
    EXPECT_EQ(edit.Value(), -12.0);

    Place(QStringLiteral("-12"), 0, 3);
    QTest::keyClick(&edit, '-');
    EXPECT_EQ(edit.text(), "-");
}

TEST_F(FloatNumEditTest, LettersBlanksAndPlusDoNothing) {
    Place(QStringLiteral("12"), 2);
    QTest::keyClicks(&edit, QStringLiteral("aZ E+e"));
    EXPECT_EQ(edit.text(), "12");

    // Cyrillic letters, and text of several characters at once (each filtered).
    for (const QString& typed : {QStringLiteral("ж"), QStringLiteral("Ё"), QStringLiteral("a3")}) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, typed);
        QApplication::sendEvent(&edit, &press);
    }
    EXPECT_EQ(edit.text(), "123");
}

TEST_F(FloatNumEditTest, DigitBeforeTheMinusMakesNoNumber) {
    Place(QStringLiteral("-5"), 0);
    QTest::keyClick(&edit, '3');
    EXPECT_EQ(edit.text(), "3-5");
    EXPECT_EQ(edit.Value(), 0.0);
}

TEST_F(FloatNumEditTest, EditingKeysAndPasteKeepTheirOrdinaryEffect) {
    Place(QStringLiteral("12"), 2);
    QTest::keyClick(&edit, Qt::Key_Backspace);
    EXPECT_EQ(edit.text(), "1");
    QTest::keyClick(&edit, Qt::Key_Home);
    QTest::keyClick(&edit, Qt::Key_Delete);
    EXPECT_EQ(edit.text(), "");
}

TEST_F(FloatNumEditTest, APasteGoesThroughTheTypingFilterWhole) {
    const struct {
        const char* text;
        int caret;
        int length; // selected from the caret
        const char* pasted;
        const char* result;
    } rows[] = {
        {"0", 0, 1, "7.5", "7,5"}, {"0", 0, 1, " 7,5\r\n", "7,5"}, {"12", 0, 0, "-", "-12"},
        {"12", 2, 0, "a+b", "12"}, {"0", 0, 1, "1.5e3", "0"},      {"1,5", 3, 0, "2.5", "1,5"},
        {"12", 1, 0, "-3", "12"},  {"0", 0, 1, "7\t5", "0"},       {"0", 0, 1, "1 234", "0"},
        {"0", 0, 1, "", "0"},
    };
    for (const auto& row : rows) {
        Place(QString::fromUtf8(row.text), row.caret, row.length);
        edit.PasteText(QString::fromUtf8(row.pasted));
        EXPECT_EQ(edit.text(), QString::fromUtf8(row.result)) << row.pasted;
    }
}

TEST_F(FloatNumEditTest, EveryWayOfPastingIsFiltered) {
    QApplication::clipboard()->setText(QStringLiteral("7.5"));
    std::vector<std::pair<const char*, std::function<void()>>> ways;
    for (const QKeySequence& keys : QKeySequence::keyBindings(QKeySequence::Paste)) {
        ways.emplace_back("keys", [this, keys] {
            QTest::keyClick(&edit, keys[0].key(), keys[0].keyboardModifiers());
        });
    }
    ways.emplace_back("context menu", [this] {
        QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(1, 1), QPoint(1, 1));
        QApplication::sendEvent(&edit, &event);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        QAction* item = PasteAction(*menu);
        ASSERT_NE(item, nullptr);
        item->trigger();
        menu->close();
    });
    ways.emplace_back("drop", [this] {
        QMimeData data;
        data.setText(QStringLiteral("7.5"));
        QDropEvent event(QPointF(1, 1), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        // Straight to the field: the application lets a drop through only
        // while a drag is under way.
        static_cast<QObject&>(edit).event(&event);
    });
    edit.show();
    for (const auto& [name, paste] : ways) {
        edit.clear();
        paste();
        EXPECT_EQ(edit.text(), "7,5") << name;
    }
}

TEST(PasteActionTest, NameFirstTextAsFallback) {
    struct Item {
        const char* name;
        QString text;
    };
    const QString paste = QLineEdit::tr("&Paste") + QStringLiteral("\tCtrl+V");
    const struct {
        const char* what;
        std::vector<Item> items;
        int found; // index into items, -1 for none
    } rows[] = {
        {"translated text, named", {{"edit-copy", "&Copy"}, {"edit-paste", "&Вставить"}}, 1},
        {"named item after one with the text", {{"", paste}, {"edit-paste", "x"}}, 1},
        {"no name, the text", {{"", "&Copy"}, {"", paste}}, 1},
        {"neither", {{"edit-copy", "&Copy"}, {"", "&Вставить"}}, -1},
    };
    for (const auto& row : rows) {
        QMenu menu;
        std::vector<QAction*> actions;
        for (const Item& item : row.items) {
            actions.push_back(menu.addAction(item.text));
            actions.back()->setObjectName(QString::fromUtf8(item.name));
        }
        QAction* expected = row.found < 0 ? nullptr : actions[static_cast<size_t>(row.found)];
        EXPECT_EQ(PasteAction(menu), expected) << row.what;
    }
}

TEST_F(FloatNumEditTest, ReadOnlyFieldTakesNoTyping) {
    Place(QStringLiteral("12"), 2);
    edit.setReadOnly(true);
    QTest::keyClicks(&edit, QStringLiteral("3."));
    EXPECT_EQ(edit.text(), "12");
}

TEST_F(FloatNumEditTest, SettingAnUnchangedSettingLeavesTheTextAlone) {
    edit.setText(QStringLiteral("1,50"));
    edit.SetPrecision(8);
    edit.SetDigits(4);
    edit.SetFormat(ffGeneral);
    EXPECT_EQ(edit.text(), "1,50");

    edit.setText(QStringLiteral("abc"));
    edit.SetPrecision(8);
    EXPECT_EQ(edit.text(), "abc");
}

TEST_F(FloatNumEditTest, ChangingASettingRewritesTheValue) {
    edit.setText(QStringLiteral("3,14159265"));
    edit.SetPrecision(3);
    EXPECT_EQ(edit.Precision(), 3);
    EXPECT_EQ(edit.text(), "3,14");

    edit.SetFormat(ffFixed);
    EXPECT_EQ(edit.text(), "3,1400");
    edit.SetDigits(1);
    EXPECT_EQ(edit.text(), "3,1");

    for (auto change : {+[](TFloatNumEdit& e) { e.SetPrecision(e.Precision() + 1); },
                        +[](TFloatNumEdit& e) { e.SetDigits(e.Digits() + 1); },
                        +[](TFloatNumEdit& e) { e.SetFormat(ffExponent); }}) {
        edit.setText(QStringLiteral("abc"));
        change(edit);
        EXPECT_EQ(edit.Value(), 0.0);
        EXPECT_TRUE(edit.HoldsNumber()) << edit.text().toStdString();
    }
    edit.SetFormat(ffGeneral);
    edit.setText(QStringLiteral("abc"));
    edit.SetPrecision(edit.Precision() + 1);
    EXPECT_EQ(edit.text(), "0");
}

TEST_F(FloatNumEditTest, ModifiersDoNotGetPastTheFilterButTheEditShortcutsWork) {
    const struct {
        Qt::KeyboardModifiers modifiers;
        const char* typed;
        const char* text;
    } keys[] = {
        {Qt::MetaModifier, "a", "12"},  {Qt::ControlModifier | Qt::AltModifier, "a", "12"},
        {Qt::AltModifier, "+", "12"},   {Qt::ControlModifier | Qt::ShiftModifier, "x", "12"},
        {Qt::MetaModifier, "7", "127"}, {Qt::ControlModifier | Qt::AltModifier, ".", "12,"}};
    for (const auto& key : keys) {
        Place(QStringLiteral("12"), 2);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, key.modifiers,
                        QString::fromLatin1(key.typed));
        QApplication::sendEvent(&edit, &press);
        EXPECT_EQ(edit.text(), QString::fromLatin1(key.text)) << key.typed;
    }

    const auto shortcut = [&](QKeySequence::StandardKey key) {
        const QKeyCombination combination = QKeySequence(key)[0];
        QTest::keyClick(&edit, combination.key(), combination.keyboardModifiers());
    };
    Place(QStringLiteral("12"), 2);
    shortcut(QKeySequence::SelectAll);
    EXPECT_EQ(edit.selectedText(), "12");
    shortcut(QKeySequence::Copy);
    EXPECT_EQ(QApplication::clipboard()->text(), "12");
    shortcut(QKeySequence::Cut);
    EXPECT_EQ(edit.text(), "");
    QApplication::clipboard()->setText(QStringLiteral("5"));
    shortcut(QKeySequence::Paste);
    EXPECT_EQ(edit.text(), "5");
    shortcut(QKeySequence::Undo); // a paste is undone as typing is
    EXPECT_NE(edit.text(), "5");
    shortcut(QKeySequence::Redo);
    EXPECT_EQ(edit.text(), "5");
}
