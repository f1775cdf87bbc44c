#include "ui/Unit1.h"

#include "ui/ExceptionReport.h"
#include "ui/FloatNumEdit.h"
#include "ui/QtMainLoop.h"
#include "ui/TShape.h"
#include "ui/TTimer.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>

#include "protocol/CommandSet.h"

TForm1* Form1 = nullptr;

const char* const OrbelCaption = "ОРБЕЛ (версия 2008)";
const char* const CompanyText = "ООО \"Тальвер\"";

namespace {

// The only reference to the exchange worker; it lives as long as the window
// and is shut down cleanly with it.
std::unique_ptr<UART_THREAT> ExchangeThread;
// The window the worker serves (the worker reads its port and mode).
const TForm1* ExchangeHostWindow = nullptr;

template <typename T>
T* Place(T* widget, const char* name, int left, int top, int width = -1, int height = -1) {
    widget->setObjectName(QString::fromLatin1(name));
    if (width < 0) {
        widget->adjustSize();
        widget->move(left, top);
    } else {
        widget->setGeometry(left, top, width, height);
    }
    return widget;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, int left, int top,
                        int width, int height) {
    return Place(new QPushButton(QString::fromUtf8(caption), parent), name, left, top, width,
                 height);
}

QLabel* MakeLabel(QWidget* parent, const char* name, const char* caption, int left, int top) {
    return Place(new QLabel(QString::fromUtf8(caption), parent), name, left, top);
}

QGroupBox* MakeGroup(QWidget* parent, const char* name, const char* caption, int left, int top,
                     int width, int height) {
    return Place(new QGroupBox(QString::fromUtf8(caption), parent), name, left, top, width, height);
}

TFloatNumEdit* MakeNumEdit(QWidget* parent, const char* name, int left, int top) {
    auto* edit = new TFloatNumEdit(parent);
    edit->SetFormat(ffGeneral);
    edit->SetPrecision(8);
    edit->SetDigits(4);
    return Place(edit, name, left, top, 57, 21);
}

} // namespace

QString ApplicationTitle() {
    const QVariant title = qApp->property("OrbelApplicationTitle");
    return title.isValid() ? title.toString() : QCoreApplication::applicationName();
}

void SetApplicationTitle(const QString& title) {
    qApp->setProperty("OrbelApplicationTitle", title);
}

TForm1::TForm1(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString::fromUtf8(OrbelCaption));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    BuildControls();
    BuildMenu();
    BuildTimers();
    CreateComPort();
    setFixedSize(874, 412 + menuBar()->sizeHint().height());
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
    setEnabled(false); // until the saved settings have loaded
    if (Form1 == nullptr) {
        Form1 = this;
    }
    RunReported([this] { FormCreate(); });
}

TForm1::~TForm1() {
    // The start-up timer belongs to the application object: a window gone
    // before its tick must not be loaded by it.
    delete StartupTimer;
    StartupTimer = nullptr;
    if (ComPort1 && ComPort1->Connected()) {
        try {
            ComPort1->SetConnected(false);
        } catch (const std::exception&) {
            // The window is going away; nothing is left to report to.
        }
    }
    if (ExchangeHostWindow == this) {
        ExchangeThread.reset();
        ExchangeHostWindow = nullptr;
    }
    if (Form1 == this) {
        Form1 = nullptr;
    }
}

