#include "Setup/pages/ReadyDlg.h"

#include "Setup/res/resource.h"

namespace {

constexpr const wchar_t kLineEnd[] = L"\r\n";
constexpr const wchar_t kIndent[] = L"    ";            // 4 blanks
constexpr const wchar_t kDoubleIndent[] = L"        ";  // 8 blanks

}  // namespace

std::wstring BuildReadySummary(const InstallerSettings& settings, platform::Ui& ui) {
    const std::wstring userInfo = ui.LoadString(IDS_SUMMARY_USERINFO);
    const std::wstring startMenu = ui.LoadString(IDS_SUMMARY_STARTMENU);
    const std::wstring tasks = ui.LoadString(IDS_SUMMARY_TASKS);
    const std::wstring icons = ui.LoadString(IDS_SUMMARY_ICONS);
    const std::wstring desktopIcon = ui.LoadString(IDS_SUMMARY_DESKTOPICON);
    const std::wstring quickLaunch = ui.LoadString(IDS_SUMMARY_QUICKLAUNCH);

    std::wstring summary;
    summary += userInfo + kLineEnd;
    summary += kIndent + settings.UserName + kLineEnd;
    summary += kIndent + settings.Organization + kLineEnd;
    summary += startMenu + kLineEnd;
    summary += kIndent + settings.StartMenuFolder + kLineEnd;
    if (settings.DesktopIcon != 0 || settings.QuickLaunchIcon != 0) {
        summary += kLineEnd;
        summary += tasks + kLineEnd;
        summary += kIndent + icons + kLineEnd;
        if (settings.DesktopIcon != 0) {
            summary += kDoubleIndent + desktopIcon + kLineEnd;
        }
        if (settings.QuickLaunchIcon != 0) {
            summary += kDoubleIndent + quickLaunch + kLineEnd;
        }
    }
    return summary;
}

CReadyDlg::CReadyDlg(InstallerSettings& settings, platform::Platform& platform)
    : CSetupPage(IDD_READY, settings, platform) {}

BEGIN_MESSAGE_MAP(CReadyDlg, CSetupPage)
ON_WM_PAINT()
ON_WM_CTLCOLOR()
ON_BN_CLICKED(IDC_NEXT, &CReadyDlg::OnBnClickedNext)
ON_BN_CLICKED(IDC_BACK, &CReadyDlg::OnBnClickedBack)
ON_BN_CLICKED(win::kIdCancel, &CReadyDlg::OnBnClickedCancel)
END_MESSAGE_MAP()

bool CReadyDlg::OnInitPage() {
    const std::wstring summary = BuildReadySummary(m_settings, GetUi());
    if (const platform::WindowHandle memo = GetDlgItem(IDC_SUMMARY)) {
        GetUi().SetWindowText(memo, summary);
    }
    return true;
}
