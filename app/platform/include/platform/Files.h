// Files port: files, folders, file handles and the private-profile (INI) functions, with
// Win32's semantics and error codes. Every operation sets the thread's last-error value
// as the Win32 function does (see System::GetLastError); on success the value is whatever
// Windows leaves (callers must not rely on it unless the function documents it, such as
// CreateFileW with kOpenAlways/kCreateAlways setting kErrorAlreadyExists).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Types.h"

namespace platform {

// What GetFileInformationByHandle reports of an open file or folder.
struct FileInformation {
    uint32_t attributes = 0;    // kFileAttribute* bits of what the handle refers to
    uint32_t volumeSerial = 0;  // with |fileIndex|: the file's identity on the machine
    uint64_t fileIndex = 0;
    uint32_t links = 0;  // nNumberOfLinks: the names (hard links) the file has
    uint64_t size = 0;
};

struct FindData {
    std::wstring name;        // the entry's own name (cFileName), "." and ".." included
    uint32_t attributes = 0;  // kFileAttribute* bits
    uint64_t size = 0;
};

class Files {
public:
    virtual ~Files() = default;

    // CopyFileW. Copies data and attributes (read-only included; the archive bit set).
    virtual bool CopyFile(const std::wstring& source, const std::wstring& destination,
                          bool failIfExists) = 0;
    // MoveFileW: never replaces an existing destination (kErrorAlreadyExists).
    virtual bool MoveFile(const std::wstring& source, const std::wstring& destination) = 0;
    // MoveFileExW. |destination| null with kMovefileDelayUntilReboot schedules deletion at
    // the next restart (recorded in the Session Manager's PendingFileRenameOperations).
    virtual bool MoveFileEx(const std::wstring& source, const std::wstring* destination,
                            uint32_t flags) = 0;
    // DeleteFileW: a read-only file is not deleted (kErrorAccessDenied).
    virtual bool DeleteFile(const std::wstring& path) = 0;
    // GetFileAttributesW: kInvalidFileAttributes on failure.
    virtual uint32_t GetFileAttributes(const std::wstring& path) = 0;
    virtual bool SetFileAttributes(const std::wstring& path, uint32_t attributes) = 0;
    // CreateDirectoryW: one level; kErrorAlreadyExists / kErrorPathNotFound on failure.
    virtual bool CreateDirectory(const std::wstring& path) = 0;
    // RemoveDirectoryW (empty folders only).
    virtual bool RemoveDirectory(const std::wstring& path) = 0;

    // FindFirstFileW / FindNextFileW / FindClose over a pattern such as "C:\Dir\*".
    virtual FindHandle FindFirstFile(const std::wstring& pattern, FindData* data) = 0;
    virtual bool FindNextFile(FindHandle find, FindData* data) = 0;  // kErrorNoMoreFiles at end
    virtual bool FindClose(FindHandle find) = 0;

    // GetTempFileNameW with |unique| 0: creates an empty file named
    // <folder>\<prefix up to 3 chars><hex>.tmp and returns its path in |path|. Returns the
    // unique number used, 0 on failure.
    virtual uint32_t GetTempFileName(const std::wstring& folder, const std::wstring& prefix,
                                     std::wstring* path) = 0;

    // GetModuleFileNameW(NULL): the running program's full path; false on failure.
    virtual bool GetModuleFileName(std::wstring* path) = 0;

    // CreateFileW for files and devices (\\.\C:, \\.\VfControl, \\.\C:\name). Returns an
    // empty handle on failure. |flagsAndAttributes| holds kFileAttribute* and kFileFlag*.
    virtual FileHandle CreateFile(const std::wstring& path, uint32_t access, uint32_t share,
                                  uint32_t disposition, uint32_t flagsAndAttributes) = 0;
    virtual bool CloseHandle(FileHandle file) = 0;
    // ReadFile / WriteFile at the current position, which they advance.
    virtual bool ReadFile(FileHandle file, void* buffer, uint32_t toRead, uint32_t* read) = 0;
    virtual bool WriteFile(FileHandle file, const void* buffer, uint32_t toWrite,
                           uint32_t* written) = 0;
    // SetFilePointerEx with kFileBegin / kFileCurrent / kFileEnd; |newPosition| may be null.
    virtual bool SetFilePointer(FileHandle file, int64_t distance, uint32_t method,
                                int64_t* newPosition) = 0;
    virtual bool SetEndOfFile(FileHandle file) = 0;
    // GetFileSizeEx.
    virtual bool GetFileSize(FileHandle file, uint64_t* size) = 0;
    // GetFileInformationByHandle. A symbolic link opened with kFileFlagOpenReparsePoint
    // reports itself (kFileAttributeReparsePoint), not its target.
    virtual bool GetFileInformationByHandle(FileHandle file, FileInformation* information) = 0;

    // Links. Opening a path through CreateFile follows a symbolic link to its target unless
    // kFileFlagOpenReparsePoint is given; GetFileAttributes, MoveFile and DeleteFile act on
    // the link itself; SetFileAttributes and the private-profile functions follow it.
    // CreateHardLinkW(newName, existing, NULL): another name for an existing file on the
    // same volume (kErrorNotSameDevice across volumes, kErrorAlreadyExists when |newName|
    // exists, kErrorAccessDenied for a folder).
    virtual bool CreateHardLink(const std::wstring& newName, const std::wstring& existing) = 0;
    // CreateSymbolicLinkW(link, target, directory ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0),
    // looked up by name in kernel32 (Windows Vista and later; kErrorProcNotFound without
    // it). |target| is stored as given; a relative one is taken from the link's folder.
    virtual bool CreateSymbolicLink(const std::wstring& link, const std::wstring& target,
                                    bool directory) = 0;

    // GetPrivateProfileStringW with a real section and key (no enumeration). The result is
    // cut to |bufferChars| - 1 characters as the function does; returns its length.
    virtual uint32_t GetPrivateProfileString(const std::wstring& section, const std::wstring& key,
                                             const std::wstring& defaultValue, std::wstring* value,
                                             uint32_t bufferChars, const std::wstring& file) = 0;
    // GetPrivateProfileIntW.
    virtual uint32_t GetPrivateProfileInt(const std::wstring& section, const std::wstring& key,
                                          int32_t defaultValue, const std::wstring& file) = 0;
    // WritePrivateProfileStringW with a real section, key and value (creates the file).
    virtual bool WritePrivateProfileString(const std::wstring& section, const std::wstring& key,
                                           const std::wstring& value, const std::wstring& file) = 0;
};

}  // namespace platform
