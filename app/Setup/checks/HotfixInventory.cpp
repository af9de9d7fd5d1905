#include "Setup/checks/HotfixInventory.h"

#include <memory>

#include "base/Text.h"

bool HotfixTextMatches(const std::wstring& lowerId, const std::wstring& lowerText) {
    const size_t at = lowerText.find(lowerId);
    if (at != std::wstring::npos && at > 0) {
        return true;
    }
    return base::EqualsNoCase(lowerId, lowerText);
}

bool IsHotfixInstalled(platform::Platform& platform, const std::wstring& updateId) {
    const std::wstring lowerId = base::ToLower(updateId);

    // The locator, the connection, the proxy's security and the query; a failure at any of
    // them has released what was made before it.
    platform::WmiStage failedStage = platform::WmiStage::None;
    std::unique_ptr<platform::HotfixEnumerator> results;
    const int32_t hr = platform.wmi.QueryHotfixes(&failedStage, &results);
    if (hr < 0 || !results) {
        return false;
    }

    // One object at a time until the first match. The end of the results, a failure and a
    // wait that ran out all end the walk without a match.
    platform::HotfixId id;
    while (results->Next(kHotfixWaitMilliseconds, &id) == platform::WmiNext::Object) {
        switch (id.kind) {
            case platform::HotfixId::Kind::Text:
            case platform::HotfixId::Kind::Converted:
                if (HotfixTextMatches(lowerId, base::ToLower(id.text))) {
                    return true;
                }
                break;
            case platform::HotfixId::Kind::ReadFailed:
            case platform::HotfixId::Kind::Empty:
            case platform::HotfixId::Kind::Null:
            case platform::HotfixId::Kind::NotConvertible:
                break;
        }
    }
    return false;
}
