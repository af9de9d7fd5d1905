#include "Setup/protect/ProtectionSettings.h"

#include <vector>

#include "Setup/checks/DriverControl.h"
#include "Setup/protect/Companions.h"
#include "Setup/protect/Fingerprints.h"
#include "Setup/protect/Md5.h"
#include "base/Text.h"

namespace {

// REG_SZ data: the text's UTF-16LE units and the terminating null, (characters + 1) x 2
// bytes.
uint32_t WriteString(platform::Platform& platform, const std::wstring& subKey,
                     const std::wstring& value, const std::wstring& text) {
    std::vector<uint8_t> data = base::ToUtf16LE(text);
    data.push_back(0);
    data.push_back(0);
    return platform.registry.SetValue(platform::Hive::LocalMachine, subKey, value, win::kRegSz,
                                      data.data(), static_cast<uint32_t>(data.size()));
}

// A REG_SZ value read as SHGetValueW reads it into a buffer of kSettingsValueBytes. A
// value of another type counts as unreadable (kErrorInvalidData). The text ends at the
// first null or at the end of the data, whichever comes first.
uint32_t ReadString(platform::Platform& platform, const std::wstring& subKey,
                    const std::wstring& value, std::wstring* text) {
    uint8_t buffer[kSettingsValueBytes] = {};
    uint32_t size = sizeof(buffer);
    uint32_t type = win::kRegNone;
    const uint32_t status = platform.registry.GetValue(platform::Hive::LocalMachine, subKey, value,
                                                       &type, buffer, &size);
    if (status != win::kErrorSuccess) {
        return status;
    }
    if (type != win::kRegSz && type != win::kRegExpandSz) {
        return win::kErrorInvalidData;
    }
    *text = base::FromUtf16LEUntilNull(buffer, size < sizeof(buffer) ? size : sizeof(buffer));
    return win::kErrorSuccess;
}

}  // namespace

std::wstring FormatGuidText(const platform::Guid& guid) {
    return base::Format(L"{%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}",
                        static_cast<unsigned>(guid.data1), static_cast<unsigned>(guid.data2),
                        static_cast<unsigned>(guid.data3), static_cast<unsigned>(guid.data4[0]),
                        static_cast<unsigned>(guid.data4[1]), static_cast<unsigned>(guid.data4[2]),
                        static_cast<unsigned>(guid.data4[3]), static_cast<unsigned>(guid.data4[4]),
                        static_cast<unsigned>(guid.data4[5]), static_cast<unsigned>(guid.data4[6]),
                        static_cast<unsigned>(guid.data4[7]));
}

bool ProfilesRootOf(const std::wstring& appData, std::wstring* root) {
    std::wstring path = appData;
    for (int cut = 0; cut < 2; ++cut) {
        const size_t last = path.rfind(L'\\');
        if (last == std::wstring::npos) {
            return false;
        }
        path.resize(last);
    }
    const size_t first = path.find(L'\\');
    if (first == std::wstring::npos) {
        return false;
    }
    if (path.find(L'\\', first + 1) != std::wstring::npos) {
        path.resize(path.rfind(L'\\'));
    }
    *root = path;
    return true;
}

uint32_t ControlWordFor(uint32_t majorVersion) {
    return majorVersion == 10 ? kControlWindows10 : kControlDefault;
}

std::wstring PasswordHashText(const std::wstring& guidText, const std::wstring& password) {
    const std::vector<uint8_t> input =
        base::ToUtf16LE(guidText + (password.empty() ? std::wstring(kNoPasswordText) : password));
    CMd5 md5;
    md5.Update(input.data(), input.size());
    uint8_t digest[CMd5::kDigestSize];
    md5.Final(digest);
    std::wstring text;
    for (uint8_t byte : digest) {
        text += base::Format(L"%02x", static_cast<unsigned>(byte));
    }
    return text;
}

std::wstring ProductFolder(platform::Platform& platform, const std::wstring& installDir) {
    std::wstring path;
    if (ReadString(platform, kProductKey, kProductPathValue, &path) == win::kErrorSuccess) {
        base::TrimTrailingBackslashes(path);
        if (!path.empty()) {
            return path;
        }
    }
    return installDir;
}

bool CvCreateInstallIdentity(platform::Platform& platform) {
    platform::Guid guid;
    const int32_t hr = platform.system.CreateGuid(&guid);
    if (hr < 0) {
        // No identity rather than an all-zero one.
        platform.system.SetLastError(static_cast<uint32_t>(hr));
        return false;
    }
    uint32_t status = WriteString(platform, kDriverServiceKey, kGuidValue, FormatGuidText(guid));
    if (status != win::kErrorSuccess) {
        platform.system.SetLastError(status);
        return false;
    }
    std::wstring windows;
    if (!platform.system.GetWindowsDirectory(&windows)) {
        return false;
    }
    status = WriteString(platform, kDriverServiceKey, kSyncValue,
                         base::TrimmedTrailingBackslashes(windows) + kBootStatusFile);
    if (status != win::kErrorSuccess) {
        platform.system.SetLastError(status);
        return false;
    }
    return true;
}

void WriteProtectionSettings(platform::Platform& platform, const InstallerSettings& settings) {
    // 1
    CvCreateInstallIdentity(platform);

    // 2
    std::wstring sync;
    uint32_t status = ReadString(platform, kDriverServiceKey, kSyncValue, &sync);
    if (status != win::kErrorSuccess) {
        platform.system.SetLastError(status);
        return;
    }

    // 3-5
    std::wstring appData;
    if (platform.shell.GetFolderPath(win::kCsidlAppData | win::kCsidlFlagCreate, &appData) < 0) {
        return;
    }
    std::wstring profilesRoot;
    if (!ProfilesRootOf(appData, &profilesRoot)) {
        platform.system.SetLastError(win::kErrorInvalidParameter);
        return;
    }
    if (!sync.empty()) {
        sync += L";";
    }
    sync += profilesRoot + kUserPrefsPattern;
    WriteString(platform, kDriverServiceKey, kSyncValue, sync);

    // 6
    std::wstring guidText;
    const bool haveGuid =
        ReadString(platform, kDriverServiceKey, kGuidValue, &guidText) == win::kErrorSuccess &&
        !guidText.empty();

    // 7
    const std::wstring folder = ProductFolder(platform, settings.InstallDir);

    // 8
    platform::OsVersion version;
    const uint32_t major = platform.system.GetVersion(&version) ? version.major : 0;
    const uint32_t control = ControlWordFor(major);
    const uint8_t word[4] = {static_cast<uint8_t>(control), static_cast<uint8_t>(control >> 8),
                             static_cast<uint8_t>(control >> 16),
                             static_cast<uint8_t>(control >> 24)};
    platform.registry.SetValue(platform::Hive::LocalMachine, kDriverServiceKey, kControlValue,
                               win::kRegDword, word, sizeof(word));

    // 9
    if (haveGuid) {
        const std::wstring prefs = folder + L"\\" + kPrefsFileName;
        platform.files.SetFileAttributes(prefs, win::kFileAttributeNormal);
        platform.files.WritePrivateProfileString(
            kPrefsSection, kHashKey, PasswordHashText(guidText, settings.Password), prefs);
    }

    // 10-11
    WriteFingerprintRecord(platform, folder);
    RegisterCompanions(platform, folder);
}
