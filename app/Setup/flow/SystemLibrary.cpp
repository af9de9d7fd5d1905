#include "Setup/flow/SystemLibrary.h"

#include "base/Text.h"

std::wstring SystemLibraryPath(platform::System& system, const std::wstring& name) {
    std::wstring folder;
    if (!system.GetSystemDirectory(&folder) || folder.empty()) {
        return std::wstring();
    }
    return base::TrimmedTrailingBackslashes(folder) + L"\\" + name;
}
