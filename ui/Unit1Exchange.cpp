// The operator's commands: sending a request, decoding its reply, polling, the
// indicators and the no-reply count.
#include "ui/Unit1.h"

#include "protocol/CalibrationQuestions.h"
#include "protocol/CommandSet.h"
#include "protocol/EMUL_Functions.h"
#include "ui/FloatFormat.h"
#include "ui/FloatNumEdit.h"
#include "ui/MessageBoxes.h"
#include "ui/RegionalSettings.h"
#include "ui/TShape.h"
#include "ui/TTimer.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <charconv>
#include <limits>

using namespace orbel;

using namespace EMUL_Functions;

namespace {

// The first line of every report that the port cannot be used.
const QString PortNotActive = QStringLiteral("СОМ Порт не активен !!!");

// Whole-number text after trimming blanks and control characters at both
// ends; nothing when it is no number, is negative or exceeds the interval range.
std::optional<std::uint32_t> IntervalFromText(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= 0x20) {
        ++begin;
    }
    while (end > begin && text[end - 1].unicode() <= 0x20) {
        --end;
    }
    const QByteArray digits = text.mid(begin, end - begin).toLatin1();
    std::int32_t value = 0;
    const char* first = digits.constData();
    const char* last = first + digits.size();
    if (first != last && *first == '+') {
        ++first;
    }
    const auto [ptr, ec] = std::from_chars(first, last, value);
    if (first == last || ec != std::errc{} || ptr != last || value < 0) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

// What the technician is told once when the port's device went away: that
// the port is no longer active, which port, the port's error and the
// system's reason.
QString PortLostText(const std::string& port, const TLinkAnswer& answer) {
    QString text = PortNotActive + u'\r' + QString::fromStdString(port);
    if (answer.portCode != 0) {
        text += QStringLiteral(": ") +
                QString::fromStdString(PortErrorText(answer.portCode, answer.systemCode));
    }
    if (answer.systemCode >= 0) {
        text +=
            u'\r' + QString::fromStdString(SystemComPlatform().SystemErrorText(answer.systemCode));
    }
    return text;
}

} // namespace

void TForm1::POTOK_START() {
    TXD_T->SetEnabled(true);
    TXD_SHAPE->SetBrushColor(QColor(255, 0, 0));
    StaticText1->clear();
    StatusPanel1->clear();
    QCoreApplication::processEvents();
    link_->SetMode(TimeoutModeFlag());
    link_->SetDecimalSeparator(QString(RegionalSettings().DecimalSeparator).toStdString());
    // Without a port nothing is sent: no request to show, no reply to miss.
    const bool open = ComPort1->Connected();
    answer_ = link_->Send([this, open](const std::string& sent) {
        if (open) {
            StaticText1->setText(QStringLiteral("Послано:   ") + QString::fromStdString(sent));
            Time_is_out->SetEnabled(true);
        }
    });

    // Polling cannot go on without a port: it stops before the box, so that
    // no tick raises the box again the moment it closes.
    switch (answer_.outcome) {
    case TExchangeOutcome::PortNotOpen:
        StopPolling();
        ShowPortNotActive();
        break;
    case TExchangeOutcome::DeviceLost: {
        const std::string port = ComPort1->Port();
        ClosePortAfterFailure();
        StopPolling();
        ShowOnce(portBoxOpen_, PortLostText(port, answer_));
        break;
    }
    default:
        break;
    }
}

void TForm1::StopPolling() {
    if (readingFlag_ != 0) {
        Button3Click();
    }
    if (cyclicFlag_ != 0) {
        Button2Click();
    }
}

void TForm1::ShowPortNotActive() {
    ShowOnce(portBoxOpen_, PortNotActive + QStringLiteral("\r Written by Dravik"));
}

void TForm1::ShowInvalidCalibration() {
    // What the frame carries: 0 to 65535 tenths.
    const QString highest =
        QStringLiteral("6553") + RegionalSettings().DecimalSeparator + QStringLiteral("5");
    ShowOnce(calibrationBoxOpen_,
             QStringLiteral("Недопустимое значение калибровки\rДопустимы значения от 0 до ") +
                 highest);
}

void TForm1::ShowOnce(bool& open, const QString& text) {
    if (open) {
        return; // one box at a time; timers run inside its modal loop
    }
    open = true;
    try {
        MessageBoxes().Show(TMsgKind::Error, QStringLiteral("Error"), text, TMsgButtons::Cancel);
    } catch (...) {
        open = false;
        throw;
    }
    open = false;
}

void TForm1::ANALIZATOR() {
    if (!answer_.Accepted()) {
        return;
    }
    Time_is_out->SetEnabled(false);
    RXD_T->SetEnabled(true);
    RXD_SHAPE->SetBrushColor(QColor(255, 0, 0));
    StatusPanel1->setText(QStringLiteral("Принято:   ") + QString::fromStdString(answer_.received));

    const TDecodedReply& reply = answer_.reply;
    switch (reply.kind) {
    case TReplyKind::Signature:
    case TReplyKind::Readings:
    case TReplyKind::Calibrated:
        Memo1->clear();
        for (const std::string& line : reply.memoLines) {
            Memo1->appendPlainText(QString::fromStdString(line));
        }
        if (reply.kind == TReplyKind::Signature) {
            Edit3->setText(QString::fromStdString(reply.serialNumber));
        }
        break;
    case TReplyKind::Coefficients: {
        TFloatNumEdit* const fields[] = {FloatNumEdit1, FloatNumEdit2, FloatNumEdit3,
                                         FloatNumEdit4};
        for (std::size_t i = 0; i < 4; ++i) {
            fields[i]->SetValue(reply.coefficients[i]);
        }
        break;
    }
    case TReplyKind::Other:
        break;
    }
}

