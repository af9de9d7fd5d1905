#include "Setup/flow/SetupApp.h"

#include "Setup/checks/PrerequisiteChecks.h"
#include "Setup/flow/ExitCodes.h"
#include "Setup/flow/InstallLog.h"
#include "Setup/flow/LoggedPorts.h"
#include "Setup/flow/PageSequence.h"
#include "base/Text.h"

namespace {

// A whole-argument option: "-NAME" or "/NAME", ignoring case.
bool IsFlagOption(const std::wstring& arg, const wchar_t* name) {
    return arg.size() > 1 && (arg[0] == L'-' || arg[0] == L'/') &&
           base::EqualsNoCase(arg.substr(1), name);
}

// An option with a value: "-NAME:" or "/NAME:" (ignoring case) and the rest. |prefix| is
// the name with its colon.
bool IsValueOption(const std::wstring& arg, const wchar_t* prefix) {
    const std::wstring name(prefix);
    return arg.size() >= 1 + name.size() && (arg[0] == L'-' || arg[0] == L'/') &&
           base::StartsWithNoCase(arg.substr(1), name);
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

// The value of an option whose prefix |prefix| ("NAME:") was matched.
std::wstring OptionValue(const std::wstring& arg, const wchar_t* prefix) {
    return StripQuotes(arg.substr(1 + std::wstring(prefix).size()));
}

const wchar_t* DllSearchText(platform::DllSearchRestriction way) {
    switch (way) {
        case platform::DllSearchRestriction::DefaultDllDirectories:
            return L"restricted to the system folder (SetDefaultDllDirectories)";
        case platform::DllSearchRestriction::EmptyDllDirectory:
            return L"without the current folder (SetDllDirectory)";
        case platform::DllSearchRestriction::None:
            break;
    }
    return L"the system's default order (neither restriction is available)";
}

std::wstring WindowsText(platform::System& system) {
    platform::OsVersion version;
    if (!system.GetVersion(&version)) {
        return L"Windows (its version could not be read)";
    }
    std::wstring text =
        base::Format(L"Windows %u.%u.%u", version.major, version.minor, version.build);
    if (version.servicePackMajor != 0) {
        text += base::Format(L" Service Pack %u", version.servicePackMajor);
    }
    switch (version.productType) {
        case 1:
            text += L" (workstation)";
            break;
        case 2:
            text += L" (domain controller)";
            break;
        case 3:
            text += L" (server)";
            break;
        default:
            text += base::Format(L" (product type %u)", version.productType);
            break;
    }
    switch (system.QueryWow64()) {
        case platform::Wow64Probe::Yes:
            text += L", 64-bit (the program runs under WOW64)";
            break;
        case platform::Wow64Probe::No:
        case platform::Wow64Probe::Absent:
            text += L", not under WOW64";
            break;
        case platform::Wow64Probe::Failed:
            text += L", WOW64 unknown (the probe failed)";
            break;
    }
    return text + base::Format(L"; user interface language %u", system.GetUserDefaultUILanguage());
}

// The log's header: what ran, how, where and when.
void WriteLogHeader(platform::Platform& platform, CInstallLog& log, const SetupOptions& options,
                    platform::DllSearchRestriction dllSearch, bool richEdit) {
    std::wstring program;
    platform.files.GetModuleFileName(&program);
    platform::SystemTime now;
    platform.system.GetLocalTime(&now);
    log.Write(L"Setup",
              std::wstring(ProductName) + L" Setup " + ProductVersionText() + L", install log");
    log.Write(L"Setup", L"program " + LogQuote(program));
    log.Write(L"Setup", L"command line " + log.Data(platform.shell.GetCommandLine()));
    log.Write(L"Setup", WindowsText(platform.system));
    log.Write(L"Setup", L"started " + FormatLogTime(now).substr(0, 19) + L" (local time)");
    std::wstring mode = options.Silent ? L"silent" : L"wizard";
    mode += options.SuppressMessageBoxes ? L"; message boxes answered without being shown"
                                         : L"; message boxes shown";
    mode += options.ConfigFile.empty() ? L"; no configuration file"
                                       : L"; configuration file " + LogQuote(options.ConfigFile);
    log.Write(L"Setup", L"run: " + mode);
    log.Write(L"Setup", std::wstring(L"libraries loaded by name: ") + DllSearchText(dllSearch) +
                            (richEdit ? L"; rich edit libraries loaded"
                                      : L"; a rich edit library could not be loaded"));
}

}  // namespace

void ParseArguments(const std::vector<std::wstring>& args, SetupOptions* options) {
    for (size_t i = 1; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        if (IsFlagOption(arg, L"silent")) {
            options->Silent = true;
        } else if (IsFlagOption(arg, L"suppressmsgboxes")) {
            options->SuppressMessageBoxes = true;
        } else if (IsValueOption(arg, L"config:")) {
            options->ConfigFile = OptionValue(arg, L"config:");
        } else if (IsValueOption(arg, L"log:")) {
            options->LogFile = OptionValue(arg, L"log:");
        }
    }
}

bool ReadCommandLine(platform::Shell& shell, SetupOptions* options) {
    std::vector<std::wstring> args;
    if (!shell.CommandLineToArgv(shell.GetCommandLine(), &args)) {
        return false;
    }
    ParseArguments(args, options);
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
    const bool richEdit = InitRichEdit(m_platform);
    CWinApp::InitInstance();

    m_options = SetupOptions();
    m_options.ConfigFile = m_settings.ConfigFile;
    ReadCommandLine(m_platform.shell, &m_options);
    m_bSilent = m_options.Silent;
    m_settings.ConfigFile = m_options.ConfigFile;
    if (CInstallLog* log = m_process.Log) {
        log->SetSuppressMessageBoxes(m_options.SuppressMessageBoxes);
        // A log that cannot be made leaves the run as it would be without -log.
        if (!m_options.LogFile.empty() && log->Open(m_options.LogFile)) {
            WriteLogHeader(m_platform, *log, m_options, m_dllSearch, richEdit);
        }
    }

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
    // The log writes its own file through the real ports; the program sees the recorded ones.
    CInstallLog log(platform.system, platform.files);
    CLoggedPorts ports(platform, log);
    CInstallLog* const previous = process.Log;
    process.Log = &log;
    uint32_t exitCode = kExitFailed;
    {
        CSetupApp app(ports.Ports(), settings, process);
        // No main window: the framework's exit processing follows at once.
        app.InitInstance();
        exitCode = app.GetExitCode();
    }
    log.Write(L"Exit", base::Format(L"exit code %u: %ls", exitCode, ExitCodeMeaning(exitCode)));
    log.Close();
    process.Log = previous;
    return exitCode;
}
