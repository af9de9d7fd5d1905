// Volumes port: drive types, file systems, volume names and device I/O control.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Types.h"

namespace platform {

class Volumes {
public:
    virtual ~Volumes() = default;

    // GetDriveTypeW(root) where root is like "C:\"; kDriveNoRootDir for an absent drive.
    virtual uint32_t GetDriveType(const std::wstring& root) = 0;

    // GetVolumeInformationW asking only for the file-system name, into a buffer of
    // |bufferChars| characters (terminator included).
    virtual bool GetVolumeFileSystemName(const std::wstring& root, uint32_t bufferChars,
                                         std::wstring* fileSystem) = 0;

    // GetVolumeNameForVolumeMountPointW(mount point like "C:\"), buffer of |bufferChars|.
    // The name has the form \\?\Volume{guid}\ .
    virtual bool GetVolumeNameForVolumeMountPoint(const std::wstring& mountPoint,
                                                  uint32_t bufferChars, std::wstring* name) = 0;

    // FindFirstVolumeW / FindNextVolumeW (kErrorNoMoreFiles at the end) / FindVolumeClose.
    virtual VolumeFindHandle FindFirstVolume(std::wstring* name, uint32_t bufferChars) = 0;
    virtual bool FindNextVolume(VolumeFindHandle find, std::wstring* name,
                                uint32_t bufferChars) = 0;
    virtual bool FindVolumeClose(VolumeFindHandle find) = 0;

    // DeviceIoControl on a handle from Files::CreateFile, synchronous. The function is
    // looked up in kernel32 by name for every request (kErrorProcNotFound if missing).
    virtual bool DeviceIoControl(FileHandle device, uint32_t code, const void* in, uint32_t inSize,
                                 void* out, uint32_t outSize, uint32_t* bytesReturned) = 0;

    // The 32-bit address by which a driver request names |block| of |size| bytes (command
    // 1003 carries the address of the volume header). In the 32-bit program it is the
    // block's own address; a block that does not lie wholly below 4 GiB (possible only in a
    // 64-bit build) has none: false with kErrorInvalidAddress. The caller keeps the block
    // alive and unchanged until the request that carries the address has returned.
    virtual bool BlockAddress32(const void* block, uint32_t size, uint32_t* address) = 0;
};

}  // namespace platform
