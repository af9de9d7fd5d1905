#include "Setup/pages/LicenseDlg.h"

#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "Setup/res/resource.h"

namespace {

// The agreement's file name, next to the running program.
constexpr const wchar_t kTermsFileName[] = L"\\terms.rtf";

// The folder of the running program followed by "\terms.rtf", or false when the program's
// path cannot be read, holds no backslash, or the result would not fit in the classic
// 260-character path buffer (the page then shows an empty agreement, as for a missing file).
bool GetTermsPath(platform::Files& files, std::wstring* path) {
    std::wstring module;
    if (!files.GetModuleFileName(&module)) {
        return false;
    }
    const size_t slash = module.rfind(L'\\');
    if (slash == std::wstring::npos) {
        return false;
    }
    module.resize(slash);
    module += kTermsFileName;
    if (module.size() >= win::kMaxPath) {
        return false;
    }
    *path = module;
    return true;
}

}  // namespace

uint32_t ReadAgreementChunk(uintptr_t cookie, uint8_t* buffer, int32_t requested,
                            int32_t* transferred) {
    if (transferred == nullptr) {
        return 0;
    }
    *transferred = 0;
    AgreementReader* reader = reinterpret_cast<AgreementReader*>(cookie);
    if (reader == nullptr || buffer == nullptr || requested <= 0 ||
        reader->position >= reader->size) {
        return 0;
    }
    uint32_t count = reader->size - reader->position;
    if (count > static_cast<uint32_t>(requested)) {
        count = static_cast<uint32_t>(requested);
    }
    std::memcpy(buffer, reader->buffer + reader->position, count);
    reader->position += count;
    *transferred = static_cast<int32_t>(count);
    return 0;
}

CLicenseDlg::CLicenseDlg(InstallerSettings& settings, platform::Platform& platform)
    : CSetupPage(IDD_LICENSE, settings, platform), m_bAccepted(0) {}

BEGIN_MESSAGE_MAP(CLicenseDlg, CSetupPage)
ON_WM_PAINT()
ON_WM_CTLCOLOR()
ON_BN_CLICKED(IDC_NEXT, &CLicenseDlg::OnBnClickedNext)
ON_BN_CLICKED(IDC_BACK, &CLicenseDlg::OnBnClickedBack)
ON_BN_CLICKED(win::kIdCancel, &CLicenseDlg::OnBnClickedCancel)
ON_BN_CLICKED(IDC_ACCEPT, &CLicenseDlg::OnBnClickedAccept)
END_MESSAGE_MAP()

bool CLicenseDlg::OnInitPage() {
    platform::Ui& ui = GetUi();
    if (m_bAccepted) {
        ui.SendMessage(GetDlgItem(IDC_ACCEPT), win::kBmSetCheck, win::kBstChecked, 0);
        ui.EnableWindow(GetDlgItem(IDC_NEXT), true);
    }
    StreamAgreement();
    // The agreement's own scroll position is set above; the dialog manager must not move
    // the focus (and with it the caret) into the agreement.
    return false;
}

void CLicenseDlg::StreamAgreement() {
    platform::Files& files = m_platform.files;
    std::wstring path;
    if (!GetTermsPath(files, &path)) {
        return;
    }
    const platform::FileHandle file =
        files.CreateFile(path, win::kGenericRead, 0, win::kOpenExisting, win::kFileAttributeNormal);
    if (!file) {
        return;  // a missing or locked agreement leaves the box empty, without a message
    }
    uint64_t size = 0;
    files.GetFileSize(file, &size);
    // The file is read in one piece with a 32-bit size. A file of 4 GiB or more, or one
    // larger than the memory that can be allocated, is treated like an unreadable one: the
    // box stays empty and no message is shown.
    std::unique_ptr<uint8_t[]> contents;
    if (size <= UINT32_MAX) {
        contents.reset(new (std::nothrow) uint8_t[size == 0 ? 1 : size]);
    }
    uint32_t read = 0;
    if (contents) {
        files.ReadFile(file, contents.get(), static_cast<uint32_t>(size), &read);
    }
    files.CloseHandle(file);
    if (!contents) {
        return;
    }
    // The read's outcome is not examined: whatever it delivered is streamed (nothing when
    // it failed), never bytes it did not fill.
    AgreementReader reader;
    reader.buffer = contents.get();
    reader.size = read;
    reader.position = 0;

    platform::Ui& ui = GetUi();
    const platform::WindowHandle richEdit = GetDlgItem(IDC_LICENSE_TEXT);
    if (!richEdit) {
        return;
    }
    uint32_t error = 0;
    ui.StreamIn(richEdit, win::kSfRtf, reinterpret_cast<uintptr_t>(&reader), ReadAgreementChunk,
                &error);
    // Posted, so that the view starts at the first line once the page is shown.
    ui.PostMessage(richEdit, win::kWmVScroll, win::kSbTop, 0);
}

void CLicenseDlg::OnBnClickedAccept() {
    platform::Ui& ui = GetUi();
    const bool ticked = ui.SendMessage(GetDlgItem(IDC_ACCEPT), win::kBmGetCheck, 0, 0) ==
                        static_cast<intptr_t>(win::kBstChecked);
    ui.EnableWindow(GetDlgItem(IDC_NEXT), ticked);
    m_bAccepted = ticked ? 1 : 0;
    ui.SendMessage(GetDlgItem(IDC_LICENSE_TEXT), win::kWmVScroll, win::kSbTop, 0);
}
