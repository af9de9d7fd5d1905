// The planting test's control: loads each library named on its command line by its bare
// name, with the default search order and no restriction, and prints where it came from.
// Run from the folder the libraries are planted in, it shows which names Wine takes from
// beside a program that asks for them; a program that loads none of them from there has
// proven something only for those names.
//
// It imports what Setup.exe imports (the calls below are never made), so that Wine's loader
// resolves the same libraries at its start as at Setup.exe's: run without names, it shows
// what Wine takes from beside any such program before the program's own code runs.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>
#include <oleauto.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cstdio>

namespace {

void ImportLikeSetup() {
    InitCommonControls();
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    SysFreeString(nullptr);
    SHGetValueW(HKEY_LOCAL_MACHINE, L"", L"", nullptr, nullptr, nullptr);
    SHChangeNotify(0, 0, nullptr, nullptr);
    RegCloseKey(nullptr);
    GetStockObject(0);
    MessageBeep(0);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 0) {
        ImportLikeSetup();
    }
    for (int i = 1; i < argc; ++i) {
        const HMODULE module = LoadLibraryW(argv[i]);
        wchar_t path[MAX_PATH + 1] = {};
        if (module != nullptr)
            GetModuleFileNameW(module, path, MAX_PATH);
        std::printf("%ls: %ls\n", argv[i], module != nullptr ? path : L"(not loaded)");
    }
    return 0;
}
