// Drive-letter volume tests shared by the prerequisite checks (is any volume in Veil Mode?)
// and the configuration file's volume list (which letters name a volume to prepare?).
#pragma once

#include "platform/Platform.h"

// True when the root folder of |letter| ("C:\") is the mount point of a volume that the
// platform's volume enumeration lists: GetVolumeNameForVolumeMountPointW (256 characters)
// gives a name that FindFirstVolumeW / FindNextVolumeW report, compared ignoring case. A
// letter without a volume name (a network drive, an absent drive, a blank or separator)
// gives false, as does an enumeration that cannot start.
bool IsListedVolume(platform::Platform& platform, wchar_t letter);

// Whether the volume of |letter| may hold a volume in Veil Mode and is asked about it: the
// drive type is fixed or removable with the thread's last-error value still 0 afterwards
// (it is cleared first), GetVolumeInformationW gives a file-system name (buffer of 16
// characters) that is FAT, FAT32, FAT16, EXFAT or NTFS ignoring case, and the letter is a
// listed volume.
bool IsEligibleVolume(platform::Platform& platform, wchar_t letter);
