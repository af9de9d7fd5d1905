#include "Setup/pages/UserInformationDlg.h"

#include "Setup/flow/RegisteredUser.h"
#include "Setup/res/resource.h"

CUserInformationDlg::CUserInformationDlg(InstallerSettings& settings, platform::Platform& platform)
    : CSetupPage(IDD_USERINFO, settings, platform) {}

BEGIN_MESSAGE_MAP(CUserInformationDlg, CSetupPage)
ON_WM_PAINT()
ON_WM_CTLCOLOR()
ON_BN_CLICKED(IDC_NEXT, &CUserInformationDlg::OnBnClickedNext)
ON_BN_CLICKED(IDC_BACK, &CUserInformationDlg::OnBnClickedBack)
ON_BN_CLICKED(win::kIdCancel, &CUserInformationDlg::OnBnClickedCancel)
END_MESSAGE_MAP()

void CUserInformationDlg::DoDataExchange(CDataExchange& dx) {
    CSetupPage::DoDataExchange(dx);
    DDX_Text(dx, IDC_USERNAME, m_strUserName);
    DDV_MaxChars(dx, m_strUserName, kMaxChars);
    DDX_Text(dx, IDC_ORGANIZATION, m_strOrganization);
    DDV_MaxChars(dx, m_strOrganization, kMaxChars);
}

bool CUserInformationDlg::OnInitPage() {
    platform::Registry& registry = m_platform.registry;
    const std::wstring owner = ReadRegisteredText(registry, kRegisteredOwnerValue);
    const std::wstring organization = ReadRegisteredText(registry, kRegisteredOrganizationValue);

    platform::Ui& ui = GetUi();
    const std::wstring& userName = m_settings.UserName.empty() ? owner : m_settings.UserName;
    const std::wstring& org =
        m_settings.Organization.empty() ? organization : m_settings.Organization;
    // Set as they are: a proposal longer than the limit is shown in full and caught by the
    // length check on Next or Back.
    if (const platform::WindowHandle edit = GetDlgItem(IDC_USERNAME)) {
        ui.SetWindowText(edit, userName);
    }
    if (const platform::WindowHandle edit = GetDlgItem(IDC_ORGANIZATION)) {
        ui.SetWindowText(edit, org);
    }
    return true;
}

void CUserInformationDlg::OnBnClickedNext() {
    platform::Ui& ui = GetUi();
    m_strUserName = ui.GetWindowText(GetDlgItem(IDC_USERNAME));
    m_strOrganization = ui.GetWindowText(GetDlgItem(IDC_ORGANIZATION));
    if (m_strUserName.empty()) {
        return;  // a user name is required; the page stays open without a message
    }
    OnOK();
    m_nResult = PageNext;
}
