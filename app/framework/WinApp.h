// The application object of the framework: one per program, built by the entry point with
// the Platform the program works with. It knows the program's title, which the framework's
// message boxes use as their caption.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Platform.h"

// The program's title: the file name of the running executable without its extension
// ("C:\Setup\Setup.exe" -> "Setup"), as Files::GetModuleFileName reports it. The name is
// what follows the last backslash, slash or colon; the extension starts at the last dot of
// the name that no blank follows (as the shell's PathFindExtension sees it). Empty when the
// module path cannot be read.
std::wstring GetProgramTitle(platform::Files& files);

// The framework's message box for the program's string |id|: the program's title
// (GetProgramTitle) as its caption and no owner window, as the application shows it before
// any dialog exists. Returns the button chosen (IDOK, IDYES, IDNO...), 0 when the box could
// not be shown.
int AppMessageBox(platform::Platform& platform, int id, uint32_t flags);

class CWinApp {
public:
    explicit CWinApp(platform::Platform& platform);
    virtual ~CWinApp() = default;
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // The program's start-up work. The default does nothing and reports success; a program
    // returns false to end without running a message loop.
    virtual bool InitInstance();

    const std::wstring& GetTitle() const { return m_strTitle; }
    platform::Platform& GetPlatform() const { return m_platform; }

protected:
    platform::Platform& m_platform;
    std::wstring m_strTitle;
};
