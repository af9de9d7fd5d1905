#include <gtest/gtest.h>

#include "base/Text.h"
#include "sim/Machine.h"

namespace {

using sim::Machine;

std::string Show(const std::vector<std::wstring>& args) {
    std::string text;
    for (const auto& arg : args) {
        text += "<" + base::ToUtf8(arg) + ">";
    }
    return text;
}

TEST(SimShellTest, CommandLineToArgvFollowsWindowsRules) {
    struct Row {
        const wchar_t* line;
        std::vector<std::wstring> expected;
    } rows[] = {
        {L"exe a b", {L"exe", L"a", L"b"}},
        {L"exe\t\targ", {L"exe", L"arg"}},
        {L"exe x ", {L"exe", L"x"}},   // trailing blanks: no empty arg
        {L"exe \"\"", {L"exe", L""}},  // "" is an empty argument
        {L"exe \"a b\" c", {L"exe", L"a b", L"c"}},
        {L"exe \"unterminated arg", {L"exe", L"unterminated arg"}},
        // Backslashes: literal unless they precede a quote.
        {L"exe a\\b\\\\ c", {L"exe", L"a\\b\\\\", L"c"}},
        {L"exe a\\\\\"b c\"", {L"exe", L"a\\b c"}},  // 2n + quote: n, quote toggles
        {L"exe a\\\\\\\"b", {L"exe", L"a\\\"b"}},    // 2n+1 + quote: n, literal quote
        {L"exe \"a b\\\\\" c", {L"exe", L"a b\\", L"c"}},
        {L"exe \\\"one \\\\\"two\" end", {L"exe", L"\"one", L"\\two", L"end"}},
        // Runs of quotes.
        {L"exe \"\"\"", {L"exe", L"\""}},
        {L"exe a\"\"\"b", {L"exe", L"a\"b"}},  // """ outside: literal quote
        {L"exe two\"\"quotes next", {L"exe", L"twoquotes", L"next"}},
        {L"exe \"two\"\"quotes next", {L"exe", L"two\"quotes", L"next"}},  // "" inside ends
        {L"exe \"a\"\"b\" c", {L"exe", L"a\"b c"}},
        {L"exe \"three\"\"\" quotes\" next", {L"exe", L"three\" quotes", L"next"}},
        {L"exe six\"\"\"\"\"\"quotes next", {L"exe", L"six\"\"quotes", L"next"}},
        // argv[0] has its own rules.
        {L"a\"\"b c", {L"a\"\"b", L"c"}},
        {L"exe\"q\"x y", {L"exe\"q\"x", L"y"}},
        {L"\"quoted exe\"next", {L"quoted exe", L"next"}},
        {L"\"exe\\\" x", {L"exe\\", L"x"}},
        {L"\"C:\\Setup\\Setup.exe\" /s", {L"C:\\Setup\\Setup.exe", L"/s"}},
        {L"\"two\"\" arg1 ", {L"two", L" arg1 "}},
        {L"\"three\"\"\" arg2", {L"three", L"", L"arg2"}},
        {L"\"unterminated program", {L"unterminated program"}},
        {L"  lead x", {L"", L"lead", L"x"}},
        {L" ", {L""}},
        {L"\t", {L""}},
    };
    Machine m;
    for (const auto& r : rows) {
        std::vector<std::wstring> args;
        ASSERT_TRUE(m.shell().CommandLineToArgv(r.line, &args)) << base::ToUtf8(r.line);
        EXPECT_EQ(args, r.expected) << "input [" << base::ToUtf8(r.line) << "] got " << Show(args)
                                    << " expected " << Show(r.expected);
    }
}

TEST(SimShellTest, EmptyCommandLineAndInjectedSplitFailure) {
    Machine m;
    std::wstring module = m.files().ModulePath();
    ASSERT_FALSE(module.empty());
    std::vector<std::wstring> args;
    ASSERT_TRUE(m.shell().CommandLineToArgv(L"", &args));
    EXPECT_EQ(args, std::vector<std::wstring>{module});
    // Text after an embedded null is not seen.
    ASSERT_TRUE(m.shell().CommandLineToArgv(std::wstring(L"a b\0c d", 7), &args));
    EXPECT_EQ(args, (std::vector<std::wstring>{L"a", L"b"}));

    m.shell().FailCommandLineSplit();
    EXPECT_FALSE(m.shell().CommandLineToArgv(L"exe a", &args));
    EXPECT_TRUE(args.empty());
    EXPECT_TRUE(m.shell().CommandLineToArgv(L"exe a", &args));  // only once
}

TEST(SimShellTest, CommandLineDefaultsToQuotedModulePath) {
    Machine m;
    EXPECT_EQ(m.shell().GetCommandLine(), L"\"" + m.files().ModulePath() + L"\"");
    m.shell().SetCommandLine(L"\"C:\\Setup\\Setup.exe\" /silent");
    EXPECT_EQ(m.shell().GetCommandLine(), L"\"C:\\Setup\\Setup.exe\" /silent");
}

TEST(SimShellTest, DefaultSpecialFoldersExist) {
    struct Row {
        int csidl;
        const wchar_t* path;
    } rows[] = {
        {win::kCsidlProgramFiles, L"C:\\Program Files"},
        {win::kCsidlCommonPrograms, L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs"},
        {win::kCsidlPrograms,
         L"C:\\Users\\User\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs"},
        {win::kCsidlStartMenu,
         L"C:\\Users\\User\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu"},
        {win::kCsidlCommonStartMenu, L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu"},
        {win::kCsidlDesktopDirectory, L"C:\\Users\\User\\Desktop"},
        {win::kCsidlCommonDesktopDirectory, L"C:\\Users\\Public\\Desktop"},
        {win::kCsidlAppData, L"C:\\Users\\User\\AppData\\Roaming"},
        {win::kCsidlCommonAppData, L"C:\\ProgramData"},
        {win::kCsidlLocalAppData, L"C:\\Users\\User\\AppData\\Local"},
        {win::kCsidlWindows, L"C:\\Windows"},
        {win::kCsidlSystem, L"C:\\Windows\\system32"},
    };
    Machine m;
    for (const auto& r : rows) {
        std::wstring path;
        EXPECT_EQ(m.shell().GetFolderPath(r.csidl, &path), win::kSOk) << "csidl " << r.csidl;
        EXPECT_EQ(path, r.path) << "csidl " << r.csidl;
        EXPECT_TRUE(m.files().IsDirectory(r.path)) << base::ToUtf8(r.path);
        EXPECT_TRUE(m.shell().GetSpecialFolderPath(r.csidl, false, &path)) << "csidl " << r.csidl;
    }
    EXPECT_TRUE(m.files().IsDirectory(m.shell().QuickLaunchFolder()));
    // The Windows folders follow the system's settings.
    m.system().SetWindowsFolder(L"D:\\WINNT");
    EXPECT_EQ(m.shell().SpecialFolder(win::kCsidlWindows), L"D:\\WINNT");
}

TEST(SimShellTest, MissingUnknownAndFailingFolders) {
    Machine m;
    const std::wstring folder = L"C:\\Users\\User\\Documents\\Deep\\Er";
    m.shell().SetSpecialFolder(win::kCsidlPersonal, folder);
    std::wstring path;
    // Missing, not created.
    EXPECT_EQ(m.shell().GetFolderPath(win::kCsidlPersonal, &path),
              static_cast<int32_t>(0x80070002));
    EXPECT_EQ(path, folder);
    EXPECT_FALSE(m.shell().GetSpecialFolderPath(win::kCsidlPersonal, false, &path));
    EXPECT_FALSE(m.files().Exists(folder));
    // Created with every missing level.
    EXPECT_TRUE(m.shell().GetSpecialFolderPath(win::kCsidlPersonal, true, &path));
    EXPECT_EQ(path, folder);
    EXPECT_TRUE(m.files().IsDirectory(folder));
    m.shell().SetSpecialFolder(win::kCsidlPersonal, L"C:\\Other\\Docs");
    EXPECT_EQ(m.shell().GetFolderPath(win::kCsidlPersonal | win::kCsidlFlagCreate, &path),
              win::kSOk);
    EXPECT_TRUE(m.files().IsDirectory(L"C:\\Other\\Docs"));

    // Unknown folder id.
    EXPECT_EQ(m.shell().GetFolderPath(0x7F, &path), win::kEInvalidArg);
    EXPECT_TRUE(path.empty());
    EXPECT_FALSE(m.shell().GetSpecialFolderPath(0x7F, true, &path));
    m.shell().RemoveSpecialFolder(win::kCsidlDesktopDirectory);
    EXPECT_EQ(m.shell().GetFolderPath(win::kCsidlDesktopDirectory, &path), win::kEInvalidArg);

    // Injected failure.
    m.shell().FailFolder(win::kCsidlCommonPrograms, win::kEAccessDenied);
    EXPECT_EQ(m.shell().GetFolderPath(win::kCsidlCommonPrograms | win::kCsidlFlagCreate, &path),
              win::kEAccessDenied);
    EXPECT_FALSE(m.shell().GetSpecialFolderPath(win::kCsidlCommonPrograms, true, &path));
    m.shell().FailFolder(win::kCsidlCommonPrograms, 0);
    EXPECT_TRUE(m.shell().GetSpecialFolderPath(win::kCsidlCommonPrograms, false, &path));
}

TEST(SimShellTest, ShellLinkNeedsComAndIsSavedAndReadBack) {
    Machine m;
    std::unique_ptr<platform::ShellLink> link;
    EXPECT_EQ(m.shell().CreateShellLink(&link), sim::kCoENotInitialized);
    EXPECT_FALSE(link);

    ASSERT_EQ(m.system().CoInitializeEx(win::kCoinitApartmentThreaded), win::kSOk);
    ASSERT_EQ(m.shell().CreateShellLink(&link), win::kSOk);
    ASSERT_TRUE(link);
    link->SetPath(L"C:\\Program Files\\Corvane\\Corvane.exe");
    link->SetWorkingDirectory(L"C:\\Program Files\\Corvane");
    link->SetArguments(L"/tray \"100%\"\r\nx");
    link->SetShowCmd(win::kSwShowNormal);
    const std::wstring linkPath = L"C:\\Users\\Public\\Desktop\\Corvane.lnk";
    ASSERT_EQ(link->Save(linkPath, true), win::kSOk);
    EXPECT_TRUE(m.files().Exists(linkPath));

    platform::ShellLinkInfo info;
    ASSERT_TRUE(m.shell().ReadShellLink(linkPath, &info));
    EXPECT_EQ(info.target, L"C:\\Program Files\\Corvane\\Corvane.exe");
    EXPECT_EQ(info.workingDirectory, L"C:\\Program Files\\Corvane");
    EXPECT_EQ(info.arguments, L"/tray \"100%\"\r\nx");
    EXPECT_EQ(info.showCmd, win::kSwShowNormal);

    // Saving again replaces the file.
    link->SetArguments(L"");
    ASSERT_EQ(link->Save(linkPath, true), win::kSOk);
    ASSERT_TRUE(m.shell().ReadShellLink(linkPath, &info));
    EXPECT_EQ(info.arguments, L"");

    auto saved = m.shell().SavedLinks();
    ASSERT_EQ(saved.size(), 2u);
    EXPECT_EQ(saved[0].linkPath, linkPath);
    EXPECT_EQ(saved[0].arguments, L"/tray \"100%\"\r\nx");
    EXPECT_EQ(saved[1].arguments, L"");

    // Not links.
    EXPECT_FALSE(m.shell().ReadShellLink(L"C:\\Users\\Public\\Desktop\\None.lnk", &info));
    m.files().AddFile(L"C:\\Users\\Public\\Desktop\\Text.lnk", std::string("not a link"));
    EXPECT_FALSE(m.shell().ReadShellLink(L"C:\\Users\\Public\\Desktop\\Text.lnk", &info));
}

TEST(SimShellTest, ShellLinkFailures) {
    Machine m;
    m.system().CoInitializeEx(win::kCoinitMultithreaded);
    std::unique_ptr<platform::ShellLink> link;
    m.shell().FailLinkCreation(win::kRegdbEClassNotReg);
    EXPECT_EQ(m.shell().CreateShellLink(&link), win::kRegdbEClassNotReg);
    EXPECT_FALSE(link);
    m.shell().FailLinkCreation(0);
    ASSERT_EQ(m.shell().CreateShellLink(&link), win::kSOk);
    link->SetPath(L"C:\\x.exe");

    EXPECT_EQ(link->Save(L"C:\\No Such Folder\\x.lnk", true), static_cast<int32_t>(0x80070003));
    m.shell().FailLinkSave(win::kENoInterface);
    EXPECT_EQ(link->Save(L"C:\\Users\\User\\Desktop\\x.lnk", true), win::kENoInterface);
    EXPECT_FALSE(m.files().Exists(L"C:\\Users\\User\\Desktop\\x.lnk"));
    m.shell().FailLinkSave(0);
    EXPECT_EQ(link->Save(L"C:\\Users\\User\\Desktop\\x.lnk", true), win::kSOk);
    EXPECT_EQ(m.shell().SavedLinks().size(), 1u);  // failed saves are not recorded
}

TEST(SimShellTest, ChangeNotifyIsRecorded) {
    Machine m;
    m.shell().ChangeNotify(win::kShcneAssocChanged, win::kShcnfIdList);
    m.shell().ChangeNotify(0x2, 0x5);
    auto notes = m.shell().Notifications();
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_EQ(notes[0].eventId, win::kShcneAssocChanged);
    EXPECT_EQ(notes[0].flags, win::kShcnfIdList);
    EXPECT_EQ(notes[1].eventId, 0x2);
    EXPECT_EQ(notes[1].flags, 0x5u);
}

}  // namespace
