#include "Setup/protect/VolumeMarker.h"

#include <cstring>

#include "Setup/checks/DriverControl.h"
#include "Setup/protect/FileSafety.h"
#include "Setup/protect/Rc4.h"
#include "Setup/protect/TraceLog.h"
#include "base/Text.h"

namespace {

constexpr uint64_t kGiB = 1024ULL * 1024 * 1024;
constexpr uint32_t kDiskGeometrySize = 24;
constexpr uint32_t kPartitionInfoSize = 32;
constexpr uint32_t kPartitionInfoExSize = 144;

uint64_t Get64(const uint8_t* p) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) {
        v = (v << 8) | p[i];
    }
    return v;
}

uint32_t Get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<uint8_t>(v >> (8 * i));
    }
}

std::wstring Decimal(uint64_t value) {
    std::wstring text;
    do {
        text.insert(text.begin(), static_cast<wchar_t>(L'0' + value % 10));
        value /= 10;
    } while (value != 0);
    return text;
}

// Leaves |error| as the thread's last-error value and fails.
bool FailWith(platform::Platform& platform, uint32_t error) {
    platform.system.SetLastError(error);
    return false;
}

// The marker file's open: read and write, sharing read and write, created when missing,
// write-through, hidden and system - and never through a link.
platform::FileHandle OpenMarker(platform::Platform& platform, const std::wstring& markerPath) {
    platform::Files& files = platform.files;
    const platform::FileHandle marker =
        files.CreateFile(markerPath, win::kGenericRead | win::kGenericWrite,
                         win::kFileShareRead | win::kFileShareWrite, win::kOpenAlways,
                         win::kFileFlagWriteThrough | win::kFileAttributeHidden |
                             win::kFileAttributeSystem | win::kFileFlagOpenReparsePoint);
    if (!marker) {
        return marker;
    }
    if (!IsPlainFile(files, marker, nullptr)) {
        // A link, a folder or a file with other names: as if it could not be opened.
        files.CloseHandle(marker);
        platform.system.SetLastError(win::kErrorAccessDenied);
        return platform::FileHandle();
    }
    return marker;
}

// Moves the marker file to its first free backup name; when all are taken, to a fresh
// temporary name in the same folder (whose result is not checked).
void MoveMarkerAside(platform::Platform& platform, const std::wstring& markerPath) {
    platform::Files& files = platform.files;
    std::wstring backup;
    for (int number = 0; number < kMarkerBackupNames; ++number) {
        backup = MarkerBackupName(markerPath, number);
        if (files.MoveFile(markerPath, backup)) {
            return;
        }
    }
    const std::wstring folder = backup.substr(0, backup.rfind(L'\\') + 1);
    std::wstring temporary;
    if (files.GetTempFileName(folder, L"", &temporary) != 0) {
        files.DeleteFile(temporary);
        files.MoveFile(markerPath, temporary);
    }
}

