// The port and mode menu and the settings file.
#include "ui/Unit1.h"

#include "base/WideText.h"
#include "protocol/EMUL_Functions.h"
#include "serial/platform/PortDiagnosticSink.h"
#include "serial/ports/SerialPorts.h"
#include "ui/MessageBoxes.h"
#include "ui/UserIni.h"

#include <QAction>
#include <QActionGroup>
#include <QCoreApplication>
#include <QLabel>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

using namespace orbel;

namespace {

QString PortName(int n) {
    return QStringLiteral("COM%1").arg(n);
}

void BlockingSleep(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Marks a port switch for its length, nested switches included.
class TSwitching {
public:
    explicit TSwitching(bool& flag) : flag_(flag), outer_(flag) { flag_ = true; }
    ~TSwitching() { flag_ = outer_; }
    TSwitching(const TSwitching&) = delete;
    TSwitching& operator=(const TSwitching&) = delete;

private:
    bool& flag_;
    const bool outer_;
};

} // namespace

void TForm1::PortSwitch(int n) {
    const QString name = PortName(n);
    if (ComPort1->Connected() && QString::fromStdString(ComPort1->Port()) == name) {
        return;
    }
    const TSwitching switching(switching_);
    try {
        ComPort1->SetConnected(false);
        QCoreApplication::processEvents();
        BlockingSleep(300);
        ComPort1->SetPort(name.toStdString());
        BlockingSleep(300);
        NotePortUnusable(name.toStdString());
        ComPort1->SetConnected(true);
        NotePortOpened(name.toStdString());
        StatusPanel0->setText(name);
        QCoreApplication::processEvents();
    } catch (const std::exception&) {
        ClosePortAfterFailure();
        // Polling would only raise "СОМ Порт не активен" over this box.
        StopPolling();
        MessageBoxes().Show(TMsgKind::Error, QStringLiteral("Error"),
                            QStringLiteral("Не могу открыть СОМ %1\rWritten by Dravik").arg(n),
                            TMsgButtons::Cancel);
    }
}

void TForm1::ClosePortAfterFailure() {
    try {
        ComPort1->SetConnected(false);
    } catch (const std::exception&) {
        // The device is gone or refuses to close; the port is given up either way.
    }
    for (QAction* item : PortGroup->actions()) {
        item->setChecked(false);
    }
    StatusPanel0->clear();
}

void TForm1::READ_Params() {
    try {
        const std::string path = UserIniPath();
        std::error_code ec;
        // Only a file counts: no file (or a folder of that name) means nothing was saved.
        if (!std::filesystem::is_regular_file(PathFromUtf8(path), ec)) {
            return;
        }
        EMUL_Functions::Delay(150);
        std::ifstream in(PathFromUtf8(path), std::ios::binary);
        if (!in.is_open()) {
            throw std::runtime_error("cannot open user.ini");
        }
        EMUL_Functions::Delay(150);
        std::string port;
        const bool more = ReadUserIniLine(in, port);
        QAction* const items[] = {COM11, COM21, COM31, COM41};
        if (const int n = UserIniPortNumber(port); n != 0) {
            items[n - 1]->setChecked(true);
            PortSwitch(n);
        }
        std::string mode;
        if (more) {
            ReadUserIniLine(in, mode);
        }
        (UserIniSoftwareMode(mode) ? SoftWare1 : SystemBus1)->setChecked(true);
        in.close();
        EMUL_Functions::Delay(110);
    } catch (const std::exception&) {
        MessageBoxes().Show(TMsgKind::Error, QStringLiteral("Error"),
                            QStringLiteral("Ошибка чтения из файла\r Written by Dravik"),
                            TMsgButtons::Cancel);
    }
}

void TForm1::SAVE_Params() {
    try {
        WriteUserIni(UserIniPath(), UserIniContent(ComPort1->Port(), SoftwareMode()));
        EMUL_Functions::Delay(1);
        MessageBoxes().Show(TMsgKind::Confirmation, QStringLiteral("Confirm"),
                            QStringLiteral("ТЕКУЩИЕ НАСТРОЙКИ СОХРАНЕНЫ"), TMsgButtons::Ok);
    } catch (const std::exception& e) {
        // Standard error on Linux; the log on Windows, where the window has none.
        PortDiagnostic(std::string("orbel: ") + e.what());
        MessageBoxes().Show(TMsgKind::Error, QStringLiteral("Error"),
                            QStringLiteral("Ошибка записи в файл"), TMsgButtons::Cancel);
    }
}
