#include "Setup/engine/Shortcuts.h"

#include <memory>
#include <vector>

#include "Setup/engine/FileDeployment.h"
#include "Setup/engine/RegistryData.h"
#include "base/Text.h"

namespace {

using platform::Hive;

constexpr const wchar_t kLinkName[] = L"\\Corvane.lnk";
constexpr const wchar_t kQuickLaunchFolder[] = L"\\Microsoft\\Internet Explorer\\Quick Launch";

void WriteString(platform::Registry& registry, const wchar_t* key, const wchar_t* value,
                 const std::wstring& text) {
    const std::vector<uint8_t> data = StringValueData(text);
    registry.SetValue(Hive::LocalMachine, key, value, win::kRegSz, data.data(),
                      static_cast<uint32_t>(data.size()));
}

void WriteDword(platform::Registry& registry, const wchar_t* key, const wchar_t* value,
                uint32_t number) {
    const auto data = DwordValueData(number);
    registry.SetValue(Hive::LocalMachine, key, value, win::kRegDword, data.data(),
                      static_cast<uint32_t>(data.size()));
}

// A special folder as the shell gives it (created when missing), without trailing
// backslashes. False when the shell cannot give it: the row that needs it is passed over,
// so that no link lands in (or is deleted from) a folder nobody chose.
bool SpecialFolder(platform::Shell& shell, int csidl, std::wstring* folder) {
    std::wstring path;
    if (!shell.GetSpecialFolderPath(csidl, true, &path) || path.size() >= win::kMaxPath) {
        return false;
    }
    *folder = base::TrimmedTrailingBackslashes(path);
    return !folder->empty();
}

}  // namespace

std::wstring RunEntryText(const std::wstring& installDir) {
    return base::Format(L"\"%ls\\CorvaneWarden.exe\" /Auto", installDir.c_str());
}

void WriteProductKey(platform::Registry& registry, const InstallerSettings& settings) {
    WriteString(registry, kProductKey, kProductPathValue, settings.InstallDir);
    WriteString(registry, kRunKey, kRunValue, RunEntryText(settings.InstallDir));
}

bool CreateShortcut(platform::Shell& shell, const std::wstring& target,
                    const std::wstring& workingFolder, const std::wstring& linkPath) {
    std::unique_ptr<platform::ShellLink> link;
    if (shell.CreateShellLink(&link) < 0 || !link) {
        return false;
    }
    link->SetPath(target);
    link->SetWorkingDirectory(workingFolder);
    link->SetShowCmd(win::kSwShowNormal);
    const int32_t saved = link->Save(linkPath, false);
    link.reset();
    if (saved < 0) {
        return false;
    }
    shell.ChangeNotify(win::kShcneAssocChanged, win::kShcnfIdList);
    return true;
}

void CreateShortcuts(platform::Platform& platform, const InstallerSettings& settings) {
    platform::Shell& shell = platform.shell;
    const std::wstring& installDir = settings.InstallDir;
    const std::wstring program = installDir + L"\\Corvane.exe";

    if (!settings.StartMenuPath.empty()) {
        const std::wstring& menu = settings.StartMenuPath;
        CreateFolderPath(platform.files, menu);
        CreateShortcut(shell, program, installDir, menu + L"\\Corvane.lnk");
        CreateShortcut(shell, installDir + L"\\Guide.chm", installDir, menu + L"\\Guide.lnk");
        CreateShortcut(shell, installDir + L"\\Remove.exe", installDir,
                       menu + L"\\Remove Corvane.lnk");
    }

    // The program's desktop link belongs on the all-users desktop: one on the current
    // user's own desktop goes, whether or not a desktop icon is wanted.
    std::wstring folder;
    if (SpecialFolder(shell, win::kCsidlDesktopDirectory, &folder)) {
        platform.files.DeleteFile(folder + kLinkName);
    }
    if (settings.DesktopIcon != 0 &&
        SpecialFolder(shell, win::kCsidlCommonDesktopDirectory, &folder)) {
        CreateShortcut(shell, program, installDir, folder + kLinkName);
    }
    if (settings.QuickLaunchIcon != 0 && SpecialFolder(shell, win::kCsidlAppData, &folder)) {
        CreateShortcut(shell, program, installDir, folder + kQuickLaunchFolder + kLinkName);
    }
}

void WriteUninstallEntry(platform::Registry& registry, const InstallerSettings& settings) {
    WriteString(registry, kUninstallKey, L"DisplayName", ProductName);
    WriteString(registry, kUninstallKey, L"DisplayVersion", settings.VersionText);
    WriteString(registry, kUninstallKey, L"Publisher", kPublisherName);
    WriteString(registry, kUninstallKey, L"RegisteredOwner", settings.UserName);
    WriteString(registry, kUninstallKey, L"RegisteredOrganization", settings.Organization);
    WriteString(registry, kUninstallKey, L"URLInfoAbout", kPublisherAddress);
    // Quoted: Windows runs an unquoted command line with blanks in it by trying each
    // blank-separated prefix as a program ("C:\Program.exe" first).
    WriteString(registry, kUninstallKey, L"UninstallString",
                L"\"" + settings.InstallDir + L"\\Remove.exe\"");
    if (!settings.StartMenuFolder.empty()) {
        WriteString(registry, kUninstallKey, L"StartMenuFolder", settings.StartMenuFolder);
    }
    WriteDword(registry, kUninstallKey, L"NoModify", 1);
    WriteDword(registry, kUninstallKey, L"NoRepair", 1);
}
