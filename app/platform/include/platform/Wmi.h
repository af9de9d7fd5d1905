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

class HotfixEnumerator {
public:
    virtual ~HotfixEnumerator() = default;
    // IEnumWbemClassObject::Next(WBEM_INFINITE, 1, ...) and HotFixID of the object; false
    // when no object came back (end of the results or failure).
    virtual bool Next(HotfixId* id) = 0;
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
