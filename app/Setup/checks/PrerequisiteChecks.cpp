#include "Setup/checks/PrerequisiteChecks.h"

#include "Setup/checks/DriverControl.h"
#include "Setup/checks/HotfixInventory.h"
#include "Setup/checks/VolumeChecks.h"
#include "Setup/flow/ExitCodes.h"
#include "Setup/flow/InstallLog.h"
#include "Setup/res/Version.h"
#include "Setup/res/resource.h"
#include "base/Text.h"
#include "framework/WinApp.h"

namespace {

// One outcome in the install log.
void LogCheck(const SetupProcess& process, const std::wstring& text) {
    WriteLog(process.Log, L"Check", text);
}

// The information box of a refusal (OK, information icon); a check-only run only logs
// which box an installation would show.
void ShowRefusal(platform::Platform& platform, const SetupProcess& process, ChecksMode mode,
                 int id) {
    if (mode == ChecksMode::CheckOnly) {
        LogCheck(process, base::Format(L"-check: message %d not shown", id));
        return;
    }
    AppMessageBox(platform, id, win::kMbOk | win::kMbIconInformation);
}

// How the checks of the Windows updates end.
enum class UpdatesOutcome {
    GoOn,      // installed, none required, or Yes to the question
    Declined,  // any answer but Yes
    NotAsked,  // the question's box could not be shown: nobody answered
    WouldAsk,  // a check-only run: an installation would ask
};

// Windows 2000 and older.
bool IsBeforeWindowsXp(const platform::OsVersion& version) {
    return version.major < 5 || (version.major == 5 && version.minor == 0);
}

// A 32-bit program on 64-bit Windows. A kernel32 without IsWow64Process, or a call that
// fails, counts as 32-bit Windows.
bool IsWow64(platform::Platform& platform) {
    return platform.system.QueryWow64() == platform::Wow64Probe::Yes;
}

// The question about a missing update (Yes and No, question icon). A box that cannot be
// shown returns 0: that is no answer of the user's, and the run fails instead of counting
// as cancelled.
UpdatesOutcome AskAboutUpdates(platform::Platform& platform, const SetupProcess& process,
                               ChecksMode mode, int id, const std::wstring& missing) {
    if (mode == ChecksMode::CheckOnly) {
        LogCheck(process, L"Windows updates: " + missing +
                              base::Format(L"; an installation would ask whether to go on "
                                           L"(message %d, not shown: -check)",
                                           id));
        return UpdatesOutcome::WouldAsk;
    }
    LogCheck(process, L"Windows updates: " + missing +
                          base::Format(L"; asking whether to go on (message %d)", id));
    const int answer = AppMessageBox(platform, id, win::kMbYesNo | win::kMbIconQuestion);
    if (answer == 0) {
        LogCheck(process, L"Windows updates: the question could not be shown, " +
                              ErrorText(platform.system.GetLastError()) + L"; setup ends");
        return UpdatesOutcome::NotAsked;
    }
    if (answer != win::kIdYes) {
        LogCheck(process, L"Windows updates: the answer is not Yes; setup ends");
        return UpdatesOutcome::Declined;
    }
    LogCheck(process, L"Windows updates: the answer is Yes; setup goes on");
    return UpdatesOutcome::GoOn;
}

// The update questions of Vista and 7.
UpdatesOutcome CheckRequiredUpdates(platform::Platform& platform, const SetupProcess& process,
                                    ChecksMode mode, const platform::OsVersion& version) {
    if (version.major == 6 && version.minor == 0) {
        if (IsHotfixInstalled(platform, kVistaUpdate)) {
            LogCheck(process, L"Windows updates: " + std::wstring(kVistaUpdate) + L" is installed");
            return UpdatesOutcome::GoOn;
        }
        return AskAboutUpdates(platform, process, mode, IDS_HOTFIX_KB2763674,
                               std::wstring(kVistaUpdate) + L" is not installed");
    }
    if (version.major == 6 && version.minor == 1) {
        std::wstring names;
        for (const wchar_t* update : kWindows7Updates) {
            if (IsHotfixInstalled(platform, update)) {
                LogCheck(process, L"Windows updates: " + std::wstring(update) + L" is installed");
                return UpdatesOutcome::GoOn;
            }
            names += (names.empty() ? L"" : L", ") + std::wstring(update);
        }
        return AskAboutUpdates(platform, process, mode, IDS_HOTFIX_KB3185278,
                               L"none of " + names + L" is installed");
    }
    LogCheck(process, base::Format(L"Windows updates: none required on Windows %u.%u",
                                   version.major, version.minor));
    return UpdatesOutcome::GoOn;
}

// The mutex of the product's main interface exists: another process holds it. Setup never
// keeps a handle; a mutex that cannot be created does not stop setup.
bool IsMainInterfaceRunning(platform::Platform& platform, const SetupProcess& process) {
    const platform::KernelHandle mutex = platform.processes.CreateMutex(kMainInterfaceMutex, false);
    if (!mutex) {
        LogCheck(process, L"main interface: its mutex could not be made, " +
                              ErrorText(platform.system.GetLastError()) +
                              L"; taken as not running");
        return false;
    }
    const bool existed = platform.system.GetLastError() == win::kErrorAlreadyExists;
    platform.processes.CloseHandle(mutex);
    return existed;
}

// The running Warden learns that setup starts; setup waits until its window has handled the
// message. Nothing happens when there is no such window.
void NotifyWarden(platform::Platform& platform, const SetupProcess& process) {
    const platform::WindowHandle warden =
        platform.processes.FindWindow(nullptr, kWardenWindowTitle);
    if (warden) {
        platform.processes.SendMessage(warden, kWardenNotifyMessage, 0, 0);
        LogCheck(process, base::Format(L"Warden: told that setup starts (message %u)",
                                       kWardenNotifyMessage));
    } else {
        LogCheck(process, L"Warden: not running");
    }
}

}  // namespace

