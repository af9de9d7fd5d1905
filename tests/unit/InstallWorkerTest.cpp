// The install worker: the folder derivation, the installation folder, the install sequence's
// status texts, positions and pauses, and the failed driver copy in both modes.
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "FlowTestPorts.h"
#include "Setup/engine/InstallWorker.h"
#include "Setup/res/EmbeddedRes.h"
#include "Setup/res/resource.h"
#include "base/Text.h"
#include "sim/Machine.h"

namespace {

const platform::WindowHandle kPage(0x7001);
const platform::WindowHandle kStatus(0x7002);
const platform::WindowHandle kProgress(0x7003);

constexpr const wchar_t kSource[] = L"C:\\Setup\\cvflt.sys";
constexpr const wchar_t kDriver[] = L"C:\\Windows\\system32\\drivers\\cvflt.sys";

// One line per call the engine makes to a window, a message box or Sleep.
class Log {
public:
    void Add(const std::wstring& line) {
        std::lock_guard<std::mutex> guard(mutex_);
        lines_.push_back(line);
    }
    std::vector<std::wstring> Lines() {
        std::lock_guard<std::mutex> guard(mutex_);
        return lines_;
    }

private:
    std::mutex mutex_;
    std::vector<std::wstring> lines_;
};

std::wstring Window(platform::WindowHandle w) {
    return w == kPage       ? L"page"
           : w == kStatus   ? L"status"
           : w == kProgress ? L"progress"
           : !w             ? L"none"
                            : L"other";
}

// Window calls are recorded and not passed on (the handles are the test's own); strings
// come from the program's resources.
class RecordingUi : public flowtest::ForwardingUi {
public:
    RecordingUi(platform::Ui& inner, Log& log) : ForwardingUi(inner), log_(log) {}
    bool SetWindowText(platform::WindowHandle w, const std::wstring& text) override {
        log_.Add(L"text " + Window(w) + L" " + text);
        return true;
    }
    intptr_t SendMessage(platform::WindowHandle w, uint32_t message, uintptr_t wParam,
                         intptr_t lParam) override {
        log_.Add(base::Format(L"send %ls %u %u %d", Window(w).c_str(), message,
                              static_cast<unsigned>(wParam), static_cast<int>(lParam)));
        return 0;
    }
    bool PostMessage(platform::WindowHandle w, uint32_t message, uintptr_t wParam,
                     intptr_t lParam) override {
        log_.Add(base::Format(L"post %ls %u %u %d", Window(w).c_str(), message,
                              static_cast<unsigned>(wParam), static_cast<int>(lParam)));
        return true;
    }
    int MessageBox(platform::WindowHandle owner, const std::wstring& text,
                   const std::wstring& caption, uint32_t flags) override {
        log_.Add(base::Format(L"box %ls %ls|%ls|%u", Window(owner).c_str(), text.c_str(),
                              caption.c_str(), flags));
        return win::kIdOk;
    }
    intptr_t DialogBox(int templateId, platform::DialogProcedure* procedure) override {
        log_.Add(base::Format(L"dialog %d", templateId));
        return ForwardingUi::DialogBox(templateId, procedure);
    }

private:
    Log& log_;
};

class RecordingSystem : public flowtest::ForwardingSystem {
public:
    RecordingSystem(platform::System& inner, Log& log) : ForwardingSystem(inner), log_(log) {}
    void Sleep(uint32_t milliseconds) override {
        log_.Add(base::Format(L"sleep %u", milliseconds));
        ForwardingSystem::Sleep(milliseconds);
    }

private:
    Log& log_;
};

// A simulated machine with the program's resources, the driver next to the program and the
// system's drivers folder, seen through the recording ports.
struct Rig {
    Rig() : ui(machine.ui(), log), system(machine.system(), log) {
        size_t size = 0;
        const unsigned char* res = EmbeddedSetupRes(&size);
        EXPECT_TRUE(machine.ui().SetResources(res, size));
        machine.files().AddFile(kSource, "driver image");
        machine.files().MakeFolders(L"C:\\Windows\\system32\\drivers");
        platform = std::make_unique<platform::Platform>(
            platform::Platform{machine.registry(), machine.files(), machine.volumes(),
                               machine.shell(), system, machine.processes(), machine.wmi(), ui});
        args.page = kPage;
        args.statusText = kStatus;
        args.progressBar = kProgress;
        args.platform = platform.get();
        args.settings = &settings;
        args.process = &process;
    }

