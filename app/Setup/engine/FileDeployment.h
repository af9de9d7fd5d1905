// File deployment: the product's files lie beside the setup program (SourceDir) and are
// copied into the installation folder (InstallDir), the protection driver into the system
// folder's "drivers" folder. Each row of the file table has one of four copy rules.
#pragma once

#include <cstddef>
#include <string>

#include "Setup/flow/InstallerSettings.h"
#include "platform/Platform.h"

enum class CopyRule {
    // CopyFileW over whatever is there; a failure leaves the destination as it was.
    Plain,
    // For programs that may be running (the service, the shell extension): when the copy
    // fails the old file is moved aside to "<name>.del", scheduled for deletion at the next
    // restart, and the copy made again.
    ReplaceInUse,
    // For the resource file: copied beside the old copy as "<name>.new", then moved over
    // it with the old copy's attributes reset, so that a read-only copy from an earlier
    // installation is replaced, and kept when the new one cannot be put in its place.
    Fresh,
    // The driver: a failed copy ends the installation.
    Required,
};

enum class DestinationFolder {
    InstallDir,  // the installation folder
    Drivers,     // SystemDir + "\drivers"
};

struct ProductFile {
    const wchar_t* sourceName;  // appended to SourceDir, with its leading backslash
    DestinationFolder folder;
    const wchar_t* destinationName;  // appended to the destination folder
    CopyRule rule;
};

// The file table, in the order the rows are copied (rows 1 to 12).
constexpr size_t kProductFileCount = 12;
extern const ProductFile kProductFiles[kProductFileCount];

// The full paths of a row.
std::wstring ProductFileSource(const InstallerSettings& settings, const ProductFile& file);
std::wstring ProductFileDestination(const InstallerSettings& settings, const ProductFile& file);

// Copies one row by its rule. Returns false only when a Required row could not be copied;
// every other failure is passed over.
bool DeployProductFile(platform::Files& files, const InstallerSettings& settings,
                       const ProductFile& file);

// The copy rules, on full paths.
bool CopyPlain(platform::Files& files, const std::wstring& source, const std::wstring& destination);
void CopyReplacingInUse(platform::Files& files, const std::wstring& source,
                        const std::wstring& destination);
void CopyFresh(platform::Files& files, const std::wstring& source, const std::wstring& destination);
// The driver: copied beside the old file, then renamed over it with write-through; false
// when either fails.
bool CopyRequired(platform::Files& files, const std::wstring& source,
                  const std::wstring& destination);

// Creates every level of |path|: for each backslash, from the first to the last,
// CreateDirectoryW on the path up to it, then on the whole path. The levels' results are
// not looked at, so levels that exist already and the drive part ("C:") do no harm.
// Returns the result of creating the whole path, whose error stays in the thread's
// last-error value: true only when that folder was created now.
bool CreateFolderPath(platform::Files& files, const std::wstring& path);

// The installation folder: CreateFolderPath, then CreateDirectoryW once more; both results
// are ignored (a folder that cannot be made shows up as failed copies).
void CreateInstallFolder(platform::Files& files, const std::wstring& installDir);
