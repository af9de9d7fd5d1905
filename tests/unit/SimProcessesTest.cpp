#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "base/Text.h"
#include "sim/Machine.h"

namespace {

using sim::Machine;
using sim::SimProcesses;

TEST(SimProcessesTest, MutexNamesAndLifetime) {
    Machine m;
    auto& p = m.processes();
    platform::KernelHandle first = p.CreateMutex(L"CorvaneSetup", true);
    ASSERT_TRUE(first);
    EXPECT_EQ(m.system().GetLastError(), win::kErrorSuccess);
    platform::KernelHandle second = p.CreateMutex(L"CorvaneSetup", false);
    ASSERT_TRUE(second);
    EXPECT_NE(first, second);
    EXPECT_EQ(m.system().GetLastError(), win::kErrorAlreadyExists);

    struct Row {
        const wchar_t* name;
        uint32_t error;
    } rows[] = {
        {L"corvanesetup", win::kErrorSuccess},               // names are case-sensitive
        {L"Global\\CorvaneSetup", win::kErrorSuccess},       // another namespace
        {L"Local\\CorvaneSetup", win::kErrorAlreadyExists},  // the session's, as unprefixed
    };
    for (const auto& r : rows) {
        m.system().SetLastError(12345);
        platform::KernelHandle h = p.CreateMutex(r.name, false);
        ASSERT_TRUE(h) << base::ToUtf8(r.name);
        EXPECT_EQ(m.system().GetLastError(), r.error) << base::ToUtf8(r.name);
        EXPECT_TRUE(p.CloseHandle(h));
    }
    EXPECT_FALSE(p.MutexExists(L"corvanesetup"));

    EXPECT_EQ(p.MutexHandleCount(L"CorvaneSetup"), 2);
    EXPECT_TRUE(p.CloseHandle(first));
    EXPECT_TRUE(p.MutexExists(L"CorvaneSetup"));
    EXPECT_TRUE(p.CloseHandle(second));
    EXPECT_FALSE(p.MutexExists(L"CorvaneSetup"));
    EXPECT_FALSE(p.CloseHandle(second));
    EXPECT_EQ(m.system().GetLastError(), win::kErrorInvalidHandle);
}

TEST(SimProcessesTest, ForeignAndFailingMutexes) {
    Machine m;
    auto& p = m.processes();
    p.AddForeignMutex(L"Global\\CorvaneRunning");
    platform::KernelHandle h = p.CreateMutex(L"Global\\CorvaneRunning", false);
    ASSERT_TRUE(h);
    EXPECT_EQ(m.system().GetLastError(), win::kErrorAlreadyExists);
    EXPECT_EQ(p.WaitForSingleObject(h, 0), win::kWaitTimeout);
    EXPECT_TRUE(p.CloseHandle(h));
    EXPECT_TRUE(p.MutexExists(L"Global\\CorvaneRunning"));  // the other process holds it

    p.FailMutex(L"Busy", win::kErrorAccessDenied);
    EXPECT_FALSE(p.CreateMutex(L"Busy", false));
    EXPECT_EQ(m.system().GetLastError(), win::kErrorAccessDenied);
    p.FailMutex(L"Busy", 0);
    EXPECT_TRUE(p.CreateMutex(L"Busy", false));
}

TEST(SimProcessesTest, WindowsAreFoundAndReceiveMessages) {
    Machine m;
    auto& p = m.processes();
    std::vector<uint32_t> handled;
    platform::WindowHandle tray =
        p.AddWindow(L"Corvane Tray", L"CorvaneTrayClass", [&](uint32_t msg, uintptr_t, intptr_t) {
            handled.push_back(msg);
            return intptr_t{42};
        });
    platform::WindowHandle plain = p.AddWindow(L"Plain", L"Static");

    std::wstring cls = L"corvanetrayclass";
    std::wstring otherClass = L"Static";
    EXPECT_EQ(p.FindWindow(nullptr, L"CORVANE tray"), tray);  // titles ignore case
    EXPECT_EQ(p.FindWindow(&cls, L"Corvane Tray"), tray);
    EXPECT_FALSE(p.FindWindow(&otherClass, L"Corvane Tray"));
    EXPECT_FALSE(p.FindWindow(nullptr, L"Corvane"));  // whole title only

    EXPECT_EQ(p.SendMessage(tray, win::kWmClose, 1, 2), 42);
    EXPECT_EQ(p.SendMessage(plain, win::kWmClose, 0, 0), 0);
    EXPECT_TRUE(p.PostMessage(tray, win::kWmUser + 5, 3, 4));
    EXPECT_EQ(handled, std::vector<uint32_t>{win::kWmClose});  // posted: not yet handled
    EXPECT_EQ(p.DeliverPostedMessages(tray), 1u);
    EXPECT_EQ(handled, (std::vector<uint32_t>{win::kWmClose, win::kWmUser + 5}));

    auto messages = p.Messages(tray);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].message, win::kWmClose);
    EXPECT_EQ(messages[0].wParam, 1u);
    EXPECT_EQ(messages[0].lParam, 2);
    EXPECT_FALSE(messages[0].posted);
    EXPECT_TRUE(messages[1].posted);

    p.RemoveWindow(tray);
    EXPECT_FALSE(p.FindWindow(nullptr, L"Corvane Tray"));
    m.system().SetLastError(0);
    EXPECT_EQ(p.SendMessage(tray, win::kWmClose, 0, 0), 0);
    EXPECT_EQ(m.system().GetLastError(), win::kErrorInvalidWindowHandle);
    EXPECT_FALSE(p.PostMessage(tray, win::kWmClose, 0, 0));
    EXPECT_EQ(m.system().GetLastError(), win::kErrorInvalidWindowHandle);
}

