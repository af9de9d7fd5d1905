#include "Setup/engine/InstallWorker.h"

#include "Setup/engine/ConfigFile.h"
#include "Setup/engine/DriverRegistration.h"
#include "Setup/engine/FileDeployment.h"
#include "Setup/engine/Shortcuts.h"
#include "Setup/flow/InstallLog.h"
#include "Setup/protect/ProtectionSettings.h"
#include "Setup/res/resource.h"
#include "base/Text.h"
#include "framework/WinApp.h"

namespace {

// What one run of the install sequence works with.
struct InstallContext {
    platform::Platform& platform;
    InstallerSettings& settings;
    const SetupProcess& process;
    const InstallWorkerArgs* args;  // null in silent mode
    int32_t silent;

    // Progress is shown only by the Installing page's worker.
    bool Reporting() const { return silent == 0 && args != nullptr; }
};

enum class StepResult {
    Continue,
    Stop,  // the installation has failed; nothing after this step is done
};

using StepRoutine = StepResult (*)(InstallContext& context);

enum class ReportKind { None, Status, Position };

struct Report {
    ReportKind kind;
    int value;  // a string id or a progress position
};

struct InstallStep {
    int number;
    // What the step does, in the install log.
    const wchar_t* what;
    // The step's work; null while the routine is still to be written, so that the step
    // only reports.
    StepRoutine routine;
    // Reported after the work, in this order, in interactive mode.
    Report reports[2];
};

constexpr Report kNoReport = {ReportKind::None, 0};

constexpr Report Status(int id) {
    return {ReportKind::Status, id};
}

constexpr Report Position(int position) {
    return {ReportKind::Position, position};
}

// Every report is followed by a pause so that the user can follow the stages, except the
// position 90, which the next status text follows at once.
constexpr uint32_t kReportPauseMs = 50;
constexpr int kPositionWithoutPause = 90;

// Ends the installation as a failed copy of the driver does: message 141 ("Copy file
// failed!", OK only), then InstallFailed. From the worker thread the box belongs to the
// Installing page, which stays open.
StepResult FailInstallation(InstallContext& context) {
    platform::Platform& platform = context.platform;
    const platform::WindowHandle owner = context.args != nullptr && context.silent == 0
                                             ? context.args->page
                                             : platform::WindowHandle();
    platform.ui.MessageBox(owner, platform.ui.LoadString(IDS_COPY_FILE_FAILED),
                           GetProgramTitle(platform.files), win::kMbOk);
    context.settings.InstallFailed = 1;
    return StepResult::Stop;
}

// Whether the configuration file is missing where the profile functions look for it: a
// bare name in the Windows folder; any other path (full, or relative with a folder, such as
// "sub\\x.ini", which starts in the current folder) as it is written. The error of the
// lookup goes to |error|.
bool ConfigFileMissing(platform::Platform& platform, const std::wstring& file, uint32_t* error) {
    platform::LastErrorKeeper keep(platform.system);
    std::wstring path = file;
    if (file.find_first_of(L"\\/:") == std::wstring::npos) {
        std::wstring windows;
        if (!platform.system.GetWindowsDirectory(&windows)) {
            return false;
        }
        path = windows + L"\\" + file;
    }
    if (platform.files.GetFileAttributes(path) != win::kInvalidFileAttributes) {
        return false;
    }
    *error = platform.system.GetLastError();
    return true;
}

// What the configuration file changed, in the install log. The password is concealed
// before anything else is written.
void LogConfiguration(InstallContext& context, const InstallerSettings& before) {
    CInstallLog* log = context.process.Log;
    const InstallerSettings& after = context.settings;
    if (log == nullptr) {
        return;
    }
    log->Conceal(after.Password);
    if (!log->IsOn()) {
        return;
    }
    if (after.ConfigFile.empty()) {
        log->Write(L"Config", L"no configuration file");
        return;
    }
    log->Write(L"Config", L"configuration file " + LogQuote(after.ConfigFile));
    uint32_t error = 0;
    if (ConfigFileMissing(context.platform, after.ConfigFile, &error)) {
        log->Write(L"Config", L"the file cannot be found, " + ErrorText(error) +
                                  L": every key reads as missing");
    }
    if (after.InstallDir != before.InstallDir) {
        log->Write(L"Config", L"\"path\": installation folder " + LogQuote(after.InstallDir));
    }
    if (after.DesktopIcon != before.DesktopIcon) {
        log->Write(L"Config", L"\"desktopicon\" is 0 or missing: no desktop icon");
    }
    if (after.QuickLaunchIcon != before.QuickLaunchIcon) {
        log->Write(L"Config", L"\"quicklaunchicon\" is 0 or missing: no Quick Launch icon");
    }
    if (after.StartMenuPath != before.StartMenuPath) {
        log->Write(L"Config",
                   L"\"startupmenushortcut\" is 0 or missing: no start-menu folder or shortcuts");
    }
    if (!after.Password.empty()) {
        log->Write(L"Config", L"\"password\": a password is set (not shown)");
    }
}

StepResult ImportConfiguration(InstallContext& context) {
    const InstallerSettings before = context.settings;
    ImportConfigFile(context.platform.files, context.settings);
    LogConfiguration(context, before);
    return StepResult::Continue;
}

// Nothing is copied or created while a folder of the copies is unknown: the files would
// land in a folder of the current drive that nobody chose.
StepResult CreateInstallationFolder(InstallContext& context) {
    if (!FoldersDetermined(context.settings)) {
        const std::wstring& folder = context.settings.InstallDir;
        if (!folder.empty() && !IsUsableInstallFolder(folder)) {
            WriteLog(context.process.Log, L"Setup",
                     L"the installation folder " + LogQuote(folder) +
                         L" is not a full path with a drive or a server name, or holds a "
                         L"quotation mark: nothing is installed");
        }
        return FailInstallation(context);
    }
    CreateInstallFolder(context.platform.files, context.settings.InstallDir);
    return StepResult::Continue;
}

// Rows |First| to |Last| of the file table (numbered from 1), in order. The driver is the
// one file without which the product cannot work: its failed copy ends the installation.
template <size_t First, size_t Last>
StepResult CopyProductFiles(InstallContext& context) {
    static_assert(First >= 1 && First <= Last && Last <= kProductFileCount, "rows of the table");
    for (size_t row = First; row <= Last; ++row) {
        if (!DeployProductFile(context.platform.files, context.settings, kProductFiles[row - 1])) {
            return FailInstallation(context);
        }
    }
    return StepResult::Continue;
}

StepResult RegisterDriver(InstallContext& context) {
    RegisterFilterDriver(context.platform.registry);
    return StepResult::Continue;
}

StepResult WriteProductKeyAndRunEntry(InstallContext& context) {
    WriteProductKey(context.platform.registry, context.settings);
    return StepResult::Continue;
}

StepResult WriteProtection(InstallContext& context) {
    WriteProtectionSettings(context.platform, context.settings);
    return StepResult::Continue;
}

StepResult CreateLinks(InstallContext& context) {
    CreateShortcuts(context.platform, context.settings);
    return StepResult::Continue;
}

StepResult WriteUninstallInformation(InstallContext& context) {
    WriteUninstallEntry(context.platform.registry, context.settings);
    return StepResult::Continue;
}

StepResult CopyConfiguration(InstallContext& context) {
    CopyConfigToPrefs(context.platform, context.settings, context.process);
    return StepResult::Continue;
}

// The install sequence. A step's reports come after its work.
const InstallStep kInstallSteps[] = {
    // Section "common" of the configuration file, when one was named.
    {1, L"import the configuration file", ImportConfiguration, {kNoReport, kNoReport}},
    // Announces the file copies.
    {2, L"announce the file copies", nullptr, {Status(IDS_STATUS_COPYING), kNoReport}},
    {3, L"create the installation folder", CreateInstallationFolder, {kNoReport, kNoReport}},
    {4, L"copy Corvane.exe", CopyProductFiles<1, 1>, {Position(10), kNoReport}},  // Corvane.exe
    {5,
     L"copy Warden.exe as CorvaneWarden.exe",
     CopyProductFiles<2, 2>,
     {Position(20), kNoReport}},  // Warden.exe as CorvaneWarden.exe
    {6,
     L"copy Persist.exe and Console.exe",
     CopyProductFiles<3, 4>,
     {Position(30), kNoReport}},  // Persist.exe, Console.exe
    {7,
     L"copy Keeper.exe and MenuExt.dll, also while in use",
     CopyProductFiles<5, 6>,
     {Position(40), kNoReport}},  // Keeper.exe, MenuExt.dll
    {8,
     L"copy lang.ini anew and Console.txt",
     CopyProductFiles<7, 8>,
     {Position(50), kNoReport}},  // lang.ini, Console.txt
    {9, L"copy Guide.chm", CopyProductFiles<9, 9>, {Position(60), kNoReport}},     // Guide.chm
    {10, L"copy terms.rtf", CopyProductFiles<10, 10>, {Position(70), kNoReport}},  // terms.rtf
    {11,
     L"copy the driver cvflt.sys into the drivers folder",
     CopyProductFiles<11, 11>,
     {kNoReport, kNoReport}},  // the driver
    {12,
     L"copy Remove.exe",
     CopyProductFiles<12, 12>,
     {Position(80), Status(IDS_STATUS_REGISTRY)}},  // Remove.exe
    // The driver's service key and the disk and volume filter lists.
    {13,
     L"register the driver and add it to the disk and volume filters",
     RegisterDriver,
     {kNoReport, kNoReport}},
    // The product key's "Path" value, then the Run entry.
    {14,
     L"write the product key and the Run entry",
     WriteProductKeyAndRunEntry,
     {Position(90), Status(IDS_STATUS_INITIALIZING)}},
    // The install identity, the driver's settings, the fingerprint record and the
    // companion components.
    {15,
     L"write the install identity and the driver's settings, register the companions",
     WriteProtection,
     {Position(95), Status(IDS_STATUS_SHORTCUTS)}},
    // Start-menu, desktop and Quick Launch shortcuts.
    {16, L"create the shortcuts", CreateLinks, {Position(98), Status(IDS_STATUS_REGISTERING)}},
    {17, L"write the uninstall entry", WriteUninstallInformation, {kNoReport, kNoReport}},
    // Settings of the configuration file into prefs.dat and the volumes it names, when a
    // configuration file was named.
    {18,
     L"copy the configuration file's settings into prefs.dat, prepare its volumes",
     CopyConfiguration,
     {Position(100), kNoReport}},
};

void ReportProgress(InstallContext& context, const Report& report) {
    platform::Ui& ui = context.platform.ui;
    switch (report.kind) {
        case ReportKind::None:
            return;
        case ReportKind::Status:
            ui.SetWindowText(context.args->statusText, ui.LoadString(report.value));
            context.platform.system.Sleep(kReportPauseMs);
            return;
        case ReportKind::Position:
            ui.SendMessage(context.args->progressBar, win::kPbmSetPos,
                           static_cast<uintptr_t>(report.value), 0);
            if (report.value != kPositionWithoutPause) {
                context.platform.system.Sleep(kReportPauseMs);
            }
            return;
    }
}

// A folder query's answer as the program reads it into a buffer of MAX_PATH characters,
// trimmed of trailing backslashes; empty when the query failed or its path does not fit
// (GetModuleFileNameW would cut it, the other queries fail).
std::wstring FolderFromQuery(bool succeeded, const std::wstring& value) {
    if (!succeeded || value.size() >= win::kMaxPath) {
        return std::wstring();
    }
    return base::TrimmedTrailingBackslashes(value);
}

}  // namespace

