// System adapter: version, WOW64, system folders, GUIDs, the last-error value, sleeping,
// the C runtime's random numbers, the user-interface language, COM and threads.
#include "win32/Win32Util.h"

#include <cstdlib>
#include <new>

#include "win32/Adapters.h"

namespace win32 {

namespace {

using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE, PBOOL);
using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
using SetDllDirectoryFunction = BOOL(WINAPI*)(LPCWSTR);
using RtlGenRandomFunction = BOOLEAN(WINAPI*)(PVOID, ULONG);

// Whether SeedRandOnce has seeded the calling thread's generator (the runtime's generator
// state is per thread, and so is this).
thread_local bool tRandSeeded = false;

// Mixes |value| into |seed| (the 32-bit finaliser of MurmurHash3 after an add).
uint32_t Mix(uint32_t seed, uint32_t value) {
    uint32_t h = seed + value + 0x9E3779B9u;
    h ^= h >> 16;
    h *= 0x85EBCA6Bu;
    h ^= h >> 13;
    h *= 0xC2B2AE35u;
    h ^= h >> 16;
    return h;
}

// GetSystemDirectoryW and GetWindowsDirectoryW return the length without the terminator
// when the folder fits, and the size needed (terminator included) when it does not; the
// buffer grows to that size. The bound only stops a misbehaving function.
template <typename Function>
bool GetGrowingPath(Function function, std::wstring* path) {
    constexpr UINT kLimit = 65536;
    HeapBuffer<wchar_t> buffer;
    UINT chars = MAX_PATH;
    for (int attempt = 0; attempt < 8 && chars <= kLimit; ++attempt) {
        if (!buffer.Allocate(chars)) {
            return false;
        }
        const UINT length = function(buffer.data(), chars);
        if (length == 0) {
            return false;
        }
        if (length < chars) {
            if (path != nullptr) {
                *path = TextOf(buffer.data(), length);
            }
            return true;
        }
        chars = length > chars ? length : chars * 2;
    }
    ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return false;
}

// CreateThread wants a WINAPI function taking one pointer; the port's thread procedures
// use the compiler's default convention. The record carries the procedure and its
// argument to the trampoline, which frees it before running the procedure.
struct ThreadStart {
    ThreadProc proc;
    void* argument;
};

DWORD WINAPI ThreadTrampoline(LPVOID parameter) {
    ThreadStart* start = static_cast<ThreadStart*>(parameter);
    const ThreadProc proc = start->proc;
    void* const argument = start->argument;
    delete start;
    return proc(argument);
}

}  // namespace

static_assert(sizeof(OSVERSIONINFOEXW) == 284, "GetVersionExW is told the size of the EX form");

bool Win32System::GetVersion(OsVersion* version) {
    OSVERSIONINFOEXW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    if (!::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info))) {
        return false;
    }
    if (version != nullptr) {
        version->major = info.dwMajorVersion;
        version->minor = info.dwMinorVersion;
        version->build = info.dwBuildNumber;
        version->platformId = info.dwPlatformId;
        version->servicePackMajor = info.wServicePackMajor;
        version->productType = info.wProductType;
    }
    return true;
}

Wow64Probe Win32System::QueryWow64() {
    // IsWow64Process came with Windows XP SP2, so it is looked up rather than imported.
    const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    const FARPROC proc = kernel != nullptr ? ::GetProcAddress(kernel, "IsWow64Process") : nullptr;
    if (proc == nullptr) {
        return Wow64Probe::Absent;
    }
    BOOL wow64 = FALSE;
    if (!ProcAs<IsWow64ProcessFunction>(proc)(::GetCurrentProcess(), &wow64)) {
        return Wow64Probe::Failed;
    }
    return wow64 ? Wow64Probe::Yes : Wow64Probe::No;
}

bool Win32System::GetSystemDirectory(std::wstring* path) {
    return GetGrowingPath(::GetSystemDirectoryW, path);
}

bool Win32System::GetWindowsDirectory(std::wstring* path) {
    return GetGrowingPath(::GetWindowsDirectoryW, path);
}

int32_t Win32System::CreateGuid(Guid* guid) {
    GUID created = {};
    const HRESULT hr = ::CoCreateGuid(&created);
    if (SUCCEEDED(hr) && guid != nullptr) {
        guid->data1 = created.Data1;
        guid->data2 = created.Data2;
        guid->data3 = created.Data3;
        for (int i = 0; i < 8; ++i) {
            guid->data4[i] = created.Data4[i];
        }
    }
    return hr;
}

uint32_t Win32System::GetLastError() {
    return ::GetLastError();
}

void Win32System::SetLastError(uint32_t error) {
    ::SetLastError(error);
}

void Win32System::Sleep(uint32_t milliseconds) {
    ::Sleep(milliseconds);
}

