// Simulated system of sim::Machine: version, WOW64, the Windows folders, GUIDs, the
// thread's last-error value, Sleep, the clock, the C runtime's rand, the UI language, COM
// apartments and threads.
//
// The clock is deterministic: it starts at a set local time (2024-03-04 09:30:00.000, a
// Monday, by default) and moves on only by what the machine's threads sleep and by what a
// test advances it, so that the time a routine sees follows its pauses as on Windows.
//
// Threads started with CreateThread run on real std::threads. Their handles may be closed
// while they run; the machine joins every thread it started before it is destroyed, so no
// thread outlives it.
#pragma once

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "sim/Common.h"

namespace sim {

class Machine;

// Shared with the ports' constants (kept in namespace sim for the sim's own code).
using platform::DllSearchRestriction;
using win::HresultFromWin32;
using win::kCoENotInitialized;
using win::kEwxPowerOff;
using win::kStillActive;

class SimSystem : public platform::System {
public:
    struct SleepRecord {
        std::thread::id thread;
        uint32_t milliseconds = 0;
    };
    // One RestrictDllSearchPath call: what took effect (None when it failed).
    struct DllSearchRecord {
        std::thread::id thread;
        DllSearchRestriction way = DllSearchRestriction::None;
    };
    struct ThreadRecord {
        KernelHandle handle;
        ThreadProc proc = nullptr;
        void* argument = nullptr;
    };

    explicit SimSystem(Machine& machine);
    ~SimSystem() override;
    // Puts the default machine's state in place (called once by Machine's constructor).
    void InstallDefaults();
    // Waits for every thread started through CreateThread (called by Machine's destructor
    // before any component goes away). Must not be called from one of those threads.
    size_t JoinAllThreads();  // returns how many it waited for

    // --- Set-up ---
    void SetVersion(uint32_t major, uint32_t minor, uint32_t build, uint16_t servicePackMajor);
    void SetOsVersion(const OsVersion& version);  // every field, product type included
    void SetWow64(Wow64Probe probe);
    void SetWindowsFolder(const std::wstring& path);
    void SetSystemFolder(const std::wstring& path);
    // GetWindowsDirectory / GetSystemDirectory fail with |error| (0 = succeed again).
    void FailWindowsDirectory(uint32_t error);
    void FailSystemDirectory(uint32_t error);
    // The configured folders, whatever the failure injection says (for the other parts).
    std::wstring WindowsFolder();
    std::wstring SystemFolder();
    // GUIDs: data1 of the next generated GUID (the sequence then counts up), and GUIDs that
    // are handed out first, in order. CreateGuid fails with |hr| while set (0 = clear).
    void SetGuidSequence(uint32_t nextData1);
    void NextGuids(const std::vector<Guid>& guids);
    void FailCreateGuid(int32_t hr);
    // The GUID that the sequence produces for |data1| (for expectations in tests).
    static Guid SequenceGuid(uint32_t data1);
    void SetUiLanguage(uint16_t language);
    // The next CreateThread fails with |error| (once).
    void FailNextThreadStart(uint32_t error);
    // Which of the two DLL-search functions kernel32 exports (both by default; Windows XP
    // SP1 to Windows 7 without KB2533623 lack SetDefaultDllDirectories, Windows XP before
    // SP1 lacks both).
    void SetDllSearchFunctions(bool defaultDllDirectories, bool setDllDirectory);
    // Every call of either function fails with |error| (0 = succeed again).
    void FailDllSearchRestriction(uint32_t error);
    // The local time the clock shows now (its day of week is worked out from the date,
    // whatever |time| says); the clock then moves on from there. AdvanceClock moves it on
    // without a sleep.
    void SetLocalTime(const SystemTime& time);
    void AdvanceClock(uint64_t milliseconds);
    // RandomSeed hands out |next|, then counts up from it (the default sequence starts at
    // 0x5EED0001, so that two runs on one machine get different seeds).
    void SetRandomSeeds(uint32_t next);

