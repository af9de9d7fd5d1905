#include "sim/Machine.h"

namespace sim {

SimWmi::SimWmi(Machine& machine) : machine_(machine) {}

void SimWmi::InstallDefaults() {}

int32_t SimWmi::QueryHotfixes(WmiStage* failedStage, std::unique_ptr<HotfixEnumerator>* results) {
    (void)failedStage;
    (void)results;
    return win::kENotImpl;
}

}  // namespace sim
