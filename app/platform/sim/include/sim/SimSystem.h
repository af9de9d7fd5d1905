// Simulated system of sim::Machine.
#pragma once

#include "sim/Common.h"

namespace sim {

class Machine;

class SimSystem : public platform::System {
public:
    explicit SimSystem(Machine& machine);
    // Puts the default machine's state in place (called once by Machine's constructor).
    void InstallDefaults();

    bool GetVersion(OsVersion* version) override;
    Wow64Probe QueryWow64() override;
    bool GetSystemDirectory(std::wstring* path) override;
    bool GetWindowsDirectory(std::wstring* path) override;
    int32_t CreateGuid(Guid* guid) override;
    uint32_t GetLastError() override;
    void SetLastError(uint32_t error) override;
    void Sleep(uint32_t milliseconds) override;
    void SeedRand(uint32_t seed) override;
    int Rand() override;
    uint16_t GetUserDefaultUILanguage() override;
    int32_t CoInitializeEx(uint32_t model) override;
    KernelHandle CreateThread(ThreadProc proc, void* argument) override;
    uint32_t WaitForThread(KernelHandle thread, uint32_t milliseconds) override;
    bool CloseThread(KernelHandle thread) override;

private:
    Machine& machine_;
};

}  // namespace sim
