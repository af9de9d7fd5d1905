// The install log (-log:) and the quiet boxes (-suppressmsgboxes): the log's form, its lines
// for whole runs, the boxes answered unseen with their exit codes, a log that cannot be
// written changing nothing, the password never written, and texts that would break a line.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "EngineTestMachine.h"
#include "FlowTestPorts.h"
#include "Setup/checks/PrerequisiteChecks.h"
#include "Setup/flow/ExitCodes.h"
#include "Setup/flow/InstallLog.h"
#include "Setup/flow/LoggedPorts.h"
#include "Setup/flow/SetupApp.h"
#include "Setup/protect/ProtectionSettings.h"
#include "Setup/res/resource.h"
#include "UiTestMachine.h"
#include "base/Text.h"
#include "sim/Machine.h"

namespace {

constexpr wchar_t kLog[] = L"C:\\Logs\\setup.log";
constexpr wchar_t kDriverTarget[] = L"C:\\Windows\\system32\\drivers\\cvflt.sys";
// The column where a line's text starts: the time (23), two blanks, the category (8), two.
constexpr size_t kTextColumn = 35;

std::unique_ptr<sim::Machine> MakeMachine(const std::wstring& commandLine) {
    auto m = uitest::MakeMachine(win::kLangEnglishUs, std::chrono::milliseconds(5000));
    m->shell().SetCommandLine(commandLine);
    enginetest::AddProductFiles(*m);
    m->files().MakeFolders(L"C:\\Logs");
    return m;
}

uint32_t RunWhole(sim::Machine& m) {
    InstallerSettings settings;
    SetupProcess process = StartSetupProcess(m.platform());
    return RunSetup(m.platform(), settings, process);
}

bool IsDigits(const std::string& text, size_t from, size_t count) {
    for (size_t i = from; i < from + count; ++i) {
        if (i >= text.size() || text[i] < '0' || text[i] > '9') {
            return false;
        }
    }
    return true;
}

// The log's lines as "Category | text", after checking its form: the UTF-8 byte-order
// mark, whole lines ended by CR LF with no other line break, valid UTF-8, each line's time
// and its category padded to the column.
std::vector<std::wstring> ReadLog(sim::Machine& m, const std::wstring& path = kLog) {
    std::vector<std::wstring> lines;
    const std::optional<std::string> text = m.files().ReadText(path);
    if (!text) {
        ADD_FAILURE() << "no log at " << base::ToUtf8(path);
        return lines;
    }
    EXPECT_EQ(text->compare(0, 3, "\xEF\xBB\xBF"), 0) << "the log starts with the UTF-8 mark";
    size_t start = 3;
    while (start < text->size()) {
        const size_t end = text->find("\r\n", start);
        if (end == std::string::npos) {
            ADD_FAILURE() << "the log ends in the middle of a line";
            break;
        }
        const std::string line = text->substr(start, end - start);
        start = end + 2;
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << "a break inside: " << line;
        EXPECT_EQ(base::ToUtf8(base::FromUtf8(line)), line) << "not UTF-8: " << line;
        const bool timed =
            IsDigits(line, 0, 4) && line[4] == '-' && IsDigits(line, 5, 2) && line[7] == '-' &&
            IsDigits(line, 8, 2) && line[10] == ' ' && IsDigits(line, 11, 2) && line[13] == ':' &&
            IsDigits(line, 14, 2) && line[16] == ':' && IsDigits(line, 17, 2) && line[19] == '.' &&
            IsDigits(line, 20, 3) && line.compare(23, 2, "  ") == 0 && line.size() > kTextColumn &&
            line[25] != ' ' && line.compare(33, 2, "  ") == 0;
        EXPECT_TRUE(timed) << "not a timed line: " << line;
        if (line.size() <= kTextColumn) {
            continue;
        }
        std::string category = line.substr(25, 8);
        category.erase(category.find_last_not_of(' ') + 1);
        lines.push_back(base::FromUtf8(category + " | " + line.substr(kTextColumn)));
    }
    return lines;
}

// The lines that start with one of |prefixes|, in order.
// A configuration file in UTF-16LE with its mark, as the profile functions read texts
// beyond the ANSI code page.
std::vector<uint8_t> Utf16File(const std::wstring& text) {
    std::vector<uint8_t> bytes = {0xFF, 0xFE};
    const std::vector<uint8_t> body = base::ToUtf16LE(text);
    bytes.insert(bytes.end(), body.begin(), body.end());
    return bytes;
}

std::vector<std::wstring> Starting(const std::vector<std::wstring>& lines,
                                   const std::vector<std::wstring>& prefixes) {
    std::vector<std::wstring> out;
    for (const std::wstring& line : lines) {
        for (const std::wstring& prefix : prefixes) {
            if (line.compare(0, prefix.size(), prefix) == 0) {
                out.push_back(line);
                break;
            }
        }
    }
    return out;
}

bool Contains(const std::vector<std::wstring>& lines, const std::wstring& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// ---- The log's lines for whole runs ----

// A silent run with a configuration file: every change the installation makes, the
// configuration's effects, the steps with their results, the volumes and the exit code.
TEST(InstallLogTest, SilentRunWithConfigurationFile) {
    auto m =
        MakeMachine(L"Setup.exe -silent -config:C:\\Setup\\setup.ini -log:" + std::wstring(kLog));
    m->files().AddFile(L"C:\\Setup\\setup.ini",
                       "[common]\r\npath=C:\\Apps\\Corvane\r\ndesktopicon=1\r\n"
                       "startupmenushortcut=1\r\npassword=secret\r\nRAM=512\r\nveil=C,Q\r\n");
    m->files().AddFile(enginetest::kInstallDir + std::wstring(L"\\lang.ini"), "old");
    EXPECT_EQ(RunWhole(*m), kExitRestartRequired);
    EXPECT_TRUE(m->ui().MessageBoxes().empty());

    const std::vector<std::wstring> lines = ReadLog(*m);
    ASSERT_GE(lines.size(), 7u);
    // The header: what ran, how and on what.
    EXPECT_EQ(lines[0], L"Setup | Corvane Setup 1.4.0.672, install log");
    EXPECT_EQ(lines[1], L"Setup | program \"C:\\Setup\\Setup.exe\"");
    EXPECT_EQ(lines[2],
              L"Setup | command line \"Setup.exe -silent -config:C:\\Setup\\setup.ini "
              L"-log:C:\\Logs\\setup.log\"");
    EXPECT_EQ(lines[3],
              L"Setup | Windows 6.1.7601 Service Pack 1 (workstation), not under "
              L"WOW64; user interface language 1033");
    EXPECT_EQ(lines[4], L"Setup | started 2024-03-04 09:30:00 (local time)");
    EXPECT_EQ(lines[5],
              L"Setup | run: silent; message boxes shown; configuration file "
              L"\"C:\\Setup\\setup.ini\"");
    EXPECT_EQ(lines[6].compare(0, 33, L"Setup | libraries loaded by name:"), 0);

    const std::wstring uninstall =
        L"Registry | set HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
        L"{5B0E3C2A-7D41-4F8E-9A36-C1D2E4F60718} ";
    const std::wstring service =
        L"Registry | set HKLM\\SYSTEM\\CurrentControlSet\\Services\\cvflt ";
    const std::wstring menu = L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Corvane";
    const std::vector<std::wstring> expected = {
        L"Check | Windows 6.1: supported",
        L"Check | 32-bit Windows: yes",
        L"Check | Veil Mode: no volume is in Veil Mode",
        L"Check | Windows updates: KB3033929 is installed",
        L"Check | main interface: not running",
        L"Check | Warden: not running",
        L"Check | all checks passed",
        L"Setup | silent: user \"User\" and organization \"\" from the registry, start-menu folder "
        L"\"Corvane\", desktop icon on, Quick Launch icon on",
        L"Setup | folders: installation \"C:\\Program Files\\Corvane\", system "
        L"\"C:\\Windows\\system32\", source \"C:\\Setup\", start menu \"" +
            menu + L"\"",
        L"Step | 1 of 18: import the configuration file",
        L"Config | configuration file \"C:\\Setup\\setup.ini\"",
        L"Config | \"path\": installation folder \"C:\\Apps\\Corvane\"",
        L"Config | \"quicklaunchicon\" is 0 or missing: no Quick Launch icon",
        L"Config | \"password\": a password is set (not shown)",
        L"Step | 1 of 18: done",
        L"Step | 2 of 18: announce the file copies",
        L"Step | 2 of 18: done",
        L"Step | 3 of 18: create the installation folder",
        L"Folder | create \"C:\": exists already",
        L"Folder | create \"C:\\Apps\": created",
        L"Folder | create \"C:\\Apps\\Corvane\": created",
        L"Folder | create \"C:\\Apps\\Corvane\": exists already",
        L"Step | 3 of 18: done",
        L"Step | 4 of 18: copy Corvane.exe",
        L"File | copy \"C:\\Setup\\Corvane.exe\" to \"C:\\Apps\\Corvane\\Corvane.exe\": ok",
        L"Step | 4 of 18: done",
        L"Step | 5 of 18: copy Warden.exe as CorvaneWarden.exe",
        L"File | copy \"C:\\Setup\\Warden.exe\" to \"C:\\Apps\\Corvane\\CorvaneWarden.exe\": ok",
        L"Step | 5 of 18: done",
        L"Step | 6 of 18: copy Persist.exe and Console.exe",
        L"File | copy \"C:\\Setup\\Persist.exe\" to \"C:\\Apps\\Corvane\\Persist.exe\": ok",
        L"File | copy \"C:\\Setup\\Console.exe\" to \"C:\\Apps\\Corvane\\Console.exe\": ok",
        L"Step | 6 of 18: done",
        L"Step | 7 of 18: copy Keeper.exe and MenuExt.dll, also while in use",
        L"File | copy \"C:\\Setup\\Keeper.exe\" to \"C:\\Apps\\Corvane\\Keeper.exe\": ok",
        L"File | copy \"C:\\Setup\\MenuExt.dll\" to \"C:\\Apps\\Corvane\\MenuExt.dll\": ok",
        L"Step | 7 of 18: done",
        L"Step | 8 of 18: copy lang.ini anew and Console.txt",
        L"File | set the attributes of \"C:\\Apps\\Corvane\\lang.ini.new\" to 0x00000080 "
        L"(normal): not there",
        L"File | copy \"C:\\Setup\\lang.ini\" to \"C:\\Apps\\Corvane\\lang.ini.new\": ok",
        L"File | set the attributes of \"C:\\Apps\\Corvane\\lang.ini\" to 0x00000080 (normal): "
        L"not there",
        L"File | move \"C:\\Apps\\Corvane\\lang.ini.new\" to \"C:\\Apps\\Corvane\\lang.ini\" "
        L"(replacing): ok",
        L"File | copy \"C:\\Setup\\Console.txt\" to \"C:\\Apps\\Corvane\\Console.txt\": ok",
        L"Step | 8 of 18: done",
        L"Step | 9 of 18: copy Guide.chm",
        L"File | copy \"C:\\Setup\\Guide.chm\" to \"C:\\Apps\\Corvane\\Guide.chm\": ok",
        L"Step | 9 of 18: done",
        L"Step | 10 of 18: copy terms.rtf",
        L"File | copy \"C:\\Setup\\terms.rtf\" to \"C:\\Apps\\Corvane\\terms.rtf\": ok",
        L"Step | 10 of 18: done",
        L"Step | 11 of 18: copy the driver cvflt.sys into the drivers folder",
        // The driver is copied beside the earlier one, then renamed over it.
        L"File | copy \"C:\\Setup\\cvflt.sys\" to "
        L"\"C:\\Windows\\system32\\drivers\\cvflt.sys.new\": ok",
        L"File | move \"C:\\Windows\\system32\\drivers\\cvflt.sys.new\" to "
        L"\"C:\\Windows\\system32\\drivers\\cvflt.sys\" (replacing): ok",
        L"Step | 11 of 18: done",
        L"Step | 12 of 18: copy Remove.exe",
        L"File | copy \"C:\\Setup\\Remove.exe\" to \"C:\\Apps\\Corvane\\Remove.exe\": ok",
        L"Step | 12 of 18: done",
        L"Step | 13 of 18: register the driver and add it to the disk and volume filters",
        service + L"\"ImagePath\" = REG_SZ \"SYSTEM32\\drivers\\cvflt.sys\": ok",
        service + L"\"Group\" = REG_SZ \"System Bus Extender\": ok",
        service + L"\"Control\" = REG_DWORD 0x10000041 (268435521): ok",
        service + L"\"ErrorControl\" = REG_DWORD 0x00000001 (1): ok",
        service + L"\"Start\" = REG_DWORD 0x00000000 (0): ok",
        service + L"\"Type\" = REG_DWORD 0x00000001 (1): ok",
        L"Registry | set HKLM\\SYSTEM\\CurrentControlSet\\Control\\Class\\"
        L"{4D36E967-E325-11CE-BFC1-08002BE10318} \"UpperFilters\" = REG_MULTI_SZ [\"PartMgr\", "
        L"\"cvflt\"]: ok",
        L"Registry | set HKLM\\SYSTEM\\CurrentControlSet\\Control\\Class\\"
        L"{71A27CDD-812A-11D0-BEC7-08002BE2092F} \"LowerFilters\" = REG_MULTI_SZ [\"cvflt\"]: ok",
        L"Step | 13 of 18: done",
        L"Step | 14 of 18: write the product key and the Run entry",
        L"Registry | set HKLM\\SOFTWARE\\Corvane \"Path\" = REG_SZ \"C:\\Apps\\Corvane\": ok",
        L"Registry | set HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run \"Corvane "
        L"Warden\" = REG_SZ \"\"C:\\Apps\\Corvane\\CorvaneWarden.exe\" /Auto\": ok",
        L"Step | 14 of 18: done",
        L"Step | 15 of 18: write the install identity and the driver's settings, register the "
        L"companions",
        service + L"\"GUID\" = REG_SZ \"{10000001-5a17-4c0e-9d21-005056c00008}\": ok",
        service + L"\"Sync\" = REG_SZ \"C:\\Windows\\bootstat.dat\": ok",
        service +
            L"\"Sync\" = REG_SZ \"C:\\Windows\\bootstat.dat;C:\\Users\\*\\Corvane\\prefs.dat\": "
            L"ok",
        service + L"\"Control\" = REG_DWORD 0x10000041 (268435521): ok",
        L"File | set the attributes of \"C:\\Apps\\Corvane\\prefs.dat\" to 0x00000080 (normal): "
        L"not there",
        L"Profile | write [common] hash = (password hash, not shown) in "
        L"\"C:\\Apps\\Corvane\\prefs.dat\": ok",
        L"File | set the attributes of \"C:\\Windows\\cvfltfp.dat\" to 0x00000080 (normal): not "
        L"there",
        L"File | open \"C:\\Windows\\cvfltfp.dat\" for writing (create always): ok",
        // The stand-ins beside the setup program are text files, not programs.
        L"Library | load \"C:\\Apps\\Corvane\\MenuExt.dll\" (flags 0x00000900): error 193 (not a "
        L"valid program)",
        L"Process | start \"\"C:\\Apps\\Corvane\\Keeper.exe\" /install\", hidden: error 193 (not a "
        L"valid program)",
        L"Step | 15 of 18: done; 2 operations failed (see above), the installation goes on",
        L"Step | 16 of 18: create the shortcuts",
        L"Folder | create \"C:\": exists already",
        L"Folder | create \"C:\\ProgramData\": exists already",
        L"Folder | create \"C:\\ProgramData\\Microsoft\": exists already",
        L"Folder | create \"C:\\ProgramData\\Microsoft\\Windows\": exists already",
        L"Folder | create \"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\": exists already",
        L"Folder | create \"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\": exists "
        L"already",
        L"Folder | create \"" + menu + L"\": created",
        L"Link | save \"" + menu +
            L"\\Corvane.lnk\" to \"C:\\Apps\\Corvane\\Corvane.exe\", starting in "
            L"\"C:\\Apps\\Corvane\": ok",
        L"Link | save \"" + menu +
            L"\\Guide.lnk\" to \"C:\\Apps\\Corvane\\Guide.chm\", starting in "
            L"\"C:\\Apps\\Corvane\": ok",
        L"Link | save \"" + menu +
            L"\\Remove Corvane.lnk\" to \"C:\\Apps\\Corvane\\Remove.exe\", starting in "
            L"\"C:\\Apps\\Corvane\": ok",
        L"File | delete \"C:\\Users\\User\\Desktop\\Corvane.lnk\": not there",
        L"Link | save \"C:\\Users\\Public\\Desktop\\Corvane.lnk\" to "
        L"\"C:\\Apps\\Corvane\\Corvane.exe\", starting in \"C:\\Apps\\Corvane\": ok",
        L"Step | 16 of 18: done",
        L"Step | 17 of 18: write the uninstall entry",
        uninstall + L"\"DisplayName\" = REG_SZ \"Corvane\": ok",
        uninstall + L"\"DisplayVersion\" = REG_SZ \"1.4.0.672\": ok",
        uninstall + L"\"Publisher\" = REG_SZ \"Corvane Software\": ok",
        uninstall + L"\"RegisteredOwner\" = REG_SZ \"User\": ok",
        uninstall + L"\"RegisteredOrganization\" = REG_SZ \"\": ok",
        uninstall + L"\"URLInfoAbout\" = REG_SZ \"https://www.example.com/corvane/\": ok",
        uninstall + L"\"UninstallString\" = REG_SZ \"\"C:\\Apps\\Corvane\\Remove.exe\"\": ok",
        uninstall + L"\"StartMenuFolder\" = REG_SZ \"Corvane\": ok",
        uninstall + L"\"NoModify\" = REG_DWORD 0x00000001 (1): ok",
        uninstall + L"\"NoRepair\" = REG_DWORD 0x00000001 (1): ok",
        L"Step | 17 of 18: done",
        L"Step | 18 of 18: copy the configuration file's settings into prefs.dat, prepare its "
        L"volumes",
        L"File | set the attributes of \"C:\\Apps\\Corvane\\prefs.dat\" to 0x00000080 (normal): ok",
        L"Profile | write [common] RAM = \"512\" in \"C:\\Apps\\Corvane\\prefs.dat\": ok",
        L"Volume | \"veil\" is \"C,Q\": volumes to prepare C:",
        L"File | set the attributes of \"\\\\.\\C:\\cvflt0.sys\" to 0x00000080 (normal): not there",
        L"File | open \"\\\\.\\C:\\cvflt0.sys\" for writing (open always): ok",
        L"File | set the attributes of \"\\\\.\\C:\\cvflt0.sys\" to 0x00000006 (hidden, system): "
        L"ok",
        L"Volume | prepare C: (volume marker, flag 1): ok",
        L"Step | 18 of 18: done",
        L"Exit | exit code 3010: installed; a restart is required",
    };
    enginetest::ExpectSameLines(std::vector<std::wstring>(lines.begin() + 7, lines.end()),
                                expected);
}

// The wizard: each page with its result and what it handed on, a confirmation box that is
// shown and answered, the worker's steps between the Installing page's start and end, the
// restart chosen on the Finish page and asked of Windows, and the exit code.
TEST(InstallLogTest, WizardRun) {
    auto m = MakeMachine(L"Setup.exe /LOG:\"" + std::wstring(kLog) + L"\"");
    m->ui().SetAppThemed(true);
    auto& user = m->ui().User();
    user.OnPage(IDD_WELCOME, [](sim::PageDriver& p) { p.Click(IDC_NEXT); });
    user.OnPage(IDD_LICENSE, [](sim::PageDriver& p) {
        p.Click(IDC_ACCEPT);
        p.Click(IDC_BACK);
    });
    user.OnPage(IDD_WELCOME, [](sim::PageDriver& p) { p.Click(IDC_NEXT); });
    user.OnPage(IDD_LICENSE, [](sim::PageDriver& p) { p.Click(IDC_NEXT); });
    user.OnPage(IDD_USERINFO, [](sim::PageDriver& p) {
        p.Type(IDC_USERNAME, L"Ann Example");
        p.Type(IDC_ORGANIZATION, L"Example Ltd");
        // Cancel, then No to the question: the page stays.
        p.Click(win::kIdCancel);
        p.Click(IDC_NEXT);
    });
    user.AnswerMessageBox(win::kIdCancel);
    user.OnPage(IDD_STARTMENUFOLDER, [](sim::PageDriver& p) { p.Click(IDC_NEXT); });
    user.OnPage(IDD_ADDITIONALTASK, [](sim::PageDriver& p) {
        p.Click(IDC_QUICKLAUNCH);
        p.Click(IDC_NEXT);
    });
    user.OnPage(IDD_READY, [](sim::PageDriver& p) { p.Click(IDC_NEXT); });
    user.OnPage(IDD_FINISH, [](sim::PageDriver& p) {
        p.Click(IDC_RESTART_YES);
        p.Click(IDC_NEXT);
    });
    EXPECT_EQ(RunWhole(*m), kExitRestartStarted);
    uitest::ExpectNoUiErrors(*m);

    const std::vector<std::wstring> lines = ReadLog(*m);
    const std::wstring exitQuestion = LogQuote(m->ui().LoadString(IDS_EXIT_SETUP));
    const std::vector<std::wstring> expected = {
        L"Setup | run: wizard; message boxes shown; no configuration file",
        L"Check | all checks passed",
        L"Page | Welcome: Next",
        L"Page | License Agreement: Back; accepted",
        L"Page | Welcome: Next",
        L"Page | License Agreement: Next; accepted",
        L"Box | " + exitQuestion +
            L" (caption \"Setup\"; OK, Cancel, question icon): shown, waiting for an answer",
        L"Box | answered Cancel",
        L"Page | User Information: Next; user \"Ann Example\", organization \"Example Ltd\"",
        L"Page | Start Menu Folder: Next; folder \"Corvane\"",
        L"Page | Select Additional Tasks: Next; desktop icon on, Quick Launch icon off",
        L"Page | Ready to Install: Next",
        L"Setup | folders: installation \"C:\\Program Files\\Corvane\", system "
        L"\"C:\\Windows\\system32\", source \"C:\\Setup\", start menu "
        L"\"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Corvane\"",
        L"Step | 1 of 18: import the configuration file",
        L"Config | no configuration file",
        L"Step | 1 of 18: done",
        L"Step | 18 of 18: done",
        L"Page | Installing: done",
        L"Page | Completing: Next; restart now",
        L"Restart | enable the privilege SeShutdownPrivilege: ok",
        L"Restart | ask Windows to restart the computer (flags 0x00000006, reason 0x00030000)",
        L"Restart | the restart request: ok",
        L"Exit | exit code 1641: installed; the restart of the computer has been started",
    };
    enginetest::ExpectSameLines(
        Starting(lines, {L"Setup | run", L"Check | all", L"Page", L"Box", L"Setup | folders",
                         L"Step | 1 of", L"Step | 18 of 18: done", L"Config", L"Restart", L"Exit"}),
        expected);
    // The worker's steps come between the Ready page and the end of the Installing page.
    const auto ready = std::find(lines.begin(), lines.end(), L"Page | Ready to Install: Next");
    const auto done = std::find(lines.begin(), lines.end(), L"Page | Installing: done");
    EXPECT_EQ(std::count_if(ready, done,
                            [](const std::wstring& l) { return l.compare(0, 7, L"Step | ") == 0; }),
              36);
    // The Finish page asks for the look of its buttons on every repaint; the question changes
    // nothing and leaves no line.
    EXPECT_EQ(
        std::count_if(done, lines.end(),
                      [](const std::wstring& l) { return l.compare(0, 10, L"Library | ") == 0; }),
        0);
}

// A configuration file that cannot be found is named as such, where the profile functions
// look for it: a bare name in the Windows folder, a relative path with a folder in the
// current folder, a full path as it is.
TEST(InstallLogTest, AConfigurationFileThatCannotBeFound) {
    struct Case {
        const wchar_t* option;
        bool missingLine;
    };
    const Case cases[] = {
        {L"-config:C:\\Setup\\setup.ini", false},
        {L"-config:C:\\Setup\\none.ini", true},
        {L"\"-config:\\\\server\\share\\corvane.ini\"", true},
        {L"-config:corvane.ini", false},  // C:\Windows\corvane.ini
        {L"-config:other.ini", true},
        {L"-config:sub\\other.ini", true},
        {L"-config:sub\\present.ini", false},  // in the current folder's "sub"
    };
    for (const Case& c : cases) {
        auto m = MakeMachine(L"Setup.exe -silent -log:" + std::wstring(kLog) + L" " + c.option);
        m->files().AddFile(m->files().CurrentDirectory() + L"\\sub\\present.ini", "[common]\r\n");
        m->files().AddFile(L"C:\\Setup\\setup.ini", "[common]\r\n");
        m->files().AddFile(L"C:\\Windows\\corvane.ini", "[common]\r\n");
        EXPECT_EQ(RunWhole(*m), kExitRestartRequired);
        const std::vector<std::wstring> lines = Starting(ReadLog(*m), {L"Config | the file"});
        EXPECT_EQ(lines.size(), c.missingLine ? 1u : 0u) << base::ToUtf8(c.option);
        if (c.missingLine && lines.size() == 1) {
            const std::wstring line = L"Config | the file cannot be found, error ";
            EXPECT_EQ(lines[0].compare(0, line.size(), line), 0) << base::ToUtf8(lines[0]);
        }
    }
}

// A file the installation opened for writing that then cannot be written (a full disk)
// gets its line with the error, so that a record left short shows; the installation goes
// on as before.
TEST(InstallLogTest, AWriteThatFailsIsLogged) {
    auto m = MakeMachine(L"Setup.exe -silent -log:" + std::wstring(kLog));
    m->files().FailPath(L"C:\\Windows\\cvfltfp.dat", sim::FileOp::WriteFile, win::kErrorDiskFull);
    EXPECT_EQ(RunWhole(*m), kExitRestartRequired);
    const std::vector<std::wstring> lines =
        Starting(ReadLog(*m), {L"File | write", L"Step | 15 of 18: done"});
    ASSERT_EQ(lines.size(), 2u);
    // The whole fingerprint record, in one write.
    EXPECT_EQ(
        lines[0],
        L"File | write 2304 bytes to \"C:\\Windows\\cvfltfp.dat\": error 112 (the disk is full)");
    EXPECT_EQ(lines[1].find(L"Step | 15 of 18: done; 3 operations failed"), 0u)
        << base::ToUtf8(lines[1]);
}

// An installation that cannot be started says so, and ends as a failed one.
TEST(InstallLogTest, AnInstallationThatCannotStart) {
    auto m = MakeMachine(L"Setup.exe -log:" + std::wstring(kLog));
    auto& user = m->ui().User();
    user.OnPage(IDD_WELCOME, [](sim::PageDriver& p) { p.Click(IDC_NEXT); });
    user.OnPage(IDD_LICENSE, [](sim::PageDriver& p) {
        p.Click(IDC_ACCEPT);
        p.Click(IDC_NEXT);
    });
    for (int page : {IDD_USERINFO, IDD_STARTMENUFOLDER, IDD_ADDITIONALTASK}) {
        user.OnPage(page, [](sim::PageDriver& p) { p.Click(IDC_NEXT); });
    }
    user.OnPage(IDD_READY, [&m](sim::PageDriver& p) {
        m->system().FailNextThreadStart(win::kErrorNotEnoughMemory);
        p.Click(IDC_NEXT);
    });
    EXPECT_EQ(RunWhole(*m), kExitFailed);
    const std::vector<std::wstring> lines = ReadLog(*m);
    const std::vector<std::wstring> expected = {
        L"Page | Ready to Install: Next",
        L"Setup | the installation could not be started, error 8 (not enough memory); nothing "
        L"was installed",
        L"Page | Installing: the installation failed",
        L"Exit | exit code 1603: the installation failed",
    };
    enginetest::ExpectSameLines(std::vector<std::wstring>(lines.end() - 4, lines.end()), expected);
}

// ---- The boxes and the exit codes ----

enum class Setting { None, Windows2000, Wow64, Veiled, Vista, Windows7Bare, MainUi, NoDriver };

void Arrange(sim::Machine& m, Setting setting) {
    switch (setting) {
        case Setting::None:
            break;
        case Setting::Windows2000:
            m.system().SetVersion(5, 0, 2195, 4);
            break;
        case Setting::Wow64:
            m.system().SetWow64(platform::Wow64Probe::Yes);
            break;
        case Setting::Veiled:
            m.volumes().LoadDriver(L"{01234567-89ab-cdef-abcd-0123456789ab}");
            m.volumes().SetVolumeState(L'C', 2, 1);
            break;
        case Setting::Vista:
            m.system().SetVersion(6, 0, 6002, 2);
            m.wmi().ClearHotfixes();
            break;
        case Setting::Windows7Bare:
            m.wmi().ClearHotfixes();
            break;
        case Setting::MainUi:
            m.processes().AddForeignMutex(kMainInterfaceMutex);
            break;
        case Setting::NoDriver:
            m.files().FailPath(std::wstring(kDriverTarget) + L".new", sim::FileOp::CopyFile,
                               win::kErrorAccessDenied);
            break;
    }
}

// Every outcome's exit code, with -suppressmsgboxes (no box shown, each answered with its
// default button: OK, and Yes for the update questions) and without it (the box shown and
// answered by the user). The log records each box either way.
TEST(InstallLogTest, BoxesAndExitCodes) {
    struct Case {
        Setting setting;
        bool suppress;
        int userAnswer;  // for a shown box; 0: none is shown
        uint32_t exitCode;
        int boxId;  // the string of the one box; 0: none
        const wchar_t* answer;
    };
    const Case cases[] = {
        {Setting::None, true, 0, kExitRestartRequired, 0, nullptr},
        {Setting::Windows2000, true, 0, kExitUnsupportedWindows, IDS_OS_NOT_SUPPORTED, L"OK"},
        {Setting::Windows2000, false, win::kIdOk, kExitUnsupportedWindows, IDS_OS_NOT_SUPPORTED,
         L"OK"},
        {Setting::Wow64, true, 0, kExitUnsupportedWindows, IDS_OS_NOT_SUPPORTED, L"OK"},
        {Setting::Veiled, true, 0, kExitVeilMode, IDS_VEIL_MODE, L"OK"},
        {Setting::MainUi, true, 0, kExitMainInterfaceRunning, IDS_CLOSE_MAIN_UI, L"OK"},
        // The update questions: Yes is their default, so a quiet run installs.
        {Setting::Vista, true, 0, kExitRestartRequired, IDS_HOTFIX_KB2763674, L"Yes"},
        {Setting::Windows7Bare, true, 0, kExitRestartRequired, IDS_HOTFIX_KB3185278, L"Yes"},
        {Setting::Windows7Bare, false, win::kIdNo, kExitCancelled, IDS_HOTFIX_KB3185278, L"No"},
        {Setting::Windows7Bare, false, win::kIdYes, kExitRestartRequired, IDS_HOTFIX_KB3185278,
         L"Yes"},
        // A failed driver copy: box 141, the installation stops.
        {Setting::NoDriver, true, 0, kExitFailed, IDS_COPY_FILE_FAILED, L"OK"},
        {Setting::NoDriver, false, win::kIdOk, kExitFailed, IDS_COPY_FILE_FAILED, L"OK"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "setting " << static_cast<int>(c.setting) << " suppress " << c.suppress);
        auto m = MakeMachine(std::wstring(L"Setup.exe -silent ") +
                             (c.suppress ? L"-suppressmsgboxes " : L"") + L"-log:" + kLog);
        Arrange(*m, c.setting);
        if (c.userAnswer != 0) {
            m->ui().User().AnswerMessageBox(c.userAnswer);
        }
        EXPECT_EQ(RunWhole(*m), c.exitCode);
        uitest::ExpectNoUiErrors(*m);
        const auto shown = m->ui().MessageBoxes();
        const std::vector<std::wstring> boxes = Starting(ReadLog(*m), {L"Box"});
        if (c.boxId == 0) {
            EXPECT_TRUE(shown.empty());
            EXPECT_TRUE(boxes.empty());
        } else {
            EXPECT_EQ(shown.size(), c.suppress ? 0u : 1u);
            const std::wstring text = LogQuote(m->ui().LoadString(c.boxId));
            ASSERT_EQ(boxes.size(), c.suppress ? 1u : 2u);
            EXPECT_EQ(boxes[0].compare(0, 6 + text.size(), L"Box | " + text), 0) << boxes[0];
            if (c.suppress) {
                EXPECT_NE(boxes[0].find(L": not shown (-suppressmsgboxes), answered " +
                                        std::wstring(c.answer)),
                          std::wstring::npos)
                    << boxes[0];
            } else {
                EXPECT_NE(boxes[0].find(L": shown, waiting for an answer"), std::wstring::npos);
                EXPECT_EQ(boxes[1], L"Box | answered " + std::wstring(c.answer));
            }
        }
        const std::vector<std::wstring> exits = Starting(ReadLog(*m), {L"Exit"});
        ASSERT_EQ(exits.size(), 1u);
        EXPECT_EQ(exits[0], base::Format(L"Exit | exit code %u: %ls", c.exitCode,
                                         ExitCodeMeaning(c.exitCode)));
    }
}

// An update question whose box cannot be shown was answered by nobody: the run fails (1603)
// instead of ending as cancelled by the user, and the log says why.
TEST(InstallLogTest, AnUpdateQuestionThatCannotBeShownFails) {
    auto m = MakeMachine(std::wstring(L"Setup.exe -silent -log:") + kLog);
    Arrange(*m, Setting::Windows7Bare);
    m->ui().User().AnswerMessageBox(0);
    EXPECT_EQ(RunWhole(*m), kExitFailed);
    const std::vector<std::wstring> lines = ReadLog(*m);
    const std::vector<std::wstring> boxes = Starting(lines, {L"Box"});
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1], L"Box | the box could not be shown: error 8 (not enough memory)");
    EXPECT_TRUE(Contains(lines,
                         L"Check | Windows updates: the question could not be shown, "
                         L"error 8 (not enough memory); setup ends"));
    EXPECT_EQ(lines.back(), L"Exit | exit code 1603: the installation failed");
    EXPECT_TRUE(Starting(lines, {L"Step"}).empty());
}

