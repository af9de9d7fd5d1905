// The install identity and the protection driver's settings, written once per installation
// as step 15 of the install sequence, on the install thread:
//
//   service key HKLM\SYSTEM\CurrentControlSet\Services\cvflt
//     GUID     REG_SZ     a new GUID as text, {xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx} in
//                         lower-case hexadecimal (38 characters)
//     Sync     REG_SZ     "<Windows folder>\bootstat.dat;<profiles root>\*\Corvane\prefs.dat"
//     Control  REG_DWORD  0x10000001 on major version 10, 0x10000041 on every other
//   <product folder>\prefs.dat, section [common]
//     hash                MD5 of the GUID text read back followed by the password (or
//                         "@NOPASSWD" when there is none), over UTF-16LE: 32 lower-case
//                         hexadecimal digits. The password itself is written nowhere.
//
// then the fingerprint record of the product's programs and the companion components. The
// product folder is the product key's "Path" value, else the installation folder. Nothing
// is shown and nothing stops the installation; failures are left in the thread's
// last-error value only.
#pragma once

#include <cstdint>
#include <string>

#include "Setup/flow/InstallerSettings.h"
#include "platform/Platform.h"

constexpr const wchar_t kGuidValue[] = L"GUID";
constexpr const wchar_t kSyncValue[] = L"Sync";
constexpr const wchar_t kControlValue[] = L"Control";
constexpr const wchar_t kBootStatusFile[] = L"\\bootstat.dat";
constexpr const wchar_t kUserPrefsPattern[] = L"\\*\\Corvane\\prefs.dat";
constexpr const wchar_t kNoPasswordText[] = L"@NOPASSWD";
constexpr const wchar_t kPrefsSection[] = L"common";
constexpr const wchar_t kHashKey[] = L"hash";
constexpr uint32_t kControlDefault = 0x10000041;
constexpr uint32_t kControlWindows10 = 0x10000001;
// The buffer the registry values are read into, in bytes (512 characters).
constexpr uint32_t kSettingsValueBytes = 1024;

// "{%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}": Data1, Data2, Data3, then the
// eight bytes of Data4 in order.
std::wstring FormatGuidText(const platform::Guid& guid);

// The profiles root of an application-data path: cut at the last backslash, cut at the
// last backslash again, then once more if what remains still holds two backslashes
// (C:\Users\User1\AppData\Roaming -> C:\Users, C:\Documents and Settings\User1\Application
// Data -> C:\Documents and Settings). False when a cut finds no backslash (D:\Data).
bool ProfilesRootOf(const std::wstring& appData, std::wstring* root);

// The Control word for the running Windows' major version.
uint32_t ControlWordFor(uint32_t majorVersion);

// The hash text of |guidText| and |password| (see above).
std::wstring PasswordHashText(const std::wstring& guidText, const std::wstring& password);

// The product key's "Path" value (REG_SZ, up to 1024 bytes, not empty), else |installDir|.
std::wstring ProductFolder(platform::Platform& platform, const std::wstring& installDir);

// Writes a new GUID, then resets Sync to the boot-status entry alone. False when the GUID
// cannot be made or written (Sync is then left as it is) or Sync cannot be written; the
// last-error value is then the failing call's (the registry's status for a write).
bool CvCreateInstallIdentity(platform::Platform& platform);

// The whole step, in order: the identity; Sync read back (stop when it cannot be) and
// extended by the profiles-root pattern (stop with 87 when the application-data folder
// has too few backslashes, stop silently when there is none); the GUID read back; the
// product folder; Control; prefs.dat's attributes reset and its hash written - skipped
// when the GUID cannot be read back, so that no hash of an identity that is not there is
// ever stored; the fingerprint record; the companions.
void WriteProtectionSettings(platform::Platform& platform, const InstallerSettings& settings);
