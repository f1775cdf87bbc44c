// The settings storage: which settings each group holds, under which key
// names and in which text form, written to and read from a settings file
// section or a registry key.
#include "serial/core/CustomComPort.h"

#include "serial/storage/ComTextConversions.h"
#include "serial/storage/IniFile.h"
#include "serial/storage/RegistryKey.h"

#include <array>
#include <string_view>

namespace orbel {

namespace {

// Where the values go and come from.
class TStore {
public:
    virtual ~TStore() = default;
    virtual void WriteText(const char* key, const std::string& value) = 0;
    virtual void WriteInteger(const char* key, std::int32_t value) = 0;
    // `fallback` stands for a missing key where the store has such a rule.
    virtual std::string ReadText(const char* key, const std::string& fallback) = 0;
    virtual std::int32_t ReadInteger(const char* key, std::int32_t fallback) = 0;
};

class TIniStore final : public TStore {
public:
    TIniStore(TIniFile& file, std::string section) : file_(file), section_(std::move(section)) {}
    void WriteText(const char* key, const std::string& value) override {
        file_.WriteString(section_, key, value);
    }
    void WriteInteger(const char* key, std::int32_t value) override {
        file_.WriteInteger(section_, key, value);
    }
    std::string ReadText(const char* key, const std::string& fallback) override {
        return file_.ReadString(section_, key, fallback);
    }
    std::int32_t ReadInteger(const char* key, std::int32_t fallback) override {
        return file_.ReadInteger(section_, key, fallback);
    }

private:
    TIniFile& file_;
    const std::string section_;
};

// A missing text reads as "", a missing or mistyped integer raises.
class TRegistryStore final : public TStore {
public:
    explicit TRegistryStore(TRegistryKey& key) : key_(key) {}
    void WriteText(const char* key, const std::string& value) override {
        key_.WriteString(key, value);
    }
    void WriteInteger(const char* key, std::int32_t value) override {
        key_.WriteInteger(key, value);
    }
    std::string ReadText(const char* key, const std::string&) override {
        return key_.ReadString(key);
    }
    std::int32_t ReadInteger(const char* key, std::int32_t) override {
        return key_.ReadInteger(key);
    }

private:
    TRegistryKey& key_;
};

using TPort = TCustomComPort;

// One stored setting: its text form (or number) and its setter.
struct TKey {
    const char* name;
    std::string (*text)(const TPort&) = nullptr;
    void (*setText)(TPort&, const std::string&) = nullptr;
    std::int32_t (*number)(const TPort&) = nullptr;
    void (*setNumber)(TPort&, std::int32_t) = nullptr;
};

TKey TextKey(const char* name, std::string (*text)(const TPort&),
             void (*setText)(TPort&, const std::string&)) {
    return TKey{name, text, setText, nullptr, nullptr};
}

TKey NumberKey(const char* name, std::int32_t (*number)(const TPort&),
               void (*setNumber)(TPort&, std::int32_t)) {
    return TKey{name, nullptr, nullptr, number, setNumber};
}

// "CustomBaudRate" follows "BaudRate" only for a custom speed; it is handled apart.
constexpr const char* CustomRateKey = "CustomBaudRate";

const std::array BasicKeys = {
    TextKey(
        "Port", [](const TPort& p) { return p.Port(); },
        [](TPort& p, const std::string& t) { p.SetPort(t); }),
    TextKey(
        "BaudRate", [](const TPort& p) { return BaudRateToStr(p.BaudRate()); },
        [](TPort& p, const std::string& t) { p.SetBaudRate(StrToBaudRate(t)); }),
    TKey{CustomRateKey},
    TextKey(
        "StopBits", [](const TPort& p) { return StopBitsToStr(p.StopBits()); },
        [](TPort& p, const std::string& t) { p.SetStopBits(StrToStopBits(t)); }),
    TextKey(
        "DataBits", [](const TPort& p) { return DataBitsToStr(p.DataBits()); },
        [](TPort& p, const std::string& t) { p.SetDataBits(StrToDataBits(t)); }),
    TextKey(
        "Parity", [](const TPort& p) { return ParityToStr(p.Parity().Bits()); },
        [](TPort& p, const std::string& t) { p.Parity().SetBits(StrToParity(t)); }),
    TextKey(
        "FlowControl",
        [](const TPort& p) { return FlowControlToStr(p.FlowControl().FlowControl()); },
        [](TPort& p, const std::string& t) {
            p.FlowControl().SetFlowControl(StrToFlowControl(t));
        }),
};

const std::array OtherKeys = {
    TextKey(
        "EventChar", [](const TPort& p) { return CharToStr(p.EventChar()); },
        [](TPort& p, const std::string& t) { p.SetEventChar(StrToChar(t)); }),
    TextKey(
        "DiscardNull", [](const TPort& p) { return BoolToStr(p.DiscardNull()); },
        [](TPort& p, const std::string& t) { p.SetDiscardNull(StrToBool(t)); }),
};

const std::array ParityKeys = {
    TextKey(
        "Parity.Check", [](const TPort& p) { return BoolToStr(p.Parity().Check()); },
        [](TPort& p, const std::string& t) { p.Parity().SetCheck(StrToBool(t)); }),
    TextKey(
        "Parity.Replace", [](const TPort& p) { return BoolToStr(p.Parity().Replace()); },
        [](TPort& p, const std::string& t) { p.Parity().SetReplace(StrToBool(t)); }),
    TextKey(
        "Parity.ReplaceChar", [](const TPort& p) { return CharToStr(p.Parity().ReplaceChar()); },
        [](TPort& p, const std::string& t) { p.Parity().SetReplaceChar(StrToChar(t)); }),
};

const std::array BufferKeys = {
    NumberKey(
        "Buffer.OutputSize", [](const TPort& p) { return p.Buffer().OutputSize(); },
        [](TPort& p, std::int32_t n) { p.Buffer().SetOutputSize(n); }),
    NumberKey(
        "Buffer.InputSize", [](const TPort& p) { return p.Buffer().InputSize(); },
        [](TPort& p, std::int32_t n) { p.Buffer().SetInputSize(n); }),
};

const std::array TimeoutKeys = {
    NumberKey(
        "Timeouts.ReadInterval", [](const TPort& p) { return p.Timeouts().ReadInterval(); },
        [](TPort& p, std::int32_t n) { p.Timeouts().SetReadInterval(n); }),
    NumberKey(
        "Timeouts.ReadTotalConstant",
        [](const TPort& p) { return p.Timeouts().ReadTotalConstant(); },
        [](TPort& p, std::int32_t n) { p.Timeouts().SetReadTotalConstant(n); }),
    NumberKey(
        "Timeouts.ReadTotalMultiplier",
        [](const TPort& p) { return p.Timeouts().ReadTotalMultiplier(); },
        [](TPort& p, std::int32_t n) { p.Timeouts().SetReadTotalMultiplier(n); }),
    NumberKey(
        "Timeouts.WriteTotalConstant",
        [](const TPort& p) { return p.Timeouts().WriteTotalConstant(); },
        [](TPort& p, std::int32_t n) { p.Timeouts().SetWriteTotalConstant(n); }),
    NumberKey(
        "Timeouts.WriteTotalMultiplier",
        [](const TPort& p) { return p.Timeouts().WriteTotalMultiplier(); },
        [](TPort& p, std::int32_t n) { p.Timeouts().SetWriteTotalMultiplier(n); }),
};

const std::array FlowKeys = {
    TextKey(
        "FlowControl.ControlRTS",
        [](const TPort& p) { return RTSToStr(p.FlowControl().ControlRTS()); },
        [](TPort& p, const std::string& t) { p.FlowControl().SetControlRTS(StrToRTS(t)); }),
    TextKey(
        "FlowControl.ControlDTR",
        [](const TPort& p) { return DTRToStr(p.FlowControl().ControlDTR()); },
        [](TPort& p, const std::string& t) { p.FlowControl().SetControlDTR(StrToDTR(t)); }),
    TextKey(
        "FlowControl.DSRSensitivity",
        [](const TPort& p) { return BoolToStr(p.FlowControl().DSRSensitivity()); },
        [](TPort& p, const std::string& t) { p.FlowControl().SetDSRSensitivity(StrToBool(t)); }),
    TextKey(
        "FlowControl.OutCTSFlow",
        [](const TPort& p) { return BoolToStr(p.FlowControl().OutCTSFlow()); },
        [](TPort& p, const std::string& t) { p.FlowControl().SetOutCTSFlow(StrToBool(t)); }),
    TextKey(
        "FlowControl.OutDSRFlow",
        [](const TPort& p) { return BoolToStr(p.FlowControl().OutDSRFlow()); },
        [](TPort& p, const std::string& t) { p.FlowControl().SetOutDSRFlow(StrToBool(t)); }),
    TextKey(
        "FlowControl.TxContinueOnXoff",
        [](const TPort& p) { return BoolToStr(p.FlowControl().TxContinueOnXoff()); },
        [](TPort& p, const std::string& t) { p.FlowControl().SetTxContinueOnXoff(StrToBool(t)); }),
    TextKey(
        "FlowControl.XonXoffIn",
        [](const TPort& p) { return BoolToStr(p.FlowControl().XonXoffIn()); },
        [](TPort& p, const std::string& t) { p.FlowControl().SetXonXoffIn(StrToBool(t)); }),
    TextKey(
        "FlowControl.XonXoffOut",
        [](const TPort& p) { return BoolToStr(p.FlowControl().XonXoffOut()); },
        [](TPort& p, const std::string& t) { p.FlowControl().SetXonXoffOut(StrToBool(t)); }),
    TextKey(
        "FlowControl.XoffChar",
        [](const TPort& p) { return CharToStr(p.FlowControl().XoffChar()); },
        [](TPort& p, const std::string& t) { p.FlowControl().SetXoffChar(StrToChar(t)); }),
    TextKey(
        "FlowControl.XonChar", [](const TPort& p) { return CharToStr(p.FlowControl().XonChar()); },
        [](TPort& p, const std::string& t) { p.FlowControl().SetXonChar(StrToChar(t)); }),
};

struct TGroup {
    TStoredSetting member;
    const TKey* keys;
    std::size_t count;
};

// The order in which the groups are written and read.
const std::array Groups = {
    TGroup{ssBasic, BasicKeys.data(), BasicKeys.size()},
    TGroup{ssOthers, OtherKeys.data(), OtherKeys.size()},
    TGroup{ssParity, ParityKeys.data(), ParityKeys.size()},
    TGroup{ssBuffer, BufferKeys.data(), BufferKeys.size()},
    TGroup{ssTimeouts, TimeoutKeys.data(), TimeoutKeys.size()},
    TGroup{ssFlowControl, FlowKeys.data(), FlowKeys.size()},
};

constexpr std::int32_t CustomRateFallback = 9600;

void Store(const TPort& port, TStore& store) {
    for (const TGroup& group : Groups) {
        if (!port.StoredSettings().Contains(group.member)) {
            continue;
        }
        for (std::size_t i = 0; i < group.count; ++i) {
            const TKey& key = group.keys[i];
            if (std::string_view(key.name) == CustomRateKey) {
                if (port.BaudRate() == brCustom) {
                    store.WriteInteger(key.name, port.CustomBaudRate());
                }
            } else if (key.text != nullptr) {
                store.WriteText(key.name, key.text(port));
            } else {
                store.WriteInteger(key.name, key.number(port));
            }
        }
    }
}

void Load(TPort& port, TStore& store) {
    for (const TGroup& group : Groups) {
        if (!port.StoredSettings().Contains(group.member)) {
            continue;
        }
        for (std::size_t i = 0; i < group.count; ++i) {
            const TKey& key = group.keys[i];
            if (std::string_view(key.name) == CustomRateKey) {
                if (port.BaudRate() == brCustom) {
                    port.SetCustomBaudRate(store.ReadInteger(key.name, CustomRateFallback));
                }
            } else if (key.text != nullptr) {
                key.setText(port, store.ReadText(key.name, key.text(port)));
            } else {
                key.setNumber(port, store.ReadInteger(key.name, key.number(port)));
            }
        }
    }
}

} // namespace

void TCustomComPort::StoreToRegistry(TRegistryKey& registry) {
    TRegistryStore store(registry);
    Store(*this, store);
}

void TCustomComPort::StoreToIniFile(TIniFile& iniFile) {
    TIniStore store(iniFile, name_);
    Store(*this, store);
}

void TCustomComPort::LoadFromRegistry(TRegistryKey& registry) {
    TRegistryStore store(registry);
    Load(*this, store);
}

void TCustomComPort::LoadFromIniFile(TIniFile& iniFile) {
    TIniStore store(iniFile, name_);
    Load(*this, store);
}

} // namespace orbel
