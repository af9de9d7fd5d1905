// The Ready to Install page (template 105): a summary of the choices, and Install.
#pragma once

#include <string>

#include "Setup/pages/SetupPage.h"

// The summary the page shows: every line ends with CR LF.
std::wstring BuildReadySummary(const InstallerSettings& settings, platform::Ui& ui);

class CReadyDlg : public CSetupPage {
public:
    CReadyDlg(InstallerSettings& settings, platform::Platform& platform);

protected:
    bool OnInitPage() override;

    DECLARE_MESSAGE_MAP()
};
