// The Installing page (template 106): starts the install worker on its own thread, shows
// the worker's status line and progress, and ends by itself on WM_INSTALL_DONE. The user
// can do nothing on it.
#pragma once

#include "Setup/engine/InstallWorker.h"
#include "Setup/pages/SetupPage.h"

class CRunningDlg : public CSetupPage {
public:
    CRunningDlg(InstallerSettings& settings, platform::Platform& platform,
                const SetupProcess& process);
    // Closes the worker's thread handle; never waits for the thread.
    ~CRunningDlg() override;

    platform::KernelHandle m_hThread;  // empty until the worker is started
    InstallWorkerArgs m_workerArgs;    // handed to the worker by address

protected:
    const SetupProcess& m_process;

    // The frame's initialisation (with the progress range set by OnInitPage and the
    // placeholders replaced), then the worker is started.
    bool OnInitDialog() override;
    bool OnInitPage() override;
    intptr_t OnInstallDone(uintptr_t wParam, intptr_t lParam);
    // IDOK and IDCANCEL (Enter, Escape, the close box) must not end the page early.
    void OnIgnoreCommand();

    DECLARE_MESSAGE_MAP()
};
