// The install log gives way to the installation: every call that writes, moves or deletes
// a file, or makes a folder, first asks the log whether the path is its own file (a -log:
// that names prefs.dat, one of the product's files or the driver's target); if it is, the
// log ends and takes back what it did there before the call goes on (CInstallLog::GiveWayTo).
// Without this the log's open handle would make the installation's write fail, and a
// failed driver copy ends the installation. Reads pass straight through.
#pragma once

#include "Setup/flow/InstallLog.h"
#include "platform/Forwarding.h"

class CLogGivesWayFiles final : public platform::ForwardingFiles {
public:
    CLogGivesWayFiles(platform::Files& inner, CInstallLog& log)
        : platform::ForwardingFiles(inner), m_log(log) {}

    bool CopyFile(const std::wstring& source, const std::wstring& destination,
                  bool failIfExists) override;
    bool MoveFile(const std::wstring& source, const std::wstring& destination) override;
    bool MoveFileEx(const std::wstring& source, const std::wstring* destination,
                    uint32_t flags) override;
    bool DeleteFile(const std::wstring& path) override;
    bool SetFileAttributes(const std::wstring& path, uint32_t attributes) override;
    bool CreateDirectory(const std::wstring& path) override;
    platform::FileHandle CreateFile(const std::wstring& path, uint32_t access, uint32_t share,
                                    uint32_t disposition, uint32_t flagsAndAttributes) override;
    bool CreateHardLink(const std::wstring& newName, const std::wstring& existing) override;
    bool CreateSymbolicLink(const std::wstring& link, const std::wstring& target,
                            bool directory) override;
    bool WritePrivateProfileString(const std::wstring& section, const std::wstring& key,
                                   const std::wstring& value, const std::wstring& file) override;

private:
    CInstallLog& m_log;
};
