#include "Setup/flow/LoggedWrites.h"

#include "base/Text.h"
#include "platform/WinConst.h"

platform::FileHandle CLoggedWritesFiles::CreateFile(const std::wstring& path, uint32_t access,
                                                    uint32_t share, uint32_t disposition,
                                                    uint32_t flagsAndAttributes) {
    const platform::FileHandle file =
        m_inner.CreateFile(path, access, share, disposition, flagsAndAttributes);
    if (file && (access & (win::kGenericWrite | win::kFileWriteData)) != 0) {
        m_writing[file.value] = path;
    }
    return file;
}

bool CLoggedWritesFiles::CloseHandle(platform::FileHandle file) {
    m_writing.erase(file.value);
    return m_inner.CloseHandle(file);
}

bool CLoggedWritesFiles::WriteFile(platform::FileHandle file, const void* buffer, uint32_t toWrite,
                                   uint32_t* written) {
    const bool ok = m_inner.WriteFile(file, buffer, toWrite, written);
    if (!ok) {
        RecordFailure(file, base::Format(L"write %u bytes to ", toWrite));
    }
    return ok;
}

bool CLoggedWritesFiles::SetEndOfFile(platform::FileHandle file) {
    const bool ok = m_inner.SetEndOfFile(file);
    if (!ok) {
        RecordFailure(file, L"set the end of ");
    }
    return ok;
}

void CLoggedWritesFiles::RecordFailure(platform::FileHandle file, const std::wstring& what) {
    const uint32_t error = m_system.GetLastError();
    const auto it = m_writing.find(file.value);
    if (it == m_writing.end()) {
        return;
    }
    const std::wstring path = it->second;
    if (m_log.IsOn()) {
        m_log.CountFailure();
        m_log.Write(L"File",
                    what + LogQuote(path) + L": " +
                        (error != win::kErrorSuccess ? ErrorText(error) : std::wstring(L"failed")));
    }
    m_system.SetLastError(error);
}
