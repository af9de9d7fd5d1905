// The install log's record of writes that fail: a file the installation opened for writing
// (the fingerprint record, a volume marker) that then cannot be written or sized (a full
// disk, a locked range) gets a "File" line with the error, so that a record left short
// shows in the log. Writes that succeed add nothing; the opening itself is recorded by the
// recording layer (Setup/flow/LoggedPorts), which lies above this one. No lock: the flow
// writes files from one thread at a time (the main thread, or the install worker while the
// main thread only runs the Installing page).
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "Setup/flow/InstallLog.h"
#include "platform/Forwarding.h"

class CLoggedWritesFiles final : public platform::ForwardingFiles {
public:
    CLoggedWritesFiles(platform::Files& inner, platform::System& system, CInstallLog& log)
        : platform::ForwardingFiles(inner), m_system(system), m_log(log) {}

    platform::FileHandle CreateFile(const std::wstring& path, uint32_t access, uint32_t share,
                                    uint32_t disposition, uint32_t flagsAndAttributes) override;
    bool CloseHandle(platform::FileHandle file) override;
    bool WriteFile(platform::FileHandle file, const void* buffer, uint32_t toWrite,
                   uint32_t* written) override;
    bool SetEndOfFile(platform::FileHandle file) override;

private:
    void RecordFailure(platform::FileHandle file, const std::wstring& what);

    platform::System& m_system;
    CInstallLog& m_log;
    std::map<std::uintptr_t, std::wstring> m_writing;  // handle -> the path it was opened on
};
