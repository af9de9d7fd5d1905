#include "Setup/checks/PrerequisiteChecks.h"

#include "Setup/checks/DriverControl.h"
#include "Setup/checks/HotfixInventory.h"
#include "Setup/checks/VolumeChecks.h"
#include "Setup/flow/ExitCodes.h"
#include "Setup/res/resource.h"
#include "base/Text.h"
#include "framework/WinApp.h"

namespace {

// The product version shown for "<VERSION>".
constexpr int kVersionMajor = 1;
constexpr int kVersionMinor = 4;
constexpr int kVersionRevision = 0;
constexpr int kVersionBuild = 672;

// The information box of a refusal (OK, information icon).
void ShowRefusal(platform::Platform& platform, int id) {
    AppMessageBox(platform, id, win::kMbOk | win::kMbIconInformation);
}

// The question of a missing update (Yes and No, question icon): true for Yes.
bool AskToContinue(platform::Platform& platform, int id) {
    return AppMessageBox(platform, id, win::kMbYesNo | win::kMbIconQuestion) == win::kIdYes;
}

// Windows 2000 and older.
bool IsBeforeWindowsXp(const platform::OsVersion& version) {
    return version.major < 5 || (version.major == 5 && version.minor == 0);
}

// A 32-bit program on 64-bit Windows. A kernel32 without IsWow64Process, or a call that
// fails, counts as 32-bit Windows.
bool IsWow64(platform::Platform& platform) {
    return platform.system.QueryWow64() == platform::Wow64Probe::Yes;
}

// The update questions of Vista and 7; false after a No.
bool CheckRequiredUpdates(platform::Platform& platform, const platform::OsVersion& version) {
    if (version.major != 6) {
        return true;
    }
    if (version.minor == 0) {
        return IsHotfixInstalled(platform, kVistaUpdate) ||
               AskToContinue(platform, IDS_HOTFIX_KB2763674);
    }
    if (version.minor == 1) {
        for (const wchar_t* update : kWindows7Updates) {
            if (IsHotfixInstalled(platform, update)) {
                return true;
            }
        }
        return AskToContinue(platform, IDS_HOTFIX_KB3185278);
    }
    return true;
}

// The mutex of the product's main interface exists: another process holds it. Setup never
// keeps a handle; a mutex that cannot be created does not stop setup.
bool IsMainInterfaceRunning(platform::Platform& platform) {
    const platform::KernelHandle mutex = platform.processes.CreateMutex(kMainInterfaceMutex, false);
    if (!mutex) {
        return false;
    }
    const bool existed = platform.system.GetLastError() == win::kErrorAlreadyExists;
    platform.processes.CloseHandle(mutex);
    return existed;
}

// The running Warden learns that setup starts; setup waits until its window has handled the
// message. Nothing happens when there is no such window.
void NotifyWarden(platform::Platform& platform) {
    const platform::WindowHandle warden =
        platform.processes.FindWindow(nullptr, kWardenWindowTitle);
    if (warden) {
        platform.processes.SendMessage(warden, kWardenNotifyMessage, 0, 0);
    }
}

}  // namespace

std::wstring ProductVersionText() {
    return base::Format(L"%d.%d.%d.%d", kVersionMajor, kVersionMinor, kVersionRevision,
                        kVersionBuild);
}

bool IsAnyVolumeVeiled(platform::Platform& platform, int32_t controlCodeBase) {
    for (wchar_t letter = L'C'; letter <= L'Z'; ++letter) {
        if (!IsEligibleVolume(platform, letter)) {
            continue;
        }
        VolumeState state;
        if (QueryVolumeState(platform, controlCodeBase, letter, &state) &&
            state.state == kVolumeVeiled) {
            return true;
        }
    }
    return false;
}

bool RunPrerequisiteChecks(platform::Platform& platform, InstallerSettings& settings,
                           const SetupProcess& process, uint32_t* exitCode) {
    // Only the major and minor numbers count. The manifest declares every version up to
    // Windows 10, so the real version is reported. The call fails only where the extended
    // record is unknown (Windows NT 4.0 before SP6): the zeros left then refuse like
    // Windows 2000 does.
    platform::OsVersion version;
    if (!platform.system.GetVersion(&version)) {
        version = platform::OsVersion();
    }
    if (IsBeforeWindowsXp(version)) {
        ShowRefusal(platform, IDS_OS_NOT_SUPPORTED);
        *exitCode = kExitUnsupportedWindows;
        return false;
    }

    settings.VersionText = ProductVersionText();

    if (IsWow64(platform)) {
        ShowRefusal(platform, IDS_OS_NOT_SUPPORTED);
        *exitCode = kExitUnsupportedWindows;
        return false;
    }

    if (IsAnyVolumeVeiled(platform, process.ControlCodeBase)) {
        ShowRefusal(platform, IDS_VEIL_MODE);
        *exitCode = kExitVeilMode;
        return false;
    }

    if (!CheckRequiredUpdates(platform, version)) {
        *exitCode = kExitCancelled;
        return false;
    }

    if (IsMainInterfaceRunning(platform)) {
        ShowRefusal(platform, IDS_CLOSE_MAIN_UI);
        *exitCode = kExitMainInterfaceRunning;
        return false;
    }

    NotifyWarden(platform);
    return true;
}
