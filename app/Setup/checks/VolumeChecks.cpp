#include "Setup/checks/VolumeChecks.h"

#include <string>

#include "base/Text.h"

namespace {

// The volume names are read into buffers of this many characters.
constexpr uint32_t kVolumeNameChars = 256;
// The file-system name is read into a buffer of this many characters.
constexpr uint32_t kFileSystemChars = 16;

constexpr const wchar_t* kEligibleFileSystems[] = {L"FAT", L"FAT32", L"FAT16", L"EXFAT", L"NTFS"};

std::wstring RootOf(wchar_t letter) {
    std::wstring root = L" :\\";
    root[0] = letter;
    return root;
}

}  // namespace

bool IsListedVolume(platform::Platform& platform, wchar_t letter) {
    platform::Volumes& volumes = platform.volumes;
    std::wstring volumeName;
    if (!volumes.GetVolumeNameForVolumeMountPoint(RootOf(letter), kVolumeNameChars, &volumeName)) {
        return false;
    }
    std::wstring listed;
    const platform::VolumeFindHandle find = volumes.FindFirstVolume(&listed, kVolumeNameChars);
    if (!find) {
        return false;
    }
    bool found = false;
    do {
        if (base::EqualsNoCase(listed, volumeName)) {
            found = true;
            break;
        }
    } while (volumes.FindNextVolume(find, &listed, kVolumeNameChars));
    volumes.FindVolumeClose(find);
    return found;
}

bool IsEligibleVolume(platform::Platform& platform, wchar_t letter) {
    const std::wstring root = RootOf(letter);
    platform.system.SetLastError(win::kErrorSuccess);
    const uint32_t type = platform.volumes.GetDriveType(root);
    if ((type != win::kDriveFixed && type != win::kDriveRemovable) ||
        platform.system.GetLastError() != win::kErrorSuccess) {
        return false;
    }
    std::wstring fileSystem;
    if (!platform.volumes.GetVolumeFileSystemName(root, kFileSystemChars, &fileSystem)) {
        return false;
    }
    bool known = false;
    for (const wchar_t* name : kEligibleFileSystems) {
        known = known || base::EqualsNoCase(fileSystem, name);
    }
    return known && IsListedVolume(platform, letter);
}
