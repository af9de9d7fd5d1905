#include "sim/Machine.h"

namespace sim {

SimVolumes::SimVolumes(Machine& machine) : machine_(machine) {}

void SimVolumes::InstallDefaults() {}

uint32_t SimVolumes::GetDriveType(const std::wstring& root) {
    (void)root;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return {};
}

bool SimVolumes::GetVolumeFileSystemName(const std::wstring& root, uint32_t bufferChars,
                                         std::wstring* fileSystem) {
    (void)root;
    (void)bufferChars;
    (void)fileSystem;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return false;
}

bool SimVolumes::GetVolumeNameForVolumeMountPoint(const std::wstring& mountPoint,
                                                  uint32_t bufferChars, std::wstring* name) {
    (void)mountPoint;
    (void)bufferChars;
    (void)name;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return false;
}

VolumeFindHandle SimVolumes::FindFirstVolume(std::wstring* name, uint32_t bufferChars) {
    (void)name;
    (void)bufferChars;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return {};
}

bool SimVolumes::FindNextVolume(VolumeFindHandle find, std::wstring* name, uint32_t bufferChars) {
    (void)find;
    (void)name;
    (void)bufferChars;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return false;
}

bool SimVolumes::FindVolumeClose(VolumeFindHandle find) {
    (void)find;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return false;
}

bool SimVolumes::DeviceIoControl(FileHandle device, uint32_t code, const void* in, uint32_t inSize,
                                 void* out, uint32_t outSize, uint32_t* bytesReturned) {
    (void)device;
    (void)code;
    (void)in;
    (void)inSize;
    (void)out;
    (void)outSize;
    (void)bytesReturned;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return false;
}

}  // namespace sim
