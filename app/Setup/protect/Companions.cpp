#include "Setup/protect/Companions.h"

uint32_t CompanionLoadFlags(platform::Processes& processes) {
    if (processes.LibrarySearchFlagsAvailable()) {
        return win::kLoadLibrarySearchDllLoadDir | win::kLoadLibrarySearchSystem32;
    }
    return win::kLoadWithAlteredSearchPath;
}

void RegisterCompanions(platform::Platform& platform, const std::wstring& productFolder) {
    platform::Processes& processes = platform.processes;

    // 1: the shell extension, on every version.
    const std::wstring extension = productFolder + L"\\" + kShellExtensionName;
    const platform::ModuleHandle module =
        processes.LoadLibraryEx(extension, CompanionLoadFlags(processes));
    if (module) {
        const platform::ProcAddress registerServer =
            processes.GetProcAddress(module, "DllRegisterServer");
        if (registerServer != 0) {
            processes.CallNoArgumentProc(registerServer);
        }
        processes.FreeLibrary(module);
    }

    // 2: the service program, on Windows Vista and later.
    platform::OsVersion version;
    if (!platform.system.GetVersion(&version) || version.major < 6) {
        return;
    }
    const std::wstring commandLine =
        L"\"" + productFolder + L"\\" + kServiceProgramName + L"\" /install";
    platform::StartupOptions startup;
    startup.flags = win::kStartfUseShowWindow;
    startup.showWindow = win::kSwHide;
    // It starts in the product's folder, not in setup's current folder (a share, or a
    // folder other users can write to), where it would look for libraries it cannot find
    // elsewhere.
    startup.currentDirectory = productFolder;
    platform::ProcessInfo info;
    if (!processes.CreateProcess(nullptr, commandLine, startup, &info)) {
        return;
    }
    processes.WaitForSingleObject(info.process, win::kInfinite);
    processes.CloseHandle(info.thread);
    processes.CloseHandle(info.process);
}
