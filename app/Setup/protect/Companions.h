// The companion components that need more than copying: the shell extension MenuExt.dll
// registers itself with COM (DllRegisterServer), and on Windows Vista and later the service
// program Keeper.exe installs itself when started with /install. Both run from the
// installation folder; neither reports anything.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Platform.h"

constexpr const wchar_t kShellExtensionName[] = L"MenuExt.dll";
constexpr const wchar_t kServiceProgramName[] = L"Keeper.exe";

// How MenuExt.dll is loaded by its full path so that its own folder - and never the setup
// program's folder - is searched for the libraries it imports, under the restricted DLL
// search the start-up put in place:
//   - where LoadLibraryExW takes the LOAD_LIBRARY_SEARCH flags (the start-up then used
//     SetDefaultDllDirectories): LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | _SYSTEM32, the
//     library's folder and the system folder only;
//   - otherwise (SetDllDirectoryW(L"") took the current folder out of the search):
//     LOAD_WITH_ALTERED_SEARCH_PATH, which puts the library's folder where the program's
//     folder would be.
uint32_t CompanionLoadFlags(platform::Processes& processes);

// Registers the shell extension, then (major version 6 and later) starts
// "<folder>\Keeper.exe" /install with a hidden window and waits for it to end.
void RegisterCompanions(platform::Platform& platform, const std::wstring& productFolder);
