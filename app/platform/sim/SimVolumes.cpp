#include <algorithm>
#include <cstring>

#include "base/Text.h"
#include "sim/Machine.h"

namespace sim {

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

constexpr uint32_t kDiskGeometrySize = 24;
constexpr uint32_t kPartitionInfoSize = 32;
constexpr uint32_t kPartitionInfoExSize = 144;
constexpr uint32_t kCommandGuid = 0;
constexpr uint32_t kCommandBegin = 201;
constexpr uint32_t kCommandEnd = 202;
constexpr uint32_t kCommandVolumeState = 1000;
constexpr uint32_t kCommandHeader = 1003;

void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void Put64(uint8_t* p, int64_t v) {
    for (int i = 0; i < 8; ++i)
        p[i] = static_cast<uint8_t>(static_cast<uint64_t>(v) >> (8 * i));
}
uint32_t Get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

wchar_t Upper(wchar_t c) {
    return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 32) : c;
}

}  // namespace

SimVolumes::SimVolumes(Machine& machine) : machine_(machine) {}

void SimVolumes::InstallDefaults() {
    Guard guard(machine_.Lock());
    VolumeConfig& c = AddFixedVolume(L'C', 107374182400LL, 53687091200ULL);
    c.volumeName = L"\\\\?\\Volume{6c1e2a10-0000-0000-0000-100000000000}\\";
    c.geometry = DiskGeometry{13054, 12, 255, 63, 512};
}

// --- Drives ---

VolumeConfig& SimVolumes::AddFixedVolume(wchar_t letter, int64_t partitionBytes,
                                         uint64_t freeBytes) {
    Guard guard(machine_.Lock());
    VolumeConfig config;
    letter = Upper(letter);
    config.volumeName = base::Format(L"\\\\?\\Volume{6c1e2a10-0000-0000-0000-1000000000%02x}\\",
                                     static_cast<unsigned>(letter));
    config.partitionLength = partitionBytes;
    config.freeBytes = freeBytes;
    // 255 heads, 63 sectors of 512 bytes: one cylinder holds 8225280 bytes.
    const int64_t cylinderBytes = 255LL * 63 * 512;
    config.geometry = DiskGeometry{(partitionBytes + config.partitionStart) / cylinderBytes + 1, 12,
                                   255, 63, 512};
    return AddVolume(letter, config);
}

VolumeConfig& SimVolumes::AddVolume(wchar_t letter, const VolumeConfig& config) {
    Guard guard(machine_.Lock());
    VolumeConfig& slot = volumes_[Upper(letter)];
    slot = config;
    return slot;
}

void SimVolumes::RemoveVolume(wchar_t letter) {
    Guard guard(machine_.Lock());
    volumes_.erase(Upper(letter));
}

VolumeConfig* SimVolumes::Volume(wchar_t letter) {
    Guard guard(machine_.Lock());
    auto it = volumes_.find(Upper(letter));
    return it == volumes_.end() ? nullptr : &it->second;
}

bool SimVolumes::HasDrive(wchar_t letter) {
    return Volume(letter) != nullptr;
}

bool SimVolumes::FreeBytes(wchar_t letter, uint64_t* freeBytes) {
    Guard guard(machine_.Lock());
    VolumeConfig* v = Volume(letter);
    if (!v)
        return false;
    *freeBytes = v->freeBytes;
    return true;
}

void SimVolumes::AdjustFreeBytes(wchar_t letter, int64_t delta) {
    Guard guard(machine_.Lock());
    VolumeConfig* v = Volume(letter);
    if (!v)
        return;
    if (delta < 0 && static_cast<uint64_t>(-delta) > v->freeBytes) {
        v->freeBytes = 0;
    } else {
        v->freeBytes += static_cast<uint64_t>(delta);
    }
}

void SimVolumes::SetDeviceIoControlMissing(bool missing) {
    Guard guard(machine_.Lock());
    ioctlMissing_ = missing;
}

void SimVolumes::FailBlockAddress(uint32_t error) {
    Guard guard(machine_.Lock());
    blockAddressError_ = error;
}

bool SimVolumes::BlockAddress32(const void* block, uint32_t size, uint32_t* address) {
    Guard guard(machine_.Lock());
    if (blockAddressError_ != 0 || block == nullptr) {
        machine_.SetLastError(blockAddressError_ != 0 ? blockAddressError_
                                                      : win::kErrorInvalidAddress);
        return false;
    }
    const uint32_t given = nextBlockAddress_;
    // Page-aligned stand-ins far apart, never reused within a machine's life.
    nextBlockAddress_ += 0x10000;
    blocks_[given] = Block{static_cast<const uint8_t*>(block), size};
    if (address != nullptr) {
        *address = given;
    }
    return true;
}

