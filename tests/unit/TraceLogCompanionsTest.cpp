// The trace log (written only when C:\cvtrace.log exists, the 1 MiB rule, the 23-character
// prefix, CR LF, one line per call, never through a link) and the companion components
// (MenuExt.dll registered with its own folder searched, Keeper.exe /install on Vista and
// later, started hidden and waited for).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "Setup/protect/Companions.h"
#include "Setup/protect/TraceLog.h"
#include "base/Text.h"
#include "sim/Machine.h"

namespace {

constexpr const wchar_t kFolder[] = L"C:\\Program Files\\Corvane";
constexpr const wchar_t kMenuExt[] = L"C:\\Program Files\\Corvane\\MenuExt.dll";
constexpr const wchar_t kKeeper[] = L"C:\\Program Files\\Corvane\\Keeper.exe";
const std::string kPrefix = "[          Corvane ] | ";

TEST(TraceLogTest, WrittenOnlyWhenTheLogExists) {
    sim::Machine m;
    m.SetLastError(1234);
    CvTrace(m.platform(), L"CvSetVolumeFlag: CreateFile(%ls) failed(%d)", L"\\\\.\\C:", 5);
    EXPECT_FALSE(m.files().Exists(kTraceLogPath));
    EXPECT_EQ(m.LastError(), 1234u) << "the caller's error survives";

    m.files().AddFile(kTraceLogPath, std::string());
    CvTrace(m.platform(), L"CvSetVolumeFlag: CreateFile(%ls) failed(%d)", L"\\\\.\\C:", 5);
    CvTrace(m.platform(), L"second\n");
    EXPECT_EQ(
        m.files().ReadText(kTraceLogPath),
        kPrefix + "CvSetVolumeFlag: CreateFile(\\\\.\\C:) failed(5)\r\n" + kPrefix + "second\r\n");
    EXPECT_EQ(kPrefix.size(), 23u);
    EXPECT_EQ(m.LastError(), 1234u);
}

TEST(TraceLogTest, LineBytes) {
    struct Case {
        const char* name;
        std::wstring message;
        std::string bytes;
    };
    const Case cases[] = {
        {"a line feed is added", L"text", kPrefix + "text\r\n"},
        {"a message ending in a line feed gets no second", L"text\n", kPrefix + "text\r\n"},
        {"every line feed becomes CR LF", L"a\nb", kPrefix + "a\r\nb\r\n"},
        {"characters up to 255 are one byte", L"caf\u00e9 \u00ff", kPrefix + "caf\xe9 \xff\r\n"},
        {"characters above 255 are written as ?", L"\u5bc6\u7801 \u0100", kPrefix + "?? ?\r\n"},
        {"an empty message", L"", kPrefix + "\r\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TraceLineBytes(c.message), c.bytes) << c.name;
    }
    // The message and the line are each cut to 4095 characters.
    const std::string longLine = TraceLineBytes(std::wstring(5000, L'x'));
    EXPECT_EQ(longLine.size(), 4095u + 2);
    EXPECT_EQ(longLine.substr(0, 23), kPrefix);
}

TEST(TraceLogTest, TheOneMebibyteRule) {
    const std::string line = kPrefix + "4 chars\r\n";  // 32 bytes
    struct Case {
        uint64_t size;
        uint64_t after;
    };
    const Case cases[] = {
        {1048575, 1048575 + line.size()},  // appended
        {1048576, line.size()},            // replaced by the new line
        {3000000, line.size()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        sim::Machine m;
        m.files().AddSparseFile(kTraceLogPath, c.size);
        CvTrace(m.platform(), L"4 chars");
        EXPECT_EQ(m.files().Size(kTraceLogPath), c.after);
        auto tail = m.files().ReadRange(kTraceLogPath, c.after - line.size(), line.size());
        EXPECT_EQ(std::string(tail->begin(), tail->end()), line);
    }
}

TEST(TraceLogTest, NeverAppendsThroughALink) {
    const std::wstring target = L"C:\\Windows\\win.ini";
    for (bool hard : {true, false}) {
        SCOPED_TRACE(hard ? "hard link" : "symbolic link");
        sim::Machine m;
        m.files().AddFile(target, std::string("[fonts]\r\n"));
        if (hard)
            ASSERT_TRUE(m.files().CreateHardLink(kTraceLogPath, target));
        else
            ASSERT_TRUE(m.files().CreateSymbolicLink(kTraceLogPath, target, false));
        CvTrace(m.platform(), L"line");
        EXPECT_EQ(m.files().ReadText(target), std::string("[fonts]\r\n"));
    }
    // A folder of that name is no log either.
    sim::Machine m;
    m.files().MakeFolders(kTraceLogPath);
    CvTrace(m.platform(), L"line");
    EXPECT_TRUE(m.files().IsDirectory(kTraceLogPath));
}

// The installed companions: a self-registering MenuExt.dll and a Keeper.exe that records
// its command line.
struct Companions {
    sim::Machine m;
    explicit Companions(bool menuExt = true, bool keeper = true) {
        if (menuExt) {
            m.files().AddFile(kMenuExt, std::string("MZ"));
            m.processes().RegisterSelfRegisteringLibrary(kMenuExt);
        }
        if (keeper) {
            m.files().AddFile(kKeeper, std::string("MZ"));
            m.processes().RegisterRecordingProgram(kKeeper);
        }
    }
    std::vector<std::wstring> KeeperRuns() { return m.processes().RecordedCommandLines(kKeeper); }
};

TEST(CompanionsTest, ByWindowsVersion) {
    struct Case {
        uint32_t major, minor;
        bool keeper;
    };
    const Case cases[] = {{5, 1, false}, {5, 2, false}, {6, 0, true}, {6, 1, true}, {10, 0, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.major << "." << c.minor);
        Companions co;
        co.m.system().SetVersion(c.major, c.minor, 1000, 0);
        RegisterCompanions(co.m.platform(), kFolder);
        // The extension is registered on every version, and unloaded again.
        EXPECT_EQ(co.m.processes().SelfRegistrations(), std::vector<std::wstring>{kMenuExt});
        EXPECT_FALSE(co.m.processes().IsLibraryLoaded(kMenuExt));
        EXPECT_EQ(co.KeeperRuns().size(), c.keeper ? 1u : 0u);
    }
}

TEST(CompanionsTest, KeeperIsStartedHiddenAndWaitedFor) {
    Companions co;
    std::atomic<bool> finished{false};
    co.m.processes().RegisterProgram(kKeeper, [&finished](const std::wstring&) -> uint32_t {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        finished = true;
        return 0;
    });
    RegisterCompanions(co.m.platform(), kFolder);
    EXPECT_TRUE(finished) << "RegisterCompanions returned before Keeper.exe ended";
    const auto starts = co.m.processes().ProcessStarts();
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].commandLine, L"\"C:\\Program Files\\Corvane\\Keeper.exe\" /install");
    EXPECT_EQ(starts[0].startupFlags, win::kStartfUseShowWindow);
    EXPECT_EQ(starts[0].showWindow, win::kSwHide);
    // In the product's folder, not in setup's current folder.
    EXPECT_EQ(starts[0].currentDirectory, kFolder);
    EXPECT_EQ(starts[0].waits, std::vector<uint32_t>{win::kInfinite});
}

TEST(CompanionsTest, MissingPiecesAreSilent) {
    {
        SCOPED_TRACE("no MenuExt.dll: Keeper.exe still runs");
        Companions co(false, true);
        RegisterCompanions(co.m.platform(), kFolder);
        EXPECT_EQ(co.KeeperRuns().size(), 1u);
    }
    {
        SCOPED_TRACE("no DllRegisterServer: loaded and unloaded, nothing else");
        Companions co(false, true);
        co.m.files().AddFile(kMenuExt, std::string("MZ"));
        co.m.processes().RegisterLibrary(kMenuExt, {});
        RegisterCompanions(co.m.platform(), kFolder);
        std::vector<std::string> kinds;
        for (const auto& e : co.m.processes().LibraryEvents())
            kinds.push_back(e.kind == sim::SimProcesses::LibraryEventKind::Load      ? "load"
                            : e.kind == sim::SimProcesses::LibraryEventKind::GetProc ? "proc"
                            : e.kind == sim::SimProcesses::LibraryEventKind::Call    ? "call"
                                                                                     : "free");
        EXPECT_EQ(kinds, (std::vector<std::string>{"load", "proc", "free"}));
        EXPECT_EQ(co.KeeperRuns().size(), 1u);
    }
    {
        SCOPED_TRACE("no Keeper.exe and a failing registration: nothing to report");
        Companions co(false, false);
        co.m.files().AddFile(kMenuExt, std::string("MZ"));
        co.m.processes().RegisterSelfRegisteringLibrary(kMenuExt, win::kEFail);
        co.m.SetLastError(0);
        RegisterCompanions(co.m.platform(), kFolder);
        EXPECT_EQ(co.m.processes().SelfRegistrations().size(), 1u);
        EXPECT_TRUE(co.m.processes().ProcessStarts().empty());
    }
}

TEST(CompanionsTest, TheExtensionsOwnFolderIsSearchedNeverTheSetupFolder) {
    using platform::DllSearchRestriction;
    struct Case {
        const char* name;
        bool defaultDirectories;  // kernel32 has SetDefaultDllDirectories (and the flags)
        uint32_t flags;
    };
    const Case cases[] = {
        {"Windows 8, or 7 with KB2533623", true,
         win::kLoadLibrarySearchDllLoadDir | win::kLoadLibrarySearchSystem32},
        {"Windows XP SP1 to 7 without it", false, win::kLoadWithAlteredSearchPath},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (bool besideTheExtension : {true, false}) {
            SCOPED_TRACE(besideTheExtension ? "dependency beside the extension"
                                            : "dependency only in the setup folder");
            Companions co(true, false);
            co.m.system().SetDllSearchFunctions(c.defaultDirectories, true);
            DllSearchRestriction way = DllSearchRestriction::None;
            ASSERT_TRUE(co.m.system().RestrictDllSearchPath(&way));
            co.m.processes().SetLibraryDependencies(kMenuExt, {L"MenuRes.dll"});
            // The setup folder is the program's folder and the current folder.
            co.m.files().AddFile(L"C:\\Setup\\MenuRes.dll", std::string("MZ planted"));
            if (besideTheExtension)
                co.m.files().AddFile(std::wstring(kFolder) + L"\\MenuRes.dll", std::string("MZ"));
            EXPECT_EQ(CompanionLoadFlags(co.m.platform().processes), c.flags);
            RegisterCompanions(co.m.platform(), kFolder);
            if (besideTheExtension) {
                EXPECT_EQ(co.m.processes().DependencyLoads(),
                          std::vector<std::wstring>{std::wstring(kFolder) + L"\\MenuRes.dll"});
                EXPECT_EQ(co.m.processes().SelfRegistrations().size(), 1u);
            } else {
                EXPECT_TRUE(co.m.processes().DependencyLoads().empty());
                EXPECT_TRUE(co.m.processes().SelfRegistrations().empty());
            }
        }
    }
}

}  // namespace
