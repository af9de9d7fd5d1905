// The simulated Windows machine: an in-memory, deterministic Windows for the host tests.
// A test builds one in a few lines, hands machine.platform() to the routine under test and
// inspects the components afterwards:
//
//   sim::Machine m;                                   // the default machine (below)
//   m.files().AddFile(L"C:\\Setup\\cvflt.sys", "driver");
//   m.registry().SetString(Hive::LocalMachine, L"SOFTWARE\\X", L"Name", L"text");
//   RunSomething(m.platform());
//   EXPECT_TRUE(m.files().Exists(L"C:\\Program Files\\Corvane\\Corvane.exe"));
//
// The default machine is a 32-bit Windows 7 SP1 (6.1.7601) in English with one fixed NTFS
// volume C: of 100 GiB, the usual folders (C:\Windows, C:\Windows\system32 and its drivers,
// C:\Program Files, C:\ProgramData\Microsoft\Windows\Start Menu\Programs,
// C:\Users\User\AppData\Roaming, the desktops), the setup program at C:\Setup\Setup.exe,
// RegisteredOwner "User", the disk class's UpperFilters (PartMgr), the hotfix KB3033929,
// no protection driver loaded, and a deterministic GUID sequence.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/Platform.h"

namespace sim {

class SimRegistry;
class SimFiles;
class SimVolumes;
class SimShell;
class SimSystem;
class SimProcesses;
class SimWmi;
class SimUi;

class Machine {
public:
    Machine();
    ~Machine();
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    // The ports of this machine, for the code under test.
    platform::Platform& platform() { return *platform_; }

    // The components: each implements its port and offers set-up, failure injection and
    // inspection for tests.
    SimRegistry& registry() { return *registry_; }
    SimFiles& files() { return *files_; }
    SimVolumes& volumes() { return *volumes_; }
    SimShell& shell() { return *shell_; }
    SimSystem& system() { return *system_; }
    SimProcesses& processes() { return *processes_; }
    SimWmi& wmi() { return *wmi_; }
    SimUi& ui() { return *ui_; }

    // --- Shared by the components ---

    // The calling thread's last-error value on this machine (every thread starts at 0).
    uint32_t LastError();
    void SetLastError(uint32_t error);

    // A new handle value, unique on this machine for all kinds of handle, never 0.
    std::uintptr_t NewHandleValue();

    // One lock for the machine's state. Components take it around every operation, so
    // worker threads of the code under test may call the ports concurrently. Recursive,
    // because one component's operation may call another's.
    std::recursive_mutex& Lock() { return lock_; }

private:
    std::recursive_mutex lock_;
    std::map<std::thread::id, uint32_t> lastErrors_;
    std::uintptr_t nextHandle_ = 0x1000;

    std::unique_ptr<SimRegistry> registry_;
    std::unique_ptr<SimFiles> files_;
    std::unique_ptr<SimVolumes> volumes_;
    std::unique_ptr<SimShell> shell_;
    std::unique_ptr<SimSystem> system_;
    std::unique_ptr<SimProcesses> processes_;
    std::unique_ptr<SimWmi> wmi_;
    std::unique_ptr<SimUi> ui_;
    std::unique_ptr<platform::Platform> platform_;
};

}  // namespace sim

#include "sim/SimFiles.h"
#include "sim/SimProcesses.h"
#include "sim/SimRegistry.h"
#include "sim/SimShell.h"
#include "sim/SimSystem.h"
#include "sim/SimUi.h"
#include "sim/SimVolumes.h"
#include "sim/SimWmi.h"
