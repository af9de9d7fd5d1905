#include "sim/Machine.h"

namespace sim {

SimFiles::SimFiles(Machine& machine) : machine_(machine) {}

void SimFiles::InstallDefaults() {}

bool SimFiles::CopyFile(const std::wstring& source, const std::wstring& destination,
                        bool failIfExists) {
    (void)source;
    (void)destination;
    (void)failIfExists;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return false;
}

bool SimFiles::MoveFile(const std::wstring& source, const std::wstring& destination) {
    (void)source;
    (void)destination;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return false;
}

bool SimFiles::MoveFileEx(const std::wstring& source, const std::wstring* destination,
                          uint32_t flags) {
    (void)source;
    (void)destination;
    (void)flags;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return false;
}

bool SimFiles::DeleteFile(const std::wstring& path) {
    (void)path;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return false;
}

uint32_t SimFiles::GetFileAttributes(const std::wstring& path) {
    (void)path;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return {};
}

bool SimFiles::SetFileAttributes(const std::wstring& path, uint32_t attributes) {
    (void)path;
    (void)attributes;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return false;
}

bool SimFiles::CreateDirectory(const std::wstring& path) {
    (void)path;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return false;
}

bool SimFiles::RemoveDirectory(const std::wstring& path) {
    (void)path;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return false;
}

FindHandle SimFiles::FindFirstFile(const std::wstring& pattern, FindData* data) {
    (void)pattern;
    (void)data;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return {};
}

bool SimFiles::FindNextFile(FindHandle find, FindData* data) {
    (void)find;
    (void)data;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return false;
}

bool SimFiles::FindClose(FindHandle find) {
    (void)find;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return false;
}

uint32_t SimFiles::GetTempFileName(const std::wstring& folder, const std::wstring& prefix,
                                   std::wstring* path) {
    (void)folder;
    (void)prefix;
    (void)path;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return {};
}

bool SimFiles::GetModuleFileName(std::wstring* path) {
    (void)path;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return false;
}

FileHandle SimFiles::CreateFile(const std::wstring& path, uint32_t access, uint32_t share,
                                uint32_t disposition, uint32_t flagsAndAttributes) {
    (void)path;
    (void)access;
    (void)share;
    (void)disposition;
    (void)flagsAndAttributes;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return {};
}

bool SimFiles::CloseHandle(FileHandle file) {
    (void)file;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return false;
}

bool SimFiles::ReadFile(FileHandle file, void* buffer, uint32_t toRead, uint32_t* read) {
    (void)file;
    (void)buffer;
    (void)toRead;
    (void)read;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return false;
}

bool SimFiles::WriteFile(FileHandle file, const void* buffer, uint32_t toWrite, uint32_t* written) {
    (void)file;
    (void)buffer;
    (void)toWrite;
    (void)written;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return false;
}

bool SimFiles::SetFilePointer(FileHandle file, int64_t distance, uint32_t method,
                              int64_t* newPosition) {
    (void)file;
    (void)distance;
    (void)method;
    (void)newPosition;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return false;
}

bool SimFiles::SetEndOfFile(FileHandle file) {
    (void)file;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return false;
}

bool SimFiles::GetFileSize(FileHandle file, uint64_t* size) {
    (void)file;
    (void)size;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return false;
}

uint32_t SimFiles::GetPrivateProfileString(const std::wstring& section, const std::wstring& key,
                                           const std::wstring& defaultValue, std::wstring* value,
                                           uint32_t bufferChars, const std::wstring& file) {
    (void)section;
    (void)key;
    (void)defaultValue;
    (void)value;
    (void)bufferChars;
    (void)file;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return {};
}

uint32_t SimFiles::GetPrivateProfileInt(const std::wstring& section, const std::wstring& key,
                                        int32_t defaultValue, const std::wstring& file) {
    (void)section;
    (void)key;
    (void)defaultValue;
    (void)file;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return {};
}

bool SimFiles::WritePrivateProfileString(const std::wstring& section, const std::wstring& key,
                                         const std::wstring& value, const std::wstring& file) {
    (void)section;
    (void)key;
    (void)value;
    (void)file;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return false;
}

}  // namespace sim
