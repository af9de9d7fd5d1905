// Processes: named mutexes, windows of other threads, child processes, libraries and the
// shutdown privilege. ExitWindowsEx itself is never called.
#include "Conformance.h"
#include "base/Text.h"

namespace conf {
namespace {

class ProcessesTable : public ConformanceTest {};

TEST_F(ProcessesTable, Mutexes) {
    platform::Processes& p = P().processes;
    const std::wstring mine = UniqueName(L"mutex");
    const std::wstring foreign = UniqueName(L"foreign mutex");
    ASSERT_TRUE(E().HoldForeignMutex(foreign));

    struct Row {
        const char* name;
        const std::wstring* mutexName;
        const char* expected;
    };
    std::vector<platform::KernelHandle> handles;
    const Row rows[] = {
        {"first CreateMutex of a new name", &mine, "handle=1 err=0"},
        {"second CreateMutex of the same name", &mine, "handle=1 err=183"},
        {"CreateMutex of a name another owner holds", &foreign, "handle=1 err=183"},
    };
    for (const Row& row : rows) {
        ArmLastError();
        platform::KernelHandle h = p.CreateMutex(*row.mutexName, false);
        const uint32_t err = LastError();
        handles.push_back(h);
        Check(row.name, Out().Add("handle", static_cast<bool>(h)).Add("err", err).str(),
              row.expected);
    }
    bool distinct = handles[0] != handles[1];
    for (auto h : handles) {
        if (h)
            p.CloseHandle(h);
    }
    Check("the second CreateMutex gives its own handle", Out().Add("distinct", distinct).str(),
          "distinct=1");
}

TEST_F(ProcessesTable, Windows) {
    platform::Processes& p = P().processes;
    const std::wstring title = UniqueName(L"window");
    ASSERT_TRUE(E().CreateRecordingWindow(title, 4321));

    platform::WindowHandle w = p.FindWindow(nullptr, title);
    const intptr_t reply = w ? p.SendMessage(w, win::kWmUser + 1, 5, 6) : -1;
    bool received = false;
    for (const Message& m : E().RecordedMessages()) {
        if (m.message == win::kWmUser + 1 && m.wParam == 5 && m.lParam == 6)
            received = true;
    }
    Check("FindWindow by title, then SendMessage",
          Out()
              .Add("found", static_cast<bool>(w))
              .Add("reply", static_cast<int64_t>(reply))
              .Add("received", received)
              .str(),
          "found=1 reply=4321 received=1");

    const std::wstring missing = UniqueName(L"no such window");
    Check("FindWindow of a missing title",
          Out().Add("found", static_cast<bool>(p.FindWindow(nullptr, missing))).str(), "found=0");
}

TEST_F(ProcessesTable, ChildProcesses) {
    platform::Processes& p = P().processes;
    const std::wstring program = InFolder(L"standin.exe");
    ASSERT_TRUE(E().InstallStandIn(program, 7));

    struct Row {
        const char* name;
        std::wstring commandLine;
        bool withApplication;
        std::wstring currentDirectory;  // empty: the caller's
        const char* expected;
    };
    const Row rows[] = {
        {"quoted program path and arguments", L"\"" + program + L"\" alpha \"b c\" \\\"d", false,
         L"", "ok=1 wait=0 exit=7 seen=1"},
        {"application name given, command line without the program", L"x.exe /S /D=C:\\Dir", true,
         L"", "ok=1 wait=0 exit=7 seen=1"},
        {"started in a folder of its own", L"\"" + program + L"\" /install", false, Folder(),
         "ok=1 wait=0 exit=7 seen=1"},
        // ERROR_DIRECTORY: the folder to start in does not exist.
        {"started in a folder that does not exist", L"\"" + program + L"\" /install", false,
         InFolder(L"no-such-folder"), "ok=0 err=267"},
    };
    for (const Row& row : rows) {
        platform::ProcessInfo info;
        platform::StartupOptions startup;
        startup.flags = win::kStartfUseShowWindow;
        startup.showWindow = win::kSwHide;
        startup.currentDirectory = row.currentDirectory;
        ArmLastError();
        const bool ok = p.CreateProcess(row.withApplication ? &program : nullptr, row.commandLine,
                                        startup, &info);
        Out out;
        out.Add("ok", ok);
        if (!ok)
            out.Add("err", LastError());
        if (ok) {
            const uint32_t wait = p.WaitForSingleObject(info.process, 30000);
            uint32_t exitCode = 0xFFFF;
            p.GetExitCodeProcess(info.process, &exitCode);
            p.CloseHandle(info.thread);
            p.CloseHandle(info.process);
            std::wstring seen;
            const bool ran = E().StandInCommandLine(program, &seen);
            out.Add("wait", wait).Add("exit", exitCode).Add("seen", ran && seen == row.commandLine);
            if (ran && seen != row.commandLine) {
                std::printf("  the program saw %s\n", Quote(seen).c_str());
            }
        }
        Check(std::string("CreateProcess: ") + row.name, out.str(), row.expected);
    }

    platform::ProcessInfo info;
    ArmLastError();
    const bool ok = p.CreateProcess(nullptr, L"\"" + InFolder(L"missing.exe") + L"\" /x",
                                    platform::StartupOptions(), &info);
    Check("CreateProcess of a program that does not exist",
          Out().Add("ok", ok).Add("err", LastError()).str(), "ok=0 err=2");
}

TEST_F(ProcessesTable, Libraries) {
    platform::Processes& p = P().processes;
    const std::wstring library = InFolder(L"register.dll");
    ASSERT_TRUE(E().InstallRegisterLibrary(library));

    platform::ModuleHandle module = p.LoadLibrary(library);
    Out loaded;
    loaded.Add("module", static_cast<bool>(module));
    if (module) {
        const platform::ProcAddress proc = p.GetProcAddress(module, "DllRegisterServer");
        loaded.Add("export", proc != 0);
        if (proc != 0) {
            loaded.Hex("hr", static_cast<uint32_t>(p.CallNoArgumentProc(proc)));
        }
        loaded.Add("registered", E().LibraryRegistered(library));

        ArmLastError();
        const platform::ProcAddress missing = p.GetProcAddress(module, "NoSuchExport");
        Check("GetProcAddress of a missing export",
              Out().Add("found", missing != 0).Add("err", LastError()).str(), "found=0 err=127");
        loaded.Add("freed", p.FreeLibrary(module));
    }
    Check("LoadLibrary, then DllRegisterServer called", loaded.str(),
          "module=1 export=1 hr=00000000 registered=1 freed=1");

    ArmLastError();
    const platform::ModuleHandle none = p.LoadLibrary(InFolder(L"missing.dll"));
    Check("LoadLibrary of a missing file",
          Out().Add("module", static_cast<bool>(none)).Add("err", LastError()).str(),
          "module=0 err=126");
}

TEST_F(ProcessesTable, ShutdownPrivilege) {
    platform::Processes& p = P().processes;
    platform::KernelHandle token;
    const bool opened = p.OpenProcessToken(win::kTokenAdjustPrivileges | win::kTokenQuery, &token);
    platform::Luid luid;
    const bool found = p.LookupPrivilegeValue(L"SeShutdownPrivilege", &luid);
    bool adjusted = false;
    uint32_t err = 0xFFFF;
    if (opened && found) {
        ArmLastError();
        adjusted = p.AdjustTokenPrivilege(token, luid, win::kSePrivilegeEnabled);
        err = LastError();
    }
    if (opened)
        p.CloseHandle(token);
    // SE_SHUTDOWN_PRIVILEGE is LUID 19; a successful AdjustTokenPrivileges sets the
    // last-error value to ERROR_SUCCESS when every privilege was assigned.
    Check("OpenProcessToken, LookupPrivilegeValue(SeShutdownPrivilege), AdjustTokenPrivileges",
          Out()
              .Add("opened", opened)
              .Add("found", found)
              .Add("luid", luid.lowPart)
              .Add("high", luid.highPart)
              .Add("adjusted", adjusted)
              .Add("err", err)
              .str(),
          "opened=1 found=1 luid=19 high=0 adjusted=1 err=0");

    platform::Luid none;
    ArmLastError();
    const bool bogus = p.LookupPrivilegeValue(L"SeNoSuchPrivilege", &none);
    Check("LookupPrivilegeValue of an unknown name",
          Out().Add("found", bogus).Add("err", LastError()).str(), "found=0 err=1313");
}

}  // namespace
}  // namespace conf
