// The check-only run (-check) and the options box (-?): whole runs of RunSetup on the sim.
// A check-only run reports with its exit code what an installation would do and leaves the
// machine as it was (only the -log: file is new): no box, no page, no Warden told, no
// configuration read. The options box comes before everything else, in the user-interface
// language, and with -suppressmsgboxes is not shown.
#include <chrono>
#include <cwchar>
#include <cwctype>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "EngineTestMachine.h"
#include "Setup/checks/PrerequisiteChecks.h"
#include "Setup/flow/CheckRun.h"
#include "Setup/flow/ExitCodes.h"
#include "Setup/flow/InstallLog.h"
#include "Setup/flow/SetupApp.h"
#include "Setup/res/resource.h"
#include "UiTestMachine.h"
#include "base/Text.h"
#include "sim/Machine.h"

namespace {

constexpr wchar_t kLog[] = L"C:\\Logs\\setup.log";
constexpr wchar_t kConfig[] = L"C:\\Setup\\setup.ini";
// The column where a log line's text starts: the time (23), two blanks, the category (8), two.
constexpr size_t kTextColumn = 35;

// A machine with the product folder, a configuration file that would change what is
// installed, the log's folder and the Warden's window, which counts the messages it gets.
struct CheckMachine {
    explicit CheckMachine(const std::wstring& commandLine, uint16_t language = win::kLangEnglishUs)
        : m(uitest::MakeMachine(language, std::chrono::milliseconds(2000))) {
        m->shell().SetCommandLine(commandLine);
        enginetest::AddProductFiles(*m);
        m->files().MakeFolders(L"C:\\Logs");
        m->files().AddFile(kConfig, "[common]\r\ndesktopicon=1\r\npassword=pw\r\nveil=C\r\n");
        m->processes().AddWindow(kWardenWindowTitle, L"AnyClass",
                                 [this](uint32_t message, uintptr_t, intptr_t) {
                                     wardenMessages += message == kWardenNotifyMessage ? 1 : 0;
                                     return static_cast<intptr_t>(0);
                                 });
    }

    uint32_t Run() {
        InstallerSettings settings;
        SetupProcess process = StartSetupProcess(m->platform());
        return RunSetup(m->platform(), settings, process);
    }

    // The log's lines as "Category | text" (its form is InstallLogTest's concern).
    std::vector<std::wstring> Log() {
        std::vector<std::wstring> lines;
        const std::string text = m->files().ReadText(kLog).value_or("");
        size_t start = 3;  // the UTF-8 mark
        for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
            const std::string line = text.substr(start, end - start);
            if (line.size() > kTextColumn) {
                std::string category = line.substr(25, 8);
                category.erase(category.find_last_not_of(' ') + 1);
                lines.push_back(base::FromUtf8(category + " | " + line.substr(kTextColumn)));
            }
        }
        return lines;
    }

    std::unique_ptr<sim::Machine> m;
    int wardenMessages = 0;
};

std::vector<std::wstring> Starting(const std::vector<std::wstring>& lines, const wchar_t* prefix) {
    std::vector<std::wstring> out;
    for (const std::wstring& line : lines) {
        if (line.compare(0, wcslen(prefix), prefix) == 0) {
            out.push_back(line);
        }
    }
    return out;
}

// What the machine is like before the run.
enum class Setting {
    Supported,
    Windows2000,
    Wow64,
    Veiled,
    Vista,
    Windows7Bare,
    Windows7Kb,
    MainUi
};

void Arrange(sim::Machine& m, Setting setting) {
    switch (setting) {
        case Setting::Supported:
            m.system().SetVersion(10, 0, 19045, 0);
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
        case Setting::Windows7Kb:
            m.wmi().ClearHotfixes();
            m.wmi().AddHotfix(L"KB3125574");
            break;
        case Setting::MainUi:
            m.processes().AddForeignMutex(kMainInterfaceMutex);
            break;
    }
}

const wchar_t kWin7Missing[] =
    L"Check | Windows updates: none of KB3033929, KB3185278, KB3125574 is installed; an "
    L"installation would ask whether to go on (message 159, not shown: -check)";

