// The test hook of SimRegistry's key-handle reads, which lets a test play another program
// that changes a value between two reads of it, or make a read fail.
#include <utility>

#include "sim/Machine.h"

namespace sim {

void SimRegistry::OnQueryValue(QueryHook hook) {
    std::lock_guard<std::recursive_mutex> guard(machine_.Lock());
    queryHook_ = std::move(hook);
    queryCalls_ = 0;
}

uint32_t SimRegistry::RunQueryHook(const std::wstring& value) {
    if (!queryHook_ || inQueryHook_) {
        return 0;
    }
    inQueryHook_ = true;
    // A copy, so that the hook may replace or remove itself.
    const QueryHook hook = queryHook_;
    const uint32_t error = hook(value, ++queryCalls_);
    inQueryHook_ = false;
    return error;
}

}  // namespace sim