// A card reader without a card (and an empty CD drive, which the checks pass over): the
// checks ask the drives from C: to Z: for their file system, which for a removable drive
// without media raises the system's own "No Disk" box on Windows unless the
// process's error mode fails critical errors. No option answers that box, so the mode is set
// first of all, and an unattended run over such drives ends as usual without one. A mode
// the program was started with is kept besides.
TEST(InstallLogTest, DrivesWithoutMediaRaiseNoSystemBox) {
    const auto addEmptyDrives = [](sim::Machine& m) {
        for (const auto& [letter, type] :
             {std::pair{L'E', win::kDriveRemovable}, std::pair{L'F', win::kDriveCdrom}}) {
            sim::VolumeConfig drive;
            drive.driveType = type;
            drive.mediaPresent = false;
            m.volumes().AddVolume(letter, drive);
        }
    };
    {
        SCOPED_TRACE("the checks alone, with the system's default mode");
        auto m = MakeMachine(L"Setup.exe -silent -suppressmsgboxes");
        addEmptyDrives(*m);
        EXPECT_FALSE(IsAnyVolumeVeiled(m->platform(), 0, nullptr));
        EXPECT_EQ(m->volumes().CriticalErrorBoxes(), (std::vector<std::wstring>{L"E:\\"}));
    }
    for (const uint32_t inherited : {0u, win::kSemNoGpFaultErrorBox}) {
        SCOPED_TRACE(testing::Message() << "a whole silent run, started with mode " << inherited);
        auto m = MakeMachine(std::wstring(L"Setup.exe -silent -suppressmsgboxes -log:") + kLog);
        addEmptyDrives(*m);
        m->system().SetErrorMode(inherited);
        EXPECT_EQ(RunWhole(*m), kExitRestartRequired);
        EXPECT_TRUE(m->volumes().CriticalErrorBoxes().empty());
        EXPECT_EQ(m->system().ErrorMode(),
                  inherited | win::kSemFailCriticalErrors | win::kSemNoOpenFileErrorBox);
        EXPECT_TRUE(Contains(ReadLog(*m), L"Check | Veil Mode: no volume is in Veil Mode"));
    }
}

