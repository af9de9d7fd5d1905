#include "Setup/flow/SystemLibrary.h"

#include "base/Text.h"

namespace {

constexpr const wchar_t* kVisualStyleLibraries[] = {L"uxtheme.dll", L"msimg32.dll"};

}  // namespace

std::wstring SystemLibraryPath(platform::System& system, const std::wstring& name) {
    std::wstring folder;
    if (!system.GetSystemDirectory(&folder) || folder.empty()) {
        return std::wstring();
    }
    return base::TrimmedTrailingBackslashes(folder) + L"\\" + name;
}

uint32_t SystemLibraryLoadFlags(platform::Processes& processes) {
    return processes.LibrarySearchFlagsAvailable() ? win::kLoadLibrarySearchSystem32
                                                   : win::kLoadWithAlteredSearchPath;
}

platform::ModuleHandle LoadSystemLibrary(platform::Platform& platform, const std::wstring& name) {
    const std::wstring path = SystemLibraryPath(platform.system, name);
    if (path.empty()) {
        return platform::ModuleHandle();
    }
    return platform.processes.LoadLibraryEx(path, SystemLibraryLoadFlags(platform.processes));
}

int PreloadVisualStyleLibraries(platform::Platform& platform) {
    int loaded = 0;
    for (const wchar_t* name : kVisualStyleLibraries) {
        if (LoadSystemLibrary(platform, name)) {
            ++loaded;
        }
    }
    return loaded;
}
