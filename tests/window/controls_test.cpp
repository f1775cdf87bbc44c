// The main window as it comes up: every control with its parent, caption and
// visibility, the menu, the look-alike letters, and the state after the load.
#include "WindowFixture.h"

#include "ui/TShape.h"
#include "ui/TTimer.h"
#include "ui/Unit2.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace orbel;

namespace {

class ControlsTest : public WindowFixture {};

QString Caption(const QWidget* widget) {
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
        return button->text();
    }
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        return label->text();
    }
    if (const auto* group = qobject_cast<const QGroupBox*>(widget)) {
        return group->title();
    }
    if (const auto* edit = qobject_cast<const QLineEdit*>(widget)) {
        return edit->text();
    }
    if (const auto* memo = qobject_cast<const QPlainTextEdit*>(widget)) {
        return memo->toPlainText();
    }
    if (const auto* combo = qobject_cast<const QComboBox*>(widget)) {
        return combo->currentText();
    }
    if (const auto* tabs = qobject_cast<const QTabWidget*>(widget)) {
        return tabs->tabText(0);
    }
    return {};
}

// Code points of the first `count` characters.
std::vector<char16_t> Head(const QString& text, int count) {
    std::vector<char16_t> points;
    for (int i = 0; i < count && i < text.size(); ++i) {
        points.push_back(text[i].unicode());
    }
    return points;
}

const std::vector<char16_t> CyrillicSOM{u'\u0421', u'\u041E', u'\u041C'};

} // namespace

