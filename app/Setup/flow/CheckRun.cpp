#include "Setup/flow/CheckRun.h"

#include "Setup/checks/PrerequisiteChecks.h"
#include "Setup/flow/ExitCodes.h"

uint32_t RunCheckOnly(platform::Platform& platform, InstallerSettings& settings,
                      const SetupProcess& process) {
    uint32_t exitCode = kExitNothingToInstall;
    if (RunPrerequisiteChecks(platform, settings, process, &exitCode, ChecksMode::CheckOnly)) {
        return kExitNothingToInstall;
    }
    return exitCode;
}

std::wstring CheckRunMeaning(uint32_t code) {
    switch (code) {
        case kExitNothingToInstall:
            return L"-check: an installation would start without a question; nothing installed";
        case kExitUpdatesMissing:
            return L"-check: an installation would ask about missing Windows updates; nothing "
                   L"installed";
        case kExitUnsupportedWindows:
        case kExitVeilMode:
        case kExitMainInterfaceRunning:
            return std::wstring(L"-check: an installation would be refused, ") +
                   ExitCodeMeaning(code) + L"; nothing installed";
        default:
            return std::wstring(L"-check: ") + ExitCodeMeaning(code);
    }
}
