#include "Setup/pages/UserInformationDlg.h"

#include <cstdint>

#include "Setup/res/resource.h"
#include "base/Text.h"

namespace {

constexpr const wchar_t kCurrentVersionKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

// The registry proposals are read into buffers of this many bytes (127 characters and the
// terminator).
constexpr uint32_t kProposalBytes = 256;

// A text value registered with Windows, as a proposal. The value is read into a cleared
// 256-byte buffer; its type is not examined and the text runs to the first null. A value
// that does not fit (more than 127 characters with its terminator) makes SHGetValueW
// report ERROR_MORE_DATA, and the proposal is then empty, as for a missing value. A value
// of exactly 256 bytes without a terminator gives its first 127 characters: the last
// character of the buffer is always kept for the terminator.
std::wstring ReadRegisteredText(platform::Registry& registry, const wchar_t* name) {
    uint8_t buffer[kProposalBytes] = {};
    uint32_t size = sizeof(buffer);
    if (registry.GetValue(platform::Hive::LocalMachine, kCurrentVersionKey, name, nullptr, buffer,
                          &size) != win::kErrorSuccess) {
        return std::wstring();
    }
    return base::FromUtf16LEUntilNull(buffer, sizeof(buffer) - 2);
}

}  // namespace

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
    const std::wstring owner = ReadRegisteredText(registry, L"RegisteredOwner");
    const std::wstring organization = ReadRegisteredText(registry, L"RegisteredOrganization");

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
