// The Select Additional Tasks page (template 104): a desktop icon and a Quick Launch icon.
#pragma once

#include <cstdint>

#include "Setup/pages/SetupPage.h"

class CAdditionalTaskDlg : public CSetupPage {
public:
    CAdditionalTaskDlg(InstallerSettings& settings, platform::Platform& platform);

    // Written only by Next; the page sequence sets both to 1 before each visit.
    int32_t m_bDesktopIcon;
    int32_t m_bQuickLaunchIcon;

protected:
    bool OnInitPage() override;
    void OnBnClickedNext();

    DECLARE_MESSAGE_MAP()
};
