// The setup program's exit codes. They are the installer results that Windows defines for
// setup programs, so that a deployment tool can read them as it reads any installer's:
//
//   3010  installed; a restart is required (silent run, or "restart later" chosen)
//   1641  installed; the restart of the computer has been started
//   1602  cancelled by the user (Cancel confirmed on a page, or No to a question)
//   1603  the installation failed (the driver could not be copied, a page could not be
//         shown, or the installation could not be started)
//   1633  this version of Windows is not supported (set by the prerequisite checks)
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