    sim::Machine machine;
    Log log;
    RecordingUi ui;
    RecordingSystem system;
    std::unique_ptr<platform::Platform> platform;
    InstallerSettings settings;
    SetupProcess process;
    InstallWorkerArgs args;
};

std::wstring StatusLine(sim::Machine& machine, int id) {
    return L"text status " + machine.ui().LoadString(id);
}

std::wstring PositionLine(int position) {
    return base::Format(L"send progress %u %d 0", win::kPbmSetPos, position);
}

const std::wstring kPause = L"sleep 50";

// The reports of steps 1 to 10, as far as the driver copy.
std::vector<std::wstring> ReportsUpToTheDriver(sim::Machine& machine) {
    std::vector<std::wstring> lines = {StatusLine(machine, IDS_STATUS_COPYING), kPause};
    for (int position = 10; position <= 70; position += 10) {
        lines.push_back(PositionLine(position));
        lines.push_back(kPause);
    }
    return lines;
}

void ExpectLines(const std::vector<std::wstring>& got, const std::vector<std::wstring>& expected) {
    const size_t n = std::max(got.size(), expected.size());
    for (size_t i = 0; i < n; ++i) {
        const std::wstring g = i < got.size() ? got[i] : L"(nothing)";
        const std::wstring e = i < expected.size() ? expected[i] : L"(nothing)";
        EXPECT_EQ(g, e) << "line " << i << ": got " << base::ToUtf8(g) << " / expected "
                        << base::ToUtf8(e);
    }
}

// ---- The install sequence ----

TEST(InstallWorkerTest, InteractiveRunReportsEveryStageThenPostsOnce) {
    Rig rig;
    sim::Machine& m = rig.machine;
    EXPECT_EQ(InstallWorkerProc(&rig.args), 0u);

    std::vector<std::wstring> expected = ReportsUpToTheDriver(m);
    const std::vector<std::wstring> rest = {PositionLine(80),
                                            kPause,
                                            StatusLine(m, IDS_STATUS_REGISTRY),
                                            kPause,
                                            PositionLine(90),  // no pause after 90
                                            StatusLine(m, IDS_STATUS_INITIALIZING),
                                            kPause,
                                            PositionLine(95),
                                            kPause,
                                            StatusLine(m, IDS_STATUS_SHORTCUTS),
                                            kPause,
                                            PositionLine(98),
                                            kPause,
                                            StatusLine(m, IDS_STATUS_REGISTERING),
                                            kPause,
                                            PositionLine(100),
                                            kPause,
                                            base::Format(L"post page %u 0 0", WM_INSTALL_DONE)};
    expected.insert(expected.end(), rest.begin(), rest.end());
    ExpectLines(rig.log.Lines(), expected);

    // The English texts, as the page shows them.
    EXPECT_EQ(m.ui().LoadString(IDS_STATUS_COPYING), L"Copying files ...");
    EXPECT_EQ(m.ui().LoadString(IDS_STATUS_INITIALIZING), L"Initializing the environment...");
    EXPECT_EQ(m.system().Sleeps().size(), 16u);
    EXPECT_EQ(m.system().TotalSleep(), 800u);
    EXPECT_EQ(rig.settings.InstallFailed, 0);
    EXPECT_EQ(m.files().ReadText(kDriver), std::string("driver image"));
    EXPECT_TRUE(m.files().IsDirectory(L"C:\\Program Files\\Corvane"));
    EXPECT_EQ(m.system().ApartmentOf(std::this_thread::get_id()),
              std::optional<uint32_t>(win::kCoinitApartmentThreaded));
}

TEST(InstallWorkerTest, SilentRunTouchesNoWindowAndNeverPauses) {
    Rig rig;
    RunInstall(*rig.platform, rig.settings, rig.process, nullptr, 1);
    EXPECT_TRUE(rig.log.Lines().empty());
    EXPECT_TRUE(rig.machine.system().Sleeps().empty());
    EXPECT_EQ(rig.settings.InstallFailed, 0);
    EXPECT_TRUE(rig.machine.files().Exists(kDriver));
}

// The driver copy is the one step whose failure ends the installation: box 141 with OK
// only (owned by the page in interactive mode), InstallFailed, nothing after step 11, and
// in interactive mode the completion is still posted after the box.
TEST(InstallWorkerTest, AFailedDriverCopyStopsAtSeventy) {
    enum class Fault { NoSourceFile, NoDriversFolder, CopyRefused };
    struct Case {
        bool silent;
        Fault fault;
    };
    const Case cases[] = {
        {false, Fault::NoSourceFile},
        {false, Fault::CopyRefused},
        {true, Fault::NoDriversFolder},
        {true, Fault::NoSourceFile},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "silent " << c.silent << " fault " << static_cast<int>(c.fault));
        Rig rig;
        sim::Machine& m = rig.machine;
        switch (c.fault) {
            case Fault::NoSourceFile:
                m.files().DeleteFile(kSource);
                break;
            case Fault::NoDriversFolder:
                m.files().RemoveDirectory(L"C:\\Windows\\system32\\drivers");
                break;
            case Fault::CopyRefused:
                m.files().FailPath(std::wstring(kDriver) + L".new", sim::FileOp::CopyFile,
                                   win::kErrorAccessDenied);
                break;
        }
        const std::wstring box =
            base::Format(L"box %ls %ls|Setup|%u", c.silent ? L"none" : L"page",
                         m.ui().LoadString(IDS_COPY_FILE_FAILED).c_str(), win::kMbOk);
        std::vector<std::wstring> expected;
        if (c.silent) {
            RunInstall(*rig.platform, rig.settings, rig.process, nullptr, 1);
            expected = {box};
        } else {
            EXPECT_EQ(InstallWorkerProc(&rig.args), 0u);
            expected = ReportsUpToTheDriver(m);
            expected.push_back(box);
            expected.push_back(base::Format(L"post page %u 0 0", WM_INSTALL_DONE));
        }
        ExpectLines(rig.log.Lines(), expected);
        EXPECT_EQ(m.ui().LoadString(IDS_COPY_FILE_FAILED), L"Copy file failed!");
        EXPECT_EQ(rig.settings.InstallFailed, 1);
        EXPECT_FALSE(m.files().Exists(kDriver));
    }
}

