#include "Setup/pages/WelcomeDlg.h"

#include "Setup/res/resource.h"

CWelcomeDlg::CWelcomeDlg(InstallerSettings& settings, platform::Platform& platform)
    : CSetupPage(IDD_WELCOME, settings, platform) {}

BEGIN_MESSAGE_MAP(CWelcomeDlg, CSetupPage)
ON_WM_PAINT()
ON_WM_CTLCOLOR()
ON_BN_CLICKED(IDC_NEXT, &CWelcomeDlg::OnBnClickedNext)
ON_BN_CLICKED(win::kIdCancel, &CWelcomeDlg::OnBnClickedCancel)
END_MESSAGE_MAP()
