// Processes port: named mutexes, top-level windows of other programs, child processes,
// libraries loaded by path, and the restart of the computer.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Types.h"

namespace platform {

struct ProcessInfo {
    KernelHandle process;
    KernelHandle thread;
    uint32_t processId = 0;
};

struct StartupOptions {
    uint32_t flags = 0;  // kStartfUseShowWindow
    int showWindow = 0;  // kSwHide, kSwShowNormal...
    // The new process's current folder (lpCurrentDirectory); empty: the caller's own. A
    // folder that does not exist fails the start with kErrorDirectory.
    std::wstring currentDirectory;
};

struct Luid {
    uint32_t lowPart = 0;
    int32_t highPart = 0;
};

// An exported function as returned by GetProcAddress; zero when absent.
using ProcAddress = std::uintptr_t;

class Processes {
public:
    virtual ~Processes() = default;

    // CreateMutexW(NULL, initialOwner, name). The last-error value is kErrorAlreadyExists
    // when the mutex existed before (a handle is still returned).
    virtual KernelHandle CreateMutex(const std::wstring& name, bool initialOwner) = 0;

    // CloseHandle for mutexes, processes, threads and tokens.
    virtual bool CloseHandle(KernelHandle handle) = 0;

    // FindWindowW(className or NULL, title).
    virtual WindowHandle FindWindow(const std::wstring* className, const std::wstring& title) = 0;

    // SendMessageW / PostMessageW to a window of any thread or process.
    virtual intptr_t SendMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                                 intptr_t lParam) = 0;
    virtual bool PostMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                             intptr_t lParam) = 0;

    // CreateProcessW(NULL or application, commandLine, NULL, NULL, FALSE, 0, NULL, NULL,
    // startup, info): the caller's environment and current folder.
    virtual bool CreateProcess(const std::wstring* application, const std::wstring& commandLine,
                               const StartupOptions& startup, ProcessInfo* info) = 0;
    // WaitForSingleObject on a process (or any waitable kernel handle).
    virtual uint32_t WaitForSingleObject(KernelHandle handle, uint32_t milliseconds) = 0;
    virtual bool GetExitCodeProcess(KernelHandle process, uint32_t* exitCode) = 0;

    // LoadLibraryW / GetProcAddress / FreeLibrary.
    virtual ModuleHandle LoadLibrary(const std::wstring& path) = 0;
    // LoadLibraryExW(path, NULL, flags): with kLoadWithAlteredSearchPath and a full path the
    // library's own folder takes the place of the program's folder in the search for its
    // dependencies; with kLoadLibrarySearchDllLoadDir | kLoadLibrarySearchSystem32 only the
    // library's folder and the system folder are searched. The kLoadLibrarySearch* flags
    // cannot be combined with kLoadWithAlteredSearchPath (kErrorInvalidParameter).
    virtual ModuleHandle LoadLibraryEx(const std::wstring& path, uint32_t flags) = 0;
    // Whether LoadLibraryExW takes the kLoadLibrarySearch* flags: kernel32 exports
    // AddDllDirectory (Windows 8; Windows Vista and 7 with KB2533623), the test Microsoft
    // documents for them.
    virtual bool LibrarySearchFlagsAvailable() = 0;
    virtual ProcAddress GetProcAddress(ModuleHandle module, const std::string& name) = 0;
    // Calls an export of the form HRESULT WINAPI f(void) (such as DllRegisterServer).
    virtual int32_t CallNoArgumentProc(ProcAddress proc) = 0;
    virtual bool FreeLibrary(ModuleHandle module) = 0;

    // OpenProcessToken(GetCurrentProcess(), access), LookupPrivilegeValueW(NULL, name),
    // AdjustTokenPrivileges(token, FALSE, one privilege with |attributes|, 0, NULL, NULL).
    virtual bool OpenProcessToken(uint32_t access, KernelHandle* token) = 0;
    virtual bool LookupPrivilegeValue(const std::wstring& name, Luid* luid) = 0;
    virtual bool AdjustTokenPrivilege(KernelHandle token, const Luid& luid,
                                      uint32_t attributes) = 0;

    // ExitWindowsEx(flags, reason).
    virtual bool ExitWindowsEx(uint32_t flags, uint32_t reason) = 0;
};

}  // namespace platform