// A drive letter from "C:\" (or "C:" when the backslash is optional).
wchar_t SimVolumes::LetterOf(const std::wstring& root, bool requireBackslash, bool* wellFormed) {
    *wellFormed = false;
    if (root.size() < 2 || root[1] != L':')
        return 0;
    wchar_t letter = Upper(root[0]);
    if (letter < L'A' || letter > L'Z')
        return 0;
    if (root.size() == 2) {
        *wellFormed = !requireBackslash;
    } else {
        *wellFormed = root.size() == 3 && root[2] == L'\\';
    }
    return letter;
}

uint32_t SimVolumes::GetDriveType(const std::wstring& root) {
    Guard guard(machine_.Lock());
    std::wstring path = root;
    if (path.empty())
        path = machine_.files().CurrentDirectory().substr(0, 3);
    bool wellFormed = false;
    wchar_t letter = LetterOf(path, false, &wellFormed);
    if (!wellFormed)
        return win::kDriveNoRootDir;
    VolumeConfig* v = Volume(letter);
    return v ? v->driveType : win::kDriveNoRootDir;
}

bool SimVolumes::GetVolumeFileSystemName(const std::wstring& root, uint32_t bufferChars,
                                         std::wstring* fileSystem) {
    Guard guard(machine_.Lock());
    bool wellFormed = false;
    wchar_t letter = LetterOf(root, true, &wellFormed);
    if (!wellFormed) {
        machine_.SetLastError(letter ? win::kErrorInvalidName : win::kErrorPathNotFound);
        return false;
    }
    VolumeConfig* v = Volume(letter);
    uint32_t error = 0;
    if (!v) {
        error = win::kErrorPathNotFound;
    } else if (!v->mediaPresent) {
        error = win::kErrorNotReady;
        if ((v->driveType == win::kDriveRemovable || v->driveType == win::kDriveCdrom) &&
            (machine_.system().ErrorMode() & win::kSemFailCriticalErrors) == 0) {
            criticalErrorBoxes_.push_back(std::wstring(1, letter) + L":\\");
        }
    } else if (v->volumeInformationError) {
        error = v->volumeInformationError;
    } else if (v->fileSystem.size() + 1 > bufferChars) {
        // The file system's name does not fit: the request to the file system overflows.
        error = win::kErrorBadLength;
    }
    if (error) {
        machine_.SetLastError(error);
        return false;
    }
    if (fileSystem)
        *fileSystem = v->fileSystem;
    return true;
}

bool SimVolumes::GetVolumeNameForVolumeMountPoint(const std::wstring& mountPoint,
                                                  uint32_t bufferChars, std::wstring* name) {
    Guard guard(machine_.Lock());
    bool wellFormed = false;
    wchar_t letter = LetterOf(mountPoint, true, &wellFormed);
    if (!wellFormed) {
        machine_.SetLastError(win::kErrorInvalidParameter);
        return false;
    }
    VolumeConfig* v = Volume(letter);
    uint32_t error = 0;
    if (!v) {
        error = win::kErrorFileNotFound;
    } else if (v->volumeName.empty()) {
        error = v->volumeNameError;
    } else if (v->volumeName.size() + 1 > bufferChars) {
        error = win::kErrorFilenameExcedRange;
    }
    if (error) {
        machine_.SetLastError(error);
        return false;
    }
    if (name)
        *name = v->volumeName;
    return true;
}

std::vector<wchar_t> SimVolumes::ListedLetters() {
    std::vector<wchar_t> letters;
    for (const auto& entry : volumes_) {
        if (entry.second.listed && !entry.second.volumeName.empty())
            letters.push_back(entry.first);
    }
    return letters;
}

bool SimVolumes::ReportVolume(size_t index, std::wstring* name, uint32_t bufferChars) {
    std::vector<wchar_t> letters = ListedLetters();
    if (index >= letters.size()) {
        machine_.SetLastError(win::kErrorNoMoreFiles);
        return false;
    }
    const std::wstring& volumeName = volumes_[letters[index]].volumeName;
    if (volumeName.size() + 1 > bufferChars) {
        machine_.SetLastError(win::kErrorFilenameExcedRange);
        return false;
    }
    if (name)
        *name = volumeName;
    return true;
}

VolumeFindHandle SimVolumes::FindFirstVolume(std::wstring* name, uint32_t bufferChars) {
    Guard guard(machine_.Lock());
    if (!ReportVolume(0, name, bufferChars))
        return VolumeFindHandle();
    std::uintptr_t handle = machine_.NewHandleValue();
    finds_[handle] = VolumeFind{1};
    return VolumeFindHandle(handle);
}