// Steps 8.4 to 8.7 and 10 on the open marker: size, spoil the old header, write the new.
// Closes |marker| in every case.
bool WriteMarker(platform::Platform& platform, platform::FileHandle marker,
                 const std::wstring& markerPath, uint64_t fileSize,
                 const uint8_t header[kVolumeHeaderSize]) {
    platform::Files& files = platform.files;
    auto fail = [&](const wchar_t* call, uint32_t error) {
        files.CloseHandle(marker);
        CvTrace(platform, L"CvSetVolumeFlag: %ls(%ls) failed(%d)", call, markerPath.c_str(),
                static_cast<int>(error));
        return FailWith(platform, error);
    };

    // The driver keeps the file's blocks where it placed them: no compression.
    const uint16_t noCompression = win::kCompressionFormatNone;
    uint32_t returned = 0;
    platform.volumes.DeviceIoControl(marker, win::kFsctlSetCompression, &noCompression,
                                     sizeof(noCompression), nullptr, 0, &returned);

    if (!files.SetFilePointer(marker, static_cast<int64_t>(fileSize), win::kFileBegin, nullptr) ||
        !files.SetEndOfFile(marker)) {
        return fail(L"SetEndOfFile", platform.system.GetLastError());
    }

    uint8_t old[kVolumeHeaderSize] = {};
    uint32_t read = 0;
    if (!files.SetFilePointer(marker, 0, win::kFileBegin, nullptr) ||
        !files.ReadFile(marker, old, kVolumeHeaderSize, &read)) {
        return fail(L"ReadFile", platform.system.GetLastError());
    }
    if (read != kVolumeHeaderSize) {
        return fail(L"ReadFile", win::kErrorHandleEof);
    }
    // An earlier header loses its magic and version before the new one is written.
    std::memset(old + 4, 0, 4);
    std::memset(old + 12, 0, 4);
    uint32_t written = 0;
    if (!files.SetFilePointer(marker, 0, win::kFileBegin, nullptr) ||
        !files.WriteFile(marker, old, kVolumeHeaderSize, &written)) {
        return fail(L"WriteFile", platform.system.GetLastError());
    }
    if (written != kVolumeHeaderSize) {
        return fail(L"WriteFile", win::kErrorDiskFull);
    }

    written = 0;
    if (!files.SetFilePointer(marker, 0, win::kFileBegin, nullptr) ||
        !files.WriteFile(marker, header, kVolumeHeaderSize, &written)) {
        return fail(L"WriteFile", platform.system.GetLastError());
    }
    if (written != kVolumeHeaderSize) {
        return fail(L"WriteFile", win::kErrorDiskFull);
    }
    files.CloseHandle(marker);
    files.SetFileAttributes(markerPath, win::kFileAttributeHidden | win::kFileAttributeSystem);
    return true;
}

// Step 11: the header to the driver of a volume in Veil Mode (no trace on failure).
bool HandHeaderToDriver(platform::Platform& platform, int32_t controlCodeBase,
                        const std::wstring& volumePath, const uint8_t header[kVolumeHeaderSize]) {
    const platform::FileHandle volume = OpenDriverDevice(platform, volumePath);
    if (!volume) {
        return false;
    }
    BeginDriverAccess(platform, controlCodeBase);
    DriverRequest request(kVolumeHeaderCommand);
    uint32_t address = 0;
    bool sent = platform.volumes.BlockAddress32(header, kVolumeHeaderSize, &address);
    if (sent) {
        request.SetField(8, address);
        request.SetField(12, kVolumeHeaderSize);
        sent = SendDriverRequest(platform, volume, VariableControlCode(controlCodeBase), request);
    }
    const uint32_t error = platform.system.GetLastError();
    if (!sent) {
        platform.files.CloseHandle(volume);
        EndDriverAccess(platform, controlCodeBase);
        return FailWith(platform, error);
    }
    EndDriverAccess(platform, controlCodeBase);
    platform.files.CloseHandle(volume);
    return true;
}

}  // namespace

MarkerLayout ComputeMarkerLayout(uint64_t volumeLength, uint32_t flag) {
    MarkerLayout layout;
    if (volumeLength <= 4 * kGiB) {
        layout.blockSize = 4096;
    } else if (volumeLength <= 8 * kGiB) {
        layout.blockSize = 8192;
    } else if (volumeLength <= 256 * kGiB) {
        layout.blockSize = 16384;
    } else if (volumeLength <= 512 * kGiB) {
        layout.blockSize = 32768;
    } else {
        layout.blockSize = 65536;
    }
    layout.blocks = volumeLength / layout.blockSize;
    // n < 2^52, so none of these can wrap in 64 bits.
    const uint64_t bitmap = (layout.blocks + 8) / 8 + 1;
    layout.bitmapSize = (bitmap + 4095) / 4096 * 4096;
    layout.tableSize = (4 * layout.blocks) / 8192 * 8192 + 32768;
    if ((flag & 3) != 0) {
        layout.tableSize *= 2;
    }
    layout.fileSize = layout.tableSize + 5 * layout.bitmapSize + 4096;
    layout.bitmapFits = layout.bitmapSize <= 0xFFFFFFFFULL;
    layout.fileFits = layout.fileSize <= kMaxMarkerFileSize;
    return layout;
}