// A folder the engine cannot determine never turns into a path on the current drive: the
// installation fails as a failed driver copy does, before anything is copied or created.
// A "path" from the configuration file is a determined installation folder.
TEST(InstallWorkerTest, AnUnknownFolderFailsTheInstallationBeforeAnyCopy) {
    enum class Fault { SystemFolder, ProgramFiles, ProgramPath, ProgramFilesButConfigPath };
    struct Case {
        bool silent;
        Fault fault;
    };
    const Case cases[] = {
        {false, Fault::SystemFolder},
        {true, Fault::SystemFolder},
        {true, Fault::ProgramFiles},
        {false, Fault::ProgramPath},
        {true, Fault::ProgramFilesButConfigPath},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "silent " << c.silent << " fault " << static_cast<int>(c.fault));
        Rig rig;
        sim::Machine& m = rig.machine;
        // Folders of the current drive that a path without its folder would reach.
        m.files().MakeFolders(L"C:\\drivers");
        m.files().MakeFolders(L"C:\\Corvane");
        m.files().AddFile(L"C:\\cvflt.sys", "driver image at the root");
        switch (c.fault) {
            case Fault::SystemFolder:
                m.system().FailSystemDirectory(win::kErrorAccessDenied);
                break;
            case Fault::ProgramFiles:
                m.shell().FailFolder(win::kCsidlProgramFiles);
                break;
            case Fault::ProgramPath:
                m.files().FailNext(sim::FileOp::GetModuleFileName, win::kErrorNotEnoughMemory);
                break;
            case Fault::ProgramFilesButConfigPath:
                m.shell().FailFolder(win::kCsidlProgramFiles);
                m.files().AddFile(L"C:\\Setup\\setup.ini",
                                  "[common]\r\npath=D:\\Apps\\Corvane\r\n");
                m.volumes().AddFixedVolume(L'D', 1ll << 32, 1ull << 31);
                rig.settings.ConfigFile = L"C:\\Setup\\setup.ini";
                break;
        }
        const std::wstring box =
            base::Format(L"box %ls %ls|Setup|%u", c.silent ? L"none" : L"page",
                         m.ui().LoadString(IDS_COPY_FILE_FAILED).c_str(), win::kMbOk);
        if (c.silent) {
            RunInstall(*rig.platform, rig.settings, rig.process, nullptr, 1);
        } else {
            EXPECT_EQ(InstallWorkerProc(&rig.args), 0u);
        }
        if (c.fault == Fault::ProgramFilesButConfigPath) {
            EXPECT_EQ(rig.settings.InstallFailed, 0);
            EXPECT_TRUE(rig.log.Lines().empty());
            EXPECT_TRUE(m.files().Exists(kDriver));
            EXPECT_TRUE(m.files().IsDirectory(L"D:\\Apps\\Corvane"));
            continue;
        }
        std::vector<std::wstring> expected;
        if (!c.silent) {
            expected = {StatusLine(m, IDS_STATUS_COPYING), kPause, box,
                        base::Format(L"post page %u 0 0", WM_INSTALL_DONE)};
        } else {
            expected = {box};
        }
        ExpectLines(rig.log.Lines(), expected);
        EXPECT_EQ(rig.settings.InstallFailed, 1);
        EXPECT_FALSE(m.files().Exists(kDriver));
        EXPECT_FALSE(m.files().Exists(L"C:\\drivers\\cvflt.sys"));
        EXPECT_TRUE(m.files().List(L"C:\\Corvane\\").empty());
        EXPECT_FALSE(m.files().Exists(L"C:\\Program Files\\Corvane"));
        EXPECT_TRUE(m.registry().Writes().empty());
        EXPECT_TRUE(m.shell().SavedLinks().empty());
    }
}

