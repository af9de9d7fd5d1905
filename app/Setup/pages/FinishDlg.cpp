#include "Setup/pages/FinishDlg.h"

#include "Setup/res/resource.h"
#include "base/Text.h"

namespace {

// Class names are read into a buffer of this many characters.
constexpr int kClassNameChars = 64;

}  // namespace

CFinishDlg::CFinishDlg(InstallerSettings& settings, platform::Platform& platform)
    : CSetupPage(IDD_FINISH, settings, platform) {}

// Back and Cancel are disabled in the template and have no handlers. The page ends only
// through Finish, which stores the user's restart choice: IDOK and IDCANCEL, which some
// dialog managers send for Enter, Escape or the close box even while Cancel is disabled,
// would otherwise end the page through the framework with RestartNow still at its initial
// "restart now", whatever radio button the user chose. Here they are swallowed.
BEGIN_MESSAGE_MAP(CFinishDlg, CSetupPage)
ON_WM_PAINT()
ON_WM_CTLCOLOR()
ON_BN_CLICKED(IDC_NEXT, &CFinishDlg::OnBnClickedNext)
ON_COMMAND(win::kIdOk, &CFinishDlg::OnIgnoreCommand)
ON_COMMAND(win::kIdCancel, &CFinishDlg::OnIgnoreCommand)
END_MESSAGE_MAP()

bool CFinishDlg::OnInitPage() {
    // The default answer is "restart now", whatever RestartNow holds.
    GetUi().SendMessage(GetDlgItem(IDC_RESTART_YES), win::kBmSetCheck, win::kBstChecked, 0);
    return true;
}

platform::BrushHandle CFinishDlg::OnCtlColor(platform::DcHandle dc, platform::WindowHandle control,
                                             int ctlColorType) {
    platform::Ui& ui = GetUi();
    if (base::EqualsNoCase(ui.GetClassName(control, kClassNameChars), L"Button")) {
        // The radio buttons stand on the white area. With visual styles a button paints
        // its own background, so it is given white; in the classic look the hollow brush
        // lets the white painted beneath show through. The look is asked once per page:
        // every repaint of every button comes here.
        if (m_themed == Theme::Unknown) {
            m_themed = ui.IsAppThemed() ? Theme::Styled : Theme::Classic;
        }
        if (m_themed == Theme::Styled) {
            platform::Rect rect;
            if (ui.GetClientRect(control, &rect)) {
                ui.FillRect(dc, rect, platform::Color{255, 255, 255});
            }
        }
        return ui.GetStockBrush(platform::StockBrush::Hollow);
    }
    return CSetupPage::OnCtlColor(dc, control, ctlColorType);
}

void CFinishDlg::OnBnClickedNext() {
    m_settings.RestartNow = GetUi().SendMessage(GetDlgItem(IDC_RESTART_YES), win::kBmGetCheck, 0,
                                                0) == static_cast<intptr_t>(win::kBstChecked)
                                ? 1
                                : 0;
    OnOK();
    m_nResult = PageNext;
}

void CFinishDlg::OnIgnoreCommand() {}
