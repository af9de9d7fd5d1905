// Libraries the program loads by name come from the system folder only.
#pragma once

#include <string>

#include "platform/System.h"

// The full path of a library in the system folder (GetSystemDirectoryW + "\" + name), so
// that no copy in the program's folder or the current folder can stand in for it. Empty
// when the system folder cannot be read.
std::wstring SystemLibraryPath(platform::System& system, const std::wstring& name);
