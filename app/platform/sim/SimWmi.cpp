#include "sim/SimWmi.h"

#include "sim/Machine.h"

namespace sim {

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

// The results of one query: the hotfix list as it was when the query ran. It must not
// outlive the machine.
class SimHotfixEnumerator : public HotfixEnumerator {
public:
    SimHotfixEnumerator(SimWmi& wmi, std::vector<HotfixId> snapshot)
        : wmi_(wmi), snapshot_(std::move(snapshot)) {}

    WmiNext Next(uint32_t timeoutMs, HotfixId* id) override {
        const WmiNext result = wmi_.NextRecord(next_, timeoutMs, snapshot_, id, &lastResult_);
        if (result == WmiNext::Object) {
            ++next_;
        }
        return result;
    }

    int32_t LastResult() const override { return lastResult_; }

private:
    SimWmi& wmi_;
    std::vector<HotfixId> snapshot_;
    size_t next_ = 0;
    int32_t lastResult_ = win::kSOk;
};

}  // namespace

SimWmi::SimWmi(Machine& machine) : machine_(machine) {}

void SimWmi::InstallDefaults() {
    AddHotfix(L"KB3033929");
}

void SimWmi::AddHotfix(const std::wstring& text) {
    HotfixId id;
    id.kind = HotfixId::Kind::Text;
    id.text = text;
    AddHotfixRecord(id);
}

void SimWmi::AddHotfixRecord(const HotfixId& id) {
    Guard guard(machine_.Lock());
    hotfixes_.push_back(id);
}

void SimWmi::ClearHotfixes() {
    Guard guard(machine_.Lock());
    hotfixes_.clear();
}

void SimWmi::FailAt(WmiStage stage, int32_t hr) {
    Guard guard(machine_.Lock());
    failStage_ = stage;
    failResult_ = hr;
}

void SimWmi::FailNextAfter(int count, int32_t hr) {
    Guard guard(machine_.Lock());
    failAfter_ = count;
    failNextResult_ = hr;
}

void SimWmi::StallAfter(int count) {
    Guard guard(machine_.Lock());
    stallAfter_ = count;
}

std::vector<uint32_t> SimWmi::NextTimeouts() {
    Guard guard(machine_.Lock());
    return timeouts_;
}

int SimWmi::EndlessWaits() {
    Guard guard(machine_.Lock());
    return endlessWaits_;
}

int SimWmi::QueryCount() {
    Guard guard(machine_.Lock());
    return queries_;
}

int SimWmi::ObjectsHandedOut() {
    Guard guard(machine_.Lock());
    return handedOut_;
}

std::vector<HotfixId> SimWmi::Hotfixes() {
    Guard guard(machine_.Lock());
    return hotfixes_;
}

int32_t SimWmi::QueryHotfixes(WmiStage* failedStage, std::unique_ptr<HotfixEnumerator>* results) {
    Guard guard(machine_.Lock());
    ++queries_;
    results->reset();
    // CoCreateInstance of the locator is the first call that needs COM on the thread.
    if (!machine_.system().ComUsableOnThisThread()) {
        *failedStage = WmiStage::Locator;
        return kCoENotInitialized;
    }
    if (failStage_ != WmiStage::None) {
        *failedStage = failStage_;
        return failResult_ != 0 ? failResult_ : win::kWbemEFailed;
    }
    *failedStage = WmiStage::None;
    *results = std::make_unique<SimHotfixEnumerator>(*this, hotfixes_);
    return win::kSOk;
}

WmiNext SimWmi::NextRecord(size_t index, uint32_t timeoutMs, const std::vector<HotfixId>& snapshot,
                           HotfixId* id, int32_t* hr) {
    Guard guard(machine_.Lock());
    timeouts_.push_back(timeoutMs);
    if (failAfter_ >= 0 && index >= static_cast<size_t>(failAfter_)) {
        *hr = failNextResult_ != 0 ? failNextResult_ : win::kWbemEFailed;
        return WmiNext::Failed;
    }
    if (stallAfter_ >= 0 && index >= static_cast<size_t>(stallAfter_)) {
        if (timeoutMs == platform::kWmiInfinite) {
            ++endlessWaits_;
        }
        *hr = win::kWbemSTimedOut;
        return WmiNext::TimedOut;
    }
    if (index >= snapshot.size()) {
        *hr = win::kWbemSFalse;
        return WmiNext::End;
    }
    if (id != nullptr) {
        *id = snapshot[index];
    }
    ++handedOut_;
    *hr = win::kSOk;
    return WmiNext::Object;
}

}  // namespace sim
