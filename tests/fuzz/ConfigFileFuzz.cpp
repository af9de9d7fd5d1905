// The unattended configuration file: arbitrary bytes as the file -config: names (any
// encoding, sections, lines and lengths), imported into the settings (step 1) and copied
// into prefs.dat with the volumes "veil" names prepared (step 18), on a machine with the
// volumes C: and D:. After each run: the import changed only what the file says, and every
// copied key that the profile functions can carry unchanged reads back from prefs.dat as
// it reads from the file.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "Setup/engine/ConfigFile.h"
#include "Setup/flow/InstallerSettings.h"
#include "Setup/flow/SetupProcess.h"

namespace {

constexpr const wchar_t kConfig[] = L"C:\\Setup\\setup.ini";
constexpr const wchar_t kInstallDir[] = L"C:\\Program Files\\Corvane";
constexpr const wchar_t kPrefs[] = L"C:\\Program Files\\Corvane\\prefs.dat";
constexpr const wchar_t kMenu[] = L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\X";

struct CopiedKey {
    const wchar_t* section;
    const wchar_t* key;
};
constexpr CopiedKey kCopied[] = {{L"common", L"autostart"},   {L"common", L"RAM"},
                                 {L"common", L"tip"},         {L"common", L"trayicon"},
                                 {L"common", L"checkupdate"}, {L"common", L"shellext"},
                                 {L"space", L"disable"}};

// A value the profile functions write and read back as it is: printable ASCII (a new
// prefs.dat is written in the ANSI code page), without blanks or quotes at its ends
// (reading trims blanks and one pair of quotes).
bool CarriedUnchanged(const std::wstring& text) {
    if (text.empty())
        return false;
    for (wchar_t c : text) {
        if (c < 0x20 || c > 0x7E)
            return false;
    }
    auto edge = [](wchar_t c) { return c == L' ' || c == L'"' || c == L'\''; };
    return !edge(text.front()) && !edge(text.back());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input(data, size);
    const std::vector<uint8_t> file = input.Rest();

    sim::Machine machine;
    machine.volumes().AddFixedVolume(L'D', 1ll << 34, 1ull << 33);
    machine.files().MakeFolders(kInstallDir);
    FUZZ_CHECK(machine.files().AddFile(kConfig, file), "the configuration file");

    InstallerSettings settings;
    settings.ConfigFile = kConfig;
    settings.InstallDir = kInstallDir;
    settings.StartMenuPath = kMenu;
    settings.DesktopIcon = 1;
    settings.QuickLaunchIcon = 1;
    settings.Password = L"(none)";

    ImportConfigFile(machine.platform().files, settings);

    platform::Files& files = machine.platform().files;
    const std::wstring path = ReadConfigString(files, L"common", L"path", kConfig);
    FUZZ_CHECK(settings.InstallDir == (path.empty() ? kInstallDir : path), "path %s -> %s",
               fuzz::Show(path).c_str(), fuzz::Show(settings.InstallDir).c_str());
    const std::wstring password = ReadConfigString(files, L"common", L"password", kConfig);
    FUZZ_CHECK(settings.Password == (password.empty() ? L"(none)" : password), "password");
    FUZZ_CHECK(settings.DesktopIcon ==
                   (files.GetPrivateProfileInt(L"common", L"desktopicon", 0, kConfig) != 0),
               "desktopicon");
    FUZZ_CHECK(settings.StartMenuPath.empty() ==
                   (files.GetPrivateProfileInt(L"common", L"startupmenushortcut", 0, kConfig) == 0),
               "startupmenushortcut");

    // The copy into prefs.dat, in the folder the file chose (any text at all).
    SetupProcess process;
    CopyConfigToPrefs(machine.platform(), settings, process);
    if (settings.InstallDir != kInstallDir) {
        return 0;
    }
    bool any = false;
    for (const CopiedKey& k : kCopied) {
        const std::wstring text = ReadConfigString(files, k.section, k.key, kConfig);
        any = any || !text.empty();
        if (!CarriedUnchanged(text))
            continue;
        const std::wstring copied = ReadConfigString(files, k.section, k.key, kPrefs);
        FUZZ_CHECK(copied == text, "[%ls] %ls: %s in the file, %s in prefs.dat", k.section, k.key,
                   fuzz::Show(text).c_str(), fuzz::Show(copied).c_str());
    }
    if (!any) {
        FUZZ_CHECK(!machine.files().Exists(kPrefs), "prefs.dat written with nothing to copy");
    }
    return 0;
}
