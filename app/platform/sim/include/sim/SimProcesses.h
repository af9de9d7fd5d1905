// Simulated processes of sim::Machine: named mutexes, the top-level windows of other
// programs, child processes run by stand-in functions, libraries with stand-in exports,
// the process token and shutdown requests.
//
// Stand-in programs and window handlers are test code: they run without the machine's
// lock held, so they may call the ports themselves and may block.
#pragma once

#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "sim/Common.h"

namespace sim {

class Machine;

class SimProcesses : public platform::Processes {
public:
    using WindowHandler =
        std::function<intptr_t(uint32_t message, uintptr_t wParam, intptr_t lParam)>;
    using Program = std::function<uint32_t(const std::wstring& commandLine)>;
    using Export = std::function<int32_t()>;

    struct Message {
        WindowHandle window;
        uint32_t message = 0;
        uintptr_t wParam = 0;
        intptr_t lParam = 0;
        bool posted = false;  // PostMessage rather than SendMessage
    };
    struct ProcessStart {
        std::wstring application;  // the resolved program path
        std::wstring commandLine;
        uint32_t startupFlags = 0;
        int showWindow = 0;
        std::wstring currentDirectory;  // as given; empty: the caller's
        uint32_t processId = 0;
        std::vector<uint32_t> waits;  // timeouts of the waits on its handles, in order
    };
    enum class LibraryEventKind { Load, GetProc, Call, Free };
    struct LibraryEvent {
        LibraryEventKind kind = LibraryEventKind::Load;
        std::wstring path;   // the library's registered path
        std::string name;    // the export, for GetProc and Call
        int32_t result = 0;  // the export's result, for Call
    };
    struct ShutdownRequest {
        uint32_t flags = 0;
        uint32_t reason = 0;
        bool refused = false;  // failed for lack of the shutdown privilege
    };

    explicit SimProcesses(Machine& machine);
    ~SimProcesses() override;
    // Puts the default machine's state in place (called once by Machine's constructor).
    void InstallDefaults();
    // Waits for every stand-in program still running (Machine's destructor); returns how
    // many it waited for.
    size_t JoinAllPrograms();

    // --- Mutexes ---
    // A mutex that another process holds (it exists before the program runs).
    void AddForeignMutex(const std::wstring& name);
    void RemoveForeignMutex(const std::wstring& name);
    // CreateMutex of |name| fails with |error| (0 = succeed again).
    void FailMutex(const std::wstring& name, uint32_t error);
    bool MutexExists(const std::wstring& name);
    // Handles the program holds open on |name|.
    int MutexHandleCount(const std::wstring& name);

    // --- Windows ---
    // A top-level window of another program (or of the dialog manager). The handler, if
    // any, answers SendMessage; without one SendMessage returns 0.
    WindowHandle AddWindow(const std::wstring& title, const std::wstring& className,
                           WindowHandler handler = nullptr);
    void SetWindowHandler(WindowHandle window, WindowHandler handler);
    void RemoveWindow(WindowHandle window);
    bool WindowExists(WindowHandle window);
    // Messages sent or posted to |window|, in order.
    std::vector<Message> Messages(WindowHandle window);
    // Hands the messages posted to |window| and not yet delivered to its handler, in
    // order; returns how many were delivered.
    size_t DeliverPostedMessages(WindowHandle window);

    // --- Child processes ---
    // A stand-in for the program at |path| (which must also exist as a file for a start
    // to succeed). It runs on its own thread; its result is the exit code.
    void RegisterProgram(const std::wstring& path, Program program);
    // A stand-in that only records its command line and exits with |exitCode|.
    void RegisterRecordingProgram(const std::wstring& path, uint32_t exitCode = 0);
    // Command lines the recording stand-in at |path| received, in order.
    std::vector<std::wstring> RecordedCommandLines(const std::wstring& path);
    // The next CreateProcess fails with |error| (once).
    void FailNextProcessStart(uint32_t error);
    std::vector<ProcessStart> ProcessStarts();

    // --- Libraries ---
    void RegisterLibrary(const std::wstring& path, std::map<std::string, Export> exports);
    // A library whose DllRegisterServer records the call and returns |result|.
    void RegisterSelfRegisteringLibrary(const std::wstring& path, int32_t result = win::kSOk);
    // Libraries whose DllRegisterServer ran, in order of the calls.
    std::vector<std::wstring> SelfRegistrations();
    std::vector<LibraryEvent> LibraryEvents();
    bool IsLibraryLoaded(const std::wstring& path);
    // The libraries that the library at |path| imports, by file name. Loading it searches
    // each of them in the folders that the load's flags and the process's DLL search
    // restriction (SimSystem) name, and fails with kErrorModNotFound when one is missing:
    //   kLoadLibrarySearch* flags   the library's folder (DllLoadDir), the program's folder
    //                               (ApplicationDir), the system folder (System32)
    //   kLoadWithAlteredSearchPath  the library's folder, the system and Windows folders
    //   neither                     the program's folder, the system and Windows folders,
    //                               or only the system folder once SetDefaultDllDirectories
    //                               has taken effect
    // and, unless a restriction has taken effect, the current folder last. A dependency
    // need only exist as a file.
    void SetLibraryDependencies(const std::wstring& path, std::vector<std::wstring> names);
    // Where loads found the dependencies, in order.
    std::vector<std::wstring> DependencyLoads();

