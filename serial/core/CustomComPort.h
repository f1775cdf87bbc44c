// A serial port: its settings, opening and closing the device, blocking and
// started/awaited transfers, queue purging, the device's status, line events
// from an event thread, and the storage of its settings. Every failure raises
// EComPort. The device is reached only through IComPlatform.
#pragma once

#include "serial/core/ComBuffer.h"
#include "serial/core/ComFlowControl.h"
#include "serial/core/ComParity.h"
#include "serial/core/ComTimeouts.h"
#include "serial/platform/ComPlatform.h"
#include "serial/types/ComTypes.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace orbel {

class TComNotifyWindow;
class TComThread;
class TCustomComPort;
class TIniFile;
class TRegistryKey;

using TNotifyEvent = std::function<void(TCustomComPort* Sender)>;
using TRxCharEvent = std::function<void(TCustomComPort* Sender, std::int32_t Count)>;
using TRxBufEvent =
    std::function<void(TCustomComPort* Sender, const void* Buffer, std::int32_t Count)>;
using TComSignalEvent = std::function<void(TCustomComPort* Sender, bool OnOff)>;
using TComErrorEvent = std::function<void(TCustomComPort* Sender, TComErrors Errors)>;

enum TTransferDirection : std::uint8_t { tdWrite = 0, tdRead = 1 };

// One started transfer: the platform's request and its direction, which
// decides the error code of a failed wait. Started once, awaited once.
// Whether the first `count` bytes of a read settle what the reader wants: 0
// when they do, else how many more bytes it needs at least before it can
// tell (1 when it cannot say).
using TReadDecided = std::function<std::int32_t(const std::uint8_t* bytes, std::int32_t count)>;

struct TComTransfer {
    TComRequest request;
    TTransferDirection direction = tdWrite;
};

class TCustomComPort {
public:
    // `platform` defaults to the system's; a test passes a fake. The owner
    // (a window) destroys the port with itself; the port only keeps it.
    explicit TCustomComPort(void* owner = nullptr, IComPlatform* platform = nullptr);
    virtual ~TCustomComPort();
    TCustomComPort(const TCustomComPort&) = delete;
    TCustomComPort& operator=(const TCustomComPort&) = delete;

    void* Owner() const { return owner_; }
    // The port's name: the settings file keeps its settings in the section
    // of that name.
    const std::string& Name() const { return name_; }
    void SetName(const std::string& value) { name_ = value; }

    // ---- settings ----
    // Safe to read from any thread.
    bool Connected() const { return connected_.load(); }
    // True opens, false closes; while loading the value is only recorded.
    void SetConnected(bool value);

    TBaudRate BaudRate() const { return baudRate_; }
    void SetBaudRate(TBaudRate value) { StoreLine(baudRate_, value); }
    std::int32_t CustomBaudRate() const { return customBaudRate_; }
    void SetCustomBaudRate(std::int32_t value) { StoreLine(customBaudRate_, value); }
    const std::string& Port() const { return port_; }
    // A new name on an open port closes it and opens the new device.
    void SetPort(const std::string& value);
    TStopBits StopBits() const { return stopBits_; }
    void SetStopBits(TStopBits value) { StoreLine(stopBits_, value); }
    TDataBits DataBits() const { return dataBits_; }
    void SetDataBits(TDataBits value) { StoreLine(dataBits_, value); }
    bool DiscardNull() const { return discardNull_; }
    void SetDiscardNull(bool value) { StoreLine(discardNull_, value); }
    std::uint8_t EventChar() const { return eventChar_; }
    void SetEventChar(std::uint8_t value) { StoreLine(eventChar_, value); }
    // Takes effect at the next open.
    TComEvents Events() const { return events_; }
    void SetEvents(TComEvents value) { events_ = value; }
    TSyncMethod SyncMethod() const { return syncMethod_; }
    // Refused with code 14 while open.
    void SetSyncMethod(TSyncMethod value);

    // The settings objects stay the port's own; the setters copy the given
    // object's values in and then always re-apply the group.
    TComBuffer& Buffer() { return buffer_; }
    const TComBuffer& Buffer() const { return buffer_; }
    void SetBuffer(const TComBuffer& value);
    TComParity& Parity() { return parity_; }
    const TComParity& Parity() const { return parity_; }
    void SetParity(const TComParity& value);
    TComTimeouts& Timeouts() { return timeouts_; }
    const TComTimeouts& Timeouts() const { return timeouts_; }
    void SetTimeouts(const TComTimeouts& value);
    TComFlowControl& FlowControl() { return flowControl_; }
    const TComFlowControl& FlowControl() const { return flowControl_; }
    void SetFlowControl(const TComFlowControl& value);

