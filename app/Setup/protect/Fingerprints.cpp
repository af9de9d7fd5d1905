#include "Setup/protect/Fingerprints.h"

#include <cstring>

#include "base/Text.h"

namespace {

// The programs the driver is to recognise; Console.exe is optional.
const wchar_t* const kFingerprintedPrograms[] = {L"CorvaneWarden.exe", L"Persist.exe",
                                                 L"Corvane.exe", L"Console.exe"};

constexpr uint32_t kReadChunk = 64 * 1024;

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
}

void Put64(std::vector<uint8_t>& out, uint64_t v) {
    for (int i = 0; i < 8; ++i) {
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
}

}  // namespace

bool FingerprintFile(platform::Platform& platform, const std::wstring& path,
                     FingerprintEntry* entry) {
    platform::Files& files = platform.files;
    const platform::FileHandle file =
        files.CreateFile(path, win::kGenericRead, win::kFileShareRead, win::kOpenExisting,
                         win::kFileAttributeNormal);
    if (!file) {
        return false;
    }
    uint64_t size = 0;
    if (!files.GetFileSize(file, &size)) {
        files.CloseHandle(file);
        return false;
    }
    CSha256 sha;
    std::vector<uint8_t> chunk(kReadChunk);
    uint64_t total = 0;
    for (;;) {
        uint32_t read = 0;
        if (!files.ReadFile(file, chunk.data(), kReadChunk, &read)) {
            files.CloseHandle(file);
            return false;
        }
        if (read == 0) {
            break;
        }
        sha.Update(chunk.data(), read);
        total += read;
    }
    files.CloseHandle(file);
    // A file that changed size while it was read has no trustworthy digest.
    if (total != size) {
        return false;
    }
    entry->path = path;
    entry->size = size;
    sha.Final(entry->digest);
    return true;
}

std::vector<uint8_t> BuildFingerprintRecord(const std::vector<FingerprintEntry>& entries) {
    std::vector<const FingerprintEntry*> kept;
    for (const FingerprintEntry& entry : entries) {
        if (entry.path.size() < kFingerprintPathUnits) {
            kept.push_back(&entry);
        }
    }
    std::vector<uint8_t> record;
    Put32(record, kFingerprintMagic);
    Put32(record, kFingerprintVersion);
    Put32(record, kFingerprintHeaderSize);
    Put32(record, kFingerprintEntrySize);
    Put32(record, static_cast<uint32_t>(kept.size()));
    Put32(record, kFingerprintSha256);
    Put64(record, 0);
    for (const FingerprintEntry* entry : kept) {
        record.insert(record.end(), entry->digest, entry->digest + CSha256::kDigestSize);
        Put64(record, entry->size);
        std::vector<uint8_t> path = base::ToUtf16LE(entry->path);
        path.resize(kFingerprintPathUnits * 2, 0);
        record.insert(record.end(), path.begin(), path.end());
    }
    CSha256 sha;
    sha.Update(record.data(), record.size());
    uint8_t trailer[CSha256::kDigestSize];
    sha.Final(trailer);
    record.insert(record.end(), trailer, trailer + sizeof(trailer));
    return record;
}

bool WriteFingerprintRecord(platform::Platform& platform, const std::wstring& productFolder) {
    std::vector<FingerprintEntry> entries;
    for (const wchar_t* name : kFingerprintedPrograms) {
        FingerprintEntry entry;
        if (FingerprintFile(platform, productFolder + L"\\" + name, &entry)) {
            entries.push_back(entry);
        }
    }
    const std::vector<uint8_t> record = BuildFingerprintRecord(entries);

    std::wstring windows;
    if (!platform.system.GetWindowsDirectory(&windows)) {
        return false;
    }
    const std::wstring path =
        base::TrimmedTrailingBackslashes(windows) + L"\\" + kFingerprintFileName;
    platform::Files& files = platform.files;
    // A record left read-only, hidden or system would refuse to be replaced.
    files.SetFileAttributes(path, win::kFileAttributeNormal);
    const platform::FileHandle file = files.CreateFile(
        path, win::kGenericWrite, 0, win::kCreateAlways, win::kFileAttributeNormal);
    if (!file) {
        return false;
    }
    uint32_t written = 0;
    const bool ok =
        files.WriteFile(file, record.data(), static_cast<uint32_t>(record.size()), &written) &&
        written == record.size();
    const uint32_t error = platform.system.GetLastError();
    files.CloseHandle(file);
    platform.system.SetLastError(error);
    return ok;
}
