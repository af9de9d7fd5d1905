// Simulated volumes of sim::Machine.
#pragma once

#include "sim/Common.h"

namespace sim {

class Machine;

class SimVolumes : public platform::Volumes {
public:
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

private:
    Machine& machine_;
};

}  // namespace sim
