#include "Setup/flow/SetupApp.h"

#include "Setup/checks/PrerequisiteChecks.h"
#include "Setup/flow/CheckRun.h"
#include "Setup/flow/CommandLineHelp.h"
#include "Setup/flow/ExitCodes.h"
#include "Setup/flow/InstallLog.h"
#include "Setup/flow/LoggedPorts.h"
#include "Setup/flow/PageSequence.h"
#include "base/Text.h"

namespace {

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
    std::wstring mode = options.Help     ? L"the options box (-?)"
                        : options.Check  ? L"check only (-check): nothing is installed"
                        : options.Silent ? L"silent"
                                         : L"wizard";
    if (options.Check && !options.Help) {
        mode += L"; message boxes not shown";
    } else {
        mode += options.SuppressMessageBoxes ? L"; message boxes answered without being shown"
                                             : L"; message boxes shown";
    }
    if (options.ConfigFile.empty()) {
        mode += L"; no configuration file";
    } else {
        mode += L"; configuration file " + LogQuote(options.ConfigFile) +
                (options.Help || options.Check ? L" not read" : L"");
    }
    log.Write(L"Setup", L"run: " + mode);
    log.Write(L"Setup", std::wstring(L"libraries loaded by name: ") + DllSearchText(dllSearch) +
                            (richEdit ? L"; rich edit libraries loaded"
                                      : L"; a rich edit library could not be loaded"));
}

}  // namespace

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

    // Before anything else of an installation: the options box, then the check-only run.
    // Neither reads the configuration file or shows a page.
    if (m_options.Help) {
        m_nExitCode = ShowCommandLineHelp(m_platform);
        return false;
    }
    if (m_options.Check) {
        m_nExitCode = RunCheckOnly(m_platform, m_settings, m_process);
        return false;
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
    std::wstring meaning;
    {
        CSetupApp app(ports.Ports(), settings, process);
        // No main window: the framework's exit processing follows at once.
        app.InitInstance();
        exitCode = app.GetExitCode();
        const SetupOptions& options = app.GetOptions();
        meaning = options.Help    ? L"the options were shown; nothing installed"
                  : options.Check ? CheckRunMeaning(exitCode)
                                  : std::wstring(ExitCodeMeaning(exitCode));
    }
    log.Write(L"Exit", base::Format(L"exit code %u: ", exitCode) + meaning);
    log.Close();
    process.Log = previous;
    return exitCode;
}
