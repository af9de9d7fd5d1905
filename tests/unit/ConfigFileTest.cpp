// The unattended configuration file: the installation choices it can switch off but never
// on, files that are missing, empty, binary, in another encoding or otherwise odd, values
// longer than the buffers they were once read into, the copy into prefs.dat, and the
// volumes "veil" names.
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "EngineTestMachine.h"
#include "Setup/checks/DriverControl.h"
#include "Setup/engine/ConfigFile.h"
#include "Setup/engine/InstallWorker.h"
#include "Setup/flow/SetupProcess.h"
#include "base/Text.h"
#include "sim/Machine.h"

namespace {

constexpr const wchar_t kConfig[] = L"C:\\Setup\\setup.ini";
constexpr const wchar_t kDefaultInstallDir[] = L"C:\\Program Files\\Corvane";
constexpr const wchar_t kDefaultMenu[] =
    L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Corvane";
constexpr const wchar_t kPrefs[] = L"C:\\Program Files\\Corvane\\prefs.dat";

// The settings as the engine has them before the import: the derived folders and both
// icons ticked.
InstallerSettings Derived() {
    InstallerSettings s;
    s.ConfigFile = kConfig;
    s.InstallDir = kDefaultInstallDir;
    s.StartMenuPath = kDefaultMenu;
    return s;
}

std::string Describe(const InstallerSettings& s) {
    return base::ToUtf8(base::Format(L"dir=%ls desktop=%d quick=%d menu=%ls password=%ls",
                                     enginetest::Quoted(s.InstallDir).c_str(), s.DesktopIcon,
                                     s.QuickLaunchIcon, enginetest::Quoted(s.StartMenuPath).c_str(),
                                     enginetest::Quoted(s.Password).c_str()));
}

// Every choice switched on, the folder and password named.
const char kAllOn[] =
    "[common]\r\npath=D:\\Apps\\Corvane\r\ndesktopicon=1\r\nquicklaunchicon=1\r\n"
    "startupmenushortcut=1\r\npassword=secret\r\n";

// What the import leaves in the settings.
struct Outcome {
    std::wstring dir;
    int desktop;
    int quick;
    std::wstring menu;
    std::wstring password;
};

std::string Describe(const Outcome& o) {
    InstallerSettings s;
    s.InstallDir = o.dir;
    s.DesktopIcon = o.desktop;
    s.QuickLaunchIcon = o.quick;
    s.StartMenuPath = o.menu;
    s.Password = o.password;
    return Describe(s);
}

TEST(ConfigFileTest, ImportTable) {
    const std::string longPath = "D:\\" + std::string(300, 'p');
    const std::string longPassword(300, 'w');
    const std::string hugeLine(100000, 'x');
    // What a file the engine cannot read (or that names nothing) leaves: both icons and the
    // start-menu links off, the folder and the password as they were.
    const Outcome defaults = {kDefaultInstallDir, 0, 0, L"", L""};
    struct Case {
        const char* name;
        std::function<void(sim::Machine&, InstallerSettings&)> setUp;
        Outcome expected;
    };
    auto file = [](const std::string& bytes) {
        return [bytes](sim::Machine& m, InstallerSettings&) { m.files().AddFile(kConfig, bytes); };
    };
    const std::vector<Case> cases = {
        {"no configuration file named",
         [](sim::Machine& m, InstallerSettings& s) {
             m.files().AddFile(kConfig, "[common]\r\npath=D:\\x\r\n");
             s.ConfigFile.clear();
         },
         {kDefaultInstallDir, 1, 1, kDefaultMenu, L""}},
        {"every key", file(kAllOn), {L"D:\\Apps\\Corvane", 1, 1, kDefaultMenu, L"secret"}},
        {"only path: no icons, no start-menu links",
         file("[common]\r\npath=D:\\Apps\r\n"),
         {L"D:\\Apps", 0, 0, L"", L""}},
        {"an icon switched off on the page stays off",
         [](sim::Machine& m, InstallerSettings& s) {
             m.files().AddFile(kConfig, kAllOn);
             s.DesktopIcon = 0;
         },
         {L"D:\\Apps\\Corvane", 0, 1, kDefaultMenu, L"secret"}},
        {"empty path and password change nothing",
         file("[common]\r\npath=\r\npassword=\"\"\r\ndesktopicon=1\r\n"),
         {kDefaultInstallDir, 1, 0, L"", L""}},
        {"a relative path ending in a backslash is taken as written",
         file("[common]\r\npath=Corvane\\\r\npassword=  two words  \r\n"),
         {L"Corvane\\", 0, 0, L"", L"two words"}},
        {"quoted values",
         file("[common]\r\npath=\"D:\\My Apps\"\r\npassword='x y'\r\n"),
         {L"D:\\My Apps", 0, 0, L"", L"x y"}},
        {"values longer than 255 characters are read whole",
         file("[common]\r\npath=" + longPath + "\r\npassword=" + longPassword + "\r\n"),
         {base::FromUtf8(longPath), 0, 0, L"", base::FromUtf8(longPassword)}},
        {"lines of 100,000 characters",
         file(hugeLine + "\r\n[common]\r\n" + hugeLine +
              "=1\r\npath=D:\\x\r\npassword=" + hugeLine + "\r\ndesktopicon=1\r\n"),
         {L"D:\\x", 1, 0, L"", base::FromUtf8(hugeLine)}},
        {"keys without =",
         file("[common]\r\npath\r\ndesktopicon\r\nquicklaunchicon=1\r\n"),
         {kDefaultInstallDir, 0, 1, L"", L""}},
        {"duplicate sections and keys: the first counts",
         file("[common]\r\npath=D:\\first\r\npath=D:\\second\r\n[other]\r\n[COMMON]\r\n"
              "desktopicon=1\r\npath=D:\\third\r\n"),
         {L"D:\\first", 0, 0, L"", L""}},
        {"missing", [](sim::Machine&, InstallerSettings&) {}, defaults},
        {"a folder", [](sim::Machine& m, InstallerSettings&) { m.files().MakeFolders(kConfig); },
         defaults},
        {"empty", file(""), defaults},
        {"binary garbage", file(std::string("\x00\xff\x01[common\x00]\r\n\x80path=\xfe", 17)),
         defaults},
        {"UTF-16LE with its byte-order mark",
         [](sim::Machine& m, InstallerSettings&) {
             std::vector<uint8_t> bytes = {0xFF, 0xFE};
             const auto text = base::ToUtf16LE(
                 L"[common]\r\npath=D:\\\u00c4pfel\r\ndesktopicon=1\r\npassword=\u5bc6\r\n");
             bytes.insert(bytes.end(), text.begin(), text.end());
             m.files().AddFile(kConfig, bytes);
         },
         {L"D:\\\u00c4pfel", 1, 0, L"", L"\u5bc6"}},
        // UTF-8 is read in the ANSI code page, its byte-order mark as three characters
        // that hide the first line's section name.
        {"UTF-8 with its byte-order mark, section on the first line",
         file("\xef\xbb\xbf[common]\r\npath=D:\\x\r\ndesktopicon=1\r\n"), defaults},
        {"UTF-8 with its byte-order mark, section further down",
         file("\xef\xbb\xbf; settings\r\n[common]\r\npath=D:\\\xc3\x84\r\ndesktopicon=1\r\n"),
         {L"D:\\\u00c3\u201e", 1, 0, L"", L""}},
        {"veil full of separators",
         file("[common]\r\nveil=,,;; ,\r\ndesktopicon=1\r\n"),
         {kDefaultInstallDir, 1, 0, L"", L""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::Machine m;
        InstallerSettings s = Derived();
        c.setUp(m, s);
        ImportConfigFile(m.files(), s);
        EXPECT_EQ(Describe(s), Describe(c.expected));
        EXPECT_TRUE(m.registry().Writes().empty());
        EXPECT_FALSE(m.files().Exists(kPrefs));
        EXPECT_TRUE(m.ui().MessageBoxes().empty());
    }
}

// A configuration file named without its folder is looked for in the Windows folder.
TEST(ConfigFileTest, BareFileNameIsInTheWindowsFolder) {
    sim::Machine m;
    m.files().AddFile(L"C:\\Windows\\corvane.ini", "[common]\r\npath=D:\\FromWindows\r\n");
    m.files().AddFile(L"C:\\Setup\\corvane.ini", "[common]\r\npath=D:\\FromSetup\r\n");
    InstallerSettings s = Derived();
    s.ConfigFile = L"corvane.ini";
    ImportConfigFile(m.files(), s);
    EXPECT_EQ(s.InstallDir, L"D:\\FromWindows");
}

// The keys copied into prefs.dat: present ones overwrite, missing and empty ones leave
// what prefs.dat holds; a read-only or hidden prefs.dat is updated.
TEST(ConfigFileTest, CopyIntoPrefs) {
    const std::string hugeValue(100000, 'v');
    struct Case {
        const char* name;
        std::string config;
        std::string prefsBefore;  // empty: no prefs.dat
        uint32_t attributes;
        std::string prefsAfter;  // "(missing)": none
    };
    const std::vector<Case> cases = {
        {"every key into a new prefs.dat",
         "[common]\r\nautostart=1\r\nRAM=512\r\ntip=0\r\ntrayicon=1\r\ncheckupdate=0\r\n"
         "shellext=1\r\npath=D:\\x\r\n[space]\r\ndisable=D\r\n",
         "", 0,
         "[common]\r\nautostart=1\r\nRAM=512\r\ntip=0\r\ntrayicon=1\r\ncheckupdate=0\r\n"
         "shellext=1\r\n[space]\r\ndisable=D\r\n"},
        {"missing and empty keys leave prefs.dat's own", "[common]\r\nRAM=\r\ntip=\"\"\r\n",
         "[common]\r\nhash=abc\r\nRAM=256\r\ntip=1\r\n", 0,
         "[common]\r\nhash=abc\r\nRAM=256\r\ntip=1\r\n"},
        {"a read-only, hidden prefs.dat is updated", "[common]\r\nRAM=1024\r\n",
         "[common]\r\nhash=abc\r\nRAM=256\r\n",
         win::kFileAttributeReadonly | win::kFileAttributeHidden,
         "[common]\r\nhash=abc\r\nRAM=1024\r\n"},
        {"a long value is copied whole", "[common]\r\ntip=" + hugeValue + "\r\n", "", 0,
         "[common]\r\ntip=" + hugeValue + "\r\n"},
        {"a configuration file without these keys", "[common]\r\npath=D:\\x\r\n", "", 0,
         "(missing)"},
        {"a missing configuration file", "", "", 0, "(missing)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::Machine m;
        m.files().MakeFolders(kDefaultInstallDir);
        if (!c.config.empty()) {
            m.files().AddFile(kConfig, c.config);
        }
        if (!c.prefsBefore.empty()) {
            m.files().AddFile(kPrefs, c.prefsBefore);
            m.files().SetAttributes(kPrefs, c.attributes);
        }
        InstallerSettings s = Derived();
        SetupProcess process;
        CopyConfigToPrefs(m.platform(), s, process);
        const auto text = m.files().ReadText(kPrefs);
        EXPECT_EQ(text ? *text : std::string("(missing)"), c.prefsAfter);
        if (c.attributes != 0) {
            EXPECT_EQ(m.files().Attributes(kPrefs) & win::kFileAttributeReadonly, 0u);
        }
    }

    // No configuration file named: nothing at all.
    sim::Machine m;
    m.files().MakeFolders(kDefaultInstallDir);
    m.files().AddFile(kConfig, "[common]\r\nRAM=1\r\n");
    InstallerSettings s = Derived();
    s.ConfigFile.clear();
    SetupProcess process;
    CopyConfigToPrefs(m.platform(), s, process);
    EXPECT_FALSE(m.files().Exists(kPrefs));
}

// A configuration file that names only the folder: the product goes there, and neither an
// icon nor a start-menu link is made, whatever the pages chose.
TEST(ConfigFileTest, APathOnlyFileInstallsThereWithoutLinks) {
    auto m = enginetest::MakeMachine();
    m->volumes().AddFixedVolume(L'D', 1ll << 32, 1ull << 31);
    m->files().AddFile(kConfig, "[common]\r\npath=D:\\Apps\\Corvane\r\n");
    InstallerSettings s;
    s.ConfigFile = kConfig;
    s.StartMenuFolder = L"Corvane";
    SetupProcess process;
    RunInstall(m->platform(), s, process, nullptr, 1);
    EXPECT_EQ(s.InstallFailed, 0);
    EXPECT_EQ(m->files().ReadText(L"D:\\Apps\\Corvane\\Corvane.exe"),
              enginetest::SourceContent(L"Corvane.exe"));
    EXPECT_FALSE(m->files().Exists(L"C:\\Program Files\\Corvane"));
    EXPECT_TRUE(m->shell().SavedLinks().empty());
    EXPECT_FALSE(m->files().Exists(kDefaultMenu));
    EXPECT_EQ(m->registry().GetString(platform::Hive::LocalMachine, L"SOFTWARE\\Corvane", L"Path"),
              std::wstring(L"D:\\Apps\\Corvane"));
}

// The letters of "veil" whose volumes are prepared: C and D exist, E is a network drive
// (no volume name), F a volume the enumeration does not list.
TEST(ConfigFileTest, VolumesToPrepare) {
    struct Case {
        std::wstring veil;
        std::wstring expected;
    };
    const std::wstring padding(126, L',');
    const Case cases[] = {
        {L"CD", L"CD"},
        {L"C,D", L"CD"},
        {L"cd", L"cd"},
        {L" C ; D ", L"CD"},
        {L"CXD", L"CD"},
        {L"DCCD", L"DCCD"},
        {L"E", L""},
        {L"F", L""},
        {L",,;;:\\. \t", L""},
        {L"", L""},
        {padding + L"DC", L"D"},  // only the first 127 characters count
    };
    sim::Machine m;
    m.volumes().AddFixedVolume(L'D', 1ll << 32, 1ull << 31);
    sim::VolumeConfig network;
    network.driveType = win::kDriveRemote;
    network.volumeName.clear();
    m.volumes().AddVolume(L'E', network);
    m.volumes().AddFixedVolume(L'F', 1ll << 32, 1ull << 31).listed = false;
    for (const Case& c : cases) {
        SCOPED_TRACE(base::ToUtf8(c.veil));
        const std::vector<wchar_t> letters = VolumesToPrepare(m.platform(), c.veil);
        EXPECT_EQ(std::wstring(letters.begin(), letters.end()), c.expected);
    }
}

// With the driver loaded, the volumes "veil" names are prepared at the end of the
// installation with the control code of the GUID the driver reported at start-up, not with
// one derived from the GUID the installation has just written.
TEST(ConfigFileTest, VolumesArePreparedWithTheControlCodeOfTheStartUp) {
    constexpr const wchar_t kLoadedGuid[] = L"{01234567-89ab-cdef-abcd-0123456789ab}";
    constexpr int32_t kLoadedBase = 1576;  // 4 x the units of "abcd"
    auto m = enginetest::MakeMachine();
    m->volumes().AddFixedVolume(L'D', 1ll << 34, 1ull << 33);
    m->volumes().LoadDriver(kLoadedGuid);
    m->files().AddFile(kConfig, "[common]\r\nveil=D\r\n");
    SetupProcess process = StartSetupProcess(m->platform());
    ASSERT_EQ(process.ControlCodeBase, kLoadedBase);
    m->volumes().ClearRequestLog();

    InstallerSettings s;
    s.ConfigFile = kConfig;
    RunInstall(m->platform(), s, process, nullptr, 1);
    EXPECT_EQ(s.InstallFailed, 0);

    // The new GUID gives another base.
    const auto guid =
        m->registry().GetString(platform::Hive::LocalMachine, kDriverServiceKey, L"GUID");
    ASSERT_TRUE(guid.has_value() && guid->size() > 23);
    EXPECT_NE(4 * ((*guid)[20] + (*guid)[21] + (*guid)[22] + (*guid)[23]), kLoadedBase);

    std::vector<uint32_t> commands;
    for (const sim::DeviceRequest& r : m->volumes().RequestLog()) {
        if (r.command != 0) {
            commands.push_back(r.command);
            EXPECT_EQ(r.code, VariableControlCode(kLoadedBase)) << "command " << r.command;
        }
    }
    // The driver is asked about D: (command 1000), each access bracketed by 201 and 202.
    EXPECT_GE(commands.size(), 3u);
    EXPECT_TRUE(std::find(commands.begin(), commands.end(), 1000u) != commands.end());
    EXPECT_TRUE(m->files().Exists(L"D:\\cvflt0.sys"));
}

}  // namespace
