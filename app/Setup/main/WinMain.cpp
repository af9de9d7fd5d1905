// The entry point of Setup.exe: the real platform (the Win32 adapters), the application
// object's start-up, and the run's exit code as the process's exit code.
//
// The GUI subsystem's Unicode entry point, declared without <windows.h>: the handles are
// opaque here and the command line is read through the Shell port.
#include "Setup/flow/InstallerSettings.h"
#include "Setup/flow/SetupApp.h"
#include "win32/Win32Platform.h"

struct HINSTANCE__;

#if defined(__i386__)
#define CV_WINAPI __attribute__((stdcall))
#else
#define CV_WINAPI
#endif

extern "C" int CV_WINAPI wWinMain(HINSTANCE__* instance, HINSTANCE__* previous,
                                  wchar_t* commandLine, int showCommand) {
    (void)instance;
    (void)previous;
    (void)commandLine;
    (void)showCommand;
    // Made before the application object starts, as static initialisation would: the
    // control-code base comes from the driver's install GUID as it is now.
    static SetupProcess process = StartSetupProcess(win32::RealPlatform());
    return static_cast<int>(RunSetup(win32::RealPlatform(), TheInstallerSettings(), process));
}