TFloatNumEdit* TForm1::CalibrationField(int command) const {
    TFloatNumEdit* const fields[] = {FloatNumEdit1, FloatNumEdit2, FloatNumEdit3, FloatNumEdit4};
    return IsCalibrationCommand(command) ? fields[command - ciCalibrateC1Channel1] : nullptr;
}

bool TForm1::CalibrationValueValid(int command) const {
    const TFloatNumEdit* field = CalibrationField(command);
    const auto value = TryTextToFloat(field->text(), RegionalSettings().DecimalSeparator);
    return value.has_value() && CalibrationTenths(*value).has_value();
}

void TForm1::Button1Click() {
    const int index = ComandComboBox->currentIndex();
    if (index < 0 || index >= CommandCount) {
        return;
    }
    std::uint16_t value = 0;
    if (IsCalibrationCommand(index)) {
        // A value the frame cannot carry would silently mis-calibrate.
        if (!CalibrationValueValid(index)) {
            ShowInvalidCalibration();
            return;
        }
        value = *CalibrationTenths(CalibrationField(index)->Value());
    }
    link_->Build({index, value});
    POTOK_START();
    ANALIZATOR();
}

void TForm1::SendCommand(int index) {
    ComandComboBox->setCurrentIndex(index);
    Button1Click();
}

void TForm1::CalibrationClick(int command) {
    if (!CalibrationValueValid(command)) {
        ShowInvalidCalibration();
        return;
    }
    const TMsgAnswer answer =
        MessageBoxes().Show(TMsgKind::Warning, QStringLiteral("Warning"),
                            QString::fromUtf8(CalibrationQuestion(command)), TMsgButtons::YesNo);
    // Only an explicit Yes calibrates; No, Escape or a closed box send nothing.
    if (answer == TMsgAnswer::Yes) {
        SendCommand(command);
    }
}

void TForm1::Button2Click() {
    if (cyclicFlag_ == 0) {
        Button1->setEnabled(false);
        ComandComboBox->setEnabled(false);
        Button2->setText(QStringLiteral("СТОП"));
        CYCLE->SetEnabled(true);
        cyclicFlag_ = 1;
        return;
    }
    for (int i = 0; i < 3; ++i) {
        CYCLE->SetEnabled(false);
        QCoreApplication::processEvents();
    }
    Button1->setEnabled(true);
    ComandComboBox->setEnabled(true);
    Button2->setText(QStringLiteral("ЗАПРАШИВАТЬ  ЦИКЛИЧЕСКИ"));
    cyclicFlag_ = 0;
    Memo1->clear();
    StaticText1->clear();
    StatusPanel1->clear();
}

void TForm1::Button3Click() {
    if (readingFlag_ == 0) {
        readingFlag_ = 1;
        Button3->setText(QStringLiteral("ОСТАНОВИТЬ ЧТЕНИЕ ПОКАЗАНИЙ"));
        GroupBox2->setEnabled(false);
        Button4->setEnabled(false);
        Clicker->SetEnabled(true);
    } else {
        readingFlag_ = 0;
        Button3->setText(QStringLiteral("СЧИТАТЬ ПОКАЗАНИЯ"));
        GroupBox2->setEnabled(true);
        Button4->setEnabled(true);
        Clicker->SetEnabled(false);
    }
}

void TForm1::Button4Click() {
    SendCommand(ciSignature);
}

void TForm1::Button5Click() {
    SendCommand(ciReadCoeffs);
}

// A tick during a port switch would only find the port closed; it is let go.
void TForm1::ClickerTimer() {
    if (!switching_) {
        SendCommand(ciReadings);
    }
}

void TForm1::CYCLETimer() {
    if (!switching_) {
        Button1Click();
    }
}

void TForm1::TXD_TTimer() {
    TXD_T->SetEnabled(false);
    TXD_SHAPE->SetBrushColor(Qt::white);
}

void TForm1::RXD_TTimer() {
    RXD_T->SetEnabled(false);
    RXD_SHAPE->SetBrushColor(Qt::white);
}

void TForm1::Time_is_outTimer() {
    Memo1->clear();
    Time_is_out->SetEnabled(false);
    if (noReplyCount_ < std::numeric_limits<std::int32_t>::max()) {
        ++noReplyCount_;
    }
    if (noReplyCount_ > 7) {
        setEnabled(true);
    }
    StatusPanel1->setText(QStringLiteral("Не отвечает (%1)").arg(noReplyCount_));
}

void TForm1::Edit1Change() {
    if (const auto interval = IntervalFromText(Edit1->text())) {
        CYCLE->SetInterval(*interval);
    }
}