// The configuration file's "path" is used only as a full path with a drive or a server name
// and without a quotation mark; anything else stops the installation like a folder that
// cannot be determined (box 141), before anything is copied.
TEST(InstallWorkerTest, AnInstallationPathThatIsNotAFullPathIsRefused) {
    struct Case {
        const wchar_t* path;
        bool usable;
    };
    const Case cases[] = {
        {L"D:\\Apps\\Corvane", true},
        {L"d:\\Corvane", true},
        {L"\\\\server\\share\\Corvane", true},
        {L"Apps\\Corvane", false},        // relative to the current folder
        {L"\\Apps\\Corvane", false},      // relative to the current drive
        {L"D:Apps\\Corvane", false},      // relative to D:'s current folder
        {L"D:\\Apps\\Cor\"vane", false},  // would break the quoting of the command lines
        {L"\\\\\\server\\Corvane", false},
        {L"1:\\Corvane", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(base::ToUtf8(c.path));
        EXPECT_EQ(IsUsableInstallFolder(c.path), c.usable);
        if (c.usable) {
            continue;
        }
        Rig rig;
        sim::Machine& m = rig.machine;
        m.volumes().AddFixedVolume(L'D', 1ll << 32, 1ull << 31);
        m.files().AddFile(L"C:\\Setup\\setup.ini",
                          base::ToUtf8(L"[common]\r\npath=" + std::wstring(c.path) + L"\r\n"));
        rig.settings.ConfigFile = L"C:\\Setup\\setup.ini";
        RunInstall(*rig.platform, rig.settings, rig.process, nullptr, 1);
        EXPECT_EQ(rig.settings.InstallFailed, 1);
        ExpectLines(rig.log.Lines(),
                    {base::Format(L"box none %ls|Setup|%u",
                                  m.ui().LoadString(IDS_COPY_FILE_FAILED).c_str(), win::kMbOk)});
        EXPECT_FALSE(m.files().Exists(kDriver));
        EXPECT_FALSE(m.files().Exists(L"C:\\Setup\\Apps"));
        EXPECT_FALSE(m.files().Exists(L"C:\\Apps"));
        EXPECT_FALSE(m.files().Exists(L"D:\\Apps"));
        EXPECT_TRUE(m.registry().Writes().empty());
    }
}

TEST(InstallWorkerTest, AWorkerWithoutItsRecordDoesNothing) {
    EXPECT_EQ(InstallWorkerProc(nullptr), 0u);
    InstallWorkerArgs args;  // no platform, no settings
    EXPECT_EQ(InstallWorkerProc(&args), 0u);
}

// ---- The folders ----

TEST(InstallWorkerTest, FoldersAreDerivedAndTrimmed) {
    struct Case {
        const wchar_t* name;
        const wchar_t* programFiles;  // null: the query fails
        const wchar_t* systemFolder;  // null: the query fails
        std::wstring module;
        const wchar_t* commonPrograms;
        const wchar_t* startMenuFolder;
        const wchar_t* installDir;
        const wchar_t* systemDir;
        std::wstring sourceDir;
        const wchar_t* startMenuPath;
    };
    const std::wstring longFolder = L"C:\\" + std::wstring(250, L'd');
    const Case cases[] = {
        {L"defaults", L"C:\\Program Files", L"C:\\Windows\\system32", L"C:\\Setup\\Setup.exe",
         L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs", L"Corvane",
         L"C:\\Program Files\\Corvane", L"C:\\Windows\\system32", L"C:\\Setup",
         L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Corvane"},
        {L"trailing backslashes", L"C:\\Apps\\\\", L"C:\\WINNT\\system32\\",
         L"C:\\Disk One\\Setup.exe", L"C:\\Menu\\\\", L"Tools\\Corvane", L"C:\\Apps\\Corvane",
         L"C:\\WINNT\\system32", L"C:\\Disk One", L"C:\\Menu\\Tools\\Corvane"},
        {L"started from a drive root, empty folder name", L"C:\\Program Files",
         L"C:\\Windows\\system32", L"E:\\Setup.exe", L"C:\\Menu", L"",
         L"C:\\Program Files\\Corvane", L"C:\\Windows\\system32", L"E:", L"C:\\Menu\\"},
        // A folder that cannot be had stays empty: never "\\Corvane" on the current drive.
        {L"failed queries", nullptr, nullptr, L"C:\\Setup\\Setup.exe", nullptr, L"Corvane", L"",
         L"", L"C:\\Setup", L""},
        {L"folders that are only backslashes", L"\\", L"\\\\", L"\\Setup.exe", L"\\", L"Corvane",
         L"", L"", L"", L""},
        // GetModuleFileNameW would cut the path to 259 characters in a MAX_PATH buffer and
        // the folder above the cut would pass for the source: the program's folder is not
        // known.
        {L"long program path", L"C:\\Program Files", L"C:\\Windows\\system32",
         longFolder + L"\\abcdefgh\\Setup.exe", L"C:\\Menu", L"Corvane",
         L"C:\\Program Files\\Corvane", L"C:\\Windows\\system32", L"", L"C:\\Menu\\Corvane"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(base::ToUtf8(c.name));
        sim::Machine m;
        if (c.programFiles != nullptr) {
            m.shell().SetSpecialFolder(win::kCsidlProgramFiles, c.programFiles);
        } else {
            m.shell().FailFolder(win::kCsidlProgramFiles);
        }
        if (c.systemFolder != nullptr) {
            m.system().SetSystemFolder(c.systemFolder);
        } else {
            m.system().FailSystemDirectory(win::kErrorAccessDenied);
        }
        m.files().SetModulePath(c.module);
        if (c.commonPrograms != nullptr) {
            m.shell().SetSpecialFolder(win::kCsidlCommonPrograms, c.commonPrograms);
        } else {
            m.shell().FailFolder(win::kCsidlCommonPrograms);
        }
        InstallerSettings s;
        s.StartMenuFolder = c.startMenuFolder;
        s.InstallDir = L"C:\\Earlier";  // replaced whatever it held
        DeriveFolders(m.platform(), s);
        EXPECT_EQ(s.InstallDir, c.installDir) << "got " << base::ToUtf8(s.InstallDir);
        EXPECT_EQ(s.SystemDir, c.systemDir) << "got " << base::ToUtf8(s.SystemDir);
        EXPECT_EQ(s.SourceDir, c.sourceDir) << "got " << base::ToUtf8(s.SourceDir);
        EXPECT_EQ(s.StartMenuPath, c.startMenuPath) << "got " << base::ToUtf8(s.StartMenuPath);
    }
}

}  // namespace
