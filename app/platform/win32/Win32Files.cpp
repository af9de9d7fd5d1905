// Files adapter: files, folders, file handles and the private-profile functions. Every
// method leaves the thread's last-error value as the Win32 function set it.
#include "win32/Win32Util.h"

#include "win32/Adapters.h"

namespace win32 {

namespace {

void FillFindData(const WIN32_FIND_DATAW& found, FindData* data) {
    if (data == nullptr) {
        return;
    }
    data->name = TextOf(found.cFileName, MAX_PATH);
    data->attributes = found.dwFileAttributes;
    data->size = (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
}

using CreateSymbolicLinkFunction = BOOLEAN(WINAPI*)(LPCWSTR, LPCWSTR, DWORD);

// SYMBOLIC_LINK_FLAG_DIRECTORY; winbase.h declares it only for builds that target Windows
// Vista and later.
constexpr DWORD kSymbolicLinkFlagDirectory = 0x1;

// The largest buffer GetModuleFileNameW is offered: well above the 32767 characters of
// the longest path Windows knows.
constexpr DWORD kModuleNameLimit = 65536;

}  // namespace

bool Win32Files::CopyFile(const std::wstring& source, const std::wstring& destination,
                          bool failIfExists) {
    return ::CopyFileW(source.c_str(), destination.c_str(), failIfExists ? TRUE : FALSE) != FALSE;
}

bool Win32Files::MoveFile(const std::wstring& source, const std::wstring& destination) {
    return ::MoveFileW(source.c_str(), destination.c_str()) != FALSE;
}

bool Win32Files::MoveFileEx(const std::wstring& source, const std::wstring* destination,
                            uint32_t flags) {
    return ::MoveFileExW(source.c_str(), OptionalText(destination), flags) != FALSE;
}

bool Win32Files::DeleteFile(const std::wstring& path) {
    return ::DeleteFileW(path.c_str()) != FALSE;
}

uint32_t Win32Files::GetFileAttributes(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str());
}

bool Win32Files::SetFileAttributes(const std::wstring& path, uint32_t attributes) {
    return ::SetFileAttributesW(path.c_str(), attributes) != FALSE;
}

bool Win32Files::CreateDirectory(const std::wstring& path) {
    return ::CreateDirectoryW(path.c_str(), nullptr) != FALSE;
}

bool Win32Files::RemoveDirectory(const std::wstring& path) {
    return ::RemoveDirectoryW(path.c_str()) != FALSE;
}

FindHandle Win32Files::FindFirstFile(const std::wstring& pattern, FindData* data) {
    WIN32_FIND_DATAW found = {};
    const HANDLE find = ::FindFirstFileW(pattern.c_str(), &found);
    const FindHandle handle = FromWin32<FindHandle>(find);
    if (handle) {
        FillFindData(found, data);
    }
    return handle;
}

bool Win32Files::FindNextFile(FindHandle find, FindData* data) {
    WIN32_FIND_DATAW found = {};
    if (!::FindNextFileW(ToWin32<HANDLE>(find), &found)) {
        return false;
    }
    FillFindData(found, data);
    return true;
}

bool Win32Files::FindClose(FindHandle find) {
    return ::FindClose(ToWin32<HANDLE>(find)) != FALSE;
}

uint32_t Win32Files::GetTempFileName(const std::wstring& folder, const std::wstring& prefix,
                                     std::wstring* path) {
    // MAX_PATH is the function's own documented limit for the buffer.
    wchar_t buffer[MAX_PATH + 1] = {};
    const UINT unique = ::GetTempFileNameW(folder.c_str(), prefix.c_str(), 0, buffer);
    if (unique != 0 && path != nullptr) {
        *path = TextOf(buffer, MAX_PATH);
    }
    return unique;
}

bool Win32Files::GetModuleFileName(std::wstring* path) {
    // The function cuts the name to the buffer and returns the buffer's size when it did
    // (Windows XP without a terminator or an error; later versions with
    // ERROR_INSUFFICIENT_BUFFER), so the buffer grows until the name fits.
    HeapBuffer<wchar_t> buffer;
    for (DWORD chars = MAX_PATH; chars <= kModuleNameLimit; chars *= 2) {
        if (!buffer.Allocate(chars)) {
            return false;
        }
        const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), chars);
        if (length == 0) {
            return false;
        }
        if (length < chars) {
            if (path != nullptr) {
                *path = TextOf(buffer.data(), length);
            }
            return true;
        }
    }
    ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return false;
}

FileHandle Win32Files::CreateFile(const std::wstring& path, uint32_t access, uint32_t share,
                                  uint32_t disposition, uint32_t flagsAndAttributes) {
    const HANDLE file = ::CreateFileW(path.c_str(), access, share, nullptr, disposition,
                                      flagsAndAttributes, nullptr);
    return FromWin32<FileHandle>(file);
}

bool Win32Files::CloseHandle(FileHandle file) {
    return ::CloseHandle(ToWin32<HANDLE>(file)) != FALSE;
}