bool SimVolumes::FindNextVolume(VolumeFindHandle find, std::wstring* name, uint32_t bufferChars) {
    Guard guard(machine_.Lock());
    auto it = finds_.find(find.value);
    if (it == finds_.end()) {
        machine_.SetLastError(win::kErrorInvalidHandle);
        return false;
    }
    if (!ReportVolume(it->second.next, name, bufferChars))
        return false;
    ++it->second.next;
    return true;
}

bool SimVolumes::FindVolumeClose(VolumeFindHandle find) {
    Guard guard(machine_.Lock());
    if (!finds_.erase(find.value)) {
        machine_.SetLastError(win::kErrorInvalidHandle);
        return false;
    }
    return true;
}

// --- The driver stand-in ---

uint32_t SimVolumes::VariableCodeFor(const std::wstring& guidText) {
    uint32_t sum = 0;
    for (size_t i = 20; i < 24 && i < guidText.size(); ++i) {
        sum += static_cast<uint32_t>(guidText[i]) & 0xFFFF;
    }
    return kVariableCodeBase + 4 * sum;
}

void SimVolumes::LoadDriver(const std::wstring& guidText) {
    Guard guard(machine_.Lock());
    driverLoaded_ = true;
    driverGuid_ = guidText;
}

void SimVolumes::UnloadDriver() {
    Guard guard(machine_.Lock());
    driverLoaded_ = false;
}

bool SimVolumes::DriverLoaded() {
    Guard guard(machine_.Lock());
    return driverLoaded_;
}

uint32_t SimVolumes::VariableCode() {
    Guard guard(machine_.Lock());
    return VariableCodeFor(driverGuid_);
}

void SimVolumes::SetVolumeState(wchar_t letter, uint32_t rawState, uint32_t overlayNumber) {
    Guard guard(machine_.Lock());
    if (VolumeConfig* v = Volume(letter)) {
        v->rawState = rawState;
        v->overlayNumber = overlayNumber;
    }
}

void SimVolumes::SetVolumeStateExtra(wchar_t letter, uint32_t extra1, uint32_t extra2) {
    Guard guard(machine_.Lock());
    if (VolumeConfig* v = Volume(letter)) {
        v->stateExtra1 = extra1;
        v->stateExtra2 = extra2;
    }
}

void SimVolumes::FailCommand(uint32_t command, uint32_t error, int count) {
    Guard guard(machine_.Lock());
    if (count > 0)
        failures_.push_back(Failure{command, error, count});
}

std::vector<std::wstring> SimVolumes::CriticalErrorBoxes() {
    Guard guard(machine_.Lock());
    return criticalErrorBoxes_;
}

void SimVolumes::SetDriverReply(uint32_t command, const std::vector<uint8_t>& reply) {
    Guard guard(machine_.Lock());
    replies_[command] = reply;
}

void SimVolumes::ClearDriverReplies() {
    Guard guard(machine_.Lock());
    replies_.clear();
}

std::wstring SimVolumes::OverlayDeviceName(uint32_t overlayNumber) {
    return base::Format(L"\\\\.\\VfVeil%x", overlayNumber);
}

wchar_t SimVolumes::OverlayOwner(uint32_t overlayNumber) {
    Guard guard(machine_.Lock());
    if (!driverLoaded_ || overlayNumber == 0)
        return 0;
    for (const auto& entry : volumes_) {
        if (entry.second.overlayNumber == overlayNumber)
            return entry.first;
    }
    return 0;
}

// --- Device I/O control ---

