#include "sim/SimProcesses.h"

#include <chrono>

#include "SimSysFileAccess.h"
#include "base/Text.h"
#include "sim/Machine.h"

namespace sim {

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

constexpr uint32_t kShutdownPrivilege = 19;
constexpr uint32_t kChangeNotifyPrivilege = 23;
constexpr uint32_t kSePrivilegeRemoved = 0x00000004;

// The privileges' locally unique ids as Windows assigns them (winnt.h SE_*_PRIVILEGE).
struct PrivilegeName {
    const wchar_t* name;
    uint32_t luid;
};
const PrivilegeName kPrivileges[] = {
    {L"SeCreateTokenPrivilege", 2},
    {L"SeAssignPrimaryTokenPrivilege", 3},
    {L"SeLockMemoryPrivilege", 4},
    {L"SeIncreaseQuotaPrivilege", 5},
    {L"SeMachineAccountPrivilege", 6},
    {L"SeTcbPrivilege", 7},
    {L"SeSecurityPrivilege", 8},
    {L"SeTakeOwnershipPrivilege", 9},
    {L"SeLoadDriverPrivilege", 10},
    {L"SeSystemProfilePrivilege", 11},
    {L"SeSystemtimePrivilege", 12},
    {L"SeProfileSingleProcessPrivilege", 13},
    {L"SeIncreaseBasePriorityPrivilege", 14},
    {L"SeCreatePagefilePrivilege", 15},
    {L"SeCreatePermanentPrivilege", 16},
    {L"SeBackupPrivilege", 17},
    {L"SeRestorePrivilege", 18},
    {L"SeShutdownPrivilege", 19},
    {L"SeDebugPrivilege", 20},
    {L"SeAuditPrivilege", 21},
    {L"SeSystemEnvironmentPrivilege", 22},
    {L"SeChangeNotifyPrivilege", 23},
    {L"SeRemoteShutdownPrivilege", 24},
    {L"SeUndockPrivilege", 25},
    {L"SeSyncAgentPrivilege", 26},
    {L"SeEnableDelegationPrivilege", 27},
    {L"SeManageVolumePrivilege", 28},
    {L"SeImpersonatePrivilege", 29},
    {L"SeCreateGlobalPrivilege", 30},
};

std::wstring Key(const std::wstring& path) {
    return base::ToLower(path);
}

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

// "Local\" names the session's namespace, which is where an unprefixed name lives too.
std::wstring MutexKey(const std::wstring& name) {
    static const std::wstring kLocal = L"Local\\";
    if (name.compare(0, kLocal.size(), kLocal) == 0) {
        return name.substr(kLocal.size());
    }
    return name;
}

}  // namespace

SimProcesses::SimProcesses(Machine& machine) : machine_(machine) {}

SimProcesses::~SimProcesses() {
    JoinAllPrograms();
}

void SimProcesses::InstallDefaults() {
    Guard guard(machine_.Lock());
    heldPrivileges_ = {kShutdownPrivilege, kChangeNotifyPrivilege};
    enabledPrivileges_ = {kChangeNotifyPrivilege};
}

size_t SimProcesses::JoinAllPrograms() {
    std::vector<std::shared_ptr<RunningProgram>> programs;
    {
        Guard guard(machine_.Lock());
        programs.swap(allPrograms_);
    }
    for (auto& program : programs) {
        if (!program->thread.joinable()) {
            continue;
        }
        if (program->thread.get_id() == std::this_thread::get_id()) {
            program->thread.detach();
        } else {
            program->thread.join();
        }
    }
    return programs.size();
}

// --- Mutexes ---

void SimProcesses::AddForeignMutex(const std::wstring& name) {
    Guard guard(machine_.Lock());
    mutexes_[MutexKey(name)].foreign = true;
}

void SimProcesses::RemoveForeignMutex(const std::wstring& name) {
    Guard guard(machine_.Lock());
    auto it = mutexes_.find(MutexKey(name));
    if (it == mutexes_.end()) {
        return;
    }
    it->second.foreign = false;
    if (it->second.handles == 0) {
        mutexes_.erase(it);
    }
}

