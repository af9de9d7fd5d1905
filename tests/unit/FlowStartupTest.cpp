// The start-up: the command line, the order of the preparations (DLL search restriction
// first, the rich edit libraries by full path), and the restriction's fallbacks.
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "FlowTestPorts.h"
#include "Setup/flow/ExitCodes.h"
#include "Setup/flow/SetupApp.h"
#include "Setup/res/EmbeddedRes.h"
#include "Setup/res/resource.h"
#include "base/Text.h"
#include "sim/Machine.h"

namespace {

// ---- The command line ----

TEST(FlowStartupTest, CommandLineOptions) {
    struct Case {
        const wchar_t* commandLine;
        bool silent;
        const wchar_t* configFile;
        const wchar_t* logFile;
        bool suppress;
    };
    const Case cases[] = {
        {L"\"C:\\Setup\\Setup.exe\"", false, L"", L"", false},
        {L"Setup.exe -silent", true, L"", L"", false},
        {L"Setup.exe /silent", true, L"", L"", false},
        {L"Setup.exe -SiLeNt", true, L"", L"", false},
        {L"Setup.exe /SILENT", true, L"", L"", false},
        {L"Setup.exe -silentx", false, L"", L"", false},
        {L"Setup.exe silent", false, L"", L"", false},
        {L"Setup.exe --silent", false, L"", L"", false},
        {L"-silent", false, L"", L"", false},  // argument 0 is the program, never an option
        {L"-silent -config:a.ini", false, L"a.ini", L"", false},
        {L"Setup.exe -config:", false, L"", L"", false},
        {L"Setup.exe -config:C:\\a.ini", false, L"C:\\a.ini", L"", false},
        {L"Setup.exe /CONFIG:C:\\a.ini", false, L"C:\\a.ini", L"", false},
        {L"Setup.exe -Config:a.ini", false, L"a.ini", L"", false},
        {L"Setup.exe config:a.ini", false, L"", L"", false},
        {L"Setup.exe -configx:a.ini", false, L"", L"", false},
        // Quotes the splitting keeps (escaped) are removed at both ends, inner ones stay.
        {L"Setup.exe \"-config:C:\\My Files\\a.ini\"", false, L"C:\\My Files\\a.ini", L"", false},
        {L"Setup.exe -config:\"C:\\My Files\\a.ini\"", false, L"C:\\My Files\\a.ini", L"", false},
        {L"Setup.exe -config:\\\"C:\\a.ini\\\"", false, L"C:\\a.ini", L"", false},
        {L"Setup.exe -config:\\\"\\\"C:\\a.ini\\\"\\\"", false, L"C:\\a.ini", L"", false},
        {L"Setup.exe -config:\\\"C:\\a.ini", false, L"C:\\a.ini", L"", false},
        {L"Setup.exe -config:C:\\a.ini\\\"", false, L"C:\\a.ini", L"", false},
        {L"Setup.exe -config:C:\\a\\\"b\\\".ini", false, L"C:\\a\"b\".ini", L"", false},
        {L"Setup.exe -config:\\\"\\\"\\\"", false, L"", L"", false},
        {L"Setup.exe -config:a.ini -config:b.ini", false, L"b.ini", L"", false},
        {L"Setup.exe -config:a.ini -config:", false, L"", L"", false},
        {L"Setup.exe -silent -config:a.ini", true, L"a.ini", L"", false},
        {L"Setup.exe /config:a.ini /silent", true, L"a.ini", L"", false},
        {L"Setup.exe -other -silent unknown", true, L"", L"", false},
        // The log: the same rules as the configuration file, with its own 5-character prefix.
        {L"Setup.exe -log:C:\\s.log", false, L"", L"C:\\s.log", false},
        {L"Setup.exe /LOG:\"C:\\Windows\\Temp\\corvane setup.log\"", false, L"",
         L"C:\\Windows\\Temp\\corvane setup.log", false},
        {L"Setup.exe \"-Log:\\\\server\\share\\a b.log\"", false, L"",
         L"\\\\server\\share\\a b.log", false},
        {L"Setup.exe -log:\\\"C:\\a.log\\\"", false, L"", L"C:\\a.log", false},
        {L"Setup.exe -log:", false, L"", L"", false},
        {L"Setup.exe -log:a.log -log:b.log", false, L"", L"b.log", false},
        {L"Setup.exe -log:a.log -log:", false, L"", L"", false},
        {L"Setup.exe -logx:a.log", false, L"", L"", false},
        {L"Setup.exe -log a.log", false, L"", L"", false},
        {L"Setup.exe log:a.log", false, L"", L"", false},
        {L"Setup.exe -log:-silent", false, L"", L"-silent", false},
        {L"Setup.exe -config:-log:a.log", false, L"-log:a.log", L"", false},
        // The boxes: a whole-argument flag like -silent.
        {L"Setup.exe -suppressmsgboxes", false, L"", L"", true},
        {L"Setup.exe /SuppressMsgBoxes", false, L"", L"", true},
        {L"Setup.exe -suppressmsgbox", false, L"", L"", false},
        {L"Setup.exe -suppressmsgboxes:1", false, L"", L"", false},
        {L"Setup.exe suppressmsgboxes", false, L"", L"", false},
        {L"Setup.exe - / -: /:", false, L"", L"", false},
        {L"Setup.exe -silent -suppressmsgboxes -config:\"\\\\server\\share\\corvane.ini\" "
         L"-log:\"C:\\Windows\\Temp\\corvane-setup.log\"",
         true, L"\\\\server\\share\\corvane.ini", L"C:\\Windows\\Temp\\corvane-setup.log", true},
    };
    for (const Case& c : cases) {
        sim::Machine m;
        m.shell().SetCommandLine(c.commandLine);
        SetupOptions options;
        EXPECT_TRUE(ReadCommandLine(m.shell(), &options));
        const std::string input = " / input " + base::ToUtf8(c.commandLine);
        EXPECT_EQ(options.Silent, c.silent) << input;
        EXPECT_EQ(options.SuppressMessageBoxes, c.suppress) << input;
        EXPECT_EQ(options.ConfigFile, c.configFile)
            << "got " << base::ToUtf8(options.ConfigFile) << " / expected "
            << base::ToUtf8(c.configFile) << input;
        EXPECT_EQ(options.LogFile, c.logFile) << "got " << base::ToUtf8(options.LogFile)
                                              << " / expected " << base::ToUtf8(c.logFile) << input;
    }
}

// -check and the options box: whole-argument flags like -silent, either lead character,
// any case; neither changes the other options.
TEST(FlowStartupTest, CheckAndHelpOptions) {
    struct Case {
        const wchar_t* commandLine;
        bool check;
        bool help;
    };
    const Case cases[] = {
        {L"Setup.exe -check", true, false},
        {L"Setup.exe /CHECK", true, false},
        {L"Setup.exe -Check -silent", true, false},
        {L"Setup.exe -checks", false, false},
        {L"Setup.exe check", false, false},
        {L"Setup.exe -check:", false, false},
        {L"-check", false, false},
        {L"Setup.exe /?", false, true},
        {L"Setup.exe -?", false, true},
        {L"Setup.exe -help", false, true},
        {L"Setup.exe /HeLp", false, true},
        {L"Setup.exe ?", false, false},
        {L"Setup.exe -??", false, false},
        {L"Setup.exe /h", false, false},
        {L"Setup.exe -helpme", false, false},
        {L"Setup.exe -check /? -silent", true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(base::ToUtf8(c.commandLine));
        sim::Machine m;
        m.shell().SetCommandLine(c.commandLine);
        SetupOptions options;
        ASSERT_TRUE(ReadCommandLine(m.shell(), &options));
        EXPECT_EQ(options.Check, c.check);
        EXPECT_EQ(options.Help, c.help);
        EXPECT_EQ(options.Silent,
                  std::wstring(c.commandLine).find(L"-silent") != std::wstring::npos);
    }
}

TEST(FlowStartupTest, AFailedSplitLeavesTheDefaults) {
    sim::Machine m;
    m.shell().SetCommandLine(L"Setup.exe -silent -config:a.ini -log:a.log -suppressmsgboxes");
    m.shell().FailCommandLineSplit();
    SetupOptions options;
    EXPECT_FALSE(ReadCommandLine(m.shell(), &options));
    EXPECT_FALSE(options.Silent);
    EXPECT_FALSE(options.SuppressMessageBoxes);
    EXPECT_TRUE(options.ConfigFile.empty());
    EXPECT_TRUE(options.LogFile.empty());
}

// ---- The start-up order ----

using flowtest::Log;

class OrderedSystem : public flowtest::ForwardingSystem {
public:
    OrderedSystem(platform::System& inner, Log& log) : ForwardingSystem(inner), log_(log) {}
    bool RestrictDllSearchPath(platform::DllSearchRestriction* way) override {
        log_.Add(L"restrict");
        return ForwardingSystem::RestrictDllSearchPath(way);
    }
    int32_t CoInitializeEx(uint32_t model) override {
        log_.Add(base::Format(L"com %u", model));
        return ForwardingSystem::CoInitializeEx(model);
    }

private:
    Log& log_;
};

class OrderedProcesses : public flowtest::ForwardingProcesses {
public:
    OrderedProcesses(platform::Processes& inner, Log& log)
        : ForwardingProcesses(inner), log_(log) {}
    platform::ModuleHandle LoadLibrary(const std::wstring& path) override {
        log_.Add(L"load " + path);
        return ForwardingProcesses::LoadLibrary(path);
    }
    platform::ModuleHandle LoadLibraryEx(const std::wstring& path, uint32_t flags) override {
        log_.Add(base::Format(L"load %ls 0x%X", path.c_str(), flags));
        return ForwardingProcesses::LoadLibraryEx(path, flags);
    }

private:
    Log& log_;
};

class OrderedUi : public flowtest::ForwardingUi {
public:
    OrderedUi(platform::Ui& inner, Log& log) : ForwardingUi(inner), log_(log) {}
    bool InitCommonControls(uint32_t size, uint32_t classes) override {
        log_.Add(base::Format(L"controls %u 0x%X", size, classes));
        return ForwardingUi::InitCommonControls(size, classes);
    }
    intptr_t DialogBox(int templateId, platform::DialogProcedure* procedure) override {
        log_.Add(base::Format(L"dialog %d", templateId));
        return ForwardingUi::DialogBox(templateId, procedure);
    }

private:
    Log& log_;
};

// The restriction comes before anything that may load a library; the visual styles'
// libraries and the rich edit libraries are loaded by their full path in the system folder,
// their imports searched there too, even when copies lie next to the program. A run
// cancelled on the Welcome page ends with the user's-exit code.
TEST(FlowStartupTest, TheDllSearchIsRestrictedFirstAndLibrariesComeFromSystem32) {
    sim::Machine m;
    size_t size = 0;
    const unsigned char* res = EmbeddedSetupRes(&size);
    ASSERT_TRUE(m.ui().SetResources(res, size));
    m.ui().SetIdleTimeout(std::chrono::milliseconds(5000));
    for (const wchar_t* path :
         {L"C:\\Windows\\system32\\riched32.dll", L"C:\\Windows\\system32\\riched20.dll",
          L"C:\\Windows\\system32\\uxtheme.dll", L"C:\\Windows\\system32\\msimg32.dll",
          L"C:\\Setup\\riched20.dll", L"C:\\Setup\\uxtheme.dll"}) {
        m.files().AddFile(path, "MZ");
        m.processes().RegisterLibrary(path, {});
    }
    Log log;
    OrderedSystem system(m.system(), log);
    OrderedProcesses processes(m.processes(), log);
    OrderedUi ui(m.ui(), log);
    platform::Platform platform{m.registry(), m.files(), m.volumes(), m.shell(),
                                system,       processes, m.wmi(),     ui};
    m.ui().User().AnswerMessageBox(win::kIdOk);
    m.ui().User().OnPage(IDD_WELCOME, [](sim::PageDriver& p) { p.Click(win::kIdCancel); });

    InstallerSettings settings;
    SetupProcess process;
    CSetupApp app(platform, settings, process);
    EXPECT_FALSE(app.InitInstance());
    EXPECT_EQ(app.GetExitCode(), kExitCancelled);
    EXPECT_EQ(process.ControlCodeBase, 0u);
    EXPECT_EQ(settings.VersionText, L"1.4.0.672");
    EXPECT_EQ(app.GetDllSearchRestriction(), platform::DllSearchRestriction::DefaultDllDirectories);

    const std::vector<std::wstring> expected = {
        L"restrict",
        L"load C:\\Windows\\system32\\uxtheme.dll 0x800",
        L"load C:\\Windows\\system32\\msimg32.dll 0x800",
        base::Format(L"controls 8 0x%X", 0xFFu),
        base::Format(L"com %u", win::kCoinitMultithreaded),
        L"load C:\\Windows\\system32\\RICHED32.DLL 0x800",
        L"load C:\\Windows\\system32\\riched20.dll 0x800",
        base::Format(L"dialog %d", IDD_WELCOME),
    };
    const std::vector<std::wstring> got = log.Lines();
    ASSERT_GE(got.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(got[i], expected[i]) << "step " << i << ": got " << base::ToUtf8(got[i])
                                       << " / expected " << base::ToUtf8(expected[i]);
    }
    for (const auto& event : m.processes().LibraryEvents()) {
        EXPECT_TRUE(base::StartsWithNoCase(event.path, L"C:\\Windows\\system32\\"))
            << base::ToUtf8(event.path);
    }
    EXPECT_TRUE(m.processes().IsLibraryLoaded(L"C:\\Windows\\system32\\riched20.dll"));
    EXPECT_FALSE(m.processes().IsLibraryLoaded(L"C:\\Setup\\riched20.dll"));
    EXPECT_TRUE(m.processes().IsLibraryLoaded(L"C:\\Windows\\system32\\uxtheme.dll"));
    EXPECT_FALSE(m.processes().IsLibraryLoaded(L"C:\\Setup\\uxtheme.dll"));
}

// Where the search by name still looks beside the program (Windows XP to 7 without
// KB2533623: SetDllDirectoryW(L"") only takes the current folder out), the system libraries
// the program loads take their own imports from the system folder, not from copies planted
// beside the program; where the search flags exist, only the system folder is searched.
TEST(FlowStartupTest, SystemLibrariesTakeTheirImportsFromTheSystemFolder) {
    struct Case {
        bool searchFlags;  // SetDefaultDllDirectories and the LoadLibraryExW search flags
        uint32_t flags;
    };
    const Case cases[] = {{false, win::kLoadWithAlteredSearchPath},
                          {true, win::kLoadLibrarySearchSystem32}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.searchFlags ? "search flags" : "Windows XP");
        sim::Machine m;
        m.system().SetDllSearchFunctions(c.searchFlags, true);
        const std::wstring system32 = L"C:\\Windows\\system32\\";
        for (const wchar_t* name : {L"riched32.dll", L"riched20.dll", L"uxtheme.dll",
                                    L"msimg32.dll", L"usp10.dll", L"dwmapi.dll"}) {
            m.files().AddFile(system32 + name, "MZ");
            m.files().AddFile(std::wstring(L"C:\\Setup\\") + name, "MZ planted");
            m.processes().RegisterLibrary(system32 + name, {});
        }
        m.processes().SetLibraryDependencies(system32 + L"riched20.dll", {L"usp10.dll"});
        m.processes().SetLibraryDependencies(system32 + L"uxtheme.dll", {L"dwmapi.dll"});
        m.shell().SetCommandLine(L"Setup.exe -silent");
        m.files().AddFile(L"C:\\Setup\\cvflt.sys", "driver");
        m.files().MakeFolders(L"C:\\Windows\\system32\\drivers");
        flowtest::Log log;
        OrderedProcesses processes(m.processes(), log);
        platform::Platform platform{m.registry(), m.files(), m.volumes(), m.shell(),
                                    m.system(),   processes, m.wmi(),     m.ui()};
        InstallerSettings settings;
        SetupProcess process;
        CSetupApp app(platform, settings, process);
        app.InitInstance();
        EXPECT_EQ(app.GetExitCode(), kExitRestartRequired);
        EXPECT_EQ(log.Starting(L"load C:\\Windows\\system32\\").size(), 4u);
        const std::wstring suffix = base::Format(L" 0x%X", c.flags);
        for (const std::wstring& line : log.Starting(L"load C:\\Windows\\system32\\")) {
            EXPECT_EQ(line.substr(line.size() - std::min(line.size(), suffix.size())), suffix)
                << base::ToUtf8(line);
        }
        EXPECT_EQ(m.processes().DependencyLoads(),
                  (std::vector<std::wstring>{system32 + L"dwmapi.dll", system32 + L"usp10.dll"}));
    }
}

// Newer systems restrict the search to the system folder, Windows XP SP1 to Windows 7
// without the update take the current folder out, older ones keep the default order; the
// start-up goes on in every case.
TEST(FlowStartupTest, TheDllSearchRestrictionFallsBack) {
    using platform::DllSearchRestriction;
    struct Case {
        bool hasDefaultDllDirectories;
        bool hasSetDllDirectory;
        uint32_t failure;
        DllSearchRestriction expected;
    };
    const Case cases[] = {
        {true, true, 0, DllSearchRestriction::DefaultDllDirectories},
        {false, true, 0, DllSearchRestriction::EmptyDllDirectory},
        {false, false, 0, DllSearchRestriction::None},
        {true, true, win::kErrorInvalidParameter, DllSearchRestriction::None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "default " << c.hasDefaultDllDirectories << " set "
                                        << c.hasSetDllDirectory << " failure " << c.failure);
        sim::Machine m;
        m.system().SetDllSearchFunctions(c.hasDefaultDllDirectories, c.hasSetDllDirectory);
        m.system().FailDllSearchRestriction(c.failure);
        m.shell().SetCommandLine(L"Setup.exe -silent");
        m.files().AddFile(L"C:\\Setup\\cvflt.sys", "driver");
        m.files().MakeFolders(L"C:\\Windows\\system32\\drivers");
        InstallerSettings settings;
        SetupProcess process;
        CSetupApp app(m.platform(), settings, process);
        EXPECT_FALSE(app.InitInstance());
        EXPECT_EQ(app.GetDllSearchRestriction(), c.expected);
        const auto records = m.system().DllSearchRestrictions();
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].way, c.expected);
        EXPECT_EQ(app.GetExitCode(), kExitRestartRequired);
        EXPECT_TRUE(m.files().Exists(L"C:\\Windows\\system32\\drivers\\cvflt.sys"));
    }
}

TEST(FlowStartupTest, SystemLibraryPathUsesTheSystemFolder) {
    sim::Machine m;
    m.system().SetSystemFolder(L"D:\\WINNT\\System32\\");
    EXPECT_EQ(SystemLibraryPath(m.system(), L"UxTheme.dll"), L"D:\\WINNT\\System32\\UxTheme.dll");
    m.system().FailSystemDirectory(win::kErrorAccessDenied);
    EXPECT_EQ(SystemLibraryPath(m.system(), L"UxTheme.dll"), L"");
    EXPECT_FALSE(InitRichEdit(m.platform()));
    EXPECT_TRUE(m.processes().LibraryEvents().empty());
}

}  // namespace