// Every outcome of a check-only run, whatever else the command line asks for: the exit
// code, the checks' lines of the log (from the last one that an installation would share
// with it), and the machine as it was.
TEST(CheckRunTest, EveryOutcomeLeavesTheMachineAsItWas) {
    struct Case {
        const char* name;
        std::vector<Setting> settings;
        const wchar_t* options;
        uint32_t exitCode;
        std::vector<std::wstring> lastChecks;  // the log's last Check lines, in order
        int wmiQueries;
    };
    const Case cases[] = {
        {"Windows 10",
         {Setting::Supported},
         L"-check",
         0,
         {L"Check | Windows updates: none required on Windows 10.0",
          L"Check | main interface: not running",
          L"Check | Warden: not told (-check: no installation starts)",
          L"Check | all checks passed"},
         0},
        // -check wins over -silent and -config: (the file would prepare C: for Veil Mode).
        {"Windows 10, /CHECK with -silent and -config:",
         {Setting::Supported},
         L"-silent /CHECK -config:C:\\Setup\\setup.ini",
         0,
         {L"Check | Warden: not told (-check: no installation starts)",
          L"Check | all checks passed"},
         0},
        {"Windows 7 with KB3125574",
         {Setting::Windows7Kb},
         L"-Check",
         0,
         {L"Check | Windows updates: KB3125574 is installed",
          L"Check | main interface: not running",
          L"Check | Warden: not told (-check: no installation starts)",
          L"Check | all checks passed"},
         3},
        {"Windows 2000",
         {Setting::Windows2000},
         L"-check -silent",
         kExitUnsupportedWindows,
         {L"Check | Windows 5.0: not supported (Windows 2000 or older); setup ends",
          L"Check | -check: message 144 not shown"},
         0},
        {"64-bit Windows (WOW64)",
         {Setting::Wow64},
         L"-check",
         kExitUnsupportedWindows,
         {L"Check | 64-bit Windows (the program runs under WOW64): not supported; setup ends",
          L"Check | -check: message 144 not shown"},
         0},
        // The refusal comes before the update questions, which are then not asked.
        {"Veil Mode on Windows 7 without the updates",
         {Setting::Veiled, Setting::Windows7Bare},
         L"-check",
         kExitVeilMode,
         {L"Check | Veil Mode: volume C: is in Veil Mode; setup ends",
          L"Check | -check: message 145 not shown"},
         0},
        {"Windows 7 without the updates",
         {Setting::Windows7Bare},
         L"-check",
         kExitUpdatesMissing,
         {kWin7Missing, L"Check | main interface: not running",
          L"Check | all checks passed but for the question about Windows updates"},
         3},
        // -suppressmsgboxes would answer the question Yes in an installation; -check still
        // reports it.
        {"Windows 7 without the updates, -suppressmsgboxes",
         {Setting::Windows7Bare},
         L"-check -suppressmsgboxes -silent",
         kExitUpdatesMissing,
         {kWin7Missing, L"Check | main interface: not running",
          L"Check | all checks passed but for the question about Windows updates"},
         3},
        {"Vista without KB2763674",
         {Setting::Vista},
         L"-check",
         kExitUpdatesMissing,
         {L"Check | Windows updates: KB2763674 is not installed; an installation would ask "
          L"whether to go on (message 158, not shown: -check)",
          L"Check | main interface: not running",
          L"Check | all checks passed but for the question about Windows updates"},
         1},
        {"the main interface running",
         {Setting::MainUi},
         L"-check",
         kExitMainInterfaceRunning,
         {L"Check | main interface: running (its mutex exists); setup ends",
          L"Check | -check: message 146 not shown"},
         1},
        // A Yes would not get the installation past the main interface: its refusal wins.
        {"Windows 7 without the updates, the main interface running",
         {Setting::Windows7Bare, Setting::MainUi},
         L"-check",
         kExitMainInterfaceRunning,
         {kWin7Missing, L"Check | main interface: running (its mutex exists); setup ends",
          L"Check | -check: message 146 not shown"},
         3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CheckMachine cm(std::wstring(L"Setup.exe ") + c.options + L" -log:" + kLog);
        for (Setting setting : c.settings) {
            Arrange(*cm.m, setting);
        }
        const enginetest::State before = enginetest::Snapshot(*cm.m);
        EXPECT_EQ(cm.Run(), c.exitCode);

        // Nothing shown, no one told, nothing started, nothing changed but the log.
        EXPECT_TRUE(cm.m->ui().MessageBoxes().empty());
        EXPECT_TRUE(cm.m->ui().Pages().empty());
        EXPECT_EQ(cm.wardenMessages, 0);
        EXPECT_TRUE(cm.m->processes().ProcessStarts().empty());
        EXPECT_EQ(cm.m->wmi().QueryCount(), c.wmiQueries);
        std::vector<std::wstring> changes =
            enginetest::Changes(before, enginetest::Snapshot(*cm.m));
        ASSERT_EQ(changes.size(), 1u) << base::ToUtf8(changes.back());
        EXPECT_EQ(changes[0].compare(0, 5 + wcslen(kLog), L"file " + std::wstring(kLog)), 0);
        uitest::ExpectNoUiErrors(*cm.m);

        // The log: the header's run mode, the checks, the code's meaning; nothing else.
        const std::vector<std::wstring> log = cm.Log();
        for (const std::wstring& line : log) {
            const std::wstring category = line.substr(0, line.find(L" | "));
            EXPECT_TRUE(category == L"Setup" || category == L"Check" || category == L"Exit")
                << base::ToUtf8(line);
        }
        const std::vector<std::wstring> run = Starting(log, L"Setup | run: ");
        ASSERT_EQ(run.size(), 1u);
        const std::wstring mode =
            L"Setup | run: check only (-check): nothing is installed; message boxes not shown";
        EXPECT_EQ(run[0].compare(0, mode.size(), mode), 0) << base::ToUtf8(run[0]);
        std::vector<std::wstring> checks = Starting(log, L"Check | ");
        ASSERT_GE(checks.size(), c.lastChecks.size());
        checks.erase(checks.begin(), checks.end() - static_cast<long>(c.lastChecks.size()));
        enginetest::ExpectSameLines(checks, c.lastChecks);
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(log.back(),
                  base::Format(L"Exit | exit code %u: ", c.exitCode) + CheckRunMeaning(c.exitCode));
    }
}

// The check-only run's line for a configuration file says it is not read.
TEST(CheckRunTest, TheHeaderSaysTheConfigurationIsNotRead) {
    CheckMachine cm(std::wstring(L"Setup.exe -check -silent -config:") + kConfig + L" -log:" +
                    kLog);
    EXPECT_EQ(cm.Run(), kExitNothingToInstall);
    EXPECT_EQ(Starting(cm.Log(), L"Setup | run: "),
              std::vector<std::wstring>{L"Setup | run: check only (-check): nothing is installed; "
                                        L"message boxes not shown; configuration file "
                                        L"\"C:\\Setup\\setup.ini\" not read"});
    EXPECT_TRUE(Starting(cm.Log(), L"Config").empty());
}

// The options box, in both languages, for every spelling, before anything else: one box,
// exit 0, no check, no page, nothing changed. -suppressmsgboxes shows nothing and logs it.
TEST(CheckRunTest, TheOptionsBoxComesFirstInTheUsersLanguage) {
    struct Case {
        const wchar_t* options;
        uint16_t language;
        bool shown;
    };
    const Case cases[] = {
        {L"/?", win::kLangEnglishUs, true},
        {L"-?", win::kLangEnglishUs, true},
        {L"-help", win::kLangEnglishUs, true},
        {L"/HELP", win::kLangEnglishUs, true},
        {L"-check -silent -config:C:\\Setup\\setup.ini /?", win::kLangEnglishUs, true},
        {L"/?", win::kLangChineseSimplified, true},
        {L"-Help -silent", win::kLangChineseSimplified, true},
        {L"/? -suppressmsgboxes", win::kLangEnglishUs, false},
        {L"-suppressmsgboxes -help", win::kLangChineseSimplified, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(base::ToUtf8(c.options) + " / language " + std::to_string(c.language));
        CheckMachine cm(std::wstring(L"Setup.exe ") + c.options + L" -log:" + kLog, c.language);
        Arrange(*cm.m, Setting::Windows2000);  // the checks would refuse it, were they run
        const enginetest::State before = enginetest::Snapshot(*cm.m);
        EXPECT_EQ(cm.Run(), kExitNothingToInstall);

        const std::wstring text = cm.m->ui().LoadString(IDS_COMMAND_LINE_HELP);
        const auto boxes = cm.m->ui().MessageBoxes();
        if (c.shown) {
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].text, text);
            EXPECT_EQ(boxes[0].caption, L"Setup");
            EXPECT_EQ(boxes[0].flags, win::kMbOk | win::kMbIconInformation);
        } else {
            EXPECT_TRUE(boxes.empty());
        }
        const bool chinese = c.language == win::kLangChineseSimplified;
        EXPECT_NE(text.find(chinese ? L"退出码" : L"Exit codes:"), std::wstring::npos);
        EXPECT_TRUE(cm.m->ui().Pages().empty());
        EXPECT_EQ(cm.wardenMessages, 0);
        EXPECT_EQ(cm.m->wmi().QueryCount(), 0);
        const std::vector<std::wstring> changes =
            enginetest::Changes(before, enginetest::Snapshot(*cm.m));
        ASSERT_EQ(changes.size(), 1u);
        EXPECT_EQ(changes[0].compare(0, 5 + wcslen(kLog), L"file " + std::wstring(kLog)), 0);

        const std::vector<std::wstring> log = cm.Log();
        EXPECT_TRUE(Starting(log, L"Check").empty());
        const std::vector<std::wstring> logged = Starting(log, L"Box | ");
        ASSERT_FALSE(logged.empty());
        EXPECT_EQ(logged[0].compare(0, 6 + LogQuote(text).size(), L"Box | " + LogQuote(text)), 0);
        EXPECT_NE(logged[0].find(c.shown ? L": shown, waiting for an answer"
                                         : L": not shown (-suppressmsgboxes), answered OK"),
                  std::wstring::npos)
            << base::ToUtf8(logged[0]);
        EXPECT_EQ(log.back(), L"Exit | exit code 0: the options were shown; nothing installed");
        uitest::ExpectNoUiErrors(*cm.m);
    }
}

