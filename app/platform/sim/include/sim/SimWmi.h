// Simulated WMI of sim::Machine: the hotfix inventory that the Win32_QuickFixEngineering
// query returns.
#pragma once

#include <vector>

#include "sim/Common.h"

namespace sim {

class Machine;

class SimWmi : public platform::Wmi {
public:
    explicit SimWmi(Machine& machine);
    // Puts the default machine's state in place (called once by Machine's constructor):
    // one hotfix, the text "KB3033929".
    void InstallDefaults();

    // --- Set-up ---
    void AddHotfix(const std::wstring& text);
    void AddHotfixRecord(const HotfixId& id);
    void ClearHotfixes();
    // The query fails at |stage| with |hr|; WmiStage::None makes it succeed again.
    void FailAt(WmiStage stage, int32_t hr);
    // The enumeration ends (Next returns false) after |count| objects, as when
    // IEnumWbemClassObject::Next fails part-way; a negative count removes the limit.
    void FailNextAfter(int count);

    // --- Inspection ---
    int QueryCount();        // QueryHotfixes calls, failed ones included
    int ObjectsHandedOut();  // records returned by Next, over all queries
    std::vector<HotfixId> Hotfixes();

    // --- The port ---
    int32_t QueryHotfixes(WmiStage* failedStage,
                          std::unique_ptr<HotfixEnumerator>* results) override;

    // Called by the enumerators.
    bool NextRecord(size_t index, const std::vector<HotfixId>& snapshot, HotfixId* id);

private:
    Machine& machine_;
    std::vector<HotfixId> hotfixes_;
    WmiStage failStage_ = WmiStage::None;
    int32_t failResult_ = 0;
    int failAfter_ = -1;
    int queries_ = 0;
    int handedOut_ = 0;
};

}  // namespace sim