void TForm1::BuildControls() {
    Client = new QWidget(this);
    Client->setObjectName(QStringLiteral("Client"));
    Client->setFixedSize(874, 412);
    setCentralWidget(Client);

    StatusBar1 = Place(new QStatusBar(Client), "StatusBar1", 0, 393, 874, 19);
    StatusBar1->setSizeGripEnabled(false);
    StatusPanel0 = new QLabel(StatusBar1);
    StatusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
    StatusPanel0->setFixedWidth(40);
    StatusPanel1 = new QLabel(StatusBar1);
    StatusPanel1->setObjectName(QStringLiteral("StatusPanel1"));
    StatusBar1->addWidget(StatusPanel0);
    StatusBar1->addWidget(StatusPanel1, 1);

    PageControl1 = Place(new QTabWidget(Client), "PageControl1", 0, 0, 873, 369);
    TabSheet1 = new QWidget;
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    PageControl1->addTab(TabSheet1, QStringLiteral("КОМАНДЫ"));

    Memo1 =
        Place(new QPlainTextEdit(QStringLiteral("Memo1"), TabSheet1), "Memo1", 352, 0, 513, 333);
    QFont memoFont = Memo1->font();
    memoFont.setPointSize(14);
    Memo1->setFont(memoFont);
    QPalette memoPalette = Memo1->palette();
    memoPalette.setColor(QPalette::Text, Qt::blue);
    Memo1->setPalette(memoPalette);

    ComandComboBox = Place(new QComboBox(TabSheet1), "ComandComboBox", 496, 276, 349, 24);
    for (const char* item : CommandItemTexts) {
        ComandComboBox->addItem(QString::fromUtf8(item));
    }
    ComandComboBox->setVisible(false);
    Button1 = MakeButton(TabSheet1, "Button1", "ПОСЛАТЬ КОМАНДУ", 496, 306, 349, 41);
    Button1->setVisible(false);
    Label12 = MakeLabel(TabSheet1, "Label12", "НОВЫЙ ЗАВОДСКОЙ №", 560, 390);
    Label12->setVisible(false);

    GroupBox4 = MakeGroup(TabSheet1, "GroupBox4", "ПОКАЗАНИЯ", 0, 4, 349, 101);
    Button3 = MakeButton(GroupBox4, "Button3", "СЧИТАТЬ ПОКАЗАНИЯ", 12, 16, 245, 37);
    Button4 = MakeButton(GroupBox4, "Button4", "СЧИТАТЬ СИГНАТУРУ", 12, 56, 245, 33);
    GroupBox1 = MakeGroup(GroupBox4, "GroupBox1", "СИГНАЛЫ", 267, 19, 73, 62);
    Label2 = MakeLabel(GroupBox1, "Label2", "TxD", 11, 19);
    TXD_SHAPE = Place(new TShape(TShape::stCircle, GroupBox1), "TXD_SHAPE", 28, 18, 49, 17);
    Label3 = MakeLabel(GroupBox1, "Label3", "RxD", 11, 40);
    RXD_SHAPE = Place(new TShape(TShape::stCircle, GroupBox1), "RXD_SHAPE", 28, 38, 49, 17);

    GroupBox6 = MakeGroup(TabSheet1, "GroupBox6", "СИГНАТУРА ПРИБОРА", 532, 420, 241, 85);
    GroupBox6->setVisible(false);
    Label11 = MakeLabel(GroupBox6, "Label11", "НОВЫЙ АДРЕС", 84, 18);
    Edit2 = Place(new QLineEdit(QStringLiteral("Edit2"), GroupBox6), "Edit2", 24, 14, 53, 21);

    Button2 = MakeButton(TabSheet1, "Button2", "ЗАПРАШИВАТЬ ЦИКЛИЧЕСКИ", 496, 352, 257, 29);
    Button2->setVisible(false);
    Edit1 = Place(new QLineEdit(QStringLiteral("1000"), TabSheet1), "Edit1", 759, 356, 50, 21);
    Edit1->setVisible(false);
    Edit3 = Place(new QLineEdit(QStringLiteral("Edit3"), TabSheet1), "Edit3", 500, 386, 53, 21);
    Edit3->setVisible(false);

    GroupBox2 = MakeGroup(TabSheet1, "GroupBox2", "КАЛИБРОВКА", 0, 116, 345, 221);
    GroupBox3 = MakeGroup(GroupBox2, "GroupBox3", "КАНАЛ 1", 13, 21, 317, 89);
    Label1 = MakeLabel(GroupBox3, "Label1", "С1", 44, 24);
    Label4 = MakeLabel(GroupBox3, "Label4", "С2", 44, 52);
    FloatNumEdit1 = MakeNumEdit(GroupBox3, "FloatNumEdit1", 60, 20);
    FloatNumEdit2 = MakeNumEdit(GroupBox3, "FloatNumEdit2", 60, 48);
    Button5 = MakeButton(GroupBox3, "Button5", "Считать", 120, 20, 69, 21);
    Button6 = MakeButton(GroupBox3, "Button6", "Калибровать", 192, 20, 81, 21);
    Button7 = MakeButton(GroupBox3, "Button7", "Считать", 120, 48, 69, 21);
    Button8 = MakeButton(GroupBox3, "Button8", "Калибровать", 192, 48, 81, 21);
    GroupBox5 = MakeGroup(GroupBox2, "GroupBox5", "КАНАЛ 2", 13, 117, 317, 89);
    Label5 = MakeLabel(GroupBox5, "Label5", "С1", 44, 24);
    Label6 = MakeLabel(GroupBox5, "Label6", "С2", 44, 52);
    FloatNumEdit3 = MakeNumEdit(GroupBox5, "FloatNumEdit3", 60, 20);
    FloatNumEdit4 = MakeNumEdit(GroupBox5, "FloatNumEdit4", 60, 48);
    Button9 = MakeButton(GroupBox5, "Button9", "Считать", 120, 20, 69, 21);
    Button10 = MakeButton(GroupBox5, "Button10", "Калибровать", 192, 20, 81, 21);
    Button11 = MakeButton(GroupBox5, "Button11", "Считать", 120, 48, 69, 21);
    Button12 = MakeButton(GroupBox5, "Button12", "Калибровать", 192, 48, 81, 21);

    StaticText1 =
        Place(new QLabel(QStringLiteral("StaticText1"), Client), "StaticText1", 40, 376, 835, 17);
    StaticText1->setFrameStyle(QFrame::Panel | QFrame::Sunken);

    const auto on = [this](QPushButton* button, void (TForm1::*handler)()) {
        connect(button, &QPushButton::clicked, this,
                [this, handler] { RunReported([this, handler] { (this->*handler)(); }); });
    };
    on(Button1, &TForm1::Button1Click);
    on(Button2, &TForm1::Button2Click);
    on(Button3, &TForm1::Button3Click);
    on(Button4, &TForm1::Button4Click);
    on(Button5, &TForm1::Button5Click);
    on(Button6, &TForm1::Button6Click);
    on(Button7, &TForm1::Button7Click);
    on(Button8, &TForm1::Button8Click);
    on(Button9, &TForm1::Button9Click);
    on(Button10, &TForm1::Button10Click);
    on(Button11, &TForm1::Button11Click);
    on(Button12, &TForm1::Button12Click);
    connect(Edit1, &QLineEdit::textChanged, this,
            [this] { RunReported([this] { Edit1Change(); }); });
}

