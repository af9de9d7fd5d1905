// Private to the Win32 adapters: the SDK headers they use and small conversions between
// the ports' handle values and Win32's. Nothing outside app/platform/win32 includes this.
#pragma once

#include <windows.h>

#include <objbase.h>
#include <oleauto.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <wbemidl.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/Types.h"

// With UNICODE the SDK defines the "A/W" names as macros (CopyFile -> CopyFileW). The ports
// use the plain names as method names, so the macros are removed here; the adapters always
// call the W functions by their full names.
#undef CopyFile
#undef CreateHardLink
#undef CreateSymbolicLink
#undef CreateDirectory
#undef CreateFile
#undef CreateMutex
#undef CreateProcess
#undef DeleteFile
#undef FindFirstFile
#undef FindFirstVolume
#undef FindNextFile
#undef FindNextVolume
#undef FindWindow
#undef GetCommandLine
#undef GetDriveType
#undef GetFileAttributes
#undef GetModuleFileName
#undef GetPrivateProfileInt
#undef GetPrivateProfileString
#undef GetSystemDirectory
#undef GetTempFileName
#undef GetVolumeNameForVolumeMountPoint
#undef GetWindowsDirectory
#undef LoadLibrary
#undef LoadLibraryEx
#undef LookupPrivilegeValue
#undef MoveFile
#undef MoveFileEx
#undef PostMessage
#undef RemoveDirectory
#undef SendMessage
#undef SetFileAttributes
#undef WritePrivateProfileString
#undef DialogBox
#undef GetClassName
#undef GetWindowText
#undef SetWindowText
#undef MessageBox
#undef LoadString
#undef LoadIcon
#undef CreateFont

namespace win32 {

// The Win32 handle behind a port handle, and back. INVALID_HANDLE_VALUE and NULL both
// become the empty handle.
template <typename Win32Type, typename Tag>
inline Win32Type ToWin32(platform::Handle<Tag> handle) {
    return reinterpret_cast<Win32Type>(handle.value);
}

template <typename PortHandle, typename Win32Type>
inline PortHandle FromWin32(Win32Type handle) {
    const auto value = reinterpret_cast<std::uintptr_t>(handle);
    if (value == reinterpret_cast<std::uintptr_t>(INVALID_HANDLE_VALUE)) {
        return PortHandle();
    }
    return PortHandle(value);
}

// An export found with GetProcAddress, as a pointer to its real type. The detour through
// void(*)() is the documented way to convert between unrelated function types without a
// -Wcast-function-type warning.
template <typename Function>
inline Function ProcAs(FARPROC proc) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(proc));
}

// Text of a buffer the API filled, up to its first null and never past |chars|.
inline std::wstring TextOf(const wchar_t* buffer, std::size_t chars) {
    std::size_t length = 0;
    while (length < chars && buffer[length] != L'\0') {
        ++length;
    }
    return std::wstring(buffer, length);
}

// A zero-filled buffer from the C runtime's heap whose size comes from the caller or the
// data (a profile value's buffer size, a module name that keeps growing). The program is
// built without exceptions, so a buffer that cannot be had is an answer here, not the end
// of the program: Allocate returns false and the adapter fails with
// ERROR_NOT_ENOUGH_MEMORY. One spare, zeroed element follows |count|, so that even a size
// of 0 is a real buffer.
template <typename T>
class HeapBuffer {
public:
    HeapBuffer() = default;
    HeapBuffer(const HeapBuffer&) = delete;
    HeapBuffer& operator=(const HeapBuffer&) = delete;
    ~HeapBuffer() { std::free(data_); }

    // Replaces the buffer by |count| + 1 zeroed elements; false (and ERROR_NOT_ENOUGH_MEMORY)
    // when the memory cannot be had, leaving no buffer.
    bool Allocate(std::size_t count) {
        std::free(data_);
        data_ = nullptr;
        size_ = 0;
        if (count >= static_cast<std::size_t>(-1) / sizeof(T) - 1) {
            ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return false;
        }
        data_ = static_cast<T*>(std::calloc(count + 1, sizeof(T)));
        if (data_ == nullptr) {
            ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return false;
        }
        size_ = count;
        return true;
    }

    // Zeroes the whole buffer again.
    void Clear() {
        for (std::size_t i = 0; i <= size_ && data_ != nullptr; ++i) {
            data_[i] = T();
        }
    }

    T* data() { return data_; }
    std::size_t size() const { return size_; }  // without the spare element

private:
    T* data_ = nullptr;
    std::size_t size_ = 0;
};

// A pointer to |s|'s characters for an optional string argument: NULL when |s| is null.
inline const wchar_t* OptionalText(const std::wstring* s) {
    return s != nullptr ? s->c_str() : nullptr;
}

}  // namespace win32