std::wstring ProductVersionText() {
    // The product version shown for "<VERSION>", the one the version resource carries.
    return base::Format(L"%d.%d.%d.%d", CV_VERSION_MAJOR, CV_VERSION_MINOR, CV_VERSION_REVISION,
                        CV_VERSION_BUILD);
}

bool IsAnyVolumeVeiled(platform::Platform& platform, int32_t controlCodeBase,
                       wchar_t* veiledLetter) {
    for (wchar_t letter = L'C'; letter <= L'Z'; ++letter) {
        if (!IsEligibleVolume(platform, letter)) {
            continue;
        }
        VolumeState state;
        if (QueryVolumeState(platform, controlCodeBase, letter, &state) &&
            state.state == kVolumeVeiled) {
            if (veiledLetter != nullptr) {
                *veiledLetter = letter;
            }
            return true;
        }
    }
    return false;
}

bool RunPrerequisiteChecks(platform::Platform& platform, InstallerSettings& settings,
                           const SetupProcess& process, uint32_t* exitCode, ChecksMode mode) {
    // Only the major and minor numbers count. The manifest declares every version up to
    // Windows 10, so the real version is reported. The call fails only where the extended
    // record is unknown (Windows NT 4.0 before SP6): the zeros left then refuse like
    // Windows 2000 does.
    platform::OsVersion version;
    if (!platform.system.GetVersion(&version)) {
        version = platform::OsVersion();
    }
    const std::wstring windows = base::Format(L"Windows %u.%u", version.major, version.minor);
    if (IsBeforeWindowsXp(version)) {
        LogCheck(process, windows + L": not supported (Windows 2000 or older); setup ends");
        ShowRefusal(platform, process, mode, IDS_OS_NOT_SUPPORTED);
        *exitCode = kExitUnsupportedWindows;
        return false;
    }
    LogCheck(process, windows + L": supported");

    settings.VersionText = ProductVersionText();

    if (IsWow64(platform)) {
        LogCheck(process,
                 L"64-bit Windows (the program runs under WOW64): not supported; setup ends");
        ShowRefusal(platform, process, mode, IDS_OS_NOT_SUPPORTED);
        *exitCode = kExitUnsupportedWindows;
        return false;
    }
    LogCheck(process, L"32-bit Windows: yes");

    wchar_t veiled = 0;
    if (IsAnyVolumeVeiled(platform, process.ControlCodeBase, &veiled)) {
        LogCheck(process, L"Veil Mode: volume " + std::wstring(1, veiled) +
                              L": is in Veil Mode; setup ends");
        ShowRefusal(platform, process, mode, IDS_VEIL_MODE);
        *exitCode = kExitVeilMode;
        return false;
    }
    LogCheck(process, L"Veil Mode: no volume is in Veil Mode");

    const UpdatesOutcome updates = CheckRequiredUpdates(platform, process, mode, version);
    if (updates == UpdatesOutcome::Declined || updates == UpdatesOutcome::NotAsked) {
        *exitCode = updates == UpdatesOutcome::NotAsked ? kExitFailed : kExitCancelled;
        return false;
    }

    if (IsMainInterfaceRunning(platform, process)) {
        LogCheck(process, L"main interface: running (its mutex exists); setup ends");
        ShowRefusal(platform, process, mode, IDS_CLOSE_MAIN_UI);
        *exitCode = kExitMainInterfaceRunning;
        return false;
    }
    LogCheck(process, L"main interface: not running");

    if (updates == UpdatesOutcome::WouldAsk) {
        LogCheck(process, L"all checks passed but for the question about Windows updates");
        *exitCode = kExitUpdatesMissing;
        return false;
    }
    if (mode == ChecksMode::CheckOnly) {
        LogCheck(process, L"Warden: not told (-check: no installation starts)");
    } else {
        NotifyWarden(platform, process);
    }
    LogCheck(process, L"all checks passed");
    return true;
}
