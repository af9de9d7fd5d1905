// Simulated volumes of sim::Machine: drive letters with their type, file system, volume
// name, geometry and free space; device I/O control on volume, overlay and control devices;
// and the protection driver stand-in with its request log and failure injection.
//
// The driver stand-in behaves as the product's driver cvflt does for the setup program:
// while loaded it offers \\.\VfControl and sits in every volume's device stack; it answers
// command 0 under the fixed code 0x800030A0 with its install GUID text, commands 201 and 202
// on the control device and 1000 and 1003 on a volume under the variable code derived from
// that same GUID text (0x800025E4 + 4 x the sum of its code units 20 to 23), each with the
// 136-byte record ("cvfl", command, data) in and out. Anything else - another code, a record
// of another size or magic, a command on the wrong device - fails with
// ERROR_INVALID_FUNCTION or ERROR_INVALID_PARAMETER. Unloaded, the control device cannot be
// opened (ERROR_FILE_NOT_FOUND) and volumes refuse the driver's codes
// (ERROR_INVALID_FUNCTION), as Windows answers without the driver.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "sim/Common.h"

namespace sim {

class Machine;

struct DiskGeometry {
    int64_t cylinders = 0;
    uint32_t mediaType = 0;
    uint32_t tracksPerCylinder = 0;
    uint32_t sectorsPerTrack = 0;
    uint32_t bytesPerSector = 0;
};

// Everything the sim knows about one drive letter. Tests change it through Volume().
struct VolumeConfig {
    uint32_t driveType = win::kDriveFixed;
    std::wstring fileSystem = L"NTFS";
    // "\\?\Volume{...}\" or empty (GetVolumeNameForVolumeMountPoint then fails with
    // |volumeNameError|, as it does for network drives).
    std::wstring volumeName;
    uint32_t volumeNameError = win::kErrorInvalidFunction;
    bool listed = true;                   // FindFirstVolume / FindNextVolume report it
    bool mediaPresent = true;             // false: a CD or removable drive without medium
    uint32_t volumeInformationError = 0;  // non-zero: GetVolumeInformation fails with it
    DiskGeometry geometry;
    uint32_t geometryError = 0;  // non-zero: IOCTL_DISK_GET_DRIVE_GEOMETRY fails with it
    int64_t partitionStart = 1048576;
    int64_t partitionLength = 0;
    uint32_t partitionNumber = 1;
    uint32_t partitionInfoError = 0;    // IOCTL_DISK_GET_PARTITION_INFO fails with it
    uint32_t partitionInfoExError = 0;  // IOCTL_DISK_GET_PARTITION_INFO_EX fails with it
    uint64_t freeBytes = 0;

    // The protection driver's view of the volume (command 1000).
    uint32_t rawState = 0;
    uint32_t overlayNumber = 0;  // non-zero: the overlay device \\.\VfVeil<hex> exists
    uint32_t stateExtra1 = 0;    // reply offset 16
    uint32_t stateExtra2 = 0;    // reply offset 20
    // The overlay device's answers (by default the volume's own).
    std::optional<DiskGeometry> overlayGeometry;
    std::optional<int64_t> overlayPartitionLength;
};

// One request that reached a device through DeviceIoControl.
struct DeviceRequest {
    std::wstring device;   // the path the handle was opened with
    uint32_t code = 0;     // the control code
    uint32_t command = 0;  // bytes 4-7 of a driver record (0 when there is none)
    bool succeeded = false;
    uint32_t error = 0;  // the last-error value of a failed request
    // The input buffer as it was sent (all |inSize| bytes) and the output buffer's size.
    std::vector<uint8_t> request;
    uint32_t outSize = 0;
};

class SimVolumes : public platform::Volumes {
public:
    static constexpr uint32_t kDriverMagic = 0x6C667663;  // "cvfl"
    static constexpr uint32_t kDriverRecordSize = 136;
    static constexpr uint32_t kFixedCode = 0x800030A0;
    static constexpr uint32_t kVariableCodeBase = 0x800025E4;

    explicit SimVolumes(Machine& machine);
    // Puts the default machine's state in place (called once by Machine's constructor).
    void InstallDefaults();

    uint32_t GetDriveType(const std::wstring& root) override;
    bool GetVolumeFileSystemName(const std::wstring& root, uint32_t bufferChars,
                                 std::wstring* fileSystem) override;
    bool GetVolumeNameForVolumeMountPoint(const std::wstring& mountPoint, uint32_t bufferChars,
                                          std::wstring* name) override;
    VolumeFindHandle FindFirstVolume(std::wstring* name, uint32_t bufferChars) override;
    bool FindNextVolume(VolumeFindHandle find, std::wstring* name, uint32_t bufferChars) override;
    bool FindVolumeClose(VolumeFindHandle find) override;
    bool DeviceIoControl(FileHandle device, uint32_t code, const void* in, uint32_t inSize,
                         void* out, uint32_t outSize, uint32_t* bytesReturned) override;
    // The sim's pointers are 64-bit: each block handed over gets a 32-bit stand-in address
    // of its own, which the driver stand-in resolves when a command 1003 names it (and then
    // forgets). An address that names no block fails the request with kErrorNoaccess, as
    // a driver probing a bad user buffer does, so that a cut pointer cannot pass.
    bool BlockAddress32(const void* block, uint32_t size, uint32_t* address) override;

