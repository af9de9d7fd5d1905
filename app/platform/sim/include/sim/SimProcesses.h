// Simulated processes of sim::Machine.
#pragma once

#include "sim/Common.h"

namespace sim {

class Machine;

class SimProcesses : public platform::Processes {
public:
    explicit SimProcesses(Machine& machine);
    // Puts the default machine's state in place (called once by Machine's constructor).
    void InstallDefaults();

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
    ProcAddress GetProcAddress(ModuleHandle module, const std::string& name) override;
    int32_t CallNoArgumentProc(ProcAddress proc) override;
    bool FreeLibrary(ModuleHandle module) override;
    bool OpenProcessToken(uint32_t access, KernelHandle* token) override;
    bool LookupPrivilegeValue(const std::wstring& name, Luid* luid) override;
    bool AdjustTokenPrivilege(KernelHandle token, const Luid& luid, uint32_t attributes) override;
    bool ExitWindowsEx(uint32_t flags, uint32_t reason) override;

private:
    Machine& machine_;
};

}  // namespace sim
