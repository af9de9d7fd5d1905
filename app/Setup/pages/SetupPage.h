// The frame shared by the setup wizard's pages. Every page is a modal dialog of its own with
// its own Next, Back and Cancel buttons; CSetupPage gives them the common fields, the
// initialisation order (application icon, bold title font, page set-up, placeholders), the
// white area painted above line 1004, the title colours, and the common Back, Cancel and
// plain Next handlers. Each page lists in its own message map which of these it uses.
#pragma once

#include <cstdint>

#include "Setup/flow/InstallerSettings.h"
#include "framework/Dialog.h"
#include "framework/Font.h"
#include "platform/Platform.h"

class CSetupPage : public CDialog {
public:
    CSetupPage(int templateId, InstallerSettings& settings, platform::Platform& platform);

    platform::IconHandle m_hIcon;  // the application icon (128); not destroyed by the page
    int32_t m_nResult;             // PageCancel, PageNext or PageBack
    CFont m_fontTitle;             // the bold title font, made during initialisation

    InstallerSettings& Settings() const { return m_settings; }

protected:
    // Framework initialisation, icons, title font, OnInitPage(), ReplacePlaceholders();
    // returns what OnInitPage() returned (true: the dialog manager sets the focus).
    bool OnInitDialog() override;
    // The page's own set-up, run before the placeholders are replaced.
    virtual bool OnInitPage() { return true; }

    // White area above control 1004; the centred icon when the page is minimised.
    void OnPaint();
    // Statics 1002 and 1003 drawn transparently on the white brush; others by default.
    platform::BrushHandle OnCtlColor(platform::DcHandle dc, platform::WindowHandle control,
                                     int ctlColorType);
    // OK path, then PageBack.
    void OnBnClickedBack();
    // Confirmation (message 140); OK ends the page with PageCancel.
    void OnBnClickedCancel();
    // Plain Next: OK path, then PageNext.
    void OnBnClickedNext();

    InstallerSettings& m_settings;

private:
    void CreateTitleFont();
};

// Replaces "<PRODUCT>" by ProductName and then "<VERSION>" by the settings' VersionText in
// the texts of the page's Static and Edit children (in window order, direct children only)
// and then in the page's caption. Texts without a placeholder are left alone.
void ReplacePlaceholders(CSetupPage& page);