    // --- Test API: drives ---
    // A fixed NTFS volume of |partitionBytes| with |freeBytes| free, a volume name derived
    // from the letter and a geometry matching the size. Replaces an existing drive.
    VolumeConfig& AddFixedVolume(wchar_t letter, int64_t partitionBytes, uint64_t freeBytes);
    // Adds or replaces a drive with the given configuration.
    VolumeConfig& AddVolume(wchar_t letter, const VolumeConfig& config);
    void RemoveVolume(wchar_t letter);
    // The drive's configuration, or null when the letter has no drive.
    VolumeConfig* Volume(wchar_t letter);
    bool HasDrive(wchar_t letter);

    // Free space bookkeeping used by SimFiles; false when |letter| has no drive.
    bool FreeBytes(wchar_t letter, uint64_t* freeBytes);
    void AdjustFreeBytes(wchar_t letter, int64_t delta);

    // The system's critical-error boxes ("There is no disk in the drive"): a removable or CD
    // drive without media, asked for its file system while the process's error mode lacks
    // kSemFailCriticalErrors, raises one. On Windows it waits for an answer that no option
    // of an unattended run can give; here it is recorded (the root it was raised for) and
    // answered Cancel at once, so the request still fails with kErrorNotReady.
    std::vector<std::wstring> CriticalErrorBoxes();

    // DeviceIoControl missing from kernel32 (every request fails with kErrorProcNotFound).
    void SetDeviceIoControlMissing(bool missing);
    // BlockAddress32 fails with |error| (0 = succeed again), as it does in a 64-bit build
    // for a block above 4 GiB.
    void FailBlockAddress(uint32_t error);

    // --- Test API: the driver stand-in ---
    void LoadDriver(const std::wstring& guidText);
    void UnloadDriver();
    bool DriverLoaded();
    // The control code of commands other than 0, derived from the loaded GUID text.
    uint32_t VariableCode();
    static uint32_t VariableCodeFor(const std::wstring& guidText);
    void SetVolumeState(wchar_t letter, uint32_t rawState, uint32_t overlayNumber);
    void SetVolumeStateExtra(wchar_t letter, uint32_t extra1, uint32_t extra2);
    // The next |count| requests carrying |command| fail with |error|.
    void FailCommand(uint32_t command, uint32_t error, int count = 1);
    // A driver that answers |command| (under the right code, as usual) with exactly |reply|:
    // its bytes are copied over the start of the caller's buffer (as far as it reaches) and
    // reported as the bytes returned; the rest of the buffer keeps what the request held,
    // as with a buffered request whose driver returns fewer bytes. For garbage, truncated or
    // unterminated replies; an empty |reply| answers with no bytes at all.
    // ClearDriverReplies() restores the normal answers.
    void SetDriverReply(uint32_t command, const std::vector<uint8_t>& reply);
    void ClearDriverReplies();
    const std::vector<DeviceRequest>& RequestLog() const { return log_; }
    void ClearRequestLog() { log_.clear(); }
    // The full 136-byte records of accepted command-1003 requests, with the letter of the
    // volume they were sent to and the 512 bytes the record's address named when the
    // driver took them.
    struct HeaderRequest {
        wchar_t letter = 0;
        std::vector<uint8_t> record;
        std::vector<uint8_t> header;
    };
    const std::vector<HeaderRequest>& HeaderRequests() const { return headerRequests_; }

    // The overlay device name for |overlayNumber| (\\.\VfVeil<lower-case hex>).
    static std::wstring OverlayDeviceName(uint32_t overlayNumber);
    // The letter of the volume whose overlay is |overlayNumber| while the driver is loaded;
    // 0 when there is none.
    wchar_t OverlayOwner(uint32_t overlayNumber);

private:
    std::vector<std::wstring> criticalErrorBoxes_;
    struct Failure {
        uint32_t command;
        uint32_t error;
        int count;
    };
    struct VolumeFind {
        size_t next = 0;
    };

    static wchar_t LetterOf(const std::wstring& root, bool requireBackslash, bool* wellFormed);
    std::vector<wchar_t> ListedLetters();
    bool ReportVolume(size_t index, std::wstring* name, uint32_t bufferChars);
    bool DiskRequest(const VolumeConfig& v, bool overlay, uint32_t code, void* out,
                     uint32_t outSize, uint32_t* bytesReturned, uint32_t* error);
    bool DriverRequest(wchar_t letter, bool control, uint32_t code, const void* in, uint32_t inSize,
                       void* out, uint32_t outSize, uint32_t* bytesReturned, uint32_t* error);

    Machine& machine_;
    std::map<wchar_t, VolumeConfig> volumes_;
    std::map<std::uintptr_t, VolumeFind> finds_;
    bool driverLoaded_ = false;
    std::wstring driverGuid_;
    bool ioctlMissing_ = false;
    std::vector<Failure> failures_;
    std::map<uint32_t, std::vector<uint8_t>> replies_;
    std::vector<DeviceRequest> log_;
    std::vector<HeaderRequest> headerRequests_;
    struct Block {
        const uint8_t* data = nullptr;
        uint32_t size = 0;
    };
    std::map<uint32_t, Block> blocks_;
    uint32_t nextBlockAddress_ = 0x00A10000;
    uint32_t blockAddressError_ = 0;
};

}  // namespace sim