TEST(SimProcessesTest, CreateProcessFindsTheProgramLikeWindows) {
    Machine m;
    auto& p = m.processes();
    m.files().AddFile(L"C:\\Program Files\\Corvane\\Keeper.exe", std::string("MZ"));
    m.files().AddFile(L"C:\\Program.exe", std::string("MZ"));
    m.files().AddFile(L"C:\\Windows\\system32\\cmd.exe", std::string("MZ"));
    m.files().AddFile(L"C:\\Tools\\run.com", std::string("MZ"));
    for (const wchar_t* program : {L"C:\\Program Files\\Corvane\\Keeper.exe", L"C:\\Program.exe",
                                   L"C:\\Windows\\system32\\cmd.exe", L"C:\\Tools\\run.com"}) {
        p.RegisterRecordingProgram(program);
    }
    struct Row {
        const wchar_t* commandLine;
        const wchar_t* application;
    } rows[] = {
        {L"\"C:\\Program Files\\Corvane\\Keeper.exe\" /install",
         L"C:\\Program Files\\Corvane\\Keeper.exe"},
        {L"\"C:\\Program Files\\Corvane\\Keeper\" /install",
         L"C:\\Program Files\\Corvane\\Keeper.exe"},
        // Unquoted: the shortest existing prefix wins.
        {L"C:\\Program Files\\Corvane\\Keeper.exe /install", L"C:\\Program.exe"},
        {L"cmd /c exit", L"C:\\Windows\\system32\\cmd.exe"},
        {L"C:\\Tools\\run.com x", L"C:\\Tools\\run.com"},
        {L"C:\\Tools\\run x", L""},  // .exe only is added
        {L"\"C:\\No Such\\x.exe\"", L""},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(p.ResolveApplication(r.commandLine), r.application)
            << "input " << base::ToUtf8(r.commandLine);
    }
}