// Quiet boxes need no log, and they answer the wizard's boxes too: Cancel on the Welcome page
// is confirmed at once (OK is the question's default).
TEST(InstallLogTest, QuietBoxesWithoutALogAndInTheWizard) {
    auto m = MakeMachine(L"Setup.exe -suppressmsgboxes");
    m->ui().User().OnPage(IDD_WELCOME, [](sim::PageDriver& p) { p.Click(win::kIdCancel); });
    EXPECT_EQ(RunWhole(*m), kExitCancelled);
    uitest::ExpectNoUiErrors(*m);
    EXPECT_TRUE(m->ui().MessageBoxes().empty());
    EXPECT_FALSE(m->files().Exists(kLog));

    auto quiet = MakeMachine(L"Setup.exe -silent -suppressmsgboxes");
    Arrange(*quiet, Setting::NoDriver);
    EXPECT_EQ(RunWhole(*quiet), kExitFailed);
    EXPECT_TRUE(quiet->ui().MessageBoxes().empty());
}

TEST(InstallLogTest, DefaultButtons) {
    struct Case {
        uint32_t flags;
        int answer;
    };
    const Case cases[] = {
        {win::kMbOk, win::kIdOk},
        {win::kMbOk | win::kMbIconInformation, win::kIdOk},
        {win::kMbOkCancel | win::kMbIconQuestion, win::kIdOk},
        {win::kMbOkCancel | win::kMbDefButton2, win::kIdCancel},
        {win::kMbYesNo | win::kMbIconQuestion, win::kIdYes},
        {win::kMbYesNo | win::kMbDefButton2, win::kIdNo},
        {win::kMbYesNoCancel | win::kMbDefButton3, win::kIdCancel},
        {win::kMbAbortRetryIgnore | win::kMbDefButton2, win::kIdRetry},
        {win::kMbRetryCancel, win::kIdRetry},
        {win::kMbCancelTryContinue | win::kMbDefButton3, win::kIdContinue},
        // A default beyond the box's buttons, or its Help button, answers with the first.
        {win::kMbYesNo | win::kMbDefButton3, win::kIdYes},
        {win::kMbOk | win::kMbHelp | win::kMbDefButton2, win::kIdOk},
        {win::kMbYesNo | win::kMbDefButton4, win::kIdYes},
        {0x0000000F, win::kIdOk},  // no such type
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DefaultMessageBoxAnswer(c.flags), c.answer) << std::hex << c.flags;
    }
}