void SimProcesses::FailMutex(const std::wstring& name, uint32_t error) {
    Guard guard(machine_.Lock());
    if (error == 0) {
        mutexFailures_.erase(MutexKey(name));
    } else {
        mutexFailures_[MutexKey(name)] = error;
    }
}

bool SimProcesses::MutexExists(const std::wstring& name) {
    Guard guard(machine_.Lock());
    return mutexes_.count(MutexKey(name)) != 0;
}

int SimProcesses::MutexHandleCount(const std::wstring& name) {
    Guard guard(machine_.Lock());
    auto it = mutexes_.find(MutexKey(name));
    return it == mutexes_.end() ? 0 : it->second.handles;
}

KernelHandle SimProcesses::CreateMutex(const std::wstring& name, bool initialOwner) {
    (void)initialOwner;  // ownership is not modelled: nobody else waits on our mutexes
    Guard guard(machine_.Lock());
    std::wstring key = MutexKey(name);
    auto failure = mutexFailures_.find(key);
    if (failure != mutexFailures_.end()) {
        machine_.SetLastError(failure->second);
        return KernelHandle();
    }
    KernelHandle handle(machine_.NewHandleValue());
    HandleEntry entry;
    entry.kind = HandleKind::Mutex;
    if (name.empty()) {
        // An unnamed mutex is always new and private to its handle.
        handles_[handle.value] = entry;
        machine_.SetLastError(win::kErrorSuccess);
        return handle;
    }
    entry.mutexName = key;
    handles_[handle.value] = entry;
    auto inserted = mutexes_.emplace(key, Mutex());
    inserted.first->second.handles++;
    machine_.SetLastError(inserted.second ? win::kErrorSuccess : win::kErrorAlreadyExists);
    return handle;
}

bool SimProcesses::CloseHandle(KernelHandle handle) {
    {
        Guard guard(machine_.Lock());
        auto it = handles_.find(handle.value);
        if (it != handles_.end()) {
            if (it->second.kind == HandleKind::Mutex && !it->second.mutexName.empty()) {
                auto mutex = mutexes_.find(it->second.mutexName);
                if (mutex != mutexes_.end() && --mutex->second.handles <= 0 &&
                    !mutex->second.foreign) {
                    mutexes_.erase(mutex);
                }
            }
            // A process whose handles are all closed goes on running; the machine joins
            // it at the end.
            handles_.erase(it);
            return true;
        }
        if (!machine_.system().IsThreadHandle(handle)) {
            machine_.SetLastError(win::kErrorInvalidHandle);
            return false;
        }
    }
    return machine_.system().CloseThread(handle);
}

// --- Windows ---

WindowHandle SimProcesses::AddWindow(const std::wstring& title, const std::wstring& className,
                                     WindowHandler handler) {
    Guard guard(machine_.Lock());
    WindowHandle handle(machine_.NewHandleValue());
    Window& window = windows_[handle.value];
    window.title = title;
    window.className = className;
    if (handler) {
        window.handler = std::make_shared<WindowHandler>(std::move(handler));
    }
    windowOrder_.insert(windowOrder_.begin(), handle.value);
    return handle;
}

void SimProcesses::SetWindowHandler(WindowHandle window, WindowHandler handler) {
    Guard guard(machine_.Lock());
    auto it = windows_.find(window.value);
    if (it != windows_.end()) {
        it->second.handler =
            handler ? std::make_shared<WindowHandler>(std::move(handler)) : nullptr;
    }
}

void SimProcesses::RemoveWindow(WindowHandle window) {
    Guard guard(machine_.Lock());
    windows_.erase(window.value);
    for (auto it = windowOrder_.begin(); it != windowOrder_.end(); ++it) {
        if (*it == window.value) {
            windowOrder_.erase(it);
            break;
        }
    }
}

bool SimProcesses::WindowExists(WindowHandle window) {
    Guard guard(machine_.Lock());
    return windows_.count(window.value) != 0;
}

std::vector<SimProcesses::Message> SimProcesses::Messages(WindowHandle window) {
    Guard guard(machine_.Lock());
    auto it = windows_.find(window.value);
    return it == windows_.end() ? std::vector<Message>() : it->second.messages;
}