TEST(SimProcessesTest, ProcessesRunAndAreRecorded) {
    Machine m;
    auto& p = m.processes();
    const std::wstring keeper = L"C:\\Program Files\\Corvane\\Keeper.exe";
    m.files().AddFile(keeper, std::string("MZ"));
    p.RegisterRecordingProgram(keeper, 3);

    platform::StartupOptions startup;
    startup.flags = win::kStartfUseShowWindow;
    startup.showWindow = win::kSwHide;
    platform::ProcessInfo info;
    const std::wstring line = L"\"" + keeper + L"\" /install";
    ASSERT_TRUE(p.CreateProcess(nullptr, line, startup, &info));
    EXPECT_TRUE(info.process);
    EXPECT_TRUE(info.thread);
    EXPECT_NE(info.processId, 0u);
    EXPECT_EQ(p.WaitForSingleObject(info.process, 30000), win::kWaitObject0);
    uint32_t code = 0;
    ASSERT_TRUE(p.GetExitCodeProcess(info.process, &code));
    EXPECT_EQ(code, 3u);
    EXPECT_FALSE(p.GetExitCodeProcess(info.thread, &code));
    EXPECT_EQ(m.system().GetLastError(), win::kErrorInvalidHandle);
    EXPECT_TRUE(p.CloseHandle(info.thread));
    EXPECT_TRUE(p.CloseHandle(info.process));
    EXPECT_EQ(p.RecordedCommandLines(keeper), std::vector<std::wstring>{line});

    // An explicit application name is used as given.
    ASSERT_TRUE(p.CreateProcess(&keeper, L"Keeper /remove", platform::StartupOptions(), &info));
    EXPECT_EQ(p.WaitForSingleObject(info.thread, win::kInfinite), win::kWaitObject0);

    auto starts = p.ProcessStarts();
    ASSERT_EQ(starts.size(), 2u);
    EXPECT_EQ(starts[0].application, keeper);
    EXPECT_EQ(starts[0].commandLine, line);
    EXPECT_EQ(starts[0].startupFlags, win::kStartfUseShowWindow);
    EXPECT_EQ(starts[0].showWindow, win::kSwHide);
    EXPECT_EQ(starts[0].waits, std::vector<uint32_t>{30000});
    EXPECT_EQ(starts[1].commandLine, L"Keeper /remove");
    EXPECT_EQ(starts[1].waits, std::vector<uint32_t>{win::kInfinite});
}

TEST(SimProcessesTest, RunningProcessAndStartFailures) {
    Machine m;
    auto& p = m.processes();
    std::atomic<bool> release{false};
    m.files().AddFile(L"C:\\Slow.exe", std::string("MZ"));
    m.files().AddFile(L"C:\\Data.bin", std::string("data"));
    p.RegisterProgram(L"C:\\Slow.exe", [&](const std::wstring&) {
        while (!release) {
            std::this_thread::yield();
        }
        return 0u;
    });
    platform::ProcessInfo info;
    ASSERT_TRUE(p.CreateProcess(nullptr, L"C:\\Slow.exe", platform::StartupOptions(), &info));
    uint32_t code = 0;
    ASSERT_TRUE(p.GetExitCodeProcess(info.process, &code));
    EXPECT_EQ(code, sim::kStillActive);
    EXPECT_EQ(p.WaitForSingleObject(info.process, 0), win::kWaitTimeout);
    release = true;
    EXPECT_EQ(p.WaitForSingleObject(info.process, win::kInfinite), win::kWaitObject0);
    ASSERT_TRUE(p.GetExitCodeProcess(info.process, &code));
    EXPECT_EQ(code, 0u);

    struct Row {
        const wchar_t* commandLine;
        uint32_t error;
    } rows[] = {
        {L"C:\\Missing.exe", win::kErrorFileNotFound},
        {L"\"C:\\No Folder\\x.exe\" a", win::kErrorFileNotFound},
        {L"C:\\Data.bin", win::kErrorBadExeFormat},  // a file, not a registered program
    };
    for (const auto& r : rows) {
        m.system().SetLastError(0);
        EXPECT_FALSE(p.CreateProcess(nullptr, r.commandLine, platform::StartupOptions(), &info));
        EXPECT_EQ(m.system().GetLastError(), r.error) << base::ToUtf8(r.commandLine);
    }
    p.FailNextProcessStart(win::kErrorAccessDenied);
    EXPECT_FALSE(p.CreateProcess(nullptr, L"C:\\Slow.exe", platform::StartupOptions(), &info));
    EXPECT_EQ(m.system().GetLastError(), win::kErrorAccessDenied);
    EXPECT_EQ(p.ProcessStarts().size(), 1u);

    EXPECT_EQ(p.WaitForSingleObject(platform::KernelHandle(0x7777), 0), win::kWaitFailed);
    EXPECT_EQ(m.system().GetLastError(), win::kErrorInvalidHandle);
}

