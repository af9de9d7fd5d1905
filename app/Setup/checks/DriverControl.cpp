#include "Setup/checks/DriverControl.h"

#include <cstring>

#include "base/Text.h"

namespace {

// The GUID text is read into a zero-filled buffer of this many UTF-16 units, so that a
// shorter text (or the driver's 64 units) is always followed by nulls.
constexpr size_t kGuidBufferUnits = 256;
// SHGetValueW is offered this many bytes of it.
constexpr uint32_t kGuidValueBytes = 512;
// The code units whose sum makes the base.
constexpr size_t kFirstBaseUnit = 20;
constexpr size_t kLastBaseUnit = 23;

// Closes |device| and leaves the last-error value the failed call had set.
void CloseKeepingError(platform::Platform& platform, platform::FileHandle device) {
    const uint32_t error = platform.system.GetLastError();
    platform.files.CloseHandle(device);
    platform.system.SetLastError(error);
}

// Sends one command without data to the control device with |code|.
bool SendControlCommand(platform::Platform& platform, uint32_t command, uint32_t code,
                        DriverRequest* reply) {
    const platform::FileHandle device = OpenDriverDevice(platform, kDriverControlDevice);
    if (!device) {
        return false;
    }
    DriverRequest request(command);
    if (!SendDriverRequest(platform, device, code, request)) {
        CloseKeepingError(platform, device);
        return false;
    }
    if (reply != nullptr) {
        *reply = request;
    }
    platform.files.CloseHandle(device);
    return true;
}

}  // namespace

DriverRequest::DriverRequest(uint32_t command) {
    std::memset(bytes_, 0, sizeof(bytes_));
    SetField(0, kDriverRequestMagic);
    SetField(4, command);
}

uint32_t DriverRequest::Field(size_t offset) const {
    if (offset + 4 > sizeof(bytes_)) {
        return 0;
    }
    return static_cast<uint32_t>(bytes_[offset]) |
           (static_cast<uint32_t>(bytes_[offset + 1]) << 8) |
           (static_cast<uint32_t>(bytes_[offset + 2]) << 16) |
           (static_cast<uint32_t>(bytes_[offset + 3]) << 24);
}

void DriverRequest::SetField(size_t offset, uint32_t value) {
    if (offset + 4 > sizeof(bytes_)) {
        return;
    }
    for (size_t i = 0; i < 4; ++i) {
        bytes_[offset + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

int32_t VolumeStateFromRaw(uint32_t raw) {
    switch (raw) {
        case 2:
            return 1;
        case 3:
            return 2;
        case 4:
            return 3;
        default:
            return 0;
    }
}

uint32_t VariableControlCode(int32_t controlCodeBase) {
    return static_cast<uint32_t>(controlCodeBase) + kVariableControlCodeBase;
}

std::wstring VolumeDevicePath(wchar_t letter) {
    std::wstring path = L"\\\\.\\ :";
    path[4] = letter;
    return path;
}

platform::FileHandle OpenDriverDevice(platform::Platform& platform, const std::wstring& path) {
    return platform.files.CreateFile(path, win::kFileReadAttributes,
                                     win::kFileShareRead | win::kFileShareWrite, win::kOpenExisting,
                                     win::kFileAttributeNormal);
}

bool SendDriverRequest(platform::Platform& platform, platform::FileHandle device, uint32_t code,
                       DriverRequest& request) {
    uint32_t returned = 0;
    return platform.volumes.DeviceIoControl(device, code, request.Bytes(), kDriverRequestSize,
                                            request.Bytes(), kDriverRequestSize, &returned);
}

bool QueryDriverGuid(platform::Platform& platform, uint8_t* text) {
    DriverRequest reply(kQueryDriverGuidCommand);
    if (!SendControlCommand(platform, kQueryDriverGuidCommand, kFixedControlCode, &reply)) {
        return false;
    }
    std::memcpy(text, reply.Bytes() + kDriverRequestDataOffset, kDriverGuidBytes);
    return true;
}

bool BeginDriverAccess(platform::Platform& platform, int32_t controlCodeBase) {
    return SendControlCommand(platform, kBeginDriverAccessCommand,
                              VariableControlCode(controlCodeBase), nullptr);
}

bool EndDriverAccess(platform::Platform& platform, int32_t controlCodeBase) {
    return SendControlCommand(platform, kEndDriverAccessCommand,
                              VariableControlCode(controlCodeBase), nullptr);
}

bool QueryVolumeState(platform::Platform& platform, int32_t controlCodeBase,
                      const std::wstring& volumePath, VolumeState* state) {
    const platform::FileHandle volume = OpenDriverDevice(platform, volumePath);
    if (!volume) {
        return false;
    }
    DriverRequest request(kQueryVolumeStateCommand);
    BeginDriverAccess(platform, controlCodeBase);
    if (!SendDriverRequest(platform, volume, VariableControlCode(controlCodeBase), request)) {
        // The caller sees the volume request's error, not the closing bracket's.
        const uint32_t error = platform.system.GetLastError();
        platform.files.CloseHandle(volume);
        EndDriverAccess(platform, controlCodeBase);
        platform.system.SetLastError(error);
        return false;
    }
    EndDriverAccess(platform, controlCodeBase);
    if (state != nullptr) {
        state->overlayNumber = request.Field(8);
        state->state = VolumeStateFromRaw(request.Field(12));
    }
    platform.files.CloseHandle(volume);
    return true;
}

bool QueryVolumeState(platform::Platform& platform, int32_t controlCodeBase, wchar_t letter,
                      VolumeState* state) {
    return QueryVolumeState(platform, controlCodeBase, VolumeDevicePath(letter), state);
}

int32_t ComputeControlCodeBase(platform::Platform& platform) {
    uint8_t buffer[kGuidBufferUnits * 2] = {};
    if (!QueryDriverGuid(platform, buffer)) {
        uint32_t size = kGuidValueBytes;
        const uint32_t status = platform.registry.GetValue(
            platform::Hive::LocalMachine, kDriverServiceKey, L"GUID", nullptr, buffer, &size);
        if (status != win::kErrorSuccess) {
            platform.system.SetLastError(status);
            return 0;
        }
    }
    uint32_t sum = 0;
    for (size_t unit = kFirstBaseUnit; unit <= kLastBaseUnit; ++unit) {
        sum += static_cast<uint32_t>(buffer[2 * unit]) |
               (static_cast<uint32_t>(buffer[2 * unit + 1]) << 8);
    }
    return static_cast<int32_t>(4 * sum);
}
