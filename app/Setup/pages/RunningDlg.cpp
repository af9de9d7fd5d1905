#include "Setup/pages/RunningDlg.h"

#include "Setup/flow/InstallLog.h"
#include "Setup/res/resource.h"

CRunningDlg::CRunningDlg(InstallerSettings& settings, platform::Platform& platform,
                         const SetupProcess& process)
    : CSetupPage(IDD_RUNNING, settings, platform), m_process(process) {}

CRunningDlg::~CRunningDlg() {
    // By the time the page object goes away the worker has posted its last message and is
    // returning; its handle is closed without waiting for it.
    if (m_hThread) {
        m_platform.system.CloseThread(m_hThread);
        m_hThread = platform::KernelHandle();
    }
}

// Next, Back and Cancel are disabled and have no handlers. Enter, Escape and the close
// box reach the page as IDOK and IDCANCEL, which the framework would turn into the end of
// the page: here they are swallowed, so the page ends only on WM_INSTALL_DONE.
BEGIN_MESSAGE_MAP(CRunningDlg, CSetupPage)
ON_WM_PAINT()
ON_WM_CTLCOLOR()
ON_MESSAGE(WM_INSTALL_DONE, &CRunningDlg::OnInstallDone)
ON_COMMAND(win::kIdOk, &CRunningDlg::OnIgnoreCommand)
ON_COMMAND(win::kIdCancel, &CRunningDlg::OnIgnoreCommand)
END_MESSAGE_MAP()

bool CRunningDlg::OnInitPage() {
    if (const platform::WindowHandle progress = GetDlgItem(IDC_PROGRESS)) {
        GetUi().SendMessage(progress, win::kPbmSetRange32, 0, 100);
    }
    return true;
}

bool CRunningDlg::OnInitDialog() {
    const bool setFocus = CSetupPage::OnInitDialog();

    m_workerArgs.page = m_hWnd;
    m_workerArgs.statusText = GetDlgItem(IDC_STATUS);
    m_workerArgs.progressBar = GetDlgItem(IDC_PROGRESS);
    m_workerArgs.completionMessage = WM_INSTALL_DONE;
    m_workerArgs.platform = &m_platform;
    m_workerArgs.settings = &m_settings;
    m_workerArgs.process = &m_process;

    m_hThread = m_platform.system.CreateThread(InstallWorkerProc, &m_workerArgs);
    if (!m_hThread) {
        // Without a worker nothing would ever end the page. Nothing has been installed, so
        // the run counts as a failed installation (the page sequence then ends without
        // the Finish page and the computer is not restarted), and the page ends through
        // the same completion message the worker would have posted.
        WriteLog(m_process.Log, L"Setup",
                 L"the installation could not be started, " +
                     ErrorText(m_platform.system.GetLastError()) + L"; nothing was installed");
        m_settings.InstallFailed = 1;
        GetUi().PostMessage(m_hWnd, WM_INSTALL_DONE, 0, 0);
    }
    return setFocus;
}

intptr_t CRunningDlg::OnInstallDone(uintptr_t wParam, intptr_t lParam) {
    (void)wParam;
    (void)lParam;
    OnOK();
    m_nResult = PageNext;
    return 0;
}

void CRunningDlg::OnIgnoreCommand() {}