TEST(SimProcessesTest, LibrariesLoadCallAndFree) {
    Machine m;
    auto& p = m.processes();
    const std::wstring dll = L"C:\\Program Files\\Corvane\\CvShell.dll";
    m.files().AddFile(dll, std::string("MZ"));
    m.files().AddFile(L"C:\\Plain.dll", std::string("MZ"));
    p.RegisterSelfRegisteringLibrary(dll);

    m.system().SetLastError(0);
    EXPECT_FALSE(p.LoadLibrary(L"C:\\Missing.dll"));
    EXPECT_EQ(m.system().GetLastError(), win::kErrorModNotFound);
    EXPECT_FALSE(p.LoadLibrary(L"C:\\Plain.dll"));
    EXPECT_EQ(m.system().GetLastError(), win::kErrorBadExeFormat);

    platform::ModuleHandle module = p.LoadLibrary(dll);
    ASSERT_TRUE(module);
    EXPECT_EQ(p.LoadLibrary(dll), module);  // one more reference to the same module
    EXPECT_EQ(p.GetProcAddress(module, "DllInstall"), 0u);
    EXPECT_EQ(m.system().GetLastError(), win::kErrorProcNotFound);
    platform::ProcAddress proc = p.GetProcAddress(module, "DllRegisterServer");
    ASSERT_NE(proc, 0u);
    EXPECT_EQ(p.CallNoArgumentProc(proc), win::kSOk);
    EXPECT_EQ(p.SelfRegistrations(), std::vector<std::wstring>{dll});
    EXPECT_TRUE(p.FreeLibrary(module));
    EXPECT_TRUE(p.IsLibraryLoaded(dll));
    EXPECT_TRUE(p.FreeLibrary(module));
    EXPECT_FALSE(p.IsLibraryLoaded(dll));
    EXPECT_FALSE(p.FreeLibrary(module));
    EXPECT_EQ(m.system().GetLastError(), win::kErrorModNotFound);
    EXPECT_EQ(p.CallNoArgumentProc(proc), win::kEFail);  // freed: no crash, a failure

    using Kind = SimProcesses::LibraryEventKind;
    auto events = p.LibraryEvents();
    std::vector<Kind> kinds;
    for (const auto& e : events) {
        kinds.push_back(e.kind);
    }
    EXPECT_EQ(kinds, (std::vector<Kind>{Kind::Load, Kind::Load, Kind::GetProc, Kind::GetProc,
                                        Kind::Call, Kind::Free, Kind::Free, Kind::Call}));
    EXPECT_EQ(events[4].name, "DllRegisterServer");
    EXPECT_EQ(events[4].path, dll);
}

TEST(SimProcessesTest, CustomExportsReturnTheirResult) {
    Machine m;
    auto& p = m.processes();
    m.files().AddFile(L"C:\\Windows\\system32\\helper.dll", std::string("MZ"));
    p.RegisterLibrary(L"C:\\Windows\\system32\\helper.dll",
                      {{"DllRegisterServer", [] { return win::kEAccessDenied; }}});
    platform::ModuleHandle module = p.LoadLibrary(L"helper.dll");  // found in system32
    ASSERT_TRUE(module);
    EXPECT_EQ(p.CallNoArgumentProc(p.GetProcAddress(module, "DllRegisterServer")),
              win::kEAccessDenied);
}

