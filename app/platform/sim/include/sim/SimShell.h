// Simulated shell of sim::Machine.
#pragma once

#include "sim/Common.h"

namespace sim {

class Machine;

class SimShell : public platform::Shell {
public:
    explicit SimShell(Machine& machine);
    // Puts the default machine's state in place (called once by Machine's constructor).
    void InstallDefaults();

    bool GetSpecialFolderPath(int csidl, bool create, std::wstring* path) override;
    int32_t GetFolderPath(int csidlAndFlags, std::wstring* path) override;
    int32_t CreateShellLink(std::unique_ptr<ShellLink>* link) override;
    bool ReadShellLink(const std::wstring& linkPath, ShellLinkInfo* info) override;
    void ChangeNotify(int32_t eventId, uint32_t flags) override;
    std::wstring GetCommandLine() override;
    bool CommandLineToArgv(const std::wstring& commandLine,
                           std::vector<std::wstring>* args) override;

private:
    Machine& machine_;
};

}  // namespace sim
