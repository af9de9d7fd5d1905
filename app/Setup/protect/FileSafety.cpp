#include "Setup/protect/FileSafety.h"

bool IsPlainFile(platform::Files& files, platform::FileHandle file,
                 platform::FileInformation* information) {
    platform::FileInformation info;
    if (!files.GetFileInformationByHandle(file, &info)) {
        return false;
    }
    if (information != nullptr) {
        *information = info;
    }
    const uint32_t notPlain = win::kFileAttributeReparsePoint | win::kFileAttributeDirectory;
    return (info.attributes & notPlain) == 0 && info.links == 1;
}

bool MayBePlainFile(platform::Files& files, const std::wstring& path) {
    // Attributes only: such an open neither needs nor disturbs sharing.
    const platform::FileHandle probe = files.CreateFile(
        path, win::kFileReadAttributes,
        win::kFileShareRead | win::kFileShareWrite | win::kFileShareDelete, win::kOpenExisting,
        win::kFileFlagOpenReparsePoint | win::kFileFlagBackupSemantics);
    if (!probe) {
        return true;
    }
    const bool plain = IsPlainFile(files, probe, nullptr);
    files.CloseHandle(probe);
    return plain;
}
