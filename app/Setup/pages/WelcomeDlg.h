// The Welcome page (template 101): leads on with Next; Cancel asks for confirmation. It has
// no Back button.
#pragma once

#include "Setup/pages/SetupPage.h"

class CWelcomeDlg : public CSetupPage {
public:
    CWelcomeDlg(InstallerSettings& settings, platform::Platform& platform);

    DECLARE_MESSAGE_MAP()
};
