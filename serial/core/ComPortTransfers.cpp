// Moving bytes through an open port, purging its queues and reading its status.
#include "serial/core/CustomComPort.h"

#include "serial/errors/EComPort.h"

namespace orbel {

// A negative count would reach the device as a huge unsigned one.
void TCustomComPort::CheckCount(std::int32_t count, std::int32_t portCode) const {
    if (count < 0) {
        throw EComPort(portCode, platform_->FaultResult(ComFault::InvalidArgument));
    }
}

void TCustomComPort::CheckNotClosing(std::int32_t portCode) const {
    if (refusingTransfers_.load()) {
        throw EComPort(portCode, platform_->FaultResult(ComFault::Cancelled));
    }
}

template <typename Bytes, typename Start>
std::int32_t TCustomComPort::TransferBytes(Bytes buffer, std::int32_t count, Start start) {
    std::unique_ptr<TComTransfer> transfer = CreateTransfer();
    try {
        (this->*start)(buffer, count, transfer.get());
        const std::int32_t n = AwaitTransfer(transfer.get());
        ReleaseTransfer(transfer);
        return n;
    } catch (...) {
        ReleaseTransfer(transfer);
        throw;
    }
}

std::int32_t TCustomComPort::ReadBytes(void* buffer, std::int32_t count) {
    return TransferBytes(buffer, count, &TCustomComPort::StartRead);
}

std::int32_t TCustomComPort::WriteBytes(const void* buffer, std::int32_t count) {
    return TransferBytes(buffer, count, &TCustomComPort::StartWrite);
}

std::unique_ptr<TComTransfer> TCustomComPort::CreateTransfer() const {
    return std::make_unique<TComTransfer>();
}

void TCustomComPort::ReleaseTransfer(std::unique_ptr<TComTransfer>& transfer) const noexcept {
    if (transfer) {
        platform_->ReleaseRequest(transfer->request);
        transfer.reset();
    }
}

template <typename Bytes, typename Start>
std::int32_t TCustomComPort::StartTransfer(TTransferDirection direction, Bytes buffer,
                                           std::int32_t count, TComTransfer* transfer,
                                           Start start) {
    if (transfer == nullptr) {
        throw EComPort(CError_InvalidAsync);
    }
    transfer->direction = direction;
    const std::int32_t portCode = direction == tdWrite ? CError_WriteFailed : CError_ReadFailed;
    CheckNotClosing(portCode);
    CheckCount(count, portCode);
    std::uint32_t done = 0;
    const ComResult result = (platform_->*start)(
        handle_.load(), buffer, static_cast<std::uint32_t>(count), transfer->request, done);
    if (result.IsPending()) {
        return 0;
    }
    if (!result.Ok()) {
        throw EComPort(portCode, result);
    }
    return static_cast<std::int32_t>(done);
}

std::int32_t TCustomComPort::StartRead(void* buffer, std::int32_t count, TComTransfer* transfer) {
    return StartTransfer(tdRead, buffer, count, transfer, &IComPlatform::StartRead);
}

std::int32_t TCustomComPort::StartWrite(const void* buffer, std::int32_t count,
                                        TComTransfer* transfer) {
    return StartTransfer(tdWrite, buffer, count, transfer, &IComPlatform::StartWrite);
}

std::int32_t TCustomComPort::AwaitTransfer(TComTransfer* transfer) {
    if (transfer == nullptr) {
        throw EComPort(CError_InvalidAsync);
    }
    std::uint32_t transferred = 0;
    const ComResult error = platform_->AwaitRequest(handle_.load(), transfer->request, transferred);
    if (!error.Ok()) {
        throw EComPort(transfer->direction == tdWrite ? CError_WriteFailed : CError_ReadFailed,
                       error);
    }
    return static_cast<std::int32_t>(transferred);
}

void TCustomComPort::AbortTransfers() {
    if (const ComResult error =
            platform_->Purge(handle_.load(), PurgeFlag::TxAbort | PurgeFlag::RxAbort);
        !error.Ok()) {
        throw EComPort(CError_PurgeFailed, error);
    }
}

void TCustomComPort::PurgeBuffers(bool input, bool output) {
    const std::uint32_t flags =
        (input ? PurgeFlag::RxClear : 0) | (output ? PurgeFlag::TxClear : 0);
    if (const ComResult error = platform_->Purge(handle_.load(), flags); !error.Ok()) {
        throw EComPort(CError_PurgeFailed, error);
    }
}

std::int32_t TCustomComPort::BytesWaiting() {
    std::uint32_t errors = 0;
    TComStat status;
    if (const ComResult error = platform_->ClearErrors(handle_.load(), errors, status);
        !error.Ok()) {
        throw EComPort(CError_ClearComFailed, error);
    }
    return static_cast<std::int32_t>(status.InQueue);
}

TComLineSignals TCustomComPort::LineSignals() {
    std::uint32_t status = 0;
    if (const ComResult error = platform_->GetModemStatus(handle_.load(), status); !error.Ok()) {
        throw EComPort(CError_ModemStatFailed, error);
    }
    TComLineSignals lines;
    if ((status & ModemStatus::CtsOn) != 0) {
        lines.Include(sgCTS);
    }
    if ((status & ModemStatus::DsrOn) != 0) {
        lines.Include(sgDSR);
    }
    if ((status & ModemStatus::RingOn) != 0) {
        lines.Include(sgRing);
    }
    if ((status & ModemStatus::RlsdOn) != 0) {
        lines.Include(sgRLSD);
    }
    return lines;
}

TComErrors TCustomComPort::LineErrors() {
    std::uint32_t bits = 0;
    TComStat status;
    if (const ComResult error = platform_->ClearErrors(handle_.load(), bits, status); !error.Ok()) {
        throw EComPort(CError_ClearComFailed, error);
    }
    struct {
        std::uint32_t bit;
        TComError member;
    } constexpr map[] = {
        {LineError::Frame, erFrame},     {LineError::RxParity, erRxParity},
        {LineError::Overrun, erOverrun}, {LineError::Break, erBreak},
        {LineError::IOE, erIO},          {LineError::Mode, erMode},
        {LineError::RxOver, erRxOver},   {LineError::TxFull, erTxFull},
    };
    TComErrors errors;
    for (const auto& [bit, member] : map) {
        if ((bits & bit) != 0 && (member != erRxParity || parity_.Check())) {
            errors.Include(member);
        }
    }
    return errors;
}

} // namespace orbel
