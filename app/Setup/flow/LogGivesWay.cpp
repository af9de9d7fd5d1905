#include "Setup/flow/LogGivesWay.h"

#include "platform/WinConst.h"

namespace {

// Whether CreateFile with |access| and |disposition| may change the file: write or delete
// access, or a disposition that creates or empties it.
bool MayChange(uint32_t access, uint32_t disposition) {
    constexpr uint32_t kChangingAccess =
        win::kGenericWrite | win::kGenericAll | win::kDelete | win::kFileWriteData;
    return (access & kChangingAccess) != 0 || disposition == win::kCreateAlways ||
           disposition == win::kCreateNew || disposition == win::kTruncateExisting;
}

}  // namespace

bool CLogGivesWayFiles::CopyFile(const std::wstring& source, const std::wstring& destination,
                                 bool failIfExists) {
    m_log.GiveWayTo(destination);
    return m_inner.CopyFile(source, destination, failIfExists);
}

bool CLogGivesWayFiles::MoveFile(const std::wstring& source, const std::wstring& destination) {
    m_log.GiveWayTo(source) || m_log.GiveWayTo(destination);
    return m_inner.MoveFile(source, destination);
}

bool CLogGivesWayFiles::MoveFileEx(const std::wstring& source, const std::wstring* destination,
                                   uint32_t flags) {
    if (!m_log.GiveWayTo(source) && destination != nullptr) {
        m_log.GiveWayTo(*destination);
    }
    return m_inner.MoveFileEx(source, destination, flags);
}

bool CLogGivesWayFiles::DeleteFile(const std::wstring& path) {
    m_log.GiveWayTo(path);
    return m_inner.DeleteFile(path);
}

bool CLogGivesWayFiles::SetFileAttributes(const std::wstring& path, uint32_t attributes) {
    m_log.GiveWayTo(path);
    return m_inner.SetFileAttributes(path, attributes);
}

bool CLogGivesWayFiles::CreateDirectory(const std::wstring& path) {
    m_log.GiveWayTo(path);
    return m_inner.CreateDirectory(path);
}

platform::FileHandle CLogGivesWayFiles::CreateFile(const std::wstring& path, uint32_t access,
                                                   uint32_t share, uint32_t disposition,
                                                   uint32_t flagsAndAttributes) {
    if (MayChange(access, disposition)) {
        m_log.GiveWayTo(path);
    }
    return m_inner.CreateFile(path, access, share, disposition, flagsAndAttributes);
}

bool CLogGivesWayFiles::CreateHardLink(const std::wstring& newName, const std::wstring& existing) {
    m_log.GiveWayTo(newName);
    return m_inner.CreateHardLink(newName, existing);
}

bool CLogGivesWayFiles::CreateSymbolicLink(const std::wstring& link, const std::wstring& target,
                                           bool directory) {
    m_log.GiveWayTo(link);
    return m_inner.CreateSymbolicLink(link, target, directory);
}

bool CLogGivesWayFiles::WritePrivateProfileString(const std::wstring& section,
                                                  const std::wstring& key,
                                                  const std::wstring& value,
                                                  const std::wstring& file) {
    m_log.GiveWayTo(file);
    return m_inner.WritePrivateProfileString(section, key, value, file);
}