    // ---- settings storage ----
    // The groups written and read; {ssBasic} at first.
    TStoredSettings StoredSettings() const { return storedSettings_; }
    void SetStoredSettings(TStoredSettings value) { storedSettings_ = value; }
    // The groups of StoredSettings under their key names, in an open registry
    // key or in the settings file section named after this object's name.
    // Loading goes through the setters, so an open port takes every value at
    // once; the first failure ends a load, what was set before stays set.
    virtual void StoreToRegistry(TRegistryKey& registry);
    virtual void StoreToIniFile(TIniFile& iniFile);
    virtual void LoadFromRegistry(TRegistryKey& registry);
    virtual void LoadFromIniFile(TIniFile& iniFile);

    // ---- being loaded from a window description ----
    // Until AfterLoad nothing reaches a device and Connected is only recorded.
    void BeginLoading() { loading_ = true; }
    bool Loading() const { return loading_; }
    // Ends loading; opens the port when Connected was recorded true. A failed
    // open goes to the application's exception report, never to the caller.
    void AfterLoad();

    // ---- lifecycle ----
    // Both do nothing when the port is already in the target state. A close
    // also does nothing while another close of this port is under way (a
    // handler closing its port again); from its abort on, every transfer
    // started on the port fails at once as cancelled.
    void OpenPort();
    void ClosePort();
    ComHandle DeviceHandle() const { return handle_.load(); }
    bool MonitorRunning() const { return monitorRunning_; }
    // The event thread and the notification receiver while they exist.
    const TComThread* MonitorThread() const { return monitorThread_.get(); }
    const TComNotifyWindow* NotifyWindow() const;
    IComPlatform& Platform() const { return *platform_; }
    // Only while closed (code 14 otherwise); nullptr restores the system's.
    void SetPlatform(IComPlatform* platform);

    // The records the settings amount to, as they are passed to the device.
    TComDeviceControl DeviceControl() const;
    TComTimeoutRecord TimeoutRecord() const;

    // ---- transfers (none checks Connected; a closed port's device refuses) ----
    // Block until `count` bytes have moved or the time-outs in force end the
    // transfer; the short count is no error. The rest of the buffer stays untouched.
    std::int32_t ReadBytes(void* buffer, std::int32_t count);
    std::int32_t WriteBytes(const void* buffer, std::int32_t count);

    // A read of `count` bytes that waits at most `waitMs` in all, whatever
    // the port's own time-outs (which the device has again afterwards);
    // returns what came, 0 at once for 0 ms.
    std::int32_t ReadWithin(void* buffer, std::int32_t count, std::uint32_t waitMs);
    // A read of `count` bytes bounded as ReadBytes bounds it (the total
    // read time-out, never passed), that also ends as soon as
    // `decided(buffer, n)` says the n bytes received so far settle it (asked
    // each time the bytes it asked for have come). With no total read
    // time-out, or with a read interval set, it is ReadBytes.
    std::int32_t ReadBytesUntil(void* buffer, std::int32_t count, const TReadDecided& decided);

    std::unique_ptr<TComTransfer> CreateTransfer() const;
    // Ends what the platform holds for the transfer and frees it; always run.
    void ReleaseTransfer(std::unique_ptr<TComTransfer>& transfer) const noexcept;
    // The bytes moved at once (0 while the transfer is pending).
    std::int32_t StartRead(void* buffer, std::int32_t count, TComTransfer* transfer);
    std::int32_t StartWrite(const void* buffer, std::int32_t count, TComTransfer* transfer);
    std::int32_t AwaitTransfer(TComTransfer* transfer);

    // Ends every transfer running on the device, from any thread; they raise
    // code 3 (read) or 2 (write).
    void AbortTransfers();
    void PurgeBuffers(bool input, bool output);
    std::int32_t BytesWaiting();
    TComLineSignals LineSignals();
    TComErrors LineErrors();

    // Services the events of one wait, in the fixed order error, received
    // character, output empty, break, ring, CTS, DSR, event character, carrier
    // detect, 80 % full. A handler that closes the port ends the dispatch, and
    // one that also destroys it leaves nothing of it touched afterwards.
    void DispatchEvents(TComEvents events);