void DeriveFolders(platform::Platform& platform, InstallerSettings& settings) {
    std::wstring text;
    bool ok = platform.shell.GetSpecialFolderPath(win::kCsidlProgramFiles, true, &text);
    const std::wstring programFiles = FolderFromQuery(ok, text);
    settings.InstallDir =
        programFiles.empty() ? std::wstring() : programFiles + L"\\" + ProductName;

    text.clear();
    ok = platform.system.GetSystemDirectory(&text);
    settings.SystemDir = FolderFromQuery(ok, text);

    // The program's own folder: its path up to the last backslash. A drive root gives the
    // drive alone ("E:").
    text.clear();
    ok = platform.files.GetModuleFileName(&text);
    const std::wstring module = ok && text.size() < win::kMaxPath ? text : std::wstring();
    const size_t lastBackslash = module.rfind(L'\\');
    settings.SourceDir = lastBackslash == std::wstring::npos || lastBackslash == 0
                             ? std::wstring()
                             : module.substr(0, lastBackslash);

    text.clear();
    ok = platform.shell.GetSpecialFolderPath(win::kCsidlCommonPrograms, true, &text);
    const std::wstring programs = FolderFromQuery(ok, text);
    settings.StartMenuPath =
        programs.empty() ? std::wstring() : programs + L"\\" + settings.StartMenuFolder;
}

