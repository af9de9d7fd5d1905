// Simulated shell of sim::Machine: special folders, shell links, change notifications and
// the command line.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <vector>

#include "sim/Common.h"

namespace sim {

class Machine;

class SimShell : public platform::Shell {
public:
    // One IPersistFile::Save that succeeded, in order of saving.
    struct SavedLink {
        std::wstring linkPath;
        std::wstring target;
        std::wstring workingDirectory;
        std::wstring arguments;
        int showCmd = 0;
    };
    struct Notification {
        int32_t eventId = 0;
        uint32_t flags = 0;
    };

    explicit SimShell(Machine& machine);
    // Puts the default machine's state in place (called once by Machine's constructor):
    // creates every default special folder and the user's Quick Launch folder.
    void InstallDefaults();

    // --- Set-up ---
    // Where |csidl| points (the folder itself is not created). kCsidlWindows and
    // kCsidlSystem follow SimSystem's folders unless set here.
    void SetSpecialFolder(int csidl, const std::wstring& path);
    // Makes |csidl| unknown to the shell.
    void RemoveSpecialFolder(int csidl);
    // Every request for |csidl| fails with |hr| (0 = succeed again).
    void FailFolder(int csidl, int32_t hr = win::kEFail);
    // CoCreateInstance of the link object fails with |hr| (0 = succeed again).
    void FailLinkCreation(int32_t hr);
    // The Save step of every link fails with |hr| (e.g. kENoInterface for the
    // IPersistFile query); 0 = succeed again.
    void FailLinkSave(int32_t hr);
    void SetCommandLine(const std::wstring& commandLine);
    // The next CommandLineToArgv fails (once).
    void FailCommandLineSplit();

    // --- Inspection ---
    std::wstring SpecialFolder(int csidl);  // empty when unknown
    std::wstring QuickLaunchFolder();
    std::vector<SavedLink> SavedLinks();
    std::vector<Notification> Notifications();

    // --- The port ---
    bool GetSpecialFolderPath(int csidl, bool create, std::wstring* path) override;
    int32_t GetFolderPath(int csidlAndFlags, std::wstring* path) override;
    int32_t CreateShellLink(std::unique_ptr<ShellLink>* link) override;
    bool ReadShellLink(const std::wstring& linkPath, ShellLinkInfo* info) override;
    void ChangeNotify(int32_t eventId, uint32_t flags) override;
    std::wstring GetCommandLine() override;
    bool CommandLineToArgv(const std::wstring& commandLine,
                           std::vector<std::wstring>* args) override;

    // CommandLineToArgvW's splitting of a non-empty command line (no module lookup).
    static std::vector<std::wstring> SplitCommandLine(const std::wstring& commandLine);

    // Called by the link objects.
    int32_t SaveLink(const SavedLink& link);

private:
    bool LookupFolder(int csidl, std::wstring* path);

    Machine& machine_;
    std::map<int, std::wstring> folders_;
    std::map<int, int32_t> folderFailures_;
    std::set<int> removedFolders_;
    int32_t linkCreationFailure_ = 0;
    int32_t linkSaveFailure_ = 0;
    bool commandLineSet_ = false;
    std::wstring commandLine_;
    bool failNextSplit_ = false;
    std::vector<SavedLink> savedLinks_;
    std::vector<Notification> notifications_;
};

}  // namespace sim
