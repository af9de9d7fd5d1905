#include "Setup/flow/SetupApp.h"

#include "Setup/checks/PrerequisiteChecks.h"
#include "Setup/flow/ExitCodes.h"
#include "Setup/flow/PageSequence.h"
#include "base/Text.h"

namespace {

// The first 8 characters of the configuration option.
constexpr size_t kConfigPrefixLength = 8;

bool IsSilentOption(const std::wstring& arg) {
    return base::EqualsNoCase(arg, L"-silent") || base::EqualsNoCase(arg, L"/silent");
}

bool IsConfigOption(const std::wstring& arg) {
    return base::StartsWithNoCase(arg, L"-config:") || base::StartsWithNoCase(arg, L"/config:");
}

// Removes the leading run of double quotes (when there is one), then the trailing run.
std::wstring StripQuotes(std::wstring text) {
    if (!text.empty() && text.front() == L'"') {
        text.erase(0, text.find_first_not_of(L'"') == std::wstring::npos
                          ? text.size()
                          : text.find_first_not_of(L'"'));
    }
    const size_t last = text.find_last_not_of(L'"');
    text.erase(last == std::wstring::npos ? 0 : last + 1);
    return text;
}

}  // namespace

void ParseArguments(const std::vector<std::wstring>& args, bool* silent, std::wstring* configFile) {
    for (size_t i = 1; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        if (IsSilentOption(arg)) {
            *silent = true;
        } else if (IsConfigOption(arg)) {
            *configFile = StripQuotes(arg.substr(kConfigPrefixLength));
        }
    }
}

bool ReadCommandLine(platform::Shell& shell, bool* silent, std::wstring* configFile) {
    std::vector<std::wstring> args;
    if (!shell.CommandLineToArgv(shell.GetCommandLine(), &args)) {
        return false;
    }
    ParseArguments(args, silent, configFile);
    return true;
}

bool InitRichEdit(platform::Platform& platform) {
    bool loaded = true;
    for (const wchar_t* name : {L"RICHED32.DLL", L"riched20.dll"}) {
        // Kept loaded for the life of the process, as the control classes need.
        if (!LoadSystemLibrary(platform, name)) {
            loaded = false;
        }
    }
    return loaded;
}

CSetupApp::CSetupApp(platform::Platform& platform, InstallerSettings& settings,
                     SetupProcess& process)
    : CWinApp(platform), m_settings(settings), m_process(process), m_nExitCode(kExitFailed) {}

bool CSetupApp::InitInstance() {
    // Before any library is loaded by name: neither the current folder nor the program's
    // folder may provide one. Systems that can do neither go on with the default order.
    m_platform.system.RestrictDllSearchPath(&m_dllSearch);
    // What the common controls' visual styles load by name later comes from the system
    // folder now.
    PreloadVisualStyleLibraries(m_platform);

    // Results not needed: the pages fail visibly if the classes are missing.
    m_platform.ui.InitCommonControls(win::kInitCommonControlsExSize, win::kIccFirstEightClasses);
    m_platform.system.CoInitializeEx(win::kCoinitMultithreaded);
    InitRichEdit(m_platform);
    CWinApp::InitInstance();

    m_bSilent = false;
    ReadCommandLine(m_platform.shell, &m_bSilent, &m_settings.ConfigFile);

    uint32_t checkExitCode = kExitFailed;
    if (!RunPrerequisiteChecks(m_platform, m_settings, m_process, &checkExitCode)) {
        m_nExitCode = checkExitCode;
        return false;
    }
    m_nExitCode = RunPageSequence(m_platform, m_settings, m_process, m_bSilent);
    return false;
}

uint32_t RunSetup(platform::Platform& platform, InstallerSettings& settings,
                  SetupProcess& process) {
    CSetupApp app(platform, settings, process);
    // No main window: the framework's exit processing follows at once.
    app.InitInstance();
    return app.GetExitCode();
}
