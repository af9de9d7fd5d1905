// Libraries the program loads by name come from the system folder only.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Platform.h"

// The full path of a library in the system folder (GetSystemDirectoryW + "\" + name), so
// that no copy in the program's folder or the current folder can stand in for it. Empty
// when the system folder cannot be read.
std::wstring SystemLibraryPath(platform::System& system, const std::wstring& name);

// The LoadLibraryExW flags for a library of the system folder, so that its own imports come
// from there too: LOAD_LIBRARY_SEARCH_SYSTEM32 where LoadLibraryExW takes the search flags,
// else LOAD_WITH_ALTERED_SEARCH_PATH, with which the library's folder takes the place of the
// program's folder (Windows XP, Vista and 7 without KB2533623, where SetDllDirectoryW(L"")
// leaves the program's folder first in the search).
uint32_t SystemLibraryLoadFlags(platform::Processes& processes);

// Loads |name| from the system folder with SystemLibraryLoadFlags; an empty handle when the
// system folder cannot be read or the library cannot be loaded. The library stays loaded.
platform::ModuleHandle LoadSystemLibrary(platform::Platform& platform, const std::wstring& name);

// The libraries of the common controls' visual styles, which the system's own libraries load
// by name once the first themed window is drawn: "uxtheme.dll" (comctl32 version 6 loads it)
// and "msimg32.dll" (uxtheme's drawing helpers, imported late). Loaded from the system folder
// before anything can ask for them by name, so that where a search by name still looks
// beside the program - the systems without SetDefaultDllDirectories, and loaders that
// resolve late imports along the process's default path - the loaded ones are found first.
// Returns how many were loaded.
int PreloadVisualStyleLibraries(platform::Platform& platform);