// ---- A log that cannot be written ----

// A hang shows where it waits: the box a run waits on, with the step that showed it, is in
// the file before the box is answered.
class LogReadingUi : public flowtest::ForwardingUi {
public:
    LogReadingUi(platform::Ui& inner, sim::Machine& m) : ForwardingUi(inner), m_(m) {}
    int MessageBox(platform::WindowHandle owner, const std::wstring& text,
                   const std::wstring& caption, uint32_t flags) override {
        seen = m_.files().ReadText(kLog).value_or("");
        return ForwardingUi::MessageBox(owner, text, caption, flags);
    }
    std::string seen;

private:
    sim::Machine& m_;
};

TEST(InstallLogTest, TheLogHoldsTheBoxARunWaitsFor) {
    auto m = MakeMachine(L"Setup.exe -silent -log:" + std::wstring(kLog));
    Arrange(*m, Setting::NoDriver);
    LogReadingUi ui(m->ui(), *m);
    platform::Platform ports{m->registry(), m->files(),     m->volumes(), m->shell(),
                             m->system(),   m->processes(), m->wmi(),     ui};
    m->ui().User().AnswerMessageBox(win::kIdOk);
    InstallerSettings settings;
    SetupProcess process;
    EXPECT_EQ(RunSetup(ports, settings, process), kExitFailed);
    const std::string waiting =
        base::ToUtf8(L"Box       " + LogQuote(m->ui().LoadString(IDS_COPY_FILE_FAILED)) +
                     L" (caption \"Setup\"; OK): shown, waiting for an answer\r\n");
    ASSERT_GE(ui.seen.size(), waiting.size());
    EXPECT_EQ(ui.seen.compare(ui.seen.size() - waiting.size(), waiting.size(), waiting), 0)
        << ui.seen;
    EXPECT_NE(ui.seen.find("Step      11 of 18: copy the driver"), std::string::npos);
    EXPECT_TRUE(m->files().LastOpenWriteThrough(kLog));
}