bool Win32Files::ReadFile(FileHandle file, void* buffer, uint32_t toRead, uint32_t* read) {
    // Without an OVERLAPPED structure the count argument is required, so it always gets one.
    DWORD count = 0;
    const BOOL ok = ::ReadFile(ToWin32<HANDLE>(file), buffer, toRead, &count, nullptr);
    if (read != nullptr) {
        *read = count;
    }
    return ok != FALSE;
}

bool Win32Files::WriteFile(FileHandle file, const void* buffer, uint32_t toWrite,
                           uint32_t* written) {
    DWORD count = 0;
    const BOOL ok = ::WriteFile(ToWin32<HANDLE>(file), buffer, toWrite, &count, nullptr);
    if (written != nullptr) {
        *written = count;
    }
    return ok != FALSE;
}

bool Win32Files::SetFilePointer(FileHandle file, int64_t distance, uint32_t method,
                                int64_t* newPosition) {
    LARGE_INTEGER move;
    move.QuadPart = distance;
    LARGE_INTEGER position;
    position.QuadPart = 0;
    if (!::SetFilePointerEx(ToWin32<HANDLE>(file), move, &position, method)) {
        return false;
    }
    if (newPosition != nullptr) {
        *newPosition = position.QuadPart;
    }
    return true;
}

bool Win32Files::SetEndOfFile(FileHandle file) {
    return ::SetEndOfFile(ToWin32<HANDLE>(file)) != FALSE;
}

bool Win32Files::GetFileSize(FileHandle file, uint64_t* size) {
    LARGE_INTEGER result;
    result.QuadPart = 0;
    if (!::GetFileSizeEx(ToWin32<HANDLE>(file), &result)) {
        return false;
    }
    if (size != nullptr) {
        *size = static_cast<uint64_t>(result.QuadPart);
    }
    return true;
}

bool Win32Files::GetFileInformationByHandle(FileHandle file, FileInformation* information) {
    BY_HANDLE_FILE_INFORMATION found = {};
    if (!::GetFileInformationByHandle(ToWin32<HANDLE>(file), &found)) {
        return false;
    }
    if (information != nullptr) {
        information->attributes = found.dwFileAttributes;
        information->volumeSerial = found.dwVolumeSerialNumber;
        information->fileIndex =
            (static_cast<uint64_t>(found.nFileIndexHigh) << 32) | found.nFileIndexLow;
        information->links = found.nNumberOfLinks;
        information->size = (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    }
    return true;
}

bool Win32Files::CreateHardLink(const std::wstring& newName, const std::wstring& existing) {
    return ::CreateHardLinkW(newName.c_str(), existing.c_str(), nullptr) != FALSE;
}

bool Win32Files::CreateSymbolicLink(const std::wstring& link, const std::wstring& target,
                                    bool directory) {
    // Windows Vista and later only: looked up, so that the program still loads on XP.
    const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    const FARPROC proc =
        kernel != nullptr ? ::GetProcAddress(kernel, "CreateSymbolicLinkW") : nullptr;
    if (proc == nullptr) {
        ::SetLastError(ERROR_PROC_NOT_FOUND);
        return false;
    }
    return ProcAs<CreateSymbolicLinkFunction>(proc)(
               link.c_str(), target.c_str(), directory ? kSymbolicLinkFlagDirectory : 0) != 0;
}

uint32_t Win32Files::GetPrivateProfileString(const std::wstring& section, const std::wstring& key,
                                             const std::wstring& defaultValue, std::wstring* value,
                                             uint32_t bufferChars, const std::wstring& file) {
    // The function is told exactly |bufferChars|: the cut it makes is part of what the
    // caller asks for. The buffer has one spare, zeroed unit so that even a buffer of size
    // 0 is a real buffer.
    HeapBuffer<wchar_t> buffer;
    if (!buffer.Allocate(bufferChars)) {
        if (value != nullptr) {
            value->clear();
        }
        return 0;
    }
    const DWORD length =
        ::GetPrivateProfileStringW(section.c_str(), key.c_str(), defaultValue.c_str(),
                                   buffer.data(), bufferChars, file.c_str());
    if (value != nullptr) {
        const size_t limit = bufferChars > 0 ? bufferChars - 1 : 0;
        *value = TextOf(buffer.data(), length < limit ? length : limit);
    }
    return length;
}

uint32_t Win32Files::GetPrivateProfileInt(const std::wstring& section, const std::wstring& key,
                                          int32_t defaultValue, const std::wstring& file) {
    return ::GetPrivateProfileIntW(section.c_str(), key.c_str(), defaultValue, file.c_str());
}

bool Win32Files::WritePrivateProfileString(const std::wstring& section, const std::wstring& key,
                                           const std::wstring& value, const std::wstring& file) {
    return ::WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(),
                                        file.c_str()) != FALSE;
}

}  // namespace win32