void Win32System::GetLocalTime(SystemTime* time) {
    SYSTEMTIME now = {};
    ::GetLocalTime(&now);
    time->year = now.wYear;
    time->month = now.wMonth;
    time->dayOfWeek = now.wDayOfWeek;
    time->day = now.wDay;
    time->hour = now.wHour;
    time->minute = now.wMinute;
    time->second = now.wSecond;
    time->milliseconds = now.wMilliseconds;
}

// The C runtime's generator. The Microsoft runtime keeps the seed per thread: a seed set
// on one thread does not affect the numbers another thread draws, and every new thread
// starts from the seed 1.
void Win32System::SeedRand(uint32_t seed) {
    std::srand(seed);
}

int Win32System::Rand() {
    return std::rand();
}

bool Win32System::SeedRandOnce(uint32_t seed) {
    if (tRandSeeded) {
        return false;
    }
    std::srand(seed);
    tRandSeeded = true;
    return true;
}

uint32_t Win32System::RandomSeed() {
    // RtlGenRandom is exported by advapi32 as SystemFunction036 since Windows XP; it is
    // looked up because it has no import library entry of its own.
    uint32_t seed = 0;
    const HMODULE advapi = ::GetModuleHandleW(L"advapi32.dll");
    const FARPROC proc =
        advapi != nullptr ? ::GetProcAddress(advapi, "SystemFunction036") : nullptr;
    if (proc != nullptr && ProcAs<RtlGenRandomFunction>(proc)(&seed, sizeof(seed))) {
        return seed;
    }
    LARGE_INTEGER counter;
    counter.QuadPart = 0;
    ::QueryPerformanceCounter(&counter);
    FILETIME now = {};
    ::GetSystemTimeAsFileTime(&now);
    seed = Mix(seed, static_cast<uint32_t>(counter.QuadPart));
    seed = Mix(seed, static_cast<uint32_t>(static_cast<uint64_t>(counter.QuadPart) >> 32));
    seed = Mix(seed, ::GetTickCount());
    seed = Mix(seed, now.dwLowDateTime);
    seed = Mix(seed, now.dwHighDateTime);
    seed = Mix(seed, ::GetCurrentProcessId());
    return Mix(seed, ::GetCurrentThreadId());
}

uint16_t Win32System::GetUserDefaultUILanguage() {
    return ::GetUserDefaultUILanguage();
}

uint32_t Win32System::SetErrorMode(uint32_t mode) {
    return ::SetErrorMode(mode);
}

int32_t Win32System::CoInitializeEx(uint32_t model) {
    return ::CoInitializeEx(nullptr, model);
}

KernelHandle Win32System::CreateThread(ThreadProc proc, void* argument) {
    if (proc == nullptr) {
        // The new thread would crash at once; refuse it instead.
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return KernelHandle();
    }
    ThreadStart* start = new (std::nothrow) ThreadStart{proc, argument};
    if (start == nullptr) {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return KernelHandle();
    }
    const HANDLE thread = ::CreateThread(nullptr, 0, ThreadTrampoline, start, 0, nullptr);
    if (thread == nullptr) {
        const DWORD error = ::GetLastError();
        delete start;  // the trampoline never ran
        ::SetLastError(error);
        return KernelHandle();
    }
    return FromWin32<KernelHandle>(thread);
}

uint32_t Win32System::WaitForThread(KernelHandle thread, uint32_t milliseconds) {
    return ::WaitForSingleObject(ToWin32<HANDLE>(thread), milliseconds);
}

bool Win32System::CloseThread(KernelHandle thread) {
    return ::CloseHandle(ToWin32<HANDLE>(thread)) != FALSE;
}

bool Win32System::RestrictDllSearchPath(DllSearchRestriction* way) {
    // Neither function is imported: SetDefaultDllDirectories is missing before Windows 8
    // (and Windows 7 without KB2533623), SetDllDirectoryW before Windows XP SP1.
    DllSearchRestriction taken = DllSearchRestriction::None;
    const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    if (kernel != nullptr) {
        const FARPROC setDefault = ::GetProcAddress(kernel, "SetDefaultDllDirectories");
        if (setDefault != nullptr &&
            ProcAs<SetDefaultDllDirectoriesFunction>(setDefault)(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
            taken = DllSearchRestriction::DefaultDllDirectories;
        } else {
            const FARPROC setDirectory = ::GetProcAddress(kernel, "SetDllDirectoryW");
            if (setDirectory != nullptr && ProcAs<SetDllDirectoryFunction>(setDirectory)(L"")) {
                taken = DllSearchRestriction::EmptyDllDirectory;
            }
        }
    }
    if (way != nullptr) {
        *way = taken;
    }
    return taken != DllSearchRestriction::None;
}

}  // namespace win32
