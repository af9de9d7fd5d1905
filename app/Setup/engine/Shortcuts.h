// What the installation leaves in the registry and the shell besides the driver: the
// product key's installation path, the Run entry of the background program, the shortcuts
// in the start menu, on the desktop and in Quick Launch, and the entry in the list of
// installed programs.
#pragma once

#include <string>

#include "Setup/flow/InstallerSettings.h"
#include "Setup/res/Version.h"
#include "platform/Platform.h"

// Under HKEY_LOCAL_MACHINE.
constexpr const wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const wchar_t kRunValue[] = L"Corvane Warden";
constexpr const wchar_t kUninstallKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
    L"{5B0E3C2A-7D41-4F8E-9A36-C1D2E4F60718}";

// The publisher named in the list of installed programs, and its web address (an address
// of the reserved example.com domain until the product has an address of its own).
constexpr const wchar_t kPublisherName[] = L"" CV_PUBLISHER_TEXT;
constexpr const wchar_t kPublisherAddress[] = L"https://www.example.com/corvane/";

// The Run entry's text: the background program's full path in double quotation marks, a
// blank and /Auto. Made whole, however long InstallDir is.
std::wstring RunEntryText(const std::wstring& installDir);

// Step 14: "Path" of the product key (InstallDir), then the Run entry, each REG_SZ with
// SHSetValueW; failures are ignored.
void WriteProductKey(platform::Registry& registry, const InstallerSettings& settings);

// Creates or replaces the shell link |linkPath| to |target| with |workingFolder| and
// SW_SHOWNORMAL (IShellLinkW, saved through IPersistFile); after a save the shell is told
// (SHCNE_ASSOCCHANGED). True when the link file was saved. COM must be initialised on the
// calling thread.
bool CreateShortcut(platform::Shell& shell, const std::wstring& target,
                    const std::wstring& workingFolder, const std::wstring& linkPath);

// Step 16: the start-menu folder and its three links (only when StartMenuPath is not
// empty), the removal of the current user's desktop link, the all-users desktop link
// (DesktopIcon) and the Quick Launch link (QuickLaunchIcon; the Quick Launch folder is not
// created). A special folder the shell cannot give is passed over with its row.
void CreateShortcuts(platform::Platform& platform, const InstallerSettings& settings);

// Step 17: the values of the uninstall entry, in order, each written once; failures are
// ignored. "UninstallString" is the quoted path of Remove.exe; "StartMenuFolder" is only
// written when the folder name is not empty.
void WriteUninstallEntry(platform::Registry& registry, const InstallerSettings& settings);
