// The fingerprint record: by it the protection driver recognises the product's own
// programs. One file in the Windows folder, rewritten at every installation, with a
// SHA-256 digest and the size of each program as installed. Its layout (all integers
// little-endian) is documented for the driver's authors in docs/FINGERPRINTS.md:
//
//   header, 32 bytes     magic "CVFP", version 1, header size 32, entry size 560, entry
//                        count, digest algorithm 1 (SHA-256), 8 reserved zero bytes
//   entries, 560 bytes   SHA-256 of the file's bytes (32), file size (8), the file's full
//                        path in UTF-16LE, zero-filled to 260 units (520)
//   trailer, 32 bytes    SHA-256 of everything before it
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Setup/protect/Sha256.h"
#include "platform/Platform.h"

constexpr const wchar_t kFingerprintFileName[] = L"cvfltfp.dat";
constexpr uint32_t kFingerprintMagic = 0x50465643;  // "CVFP"
constexpr uint32_t kFingerprintVersion = 1;
constexpr uint32_t kFingerprintHeaderSize = 32;
constexpr uint32_t kFingerprintEntrySize = 560;
constexpr uint32_t kFingerprintPathUnits = 260;
constexpr uint32_t kFingerprintSha256 = 1;

struct FingerprintEntry {
    std::wstring path;
    uint64_t size = 0;
    uint8_t digest[CSha256::kDigestSize] = {};
};

// SHA-256 and size of the file at |path|, read through the Files port. False when it
// cannot be opened or read to its end.
bool FingerprintFile(platform::Platform& platform, const std::wstring& path,
                     FingerprintEntry* entry);

// The record's bytes. Entries whose path does not fit the 259 units of the path field
// are left out.
std::vector<uint8_t> BuildFingerprintRecord(const std::vector<FingerprintEntry>& entries);

// Fingerprints CorvaneWarden.exe, Persist.exe, Corvane.exe and, when present, Console.exe
// in |productFolder| (a program that cannot be read is left out) and writes the record to
// "<Windows folder>\cvfltfp.dat". False when the record could not be written.
bool WriteFingerprintRecord(platform::Platform& platform, const std::wstring& productFolder);