    // ---- events: each runs only when assigned ----
    TRxCharEvent OnRxChar;
    TRxBufEvent OnRxBuf;
    TNotifyEvent OnTxEmpty;
    TNotifyEvent OnBreak;
    TNotifyEvent OnRing;
    TComSignalEvent OnCTSChange;
    TComSignalEvent OnDSRChange;
    TComSignalEvent OnRLSDChange;
    TComErrorEvent OnError;
    TNotifyEvent OnRxFlag;
    TNotifyEvent OnAfterOpen;
    TNotifyEvent OnAfterClose;
    TNotifyEvent OnBeforeOpen;
    TNotifyEvent OnBeforeClose;
    TNotifyEvent OnRx80Full;

protected:
    virtual void OpenDevice();
    virtual void CloseDevice();
    // Queue sizes, then line settings, then time-outs.
    virtual void ConfigureDevice();

    virtual void FireAfterClose();
    virtual void FireAfterOpen();
    virtual void FireBeforeClose();
    virtual void FireBeforeOpen();
    virtual void FireRxChar(std::int32_t count);
    virtual void FireRxBuf(const void* buffer, std::int32_t count);
    virtual void FireTxEmpty();
    virtual void FireBreak();
    virtual void FireRing();
    virtual void FireRxFlag();
    virtual void FireCTSChange(bool onOff);
    virtual void FireDSRChange(bool onOff);
    virtual void FireError(TComErrors errors);
    virtual void FireRLSDChange(bool onOff);
    virtual void FireRx80Full();

    // Each does nothing unless the port is open and not being loaded.
    virtual void ApplyLineSettings();
    virtual void ApplyTimeoutSettings();
    virtual void ApplyQueueSizes();

    // The event thread for a non-empty event set: started at the end of an
    // open, stopped (and waited for) during a close.
    virtual void StartMonitor();
    virtual void StopMonitor();

    // The servicing of one event, as DispatchEvents does it.
    void ServiceEvent(TComEvent event);

private:
    friend class TComNotifyWindow;
    friend class TComBuffer;
    friend class TComFlowControl;
    friend class TComParity;
    friend class TComTimeouts;

    template <typename T> void StoreLine(T& field, T value) {
        if (field != value) {
            field = value;
            ApplyLineSettings();
        }
    }
    bool Live() const { return connected_.load() && !loading_; }
    // Transfers refused from the close's abort on: code 3 or 2, as cancelled.
    void CheckNotClosing(std::int32_t portCode) const;
    void CheckCount(std::int32_t count, std::int32_t portCode) const;
    // ReadBytes and WriteBytes: `start` is StartRead or StartWrite.
    template <typename Bytes, typename Start>
    std::int32_t TransferBytes(Bytes buffer, std::int32_t count, Start start);
    // StartRead and StartWrite: `start` is the platform's call for `direction`.
    template <typename Bytes, typename Start>
    std::int32_t StartTransfer(TTransferDirection direction, Bytes buffer, std::int32_t count,
                               TComTransfer* transfer, Start start);
    // Ends the close's state when the close ends, also by an exception.
    class TCloseScope;
    // The device's read time-outs while reads wait within a time of their own.
    class TArrivalScope;

    void* const owner_;
    std::string name_;
    IComPlatform* platform_;
    std::atomic<bool> connected_{false};
    std::atomic<ComHandle> handle_{InvalidComHandle};
    // A close under way, and from its abort on, transfers refused.
    std::atomic<bool> closing_{false};
    std::atomic<bool> refusingTransfers_{false};
    // Expires with the port: a dispatch sees whether a handler destroyed it.
    std::shared_ptr<const bool> life_ = std::make_shared<const bool>(true);
    bool monitorRunning_ = false;
    std::unique_ptr<TComThread> monitorThread_;
    // Shared with the calls that service its notifications, so that it
    // outlives one still running when the port lets go of it.
    std::shared_ptr<TComNotifyWindow> notifyWindow_;
    bool loading_ = false;
    bool loadedConnected_ = false;

    TBaudRate baudRate_ = br9600;
    std::int32_t customBaudRate_ = 9600;
    std::string port_ = "COM1";
    TStopBits stopBits_ = sbOneStopBit;
    TDataBits dataBits_ = dbEight;
    bool discardNull_ = false;
    std::uint8_t eventChar_ = 0;
    TComEvents events_ = AllComEvents;
    TSyncMethod syncMethod_ = smThreadSync;
    TStoredSettings storedSettings_{ssBasic};
    TComParity parity_{this};
    TComFlowControl flowControl_{this};
    TComTimeouts timeouts_{this};
    TComBuffer buffer_{this};
};

} // namespace orbel
