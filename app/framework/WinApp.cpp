#include "framework/WinApp.h"

std::wstring GetProgramTitle(platform::Files& files) {
    std::wstring path;
    if (!files.GetModuleFileName(&path)) {
        return std::wstring();
    }
    // File name: after the last separator that is followed by more of the path.
    size_t nameStart = 0;
    for (size_t i = 0; i < path.size(); ++i) {
        const wchar_t c = path[i];
        if ((c == L'\\' || c == L'/' || c == L':') && i + 1 < path.size() && path[i + 1] != L'\\' &&
            path[i + 1] != L'/') {
            nameStart = i + 1;
        }
    }
    std::wstring name = path.substr(nameStart);
    // Extension: the last dot after which no blank or backslash follows.
    size_t dot = std::wstring::npos;
    for (size_t i = 0; i < name.size(); ++i) {
        if (name[i] == L'\\' || name[i] == L' ') {
            dot = std::wstring::npos;
        } else if (name[i] == L'.') {
            dot = i;
        }
    }
    if (dot != std::wstring::npos) {
        name.erase(dot);
    }
    return name;
}

int AppMessageBox(platform::Platform& platform, int id, uint32_t flags) {
    return platform.ui.MessageBox(platform::WindowHandle(), platform.ui.LoadString(id),
                                  GetProgramTitle(platform.files), flags);
}

CWinApp::CWinApp(platform::Platform& platform)
    : m_platform(platform), m_strTitle(GetProgramTitle(platform.files)) {}

bool CWinApp::InitInstance() {
    return true;
}
