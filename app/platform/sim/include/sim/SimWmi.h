// Simulated WMI of sim::Machine: the hotfix inventory that the Win32_QuickFixEngineering
// query returns, with failure injection at every stage of the query and of the walk
// through its results (a failing or a stuck service).
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
    // After |count| objects of a query, IEnumWbemClassObject::Next fails with |hr| (the
    // service went away part-way); a negative count removes the failure.
    void FailNextAfter(int count, int32_t hr = win::kRpcEDisconnected);
    // After |count| objects of a query the service stops answering: every further Next
    // waits out its time limit and reports WBEM_S_TIMEDOUT. The sim does not really wait;
    // a Next without a time limit would never return on Windows, and is counted in
    // EndlessWaits() (and answered as timed out, so that the test can end). A negative
    // count removes the stall.
    void StallAfter(int count);

    // --- Inspection ---
    int QueryCount();        // QueryHotfixes calls, failed ones included
    int ObjectsHandedOut();  // records returned by Next, over all queries
    // The time limit of every Next, over all queries, in order.
    std::vector<uint32_t> NextTimeouts();
    // Waits without a time limit on a stalled service: each one hangs on Windows.
    int EndlessWaits();
    std::vector<HotfixId> Hotfixes();

    // --- The port ---
    int32_t QueryHotfixes(WmiStage* failedStage,
                          std::unique_ptr<HotfixEnumerator>* results) override;

    // Called by the enumerators: the record at |index| of a query's results.
    WmiNext NextRecord(size_t index, uint32_t timeoutMs, const std::vector<HotfixId>& snapshot,
                       HotfixId* id, int32_t* hr);

private:
    Machine& machine_;
    std::vector<HotfixId> hotfixes_;
    WmiStage failStage_ = WmiStage::None;
    int32_t failResult_ = 0;
    int failAfter_ = -1;
    int32_t failNextResult_ = 0;
    int stallAfter_ = -1;
    int queries_ = 0;
    int handedOut_ = 0;
    int endlessWaits_ = 0;
    std::vector<uint32_t> timeouts_;
};

}  // namespace sim
