#include "Setup/flow/SetupProcess.h"

#include "Setup/checks/DriverControl.h"
#include "platform/WinConst.h"

SetupProcess StartSetupProcess(platform::Platform& platform) {
    // First of all: the system handles critical errors (a card reader or a CD drive without
    // media, asked for its file system by the checks) and files that cannot be opened by
    // failing the call, instead of showing a box of its own that no option of an unattended
    // run can answer. Whatever mode the program was started with is kept besides. The
    // programs setup starts (Keeper.exe /install, waited for) inherit the mode, and are
    // meant to: they run unattended as well.
    constexpr uint32_t kQuietErrors = win::kSemFailCriticalErrors | win::kSemNoOpenFileErrorBox;
    const uint32_t inherited = platform.system.SetErrorMode(kQuietErrors);
    if ((inherited & ~kQuietErrors) != 0) {
        platform.system.SetErrorMode(inherited | kQuietErrors);
    }
    SetupProcess process;
    process.ControlCodeBase = ComputeControlCodeBase(platform);
    return process;
}
