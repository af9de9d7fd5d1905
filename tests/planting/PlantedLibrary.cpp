// A library planted beside Setup.exe under the name of a system library: loading it leaves
// a marker file next to it (its own path + ".loaded") that names the program that loaded
// it. It needs only kernel32 and the C runtime, which are not among the planted names.
#include <windows.h>

namespace {

// Appends |text| to |buffer| (|size| characters) when it fits.
bool Append(wchar_t* buffer, DWORD size, const wchar_t* text) {
    DWORD length = lstrlenW(buffer);
    const DWORD more = lstrlenW(text);
    if (length + more + 1 > size)
        return false;
    lstrcpyW(buffer + length, text);
    return true;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    wchar_t marker[MAX_PATH + 16] = {};
    const DWORD length = GetModuleFileNameW(module, marker, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || !Append(marker, MAX_PATH + 16, L".loaded"))
        return TRUE;
    wchar_t program[MAX_PATH + 1] = {};
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    const HANDLE file = CreateFileW(marker, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, program, lstrlenW(program) * sizeof(wchar_t), &written, nullptr);
        WriteFile(file, L"\r\n", 2 * sizeof(wchar_t), &written, nullptr);
        CloseHandle(file);
    }
    return TRUE;
}