uint32_t VolumeIndexOf(wchar_t letter) {
    const wchar_t capital =
        letter >= L'a' && letter <= L'z' ? static_cast<wchar_t>(letter - 32) : letter;
    return static_cast<uint32_t>(static_cast<int32_t>(capital) - static_cast<int32_t>(L'C'));
}

void BuildVolumeHeader(platform::System& system, uint32_t flag, uint32_t blockSize,
                       uint32_t bitmapSize, wchar_t letter, uint8_t header[kVolumeHeaderSize]) {
    for (size_t i = 0; i < kVolumeHeaderSize; ++i) {
        header[i] = static_cast<uint8_t>(system.Rand() & 0xFF);
    }
    Put32(header + 0, static_cast<uint32_t>(system.Rand()));
    Put32(header + 4, kDriverRequestMagic);
    Put32(header + 8, static_cast<uint32_t>(system.Rand()));
    Put32(header + 12, kVolumeHeaderVersion);
    Put32(header + 16, flag);
    Put32(header + 20, blockSize);
    Put32(header + 24, bitmapSize);
    Put32(header + 28, kTableEntriesPerPage);
    Put32(header + 52, VolumeIndexOf(letter));
    Put32(header + 56, kVolumeLimit);
    for (size_t i = 0; i < kVolumeHeaderKeySize; ++i) {
        header[kVolumeHeaderKeyOffset + i] = static_cast<uint8_t>(system.Rand() & 0xFF);
    }
    CRc4(header + kVolumeHeaderKeyOffset, kVolumeHeaderKeySize)
        .Apply(header, kVolumeHeaderKeyOffset);
}

void DecipherVolumeHeader(uint8_t header[kVolumeHeaderSize]) {
    CRc4(header + kVolumeHeaderKeyOffset, kVolumeHeaderKeySize)
        .Apply(header, kVolumeHeaderKeyOffset);
}

std::wstring MarkerBackupName(const std::wstring& markerPath, int number) {
    if (number == 0) {
        return markerPath + L".bak";
    }
    return markerPath + base::Format(L".bak.%03d", number);
}

