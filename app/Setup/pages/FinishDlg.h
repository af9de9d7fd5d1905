// The Finish page (template 107): asks whether to restart now and stores the answer in
// the installer settings (RestartNow). Back and Cancel are disabled and have no handlers;
// the page ends only through Finish.
#pragma once

#include "Setup/pages/SetupPage.h"

class CFinishDlg : public CSetupPage {
public:
    CFinishDlg(InstallerSettings& settings, platform::Platform& platform);

protected:
    bool OnInitPage() override;
    // Buttons get the hollow brush; with visual styles their client area is filled white
    // first. Other controls as the common handler.
    platform::BrushHandle OnCtlColor(platform::DcHandle dc, platform::WindowHandle control,
                                     int ctlColorType);
    void OnBnClickedNext();
    // IDOK and IDCANCEL (Enter without a default button, Escape, the close box) must not
    // end the page: only Finish records the user's choice.
    void OnIgnoreCommand();

    DECLARE_MESSAGE_MAP()

private:
    enum class Theme { Unknown, Styled, Classic };
    Theme m_themed = Theme::Unknown;
};
