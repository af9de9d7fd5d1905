// WMI port: the Win32_QuickFixEngineering query of the hotfix inventory. The adapter runs
// the COM steps (locator, ConnectServer to root\CIMV2, CoSetProxyBlanket, ExecQuery
// "Select * FROM Win32_QuickFixEngineering" with forward-only, return-immediately) and
// then hands out one object's HotFixID at a time, each with the kind of value it had.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

enum class WmiStage {
    None,     // nothing failed
    Locator,  // CoCreateInstance(CLSID_WbemLocator)
    Connect,  // IWbemLocator::ConnectServer
    Blanket,  // CoSetProxyBlanket
    Query,    // IWbemServices::ExecQuery
};

struct HotfixId {
    enum class Kind {
        ReadFailed,      // IWbemClassObject::Get failed
        Empty,           // VT_EMPTY
        Null,            // VT_NULL
        Text,            // VT_BSTR; |text| holds it unchanged
        Converted,       // another type converted to text by VariantChangeType; |text| holds it
        NotConvertible,  // VariantCopy or VariantChangeType failed
    };
    Kind kind = Kind::Empty;
    std::wstring text;
};

// What one wait for the next result object gave.
enum class WmiNext {
    Object,    // an object came back; the HotfixId describes its HotFixID
    End,       // no further object: the results are over (WBEM_S_FALSE)
    TimedOut,  // no object within the time allowed (WBEM_S_TIMEDOUT): a stuck service
    Failed,    // IEnumWbemClassObject::Next failed (a WBEM_E_* or RPC error)
};

// IEnumWbemClassObject::Next's wait without a time limit (WBEM_INFINITE).
constexpr uint32_t kWmiInfinite = 0xFFFFFFFF;

class HotfixEnumerator {
public:
    virtual ~HotfixEnumerator() = default;
    // IEnumWbemClassObject::Next(timeoutMs, 1, ...), waiting at most |timeoutMs|
    // milliseconds for the next object (kWmiInfinite: without a limit), then HotFixID of
    // the object. |id| is set only for WmiNext::Object.
    virtual WmiNext Next(uint32_t timeoutMs, HotfixId* id) = 0;
    // The HRESULT of the last Next (S_OK for an object, WBEM_S_FALSE at the end,
    // WBEM_S_TIMEDOUT after a wait that ran out, the failure otherwise).
    virtual int32_t LastResult() const = 0;
};

class Wmi {
public:
    virtual ~Wmi() = default;
    // Runs the query; on failure returns the failing HRESULT with |failedStage| set and no
    // enumerator. Needs COM initialised on the calling thread.
    virtual int32_t QueryHotfixes(WmiStage* failedStage,
                                  std::unique_ptr<HotfixEnumerator>* results) = 0;
};

}  // namespace platform
