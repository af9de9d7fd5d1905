// Simulated files of sim::Machine.
#pragma once

#include "sim/Common.h"

namespace sim {

class Machine;

class SimFiles : public platform::Files {
public:
    explicit SimFiles(Machine& machine);
    // Puts the default machine's state in place (called once by Machine's constructor).
    void InstallDefaults();

    bool CopyFile(const std::wstring& source, const std::wstring& destination,
                  bool failIfExists) override;
    bool MoveFile(const std::wstring& source, const std::wstring& destination) override;
    bool MoveFileEx(const std::wstring& source, const std::wstring* destination,
                    uint32_t flags) override;
    bool DeleteFile(const std::wstring& path) override;
    uint32_t GetFileAttributes(const std::wstring& path) override;
    bool SetFileAttributes(const std::wstring& path, uint32_t attributes) override;
    bool CreateDirectory(const std::wstring& path) override;
    bool RemoveDirectory(const std::wstring& path) override;
    FindHandle FindFirstFile(const std::wstring& pattern, FindData* data) override;
    bool FindNextFile(FindHandle find, FindData* data) override;
    bool FindClose(FindHandle find) override;
    uint32_t GetTempFileName(const std::wstring& folder, const std::wstring& prefix,
                             std::wstring* path) override;
    bool GetModuleFileName(std::wstring* path) override;
    FileHandle CreateFile(const std::wstring& path, uint32_t access, uint32_t share,
                          uint32_t disposition, uint32_t flagsAndAttributes) override;
    bool CloseHandle(FileHandle file) override;
    bool ReadFile(FileHandle file, void* buffer, uint32_t toRead, uint32_t* read) override;
    bool WriteFile(FileHandle file, const void* buffer, uint32_t toWrite,
                   uint32_t* written) override;
    bool SetFilePointer(FileHandle file, int64_t distance, uint32_t method,
                        int64_t* newPosition) override;
    bool SetEndOfFile(FileHandle file) override;
    bool GetFileSize(FileHandle file, uint64_t* size) override;
    uint32_t GetPrivateProfileString(const std::wstring& section, const std::wstring& key,
                                     const std::wstring& defaultValue, std::wstring* value,
                                     uint32_t bufferChars, const std::wstring& file) override;
    uint32_t GetPrivateProfileInt(const std::wstring& section, const std::wstring& key,
                                  int32_t defaultValue, const std::wstring& file) override;
    bool WritePrivateProfileString(const std::wstring& section, const std::wstring& key,
                                   const std::wstring& value, const std::wstring& file) override;

private:
    Machine& machine_;
};

}  // namespace sim