size_t SimProcesses::DeliverPostedMessages(WindowHandle window) {
    size_t delivered = 0;
    for (;;) {
        Message message;
        std::shared_ptr<WindowHandler> handler;
        {
            Guard guard(machine_.Lock());
            auto it = windows_.find(window.value);
            if (it == windows_.end() || it->second.pending.empty()) {
                return delivered;
            }
            message = it->second.pending.front();
            it->second.pending.erase(it->second.pending.begin());
            handler = it->second.handler;
        }
        if (handler) {
            (*handler)(message.message, message.wParam, message.lParam);
        }
        ++delivered;
    }
}

WindowHandle SimProcesses::FindWindow(const std::wstring* className, const std::wstring& title) {
    Guard guard(machine_.Lock());
    // Titles and class names compare without regard to case.
    for (std::uintptr_t value : windowOrder_) {
        const Window& window = windows_[value];
        if (!base::EqualsNoCase(window.title, title)) {
            continue;
        }
        if (className != nullptr && !base::EqualsNoCase(window.className, *className)) {
            continue;
        }
        return WindowHandle(value);
    }
    return WindowHandle();
}

intptr_t SimProcesses::SendMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                                   intptr_t lParam) {
    std::shared_ptr<WindowHandler> handler;
    {
        Guard guard(machine_.Lock());
        auto it = windows_.find(window.value);
        if (it == windows_.end()) {
            machine_.SetLastError(win::kErrorInvalidWindowHandle);
            return 0;
        }
        it->second.messages.push_back({window, message, wParam, lParam, false});
        handler = it->second.handler;
    }
    return handler ? (*handler)(message, wParam, lParam) : 0;
}

bool SimProcesses::PostMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                               intptr_t lParam) {
    Guard guard(machine_.Lock());
    auto it = windows_.find(window.value);
    if (it == windows_.end()) {
        machine_.SetLastError(win::kErrorInvalidWindowHandle);
        return false;
    }
    Message posted{window, message, wParam, lParam, true};
    it->second.messages.push_back(posted);
    it->second.pending.push_back(posted);
    return true;
}

// --- Child processes ---

void SimProcesses::RegisterProgram(const std::wstring& path, Program program) {
    Guard guard(machine_.Lock());
    programs_[Key(path)] = std::make_shared<Program>(std::move(program));
}

void SimProcesses::RegisterRecordingProgram(const std::wstring& path, uint32_t exitCode) {
    std::wstring key = Key(path);
    RegisterProgram(path, [this, key, exitCode](const std::wstring& commandLine) {
        Guard guard(machine_.Lock());
        recordedCommandLines_[key].push_back(commandLine);
        return exitCode;
    });
}

std::vector<std::wstring> SimProcesses::RecordedCommandLines(const std::wstring& path) {
    Guard guard(machine_.Lock());
    auto it = recordedCommandLines_.find(Key(path));
    return it == recordedCommandLines_.end() ? std::vector<std::wstring>() : it->second;
}

void SimProcesses::FailNextProcessStart(uint32_t error) {
    Guard guard(machine_.Lock());
    nextProcessStartError_ = error;
}

std::vector<SimProcesses::ProcessStart> SimProcesses::ProcessStarts() {
    Guard guard(machine_.Lock());
    return starts_;
}

