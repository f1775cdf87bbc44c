// End to end: operator actions in the real window, bytes checked on the
// simulated instrument's side, results checked on the window.
#include "WindowFixture.h"

#include "ui/FloatNumEdit.h"
#include "ui/TShape.h"
#include "ui/TTimer.h"
#include "ui/TypeAheadGuard.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <chrono>

using namespace orbel;

using Bytes = std::vector<std::uint8_t>;

namespace {

class ExchangeTest : public WindowFixture {
protected:
    SimThread* sim = nullptr;

    // The window with COM1 open on a simulated instrument.
    TForm1& Connected(const std::function<void(SimThread::Options&)>& shape = {}) {
        SimThread::Options options;
        if (shape) {
            shape(options);
        }
        sim = &Instrument(1, options);
        WriteUserIni("COM1\r\n1\r\n");
        TForm1& window = Open();
        EXPECT_TRUE(window.ComPort1->Connected());
        return window;
    }

    Bytes LastRequest() const {
        const auto received = sim->Received();
        return received.empty() ? Bytes{} : received.back().bytes;
    }
};

} // namespace

TEST_F(ExchangeTest, SignatureShowsFiveLinesTheSerialAndTheBytes) {
    TForm1& w = Connected([](auto& o) {
        o.address = 1;
        o.type = 1;
        o.serial = 42;
        o.hard = 1;
        o.soft = 3;
    });
    w.Button4Click();
    EXPECT_EQ(LastRequest(), (Bytes{0xFF, 0x20, 0x01, 0x99, 0xF0}));
    EXPECT_EQ(MemoLines(), (QStringList{"Адрес прибора 1", "Тип прибора 1", "Cерийный № 42",
                                        "Версия HARD 1", "Версия SOFT 3"}));
    EXPECT_EQ(w.Edit3->text(), "42");
    EXPECT_EQ(w.StaticText1->text(), "Послано:   255 32 1 153 240 ");
    EXPECT_TRUE(Panel1().startsWith("Принято:   1 32 6 1 0 42 1 3 "));
    EXPECT_EQ(w.RXD_SHAPE->BrushColor(), QColor(255, 0, 0));
    EXPECT_FALSE(w.Time_is_out->Enabled());
    // Both indicators go back to white on their own.
    EXPECT_TRUE(WaitFor([&] {
        return w.RXD_SHAPE->BrushColor() == Qt::white && w.TXD_SHAPE->BrushColor() == Qt::white;
    }));
    Pump(350);
    EXPECT_EQ(w.NoReplyCount(), 0);
}

TEST_F(ExchangeTest, EachCommandPutsExactlyItsBytesOnTheLine) {
    TForm1& w = Connected();
    w.Button5Click();
    EXPECT_EQ(LastRequest(), (Bytes{0xFF, 0xA5, 0x04, 0xB6, 0x00, 0x08, 0xB9, 0x1D}));
    w.Button11Click();
    EXPECT_EQ(LastRequest(), (Bytes{0xFF, 0xA5, 0x04, 0xB6, 0x00, 0x08, 0xB9, 0x1D}));
    w.ClickerTimer();
    EXPECT_EQ(LastRequest(), (Bytes{0xFF, 0x02, 0x01, 0x81, 0x50}));

    // Each calibration button: its tank question, then its point with its field's value.
    const struct {
        void (TForm1::*click)();
        TFloatNumEdit* field;
        const char* question;
        Bytes request;
    } buttons[] = {{&TForm1::Button6Click,
                    w.FloatNumEdit1,
                    "Убедитесь в том что резервуар 1 опустошен не более 10% и нажмите YES",
                    {0xFF, 0xA4, 0x05, 0xA0, 0x00, 0x01, 0xF4, 0xE3, 0x3C}},
                   {&TForm1::Button8Click,
                    w.FloatNumEdit2,
                    "Убедитесь в том что резервуар 1 заполнен не менее 90% и нажмите YES",
                    {0xFF, 0xA4, 0x05, 0xA0, 0x01, 0x01, 0xF4, 0xB2, 0xFC}},
                   {&TForm1::Button10Click,
                    w.FloatNumEdit3,
                    "Убедитесь в том что резервуар 2 опустошен не более 10% и нажмите YES",
                    {0xFF, 0xA4, 0x05, 0xA0, 0x02, 0x01, 0xF4, 0x42, 0xFC}},
                   {&TForm1::Button12Click,
                    w.FloatNumEdit4,
                    "Убедитесь в том что резервуар 2 заполнен не менее 90% и нажмите YES",
                    {0xFF, 0xA4, 0x05, 0xA0, 0x03, 0x01, 0xF4, 0x13, 0x3C}}};
    for (const auto& button : buttons) {
        boxes.answers = {TMsgAnswer::Yes};
        boxes.shown.clear();
        button.field->setText("50");
        (w.*button.click)();
        ASSERT_EQ(boxes.shown.size(), 1U);
        EXPECT_EQ(boxes.shown[0].text, QString::fromUtf8(button.question));
        EXPECT_EQ(boxes.shown[0].kind, TMsgKind::Warning);
        EXPECT_EQ(boxes.shown[0].buttons, TMsgButtons::YesNo);
        EXPECT_EQ(LastRequest(), button.request);
    }
    EXPECT_EQ(MemoLines(), QStringList{"Операция выполнена"});
}

