// WMI adapter: the hotfix inventory through Win32_QuickFixEngineering. Needs COM
// initialised on the calling thread.
#include "win32/Win32Util.h"

#include <new>

#include "win32/Adapters.h"

namespace win32 {

namespace {

// A BSTR owned for the length of one call.
class Bstr {
public:
    explicit Bstr(const wchar_t* text) : text_(::SysAllocString(text)) {}
    ~Bstr() { ::SysFreeString(text_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR get() const { return text_; }

private:
    BSTR text_;
};

// The text of a BSTR, all of its characters (a null BSTR is the empty string).
std::wstring TextOfBstr(BSTR text) {
    return text != nullptr ? std::wstring(text, ::SysStringLen(text)) : std::wstring();
}

// Hands out the query's objects one at a time; owns the enumerator, the services and the
// locator, released in that order when it goes.
class Win32HotfixEnumerator final : public HotfixEnumerator {
public:
    Win32HotfixEnumerator(IWbemLocator* locator, IWbemServices* services,
                          IEnumWbemClassObject* objects)
        : locator_(locator), services_(services), objects_(objects) {}
    ~Win32HotfixEnumerator() override {
        objects_->Release();
        services_->Release();
        locator_->Release();
    }
    Win32HotfixEnumerator(const Win32HotfixEnumerator&) = delete;
    Win32HotfixEnumerator& operator=(const Win32HotfixEnumerator&) = delete;

    WmiNext Next(uint32_t timeoutMs, HotfixId* id) override {
        IWbemClassObject* object = nullptr;
        ULONG returned = 0;
        // WBEM_INFINITE is -1: the bound is handed on as the signed count of milliseconds
        // the method takes.
        const HRESULT hr = objects_->Next(static_cast<long>(static_cast<int32_t>(timeoutMs)), 1,
                                          &object, &returned);
        lastResult_ = hr;
        if (returned == 0 || object == nullptr) {
            if (object != nullptr) {
                object->Release();
            }
            if (hr == WBEM_S_TIMEDOUT) {
                return WmiNext::TimedOut;
            }
            return FAILED(hr) ? WmiNext::Failed : WmiNext::End;
        }
        HotfixId result;
        VARIANT value;
        ::VariantInit(&value);
        if (FAILED(object->Get(L"HotFixID", 0, &value, nullptr, nullptr))) {
            result.kind = HotfixId::Kind::ReadFailed;
        } else {
            switch (V_VT(&value)) {
                case VT_EMPTY:
                    result.kind = HotfixId::Kind::Empty;
                    break;
                case VT_NULL:
                    result.kind = HotfixId::Kind::Null;
                    break;
                case VT_BSTR:
                    result.kind = HotfixId::Kind::Text;
                    result.text = TextOfBstr(V_BSTR(&value));
                    break;
                default:
                    Convert(value, &result);
                    break;
            }
        }
        ::VariantClear(&value);
        object->Release();
        if (id != nullptr) {
            *id = std::move(result);
        }
        return WmiNext::Object;
    }

    int32_t LastResult() const override { return lastResult_; }

private:
    // A value of another type, as text when the conversion succeeds.
    static void Convert(VARIANT& value, HotfixId* result) {
        VARIANT copy;
        ::VariantInit(&copy);
        if (SUCCEEDED(::VariantCopy(&copy, &value)) &&
            SUCCEEDED(::VariantChangeType(&copy, &copy, 0, VT_BSTR))) {
            result->kind = HotfixId::Kind::Converted;
            result->text = TextOfBstr(V_BSTR(&copy));
        } else {
            result->kind = HotfixId::Kind::NotConvertible;
        }
        ::VariantClear(&copy);
    }

    IWbemLocator* locator_;
    IWbemServices* services_;
    IEnumWbemClassObject* objects_;
    HRESULT lastResult_ = S_OK;
};

}  // namespace

int32_t Win32Wmi::QueryHotfixes(WmiStage* failedStage, std::unique_ptr<HotfixEnumerator>* results) {
    WmiStage stageStore = WmiStage::None;
    WmiStage& stage = failedStage != nullptr ? *failedStage : stageStore;
    stage = WmiStage::None;
    if (results != nullptr) {
        results->reset();
    }

    IWbemLocator* locator = nullptr;
    HRESULT hr = ::CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_IWbemLocator, reinterpret_cast<void**>(&locator));
    if (FAILED(hr)) {
        stage = WmiStage::Locator;
        return hr;
    }

    IWbemServices* services = nullptr;
    {
        Bstr space(L"root\\CIMV2");
        hr = space.get() != nullptr ? locator->ConnectServer(space.get(), nullptr, nullptr, nullptr,
                                                             0, nullptr, nullptr, &services)
                                    : E_OUTOFMEMORY;
    }
    if (FAILED(hr)) {
        locator->Release();
        stage = WmiStage::Connect;
        return hr;
    }

    hr = ::CoSetProxyBlanket(services, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                             RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr,
                             EOAC_NONE);
    if (FAILED(hr)) {
        services->Release();
        locator->Release();
        stage = WmiStage::Blanket;
        return hr;
    }

    IEnumWbemClassObject* objects = nullptr;
    {
        Bstr language(L"WQL");
        Bstr query(L"Select * FROM Win32_QuickFixEngineering");
        hr = language.get() != nullptr && query.get() != nullptr
                 ? services->ExecQuery(language.get(), query.get(),
                                       WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
                                       nullptr, &objects)
                 : E_OUTOFMEMORY;
    }
    if (FAILED(hr)) {
        services->Release();
        locator->Release();
        stage = WmiStage::Query;
        return hr;
    }

    // Without a place to hand the results to, or memory for the enumerator, everything is
    // released again; the latter counts as a failure of the query stage.
    if (results == nullptr) {
        objects->Release();
        services->Release();
        locator->Release();
        return hr;
    }
    results->reset(new (std::nothrow) Win32HotfixEnumerator(locator, services, objects));
    if (!*results) {
        objects->Release();
        services->Release();
        locator->Release();
        stage = WmiStage::Query;
        return E_OUTOFMEMORY;
    }
    return hr;
}

}  // namespace win32
