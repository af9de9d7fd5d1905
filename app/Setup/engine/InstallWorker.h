// The install engine's entry points: the worker thread of the Installing page and the
// silent path both run RunInstall, which derives the folders, initialises COM on its
// thread and runs the install sequence (DoInstall) step by step, reporting progress on the
// Installing page in interactive mode.
#pragma once

#include <cstdint>

#include "Setup/flow/InstallerSettings.h"
#include "Setup/flow/SetupProcess.h"
#include "platform/Platform.h"

// The private message the worker posts to the Installing page when it is done (WM_USER + 1).
constexpr uint32_t WM_INSTALL_DONE = 0x0400 + 1;

// Handed by the Installing page to the worker thread; lives inside the page object, which
// ends only after the worker's last message. The worker only reads it.
struct InstallWorkerArgs {
    platform::WindowHandle page;         // receives the completion message
    platform::WindowHandle statusText;   // control 1011: the current stage's text
    platform::WindowHandle progressBar;  // control 1012: range 0..100, set by the page
    uint32_t completionMessage = WM_INSTALL_DONE;
    // What the worker installs with: the program's ports and its installer settings.
    platform::Platform* platform = nullptr;
    InstallerSettings* settings = nullptr;
    const SetupProcess* process = nullptr;
};

// The worker thread's start routine (System::CreateThread form): RunInstall with the record
// and silent flag 0, then posts the record's completion message (wParam 0, lParam 0) to the
// page, whatever the outcome. Returns 0.
uint32_t InstallWorkerProc(void* args);

// Derives the folders, CoInitialize on the calling thread, then DoInstall. |args| may be
// null only when |silent| is nonzero.
void RunInstall(platform::Platform& platform, InstallerSettings& settings,
                const SetupProcess& process, const InstallWorkerArgs* args, int32_t silent);

// The install sequence; the outcome is left in settings.InstallFailed.
void DoInstall(platform::Platform& platform, InstallerSettings& settings,
               const SetupProcess& process, const InstallWorkerArgs* args, int32_t silent);

// The first work of RunInstall: InstallDir, SystemDir, SourceDir and StartMenuPath from the
// Program Files folder, the system folder, the program's own path and the all-users
// Programs folder, each read as into a buffer of MAX_PATH characters and trimmed of
// trailing backslashes. A folder that cannot be had (a failed query, a path that does not
// fit, a program path without a folder) is left empty rather than turned into a path on
// the current drive: an empty InstallDir, SystemDir or SourceDir ends the installation
// (see FoldersDetermined), an empty StartMenuPath means no start-menu links.
void DeriveFolders(platform::Platform& platform, InstallerSettings& settings);

// Whether |path| can be the installation folder: a full path with a drive ("D:\Apps") or a
// server name ("\\server\share\Corvane"), without a quotation mark, which would break the
// quoting of the Run entry, the uninstall string and the service program's command line. A
// relative path, or one without a drive ("\Apps"), would install relative to wherever
// setup was started.
bool IsUsableInstallFolder(const std::wstring& path);

// Whether the folders the files are copied from and into are known: SourceDir and SystemDir
// are not empty, and InstallDir (which the configuration file may have set) is usable.
bool FoldersDetermined(const InstallerSettings& settings);