TEST_F(ExchangeTest, CalibrationValuesAreRoundedHalfToEvenInTenths) {
    TForm1& w = Connected();
    struct Case {
        const char* text;
        std::uint8_t high, low;
    };
    for (const Case c :
         {Case{"12,25", 0, 122}, Case{"12,75", 0, 128}, Case{"0,05", 0, 1}, Case{"0,15", 0, 1},
          Case{"0,35", 0, 3}, Case{"0,1", 0, 1}, Case{"6553,5", 255, 255}, Case{"0", 0, 0}}) {
        boxes.answers = {TMsgAnswer::Yes};
        w.FloatNumEdit3->setText(QString::fromUtf8(c.text));
        w.Button10Click();
        const Bytes line = LastRequest();
        ASSERT_EQ(line.size(), 9U) << c.text;
        EXPECT_EQ(line[4], 2) << c.text; // channel 2, C1
        EXPECT_EQ(line[5], c.high) << c.text;
        EXPECT_EQ(line[6], c.low) << c.text;
    }
}

TEST_F(ExchangeTest, ValuesTheFrameCannotCarryAreRefusedBeforeTheQuestion) {
    TForm1& w = Connected();
    const std::size_t before = sim->Received().size();
    for (const char* text : {"", "abc", "-1", "6553,6", "1E9"}) {
        boxes.answers = {TMsgAnswer::Cancel};
        w.FloatNumEdit2->setText(QString::fromUtf8(text));
        w.Button8Click();
        ASSERT_FALSE(boxes.shown.empty());
        EXPECT_EQ(boxes.shown.back().text,
                  "Недопустимое значение калибровки\rДопустимы значения от 0 до 6553,5")
            << text;
        EXPECT_EQ(boxes.shown.back().kind, TMsgKind::Error);
        EXPECT_EQ(boxes.shown.back().buttons, TMsgButtons::Cancel);
    }
    EXPECT_EQ(boxes.shown.size(), 5U); // no tank question came
    Pump(50);
    EXPECT_EQ(sim->Received().size(), before);

    // The range follows the user's decimal separator.
    TRegionalSettings regional;
    regional.DecimalSeparator = u'.';
    SetRegionalSettingsForTests(regional);
    boxes.answers = {TMsgAnswer::Cancel};
    w.FloatNumEdit2->setText("7000.5");
    w.Button8Click();
    EXPECT_TRUE(boxes.shown.back().text.endsWith("от 0 до 6553.5"));
}

TEST_F(ExchangeTest, DecliningTheTankQuestionSendsNothing) {
    TForm1& w = Connected();
    const QStringList memo = MemoLines();
    for (TMsgAnswer answer : {TMsgAnswer::No, TMsgAnswer::None}) {
        boxes.answers = {answer};
        w.Button6Click();
    }
    Pump(50);
    EXPECT_TRUE(sim->Received().empty());
    EXPECT_EQ(MemoLines(), memo);
    EXPECT_EQ(w.StaticText1->text(), "");
}

// The real question box, with real keys, on a clock the test moves.
TEST_F(ExchangeTest, ADoubleEnterOnCalibrateDoesNotAnswerTheQuestion) {
    using namespace std::chrono_literals;
    TForm1& w = Connected();
    w.FloatNumEdit1->setText("12,5");
    TTypeAheadGuard::TimePoint now{1h};
    SetTypeAheadClock([&] { return now; });
    SetMessageBoxes(nullptr);
    const struct Restore {
        RecordingBoxes& boxes;
        ~Restore() {
            SetMessageBoxes(&boxes);
            SetTypeAheadClock({});
        }
    } restore{boxes};
    const struct {
        std::chrono::milliseconds second; // the second Enter, after the box came up
        std::size_t sent;                 // requests the instrument has seen then
    } rows[] = {{0ms, 0}, {150ms, 0}, {300ms, 1}};
    for (const auto& row : rows) {
        QTimer second;
        QObject::connect(&second, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr) {
                return;
            }
            second.stop();
            const auto shown = now;
            now = shown + row.second;
            QTest::keyClick(box, Qt::Key_Return);
            if (box->isVisible()) { // not answered: the operator reads, then declines
                now = shown + 1s;
                QTest::keyClick(box, Qt::Key_Escape);
            }
        });
        second.start(5);
        QTest::keyClick(w.Button6, Qt::Key_Return); // the first Enter asks the question
        Pump(50);
        EXPECT_EQ(sim->Received().size(), row.sent) << row.second.count() << " ms";
    }
    const Bytes line = LastRequest(); // the deliberate one: 125 tenths
    ASSERT_EQ(line.size(), 9U);
    EXPECT_EQ(line[5], 0);
    EXPECT_EQ(line[6], 125);
}

