// System port: version, WOW64, folders, identifiers, the thread's last-error value,
// sleeping, the clock, the C runtime's rand, the user-interface language, COM and threads.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Types.h"

namespace platform {

struct OsVersion {
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t build = 0;
    uint32_t platformId = 2;  // VER_PLATFORM_WIN32_NT
    uint16_t servicePackMajor = 0;
    uint8_t productType = 1;  // VER_NT_WORKSTATION
};

// The outcome of looking up and calling IsWow64Process for the current process.
enum class Wow64Probe {
    Absent,  // kernel32 has no IsWow64Process (Windows XP before SP2)
    Failed,  // the call failed
    Yes,     // a 32-bit process on 64-bit Windows
    No,      // a native process
};

using ThreadProc = uint32_t (*)(void* argument);

// A SYSTEMTIME: a calendar date and time of day as GetLocalTime reports it.
struct SystemTime {
    uint16_t year = 0;
    uint16_t month = 0;      // 1 (January) to 12
    uint16_t dayOfWeek = 0;  // 0 (Sunday) to 6
    uint16_t day = 0;        // 1 to 31
    uint16_t hour = 0;
    uint16_t minute = 0;
    uint16_t second = 0;
    uint16_t milliseconds = 0;
};

// How RestrictDllSearchPath took the current folder (and the PATH) out of the search for
// libraries loaded by name.
enum class DllSearchRestriction {
    None,                   // neither function worked: the system's default search order applies
    DefaultDllDirectories,  // SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)
    EmptyDllDirectory,      // SetDllDirectoryW(L""): the current folder is no longer searched
};

class System {
public:
    virtual ~System() = default;

    // GetVersionExW with an OSVERSIONINFOEXW. The program's manifest declares every
    // version up to Windows 10, so the real version is reported.
    virtual bool GetVersion(OsVersion* version) = 0;

    // IsWow64Process looked up by name in kernel32 and called for the current process.
    virtual Wow64Probe QueryWow64() = 0;

    // GetSystemDirectoryW / GetWindowsDirectoryW: false on failure.
    virtual bool GetSystemDirectory(std::wstring* path) = 0;
    virtual bool GetWindowsDirectory(std::wstring* path) = 0;

    // CoCreateGuid.
    virtual int32_t CreateGuid(Guid* guid) = 0;

    // The calling thread's last-error value (GetLastError / SetLastError).
    virtual uint32_t GetLastError() = 0;
    virtual void SetLastError(uint32_t error) = 0;

    // Sleep.
    virtual void Sleep(uint32_t milliseconds) = 0;

    // GetLocalTime: the current date and time in the computer's time zone. It cannot fail
    // and leaves the last-error value alone.
    virtual void GetLocalTime(SystemTime* time) = 0;

    // The C runtime's srand/rand (per thread in the Microsoft runtime; 0..32767).
    virtual void SeedRand(uint32_t seed) = 0;
    virtual int Rand() = 0;
    // srand(seed) unless the calling thread's generator was already seeded through this
    // call; true when it seeded now. Every new thread starts unseeded.
    virtual bool SeedRandOnce(uint32_t seed) = 0;
    // A seed that differs from run to run: RtlGenRandom (advapi32's SystemFunction036,
    // looked up by name), or when that is missing or fails, the performance counter, the
    // tick count, the time and the process and thread ids mixed together.
    virtual uint32_t RandomSeed() = 0;

    // GetUserDefaultUILanguage.
    virtual uint16_t GetUserDefaultUILanguage() = 0;

    // SetErrorMode: the process's error mode (kSemFailCriticalErrors...) replaced by
    // |mode|; returns the mode before. Child processes inherit it.
    virtual uint32_t SetErrorMode(uint32_t mode) = 0;

    // CoInitializeEx(NULL, model) on the calling thread (kCoinitMultithreaded or
    // kCoinitApartmentThreaded); CoInitialize(NULL) is the apartment-threaded form.
    virtual int32_t CoInitializeEx(uint32_t model) = 0;

    // CreateThread(NULL, 0, proc, argument, 0, NULL); an empty handle on failure.
    // WaitForSingleObject on the thread and CloseHandle of its handle.
    virtual KernelHandle CreateThread(ThreadProc proc, void* argument) = 0;
    virtual uint32_t WaitForThread(KernelHandle thread, uint32_t milliseconds) = 0;
    virtual bool CloseThread(KernelHandle thread) = 0;

    // Restricts the search for libraries loaded by name. SetDefaultDllDirectories with
    // kLoadLibrarySearchSystem32 when kernel32 exports it (Windows 8, Windows 7 with
    // KB2533623); otherwise, or when that call fails, SetDllDirectoryW(L"") when kernel32
    // exports it (Windows XP SP1 and later). Both are looked up by name, so the program
    // still loads on systems without them. |way| receives what took effect (None when
    // nothing did, with the thread's last-error value of the last call); true unless None.
    virtual bool RestrictDllSearchPath(DllSearchRestriction* way) = 0;
};

// Saves the thread's last-error value and puts it back when it goes out of scope, for
// routines that must leave the error of a failed call after closing handles.
class LastErrorKeeper {
public:
    explicit LastErrorKeeper(System& system) : system_(system), saved_(system.GetLastError()) {}
    ~LastErrorKeeper() { system_.SetLastError(saved_); }
    LastErrorKeeper(const LastErrorKeeper&) = delete;
    LastErrorKeeper& operator=(const LastErrorKeeper&) = delete;
    uint32_t saved() const { return saved_; }

private:
    System& system_;
    uint32_t saved_;
};

}  // namespace platform
