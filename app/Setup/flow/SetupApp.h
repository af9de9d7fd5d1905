// The setup program's application object and its start-up: everything the program does
// happens in CSetupApp::InitInstance, which prepares the process, reads the command line,
// runs the prerequisite checks and then walks the wizard pages or the silent path. There is
// no main window: InitInstance returns false on every path, so the framework never runs a
// message loop and the process ends when it returns, with the run's exit code
// (Setup/flow/ExitCodes.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Setup/flow/InstallerSettings.h"
#include "Setup/flow/SetupOptions.h"
#include "Setup/flow/SetupProcess.h"
#include "Setup/flow/SystemLibrary.h"
#include "framework/WinApp.h"
#include "platform/Platform.h"

// The libraries the rich edit control of the Agreement page needs: "RICHED32.DLL" (the
// framework's rich edit initialisation) and "riched20.dll", which registers the
// "RichEdit20W" class that the page's template names; both from the system folder, their
// own imports too (LoadSystemLibrary). Returns true when both were loaded (the start-up goes
// on either way).
bool InitRichEdit(platform::Platform& platform);

class CSetupApp : public CWinApp {
public:
    CSetupApp(platform::Platform& platform, InstallerSettings& settings, SetupProcess& process);

    // The start-up, in order: restrict the DLL search path, load the visual styles'
    // libraries from the system folder, register the common controls
    // (size 8, classes 0xFF), COM multithreaded, the rich edit libraries, the framework's
    // own initialisation, the command line (and with it the install log and the message
    // box policy of the process's log, when it has one), the prerequisite checks
    // (Setup/checks, which set the exit code of a refusal), the page sequence. The options
    // box (-?) and the check-only run (-check) take the place of the checks and the pages.
    // Returns false on every path.
    bool InitInstance() override;

    // The run's result, valid once InitInstance has returned.
    uint32_t GetExitCode() const { return m_nExitCode; }
    // Set from the command line by InitInstance.
    bool IsSilent() const { return m_bSilent; }
    const SetupOptions& GetOptions() const { return m_options; }
    platform::DllSearchRestriction GetDllSearchRestriction() const { return m_dllSearch; }

private:
    InstallerSettings& m_settings;
    SetupProcess& m_process;
    bool m_bSilent = false;
    SetupOptions m_options;
    uint32_t m_nExitCode;
    platform::DllSearchRestriction m_dllSearch = platform::DllSearchRestriction::None;
};

// The whole run as the entry point does it: the ports the program sees (Setup/flow/
// LoggedPorts.h) over |platform|, with the install log that -log: opens, the application
// object over them, its InitInstance, the exit code (also the log's last line).
uint32_t RunSetup(platform::Platform& platform, InstallerSettings& settings, SetupProcess& process);