bool SimProcesses::FindProgramFile(const std::wstring& candidate, std::wstring* found) {
    if (candidate.empty()) {
        return false;
    }
    std::wstring name = candidate;
    size_t slash = name.find_last_of(L"\\/");
    std::wstring fileName = slash == std::wstring::npos ? name : name.substr(slash + 1);
    if (fileName.empty()) {
        return false;
    }
    // No extension: ".exe" is tried. A name ending in a period means "no extension".
    if (fileName.find(L'.') == std::wstring::npos) {
        name += L".exe";
    }
    if (slash != std::wstring::npos || name.find(L':') != std::wstring::npos) {
        if (sysfiles::IsFile(machine_, name)) {
            *found = name;
            return true;
        }
        return false;
    }
    // A bare name: the program's own folder, the system folder, the Windows folder.
    std::vector<std::wstring> folders;
    std::wstring module = sysfiles::ModulePath(machine_);
    if (!module.empty()) {
        folders.push_back(sysfiles::ParentFolder(module));
    }
    folders.push_back(machine_.system().SystemFolder());
    folders.push_back(machine_.system().WindowsFolder());
    for (std::wstring folder : folders) {
        if (folder.empty()) {
            continue;
        }
        if (folder.back() != L'\\') {
            folder += L'\\';
        }
        if (sysfiles::IsFile(machine_, folder + name)) {
            *found = folder + name;
            return true;
        }
    }
    return false;
}

std::wstring SimProcesses::ResolveApplication(const std::wstring& commandLine) {
    Guard guard(machine_.Lock());
    size_t start = 0;
    while (start < commandLine.size() && IsBlank(commandLine[start])) {
        ++start;
    }
    std::wstring found;
    if (start < commandLine.size() && commandLine[start] == L'"') {
        size_t close = commandLine.find(L'"', start + 1);
        std::wstring name = commandLine.substr(
            start + 1, close == std::wstring::npos ? std::wstring::npos : close - start - 1);
        return FindProgramFile(name, &found) ? found : std::wstring();
    }
    // Unquoted: "C:\Program Files\My App\app.exe x" tries "C:\Program", then
    // "C:\Program Files\My", then "C:\Program Files\My App\app.exe", then the whole line,
    // each with ".exe" added when it has no extension.
    size_t from = start;
    for (;;) {
        size_t blank = from;
        while (blank < commandLine.size() && !IsBlank(commandLine[blank])) {
            ++blank;
        }
        if (FindProgramFile(commandLine.substr(start, blank - start), &found)) {
            return found;
        }
        if (blank >= commandLine.size()) {
            break;
        }
        from = blank + 1;
    }
    return std::wstring();
}

bool SimProcesses::CreateProcess(const std::wstring* application, const std::wstring& commandLine,
                                 const StartupOptions& startup, ProcessInfo* info) {
    std::shared_ptr<RunningProgram> running;
    std::shared_ptr<Program> program;
    std::wstring line;
    {
        Guard guard(machine_.Lock());
        if (nextProcessStartError_ != 0) {
            machine_.SetLastError(nextProcessStartError_);
            nextProcessStartError_ = 0;
            return false;
        }
        std::wstring path;
        if (application != nullptr) {
            // No search and no default extension for an explicit application name.
            if (!sysfiles::IsFile(machine_, *application)) {
                machine_.SetLastError(win::kErrorFileNotFound);
                return false;
            }
            path = *application;
        } else {
            path = ResolveApplication(commandLine);
            if (path.empty()) {
                machine_.SetLastError(win::kErrorFileNotFound);
                return false;
            }
        }
        auto registered = programs_.find(Key(path));
        if (registered == programs_.end()) {
            machine_.SetLastError(win::kErrorBadExeFormat);
            return false;
        }
        if (!startup.currentDirectory.empty() &&
            !sysfiles::IsFolder(machine_, startup.currentDirectory)) {
            machine_.SetLastError(win::kErrorDirectory);
            return false;
        }
        program = registered->second;
        line = commandLine.empty() && application != nullptr ? *application : commandLine;

        running = std::make_shared<RunningProgram>();
        running->recordIndex = starts_.size();
        ProcessStart start;
        start.application = path;
        start.commandLine = line;
        start.startupFlags = startup.flags;
        start.showWindow = startup.showWindow;
        start.currentDirectory = startup.currentDirectory;
        start.processId = nextProcessId_;
        nextProcessId_ += 4;
        starts_.push_back(start);
        allPrograms_.push_back(running);

        KernelHandle process(machine_.NewHandleValue());
        KernelHandle thread(machine_.NewHandleValue());
        HandleEntry entry;
        entry.program = running;
        entry.kind = HandleKind::Process;
        handles_[process.value] = entry;
        entry.kind = HandleKind::ProcessThread;
        handles_[thread.value] = entry;
        info->process = process;
        info->thread = thread;
        info->processId = start.processId;

        // The stand-in runs on its own thread, without the machine's lock.
        std::weak_ptr<RunningProgram> weak = running;
        running->thread = std::thread([weak, program, line]() {
            uint32_t exitCode = (*program)(line);
            if (auto self = weak.lock()) {
                std::lock_guard<std::mutex> stateGuard(self->mutex);
                self->exitCode = exitCode;
                self->finished = true;
                self->done.notify_all();
            }
        });
    }
    return true;
}

