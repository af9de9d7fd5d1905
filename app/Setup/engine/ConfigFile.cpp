#include "Setup/engine/ConfigFile.h"

#include "Setup/checks/VolumeChecks.h"
#include "Setup/flow/InstallLog.h"
#include "Setup/protect/TraceLog.h"
#include "Setup/protect/VolumeMarker.h"
#include "base/Text.h"

namespace {

constexpr const wchar_t kCommon[] = L"common";
constexpr const wchar_t kSpace[] = L"space";

// Keys of section "common" that are copied into prefs.dat, in this order.
constexpr const wchar_t* kCopiedCommonKeys[] = {L"autostart", L"RAM",         L"tip",
                                                L"trayicon",  L"checkupdate", L"shellext"};

// A value longer than this is read no further (the profile functions have no limit).
constexpr uint32_t kLargestBufferChars = 1u << 22;

// "veil" is read into a buffer of 128 characters.
constexpr uint32_t kVeilBufferChars = kVeilChars + 1;

void CopyKey(platform::Files& files, const std::wstring& configFile, const wchar_t* section,
             const wchar_t* key, const std::wstring& prefs) {
    const std::wstring text = ReadConfigString(files, section, key, configFile);
    if (text.empty()) {
        return;
    }
    // A read-only or hidden prefs.dat is updated all the same.
    files.SetFileAttributes(prefs, win::kFileAttributeNormal);
    files.WritePrivateProfileString(section, key, text, prefs);
}

// Prepares the volume of |letter| for the product: the volume marker with flag 1. A volume
// that cannot be prepared leaves its reason in the trace log; the installation goes on.
void PrepareVolume(platform::Platform& platform, const SetupProcess& process, wchar_t letter) {
    const bool prepared = CvSetVolumeFlag(platform, process.ControlCodeBase, letter, 1);
    if (process.Log != nullptr && process.Log->IsOn()) {
        const uint32_t error = prepared ? 0 : platform.system.GetLastError();
        if (!prepared) {
            process.Log->CountFailure();
        }
        process.Log->Write(L"Volume",
                           L"prepare " + std::wstring(1, letter) + L": (volume marker, flag 1): " +
                               (prepared ? std::wstring(L"ok")
                                         : ErrorText(error) + L"; the reason is in the trace log " +
                                               LogQuote(kTraceLogPath) + L" when it exists"));
    }
}

}  // namespace

std::wstring ReadConfigString(platform::Files& files, const std::wstring& section,
                              const std::wstring& key, const std::wstring& file,
                              uint32_t bufferChars) {
    std::wstring text;
    for (uint32_t chars = bufferChars < 2 ? 2 : bufferChars;; chars *= 2) {
        const uint32_t length =
            files.GetPrivateProfileString(section, key, L"", &text, chars, file);
        // A text that fills the buffer may have been cut.
        if (length < chars - 1 || chars >= kLargestBufferChars) {
            return text;
        }
    }
}

void ImportConfigFile(platform::Files& files, InstallerSettings& settings) {
    const std::wstring& file = settings.ConfigFile;
    if (file.empty()) {
        return;
    }
    const std::wstring path = ReadConfigString(files, kCommon, L"path", file);
    if (!path.empty()) {
        settings.InstallDir = path;
    }
    if (files.GetPrivateProfileInt(kCommon, L"desktopicon", 0, file) == 0) {
        settings.DesktopIcon = 0;
    }
    if (files.GetPrivateProfileInt(kCommon, L"quicklaunchicon", 0, file) == 0) {
        settings.QuickLaunchIcon = 0;
    }
    if (files.GetPrivateProfileInt(kCommon, L"startupmenushortcut", 0, file) == 0) {
        settings.StartMenuPath.clear();
    }
    const std::wstring password = ReadConfigString(files, kCommon, L"password", file);
    if (!password.empty()) {
        settings.Password = password;
    }
}

std::vector<wchar_t> VolumesToPrepare(platform::Platform& platform, const std::wstring& veil) {
    std::vector<wchar_t> letters;
    const size_t count = veil.size() < kVeilChars ? veil.size() : kVeilChars;
    for (size_t i = 0; i < count; ++i) {
        if (IsListedVolume(platform, veil[i])) {
            letters.push_back(veil[i]);
        }
    }
    return letters;
}

void CopyConfigToPrefs(platform::Platform& platform, const InstallerSettings& settings,
                       const SetupProcess& process) {
    const std::wstring& file = settings.ConfigFile;
    if (file.empty()) {
        return;
    }
    platform::Files& files = platform.files;
    const std::wstring prefs = settings.InstallDir + L"\\" + kPrefsFileName;
    for (const wchar_t* key : kCopiedCommonKeys) {
        CopyKey(files, file, kCommon, key, prefs);
    }
    CopyKey(files, file, kSpace, L"disable", prefs);

    std::wstring veil;
    files.GetPrivateProfileString(kCommon, L"veil", L"", &veil, kVeilBufferChars, file);
    const std::vector<wchar_t> letters = VolumesToPrepare(platform, veil);
    if (!veil.empty()) {
        std::wstring names;
        for (wchar_t letter : letters) {
            names += (names.empty() ? L"" : L" ") + std::wstring(1, letter) + L":";
        }
        WriteLog(process.Log, L"Volume",
                 L"\"veil\" is " + LogQuote(veil) + L": " +
                     (names.empty() ? std::wstring(L"it names no volume of this computer")
                                    : L"volumes to prepare " + names));
    }
    for (wchar_t letter : letters) {
        PrepareVolume(platform, process, letter);
    }
}