TEST_F(ControlsTest, EveryControlHasItsParentCaptionAndVisibility) {
    TForm1& w = Open();
    struct Row {
        const char* name;
        const char* parent; // "Client" is the window's client area
        const char* caption;
        bool visible;
    };
    // Captions as they stand once the window has been created and loaded.
    const Row rows[] = {
        {"StatusBar1", "Client", "", true},
        {"PageControl1", "Client", "КОМАНДЫ", true},
        {"Memo1", "TabSheet1", "", true},
        {"ComandComboBox", "TabSheet1", "Cчитать атрибуты", false},
        {"Button1", "TabSheet1", "ПОСЛАТЬ КОМАНДУ", false},
        {"Label12", "TabSheet1", "НОВЫЙ ЗАВОДСКОЙ №", false},
        {"GroupBox4", "TabSheet1", "ПОКАЗАНИЯ", true},
        {"Button3", "GroupBox4", "СЧИТАТЬ ПОКАЗАНИЯ", true},
        {"Button4", "GroupBox4", "СЧИТАТЬ СИГНАТУРУ", true},
        {"GroupBox1", "GroupBox4", "СИГНАЛЫ", true},
        {"Label2", "GroupBox1", "TxD", true},
        {"TXD_SHAPE", "GroupBox1", "", true},
        {"Label3", "GroupBox1", "RxD", true},
        {"RXD_SHAPE", "GroupBox1", "", true},
        {"GroupBox6", "TabSheet1", "СИГНАТУРА ПРИБОРА", false},
        {"Label11", "GroupBox6", "НОВЫЙ АДРЕС", false},
        {"Edit2", "GroupBox6", "1", false},
        {"Button2", "TabSheet1", "ЗАПРАШИВАТЬ ЦИКЛИЧЕСКИ", false},
        {"Edit1", "TabSheet1", "1000", false},
        {"Edit3", "TabSheet1", "65535", false},
        {"GroupBox2", "TabSheet1", "КАЛИБРОВКА", true},
        {"GroupBox3", "GroupBox2", "КАНАЛ 1", true},
        {"Label1", "GroupBox3", "С1", true},
        {"Label4", "GroupBox3", "С2", true},
        {"FloatNumEdit1", "GroupBox3", "0", true},
        {"FloatNumEdit2", "GroupBox3", "0", true},
        {"Button5", "GroupBox3", "Считать", true},
        {"Button6", "GroupBox3", "Калибровать", true},
        {"Button7", "GroupBox3", "Считать", true},
        {"Button8", "GroupBox3", "Калибровать", true},
        {"GroupBox5", "GroupBox2", "КАНАЛ 2", true},
        {"Label5", "GroupBox5", "С1", true},
        {"Label6", "GroupBox5", "С2", true},
        {"FloatNumEdit3", "GroupBox5", "0", true},
        {"FloatNumEdit4", "GroupBox5", "0", true},
        {"Button9", "GroupBox5", "Считать", true},
        {"Button10", "GroupBox5", "Калибровать", true},
        {"Button11", "GroupBox5", "Считать", true},
        {"Button12", "GroupBox5", "Калибровать", true},
        {"StaticText1", "Client", "", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto* widget = w.findChild<QWidget*>(QString::fromLatin1(row.name));
        ASSERT_NE(widget, nullptr);
        ASSERT_NE(widget->parentWidget(), nullptr);
        EXPECT_EQ(widget->parentWidget()->objectName(), QString::fromLatin1(row.parent));
        EXPECT_EQ(Caption(widget), QString::fromUtf8(row.caption));
        EXPECT_EQ(widget->isVisible(), row.visible);
        EXPECT_TRUE(widget->isEnabled()); // nothing is disabled on its own at start
    }
    EXPECT_EQ(w.Client->window(), &w);
    EXPECT_EQ(w.TXD_SHAPE->BrushColor(), Qt::white);
    EXPECT_EQ(w.RXD_SHAPE->BrushColor(), Qt::white);
    EXPECT_EQ(w.PageControl1->count(), 1);
    EXPECT_EQ(w.ComandComboBox->count(), 7);

    // Fixed size, no maximise button, the caption of creation.
    EXPECT_EQ(w.Client->size(), QSize(874, 412));
    EXPECT_EQ(w.minimumSize(), w.maximumSize());
    EXPECT_FALSE(w.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(w.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_EQ(w.windowTitle(), "ОРБЕЛ (версия 2008)");

    // Timers: only LOGO runs.
    struct TimerRow {
        const TTimer* timer;
        std::uint32_t interval;
        bool enabled;
    };
    for (const TimerRow& t : {TimerRow{w.LOGO, 1500, true}, TimerRow{w.Time_is_out, 270, false},
                              TimerRow{w.TXD_T, 100, false}, TimerRow{w.RXD_T, 100, false},
                              TimerRow{w.Clicker, 1300, false}, TimerRow{w.CYCLE, 1000, false}}) {
        EXPECT_EQ(t.timer->Interval(), t.interval);
        EXPECT_EQ(t.timer->Enabled(), t.enabled);
    }

    // The port object as the design gives it: closed, COM1, 9600 8 mark 1.
    const TComPort& port = *w.ComPort1;
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(port.Port(), "COM1");
    EXPECT_EQ(port.BaudRate(), br9600);
    EXPECT_EQ(port.DataBits(), dbEight);
    EXPECT_EQ(port.StopBits(), sbOneStopBit);
    EXPECT_EQ(port.Parity().Bits(), prMark);
    EXPECT_TRUE(port.Events().Empty());
    EXPECT_EQ(port.FlowControl().ControlDTR(), dtrDisable);
    EXPECT_EQ(port.FlowControl().ControlRTS(), rtsDisable);
    EXPECT_FALSE(port.FlowControl().XonXoffOut());
    EXPECT_FALSE(port.FlowControl().XonXoffIn());
    EXPECT_EQ(port.Timeouts().ReadTotalMultiplier(), 7);
    EXPECT_EQ(port.Timeouts().WriteTotalMultiplier(), 200);
}

TEST_F(ControlsTest, MenuItemsTheirMarksAndGroups) {
    TForm1& w = Open();
    EXPECT_EQ(w.N1->title(), "СОМ Порт");
    EXPECT_EQ(Head(w.N1->title(), 3), CyrillicSOM);
    const QList<QAction*> items = w.N1->actions();
    ASSERT_EQ(items.size(), 7);
    EXPECT_EQ(items[0], w.COM11);
    EXPECT_EQ(items[3], w.COM41);
    EXPECT_EQ(items[4], w.N2->menuAction());
    EXPECT_TRUE(items[5]->isSeparator());
    EXPECT_EQ(items[6], w.C1);
    const char* const ports[] = {"COM 1", "COM 2", "COM 3", "COM 4"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(items[i]->text(), QString::fromLatin1(ports[i])); // Latin letters
        EXPECT_TRUE(items[i]->isCheckable());
        EXPECT_FALSE(items[i]->isChecked());
    }
    EXPECT_EQ(w.N2->title(), "Формирование Таймаутов");
    EXPECT_EQ(w.SoftWare1->text(), "Програмно");
    EXPECT_EQ(w.SystemBus1->text(), "Системная шина");
    EXPECT_TRUE(w.SoftWare1->isChecked());
    EXPECT_FALSE(w.SystemBus1->isChecked());
    EXPECT_EQ(w.C1->text(), "Cохранить настройки");
    EXPECT_EQ(w.C1->text()[0].unicode(), u'C');
    EXPECT_EQ(w.C1->text()[1].unicode(), u'\u043E');
    EXPECT_FALSE(w.C1->isCheckable());

    // A mark set from code clears the other marks of its own group only.
    w.COM31->setChecked(true);
    w.COM21->setChecked(true);
    EXPECT_FALSE(w.COM31->isChecked());
    w.SystemBus1->setChecked(true);
    EXPECT_FALSE(w.SoftWare1->isChecked());
    EXPECT_TRUE(w.COM21->isChecked());
}

TEST_F(ControlsTest, LookAlikeLettersByCodePoint) {
    Instrument(1);
    WriteUserIni("COM1\r\n1\r\n");
    TForm1& w = Open();
    // Latin C: the selector's first item and the serial number memo line.
    EXPECT_EQ(w.ComandComboBox->itemText(0)[0].unicode(), u'C');
    EXPECT_EQ(w.ComandComboBox->itemText(0)[1].unicode(), u'\u0447');
    w.Button4Click();
    const QStringList memo = MemoLines();
    ASSERT_EQ(memo.size(), 5);
    EXPECT_TRUE(memo[2].startsWith("Cерийный № "));
    EXPECT_EQ(memo[2][0].unicode(), u'C');
    EXPECT_EQ(memo[2][1].unicode(), u'\u0435');
    // Cyrillic С of the calibration rows.
    for (const QLabel* label : {w.Label1, w.Label4, w.Label5, w.Label6}) {
        EXPECT_EQ(label->text()[0].unicode(), u'\u0421') << label->objectName().toStdString();
    }
    // Cyrillic СОМ of both port boxes.
    boxes.answers = {TMsgAnswer::Cancel};
    w.COM41->trigger(); // COM4 leads nowhere
    ASSERT_EQ(boxes.shown.size(), 1U);
    EXPECT_EQ(boxes.shown[0].text, "Не могу открыть СОМ 4\rWritten by Dravik");
    EXPECT_EQ(Head(boxes.shown[0].text.mid(16), 3), CyrillicSOM);
    boxes.answers = {TMsgAnswer::Cancel};
    w.Button4Click();
    ASSERT_EQ(boxes.shown.size(), 2U);
    EXPECT_EQ(boxes.shown[1].text, "СОМ Порт не активен !!!\r Written by Dravik");
    EXPECT_EQ(Head(boxes.shown[1].text, 3), CyrillicSOM);
}

TEST_F(ControlsTest, StartUpWithoutSettingsFile) {
    TForm1& w = Open(false);
    TForm2 form2(&w); // as the program entry makes it: never shown with its parent
    EXPECT_FALSE(w.isEnabled());
    EXPECT_TRUE(w.Memo1->toPlainText().isEmpty());
    EXPECT_TRUE(w.StaticText1->text().isEmpty());
    EXPECT_TRUE(Panel1().isEmpty());
    EXPECT_EQ(w.Edit3->text(), "65535");
    EXPECT_EQ(w.Edit2->text(), "1");
    EXPECT_EQ(w.ComandComboBox->currentIndex(), 0);
    // Clicks on the disabled window go nowhere (an enabled one would show the
    // port box here, which the recording boxes would flag).
    QTest::mouseClick(w.Button4, Qt::LeftButton);
    QTest::mouseClick(w.Button3, Qt::LeftButton);
    EXPECT_EQ(w.ReadingFlag(), 0);

    ASSERT_TRUE(WaitFor([&] { return w.isEnabled(); }));
    EXPECT_FALSE(w.ComPort1->Connected());
    for (QAction* item : {w.COM11, w.COM21, w.COM31, w.COM41}) {
        EXPECT_FALSE(item->isChecked());
    }
    EXPECT_TRUE(w.SoftWare1->isChecked());
    EXPECT_FALSE(w.SystemBus1->isChecked());
    EXPECT_TRUE(Panel0().isEmpty());
    EXPECT_TRUE(Panel1().isEmpty());
    EXPECT_TRUE(w.Memo1->toPlainText().isEmpty());
    EXPECT_TRUE(w.StaticText1->text().isEmpty());
    EXPECT_EQ(w.Edit3->text(), "65535");
    EXPECT_EQ(w.ComandComboBox->currentIndex(), 0);
    EXPECT_FALSE(form2.isVisible());
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(ControlsTest, WindowStaysDisabledWhileTheLoadShowsABox) {
    // A file that opens but cannot be read: reading the process's own memory
    // at offset 0 fails.
    std::filesystem::create_symlink("/proc/self/mem", dir / "user.ini");
    bool disabledInBox = false;
    boxes.whileOpen = [&] { disabledInBox = form && !form->isEnabled(); };
    boxes.answers = {TMsgAnswer::Cancel};
    TForm1& w = Open(false);
    ASSERT_TRUE(WaitFor([&] { return w.isEnabled(); }));
    ASSERT_EQ(boxes.shown.size(), 1U);
    EXPECT_TRUE(disabledInBox);
    EXPECT_EQ(boxes.shown[0].text, "Ошибка чтения из файла\r Written by Dravik");
    EXPECT_EQ(boxes.shown[0].kind, TMsgKind::Error);
    EXPECT_EQ(boxes.shown[0].buttons, TMsgButtons::Cancel);
    EXPECT_TRUE(w.SoftWare1->isChecked());
    EXPECT_FALSE(w.ComPort1->Connected());
}

TEST_F(ControlsTest, AFolderNamedUserIniIsNoSettingsFile) {
    std::filesystem::create_directory(dir / "user.ini");
    TForm1& w = Open();
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(w.isEnabled());
    EXPECT_TRUE(w.SoftWare1->isChecked());
}

TEST_F(ControlsTest, TheToolkitsBoxDuringTheLoadTakesAClickAlthoughTheWindowIsDisabled) {
    SetMessageBoxes(nullptr);      // the real boxes, clicked like a person would
    WriteUserIni("COM3\r\n1\r\n"); // nothing answers as COM3
    QString shownText;
    bool boxEnabled = false;
    bool windowDisabled = false;
    int ticksWithBox = 0;
    QTimer operatorHand;
    operatorHand.setInterval(20);
    QObject::connect(&operatorHand, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            return;
        }
        if (ticksWithBox++ == 0) {
            shownText = box->text();
            boxEnabled = box->isEnabled();
            windowDisabled = form && !form->isEnabled();
            QTest::mouseClick(box->button(QMessageBox::Cancel), Qt::LeftButton);
        } else if (ticksWithBox > 50) {
            box->reject(); // the click did not take: end the box, the test fails
        }
    });
    operatorHand.start();
    TForm1& w = Open(false);
    ASSERT_TRUE(WaitFor([&] { return w.isEnabled(); }, 5000));
    EXPECT_EQ(shownText, "Не могу открыть СОМ 3\nWritten by Dravik");
    EXPECT_TRUE(boxEnabled);
    EXPECT_TRUE(windowDisabled);
    EXPECT_EQ(ticksWithBox, 1); // gone with the first click
}

TEST_F(ControlsTest, WindowClosedBeforeTheLoadLeavesNoTimerBehind) {
    WriteUserIni("COM1\r\n1\r\n");
    SimThread& sim = Instrument(1);
    Open(false);
    form.reset();
    Pump(1300); // the start-up timer must not tick into a window that is gone
    EXPECT_TRUE(boxes.shown.empty());
    // No load ran: the port the file names was never opened and its device is free.
    const int fd = ::open(sim.DevicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fd, 0) << std::strerror(errno);
    EXPECT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    ::close(fd);
}

TEST_F(ControlsTest, ClosingTheWindowClosesAnOpenPort) {
    Instrument(2);
    WriteUserIni("COM2\r\n1\r\n");
    TForm1& w = Open();
    ASSERT_TRUE(w.ComPort1->Connected());
    w.close();
    EXPECT_FALSE(w.ComPort1->Connected());
}

TEST_F(ControlsTest, TabLeavesTheMemoAndEnterPressesTheFocusedButton) {
    TForm1& w = Open();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    w.Memo1->setFocus();
    ASSERT_TRUE(w.Memo1->hasFocus());
    QTest::keyClick(w.Memo1, Qt::Key_Tab);
    EXPECT_FALSE(w.Memo1->hasFocus());
    EXPECT_FALSE(w.Memo1->toPlainText().contains(u'\t'));

    // Space, Enter and the keypad's Enter each press the focused button once.
    struct Key {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
    };
    int expected = 0;
    for (const Key k : {Key{Qt::Key_Space, Qt::NoModifier}, Key{Qt::Key_Return, Qt::NoModifier},
                        Key{Qt::Key_Enter, Qt::KeypadModifier}}) {
        w.Button3->setFocus();
        QTest::keyClick(w.Button3, k.key, k.modifiers);
        expected = 1 - expected;
        EXPECT_EQ(w.ReadingFlag(), expected) << k.key;
    }
    w.Button3Click(); // stops the reading the last key started
    EXPECT_EQ(w.ReadingFlag(), 0);
}