uint32_t SimProcesses::WaitForSingleObject(KernelHandle handle, uint32_t milliseconds) {
    std::shared_ptr<RunningProgram> program;
    {
        Guard guard(machine_.Lock());
        auto it = handles_.find(handle.value);
        if (it == handles_.end()) {
            if (!machine_.system().IsThreadHandle(handle)) {
                machine_.SetLastError(win::kErrorInvalidHandle);
                return win::kWaitFailed;
            }
        } else {
            switch (it->second.kind) {
                case HandleKind::Mutex: {
                    // Another process's mutex is never released here.
                    auto mutex = mutexes_.find(it->second.mutexName);
                    bool foreign = mutex != mutexes_.end() && mutex->second.foreign;
                    return foreign ? win::kWaitTimeout : win::kWaitObject0;
                }
                case HandleKind::Token:
                    machine_.SetLastError(win::kErrorInvalidHandle);
                    return win::kWaitFailed;
                case HandleKind::Process:
                case HandleKind::ProcessThread:
                    program = it->second.program;
                    starts_[program->recordIndex].waits.push_back(milliseconds);
                    break;
            }
        }
    }
    if (!program) {
        return machine_.system().WaitForThread(handle, milliseconds);
    }
    std::unique_lock<std::mutex> stateLock(program->mutex);
    if (milliseconds == win::kInfinite) {
        program->done.wait(stateLock, [&] { return program->finished; });
    } else {
        program->done.wait_for(stateLock, std::chrono::milliseconds(milliseconds),
                               [&] { return program->finished; });
    }
    return program->finished ? win::kWaitObject0 : win::kWaitTimeout;
}

bool SimProcesses::GetExitCodeProcess(KernelHandle process, uint32_t* exitCode) {
    std::shared_ptr<RunningProgram> program;
    {
        Guard guard(machine_.Lock());
        auto it = handles_.find(process.value);
        if (it == handles_.end() || it->second.kind != HandleKind::Process) {
            machine_.SetLastError(win::kErrorInvalidHandle);
            return false;
        }
        program = it->second.program;
    }
    std::lock_guard<std::mutex> stateGuard(program->mutex);
    *exitCode = program->finished ? program->exitCode : kStillActive;
    return true;
}

// --- Libraries ---

void SimProcesses::RegisterLibrary(const std::wstring& path,
                                   std::map<std::string, Export> exports) {
    Guard guard(machine_.Lock());
    Library& library = libraries_[Key(path)];
    library.path = path;
    library.exports = std::move(exports);
}

void SimProcesses::RegisterSelfRegisteringLibrary(const std::wstring& path, int32_t result) {
    std::map<std::string, Export> exports;
    exports["DllRegisterServer"] = [this, path, result]() {
        Guard guard(machine_.Lock());
        selfRegistrations_.push_back(path);
        return result;
    };
    exports["DllUnregisterServer"] = []() { return win::kSOk; };
    RegisterLibrary(path, std::move(exports));
}

std::vector<std::wstring> SimProcesses::SelfRegistrations() {
    Guard guard(machine_.Lock());
    return selfRegistrations_;
}

std::vector<SimProcesses::LibraryEvent> SimProcesses::LibraryEvents() {
    Guard guard(machine_.Lock());
    return libraryEvents_;
}

bool SimProcesses::IsLibraryLoaded(const std::wstring& path) {
    Guard guard(machine_.Lock());
    std::wstring key = Key(path);
    for (const auto& module : modules_) {
        if (module.second.key == key) {
            return true;
        }
    }
    return false;
}

