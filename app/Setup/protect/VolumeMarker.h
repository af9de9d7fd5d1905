// The volume marker: for each volume the unattended configuration names, a hidden system
// file cvflt0.sys at the volume's root, sized from the volume's length, whose first 512
// bytes carry an enciphered header with the volume's parameters for the protection driver.
// A volume already in Veil Mode keeps its file; its header goes to the driver (command
// 1003) instead. Every failure is written to the trace log.
//
// Volume header, little-endian 32-bit fields, enciphered with RC4 over bytes 0 to 503 with
// the 8-byte key at 504 (stored in the clear):
//
//   0  random word (one rand result)    20  block size B         52  volume index
//   4  magic "cvfl"                      24  bitmap size M        56  limit 0x7FFFFFFF
//   8  random word                       28  2048 table entries   60  random bytes (444)
//  12  version 0x00010000                    per page            504  key (8 random bytes)
//  16  flag                              32  random bytes (20)
//
// Every byte starts as the low 8 bits of one rand result; the fields are stored over them
// and the key is drawn last. The volume index is the drive letter's code minus 'C' (C: 0,
// D: 1, A: -2), a lower-case letter counted as its capital.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Platform.h"

constexpr const wchar_t kMarkerFileName[] = L"cvflt0.sys";
constexpr const wchar_t kVeilDeviceName[] = L"VfVeil";
constexpr size_t kVolumeHeaderSize = 512;
constexpr size_t kVolumeHeaderKeyOffset = 504;
constexpr size_t kVolumeHeaderKeySize = 8;
constexpr uint32_t kVolumeHeaderVersion = 0x00010000;
constexpr uint32_t kTableEntriesPerPage = 2048;
constexpr uint32_t kVolumeLimit = 0x7FFFFFFF;
constexpr uint32_t kMaxBytesPerSector = 4096;
// The end of the marker file is set through a signed 32-bit offset.
constexpr uint64_t kMaxMarkerFileSize = 0x7FFFFFFF;
// Backup names are tried from ".bak" (0) to ".bak.999".
constexpr int kMarkerBackupNames = 1000;

// What the marker file's size is made of, from the volume length L (all in bytes):
//   block size B: 4096 up to 4 GiB, 8192 up to 8 GiB, 16384 up to 256 GiB, 32768 up to
//                 512 GiB, 65536 above (each bound included in the row below it)
//   blocks n = L / B;  bitmap M = (n + 8) / 8 + 1 rounded up to 4096
//   table T = 4n rounded down to 8192, plus 32768, doubled when flag & 3
//   file = T + 5M + 4096
// Computed in 64 bits; the header holds B and M in 32 bits and the file size must fit the
// signed 32-bit offset, which |fits| and |fileFits| tell.
struct MarkerLayout {
    uint32_t blockSize = 0;
    uint64_t blocks = 0;
    uint64_t bitmapSize = 0;
    uint64_t tableSize = 0;
    uint64_t fileSize = 0;
    bool bitmapFits = false;  // M fits the header's 32-bit field
    bool fileFits = false;    // the file size fits the signed 32-bit offset
};
MarkerLayout ComputeMarkerLayout(uint64_t volumeLength, uint32_t flag);

// The header's volume index for |letter|.
uint32_t VolumeIndexOf(wchar_t letter);

// Builds and enciphers a header with the C runtime's generator of |system|.
void BuildVolumeHeader(platform::System& system, uint32_t flag, uint32_t blockSize,
                       uint32_t bitmapSize, wchar_t letter, uint8_t header[kVolumeHeaderSize]);

// Deciphers a header in place with the key it carries (RC4 is its own inverse).
void DecipherVolumeHeader(uint8_t header[kVolumeHeaderSize]);

// The backup name |number| (0 to 999) of |markerPath|: "<path>.bak", "<path>.bak.001"...
std::wstring MarkerBackupName(const std::wstring& markerPath, int number);

// Prepares the volume of drive |letter| (used as given for the device path \\.\<letter>:)
// with |flag|. On failure the thread's last-error value holds the error of the failing
// call, 87 for a sector size above 4096, or 534 for a volume too large for the marker.
// Seeds the C runtime's generator of the calling thread once, so that every run draws new
// random bytes and a new key.
bool CvSetVolumeFlag(platform::Platform& platform, int32_t controlCodeBase, wchar_t letter,
                     uint32_t flag);
