// End to end on Windows: the operator's actions in the real window, through
// the Win32 serial platform, on COM ports mapped to simulated instruments.
// What the instrument saw is read from the window's own record of the bytes
// sent and received.
#include "WindowOnPorts.h"

#include "ui/FloatNumEdit.h"
#include "ui/TTimer.h"
#include "ui/WindowPlacement.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>

using namespace orbel;

namespace {

const QStringList SignatureLines{"Адрес прибора 1", "Тип прибора 1", "Cерийный № 42",
                                 "Версия HARD 1", "Версия SOFT 3"};
const QString PortNotActive = QStringLiteral("СОМ Порт не активен !!!\r Written by Dravik");

class WindowTest : public WindowOnPorts {
protected:
    QAction* PortItem(int n) const {
        QAction* const items[] = {form->COM11, form->COM21, form->COM31, form->COM41};
        return items[n - 1];
    }
    QString PortName(int n) const { return QStringLiteral("COM%1").arg(n); }

    // The window with the instrument's port open from "user.ini".
    TForm1& Connected() {
        WriteUserIni("COM" + std::to_string(instrument) + "\r\n1\r\n");
        TForm1& w = Open();
        EXPECT_TRUE(w.ComPort1->Connected());
        return w;
    }

    // Clears the memo and waits until a reply has been decoded into it.
    bool NextReplyShown(int ms) {
        form->Memo1->clear();
        return WaitFor([&] { return !MemoLines().isEmpty(); }, ms);
    }
};

} // namespace

TEST_F(WindowTest, StartUpOpensTheSavedPortAfterTheStartUpTimer) {
    WriteUserIni("COM" + std::to_string(instrument) + "\r\n1\r\n");
    TForm1& w = Open(false);
    EXPECT_FALSE(w.isEnabled());
    ASSERT_TRUE(WaitFor([&] { return w.isEnabled(); }, 5000));
    EXPECT_TRUE(w.ComPort1->Connected());
    EXPECT_TRUE(PortItem(instrument)->isChecked());
    EXPECT_EQ(Panel0(), PortName(instrument));
    EXPECT_TRUE(w.SoftWare1->isChecked());
    EXPECT_TRUE(boxes.shown.empty());
}

// Wine without a window manager gives the window no frame of its own; the
// placement takes whatever frame the system reports.
TEST_F(WindowTest, TheWindowOpensWithItsFrameOnTheScreensAvailableArea) {
    TForm1& w = Open();
    ASSERT_TRUE(WaitFor([&] { return w.isVisible(); }));
    const QRect available = w.screen()->availableGeometry();
    const QRect frame = w.frameGeometry();
    EXPECT_EQ(frame.topLeft(), PlacedTopLeft(available, frame.size()));
    EXPECT_GE(frame.left(), available.left());
    EXPECT_GE(frame.top(), available.top());
}

TEST_F(WindowTest, PortMenuSwitchesAndTheSettingsAreSavedToUserIni) {
    // A menu port that the environment points at a port no system has.
    const int missing = instrument == 4 ? 3 : 4;
    PointMenuPortAt(missing, "COM99");
    TForm1& w = Open();
    EXPECT_FALSE(w.ComPort1->Connected());

    PortItem(instrument)->trigger();
    ASSERT_TRUE(w.ComPort1->Connected());
    EXPECT_EQ(Panel0(), PortName(instrument));
    w.SystemBus1->trigger();
    boxes.answers = {TMsgAnswer::Ok};
    w.C1->trigger();
    EXPECT_EQ(ReadUserIni(), "COM" + std::to_string(instrument) + "\r\n0\r\n");
    ASSERT_EQ(boxes.shown.size(), 1U);
    EXPECT_EQ(boxes.shown[0].text, "ТЕКУЩИЕ НАСТРОЙКИ СОХРАНЕНЫ");

    // A port that cannot be opened: its box, and the old port is closed.
    boxes.answers = {TMsgAnswer::Cancel};
    PortItem(missing)->trigger();
    ASSERT_EQ(boxes.shown.size(), 2U);
    EXPECT_EQ(boxes.shown[1].text,
              QStringLiteral("Не могу открыть СОМ %1\rWritten by Dravik").arg(missing));
    EXPECT_EQ(boxes.shown[1].kind, TMsgKind::Error);
    EXPECT_FALSE(w.ComPort1->Connected());
    EXPECT_TRUE(Panel0().isEmpty());

    // The instrument's port again, from the menu, and it answers.
    FreshLine("ORBEL_TEST_SIM_PORT");
    PortItem(instrument)->trigger();
    ASSERT_TRUE(w.ComPort1->Connected());
    w.Button4Click();
    EXPECT_EQ(MemoLines(), SignatureLines);
    EXPECT_EQ(boxes.shown.size(), 2U);
}

TEST_F(WindowTest, TheSavedPortIsAppliedAgainAfterARestart) {
    TForm1& w = Open();
    PortItem(instrument)->trigger();
    ASSERT_TRUE(w.ComPort1->Connected());
    boxes.answers = {TMsgAnswer::Ok};
    w.C1->trigger();
    form.reset(); // the program ends, and starts again in the same folder
    FreshLine("ORBEL_TEST_SIM_PORT");
    TForm1& again = Open();
    EXPECT_TRUE(again.ComPort1->Connected());
    EXPECT_TRUE(PortItem(instrument)->isChecked());
    EXPECT_EQ(ReadUserIni().substr(0, 6), "COM" + std::to_string(instrument) + "\r\n");
}