std::wstring SimProcesses::ResolveLibraryPath(const std::wstring& path) {
    if (path.find_first_of(L"\\/:") != std::wstring::npos) {
        return path;
    }
    // A bare name: the program's folder, then the system and Windows folders.
    std::vector<std::wstring> folders;
    std::wstring module = sysfiles::ModulePath(machine_);
    if (!module.empty()) {
        folders.push_back(sysfiles::ParentFolder(module));
    }
    folders.push_back(machine_.system().SystemFolder());
    folders.push_back(machine_.system().WindowsFolder());
    for (std::wstring folder : folders) {
        if (!folder.empty() && folder.back() != L'\\') {
            folder += L'\\';
        }
        if (sysfiles::IsFile(machine_, folder + path)) {
            return folder + path;
        }
    }
    return path;
}

ModuleHandle SimProcesses::LoadLibrary(const std::wstring& path) {
    return Load(path, 0);
}

ModuleHandle SimProcesses::LoadLibraryEx(const std::wstring& path, uint32_t flags) {
    return Load(path, flags);
}

bool SimProcesses::LibrarySearchFlagsAvailable() {
    return machine_.system().HasDefaultDllDirectories();
}

void SimProcesses::SetLibraryDependencies(const std::wstring& path,
                                          std::vector<std::wstring> names) {
    Guard guard(machine_.Lock());
    Library& library = libraries_[Key(path)];
    if (library.path.empty()) {
        library.path = path;
    }
    library.dependencies = std::move(names);
}

std::vector<std::wstring> SimProcesses::DependencyLoads() {
    Guard guard(machine_.Lock());
    return dependencyLoads_;
}

std::vector<std::wstring> SimProcesses::DependencyFolders(const std::wstring& resolved,
                                                          uint32_t flags) {
    const uint32_t searchFlags = win::kLoadLibrarySearchDllLoadDir |
                                 win::kLoadLibrarySearchApplicationDir |
                                 win::kLoadLibrarySearchUserDirs | win::kLoadLibrarySearchSystem32 |
                                 win::kLoadLibrarySearchDefaultDirs;
    const std::wstring module = sysfiles::ModulePath(machine_);
    const std::wstring programFolder =
        module.empty() ? std::wstring() : sysfiles::ParentFolder(module);
    const std::wstring libraryFolder = sysfiles::ParentFolder(resolved);
    const std::wstring systemFolder = machine_.system().SystemFolder();
    std::vector<std::wstring> folders;
    if (flags & searchFlags) {
        if (flags & win::kLoadLibrarySearchDllLoadDir)
            folders.push_back(libraryFolder);
        if (flags & (win::kLoadLibrarySearchApplicationDir | win::kLoadLibrarySearchDefaultDirs))
            folders.push_back(programFolder);
        if (flags & (win::kLoadLibrarySearchSystem32 | win::kLoadLibrarySearchDefaultDirs))
            folders.push_back(systemFolder);
        return folders;
    }
    const DllSearchRestriction way = machine_.system().DllSearchInEffect();
    const bool altered = (flags & win::kLoadWithAlteredSearchPath) != 0;
    if (way == DllSearchRestriction::DefaultDllDirectories && !altered) {
        folders.push_back(systemFolder);
        return folders;
    }
    folders.push_back(altered ? libraryFolder : programFolder);
    folders.push_back(systemFolder);
    folders.push_back(machine_.system().WindowsFolder());
    if (way == DllSearchRestriction::None) {
        folders.push_back(machine_.files().CurrentDirectory());
    }
    return folders;
}

