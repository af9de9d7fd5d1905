// Shell port: special folders, shell links, change notification and command-line
// splitting.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Types.h"

namespace platform {

// An IShellLinkW object (with its IPersistFile) as the program uses it. HRESULT results.
class ShellLink {
public:
    virtual ~ShellLink() = default;
    virtual int32_t SetPath(const std::wstring& target) = 0;
    virtual int32_t SetWorkingDirectory(const std::wstring& folder) = 0;
    virtual int32_t SetShowCmd(int showCmd) = 0;
    virtual int32_t SetArguments(const std::wstring& arguments) = 0;
    // QueryInterface(IID_IPersistFile) then IPersistFile::Save(path, remember); a failure
    // of either step is returned as it is.
    virtual int32_t Save(const std::wstring& linkPath, bool remember) = 0;
};

// What a saved link file holds (read back through IShellLinkW + IPersistFile::Load).
struct ShellLinkInfo {
    std::wstring target;
    std::wstring workingDirectory;
    std::wstring arguments;
    int showCmd = 0;
};

class Shell {
public:
    virtual ~Shell() = default;

    // SHGetSpecialFolderPathW(NULL, path, csidl, create): false when the folder is unknown
    // or (with |create| false) does not exist.
    virtual bool GetSpecialFolderPath(int csidl, bool create, std::wstring* path) = 0;

    // SHGetFolderPathW(NULL, csidl | flags, NULL, 0, path): an HRESULT; kCsidlFlagCreate in
    // |csidlAndFlags| creates the folder when missing.
    virtual int32_t GetFolderPath(int csidlAndFlags, std::wstring* path) = 0;

    // CoCreateInstance(CLSID_ShellLink, ..., IID_IShellLinkW). Needs COM on the thread.
    virtual int32_t CreateShellLink(std::unique_ptr<ShellLink>* link) = 0;

    // Loads a link file; false when it cannot be read.
    virtual bool ReadShellLink(const std::wstring& linkPath, ShellLinkInfo* info) = 0;

    // SHChangeNotify(eventId, flags, NULL, NULL).
    virtual void ChangeNotify(int32_t eventId, uint32_t flags) = 0;

    // GetCommandLineW.
    virtual std::wstring GetCommandLine() = 0;

    // CommandLineToArgvW: false when splitting fails (the Win32 function returned NULL).
    virtual bool CommandLineToArgv(const std::wstring& commandLine,
                                   std::vector<std::wstring>* args) = 0;
};

}  // namespace platform
