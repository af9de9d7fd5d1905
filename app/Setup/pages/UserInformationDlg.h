// The User Information page (template 103): the user name and the organisation, proposed
// from the installer settings or from the owner and organisation registered with Windows.
#pragma once

#include <string>

#include "Setup/pages/SetupPage.h"

class CUserInformationDlg : public CSetupPage {
public:
    CUserInformationDlg(InstallerSettings& settings, platform::Platform& platform);

    std::wstring m_strUserName;
    std::wstring m_strOrganization;

    // The most characters either box may hold when the page ends with Next or Back.
    static constexpr int kMaxChars = 64;

protected:
    bool OnInitPage() override;
    void DoDataExchange(CDataExchange& dx) override;
    void OnBnClickedNext();

    DECLARE_MESSAGE_MAP()
};