bool IsUsableInstallFolder(const std::wstring& path) {
    const bool drive =
        path.size() >= 3 &&
        ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z')) &&
        path[1] == L':' && path[2] == L'\\';
    const bool unc = path.size() > 2 && path[0] == L'\\' && path[1] == L'\\' && path[2] != L'\\';
    return (drive || unc) && path.find(L'"') == std::wstring::npos;
}

bool FoldersDetermined(const InstallerSettings& settings) {
    return !settings.SourceDir.empty() && !settings.SystemDir.empty() &&
           IsUsableInstallFolder(settings.InstallDir);
}

void DoInstall(platform::Platform& platform, InstallerSettings& settings,
               const SetupProcess& process, const InstallWorkerArgs* args, int32_t silent) {
    InstallContext context{platform, settings, process, args, silent};
    CInstallLog* log = process.Log;
    const int stepCount = static_cast<int>(sizeof(kInstallSteps) / sizeof(kInstallSteps[0]));
    for (const InstallStep& step : kInstallSteps) {
        const std::wstring name = base::Format(L"%d of %d: ", step.number, stepCount);
        WriteLog(log, L"Step", name + step.what);
        const uint32_t failuresBefore = log != nullptr ? log->FailureCount() : 0;
        const StepResult result =
            step.routine != nullptr ? step.routine(context) : StepResult::Continue;
        if (result == StepResult::Stop) {
            WriteLog(log, L"Step", name + L"failed; the installation stops here");
            return;
        }
        const uint32_t failed = log != nullptr ? log->FailureCount() - failuresBefore : 0;
        WriteLog(log, L"Step",
                 name + (failed == 0 ? std::wstring(L"done")
                                     : base::Format(L"done; %u operation%ls failed (see above), "
                                                    L"the installation goes on",
                                                    failed, failed == 1 ? L"" : L"s")));
        if (!context.Reporting()) {
            continue;
        }
        for (const Report& report : step.reports) {
            ReportProgress(context, report);
        }
    }
}