void TForm1::BuildMenu() {
    N1 = menuBar()->addMenu(QStringLiteral("СОМ Порт"));
    N1->setObjectName(QStringLiteral("N1"));
    PortGroup = new QActionGroup(this);
    PortGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    const auto portItem = [this](const char* name, const char* caption, void (TForm1::*handler)()) {
        QAction* item = N1->addAction(QString::fromUtf8(caption));
        item->setObjectName(QString::fromLatin1(name));
        item->setCheckable(true);
        PortGroup->addAction(item);
        connect(item, &QAction::triggered, this,
                [this, handler] { RunReported([this, handler] { (this->*handler)(); }); });
        return item;
    };
    COM11 = portItem("COM11", "COM 1", &TForm1::COM11Click);
    COM21 = portItem("COM21", "COM 2", &TForm1::COM21Click);
    COM31 = portItem("COM31", "COM 3", &TForm1::COM31Click);
    COM41 = portItem("COM41", "COM 4", &TForm1::COM41Click);

    N2 = N1->addMenu(QStringLiteral("Формирование Таймаутов"));
    N2->setObjectName(QStringLiteral("N2"));
    ModeGroup = new QActionGroup(this);
    ModeGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    SoftWare1 = N2->addAction(QStringLiteral("Програмно"));
    SoftWare1->setObjectName(QStringLiteral("SoftWare1"));
    SystemBus1 = N2->addAction(QStringLiteral("Системная шина"));
    SystemBus1->setObjectName(QStringLiteral("SystemBus1"));
    for (QAction* item : {SoftWare1, SystemBus1}) {
        item->setCheckable(true);
        ModeGroup->addAction(item);
    }
    SoftWare1->setChecked(true);

    N5 = N1->addSeparator();
    N5->setObjectName(QStringLiteral("N5"));
    C1 = N1->addAction(QStringLiteral("Cохранить настройки"));
    C1->setObjectName(QStringLiteral("C1"));
    connect(C1, &QAction::triggered, this, [this] { RunReported([this] { C1Click(); }); });
}