TEST_F(ExchangeTest, ReadingsFollowTheSensorStatusWithTheRegionalSeparator) {
    TForm1& w = Connected([](auto& o) {
        o.status = 0;
        o.readings = {1000, 500, 100, 50};
    });
    w.ClickerTimer();
    EXPECT_EQ(MemoLines(), (QStringList{"КАНАЛ1 :", "Уровень=100,0%", "Объем=50,0%", "",
                                        "КАНАЛ2 :", "Уровень=10,0%", "Объем=5,0%"}));
    sim->Update([](auto& o) { o.status = 1; });
    w.ClickerTimer();
    EXPECT_EQ(MemoLines(), (QStringList{"КАНАЛ1 :", "Нет сигнала с датчика", "",
                                        "КАНАЛ2 :", "Уровень=10,0%", "Объем=5,0%"}));
    sim->Update([](auto& o) { o.status = 2; });
    w.ClickerTimer();
    EXPECT_EQ(MemoLines(), (QStringList{"КАНАЛ1 :", "Уровень=100,0%", "Объем=50,0%", "",
                                        "КАНАЛ2 :", "Нет сигнала с датчика"}));
    sim->Update([](auto& o) { o.status = 3; });
    w.ClickerTimer();
    EXPECT_EQ(MemoLines(), (QStringList{"КАНАЛ1 :", "Нет сигнала с датчика", "",
                                        "КАНАЛ2 :", "Нет сигнала с датчика"}));
}

TEST_F(ExchangeTest, OneReadFillsAllFourCoefficientsAndCalibrationIsReadBack) {
    TForm1& w = Connected([](auto& o) { o.coeffs = {50, 900, 55, 905}; });
    w.Button9Click();
    EXPECT_EQ(w.FloatNumEdit1->text(), "5");
    EXPECT_EQ(w.FloatNumEdit2->text(), "90");
    EXPECT_EQ(w.FloatNumEdit3->text(), "5,5");
    EXPECT_EQ(w.FloatNumEdit4->text(), "90,5");
    boxes.answers = {TMsgAnswer::Yes};
    w.FloatNumEdit2->setText("87,5");
    w.Button8Click();
    w.FloatNumEdit2->setText("0");
    w.Button7Click();
    EXPECT_EQ(w.FloatNumEdit2->text(), "87,5");
}

TEST_F(ExchangeTest, AltReplyOnlyLightsTheIndicatorAndShowsTheBytes) {
    TForm1& w = Connected([](auto& o) { o.address = 255; });
    w.Button4Click();
    const QStringList memo = MemoLines();
    sim->Update([](auto& o) { o.altReply = true; });
    w.FloatNumEdit1->setText("1");
    w.Button5Click();
    EXPECT_EQ(Panel1(), "Принято:   255 250 2 1 208 161 ");
    EXPECT_EQ(MemoLines(), memo);
    EXPECT_EQ(w.FloatNumEdit1->text(), "1");
    EXPECT_EQ(w.RXD_SHAPE->BrushColor(), QColor(255, 0, 0));
    Pump(350);
    EXPECT_EQ(w.NoReplyCount(), 0);
}

TEST_F(ExchangeTest, CorruptedReplyChangesNothingThenReportsNoReply) {
    TForm1& w = Connected([](auto& o) { o.corruptEvery = 1; });
    w.FloatNumEdit1->setText("7");
    w.Button5Click();
    EXPECT_EQ(w.FloatNumEdit1->text(), "7");
    EXPECT_EQ(Panel1(), "");
    EXPECT_EQ(w.RXD_SHAPE->BrushColor(), Qt::white);
    EXPECT_TRUE(w.Time_is_out->Enabled());
    EXPECT_TRUE(WaitFor([&] { return Panel1() == "Не отвечает (1)"; }));
    EXPECT_EQ(w.NoReplyCount(), 1);
}

TEST_F(ExchangeTest, NoReplyCountIsCumulativeAndNotResetByAnAcceptedReply) {
    TForm1& w = Connected([](auto& o) { o.silent = true; });
    for (int expected = 1; expected <= 2; ++expected) {
        w.Button4Click();
        EXPECT_TRUE(WaitFor([&] { return w.NoReplyCount() == expected; }));
        EXPECT_EQ(Panel1(), QStringLiteral("Не отвечает (%1)").arg(expected));
        EXPECT_TRUE(MemoLines().isEmpty());
    }
    sim->Update([](auto& o) { o.silent = false; });
    w.Button4Click();
    EXPECT_EQ(MemoLines().size(), 5);
    Pump(350);
    sim->Update([](auto& o) { o.silent = true; });
    w.Button4Click();
    EXPECT_EQ(Panel1(), ""); // the dispatch cleared the accepted reply's bytes
    EXPECT_TRUE(WaitFor([&] { return Panel1() == "Не отвечает (3)"; }));
}

TEST_F(ExchangeTest, EighthNoReplyEnablesTheWindow) {
    TForm1& w = Connected([](auto& o) { o.silent = true; });
    w.setEnabled(false);
    for (int i = 1; i <= 8; ++i) {
        w.Time_is_outTimer();
        EXPECT_EQ(w.isEnabled(), i > 7) << i;
    }
}
