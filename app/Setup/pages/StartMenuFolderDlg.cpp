#include "Setup/pages/StartMenuFolderDlg.h"

#include <vector>

#include "Setup/res/resource.h"

namespace {

bool IsDotEntry(const std::wstring& name) {
    return name == L"." || name == L"..";
}

}  // namespace

CStartMenuFolderDlg::CStartMenuFolderDlg(InstallerSettings& settings, platform::Platform& platform)
    : CSetupPage(IDD_STARTMENUFOLDER, settings, platform), m_strFolder(ProductName) {}

BEGIN_MESSAGE_MAP(CStartMenuFolderDlg, CSetupPage)
ON_WM_PAINT()
ON_WM_CTLCOLOR()
ON_BN_CLICKED(IDC_NEXT, &CStartMenuFolderDlg::OnBnClickedNext)
ON_BN_CLICKED(IDC_BACK, &CStartMenuFolderDlg::OnBnClickedBack)
ON_BN_CLICKED(win::kIdCancel, &CStartMenuFolderDlg::OnBnClickedCancel)
ON_LBN_SELCHANGE(IDC_FOLDERLIST, &CStartMenuFolderDlg::OnLbnSelchangeFolders)
END_MESSAGE_MAP()

bool CStartMenuFolderDlg::OnInitPage() {
    platform::Ui& ui = GetUi();
    if (const platform::WindowHandle edit = GetDlgItem(IDC_FOLDER)) {
        // "<PRODUCT>" becomes the product name when the placeholders are replaced.
        ui.SetWindowText(edit, m_settings.StartMenuFolder.empty() ? std::wstring(L"<PRODUCT>")
                                                                  : m_settings.StartMenuFolder);
    }
    AddFoldersOf(win::kCsidlCommonPrograms);
    AddFoldersOf(win::kCsidlPrograms);
    return true;
}

void CStartMenuFolderDlg::AddFoldersOf(int csidl) {
    platform::Ui& ui = GetUi();
    const platform::WindowHandle list = GetDlgItem(IDC_FOLDERLIST);
    if (!list) {
        return;
    }
    std::wstring folder;
    if (!m_platform.shell.GetSpecialFolderPath(csidl, true, &folder)) {
        return;  // an unknown folder adds nothing
    }
    // The pattern is built in a classic 260-character path buffer; a folder too deep for
    // it is left out like one that cannot be enumerated.
    const std::wstring pattern = folder + L"\\*";
    if (pattern.size() >= win::kMaxPath) {
        return;
    }
    platform::Files& files = m_platform.files;
    platform::FindData entry;
    const platform::FindHandle find = files.FindFirstFile(pattern, &entry);
    if (!find) {
        return;
    }
    do {
        if (IsDotEntry(entry.name) || (entry.attributes & win::kFileAttributeDirectory) == 0 ||
            entry.name.empty()) {
            continue;
        }
        // Prefix search over the whole list: a name that begins an item already listed
        // (ignoring case) is not added again.
        const intptr_t found = ui.SendMessage(list, win::kLbFindString, static_cast<uintptr_t>(-1),
                                              reinterpret_cast<intptr_t>(entry.name.c_str()));
        if (found == static_cast<intptr_t>(-1)) {
            ui.SendMessage(list, win::kLbAddString, 0,
                           reinterpret_cast<intptr_t>(entry.name.c_str()));
        }
    } while (files.FindNextFile(find, &entry));
    files.FindClose(find);
}

void CStartMenuFolderDlg::OnLbnSelchangeFolders() {
    platform::Ui& ui = GetUi();
    const platform::WindowHandle list = GetDlgItem(IDC_FOLDERLIST);
    const intptr_t selection = ui.SendMessage(list, win::kLbGetCurSel, 0, 0);
    if (selection < 0) {
        return;
    }
    const intptr_t length =
        ui.SendMessage(list, win::kLbGetTextLen, static_cast<uintptr_t>(selection), 0);
    if (length < 0) {
        return;
    }
    std::vector<wchar_t> text(static_cast<size_t>(length) + 1, L'\0');
    const intptr_t copied = ui.SendMessage(list, win::kLbGetText, static_cast<uintptr_t>(selection),
                                           reinterpret_cast<intptr_t>(text.data()));
    if (copied < 0) {
        return;
    }
    text.back() = L'\0';
    std::wstring folder(text.data());
    folder += L'\\';
    folder += ProductName;
    ui.SetWindowText(GetDlgItem(IDC_FOLDER), folder);
}

void CStartMenuFolderDlg::OnBnClickedNext() {
    m_strFolder = GetUi().GetWindowText(GetDlgItem(IDC_FOLDER));
    if (m_strFolder.empty()) {
        return;  // a folder name is required; the page stays open without a message
    }
    OnOK();
    m_nResult = PageNext;
}
