#include "ui/Unit1.h"

#include "ui/ButtonKeys.h"
#include "ui/ControlTable.h"
#include "ui/ExceptionReport.h"
#include "ui/FloatNumEdit.h"
#include "ui/FormFont.h"
#include "ui/QtMainLoop.h"
#include "ui/TShape.h"
#include "ui/TTimer.h"
#include "ui/WindowPlacement.h"

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
#include <QWindow>

#include "protocol/CommandSet.h"

using namespace orbel;

TForm1* Form1 = nullptr;

const char* const OrbelCaption = "ОРБЕЛ (версия 2008)";
const char* const CompanyText = "ООО \"Тальвер\"";

namespace {

using TForm1Control = TControlRow<TForm1, QPlainTextEdit, QComboBox, QPushButton, QLabel, QGroupBox,
                                  TShape, QLineEdit, TFloatNumEdit>;

// The controls of the command page, in the designer's order.
// clang-format off
const TForm1Control Controls[] = {
    {&TForm1::Memo1, "Memo1", "Memo1", "TabSheet1", {352, 0, 513, 333}},
    {&TForm1::ComandComboBox, "ComandComboBox", "", "TabSheet1", {496, 276, 349, 24}, false},
    {&TForm1::Button1, "Button1", "ПОСЛАТЬ КОМАНДУ", "TabSheet1", {496, 306, 349, 41}, false},
    {&TForm1::Label12, "Label12", "НОВЫЙ ЗАВОДСКОЙ №", "TabSheet1", {560, 390}, false},
    {&TForm1::GroupBox4, "GroupBox4", "ПОКАЗАНИЯ", "TabSheet1", {0, 4, 349, 101}},
    {&TForm1::Button3, "Button3", "СЧИТАТЬ ПОКАЗАНИЯ", "GroupBox4", {12, 16, 245, 37}},
    {&TForm1::Button4, "Button4", "СЧИТАТЬ СИГНАТУРУ", "GroupBox4", {12, 56, 245, 33}},
    {&TForm1::GroupBox1, "GroupBox1", "СИГНАЛЫ", "GroupBox4", {267, 19, 73, 62}},
    {&TForm1::Label2, "Label2", "TxD", "GroupBox1", {11, 19}},
    {&TForm1::TXD_SHAPE, "TXD_SHAPE", "", "GroupBox1", {28, 18, 49, 17}},
    {&TForm1::Label3, "Label3", "RxD", "GroupBox1", {11, 40}},
    {&TForm1::RXD_SHAPE, "RXD_SHAPE", "", "GroupBox1", {28, 38, 49, 17}},
    {&TForm1::GroupBox6, "GroupBox6", "СИГНАТУРА ПРИБОРА", "TabSheet1", {532, 420, 241, 85}, false},
    {&TForm1::Label11, "Label11", "НОВЫЙ АДРЕС", "GroupBox6", {84, 18}},
    {&TForm1::Edit2, "Edit2", "Edit2", "GroupBox6", {24, 14, 53, 21}},
    {&TForm1::Button2, "Button2", "ЗАПРАШИВАТЬ ЦИКЛИЧЕСКИ", "TabSheet1", {496, 352, 257, 29}, false},
    {&TForm1::Edit1, "Edit1", "1000", "TabSheet1", {759, 356, 50, 21}, false},
    {&TForm1::Edit3, "Edit3", "Edit3", "TabSheet1", {500, 386, 53, 21}, false},
    {&TForm1::GroupBox2, "GroupBox2", "КАЛИБРОВКА", "TabSheet1", {0, 116, 345, 221}},
    {&TForm1::GroupBox3, "GroupBox3", "КАНАЛ 1", "GroupBox2", {13, 21, 317, 89}},
    {&TForm1::Label1, "Label1", "С1", "GroupBox3", {44, 24}},
    {&TForm1::Label4, "Label4", "С2", "GroupBox3", {44, 52}},
    {&TForm1::FloatNumEdit1, "FloatNumEdit1", "", "GroupBox3", {60, 20, 57, 21}},
    {&TForm1::FloatNumEdit2, "FloatNumEdit2", "", "GroupBox3", {60, 48, 57, 21}},
    {&TForm1::Button5, "Button5", "Считать", "GroupBox3", {120, 20, 69, 21}},
    {&TForm1::Button6, "Button6", "Калибровать", "GroupBox3", {192, 20, 81, 21}},
    {&TForm1::Button7, "Button7", "Считать", "GroupBox3", {120, 48, 69, 21}},
    {&TForm1::Button8, "Button8", "Калибровать", "GroupBox3", {192, 48, 81, 21}},
    {&TForm1::GroupBox5, "GroupBox5", "КАНАЛ 2", "GroupBox2", {13, 117, 317, 89}},
    {&TForm1::Label5, "Label5", "С1", "GroupBox5", {44, 24}},
    {&TForm1::Label6, "Label6", "С2", "GroupBox5", {44, 52}},
    {&TForm1::FloatNumEdit3, "FloatNumEdit3", "", "GroupBox5", {60, 20, 57, 21}},
    {&TForm1::FloatNumEdit4, "FloatNumEdit4", "", "GroupBox5", {60, 48, 57, 21}},
    {&TForm1::Button9, "Button9", "Считать", "GroupBox5", {120, 20, 69, 21}},
    {&TForm1::Button10, "Button10", "Калибровать", "GroupBox5", {192, 20, 81, 21}},
    {&TForm1::Button11, "Button11", "Считать", "GroupBox5", {120, 48, 69, 21}},
    {&TForm1::Button12, "Button12", "Калибровать", "GroupBox5", {192, 48, 81, 21}},
    {&TForm1::StaticText1, "StaticText1", "StaticText1", "Client", {40, 376, 835, 17}},
};
// clang-format on

// Makes one control of the table; captions go where the class shows one.
template <typename Control>
Control* MakeControl(std::type_identity<Control>, const QString& caption, QWidget* parent) {
    if constexpr (std::is_same_v<Control, TShape>) {
        return new TShape(TShape::stCircle, parent);
    } else if constexpr (std::is_same_v<Control, QComboBox>) {
        return new QComboBox(parent);
    } else if constexpr (std::is_same_v<Control, TFloatNumEdit>) {
        auto* edit = new TFloatNumEdit(parent);
        edit->SetFormat(ffGeneral);
        edit->SetPrecision(8);
        edit->SetDigits(4);
        return edit;
    } else {
        return new Control(caption, parent);
    }
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
    PlaceOnScreen();
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
        RunReported([this] { ComPort1->SetConnected(false); });
    }
    if (Form1 == this) {
        Form1 = nullptr;
    }
}