    // --- Inspection ---
    std::vector<SleepRecord> Sleeps();
    uint64_t TotalSleep();
    // The apartment model the thread initialised COM with, if any.
    std::optional<uint32_t> ApartmentOf(std::thread::id thread);
    bool ComInitializedOnThisThread();
    // Whether COM calls work on this thread: it initialised COM, or it belongs implicitly
    // to the multithreaded apartment that another thread of the process entered.
    bool ComUsableOnThisThread();
    std::vector<ThreadRecord> ThreadsStarted();
    std::vector<DllSearchRecord> DllSearchRestrictions();
    // What the process's library search is restricted by: the last restriction that took
    // effect (SetDefaultDllDirectories cannot be undone, so once taken it stays).
    DllSearchRestriction DllSearchInEffect();
    // Whether kernel32 exports SetDefaultDllDirectories (and with it AddDllDirectory and
    // the LOAD_LIBRARY_SEARCH flags of LoadLibraryExW).
    bool HasDefaultDllDirectories();
    // The seeds the calling thread's generator was given through SeedRand or SeedRandOnce,
    // in order.
    std::vector<uint32_t> SeedsOfThisThread();
    // Threads started through CreateThread that have not finished yet.
    size_t RunningThreadCount();
    // The process's error mode (SetErrorMode); 0, the system's default, at the start.
    uint32_t ErrorMode();

    // --- The port ---
    bool GetVersion(OsVersion* version) override;
    Wow64Probe QueryWow64() override;
    bool GetSystemDirectory(std::wstring* path) override;
    bool GetWindowsDirectory(std::wstring* path) override;
    int32_t CreateGuid(Guid* guid) override;
    uint32_t GetLastError() override;
    void SetLastError(uint32_t error) override;
    void Sleep(uint32_t milliseconds) override;
    void GetLocalTime(SystemTime* time) override;
    void SeedRand(uint32_t seed) override;
    int Rand() override;
    bool SeedRandOnce(uint32_t seed) override;
    uint32_t RandomSeed() override;
    uint16_t GetUserDefaultUILanguage() override;
    uint32_t SetErrorMode(uint32_t mode) override;
    int32_t CoInitializeEx(uint32_t model) override;
    KernelHandle CreateThread(ThreadProc proc, void* argument) override;
    uint32_t WaitForThread(KernelHandle thread, uint32_t milliseconds) override;
    bool CloseThread(KernelHandle thread) override;
    bool RestrictDllSearchPath(DllSearchRestriction* way) override;

    // Whether |handle| is an open handle of a thread started through CreateThread.
    bool IsThreadHandle(KernelHandle handle);

private:
    struct ThreadState {
        std::thread thread;
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        uint32_t exitCode = kStillActive;
    };

    void ForgetThreadLocalState(std::thread::id thread);

    Machine& machine_;
    OsVersion version_;
    Wow64Probe wow64_ = Wow64Probe::No;
    std::wstring windowsFolder_ = L"C:\\Windows";
    std::wstring systemFolder_ = L"C:\\Windows\\system32";
    uint32_t windowsFolderError_ = 0;
    uint32_t systemFolderError_ = 0;
    uint32_t nextGuidData1_ = 0x10000001;
    std::vector<Guid> queuedGuids_;
    int32_t guidFailure_ = 0;
    uint16_t uiLanguage_ = 1033;
    uint32_t errorMode_ = 0;
    uint32_t nextThreadStartError_ = 0;
    std::vector<SleepRecord> sleeps_;
    // Milliseconds since 1601-01-01 00:00 (local) that the clock shows.
    uint64_t clockMs_ = 0;
    bool hasDefaultDllDirectories_ = true;
    bool hasSetDllDirectory_ = true;
    uint32_t dllSearchError_ = 0;
    std::vector<DllSearchRecord> dllSearches_;
    std::map<std::thread::id, uint32_t> randState_;
    std::map<std::thread::id, std::vector<uint32_t>> seeds_;
    std::map<std::thread::id, bool> seededOnce_;
    uint32_t nextRandomSeed_ = 0x5EED0001;
    std::map<std::thread::id, uint32_t> apartments_;
    std::vector<ThreadRecord> threadsStarted_;
    std::map<std::uintptr_t, std::shared_ptr<ThreadState>> openThreads_;
    std::vector<std::shared_ptr<ThreadState>> allThreads_;
};

}  // namespace sim
