#include "Setup/flow/SetupProcess.h"

#include "Setup/checks/DriverControl.h"

SetupProcess StartSetupProcess(platform::Platform& platform) {
    SetupProcess process;
    process.ControlCodeBase = ComputeControlCodeBase(platform);
    return process;
}
