#include "Setup/protect/TraceLog.h"

#include <cstdarg>

#include "Setup/protect/FileSafety.h"
#include "base/Text.h"

std::string TraceLineBytes(const std::wstring& message) {
    std::wstring line = base::Format(L"[ %16ls ] | ", kTraceTag);
    line += message.substr(0, kTraceTextLimit);
    if (line.size() > kTraceTextLimit) {
        line.resize(kTraceTextLimit);
    }
    if (line.empty() || line.back() != L'\n') {
        line += L'\n';
    }
    std::string bytes;
    bytes.reserve(line.size() + 8);
    for (wchar_t c : line) {
        if (c == L'\n') {
            bytes += "\r\n";
        } else if (static_cast<uint32_t>(c) > 0xFF) {
            bytes += '?';
        } else {
            bytes += static_cast<char>(static_cast<uint8_t>(c));
        }
    }
    return bytes;
}

void CvTrace(platform::Platform& platform, const wchar_t* format, ...) {
    platform::LastErrorKeeper keep(platform.system);
    platform::Files& files = platform.files;

    // Only an existing log is written; its size decides whether it starts anew.
    platform::FileHandle log =
        files.CreateFile(kTraceLogPath, win::kGenericRead,
                         win::kFileShareRead | win::kFileShareWrite | win::kFileShareDelete,
                         win::kOpenExisting, win::kFileFlagOpenReparsePoint);
    if (!log) {
        return;
    }
    platform::FileInformation info;
    const bool plain = IsPlainFile(files, log, &info);
    files.CloseHandle(log);
    if (!plain) {
        return;
    }
    if (info.size >= kTraceLogLimit) {
        files.DeleteFile(kTraceLogPath);
    }

    va_list args;
    va_start(args, format);
    const std::wstring message = base::FormatV(format, args);
    va_end(args);
    const std::string bytes = TraceLineBytes(message);

    log = files.CreateFile(kTraceLogPath, win::kGenericWrite,
                           win::kFileShareRead | win::kFileShareWrite, win::kOpenAlways,
                           win::kFileAttributeNormal | win::kFileFlagOpenReparsePoint);
    if (!log) {
        return;
    }
    // Checked again on the handle that writes: a link put in place meanwhile is not
    // written through.
    if (IsPlainFile(files, log, nullptr) && files.SetFilePointer(log, 0, win::kFileEnd, nullptr)) {
        uint32_t written = 0;
        files.WriteFile(log, bytes.data(), static_cast<uint32_t>(bytes.size()), &written);
    }
    files.CloseHandle(log);
}