    // --- Token and shutdown ---
    // OpenProcessToken fails with |error| (0 = succeed again).
    void FailOpenProcessToken(uint32_t error);
    // Whether the process token holds the privilege (the default token holds
    // SeShutdownPrivilege and SeChangeNotifyPrivilege, the latter enabled).
    void SetTokenPrivilege(uint32_t luid, bool held);
    bool PrivilegeEnabled(uint32_t luid);
    std::vector<ShutdownRequest> ShutdownRequests();

    // --- The port ---
    KernelHandle CreateMutex(const std::wstring& name, bool initialOwner) override;
    bool CloseHandle(KernelHandle handle) override;
    WindowHandle FindWindow(const std::wstring* className, const std::wstring& title) override;
    intptr_t SendMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                         intptr_t lParam) override;
    bool PostMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                     intptr_t lParam) override;
    bool CreateProcess(const std::wstring* application, const std::wstring& commandLine,
                       const StartupOptions& startup, ProcessInfo* info) override;
    uint32_t WaitForSingleObject(KernelHandle handle, uint32_t milliseconds) override;
    bool GetExitCodeProcess(KernelHandle process, uint32_t* exitCode) override;
    ModuleHandle LoadLibrary(const std::wstring& path) override;
    ModuleHandle LoadLibraryEx(const std::wstring& path, uint32_t flags) override;
    bool LibrarySearchFlagsAvailable() override;
    ProcAddress GetProcAddress(ModuleHandle module, const std::string& name) override;
    int32_t CallNoArgumentProc(ProcAddress proc) override;
    bool FreeLibrary(ModuleHandle module) override;
    bool OpenProcessToken(uint32_t access, KernelHandle* token) override;
    bool LookupPrivilegeValue(const std::wstring& name, Luid* luid) override;
    bool AdjustTokenPrivilege(KernelHandle token, const Luid& luid, uint32_t attributes) override;
    bool ExitWindowsEx(uint32_t flags, uint32_t reason) override;

    // The program path CreateProcess would run for |commandLine| (no application name),
    // empty when none is found. Follows CreateProcessW's documented search.
    std::wstring ResolveApplication(const std::wstring& commandLine);

private:
    struct Mutex {
        bool foreign = false;
        int handles = 0;
    };
    struct RunningProgram {
        std::thread thread;
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        uint32_t exitCode = 259;
        size_t recordIndex = 0;  // into starts_
    };
    enum class HandleKind { Mutex, Process, ProcessThread, Token };
    struct HandleEntry {
        HandleKind kind = HandleKind::Mutex;
        std::wstring mutexName;
        std::shared_ptr<RunningProgram> program;
        uint32_t access = 0;
    };
    struct Window {
        std::wstring title;
        std::wstring className;
        std::shared_ptr<WindowHandler> handler;
        std::vector<Message> messages;
        std::vector<Message> pending;  // posted, not delivered yet
    };
    struct Library {
        std::wstring path;
        std::map<std::string, Export> exports;
        std::vector<std::wstring> dependencies;
    };
    struct LoadedModule {
        std::wstring key;  // into libraries_
        int references = 0;
    };
    struct Proc {
        std::wstring libraryKey;
        std::string name;
        std::uintptr_t module = 0;
    };

    bool FindProgramFile(const std::wstring& candidate, std::wstring* found);
    std::wstring ResolveLibraryPath(const std::wstring& path);
    ModuleHandle Load(const std::wstring& path, uint32_t flags);
    // The folders searched for the dependencies of the library at |resolved|.
    std::vector<std::wstring> DependencyFolders(const std::wstring& resolved, uint32_t flags);

    Machine& machine_;
    // Mutexes by name (case-sensitive, as in the object namespace).
    std::map<std::wstring, Mutex> mutexes_;
    std::map<std::wstring, uint32_t> mutexFailures_;
    std::map<std::uintptr_t, HandleEntry> handles_;
    // Windows by handle; |windowOrder_| lists them newest first (the Z order FindWindow
    // walks).
    std::map<std::uintptr_t, Window> windows_;
    std::vector<std::uintptr_t> windowOrder_;
    // Programs and libraries by lower-cased path.
    std::map<std::wstring, std::shared_ptr<Program>> programs_;
    std::map<std::wstring, std::vector<std::wstring>> recordedCommandLines_;
    uint32_t nextProcessStartError_ = 0;
    uint32_t nextProcessId_ = 0x1000;
    std::vector<ProcessStart> starts_;
    std::vector<std::shared_ptr<RunningProgram>> allPrograms_;
    std::map<std::wstring, Library> libraries_;
    std::map<std::uintptr_t, LoadedModule> modules_;
    std::map<std::uintptr_t, Proc> procs_;
    std::vector<LibraryEvent> libraryEvents_;
    std::vector<std::wstring> selfRegistrations_;
    std::vector<std::wstring> dependencyLoads_;
    uint32_t openTokenError_ = 0;
    std::set<uint32_t> heldPrivileges_;
    std::set<uint32_t> enabledPrivileges_;
    std::vector<ShutdownRequest> shutdownRequests_;
};

}  // namespace sim