ModuleHandle SimProcesses::Load(const std::wstring& path, uint32_t flags) {
    Guard guard(machine_.Lock());
    const uint32_t searchFlags = win::kLoadLibrarySearchDllLoadDir |
                                 win::kLoadLibrarySearchApplicationDir |
                                 win::kLoadLibrarySearchUserDirs | win::kLoadLibrarySearchSystem32 |
                                 win::kLoadLibrarySearchDefaultDirs;
    const bool fullPath = path.size() >= 3 && path[1] == L':' && path[2] == L'\\';
    if ((flags & searchFlags) != 0 &&
        (!LibrarySearchFlagsAvailable() || (flags & win::kLoadWithAlteredSearchPath) != 0 ||
         ((flags & win::kLoadLibrarySearchDllLoadDir) != 0 && !fullPath))) {
        machine_.SetLastError(win::kErrorInvalidParameter);
        return ModuleHandle();
    }
    std::wstring resolved = ResolveLibraryPath(path);
    if (resolved.empty() || !sysfiles::IsFile(machine_, resolved)) {
        machine_.SetLastError(win::kErrorModNotFound);
        return ModuleHandle();
    }
    std::wstring key = Key(resolved);
    auto library = libraries_.find(key);
    if (library == libraries_.end()) {
        machine_.SetLastError(win::kErrorBadExeFormat);
        return ModuleHandle();
    }
    // Loading a loaded library again returns the same module with one more reference.
    for (auto& module : modules_) {
        if (module.second.key == key) {
            libraryEvents_.push_back(
                {LibraryEventKind::Load, library->second.path, std::string(), 0});
            module.second.references++;
            return ModuleHandle(module.first);
        }
    }
    std::vector<std::wstring> found;
    for (const std::wstring& name : library->second.dependencies) {
        std::wstring where;
        for (std::wstring folder : DependencyFolders(resolved, flags)) {
            if (folder.empty())
                continue;
            if (folder.back() != L'\\')
                folder += L'\\';
            if (sysfiles::IsFile(machine_, folder + name)) {
                where = folder + name;
                break;
            }
        }
        if (where.empty()) {
            machine_.SetLastError(win::kErrorModNotFound);
            return ModuleHandle();
        }
        found.push_back(where);
    }
    dependencyLoads_.insert(dependencyLoads_.end(), found.begin(), found.end());
    libraryEvents_.push_back({LibraryEventKind::Load, library->second.path, std::string(), 0});
    ModuleHandle handle(machine_.NewHandleValue());
    modules_[handle.value] = {key, 1};
    return handle;
}

ProcAddress SimProcesses::GetProcAddress(ModuleHandle module, const std::string& name) {
    Guard guard(machine_.Lock());
    auto loaded = modules_.find(module.value);
    if (loaded == modules_.end()) {
        machine_.SetLastError(win::kErrorModNotFound);
        return 0;
    }
    const Library& library = libraries_[loaded->second.key];
    libraryEvents_.push_back({LibraryEventKind::GetProc, library.path, name, 0});
    if (library.exports.count(name) == 0) {
        machine_.SetLastError(win::kErrorProcNotFound);
        return 0;
    }
    for (const auto& proc : procs_) {
        if (proc.second.module == module.value && proc.second.name == name) {
            return proc.first;
        }
    }
    ProcAddress address = machine_.NewHandleValue();
    procs_[address] = {loaded->second.key, name, module.value};
    return address;
}

int32_t SimProcesses::CallNoArgumentProc(ProcAddress proc) {
    Export function;
    std::wstring path;
    std::string name;
    {
        Guard guard(machine_.Lock());
        auto it = procs_.find(proc);
        // An address that was never handed out, or whose library has been freed, would
        // fault on Windows; here the call fails instead.
        if (it == procs_.end() || modules_.count(it->second.module) == 0) {
            libraryEvents_.push_back(
                {LibraryEventKind::Call,
                 it == procs_.end() ? std::wstring() : libraries_[it->second.libraryKey].path,
                 it == procs_.end() ? std::string() : it->second.name, win::kEFail});
            return win::kEFail;
        }
        const Library& library = libraries_[it->second.libraryKey];
        path = library.path;
        name = it->second.name;
        auto exported = library.exports.find(name);
        if (exported != library.exports.end()) {
            function = exported->second;
        }
    }
    int32_t result = function ? function() : win::kEFail;
    Guard guard(machine_.Lock());
    libraryEvents_.push_back({LibraryEventKind::Call, path, name, result});
    return result;
}