bool SimVolumes::DiskRequest(const VolumeConfig& v, bool overlay, uint32_t code, void* out,
                             uint32_t outSize, uint32_t* bytesReturned, uint32_t* error) {
    if (!v.mediaPresent) {
        *error = win::kErrorNotReady;
        return false;
    }
    if (v.driveType == win::kDriveRemote) {
        *error = win::kErrorInvalidFunction;
        return false;
    }
    const DiskGeometry& geometry = overlay && v.overlayGeometry ? *v.overlayGeometry : v.geometry;
    const int64_t length =
        overlay && v.overlayPartitionLength ? *v.overlayPartitionLength : v.partitionLength;
    uint8_t* o = static_cast<uint8_t*>(out);
    if (code == win::kIoctlDiskGetDriveGeometry) {
        if (v.geometryError) {
            *error = v.geometryError;
            return false;
        }
        if (!out || outSize < kDiskGeometrySize) {
            *error = win::kErrorInsufficientBuffer;
            return false;
        }
        std::memset(o, 0, kDiskGeometrySize);
        Put64(o, geometry.cylinders);
        Put32(o + 8, geometry.mediaType);
        Put32(o + 12, geometry.tracksPerCylinder);
        Put32(o + 16, geometry.sectorsPerTrack);
        Put32(o + 20, geometry.bytesPerSector);
        *bytesReturned = kDiskGeometrySize;
        return true;
    }
    uint8_t partitionType = base::EqualsNoCase(v.fileSystem, L"NTFS") ? 0x07 : 0x0C;
    uint32_t hiddenSectors = geometry.bytesPerSector
                                 ? static_cast<uint32_t>(v.partitionStart / geometry.bytesPerSector)
                                 : 0;
    if (code == win::kIoctlDiskGetPartitionInfo) {
        if (v.partitionInfoError) {
            *error = v.partitionInfoError;
            return false;
        }
        if (!out || outSize < kPartitionInfoSize) {
            *error = win::kErrorInsufficientBuffer;
            return false;
        }
        std::memset(o, 0, kPartitionInfoSize);
        Put64(o, v.partitionStart);
        Put64(o + 8, length);
        Put32(o + 16, hiddenSectors);
        Put32(o + 20, v.partitionNumber);
        o[24] = partitionType;
        o[25] = v.partitionNumber == 1;  // BootIndicator
        o[26] = 1;                       // RecognizedPartition
        *bytesReturned = kPartitionInfoSize;
        return true;
    }
    if (code == win::kIoctlDiskGetPartitionInfoEx) {
        if (v.partitionInfoExError) {
            *error = v.partitionInfoExError;
            return false;
        }
        if (!out || outSize < kPartitionInfoExSize) {
            *error = win::kErrorInsufficientBuffer;
            return false;
        }
        std::memset(o, 0, kPartitionInfoExSize);
        Put32(o, 0);  // PARTITION_STYLE_MBR
        Put64(o + 8, v.partitionStart);
        Put64(o + 16, length);
        Put32(o + 24, v.partitionNumber);
        o[32] = partitionType;
        o[33] = v.partitionNumber == 1;
        o[34] = 1;
        Put32(o + 36, hiddenSectors);
        *bytesReturned = kPartitionInfoExSize;
        return true;
    }
    *error = win::kErrorInvalidFunction;
    return false;
}

bool SimVolumes::DriverRequest(wchar_t letter, bool control, uint32_t code, const void* in,
                               uint32_t inSize, void* out, uint32_t outSize,
                               uint32_t* bytesReturned, uint32_t* error) {
    const uint32_t variable = VariableCodeFor(driverGuid_);
    if (!driverLoaded_ || (code != kFixedCode && code != variable)) {
        *error = win::kErrorInvalidFunction;
        return false;
    }
    if (!in || !out || inSize != kDriverRecordSize || outSize != kDriverRecordSize) {
        *error = win::kErrorInvalidParameter;
        return false;
    }
    const uint8_t* request = static_cast<const uint8_t*>(in);
    if (Get32(request) != kDriverMagic) {
        *error = win::kErrorInvalidParameter;
        return false;
    }
    const uint32_t command = Get32(request + 4);
    bool known = false;
    if (control) {
        known = (command == kCommandGuid && code == kFixedCode) ||
                ((command == kCommandBegin || command == kCommandEnd) && code == variable);
    } else {
        known = (command == kCommandVolumeState || command == kCommandHeader) && code == variable;
    }
    if (!known) {
        *error = win::kErrorInvalidFunction;
        return false;
    }
    if (command == kCommandHeader && Get32(request + 12) != 512) {
        *error = win::kErrorInvalidParameter;
        return false;
    }
    std::vector<uint8_t> header;
    if (command == kCommandHeader) {
        auto block = blocks_.find(Get32(request + 8));
        if (block == blocks_.end() || block->second.size < 512) {
            *error = win::kErrorNoaccess;
            return false;
        }
        header.assign(block->second.data, block->second.data + 512);
        blocks_.erase(block);
    }
    for (auto it = failures_.begin(); it != failures_.end(); ++it) {
        if (it->command != command)
            continue;
        *error = it->error;
        if (--it->count <= 0)
            failures_.erase(it);
        return false;
    }
    auto canned = replies_.find(command);
    if (canned != replies_.end()) {
        // The driver's own bytes, as many as it returned; the rest of the caller's buffer
        // keeps what it held.
        const size_t size = std::min<size_t>(canned->second.size(), outSize);
        if (size != 0) {
            std::memmove(out, canned->second.data(), size);
        }
        *bytesReturned = static_cast<uint32_t>(size);
        return true;
    }
    uint8_t reply[kDriverRecordSize];
    std::memcpy(reply, request, kDriverRecordSize);
    if (command == kCommandGuid) {
        std::memset(reply + 8, 0, kDriverRecordSize - 8);
        std::vector<uint8_t> text = base::ToUtf16LE(driverGuid_);
        if (!text.empty()) {
            std::memcpy(reply + 8, text.data(),
                        std::min<size_t>(text.size(), kDriverRecordSize - 8));
        }
    } else if (command == kCommandVolumeState) {
        const VolumeConfig& v = volumes_[letter];
        Put32(reply + 8, v.overlayNumber);
        Put32(reply + 12, v.rawState);
        Put32(reply + 16, v.stateExtra1);
        Put32(reply + 20, v.stateExtra2);
    } else if (command == kCommandHeader) {
        headerRequests_.push_back(HeaderRequest{
            letter, std::vector<uint8_t>(request, request + kDriverRecordSize), header});
    }
    std::memcpy(out, reply, kDriverRecordSize);
    *bytesReturned = kDriverRecordSize;
    return true;
}

