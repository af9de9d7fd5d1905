#include "Setup/engine/InstallWorker.h"

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

constexpr const wchar_t kDriverFile[] = L"cvflt.sys";

StepResult CreateInstallFolder(InstallContext& context) {
    // A folder that cannot be created shows up later as failed copies; neither stops the
    // installation.
    CreateFolderPath(context.platform.files, context.settings.InstallDir);
    return StepResult::Continue;
}

// The driver is the one file without which the product cannot work: its copy is the only
// step whose failure ends the installation.
StepResult CopyDriverFile(InstallContext& context) {
    platform::Platform& platform = context.platform;
    InstallerSettings& settings = context.settings;
    const std::wstring source = settings.SourceDir + L"\\" + kDriverFile;
    const std::wstring target = settings.SystemDir + L"\\drivers\\" + kDriverFile;
    if (platform.files.CopyFile(source, target, false)) {
        return StepResult::Continue;
    }
    // From the worker thread the box belongs to the Installing page, which stays open.
    const platform::WindowHandle owner = context.args != nullptr && context.silent == 0
                                             ? context.args->page
                                             : platform::WindowHandle();
    platform.ui.MessageBox(owner, platform.ui.LoadString(IDS_COPY_FILE_FAILED),
                           GetProgramTitle(platform.files), win::kMbOk);
    settings.InstallFailed = 1;
    return StepResult::Stop;
}

// The install sequence. A step's reports come after its work.
const InstallStep kInstallSteps[] = {
    // Import section "common" of the configuration file, when one was named: arrives with
    // the configuration import.
    {1, nullptr, {kNoReport, kNoReport}},
    // Announces the file copies.
    {2, nullptr, {Status(IDS_STATUS_COPYING), kNoReport}},
    {3, CreateInstallFolder, {kNoReport, kNoReport}},
    // Steps 4 to 10 and 12 copy the product's files: arrive with the file deployment.
    {4, nullptr, {Position(10), kNoReport}},   // Corvane.exe
    {5, nullptr, {Position(20), kNoReport}},   // Warden.exe as CorvaneWarden.exe
    {6, nullptr, {Position(30), kNoReport}},   // Persist.exe, Console.exe
    {7, nullptr, {Position(40), kNoReport}},   // Keeper.exe, MenuExt.dll (replace-in-use)
    {8, nullptr, {Position(50), kNoReport}},   // lang.ini (old copy deleted), Console.txt
    {9, nullptr, {Position(60), kNoReport}},   // Guide.chm
    {10, nullptr, {Position(70), kNoReport}},  // terms.rtf
    {11, CopyDriverFile, {kNoReport, kNoReport}},
    {12, nullptr, {Position(80), Status(IDS_STATUS_REGISTRY)}},  // Remove.exe
    // The driver's service key and the disk and volume filter lists: arrives with the
    // service registration.
    {13, nullptr, {kNoReport, kNoReport}},
    // The product key's "Path" value, then the Run entry: arrives with the product key.
    {14, nullptr, {Position(90), Status(IDS_STATUS_INITIALIZING)}},
    // The install identity, the driver's settings, the fingerprint record and the
    // companion components.
    {15,
     [](InstallContext& context) {
         WriteProtectionSettings(context.platform, context.settings);
         return StepResult::Continue;
     },
     {Position(95), Status(IDS_STATUS_SHORTCUTS)}},
    // Start-menu, desktop and Quick Launch shortcuts: arrives with the shortcuts.
    {16, nullptr, {Position(98), Status(IDS_STATUS_REGISTERING)}},
    // The uninstall entry: arrives with the uninstall entry.
    {17, nullptr, {kNoReport, kNoReport}},
    // Settings of the configuration file into prefs.dat, when one was named: arrives with
    // the copy to prefs.dat.
    {18, nullptr, {Position(100), kNoReport}},
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

// A folder as the program reads it into a buffer of MAX_PATH characters: a failed query
// leaves the buffer empty. A path that does not fit is cut to MAX_PATH - 1 characters by
// GetModuleFileNameW (|truncates|) and not returned at all by the other queries.
std::wstring FromMaxPathBuffer(bool succeeded, const std::wstring& value, bool truncates) {
    if (!succeeded) {
        return std::wstring();
    }
    if (value.size() >= win::kMaxPath) {
        return truncates ? value.substr(0, win::kMaxPath - 1) : std::wstring();
    }
    return value;
}

}  // namespace

void DeriveFolders(platform::Platform& platform, InstallerSettings& settings) {
    std::wstring text;
    bool ok = platform.shell.GetSpecialFolderPath(win::kCsidlProgramFiles, true, &text);
    settings.InstallDir =
        base::TrimmedTrailingBackslashes(FromMaxPathBuffer(ok, text, false)) + L"\\" + ProductName;

    text.clear();
    ok = platform.system.GetSystemDirectory(&text);
    settings.SystemDir = base::TrimmedTrailingBackslashes(FromMaxPathBuffer(ok, text, false));

    // The program's own folder: its path up to the last backslash. A path without one
    // (which Windows does not give) leaves no folder.
    text.clear();
    ok = platform.files.GetModuleFileName(&text);
    const std::wstring module = FromMaxPathBuffer(ok, text, true);
    const size_t lastBackslash = module.rfind(L'\\');
    settings.SourceDir =
        lastBackslash == std::wstring::npos ? std::wstring() : module.substr(0, lastBackslash);

    text.clear();
    ok = platform.shell.GetSpecialFolderPath(win::kCsidlCommonPrograms, true, &text);
    settings.StartMenuPath = base::TrimmedTrailingBackslashes(FromMaxPathBuffer(ok, text, false)) +
                             L"\\" + settings.StartMenuFolder;
}

bool CreateFolderPath(platform::Files& files, const std::wstring& path) {
    const std::wstring folder = base::TrimmedTrailingBackslashes(path);
    if (folder.empty()) {
        return false;
    }
    // The part that is never created: "C:", "\\server\share", or the leading backslash of
    // a path on the current drive.
    size_t root = 0;
    if (folder.size() >= 2 && folder[0] == L'\\' && folder[1] == L'\\') {
        const size_t server = folder.find(L'\\', 2);
        const size_t share =
            server == std::wstring::npos ? std::wstring::npos : folder.find(L'\\', server + 1);
        root = share == std::wstring::npos ? folder.size() : share;
    } else if (folder.size() >= 2 && folder[1] == L':') {
        root = 2;
    } else if (folder[0] == L'\\') {
        root = 1;
    }
    for (size_t i = root + 1; i < folder.size(); ++i) {
        if (folder[i] == L'\\' && folder[i - 1] != L'\\') {
            files.CreateDirectory(folder.substr(0, i));
        }
    }
    if (root < folder.size()) {
        files.CreateDirectory(folder);
    }
    const uint32_t attributes = files.GetFileAttributes(folder);
    return attributes != win::kInvalidFileAttributes &&
           (attributes & win::kFileAttributeDirectory) != 0;
}

void DoInstall(platform::Platform& platform, InstallerSettings& settings,
               const SetupProcess& process, const InstallWorkerArgs* args, int32_t silent) {
    InstallContext context{platform, settings, process, args, silent};
    for (const InstallStep& step : kInstallSteps) {
        if (step.routine != nullptr && step.routine(context) == StepResult::Stop) {
            return;
        }
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
