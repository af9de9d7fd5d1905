#include "Setup/engine/FileDeployment.h"

namespace {

constexpr const wchar_t kAsideSuffix[] = L".del";
// The fresh copy's name until it replaces the old one.
constexpr const wchar_t kIncomingSuffix[] = L".new";

bool IsFile(platform::Files& files, const std::wstring& path) {
    const uint32_t attributes = files.GetFileAttributes(path);
    return attributes != win::kInvalidFileAttributes &&
           (attributes & win::kFileAttributeDirectory) == 0;
}

}  // namespace

const ProductFile kProductFiles[kProductFileCount] = {
    {L"\\Corvane.exe", DestinationFolder::InstallDir, L"\\Corvane.exe", CopyRule::Plain},
    // The background program lies beside the setup program under a name of its own.
    {L"\\Warden.exe", DestinationFolder::InstallDir, L"\\CorvaneWarden.exe", CopyRule::Plain},
    {L"\\Persist.exe", DestinationFolder::InstallDir, L"\\Persist.exe", CopyRule::Plain},
    {L"\\Console.exe", DestinationFolder::InstallDir, L"\\Console.exe", CopyRule::Plain},
    {L"\\Keeper.exe", DestinationFolder::InstallDir, L"\\Keeper.exe", CopyRule::ReplaceInUse},
    {L"\\MenuExt.dll", DestinationFolder::InstallDir, L"\\MenuExt.dll", CopyRule::ReplaceInUse},
    {L"\\lang.ini", DestinationFolder::InstallDir, L"\\lang.ini", CopyRule::Fresh},
    {L"\\Console.txt", DestinationFolder::InstallDir, L"\\Console.txt", CopyRule::Plain},
    {L"\\Guide.chm", DestinationFolder::InstallDir, L"\\Guide.chm", CopyRule::Plain},
    {L"\\terms.rtf", DestinationFolder::InstallDir, L"\\terms.rtf", CopyRule::Plain},
    {L"\\cvflt.sys", DestinationFolder::Drivers, L"\\cvflt.sys", CopyRule::Required},
    {L"\\Remove.exe", DestinationFolder::InstallDir, L"\\Remove.exe", CopyRule::Plain},
};

std::wstring ProductFileSource(const InstallerSettings& settings, const ProductFile& file) {
    return settings.SourceDir + file.sourceName;
}

std::wstring ProductFileDestination(const InstallerSettings& settings, const ProductFile& file) {
    switch (file.folder) {
        case DestinationFolder::Drivers:
            return settings.SystemDir + L"\\drivers" + file.destinationName;
        case DestinationFolder::InstallDir:
            break;
    }
    return settings.InstallDir + file.destinationName;
}

bool CopyPlain(platform::Files& files, const std::wstring& source,
               const std::wstring& destination) {
    return files.CopyFile(source, destination, false);
}

// A running program cannot be overwritten, but it can be renamed: the old file makes room
// under "<name>.del" and goes at the next restart. MoveFileW never replaces a file, so a
// ".del" still waiting for a restart keeps the old file in place.
//
// The new file is first made whole beside the old one as "<name>.new", so that a copy that
// fails or is cut off (a full disk, a power loss) leaves the old file as it was. Its move
// into place is also scheduled for the restart before the old file moves aside: should the
// installation stop between the two renames, the restart finishes the replacement instead
// of leaving the program missing (when the run goes on, the scheduled move finds no
// "<name>.new" and does nothing). A rename that fails puts the old file back.
void CopyReplacingInUse(platform::Files& files, const std::wstring& source,
                        const std::wstring& destination) {
    if (files.CopyFile(source, destination, false)) {
        return;
    }
    const std::wstring incoming = destination + kIncomingSuffix;
    const std::wstring aside = destination + kAsideSuffix;
    if (!files.CopyFile(source, incoming, false)) {
        files.DeleteFile(incoming);
        return;
    }
    files.MoveFileEx(incoming, &destination,
                     win::kMovefileReplaceExisting | win::kMovefileDelayUntilReboot);
    if (!files.MoveFile(destination, aside)) {
        files.DeleteFile(incoming);
        return;
    }
    if (!files.MoveFile(incoming, destination)) {
        files.MoveFile(aside, destination);
        files.DeleteFile(incoming);
        return;
    }
    files.MoveFileEx(aside, nullptr, win::kMovefileDelayUntilReboot);
}

// The driver: the filter lists of an earlier installation already name it, so a driver
// file cut off part-way would leave a computer that cannot start its disks. The new copy is
// made beside the old one as "<name>.new" and then renamed over it, written through to the
// disk before the rename returns; the old file stays whole until then. A copy or a rename
// that fails counts as the failed copy of the driver and takes back the new copy.
bool CopyRequired(platform::Files& files, const std::wstring& source,
                  const std::wstring& destination) {
    const std::wstring incoming = destination + kIncomingSuffix;
    if (files.CopyFile(source, incoming, false) &&
        files.MoveFileEx(incoming, &destination,
                         win::kMovefileReplaceExisting | win::kMovefileWriteThrough)) {
        return true;
    }
    files.DeleteFile(incoming);
    return false;
}

// The old copy is only replaced once the new one is in place: the new file is copied
// beside it under "<name>.new" first, then moved over it. A copy that fails (a full disk, a
// share that went away) or a move that fails (the old copy in use) leaves the old copy as
// it was. The attribute resets let a read-only copy, old or half-made, be replaced.
void CopyFresh(platform::Files& files, const std::wstring& source,
               const std::wstring& destination) {
    if (!IsFile(files, source)) {
        return;
    }
    const std::wstring incoming = destination + kIncomingSuffix;
    files.SetFileAttributes(incoming, win::kFileAttributeNormal);
    if (files.CopyFile(source, incoming, false)) {
        files.SetFileAttributes(destination, win::kFileAttributeNormal);
        if (files.MoveFileEx(incoming, &destination, win::kMovefileReplaceExisting)) {
            return;
        }
        files.SetFileAttributes(incoming, win::kFileAttributeNormal);
    }
    files.DeleteFile(incoming);
}

bool DeployProductFile(platform::Files& files, const InstallerSettings& settings,
                       const ProductFile& file) {
    const std::wstring source = ProductFileSource(settings, file);
    const std::wstring destination = ProductFileDestination(settings, file);
    switch (file.rule) {
        case CopyRule::Plain:
            CopyPlain(files, source, destination);
            return true;
        case CopyRule::ReplaceInUse:
            CopyReplacingInUse(files, source, destination);
            return true;
        case CopyRule::Fresh:
            CopyFresh(files, source, destination);
            return true;
        case CopyRule::Required:
            return CopyRequired(files, source, destination);
    }
    return true;
}

bool CreateFolderPath(platform::Files& files, const std::wstring& path) {
    for (size_t i = path.find(L'\\'); i != std::wstring::npos; i = path.find(L'\\', i + 1)) {
        files.CreateDirectory(path.substr(0, i));
    }
    return files.CreateDirectory(path);
}

void CreateInstallFolder(platform::Files& files, const std::wstring& installDir) {
    CreateFolderPath(files, installDir);
    files.CreateDirectory(installDir);
}