void TForm1::BuildTimers() {
    const auto timer = [this](std::uint32_t interval, bool enabled, void (TForm1::*handler)()) {
        auto* t = new TTimer(interval, enabled, this);
        t->OnTimer = [this, handler] { (this->*handler)(); };
        return t;
    };
    LOGO = timer(1500, true, &TForm1::LOGOTimer);
    Time_is_out = timer(270, false, &TForm1::Time_is_outTimer);
    TXD_T = timer(100, false, &TForm1::TXD_TTimer);
    RXD_T = timer(100, false, &TForm1::RXD_TTimer);
    Clicker = timer(1300, false, &TForm1::ClickerTimer);
    CYCLE = timer(1000, false, &TForm1::CYCLETimer);
}

void TForm1::FormCreate() {
    ComPort1->SetConnected(false);
    QCoreApplication::processEvents();
    Memo1->clear();
    StaticText1->clear();
    StatusPanel1->clear();
    Edit2->setText(QStringLiteral("1"));
    Edit3->setText(QStringLiteral("65535"));
    ComandComboBox->setCurrentIndex(0);
    ExchangeThread.reset();
    ExchangeThread = std::make_unique<UART_THREAT>(*this);
    ExchangeHostWindow = this;
    StartupTimer = new TTimer(0, false, qApp);
    StartupTimer->SetInterval(1000);
    StartupTimer->OnTimer = [this] { TimerToREAD_OnTime(); };
    StartupTimer->SetEnabled(true);
}

void TForm1::TimerToREAD_OnTime() {
    StartupTimer->SetEnabled(false);
    READ_Params();
    StartupTimer->deleteLater();
    StartupTimer = nullptr;
    setEnabled(true);
}

void TForm1::LOGOTimer() {
    const QString orbel = QString::fromUtf8(OrbelCaption);
    const QString company = QString::fromUtf8(CompanyText);
    if (logoPhase_ == 0) {
        logoPhase_ = 1;
        setWindowTitle(orbel);
        SetApplicationTitle(company);
    } else {
        logoPhase_ = 0;
        setWindowTitle(company);
        SetApplicationTitle(orbel);
    }
}

void TForm1::FormClose() {
    if (ComPort1->Connected()) {
        ComPort1->SetConnected(false);
    }
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (!closed_) {
        closed_ = true;
        RunReported([this] { FormClose(); });
    }
    event->accept();
}

void TForm1::CreateComPort() {
    // The port's event calls and Delay's passes go through the toolkit's loop.
    InstallQtMainLoop();
    // The design settings are given inside the loading state; AfterLoad then
    // opens the port only if the design asked for it (it does not).
    ComPort1 = std::make_unique<TComPort>();
    ComPort1->BeginLoading();
    ComPort1->SetBaudRate(br9600);
    ComPort1->SetPort("COM1");
    ComPort1->Parity().SetBits(prMark);
    ComPort1->SetStopBits(sbOneStopBit);
    ComPort1->SetDataBits(dbEight);
    ComPort1->SetEvents(TComEvents{});
    TComFlowControl& flow = ComPort1->FlowControl();
    flow.SetOutCTSFlow(false);
    flow.SetOutDSRFlow(false);
    flow.SetControlDTR(dtrDisable);
    flow.SetControlRTS(rtsDisable);
    flow.SetXonXoffOut(false);
    flow.SetXonXoffIn(false);
    ComPort1->Timeouts().SetReadTotalMultiplier(7);
    ComPort1->Timeouts().SetWriteTotalMultiplier(200);
    ComPort1->AfterLoad();
    exchangePort_.Attach(ComPort1.get());
}

UART_THREAT* TForm1::Worker() const {
    return ExchangeThread.get();
}

bool TForm1::SoftwareMode() const {
    return SoftWare1->isChecked();
}

std::uint8_t TForm1::TimeoutModeFlag() {
    return SoftwareMode() ? tmSoftware : tmSystemBus;
}