// A log that cannot be made, or stops being written, leaves the run exactly as it is without
// -log: the same exit code, the same boxes, the same machine afterwards. A link or a file
// with a second name at the log's path is never written through.
TEST(InstallLogTest, ALogThatCannotBeWrittenChangesNothing) {
    enum class Trouble {
        None,
        NoFolder,
        AFolder,
        Locked,
        SymbolicLink,
        HardLink,
        WritesFail,
        DiskFull,
        NotALog,
        EarlierLog
    };
    struct Case {
        Trouble trouble;
        const wchar_t* logPath;
        bool driverFails;
        bool logExpected;  // a log is there afterwards
    };
    const Case cases[] = {
        {Trouble::None, L"C:\\Logs\\setup.log", false, true},
        {Trouble::None, L"C:\\Logs\\setup.log", true, true},
        {Trouble::NoFolder, L"C:\\No\\Such\\Folder\\setup.log", false, false},
        {Trouble::NoFolder, L"Q:\\setup.log", true, false},
        {Trouble::AFolder, L"C:\\Logs", false, false},
        {Trouble::Locked, L"C:\\Logs\\setup.log", true, false},
        {Trouble::SymbolicLink, L"C:\\Logs\\setup.log", false, false},
        {Trouble::HardLink, L"C:\\Logs\\setup.log", false, false},
        // Made, but not even its mark can be written: it stays empty.
        {Trouble::WritesFail, L"C:\\Logs\\setup.log", false, true},
        {Trouble::DiskFull, L"C:\\Logs\\setup.log", true, true},
        // -log: naming the configuration file by mistake: it is read, not destroyed.
        {Trouble::NotALog, L"C:\\Setup\\setup.ini", false, false},
        {Trouble::EarlierLog, L"C:\\Logs\\setup.log", false, true},
    };
    const std::wstring config = L" -config:C:\\Setup\\setup.ini";
    const std::string configText = "[common]\r\ndesktopicon=1\r\npassword=pw\r\nveil=C\r\n";
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "trouble " << static_cast<int>(c.trouble) << " driver " << c.driverFails);
        auto plain = MakeMachine(L"Setup.exe -silent" + config);
        auto logged = MakeMachine(L"Setup.exe -silent" + config + L" \"-log:" + c.logPath + L"\"");
        for (sim::Machine* m : {plain.get(), logged.get()}) {
            m->files().AddFile(L"C:\\Setup\\setup.ini", configText);
            m->files().AddFile(L"C:\\Windows\\win.ini", "[fonts]\r\n");
            if (c.driverFails) {
                Arrange(*m, Setting::NoDriver);
                m->ui().User().AnswerMessageBox(win::kIdOk);
            }
        }
        switch (c.trouble) {
            case Trouble::None:
            case Trouble::NoFolder:
            case Trouble::AFolder:
                break;
            case Trouble::Locked:
                logged->files().AddFile(c.logPath, "someone else's");
                logged->files().SetLocked(c.logPath);
                break;
            case Trouble::SymbolicLink:
                ASSERT_TRUE(
                    logged->files().CreateSymbolicLink(c.logPath, L"C:\\Windows\\win.ini", false));
                break;
            case Trouble::HardLink:
                ASSERT_TRUE(logged->files().CreateHardLink(c.logPath, L"C:\\Windows\\win.ini"));
                break;
            case Trouble::NotALog:
                break;
            case Trouble::EarlierLog:
                logged->files().AddFile(c.logPath, "\xEF\xBB\xBF");
                break;
            case Trouble::WritesFail:
                logged->files().FailPath(c.logPath, sim::FileOp::WriteFile, win::kErrorDiskFull);
                break;
            case Trouble::DiskFull:
                // The mark and ten lines, then the disk is full.
                logged->files().FailAfter(sim::FileOp::WriteFile, 11, win::kErrorDiskFull, 100000);
                break;
        }
        const enginetest::State plainBefore = enginetest::Snapshot(*plain);
        const enginetest::State loggedBefore = enginetest::Snapshot(*logged);
        const uint32_t plainExit = RunWhole(*plain);
        const uint32_t loggedExit = RunWhole(*logged);
        EXPECT_EQ(loggedExit, plainExit);

        std::vector<std::wstring> loggedChanges =
            enginetest::Changes(loggedBefore, enginetest::Snapshot(*logged));
        const std::wstring logFile = L"file " + std::wstring(c.logPath) + L" = ";
        const auto isLog = [&](const std::wstring& line) {
            return line.compare(0, logFile.size(), logFile) == 0;
        };
        EXPECT_EQ(std::count_if(loggedChanges.begin(), loggedChanges.end(), isLog),
                  c.logExpected ? 1 : 0);
        loggedChanges.erase(std::remove_if(loggedChanges.begin(), loggedChanges.end(), isLog),
                            loggedChanges.end());
        enginetest::ExpectSameLines(loggedChanges,
                                    enginetest::Changes(plainBefore, enginetest::Snapshot(*plain)));

        const auto plainBoxes = plain->ui().MessageBoxes();
        const auto loggedBoxes = logged->ui().MessageBoxes();
        ASSERT_EQ(loggedBoxes.size(), plainBoxes.size());
        for (size_t i = 0; i < plainBoxes.size(); ++i) {
            EXPECT_EQ(loggedBoxes[i].text, plainBoxes[i].text);
            EXPECT_EQ(loggedBoxes[i].answer, plainBoxes[i].answer);
        }
        EXPECT_EQ(logged->system().Sleeps().size(), plain->system().Sleeps().size());
        // The file the link names is untouched.
        EXPECT_EQ(logged->files().ReadText(L"C:\\Windows\\win.ini").value_or(""), "[fonts]\r\n");
        if (c.trouble == Trouble::DiskFull) {
            // What was written before the disk filled up is whole lines.
            const std::string text = logged->files().ReadText(c.logPath).value_or("");
            EXPECT_GT(text.size(), 3u);
            EXPECT_EQ(text.compare(text.size() - 2, 2, "\r\n"), 0);
        }
    }
}

