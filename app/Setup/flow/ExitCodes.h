// The setup program's exit codes. They are the installer results that Windows defines for
// setup programs, so that a deployment tool can read them as it reads any installer's:
//
//   3010  installed; a restart is required (silent run, or "restart later" chosen)
//   1641  installed; the restart of the computer has been started
//   1602  cancelled by the user (Cancel confirmed on a page, or No to a question)
//   1603  the installation failed (the driver could not be copied, the folders could not
//         be determined, a page before the installation could not be shown, the
//         installation could not be started, or the question about missing updates could
//         not be shown: nobody answered it)
//   1633  this version of Windows is not supported: Windows 2000 or older, or 64-bit
//         Windows (message 144 of the prerequisite checks)
//
// Two refusals of the prerequisite checks have no installer result that describes them;
// they end with the Windows error that says what stands in the way, so that a deployment
// tool can tell them from a failed installation (1603) and from each other:
//
//     19  a volume is in Veil Mode (message 145): every write to it would be diverted to
//         the overlay and thrown away at the next restart, as on a write-protected disk
//         (ERROR_WRITE_PROTECT). Setup may run once Veil Mode is off.
//     32  the product's main interface is running (message 146): its files are in use by
//         another process (ERROR_SHARING_VIOLATION). Setup may run once it is closed.
//
// A check-only run (-check) installs nothing and ends with 0 when an installation would
// start without a question, with the refusal's own code (1633, 19, 32) when one would be
// refused, and otherwise, when an installation would stop at the question about missing
// Windows updates (messages 158, 159), with
//
//   1150  the product wants Windows brought up to date with those updates
//         (ERROR_OLD_WIN_VERSION, "the specified program requires a newer version of
//         Windows"): a code no installation ends with, so that a deployment tool can tell
//         it from every outcome of one. An installation with -suppressmsgboxes would go on.
//
// The options box (-?) ends with 0 as well.
//
// A No to the question about a missing Windows update (messages 158 and 159) is the
// user's choice to stop: 1602. With -suppressmsgboxes that question is answered Yes (its
// default button), so it never ends a run.
//
// The install log (-log:) never changes the code: a log that cannot be written is left
// out and the run ends as it would have without it.
//
// The start-up routine still ends the framework's way (InitInstance returns false on every
// path); the exit code is a separate result of the run that the entry point returns.
#pragma once

#include <cstdint>

#include "platform/WinConst.h"

constexpr uint32_t kExitRestartRequired = win::kErrorSuccessRebootRequired;          // 3010
constexpr uint32_t kExitRestartStarted = win::kErrorSuccessRebootInitiated;          // 1641
constexpr uint32_t kExitCancelled = win::kErrorInstallUserexit;                      // 1602
constexpr uint32_t kExitFailed = win::kErrorInstallFailure;                          // 1603
constexpr uint32_t kExitUnsupportedWindows = win::kErrorInstallPlatformUnsupported;  // 1633
constexpr uint32_t kExitVeilMode = win::kErrorWriteProtect;                          // 19
constexpr uint32_t kExitMainInterfaceRunning = win::kErrorSharingViolation;          // 32
constexpr uint32_t kExitNothingToInstall = win::kErrorSuccess;                       // 0
constexpr uint32_t kExitUpdatesMissing = win::kErrorOldWinVersion;                   // 1150

// What a code means, in the words of the install log's last line.
inline const wchar_t* ExitCodeMeaning(uint32_t code) {
    switch (code) {
        case kExitRestartRequired:
            return L"installed; a restart is required";
        case kExitRestartStarted:
            return L"installed; the restart of the computer has been started";
        case kExitCancelled:
            return L"cancelled by the user";
        case kExitFailed:
            return L"the installation failed";
        case kExitUnsupportedWindows:
            return L"this version of Windows is not supported";
        case kExitVeilMode:
            return L"a volume is in Veil Mode";
        case kExitMainInterfaceRunning:
            return L"the product's main interface is running";
        default:
            return L"not a code of this program";
    }
}
