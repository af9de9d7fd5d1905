#include "Setup/pages/SetupPage.h"

#include "Setup/res/resource.h"
#include "base/Text.h"

using platform::BrushHandle;
using platform::DcHandle;
using platform::WindowHandle;

namespace {

// Class names are read into a buffer of this many characters.
constexpr int kClassNameChars = 64;

// "<PRODUCT>" then "<VERSION>"; true when |text| changed.
bool SubstitutePlaceholders(std::wstring& text, const std::wstring& versionText) {
    size_t count = base::ReplaceAll(text, L"<PRODUCT>", ProductName);
    count += base::ReplaceAll(text, L"<VERSION>", versionText);
    return count != 0;
}

}  // namespace

CSetupPage::CSetupPage(int templateId, InstallerSettings& settings, platform::Platform& platform)
    : CDialog(templateId, platform),
      m_hIcon(platform.ui.LoadIcon(IDR_MAINFRAME)),
      m_nResult(PageCancel),
      m_settings(settings) {}

bool CSetupPage::OnInitDialog() {
    CDialog::OnInitDialog();

    platform::Ui& ui = GetUi();
    ui.SendMessage(m_hWnd, win::kWmSetIcon, win::kIconBig, static_cast<intptr_t>(m_hIcon.value));
    ui.SendMessage(m_hWnd, win::kWmSetIcon, win::kIconSmall, static_cast<intptr_t>(m_hIcon.value));

    CreateTitleFont();

    const bool setFocus = OnInitPage();
    ReplacePlaceholders(*this);
    return setFocus;
}

void CSetupPage::CreateTitleFont() {
    platform::Ui& ui = GetUi();
    platform::FontDescription description;
    if (!ui.GetFontDescription(ui.GetFont(m_hWnd), &description)) {
        return;  // no dialog font to start from: the title keeps the dialog's font
    }
    description.weight = win::kFwBold;
    if (m_nIDTemplate == IDD_WELCOME || m_nIDTemplate == IDD_FINISH) {
        description.height = description.height * 3 / 2;  // truncates toward zero
    }
    if (!m_fontTitle.CreateFontIndirect(ui, description)) {
        return;
    }
    const WindowHandle title = GetDlgItem(IDC_TITLE);
    if (title) {
        ui.SetFont(title, m_fontTitle.GetSafeHandle(), true);
    }
}

void CSetupPage::OnPaint() {
    platform::Ui& ui = GetUi();
    const DcHandle dc = ui.BeginPaint(m_hWnd);
    platform::Rect client;
    ui.GetClientRect(m_hWnd, &client);
    if (ui.IsIconic(m_hWnd)) {
        ui.SendMessage(m_hWnd, win::kWmIconEraseBkgnd, static_cast<uintptr_t>(dc.value), 0);
        const int cxIcon = ui.GetSystemMetrics(win::kSmCxIcon);
        const int cyIcon = ui.GetSystemMetrics(win::kSmCyIcon);
        const int x = (client.right - client.left - cxIcon + 1) / 2;
        const int y = (client.bottom - client.top - cyIcon + 1) / 2;
        ui.DrawIcon(dc, x, y, m_hIcon);
    } else {
        const WindowHandle line = GetDlgItem(IDC_HEADERLINE);
        platform::Rect lineRect;
        if (line && ui.GetWindowRect(line, &lineRect) && ui.ScreenToClient(m_hWnd, &lineRect)) {
            platform::Rect white = client;
            white.bottom = lineRect.top;
            if (white.bottom > white.top) {
                ui.FillRect(dc, white, platform::Color{255, 255, 255});
            }
        }
    }
    ui.EndPaint(m_hWnd);
}

BrushHandle CSetupPage::OnCtlColor(DcHandle dc, WindowHandle control, int ctlColorType) {
    platform::Ui& ui = GetUi();
    const std::wstring className = ui.GetClassName(control, kClassNameChars);
    if (base::EqualsNoCase(className, L"Static")) {
        const int id = ui.GetDlgCtrlID(control);
        if (id == IDC_TITLE || id == IDC_SUBTITLE) {
            ui.SetTransparentBackground(dc);
            return ui.GetStockBrush(platform::StockBrush::White);
        }
    }
    return CDialog::OnCtlColor(dc, control, ctlColorType);
}

void CSetupPage::OnBnClickedBack() {
    OnOK();
    m_nResult = PageBack;
}

void CSetupPage::OnBnClickedCancel() {
    if (MessageBoxById(m_hWnd, IDS_EXIT_SETUP, win::kMbOkCancel | win::kMbIconQuestion) ==
        win::kIdOk) {
        m_nResult = PageCancel;
        OnCancel();
    }
}

void CSetupPage::OnBnClickedNext() {
    OnOK();
    m_nResult = PageNext;
}

void ReplacePlaceholders(CSetupPage& page) {
    platform::Ui& ui = page.GetUi();
    const WindowHandle dialog = page.GetSafeHwnd();
    if (!dialog) {
        return;
    }
    const std::wstring& versionText = page.Settings().VersionText;
    for (WindowHandle child = ui.GetWindow(dialog, platform::WindowRelation::FirstChild); child;
         child = ui.GetWindow(child, platform::WindowRelation::NextSibling)) {
        const std::wstring className = ui.GetClassName(child, kClassNameChars);
        if (!base::EqualsNoCase(className, L"Static") && !base::EqualsNoCase(className, L"Edit")) {
            continue;
        }
        std::wstring text = ui.GetWindowText(child);
        if (SubstitutePlaceholders(text, versionText)) {
            ui.SetWindowText(child, text);
        }
    }
    std::wstring caption = ui.GetWindowText(dialog);
    if (SubstitutePlaceholders(caption, versionText)) {
        ui.SetWindowText(dialog, caption);
    }
}
