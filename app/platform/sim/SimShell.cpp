#include "sim/Machine.h"

namespace sim {

SimShell::SimShell(Machine& machine) : machine_(machine) {}

void SimShell::InstallDefaults() {}

bool SimShell::GetSpecialFolderPath(int csidl, bool create, std::wstring* path) {
    (void)csidl;
    (void)create;
    (void)path;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return false;
}

int32_t SimShell::GetFolderPath(int csidlAndFlags, std::wstring* path) {
    (void)csidlAndFlags;
    (void)path;
    return win::kENotImpl;
}

int32_t SimShell::CreateShellLink(std::unique_ptr<ShellLink>* link) {
    (void)link;
    return win::kENotImpl;
}

bool SimShell::ReadShellLink(const std::wstring& linkPath, ShellLinkInfo* info) {
    (void)linkPath;
    (void)info;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return false;
}

void SimShell::ChangeNotify(int32_t eventId, uint32_t flags) {
    (void)eventId;
    (void)flags;
}

std::wstring SimShell::GetCommandLine() {
    return std::wstring();
}

bool SimShell::CommandLineToArgv(const std::wstring& commandLine, std::vector<std::wstring>* args) {
    (void)commandLine;
    (void)args;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return false;
}

}  // namespace sim
