#include "Setup/pages/AdditionalTaskDlg.h"

#include "Setup/res/resource.h"

namespace {

bool IsChecked(platform::Ui& ui, platform::WindowHandle button) {
    return ui.SendMessage(button, win::kBmGetCheck, 0, 0) ==
           static_cast<intptr_t>(win::kBstChecked);
}

void SetChecked(platform::Ui& ui, platform::WindowHandle button, bool checked) {
    ui.SendMessage(button, win::kBmSetCheck, checked ? win::kBstChecked : win::kBstUnchecked, 0);
}

}  // namespace

CAdditionalTaskDlg::CAdditionalTaskDlg(InstallerSettings& settings, platform::Platform& platform)
    : CSetupPage(IDD_ADDITIONALTASK, settings, platform),
      m_bDesktopIcon(1),
      m_bQuickLaunchIcon(1) {}

BEGIN_MESSAGE_MAP(CAdditionalTaskDlg, CSetupPage)
ON_WM_PAINT()
ON_WM_CTLCOLOR()
ON_BN_CLICKED(IDC_NEXT, &CAdditionalTaskDlg::OnBnClickedNext)
ON_BN_CLICKED(IDC_BACK, &CAdditionalTaskDlg::OnBnClickedBack)
ON_BN_CLICKED(win::kIdCancel, &CAdditionalTaskDlg::OnBnClickedCancel)
END_MESSAGE_MAP()

bool CAdditionalTaskDlg::OnInitPage() {
    platform::Ui& ui = GetUi();
    SetChecked(ui, GetDlgItem(IDC_DESKTOPICON), m_settings.DesktopIcon != 0);
    SetChecked(ui, GetDlgItem(IDC_QUICKLAUNCH), m_settings.QuickLaunchIcon != 0);
    return true;
}

void CAdditionalTaskDlg::OnBnClickedNext() {
    platform::Ui& ui = GetUi();
    m_bDesktopIcon = IsChecked(ui, GetDlgItem(IDC_DESKTOPICON)) ? 1 : 0;
    m_bQuickLaunchIcon = IsChecked(ui, GetDlgItem(IDC_QUICKLAUNCH)) ? 1 : 0;
    OnOK();
    m_nResult = PageNext;
}
