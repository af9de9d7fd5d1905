// The installer settings: the one record through which the parts of the setup program hand
// each other what the user chose and what the program derived. The wizard pages and the
// silent path fill it, the prerequisite checks set the version text, the install engine
// derives the folders and reads the rest, and the completion step reads the restart choice.
// Nothing in it is saved anywhere by the record itself.
//
// The program keeps one record for the whole process (TheInstallerSettings()); every part
// receives it by reference, so a test builds a fresh one of its own.
#pragma once

#include <cstdint>
#include <string>

// The product's display name, shown for "<PRODUCT>" in the page texts.
constexpr const wchar_t ProductName[] = L"Corvane";

// The product key under HKEY_LOCAL_MACHINE, whose "Path" value names the installation
// folder, and the product settings file in that folder.
constexpr const wchar_t kProductKey[] = L"SOFTWARE\\Corvane";
constexpr const wchar_t kProductPathValue[] = L"Path";
constexpr const wchar_t kPrefsFileName[] = L"prefs.dat";

// Page results (m_nResult of every wizard page), read by the page sequence after each page.
constexpr int32_t PageCancel = 2;   // cancelled or closed; also every page's initial value
constexpr int32_t PageNext = 1000;  // Next (or Install, or Finish) ended the page
constexpr int32_t PageBack = 1001;  // Back ended the page

struct InstallerSettings {
    // Text settings: empty at start. Flags: 32-bit integers read as booleans (0 = off).

    // The configuration file named on the command line; empty: no configuration import.
    std::wstring ConfigFile;
    // Set by the prerequisite checks ("1.4.0.672"); shown for "<VERSION>" in page texts.
    std::wstring VersionText;
    std::wstring UserName;
    std::wstring Organization;
    // Relative to the common Programs folder; one or more names separated by backslashes.
    std::wstring StartMenuFolder;
    // Absolute folder paths without a trailing backslash, derived by the install engine.
    std::wstring SourceDir;
    std::wstring InstallDir;
    std::wstring SystemDir;
    // Absolute folder of the start-menu shortcuts; empty: no start-menu shortcuts.
    std::wstring StartMenuPath;
    // From the configuration import; the protection settings hash it.
    std::wstring Password;

    int32_t DesktopIcon = 1;
    int32_t QuickLaunchIcon = 1;
    // The Finish page's restart choice; the completion step restarts when it is set.
    int32_t RestartNow = 1;
    // Set by the install engine when the driver file cannot be copied into place.
    int32_t InstallFailed = 0;
};

// The process-wide record, with static storage duration: it exists from static
// initialisation to process exit.
InstallerSettings& TheInstallerSettings();
