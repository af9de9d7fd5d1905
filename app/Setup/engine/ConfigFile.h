// The unattended configuration file named with -config: (ConfigFile): an INI file read
// with the platform's profile functions, never written. Section "common" holds the
// installation choices, which can switch the icons and the start-menu links off but never
// on, and product settings that are copied into the product's settings file prefs.dat;
// "veil" names the volumes to prepare.
#pragma once

#include <string>
#include <vector>

#include "Setup/flow/InstallerSettings.h"
#include "Setup/flow/SetupProcess.h"
#include "platform/Platform.h"

// The number of characters of "veil" that are looked at.
constexpr size_t kVeilChars = 127;

// GetPrivateProfileStringW with an empty default into a buffer of |bufferChars| characters;
// when the text fills the buffer, the buffer is made larger and the key read again, so that
// a value is never cut short. Blanks around the value and one pair of quotation marks are
// removed by the profile function.
std::wstring ReadConfigString(platform::Files& files, const std::wstring& section,
                              const std::wstring& key, const std::wstring& file,
                              uint32_t bufferChars = 256);

// Step 1: when ConfigFile is not empty, "path" replaces InstallDir (as written), a
// "desktopicon", "quicklaunchicon" or "startupmenushortcut" that reads as 0 (missing keys
// do) clears DesktopIcon, QuickLaunchIcon or StartMenuPath, and "password" replaces
// Password. Empty texts change nothing. A file that cannot be read gives the defaults.
void ImportConfigFile(platform::Files& files, InstallerSettings& settings);

// The drive letters of |veil| whose volumes are to be prepared: its first 127 characters in
// order, each kept, as written, when IsListedVolume is true for it. A letter written twice
// is prepared twice.
std::vector<wchar_t> VolumesToPrepare(platform::Platform& platform, const std::wstring& veil);

// Step 18: when ConfigFile is not empty, copies "autostart", "RAM", "tip", "trayicon",
// "checkupdate" and "shellext" of section "common" and "disable" of section "space" into
// the same sections of InstallDir\prefs.dat (its attributes reset to normal before each
// write; a missing or empty key is not written, so what prefs.dat holds survives), then
// prepares the volumes that "veil" names.
void CopyConfigToPrefs(platform::Platform& platform, const InstallerSettings& settings,
                       const SetupProcess& process);
