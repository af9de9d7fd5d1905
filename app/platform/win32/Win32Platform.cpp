// The real platform: one instance of each Win32 adapter, bundled.
#include "win32/Win32Platform.h"

#include "win32/Adapters.h"

namespace win32 {

platform::Platform& RealPlatform() {
    static Win32Registry registry;
    static Win32Files files;
    static Win32Volumes volumes;
    static Win32Shell shell;
    static Win32System system;
    static Win32Processes processes;
    static Win32Wmi wmi;
    static Win32Ui ui;
    static platform::Platform platform{registry, files, volumes, shell, system, processes, wmi, ui};
    return platform;
}

}  // namespace win32