// A -log: that names a file the installation writes later - the driver's target, prefs.dat,
// one of the product's files, the installation folder itself, under another spelling too -
// gives way when the installation comes to it: the log ends, the file it made is gone, and
// the run and the machine are exactly those of a run without -log. Held open, the log would
// make the driver's copy fail (1603) or keep the password hash out of prefs.dat.
TEST(InstallLogTest, ALogNamingAFileTheInstallationWritesGivesWay) {
    const wchar_t* const paths[] = {
        kDriverTarget,
        L"C:\\Program Files\\Corvane\\prefs.dat",
        L"c:\\program files\\corvane\\PREFS.DAT",
        L"C:\\Program Files\\Corvane\\Corvane.exe",
        L"C:\\Program Files\\Corvane\\lang.ini",
        L"C:\\Program Files\\Corvane",
    };
    const std::wstring config = L" -config:C:\\Setup\\setup.ini";
    const std::string configText = "[common]\r\npassword=pw\r\nautostart=1\r\n";
    for (const wchar_t* path : paths) {
        SCOPED_TRACE(base::ToUtf8(path));
        auto plain = MakeMachine(L"Setup.exe -silent" + config);
        auto logged = MakeMachine(L"Setup.exe -silent" + config + L" \"-log:" + path + L"\"");
        for (sim::Machine* m : {plain.get(), logged.get()}) {
            m->files().AddFile(L"C:\\Setup\\setup.ini", configText);
            // The folder is there already (as after an earlier installation that was
            // removed), so that the log can be made inside it.
            if (std::wstring(path) != L"C:\\Program Files\\Corvane") {
                m->files().MakeFolders(L"C:\\Program Files\\Corvane");
            }
        }
        const enginetest::State plainBefore = enginetest::Snapshot(*plain);
        const enginetest::State loggedBefore = enginetest::Snapshot(*logged);
        EXPECT_EQ(RunWhole(*plain), kExitRestartRequired);
        EXPECT_EQ(RunWhole(*logged), kExitRestartRequired);
        enginetest::ExpectSameLines(
            enginetest::Changes(loggedBefore, enginetest::Snapshot(*logged)),
            enginetest::Changes(plainBefore, enginetest::Snapshot(*plain)));
        EXPECT_TRUE(logged->ui().MessageBoxes().empty());
    }
}