void RunInstall(platform::Platform& platform, InstallerSettings& settings,
                const SetupProcess& process, const InstallWorkerArgs* args, int32_t silent) {
    DeriveFolders(platform, settings);
    if (process.Log != nullptr && process.Log->IsOn()) {
        const auto folder = [](const std::wstring& path) {
            return path.empty() ? std::wstring(L"(not known)") : LogQuote(path);
        };
        process.Log->Write(L"Setup", L"folders: installation " + folder(settings.InstallDir) +
                                         L", system " + folder(settings.SystemDir) + L", source " +
                                         folder(settings.SourceDir) + L", start menu " +
                                         folder(settings.StartMenuPath));
    }
    // The shell-link objects of the shortcuts are created on this thread. On the main
    // thread of a silent run COM is already multithreaded; the result is not needed.
    platform.system.CoInitializeEx(win::kCoinitApartmentThreaded);
    DoInstall(platform, settings, process, args, silent);
}

uint32_t InstallWorkerProc(void* argument) {
    const InstallWorkerArgs* args = static_cast<const InstallWorkerArgs*>(argument);
    if (args == nullptr || args->platform == nullptr || args->settings == nullptr ||
        args->process == nullptr) {
        return 0;  // nothing to install with and nobody to tell
    }
    RunInstall(*args->platform, *args->settings, *args->process, args, 0);
    // Posted, not sent: the worker ends without waiting for the page.
    args->platform->ui.PostMessage(args->page, args->completionMessage, 0, 0);
    return 0;
}
