// What the process works out before the application object starts (the program computes
// it during static initialisation) and keeps for the whole run: the base of the driver's
// variable control code. It is derived once from the driver's install GUID and never
// recomputed, not even after the installation has written a new GUID. The entry point
// makes the one record of the process; a test builds a fresh one.
#pragma once

#include <cstdint>

#include "platform/Platform.h"

class CInstallLog;

struct SetupProcess {
    // 4 x the sum of the code units 20 to 23 of the driver's install GUID text (0 when no
    // GUID can be had); see Setup/checks/DriverControl.h.
    int32_t ControlCodeBase = 0;
    // The run's install log (Setup/flow/InstallLog.h), which the checks, the pages and the
    // install steps write their outcomes to; null when the run has none (a test that builds
    // the parts alone). RunSetup sets it for the length of the run.
    CInstallLog* Log = nullptr;
};

// The record as the process starts: ControlCodeBase asked of a loaded driver, else read
// from the driver's service key.
SetupProcess StartSetupProcess(platform::Platform& platform);