// Writing a line keeps the thread's last-error value, whether the write works or fails.
TEST(InstallLogTest, WritingKeepsTheLastError) {
    sim::Machine m;
    CInstallLog log(m.system(), m.files());
    ASSERT_TRUE(log.Open(L"C:\\a.log"));
    log.Write(L"Setup", L"Corvane Setup 1.4.0.672, install log");
    for (bool fail : {false, true}) {
        if (fail) {
            m.files().FailNext(sim::FileOp::WriteFile, win::kErrorDiskFull);
        }
        m.system().SetLastError(0xDEADBEEF);
        log.Write(L"Step", L"text");
        EXPECT_EQ(m.system().GetLastError(), 0xDEADBEEFu) << "fail " << fail;
    }
    log.Close();
    // Opened again over the old one: it starts anew, and so does one with nothing but its
    // mark.
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(log.Open(L"C:\\a.log"));
        log.Close();
        EXPECT_EQ(m.files().ReadText(L"C:\\a.log").value_or(""), "\xEF\xBB\xBF");
    }
}

// Only an earlier install log is overwritten: a mistyped -log: that names another file
// (the configuration file, a product file, a log of some other program) leaves it alone.
TEST(InstallLogTest, OnlyAnEarlierLogIsOverwritten) {
    const std::string earlier =
        "\xEF\xBB\xBF"
        "2024-01-01 10:00:00.000  Setup     Corvane Setup 1.4.0.672, install log\r\n"
        "2024-01-01 10:00:00.000  Exit      exit code 1602: cancelled by the user\r\n";
    struct Case {
        std::string content;
        bool overwritten;
    };
    const Case cases[] = {
        {earlier, true},
        {"", true},
        {"\xEF\xBB\xBF", true},
        {"[common]\r\npath=C:\\Corvane\r\n", false},
        {"MZ\x90\x00\x03", false},
        {"2024-01-01 10:00:00.000  Setup     Corvane Setup 1.4.0.672, install log\r\n", false},
        {"\xEF\xBB\xBF"
         "2024-01-01 10:00:00.000  Setup     Other Setup 2.0, install log\r\n",
         false},
        {"\xEF\xBB\xBF"
         "some text\r\nmentioning  Setup     Corvane Setup \r\n",
         false},
    };
    for (const Case& c : cases) {
        sim::Machine m;
        m.files().AddFile(L"C:\\a.log", c.content);
        CInstallLog log(m.system(), m.files());
        EXPECT_EQ(log.Open(L"C:\\a.log"), c.overwritten) << c.content;
        log.Close();
        EXPECT_EQ(m.files().ReadText(L"C:\\a.log").value_or(""),
                  c.overwritten ? std::string("\xEF\xBB\xBF") : c.content);
    }
}

// ---- The password ----

// The password reaches the log in no form: not the configuration's text, not a copied key
// that holds it, not the hash that prefs.dat keeps of it.
TEST(InstallLogTest, ThePasswordIsNeverWritten) {
    const std::wstring password = L"Tr0ub4dor&3 \x5BC6\x7801";
    auto m =
        MakeMachine(L"Setup.exe -silent -config:C:\\Setup\\setup.ini -log:" + std::wstring(kLog));
    m->files().AddFile(L"C:\\Setup\\setup.ini",
                       Utf16File(L"[common]\r\npassword=" + password + L"\r\ntip=remember " +
                                 password + L"\r\nRAM=256\r\n"));
    EXPECT_EQ(RunWhole(*m), kExitRestartRequired);

    std::wstring hash;
    m->files().GetPrivateProfileString(L"common", kHashKey, L"", &hash, 64,
                                       enginetest::kInstallDir + std::wstring(L"\\prefs.dat"));
    ASSERT_EQ(hash.size(), 32u);
    const std::string text = m->files().ReadText(kLog).value_or("");
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.find(base::ToUtf8(password)), std::string::npos);
    EXPECT_EQ(text.find("Tr0ub4dor"), std::string::npos);
    EXPECT_EQ(text.find(base::ToUtf8(hash)), std::string::npos);
    const std::vector<std::wstring> lines = ReadLog(*m);
    EXPECT_TRUE(Contains(lines, L"Config | \"password\": a password is set (not shown)"));
    EXPECT_TRUE(Contains(lines,
                         L"Profile | write [common] tip = (hidden) in \"C:\\Program "
                         L"Files\\Corvane\\prefs.dat\": ok"));
    EXPECT_TRUE(Contains(lines,
                         L"Profile | write [common] RAM = \"256\" in \"C:\\Program "
                         L"Files\\Corvane\\prefs.dat\": ok"));
}

// ---- Texts that would break a line ----

