// The floor of any windowed setup program, for scripts/bench: a Unicode GUI program bound to
// version 6 of the common controls by the setup program's own manifest that registers the
// common-control classes, initialises COM and exits. Setup.exe's silent installation is
// timed against it.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    INITCOMMONCONTROLSEX classes = {};
    classes.dwSize = sizeof(classes);
    classes.dwICC = 0xFF;
    InitCommonControlsEx(&classes);
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    return 0;
}