bool SimVolumes::DeviceIoControl(FileHandle device, uint32_t code, const void* in, uint32_t inSize,
                                 void* out, uint32_t outSize, uint32_t* bytesReturned) {
    Guard guard(machine_.Lock());
    if (bytesReturned)
        *bytesReturned = 0;
    if (ioctlMissing_) {
        machine_.SetLastError(win::kErrorProcNotFound);
        return false;
    }
    const OpenObject* object = machine_.files().FindOpen(device);
    if (!object) {
        machine_.SetLastError(win::kErrorInvalidHandle);
        return false;
    }
    // The request as sent: the reply may be written over the same buffer.
    std::vector<uint8_t> sentBytes;
    if (in && inSize != 0) {
        const uint8_t* bytes = static_cast<const uint8_t*>(in);
        sentBytes.assign(bytes, bytes + inSize);
    }
    uint32_t returned = 0;
    uint32_t error = 0;
    bool ok = false;
    VolumeConfig* v = object->letter ? Volume(object->letter) : nullptr;
    switch (object->kind) {
        case OpenKind::Volume:
        case OpenKind::Overlay:
            if (!v || (object->kind == OpenKind::Overlay &&
                       OverlayOwner(object->overlay) != object->letter)) {
                error = win::kErrorFileNotFound;
            } else if (code == win::kIoctlDiskGetDriveGeometry ||
                       code == win::kIoctlDiskGetPartitionInfo ||
                       code == win::kIoctlDiskGetPartitionInfoEx) {
                ok = DiskRequest(*v, object->kind == OpenKind::Overlay, code, out, outSize,
                                 &returned, &error);
            } else if (object->kind == OpenKind::Volume) {
                ok = DriverRequest(object->letter, false, code, in, inSize, out, outSize, &returned,
                                   &error);
            } else {
                error = win::kErrorInvalidFunction;
            }
            break;
        case OpenKind::Control:
            ok = DriverRequest(0, true, code, in, inSize, out, outSize, &returned, &error);
            break;
        case OpenKind::File:
            if (code != win::kFsctlSetCompression) {
                error = win::kErrorInvalidFunction;
            } else if (!v || !base::EqualsNoCase(v->fileSystem, L"NTFS")) {
                error = win::kErrorInvalidFunction;
            } else if (!in || inSize < 2) {
                error = win::kErrorInvalidParameter;
            } else if (!(object->access & (win::kGenericWrite | win::kFileWriteData))) {
                error = win::kErrorAccessDenied;
            } else {
                const uint8_t* format = static_cast<const uint8_t*>(in);
                uint16_t value = static_cast<uint16_t>(format[0] | (format[1] << 8));
                if (value > 2 && value != 0xFFFF) {
                    error = win::kErrorInvalidParameter;
                } else {
                    machine_.files().SetCompressed(object->path,
                                                   value != win::kCompressionFormatNone);
                    ok = true;
                }
            }
            break;
        case OpenKind::Directory:
            error = win::kErrorInvalidFunction;
            break;
    }
    uint32_t command = 0;
    if (sentBytes.size() >= 8 && Get32(sentBytes.data()) == kDriverMagic) {
        command = Get32(sentBytes.data() + 4);
    }
    log_.push_back(
        DeviceRequest{object->opened, code, command, ok, ok ? 0 : error, sentBytes, outSize});
    if (!ok) {
        machine_.SetLastError(error);
        return false;
    }
    if (bytesReturned)
        *bytesReturned = returned;
    return true;
}

}  // namespace sim