// Long paths and names with every kind of character stay on one line, whole, with the
// characters that would break or mislead the line named.
TEST(InstallLogTest, LongPathsAndOddCharacters) {
    std::wstring deep = L"C:\\Apps";
    while (deep.size() < 400) {
        deep += L"\\\x6587\x4EF6\x5939 \U0001F5C2 folder";
    }
    auto m =
        MakeMachine(L"Setup.exe -silent -config:C:\\Setup\\setup.ini -log:" + std::wstring(kLog));
    m->files().AddFile(L"C:\\Setup\\setup.ini", Utf16File(L"[common]\r\npath=" + deep + L"\r\n"));
    // A registered owner with a line break, a tab, a direction override and a lone
    // surrogate: the uninstall entry takes it over.
    std::vector<uint8_t> owner = base::ToUtf16LE(
        L"Ann\r\nEvil\tOwner\x202E"
        L"exe.txt");
    owner.push_back(0x00);
    owner.push_back(0xD8);  // U+D800 alone
    owner.push_back(0);
    owner.push_back(0);
    m->registry().SetValue(platform::Hive::LocalMachine,
                           L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", L"RegisteredOwner",
                           win::kRegSz, owner.data(), static_cast<uint32_t>(owner.size()));
    RunWhole(*m);

    const std::vector<std::wstring> lines = ReadLog(*m);
    EXPECT_TRUE(Contains(lines, L"Config | \"path\": installation folder " + LogQuote(deep)));
    EXPECT_NE(LogQuote(deep).find(L"\U0001F5C2"), std::wstring::npos);
    const std::vector<std::wstring> copies =
        Starting(lines, {L"File | copy \"C:\\Setup\\Corvane.exe\" to "});
    ASSERT_EQ(copies.size(), 1u);
    // Too deep for the file system, but shown whole.
    const std::wstring copy =
        L"File | copy \"C:\\Setup\\Corvane.exe\" to \"" + deep + L"\\Corvane.exe\": ";
    EXPECT_EQ(copies[0].compare(0, copy.size(), copy), 0) << base::ToUtf8(copies[0]);
    EXPECT_TRUE(Contains(
        lines,
        L"Setup | silent: user \"Ann<CR><LF>Evil<TAB>Owner<U+202E>exe.txt<U+D800>\" and "
        L"organization \"\" from the registry, start-menu folder \"Corvane\", desktop icon "
        L"on, Quick Launch icon on"));
}

TEST(InstallLogTest, HowValuesAreShown) {
    struct QuoteCase {
        std::wstring text;
        std::wstring shown;
    };
    const QuoteCase quotes[] = {
        {L"", L"\"\""},
        {L"C:\\Program Files\\Corvane", L"\"C:\\Program Files\\Corvane\""},
        {L"a\"b", L"\"a\"b\""},
        {L"line\r\nnext\tcol", L"\"line<CR><LF>next<TAB>col\""},
        {std::wstring(L"nul\0x\x1B\x7F\x85", 8), L"\"nul<U+0000>x<U+001B><U+007F><U+0085>\""},
        {L"\x2028\x2029\x202E\x200F\x2066\xFEFF",
         L"\"<U+2028><U+2029><U+202E><U+200F><U+2066><U+FEFF>\""},
        {L"\x4E2D\x6587 caf\xE9", L"\"\x4E2D\x6587 caf\xE9\""},
        {L"\U0001F600", L"\"\U0001F600\""},
        {std::wstring(1, static_cast<wchar_t>(0xDC00)) + L"x", L"\"<U+DC00>x\""},
    };
    for (const QuoteCase& c : quotes) {
        EXPECT_EQ(LogQuote(c.text), c.shown) << base::ToUtf8(c.shown);
    }

    struct ErrorCase {
        uint32_t error;
        const wchar_t* shown;
    };
    const ErrorCase errors[] = {
        {0, L"ok"},
        {2, L"error 2 (the file was not found)"},
        {32, L"error 32 (in use by another process)"},
        {1300, L"error 1300 (not all privileges were assigned)"},
        {4711, L"error 4711"},
    };
    for (const ErrorCase& c : errors) {
        EXPECT_EQ(ErrorText(c.error), c.shown);
    }
    EXPECT_EQ(HresultText(0), L"ok");
    EXPECT_EQ(HresultText(1), L"ok (0x00000001)");
    EXPECT_EQ(HresultText(static_cast<int32_t>(0x80070005)),
              L"0x80070005 = error 5 (access denied)");
    EXPECT_EQ(HresultText(static_cast<int32_t>(0x800401F0)), L"0x800401f0");

    struct DataCase {
        uint32_t type;
        std::vector<uint8_t> data;
        std::wstring shown;
    };
    const auto utf16 = [](const std::wstring& text, int nulls) {
        std::vector<uint8_t> bytes = base::ToUtf16LE(text);
        bytes.insert(bytes.end(), static_cast<size_t>(nulls) * 2, 0);
        return bytes;
    };
    std::vector<uint8_t> odd = utf16(L"ab", 1);
    odd.push_back(0x41);
    const DataCase data[] = {
        {win::kRegSz, utf16(L"text", 1), L"REG_SZ \"text\""},
        {win::kRegSz, utf16(L"text", 0), L"REG_SZ \"text\" (no terminator)"},
        {win::kRegSz, odd, L"REG_SZ \"ab\" (an odd size, 7 bytes)"},
        {win::kRegExpandSz, utf16(L"%SystemRoot%", 1), L"REG_EXPAND_SZ \"%SystemRoot%\""},
        {win::kRegSz, {}, L"REG_SZ \"\" (no terminator)"},
        {win::kRegMultiSz, utf16(std::wstring(L"PartMgr\0cvflt", 13), 2),
         L"REG_MULTI_SZ [\"PartMgr\", \"cvflt\"]"},
        {win::kRegMultiSz, utf16(L"cvflt", 1), L"REG_MULTI_SZ [\"cvflt\"] (not terminated)"},
        {win::kRegMultiSz, utf16(std::wstring(L"a\0\0b", 4), 2),
         L"REG_MULTI_SZ [\"a\", \"\", \"b\"]"},
        {win::kRegMultiSz, utf16(L"", 2), L"REG_MULTI_SZ []"},
        {win::kRegDword, {0x41, 0x00, 0x00, 0x10}, L"REG_DWORD 0x10000041 (268435521)"},
        {win::kRegDword, {0x01, 0x02}, L"REG_DWORD 01 02 (2 bytes)"},
        {win::kRegQword, {1, 0, 0, 0, 0, 0, 0, 0x80}, L"REG_QWORD 0x8000000000000001"},
        {win::kRegBinary, {}, L"REG_BINARY (0 bytes)"},
        {99, {0xAB}, L"type 99 ab (1 bytes)"},
    };
    for (const DataCase& c : data) {
        EXPECT_EQ(
            RegistryDataText(nullptr, c.type, c.data.data(), static_cast<uint32_t>(c.data.size())),
            c.shown);
    }
    std::vector<uint8_t> large(100, 0xEE);
    const std::wstring shownLarge = RegistryDataText(nullptr, win::kRegBinary, large.data(),
                                                     static_cast<uint32_t>(large.size()));
    EXPECT_EQ(shownLarge.compare(0, 14, L"REG_BINARY ee "), 0);
    EXPECT_EQ(shownLarge.compare(shownLarge.size() - 18, 18, L"ee ... (100 bytes)"), 0);

    // A concealed text hides every value that holds it; a long value is shown in part.
    sim::Machine m;
    CInstallLog log(m.system(), m.files());
    log.Conceal(L"s3cret");
    log.Conceal(L"");
    EXPECT_EQ(log.Data(L"my s3cret text"), L"(hidden)");
    EXPECT_EQ(log.Data(L"other"), L"\"other\"");
    const std::vector<uint8_t> list = utf16(std::wstring(L"a\0s3cret", 8), 2);
    EXPECT_EQ(
        RegistryDataText(&log, win::kRegMultiSz, list.data(), static_cast<uint32_t>(list.size())),
        L"REG_MULTI_SZ [\"a\", (hidden)]");
    const std::wstring shown = log.Data(std::wstring(3000, L'x'));
    EXPECT_EQ(shown, L"\"" + std::wstring(1024, L'x') + L"\"... (3000 characters)");
}

}  // namespace