bool SimProcesses::FreeLibrary(ModuleHandle module) {
    Guard guard(machine_.Lock());
    auto loaded = modules_.find(module.value);
    if (loaded == modules_.end()) {
        machine_.SetLastError(win::kErrorModNotFound);
        return false;
    }
    libraryEvents_.push_back(
        {LibraryEventKind::Free, libraries_[loaded->second.key].path, std::string(), 0});
    if (--loaded->second.references <= 0) {
        modules_.erase(loaded);
    }
    return true;
}

// --- Token and shutdown ---

void SimProcesses::FailOpenProcessToken(uint32_t error) {
    Guard guard(machine_.Lock());
    openTokenError_ = error;
}

void SimProcesses::SetTokenPrivilege(uint32_t luid, bool held) {
    Guard guard(machine_.Lock());
    if (held) {
        heldPrivileges_.insert(luid);
    } else {
        heldPrivileges_.erase(luid);
        enabledPrivileges_.erase(luid);
    }
}

bool SimProcesses::PrivilegeEnabled(uint32_t luid) {
    Guard guard(machine_.Lock());
    return enabledPrivileges_.count(luid) != 0;
}

std::vector<SimProcesses::ShutdownRequest> SimProcesses::ShutdownRequests() {
    Guard guard(machine_.Lock());
    return shutdownRequests_;
}

bool SimProcesses::OpenProcessToken(uint32_t access, KernelHandle* token) {
    Guard guard(machine_.Lock());
    if (openTokenError_ != 0) {
        machine_.SetLastError(openTokenError_);
        return false;
    }
    KernelHandle handle(machine_.NewHandleValue());
    HandleEntry entry;
    entry.kind = HandleKind::Token;
    entry.access = access;
    handles_[handle.value] = entry;
    *token = handle;
    return true;
}

bool SimProcesses::LookupPrivilegeValue(const std::wstring& name, Luid* luid) {
    Guard guard(machine_.Lock());
    for (const auto& privilege : kPrivileges) {
        if (base::EqualsNoCase(name, privilege.name)) {
            luid->lowPart = privilege.luid;
            luid->highPart = 0;
            return true;
        }
    }
    machine_.SetLastError(win::kErrorNoSuchPrivilege);
    return false;
}

bool SimProcesses::AdjustTokenPrivilege(KernelHandle token, const Luid& luid, uint32_t attributes) {
    Guard guard(machine_.Lock());
    auto it = handles_.find(token.value);
    if (it == handles_.end() || it->second.kind != HandleKind::Token) {
        machine_.SetLastError(win::kErrorInvalidHandle);
        return false;
    }
    if ((it->second.access & win::kTokenAdjustPrivileges) == 0) {
        machine_.SetLastError(win::kErrorAccessDenied);
        return false;
    }
    if (luid.highPart != 0 || heldPrivileges_.count(luid.lowPart) == 0) {
        // Windows succeeds and reports that not every privilege was assigned.
        machine_.SetLastError(win::kErrorNotAllAssigned);
        return true;
    }
    if ((attributes & kSePrivilegeRemoved) != 0) {
        heldPrivileges_.erase(luid.lowPart);
        enabledPrivileges_.erase(luid.lowPart);
    } else if ((attributes & win::kSePrivilegeEnabled) != 0) {
        enabledPrivileges_.insert(luid.lowPart);
    } else {
        enabledPrivileges_.erase(luid.lowPart);
    }
    machine_.SetLastError(win::kErrorSuccess);
    return true;
}

bool SimProcesses::ExitWindowsEx(uint32_t flags, uint32_t reason) {
    Guard guard(machine_.Lock());
    // Logging off needs no privilege; shutting down, restarting and powering off do.
    bool needsPrivilege = (flags & (win::kEwxShutdown | win::kEwxReboot | kEwxPowerOff)) != 0;
    if (needsPrivilege && enabledPrivileges_.count(kShutdownPrivilege) == 0) {
        shutdownRequests_.push_back({flags, reason, true});
        machine_.SetLastError(win::kErrorPrivilegeNotHeld);
        return false;
    }
    shutdownRequests_.push_back({flags, reason, false});
    return true;
}

}  // namespace sim