bool CvSetVolumeFlag(platform::Platform& platform, int32_t controlCodeBase, wchar_t letter,
                     uint32_t flag) {
    platform::Files& files = platform.files;
    platform::System& system = platform.system;
    // Unseeded, the runtime's generator would give every run the same bytes and key.
    system.SeedRandOnce(system.RandomSeed());

    // 1-2: the state, the marker path and the device the geometry is read from.
    const std::wstring volumePath = VolumeDevicePath(letter);
    VolumeState state;
    const bool veiled = QueryVolumeState(platform, controlCodeBase, volumePath, &state) &&
                        state.state == kVolumeVeiled;
    const std::wstring markerPath = volumePath + L"\\" + kMarkerFileName;
    const std::wstring geometryDevice =
        veiled ? base::Format(L"\\\\.\\%ls%x", kVeilDeviceName, state.overlayNumber) : volumePath;

    // 3
    BeginDriverAccess(platform, controlCodeBase);
    const platform::FileHandle device =
        files.CreateFile(geometryDevice, win::kFileReadData,
                         win::kFileShareRead | win::kFileShareWrite, win::kOpenExisting, 0);
    uint32_t error = system.GetLastError();
    EndDriverAccess(platform, controlCodeBase);
    if (!device) {
        CvTrace(platform, L"CvSetVolumeFlag: CreateFile(%ls) failed(%d)", geometryDevice.c_str(),
                static_cast<int>(error));
        return FailWith(platform, error);
    }

    // 4
    uint8_t geometry[kDiskGeometrySize] = {};
    uint32_t returned = 0;
    const bool answered = platform.volumes.DeviceIoControl(
        device, win::kIoctlDiskGetDriveGeometry, nullptr, 0, geometry, sizeof(geometry), &returned);
    if (!answered || returned < kDiskGeometrySize) {
        error = answered ? win::kErrorInvalidData : system.GetLastError();
        CvTrace(platform, L"CvSetVolumeFlag: IOCTL_DISK_GET_DRIVE_GEOMETRY failed(%d)",
                static_cast<int>(error));
        files.CloseHandle(device);
        return FailWith(platform, error);
    }
    const uint32_t bytesPerSector = Get32(geometry + 20);

    // 5: the partition's length, else the geometry's product (traced, not a failure).
    uint64_t length = 0;
    uint8_t partition[kPartitionInfoExSize] = {};
    returned = 0;
    if (platform.volumes.DeviceIoControl(device, win::kIoctlDiskGetPartitionInfo, nullptr, 0,
                                         partition, kPartitionInfoSize, &returned) &&
        returned >= kPartitionInfoSize) {
        length = Get64(partition + 8);
    } else if (platform.volumes.DeviceIoControl(device, win::kIoctlDiskGetPartitionInfoEx, nullptr,
                                                0, partition, kPartitionInfoExSize, &returned) &&
               returned >= 24) {
        length = Get64(partition + 16);
    } else {
        error = system.GetLastError();
        CvTrace(platform, L"CvSetVolumeFlag: IOCTL_DISK_GET_PARTITION_INFO failed(%d)",
                static_cast<int>(error));
        length = Get64(geometry) * Get32(geometry + 12) * Get32(geometry + 16) * bytesPerSector;
    }

    // 6
    files.CloseHandle(device);
    if (bytesPerSector > kMaxBytesPerSector) {
        CvTrace(platform, L"CvSetVolumeFlag: BytesPerSector is not valid");
        return FailWith(platform, win::kErrorInvalidParameter);
    }

    // 7: a volume whose sizes do not fit the header or the file's offset is refused rather
    // than given wrapped values.
    const MarkerLayout layout = ComputeMarkerLayout(length, flag);
    if (!layout.bitmapFits || (!veiled && !layout.fileFits)) {
        CvTrace(platform, L"CvSetVolumeFlag: volume of %ls bytes is too large for %ls",
                Decimal(length).c_str(), markerPath.c_str());
        return FailWith(platform, win::kErrorArithmeticOverflow);
    }

    // 8: the marker file, moved aside when it cannot be opened as a plain file.
    platform::FileHandle marker;
    if (!veiled) {
        BeginDriverAccess(platform, controlCodeBase);
        if (MayBePlainFile(files, markerPath)) {
            files.SetFileAttributes(markerPath, win::kFileAttributeNormal);
            marker = OpenMarker(platform, markerPath);
        }
        if (!marker) {
            MoveMarkerAside(platform, markerPath);
            marker = OpenMarker(platform, markerPath);
            if (!marker) {
                error = system.GetLastError();
                CvTrace(platform, L"CvSetVolumeFlag: CreateFile(%ls) failed(%d)",
                        markerPath.c_str(), static_cast<int>(error));
                EndDriverAccess(platform, controlCodeBase);
                return FailWith(platform, error);
            }
        }
        EndDriverAccess(platform, controlCodeBase);
    }

    // 9
    uint8_t header[kVolumeHeaderSize];
    BuildVolumeHeader(system, flag, layout.blockSize, static_cast<uint32_t>(layout.bitmapSize),
                      letter, header);

    // 10-11
    if (!veiled) {
        return WriteMarker(platform, marker, markerPath, layout.fileSize, header);
    }
    return HandHeaderToDriver(platform, controlCodeBase, volumePath, header);
}
