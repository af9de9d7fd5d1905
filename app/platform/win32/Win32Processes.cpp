// Processes adapter: named mutexes, other programs' windows, child processes, libraries
// loaded by path, privileges and the restart of the computer.
#include "win32/Win32Util.h"

#include <algorithm>

#include "win32/Adapters.h"

namespace win32 {

namespace {

using NoArgumentFunction = HRESULT(WINAPI*)();

}  // namespace

KernelHandle Win32Processes::CreateMutex(const std::wstring& name, bool initialOwner) {
    return FromWin32<KernelHandle>(
        ::CreateMutexW(nullptr, initialOwner ? TRUE : FALSE, name.c_str()));
}

bool Win32Processes::CloseHandle(KernelHandle handle) {
    return ::CloseHandle(ToWin32<HANDLE>(handle)) != FALSE;
}

WindowHandle Win32Processes::FindWindow(const std::wstring* className, const std::wstring& title) {
    const HWND window = ::FindWindowW(OptionalText(className), title.c_str());
    return WindowHandle(reinterpret_cast<std::uintptr_t>(window));
}

intptr_t Win32Processes::SendMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                                     intptr_t lParam) {
    return ::SendMessageW(ToWin32<HWND>(window), message, wParam, lParam);
}

bool Win32Processes::PostMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                                 intptr_t lParam) {
    return ::PostMessageW(ToWin32<HWND>(window), message, wParam, lParam) != FALSE;
}

bool Win32Processes::CreateProcess(const std::wstring* application, const std::wstring& commandLine,
                                   const StartupOptions& startup, ProcessInfo* info) {
    if (info != nullptr) {
        *info = ProcessInfo();
    }
    // CreateProcessW may write into the command line, so it gets its own copy.
    HeapBuffer<wchar_t> line;
    if (!line.Allocate(commandLine.size())) {
        return false;
    }
    std::copy(commandLine.begin(), commandLine.end(), line.data());
    STARTUPINFOW startupInfo = {};
    startupInfo.cb = sizeof(startupInfo);
    startupInfo.dwFlags = startup.flags;
    startupInfo.wShowWindow = static_cast<WORD>(startup.showWindow);
    PROCESS_INFORMATION process = {};
    const wchar_t* folder =
        startup.currentDirectory.empty() ? nullptr : startup.currentDirectory.c_str();
    if (!::CreateProcessW(OptionalText(application), line.data(), nullptr, nullptr, FALSE, 0,
                          nullptr, folder, &startupInfo, &process)) {
        return false;
    }
    if (info != nullptr) {
        info->process = FromWin32<KernelHandle>(process.hProcess);
        info->thread = FromWin32<KernelHandle>(process.hThread);
        info->processId = process.dwProcessId;
    } else {
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
    }
    return true;
}

uint32_t Win32Processes::WaitForSingleObject(KernelHandle handle, uint32_t milliseconds) {
    return ::WaitForSingleObject(ToWin32<HANDLE>(handle), milliseconds);
}

bool Win32Processes::GetExitCodeProcess(KernelHandle process, uint32_t* exitCode) {
    DWORD code = 0;
    if (!::GetExitCodeProcess(ToWin32<HANDLE>(process), &code)) {
        return false;
    }
    if (exitCode != nullptr) {
        *exitCode = code;
    }
    return true;
}

ModuleHandle Win32Processes::LoadLibrary(const std::wstring& path) {
    return FromWin32<ModuleHandle>(::LoadLibraryW(path.c_str()));
}

ModuleHandle Win32Processes::LoadLibraryEx(const std::wstring& path, uint32_t flags) {
    return FromWin32<ModuleHandle>(::LoadLibraryExW(path.c_str(), nullptr, flags));
}

bool Win32Processes::LibrarySearchFlagsAvailable() {
    const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    return kernel != nullptr && ::GetProcAddress(kernel, "AddDllDirectory") != nullptr;
}

ProcAddress Win32Processes::GetProcAddress(ModuleHandle module, const std::string& name) {
    const FARPROC proc = ::GetProcAddress(ToWin32<HMODULE>(module), name.c_str());
    return reinterpret_cast<ProcAddress>(reinterpret_cast<void (*)()>(proc));
}

int32_t Win32Processes::CallNoArgumentProc(ProcAddress proc) {
    if (proc == 0) {
        return E_POINTER;  // no export to call
    }
    const auto function = reinterpret_cast<NoArgumentFunction>(proc);
    return function();
}

bool Win32Processes::FreeLibrary(ModuleHandle module) {
    return ::FreeLibrary(ToWin32<HMODULE>(module)) != FALSE;
}

bool Win32Processes::OpenProcessToken(uint32_t access, KernelHandle* token) {
    HANDLE opened = nullptr;
    const BOOL ok = ::OpenProcessToken(::GetCurrentProcess(), access, &opened);
    if (token != nullptr) {
        *token = ok ? FromWin32<KernelHandle>(opened) : KernelHandle();
    } else if (ok) {
        ::CloseHandle(opened);  // nobody could ever close it
    }
    return ok != FALSE;
}

bool Win32Processes::LookupPrivilegeValue(const std::wstring& name, Luid* luid) {
    LUID found = {};
    if (!::LookupPrivilegeValueW(nullptr, name.c_str(), &found)) {
        return false;
    }
    if (luid != nullptr) {
        luid->lowPart = found.LowPart;
        luid->highPart = found.HighPart;
    }
    return true;
}

bool Win32Processes::AdjustTokenPrivilege(KernelHandle token, const Luid& luid,
                                          uint32_t attributes) {
    // Succeeds without enabling anything when the token lacks the privilege; the last-error
    // value is then ERROR_NOT_ALL_ASSIGNED, and is left for the caller to read.
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Luid.LowPart = luid.lowPart;
    privileges.Privileges[0].Luid.HighPart = luid.highPart;
    privileges.Privileges[0].Attributes = attributes;
    return ::AdjustTokenPrivileges(ToWin32<HANDLE>(token), FALSE, &privileges, 0, nullptr,
                                   nullptr) != FALSE;
}

bool Win32Processes::ExitWindowsEx(uint32_t flags, uint32_t reason) {
    return ::ExitWindowsEx(flags, reason) != FALSE;
}

}  // namespace win32