void TForm1::BuildControls() {
    // Captions and control sizes are made for the narrow 8-point face.
    setFont(FormFont());
    Client = new QWidget(this);
    Client->setObjectName(QStringLiteral("Client"));
    Client->setFixedSize(874, 412);
    setCentralWidget(Client);
    BuildStatusBar();

    PageControl1 = new QTabWidget(Client);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setGeometry(0, 0, 873, 369);
    TabSheet1 = new QWidget;
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    PageControl1->addTab(TabSheet1, QStringLiteral("КОМАНДЫ"));

    BuildControlTable(*this, *Client, Controls,
                      [](auto type, const QString& caption, QWidget* parent) {
                          return MakeControl(type, caption, parent);
                      });

    QFont memoFont = Memo1->font();
    memoFont.setPointSize(14);
    Memo1->setFont(memoFont);
    QPalette memoPalette = Memo1->palette();
    memoPalette.setColor(QPalette::Text, Qt::blue);
    Memo1->setPalette(memoPalette);
    Memo1->setTabChangesFocus(true); // Tab moves on, as in every other control
    for (const char* item : CommandItemTexts) {
        ComandComboBox->addItem(QString::fromUtf8(item));
    }
    StaticText1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    ConnectControls();
}

void TForm1::BuildStatusBar() {
    StatusBar1 = new QStatusBar(Client);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setGeometry(0, 393, 874, 19);
    StatusBar1->setSizeGripEnabled(false);
    StatusPanel0 = new QLabel(StatusBar1);
    StatusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
    StatusPanel0->setFixedWidth(40);
    StatusPanel1 = new QLabel(StatusBar1);
    StatusPanel1->setObjectName(QStringLiteral("StatusPanel1"));
    StatusBar1->addWidget(StatusPanel0);
    StatusBar1->addWidget(StatusPanel1, 1);
}

void TForm1::ConnectControls() {
    const auto on = [this](QPushButton* button, void (TForm1::*handler)()) {
        PressOnEnter(button);
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
    // Exclusive groups: choosing the marked item keeps its mark (and still
    // runs its action); code may still clear every mark of the port group.
    PortGroup = new QActionGroup(this);
    PortGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
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
    ModeGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
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

void TForm1::PlaceOnScreen() {
    const QScreen* area = screen();
    if (area == nullptr) {
        return;
    }
    // The frame is known once the system has made the window (at its first
    // show on Windows; on X11 only after the window manager framed it).
    const QMargins frame = windowHandle() != nullptr ? windowHandle()->frameMargins() : QMargins();
    move(PlacedTopLeft(area->availableGeometry(), size().grownBy(frame)));
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!placed_) {
        placed_ = true;
        PlaceOnScreen();
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
    // The link gives the port the instrument's line settings; the design's
    // name is given inside the loading state, and AfterLoad then opens the
    // port only if the design asked for it (it does not).
    // The link's worker lives as long as the window and is shut down with it.
    link_ = std::make_unique<TInstrumentLink>();
    ComPort1 = &link_->Port();
    ComPort1->BeginLoading();
    ComPort1->SetPort("COM1");
    ComPort1->AfterLoad();
}

bool TForm1::SoftwareMode() const {
    return SoftWare1->isChecked();
}

TTimeoutModeFlag TForm1::TimeoutModeFlag() const {
    return SoftwareMode() ? tmSoftware : tmSystemBus;
}