// The box names every option and every exit code, one line each, in both languages.
TEST(CheckRunTest, TheOptionsBoxListsEveryOptionAndExitCode) {
    const wchar_t* const items[] = {L"-silent", L"-config:", L"-log:", L"-suppressmsgboxes",
                                    L"-check",  L"-?",       L"0",     L"1150",
                                    L"3010",    L"1641",     L"1602",  L"1603",
                                    L"1633",    L"19",       L"32"};
    for (uint16_t language : {win::kLangEnglishUs, win::kLangChineseSimplified}) {
        SCOPED_TRACE(language);
        auto m = uitest::MakeMachine(language);
        const std::wstring text = m->ui().LoadString(IDS_COMMAND_LINE_HELP);
        std::vector<std::wstring> lines;
        for (size_t start = 0, end; start <= text.size(); start = end + 1) {
            end = text.find(L'\n', start);
            end = end == std::wstring::npos ? text.size() : end;
            lines.push_back(text.substr(start, end - start));
        }
        for (const wchar_t* item : items) {
            const std::wstring name(item);
            int found = 0;
            for (const std::wstring& line : lines) {
                // A line starts with it, followed by a separator, " or", or the value.
                found += line.compare(0, name.size(), name) == 0 &&
                                 (line.size() == name.size() || !iswdigit(line[name.size()])) &&
                                 (name.back() == L':' || line.size() == name.size() ||
                                  !iswalpha(line[name.size()]))
                             ? 1
                             : 0;
            }
            EXPECT_EQ(found, 1) << base::ToUtf8(name);
        }
        EXPECT_NE(text.find(L"-help"), std::wstring::npos);
    }
}

}  // namespace
