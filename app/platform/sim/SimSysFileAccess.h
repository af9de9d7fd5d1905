// File access shared by the simulated shell, system and processes. Everything goes
// through the machine's Files port, so these parts see exactly what the program sees, and
// every helper leaves the calling thread's last-error value as it found it.
#pragma once

#include <cstdint>
#include <string>

namespace sim {

class Machine;

namespace sysfiles {

bool IsFolder(Machine& machine, const std::wstring& path);
bool IsFile(Machine& machine, const std::wstring& path);
// The text before the last backslash ("C:\a\b.lnk" -> "C:\a"; "C:\x" -> "C:\"), empty
// when there is no backslash.
std::wstring ParentFolder(const std::wstring& path);
// Creates |path| and its missing parents. On failure returns false with the Win32 error
// in |error|.
bool MakeFolders(Machine& machine, const std::wstring& path, uint32_t* error);
// Creates or replaces a file with |bytes|; on failure |error| holds the Win32 error.
bool WriteWholeFile(Machine& machine, const std::wstring& path, const std::string& bytes,
                    uint32_t* error);
bool ReadWholeFile(Machine& machine, const std::wstring& path, std::string* bytes);
// GetModuleFileName of the running program; empty on failure.
std::wstring ModulePath(Machine& machine);

}  // namespace sysfiles
}  // namespace sim
