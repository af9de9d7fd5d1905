// Simulated wmi of sim::Machine.
#pragma once

#include "sim/Common.h"

namespace sim {

class Machine;

class SimWmi : public platform::Wmi {
public:
    explicit SimWmi(Machine& machine);
    // Puts the default machine's state in place (called once by Machine's constructor).
    void InstallDefaults();

    int32_t QueryHotfixes(WmiStage* failedStage,
                          std::unique_ptr<HotfixEnumerator>* results) override;

private:
    Machine& machine_;
};

}  // namespace sim