TEST(SimProcessesTest, PrivilegesAndShutdown) {
    Machine m;
    auto& p = m.processes();
    struct Row {
        const wchar_t* name;
        bool found;
        uint32_t luid;
    } rows[] = {
        {L"SeShutdownPrivilege", true, 19},
        {L"seshutdownprivilege", true, 19},
        {L"SeBackupPrivilege", true, 17},
        {L"SeNoSuchPrivilege", false, 0},
    };
    for (const auto& r : rows) {
        platform::Luid luid;
        m.system().SetLastError(0);
        EXPECT_EQ(p.LookupPrivilegeValue(r.name, &luid), r.found) << base::ToUtf8(r.name);
        if (r.found) {
            EXPECT_EQ(luid.lowPart, r.luid) << base::ToUtf8(r.name);
        } else {
            EXPECT_EQ(m.system().GetLastError(), win::kErrorNoSuchPrivilege);
        }
    }

    // Not enabled yet: refused, and recorded as refused.
    EXPECT_FALSE(p.ExitWindowsEx(win::kEwxReboot, win::kShtdnReasonMajorSoftware));
    EXPECT_EQ(m.system().GetLastError(), win::kErrorPrivilegeNotHeld);

    platform::KernelHandle token;
    ASSERT_TRUE(p.OpenProcessToken(win::kTokenAdjustPrivileges | win::kTokenQuery, &token));
    platform::Luid shutdown{19, 0};
    ASSERT_TRUE(p.AdjustTokenPrivilege(token, shutdown, win::kSePrivilegeEnabled));
    EXPECT_EQ(m.system().GetLastError(), win::kErrorSuccess);
    EXPECT_TRUE(p.ExitWindowsEx(win::kEwxReboot, win::kShtdnReasonMajorSoftware));
    EXPECT_TRUE(p.CloseHandle(token));
    EXPECT_FALSE(p.AdjustTokenPrivilege(token, shutdown, win::kSePrivilegeEnabled));
    EXPECT_EQ(m.system().GetLastError(), win::kErrorInvalidHandle);

    auto requests = p.ShutdownRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_TRUE(requests[0].refused);
    EXPECT_FALSE(requests[1].refused);
    EXPECT_EQ(requests[1].flags, win::kEwxReboot);
    EXPECT_EQ(requests[1].reason, win::kShtdnReasonMajorSoftware);
}

TEST(SimProcessesTest, TokenWithoutThePrivilegeOrAccess) {
    Machine m;
    auto& p = m.processes();
    p.SetTokenPrivilege(19, false);
    platform::KernelHandle token;
    ASSERT_TRUE(p.OpenProcessToken(win::kTokenAdjustPrivileges, &token));
    // Succeeds, but says the privilege was not assigned.
    EXPECT_TRUE(p.AdjustTokenPrivilege(token, platform::Luid{19, 0}, win::kSePrivilegeEnabled));
    EXPECT_EQ(m.system().GetLastError(), win::kErrorNotAllAssigned);
    EXPECT_FALSE(p.ExitWindowsEx(win::kEwxShutdown, 0));
    EXPECT_TRUE(p.ExitWindowsEx(win::kEwxLogoff, 0));  // logging off needs no privilege

    platform::KernelHandle queryOnly;
    ASSERT_TRUE(p.OpenProcessToken(win::kTokenQuery, &queryOnly));
    EXPECT_FALSE(p.AdjustTokenPrivilege(queryOnly, platform::Luid{19, 0}, 2));
    EXPECT_EQ(m.system().GetLastError(), win::kErrorAccessDenied);

    p.FailOpenProcessToken(win::kErrorAccessDenied);
    EXPECT_FALSE(p.OpenProcessToken(win::kTokenAdjustPrivileges, &token));
    EXPECT_EQ(m.system().GetLastError(), win::kErrorAccessDenied);
}

}  // namespace
