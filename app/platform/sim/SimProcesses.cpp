#include "sim/Machine.h"

namespace sim {

SimProcesses::SimProcesses(Machine& machine) : machine_(machine) {}

void SimProcesses::InstallDefaults() {}

KernelHandle SimProcesses::CreateMutex(const std::wstring& name, bool initialOwner) {
    (void)name;
    (void)initialOwner;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return {};
}

bool SimProcesses::CloseHandle(KernelHandle handle) {
    (void)handle;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return false;
}

WindowHandle SimProcesses::FindWindow(const std::wstring* className, const std::wstring& title) {
    (void)className;
    (void)title;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return {};
}

intptr_t SimProcesses::SendMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                                   intptr_t lParam) {
    (void)window;
    (void)message;
    (void)wParam;
    (void)lParam;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return {};
}

bool SimProcesses::PostMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                               intptr_t lParam) {
    (void)window;
    (void)message;
    (void)wParam;
    (void)lParam;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return false;
}

bool SimProcesses::CreateProcess(const std::wstring* application, const std::wstring& commandLine,
                                 const StartupOptions& startup, ProcessInfo* info) {
    (void)application;
    (void)commandLine;
    (void)startup;
    (void)info;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return false;
}

uint32_t SimProcesses::WaitForSingleObject(KernelHandle handle, uint32_t milliseconds) {
    (void)handle;
    (void)milliseconds;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return {};
}

bool SimProcesses::GetExitCodeProcess(KernelHandle process, uint32_t* exitCode) {
    (void)process;
    (void)exitCode;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return false;
}

ModuleHandle SimProcesses::LoadLibrary(const std::wstring& path) {
    (void)path;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return {};
}

ProcAddress SimProcesses::GetProcAddress(ModuleHandle module, const std::string& name) {
    (void)module;
    (void)name;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return {};
}

int32_t SimProcesses::CallNoArgumentProc(ProcAddress proc) {
    (void)proc;
    return win::kENotImpl;
}

bool SimProcesses::FreeLibrary(ModuleHandle module) {
    (void)module;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return false;
}

bool SimProcesses::OpenProcessToken(uint32_t access, KernelHandle* token) {
    (void)access;
    (void)token;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return false;
}

bool SimProcesses::LookupPrivilegeValue(const std::wstring& name, Luid* luid) {
    (void)name;
    (void)luid;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return false;
}

bool SimProcesses::AdjustTokenPrivilege(KernelHandle token, const Luid& luid, uint32_t attributes) {
    (void)token;
    (void)luid;
    (void)attributes;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return false;
}

bool SimProcesses::ExitWindowsEx(uint32_t flags, uint32_t reason) {
    (void)flags;
    (void)reason;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return false;
}

}  // namespace sim
