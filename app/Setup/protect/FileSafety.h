// Files the protection configuration writes where other users can reach them (the root of a
// volume, C:\) are written only when they are what they seem: a plain file with one name.
// A symbolic link or other reparse point, a folder or a file with more than one hard link
// is never written through - setup runs as administrator, and a link planted by another
// user would otherwise let setup overwrite any file of the system.
#pragma once

#include <string>

#include "platform/Platform.h"

// True when |file| (opened with kFileFlagOpenReparsePoint) is a plain file with a single
// name. |information| receives what the handle reports; a handle that reports nothing
// counts as not plain.
bool IsPlainFile(platform::Files& files, platform::FileHandle file,
                 platform::FileInformation* information);

// False only when |path| is known to be a link, a folder or a file with more than one
// name; true when it is a plain file, does not exist or cannot be examined (the open that
// follows then decides). Never follows a link and opens nothing for data access.
bool MayBePlainFile(platform::Files& files, const std::wstring& path);
