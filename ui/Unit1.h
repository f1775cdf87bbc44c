// The main window: the operator's commands, the port and mode menu, the
// indicators, the memo of decoded replies and the status bar.
#pragma once

#include "journal/JournalRecorder.h"
#include "protocol/ExchangeHost.h"
#include "protocol/InstrumentLink.h"
#include "serial/core/ComPort.h"

#include <QMainWindow>

#include <cstdint>
#include <memory>

class QAction;
class QActionGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;
class QTabWidget;
class QWidget;
namespace orbel {
class TFloatNumEdit;
class TShape;
class TTimer;
} // namespace orbel

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // Controls, with their designer names.
    QWidget* Client = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QLabel* StatusPanel0 = nullptr;
    QLabel* StatusPanel1 = nullptr;
    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QComboBox* ComandComboBox = nullptr;
    QPushButton* Button1 = nullptr;
    QLabel* Label12 = nullptr;
    QGroupBox* GroupBox4 = nullptr;
    QPushButton* Button3 = nullptr;
    QPushButton* Button4 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QLabel* Label2 = nullptr;
    orbel::TShape* TXD_SHAPE = nullptr;
    QLabel* Label3 = nullptr;
    orbel::TShape* RXD_SHAPE = nullptr;
    QGroupBox* GroupBox6 = nullptr;
    QLabel* Label11 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QPushButton* Button2 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLineEdit* Edit3 = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QGroupBox* GroupBox3 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label4 = nullptr;
    orbel::TFloatNumEdit* FloatNumEdit1 = nullptr;
    orbel::TFloatNumEdit* FloatNumEdit2 = nullptr;
    QPushButton* Button5 = nullptr;
    QPushButton* Button6 = nullptr;
    QPushButton* Button7 = nullptr;
    QPushButton* Button8 = nullptr;
    QGroupBox* GroupBox5 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    orbel::TFloatNumEdit* FloatNumEdit3 = nullptr;
    orbel::TFloatNumEdit* FloatNumEdit4 = nullptr;
    QPushButton* Button9 = nullptr;
    QPushButton* Button10 = nullptr;
    QPushButton* Button11 = nullptr;
    QPushButton* Button12 = nullptr;
    QLabel* StaticText1 = nullptr;

    // The menu.
    QMenu* N1 = nullptr;
    QAction* COM11 = nullptr;
    QAction* COM21 = nullptr;
    QAction* COM31 = nullptr;
    QAction* COM41 = nullptr;
    QActionGroup* PortGroup = nullptr;
    QMenu* N2 = nullptr;
    QAction* SoftWare1 = nullptr;
    QAction* SystemBus1 = nullptr;
    QActionGroup* ModeGroup = nullptr;
    QAction* N5 = nullptr;
    QAction* C1 = nullptr;

    // Non-visual members.
    orbel::TComPort* ComPort1 = nullptr; // the instrument link's port
    orbel::TTimer* LOGO = nullptr;
    orbel::TTimer* Time_is_out = nullptr;
    orbel::TTimer* TXD_T = nullptr;
    orbel::TTimer* RXD_T = nullptr;
    orbel::TTimer* Clicker = nullptr;
    orbel::TTimer* CYCLE = nullptr;
    orbel::TTimer* StartupTimer = nullptr;

    // Handlers.
    void FormCreate();
    void TimerToREAD_OnTime();
    void LOGOTimer();
    void FormClose();

    void COM11Click() { PortSwitch(1); }
    void COM21Click() { PortSwitch(2); }
    void COM31Click() { PortSwitch(3); }
    void COM41Click() { PortSwitch(4); }
    void C1Click() { SAVE_Params(); }
    void READ_Params();
    void SAVE_Params();

    void POTOK_START();
    void ANALIZATOR();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void Button5Click();
    void Button6Click() { CalibrationClick(3); }
    void Button7Click() { Button5Click(); }
    void Button8Click() { CalibrationClick(4); }
    void Button9Click() { Button5Click(); }
    void Button10Click() { CalibrationClick(5); }
    void Button11Click() { Button5Click(); }
    void Button12Click() { CalibrationClick(6); }
    void ClickerTimer();
    void CYCLETimer();
    void TXD_TTimer();
    void RXD_TTimer();
    void Time_is_outTimer();
    void Edit1Change();

    // State.
    int ReadingFlag() const { return readingFlag_; }
    int CyclicFlag() const { return cyclicFlag_; }
    std::int32_t NoReplyCount() const { return noReplyCount_; }
    bool SoftwareMode() const;
    // The mode the menu sets for the next request.
    orbel::TTimeoutModeFlag TimeoutModeFlag() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    // Places the window at its first show, when its frame is known.
    void showEvent(QShowEvent* event) override;

private:
    void BuildControls();
    void BuildStatusBar();
    // The buttons' and the interval field's handlers.
    void ConnectControls();
    void BuildMenu();
    void BuildTimers();
    // Puts the window on its screen's available area (WindowPlacement.h).
    void PlaceOnScreen();
    void CreateComPort();
    void PortSwitch(int n);
    void ClosePortAfterFailure();
    // Ends continuous reading and cyclic requests as the operator's own stop does.
    void StopPolling();
    void CalibrationClick(int command);
    void SendCommand(int index);
    bool CalibrationValueValid(int command) const;
    orbel::TFloatNumEdit* CalibrationField(int command) const;
    void ShowPortNotActive();
    void ShowInvalidCalibration();
    // An error box that is never stacked on itself.
    void ShowOnce(bool& open, const QString& text);

    // Keeps the request just answered in the calibration journal; a journal
    // that cannot be written is told once, and the window goes on.
    void RecordInJournal(const std::string& port);

    std::unique_ptr<orbel::TInstrumentLink> link_;
    orbel::TLinkAnswer answer_; // the last request's, for ANALIZATOR
    std::unique_ptr<orbel::TJournalRecorder> journal_;
    bool journalFailureTold_ = false;
    int logoPhase_ = 0;
    int readingFlag_ = 0;
    int cyclicFlag_ = 0;
    std::int32_t noReplyCount_ = 0;
    bool portBoxOpen_ = false;
    bool switching_ = false; // a port switch is under way
    bool calibrationBoxOpen_ = false;
    bool closed_ = false;
    bool placed_ = false; // placed with its frame at the first show
};

// The program's windows, created by the program entry in this order.
extern TForm1* Form1;

// The caption of the window and the alternating application title.
extern const char* const OrbelCaption;
extern const char* const CompanyText;

// The application title (the task bar text), a property of the application
// object: the toolkit's default until the caption alternation sets it.
QString ApplicationTitle();
void SetApplicationTitle(const QString& title);
