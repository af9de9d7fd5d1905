// Shell: CommandLineToArgvW, special folders and shell links.
#include <memory>

#include "Conformance.h"
#include "base/Text.h"

namespace conf {
namespace {

class ShellTable : public ConformanceTest {};

// CommandLineToArgvW's splitting rules: white space separates arguments outside quotes;
// 2n backslashes before a quote give n backslashes and the quote delimits, 2n+1 give n
// backslashes and a literal quote; other backslashes are literal; the first argument is the
// program name, taken up to the next quote when it starts with one.
TEST_F(ShellTable, CommandLineToArgv) {
    struct Row {
        const wchar_t* commandLine;
        std::vector<std::wstring> expected;
        WineNote wine = {};
    };
    const std::vector<Row> rows = {
        {L"p.exe a b", {L"p.exe", L"a", L"b"}},
        {L"p.exe   a    b  ", {L"p.exe", L"a", L"b"}},
        {L"p.exe\ta\tb", {L"p.exe", L"a", L"b"}},
        {L"p.exe \"a b\" c", {L"p.exe", L"a b", L"c"}},
        {L"p.exe a\"b c\"d", {L"p.exe", L"ab cd"}},
        {L"p.exe a\\b c\\\\d", {L"p.exe", L"a\\b", L"c\\\\d"}},
        {L"p.exe \"a\\b\"", {L"p.exe", L"a\\b"}},
        {L"p.exe a\\\\\"b c\"", {L"p.exe", L"a\\b c"}},
        {L"p.exe a\\\"b", {L"p.exe", L"a\"b"}},
        {L"p.exe a\\\\\\\"b", {L"p.exe", L"a\\\"b"}},
        {L"p.exe \"a\\\\\" b", {L"p.exe", L"a\\", L"b"}},
        {L"p.exe \"a\\\" b\"", {L"p.exe", L"a\" b"}},
        {L"p.exe a\\", {L"p.exe", L"a\\"}},
        {L"p.exe \"\"", {L"p.exe", L""}},
        {L"p.exe \"\" \"\"", {L"p.exe", L"", L""}},
        {L"p.exe a \"\" b", {L"p.exe", L"a", L"", L"b"}},
        {L"p.exe a\"\"b", {L"p.exe", L"ab"}},
        {L"p.exe \"a\"\"b\"", {L"p.exe", L"a\"b"}},
        {L"p.exe \"a\"\"\"b\"", {L"p.exe", L"a\"b"}},
        {L"p.exe \"\"\"a\"\"\"", {L"p.exe", L"\"a\""}},
        {L"p.exe \"\"\"\"", {L"p.exe", L"\""}},
        {L"\"C:\\Program Files\\p.exe\" a", {L"C:\\Program Files\\p.exe", L"a"}},
        {L"\"C:\\dir\\\"p.exe a", {L"C:\\dir\\", L"p.exe", L"a"}},
        {L"C:\\dir\\p.exe\\ a", {L"C:\\dir\\p.exe\\", L"a"}},
        {L"p\"x y\"z a", {L"p\"x", L"yz a"}},
        {L" p.exe a", {L"", L"p.exe", L"a"}},
    };
    for (const Row& row : rows) {
        std::vector<std::wstring> args;
        const bool ok = P().shell.CommandLineToArgv(row.commandLine, &args);
        Check("CommandLineToArgvW " + Quote(row.commandLine),
              Out().Add("ok", ok).Add("args", args).str(),
              Out().Add("ok", true).Add("args", row.expected).str(), row.wine);
    }

    // An empty command line gives the program's own path.
    std::vector<std::wstring> args;
    const bool ok = P().shell.CommandLineToArgv(L"", &args);
    Check("CommandLineToArgvW of an empty command line",
          Out()
              .Add("ok", ok)
              .Add("count", static_cast<uint32_t>(args.size()))
              .Add("module", args.size() == 1 && base::EqualsNoCase(args[0], E().KnownModulePath()))
              .str(),
          "ok=1 count=1 module=1");
}

TEST_F(ShellTable, SpecialFolders) {
    struct Row {
        const char* name;
        int csidl;
    };
    const Row rows[] = {
        {"CSIDL_PROGRAM_FILES", win::kCsidlProgramFiles},
        {"CSIDL_COMMON_PROGRAMS", win::kCsidlCommonPrograms},
        {"CSIDL_PROGRAMS", win::kCsidlPrograms},
        {"CSIDL_APPDATA", win::kCsidlAppData},
        {"CSIDL_DESKTOPDIRECTORY", win::kCsidlDesktopDirectory},
        {"CSIDL_COMMON_DESKTOPDIRECTORY", win::kCsidlCommonDesktopDirectory},
        {"CSIDL_COMMON_APPDATA", win::kCsidlCommonAppData},
    };
    for (const Row& row : rows) {
        std::wstring path;
        const bool ok = P().shell.GetSpecialFolderPath(row.csidl, false, &path);
        const bool absolute = path.size() > 3 && path[1] == L':' && path[2] == L'\\';
        const bool trailing = !path.empty() && path.back() == L'\\';
        const uint32_t a = P().files.GetFileAttributes(path);
        const bool folder = a != win::kInvalidFileAttributes && (a & win::kFileAttributeDirectory);
        std::wstring viaFolderPath;
        const int32_t hr =
            P().shell.GetFolderPath(row.csidl | win::kCsidlFlagCreate, &viaFolderPath);
        Check(std::string("special folder ") + row.name,
              Out()
                  .Add("ok", ok)
                  .Add("absolute", absolute)
                  .Add("trailingBackslash", trailing)
                  .Add("exists", folder)
                  .Hex("createHr", static_cast<uint32_t>(hr))
                  .Add("same", base::EqualsNoCase(path, viaFolderPath))
                  .str(),
              "ok=1 absolute=1 trailingBackslash=0 exists=1 createHr=00000000 same=1");
    }
}

TEST_F(ShellTable, ShellLinks) {
    const std::wstring target = InFolder(L"target.exe");
    ASSERT_TRUE(WriteText(target, "MZ"));
    static const char kWineShow[] = "Wine's links always read back SW_SHOWNORMAL";
    struct Row {
        const char* name;
        std::wstring linkPath;
        int showCmd;
        const char* expected;
        WineNote wine = {};
    };
    const Row rows[] = {
        {"saved and read back, maximised",
         InFolder(L"max.lnk"),
         3,  // SW_SHOWMAXIMIZED
         "create=00000000 save=1 read=1 target=1 workdir=1 args=\"-x y\" show=3",
         {kWineShow, "create=00000000 save=1 read=1 target=1 workdir=1 args=\"-x y\" show=1"}},
        {"saved and read back, minimised",
         InFolder(L"min.lnk"),
         7,  // SW_SHOWMINNOACTIVE
         "create=00000000 save=1 read=1 target=1 workdir=1 args=\"-x y\" show=7",
         {kWineShow, "create=00000000 save=1 read=1 target=1 workdir=1 args=\"-x y\" show=1"}},
        {"into a missing folder", InFolder(L"missing\\app.lnk"), 1,
         "create=00000000 save=0 read=0"},
    };
    for (const Row& row : rows) {
        std::unique_ptr<platform::ShellLink> link;
        const int32_t hr = P().shell.CreateShellLink(&link);
        Out out;
        out.Hex("create", static_cast<uint32_t>(hr));
        if (hr == win::kSOk && link) {
            link->SetPath(target);
            link->SetWorkingDirectory(Folder());
            link->SetArguments(L"-x y");
            link->SetShowCmd(row.showCmd);
            const int32_t saved = link->Save(row.linkPath, true);
            link.reset();
            out.Add("save", saved >= 0);
            platform::ShellLinkInfo info;
            const bool read = P().shell.ReadShellLink(row.linkPath, &info);
            out.Add("read", read);
            if (read) {
                out.Add("target", base::EqualsNoCase(info.target, target))
                    .Add("workdir", base::EqualsNoCase(info.workingDirectory, Folder()))
                    .Add("args", info.arguments)
                    .Add("show", info.showCmd);
                if (!base::EqualsNoCase(info.target, target)) {
                    std::printf("  target read back: %s\n", Utf8(info.target).c_str());
                }
            }
        }
        Check(std::string("shell link ") + row.name, out.str(), row.expected, row.wine);
    }
}

}  // namespace
}  // namespace conf