TEST_F(WindowTest, SignatureReadingsCoefficientsAndACalibration) {
    TForm1& w = Connected();
    w.Button4Click();
    EXPECT_EQ(MemoLines(), SignatureLines);
    EXPECT_EQ(w.Edit3->text(), "42");
    EXPECT_EQ(w.StaticText1->text(), "Послано:   255 32 1 153 240 ");
    EXPECT_TRUE(Panel1().startsWith("Принято:   1 32 6 1 0 42 1 3 ")) << Panel1().toStdString();

    w.ClickerTimer();
    const QStringList readings = MemoLines();
    ASSERT_EQ(readings.size(), 7) << readings.join(u'|').toStdString();
    const QRegularExpression level(QStringLiteral("^Уровень=\\d+,\\d%$"));
    const QRegularExpression volume(QStringLiteral("^Объем=\\d+,\\d%$"));
    EXPECT_EQ(readings[0], "КАНАЛ1 :");
    EXPECT_EQ(readings[4], "КАНАЛ2 :");
    for (int line : {1, 5}) {
        EXPECT_TRUE(level.match(readings[line]).hasMatch()) << readings[line].toStdString();
        EXPECT_TRUE(volume.match(readings[line + 1]).hasMatch())
            << readings[line + 1].toStdString();
    }
    EXPECT_EQ(w.StaticText1->text(), "Послано:   255 2 1 129 80 ");

    // The coefficients, then channel 1's C2 point taken with a new value and
    // read back; the instrument's own value is put back at the end.
    w.Button5Click();
    for (TFloatNumEdit* field :
         {w.FloatNumEdit1, w.FloatNumEdit2, w.FloatNumEdit3, w.FloatNumEdit4}) {
        EXPECT_FALSE(field->text().isEmpty());
    }
    const QString before = w.FloatNumEdit2->text();
    const QString taken = before == "87,5" ? "88,5" : "87,5";
    for (const QString& value : {taken, before}) {
        boxes.shown.clear();
        boxes.answers = {TMsgAnswer::Yes};
        w.FloatNumEdit2->setText(value);
        w.Button8Click();
        ASSERT_EQ(boxes.shown.size(), 1U);
        EXPECT_EQ(boxes.shown[0].text,
                  "Убедитесь в том что резервуар 1 заполнен не менее 90% и нажмите YES");
        EXPECT_EQ(boxes.shown[0].buttons, TMsgButtons::YesNo);
        EXPECT_TRUE(w.StaticText1->text().startsWith("Послано:   255 164 5 160 1 "));
        EXPECT_EQ(MemoLines(), QStringList{"Операция выполнена"});
        w.FloatNumEdit2->setText("0");
        w.Button7Click();
        EXPECT_EQ(w.FloatNumEdit2->text(), value);
    }
    EXPECT_EQ(w.NoReplyCount(), 0);
}

TEST_F(WindowTest, ContinuousReadingPollsUntilStopped) {
    TForm1& w = Connected();
    w.Clicker->SetInterval(300);
    w.Button3Click();
    EXPECT_EQ(w.Button3->text(), "ОСТАНОВИТЬ ЧТЕНИЕ ПОКАЗАНИЙ");
    EXPECT_FALSE(w.Button4->isEnabled());
    for (int poll = 0; poll < 2; ++poll) {
        ASSERT_TRUE(NextReplyShown(3000)) << "poll " << poll;
        EXPECT_EQ(MemoLines().value(0), "КАНАЛ1 :");
    }
    w.Button3Click();
    EXPECT_EQ(w.Button3->text(), "СЧИТАТЬ ПОКАЗАНИЯ");
    EXPECT_TRUE(w.Button4->isEnabled());
    EXPECT_FALSE(NextReplyShown(1000)); // nothing is asked once stopped
    EXPECT_EQ(w.NoReplyCount(), 0);
}

TEST_F(WindowTest, ALineLostWhileReadingIsToldOnceAndALaterRequestSendsNothing) {
    const char* port = std::getenv("ORBEL_TEST_WINDOW_HANGUP_PORT");
    if (port == nullptr || *port == '\0') {
        GTEST_SKIP() << "no instrument that hangs up mapped (ORBEL_TEST_WINDOW_HANGUP_PORT)";
    }
    const int lost = instrument == 2 ? 3 : 2; // the menu's port that stands for it
    PointMenuPortAt(lost, port);
    WriteUserIni("COM" + std::to_string(lost) + "\r\n1\r\n");
    TForm1& w = Open();
    ASSERT_TRUE(w.ComPort1->Connected());
    w.Clicker->SetInterval(500);
    boxes.answers = {TMsgAnswer::Cancel};
    w.Button3Click();
    ASSERT_TRUE(WaitFor([&] { return !w.ComPort1->Connected(); }, 8000));
    EXPECT_EQ(w.ReadingFlag(), 0); // the reading stopped with the device
    EXPECT_FALSE(PortItem(lost)->isChecked());
    EXPECT_TRUE(Panel0().isEmpty());
    ASSERT_EQ(boxes.shown.size(), 1U);
    const QStringList lines = boxes.shown[0].text.split(u'\r');
    ASSERT_EQ(lines.size(), 3) << boxes.shown[0].text.toStdString(); // words, error, reason
    EXPECT_EQ(lines[0], "СОМ Порт не активен !!!");
    EXPECT_TRUE(lines[1].startsWith(PortName(lost) + ": ")) << lines[1].toStdString();
    EXPECT_FALSE(lines[2].isEmpty());
    EXPECT_TRUE(WaitFor([&] { return w.NoReplyCount() == 1; }));

    w.StaticText1->clear();
    boxes.answers = {TMsgAnswer::Cancel};
    w.Button4Click();
    ASSERT_EQ(boxes.shown.size(), 2U);
    EXPECT_EQ(boxes.shown[1].text, PortNotActive);
    EXPECT_TRUE(w.StaticText1->text().isEmpty()); // nothing was sent
}
