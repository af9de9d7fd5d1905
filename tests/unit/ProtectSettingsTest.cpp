// The install identity and the driver's settings: GUID, Sync, Control and the password hash
// in prefs.dat, the fingerprint record, and their failure table. Expected digests were
// computed outside the program (python3's hashlib over UTF-16LE).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "Setup/checks/DriverControl.h"
#include "Setup/engine/InstallWorker.h"
#include "Setup/protect/Fingerprints.h"
#include "Setup/protect/ProtectionSettings.h"
#include "base/Text.h"
#include "sim/Machine.h"

namespace {

using platform::Hive;

constexpr const wchar_t kInstallDir[] = L"C:\\Program Files\\Corvane";
constexpr const wchar_t kPrefs[] = L"C:\\Program Files\\Corvane\\prefs.dat";
constexpr const wchar_t kRecord[] = L"C:\\Windows\\cvfltfp.dat";
constexpr const wchar_t kExampleSync[] =
    L"C:\\Windows\\bootstat.dat;C:\\Users\\*\\Corvane\\prefs.dat";

// {01234567-89ab-cdef-0123-456789abcdef}
platform::Guid KnownGuid() {
    platform::Guid g;
    g.data1 = 0x01234567;
    g.data2 = 0x89ab;
    g.data3 = 0xcdef;
    const uint8_t data4[8] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef};
    std::memcpy(g.data4, data4, 8);
    return g;
}
constexpr const wchar_t kKnownGuidText[] = L"{01234567-89ab-cdef-0123-456789abcdef}";

// The product as installed, with a self-registering MenuExt.dll and a Keeper.exe that
// records its command line.
struct Installed {
    sim::Machine m;
    InstallerSettings settings;

    Installed() {
        settings.InstallDir = kInstallDir;
        const std::wstring dir = kInstallDir;
        m.files().AddFile(dir + L"\\CorvaneWarden.exe", std::string("warden program"));
        m.files().AddFile(dir + L"\\Persist.exe", std::string("persist program"));
        m.files().AddFile(dir + L"\\Corvane.exe", std::string("corvane program"));
        m.files().AddFile(dir + L"\\MenuExt.dll", std::string("MZ"));
        m.processes().RegisterSelfRegisteringLibrary(dir + L"\\MenuExt.dll");
        m.files().AddFile(dir + L"\\Keeper.exe", std::string("MZ"));
        m.processes().RegisterRecordingProgram(dir + L"\\Keeper.exe");
    }

    std::wstring Value(const wchar_t* name) {
        return m.registry()
            .GetString(Hive::LocalMachine, kDriverServiceKey, name)
            .value_or(L"<none>");
    }
    std::wstring Hash() {
        std::wstring hash;
        m.files().GetPrivateProfileString(L"common", L"hash", L"<none>", &hash, 64, kPrefs);
        return hash;
    }
    bool CompanionsRegistered() {
        return !m.processes().SelfRegistrations().empty() ||
               !m.processes()
                    .RecordedCommandLines(std::wstring(kInstallDir) + L"\\Keeper.exe")
                    .empty();
    }
};

TEST(ProtectSettingsTest, GuidTextAndProfilesRoot) {
    EXPECT_EQ(FormatGuidText(KnownGuid()), kKnownGuidText);
    platform::Guid high;
    high.data1 = 0xFFFFFFFF;
    high.data2 = 0xABCD;
    high.data3 = 0x0001;
    std::memset(high.data4, 0xF0, 8);
    EXPECT_EQ(FormatGuidText(high), L"{ffffffff-abcd-0001-f0f0-f0f0f0f0f0f0}");

    struct Case {
        const wchar_t* appData;
        const wchar_t* root;  // null: no root (error 87)
    };
    const Case cases[] = {
        {L"C:\\Users\\User1\\AppData\\Roaming", L"C:\\Users"},
        {L"C:\\Documents and Settings\\User1\\Application Data", L"C:\\Documents and Settings"},
        // After two cuts "C:\a" has a single backslash: no third cut.
        {L"C:\\a\\b\\c", L"C:\\a"},
        {L"C:\\p\\q\\r\\s\\t", L"C:\\p\\q"},
        {L"D:\\Data", nullptr},  // "D:" after the first cut; the second finds none
        {L"C:\\x\\y", nullptr},  // "C:" after two cuts: no backslash to find
        {L"Data", nullptr},
        {L"", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(base::ToUtf8(c.appData));
        std::wstring root = L"<untouched>";
        EXPECT_EQ(ProfilesRootOf(c.appData, &root), c.root != nullptr);
        if (c.root != nullptr)
            EXPECT_EQ(root, c.root);
    }
}

TEST(ProtectSettingsTest, PasswordHashOverUtf16) {
    // md5(UTF-16LE(GUID text + password or "@NOPASSWD")), from python3's hashlib.
    EXPECT_EQ(PasswordHashText(kKnownGuidText, L""), L"df5f9de1e35727ee8b61266f3806fe7a");
    EXPECT_EQ(PasswordHashText(kKnownGuidText, L"secret"), L"ca0ea0cd954b0e128deacddc27efdb2b");
    EXPECT_EQ(PasswordHashText(kKnownGuidText, L"p\u00e4ssw\u00f6rd\u5bc6\u7801"),
              L"872b5820323dba079a082676de240198");
}

TEST(ProtectSettingsTest, AFullRunWritesTheExampleValues) {
    Installed in;
    in.m.system().NextGuids({KnownGuid()});
    in.settings.Password = L"secret";
    in.m.files().AddFile(kPrefs, std::string("[common]\r\nveil=D\r\n"));
    in.m.files().SetAttributes(kPrefs, win::kFileAttributeReadonly | win::kFileAttributeHidden);
    in.m.SetLastError(0xDEADBEEF);

    WriteProtectionSettings(in.m.platform(), in.settings);

    EXPECT_EQ(in.Value(L"GUID"), kKnownGuidText);
    EXPECT_EQ(in.Value(L"Sync"), kExampleSync);
    auto guid = in.m.registry().GetRaw(Hive::LocalMachine, kDriverServiceKey, L"GUID");
    ASSERT_TRUE(guid);
    EXPECT_EQ(guid->type, win::kRegSz);
    EXPECT_EQ(guid->bytes.size(), (38u + 1) * 2) << "characters and terminator";
    EXPECT_EQ(in.m.registry().GetDword(Hive::LocalMachine, kDriverServiceKey, L"Control"),
              0x10000041u);
    // The read-only, hidden settings file is made normal and written; other keys stay.
    EXPECT_EQ(in.Hash(), L"ca0ea0cd954b0e128deacddc27efdb2b");
    EXPECT_EQ(in.m.files().Attributes(kPrefs) & win::kFileAttributeReadonly, 0u);
    std::wstring veil;
    in.m.files().GetPrivateProfileString(L"common", L"veil", L"", &veil, 16, kPrefs);
    EXPECT_EQ(veil, L"D");
    // The password itself is written nowhere.
    EXPECT_EQ(in.m.files().ReadText(kPrefs)->find("secret"), std::string::npos);
    for (const auto& write : in.m.registry().Writes()) {
        auto raw = in.m.registry().GetRaw(write.hive, write.key, write.value);
        if (raw)
            EXPECT_EQ(base::FromUtf16LE(raw->bytes.data(), raw->bytes.size()).find(L"secret"),
                      std::wstring::npos);
    }
    EXPECT_TRUE(in.m.files().Exists(kRecord));
    EXPECT_EQ(in.m.processes().SelfRegistrations().size(), 1u);
    EXPECT_EQ(in.m.processes().RecordedCommandLines(std::wstring(kInstallDir) + L"\\Keeper.exe"),
              std::vector<std::wstring>{L"\"C:\\Program Files\\Corvane\\Keeper.exe\" /install"});
}

TEST(ProtectSettingsTest, EmptyPasswordAndTheProductFolderFromThePathValue) {
    Installed in;
    in.m.system().NextGuids({KnownGuid()});
    // The product key names another folder (a trailing backslash is not doubled).
    in.m.registry().SetString(Hive::LocalMachine, L"SOFTWARE\\Corvane", L"Path", L"D:\\Corvane\\");
    in.m.volumes().AddFixedVolume(L'D', 10LL << 30, 5ULL << 30);
    in.m.files().MakeFolders(L"D:\\Corvane");
    WriteProtectionSettings(in.m.platform(), in.settings);
    std::wstring hash;
    in.m.files().GetPrivateProfileString(L"common", L"hash", L"", &hash, 64,
                                         L"D:\\Corvane\\prefs.dat");
    EXPECT_EQ(hash, L"df5f9de1e35727ee8b61266f3806fe7a");
    EXPECT_FALSE(in.m.files().Exists(kPrefs));

    // A Path value that is no text, or empty, leaves the installation folder.
    for (bool dword : {true, false}) {
        sim::Machine m;
        if (dword)
            m.registry().SetDword(Hive::LocalMachine, L"SOFTWARE\\Corvane", L"Path", 7);
        else
            m.registry().SetString(Hive::LocalMachine, L"SOFTWARE\\Corvane", L"Path", L"");
        EXPECT_EQ(ProductFolder(m.platform(), kInstallDir), kInstallDir);
    }
}

TEST(ProtectSettingsTest, ControlByMajorVersion) {
    struct Case {
        uint32_t major, minor;
        uint32_t control;
    };
    const Case cases[] = {{5, 1, 0x10000041}, {5, 2, 0x10000041}, {6, 0, 0x10000041},
                          {6, 1, 0x10000041}, {6, 2, 0x10000041}, {6, 3, 0x10000041},
                          {10, 0, 0x10000001}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.major << "." << c.minor);
        Installed in;
        in.m.system().SetVersion(c.major, c.minor, 1000, 0);
        in.m.registry().SetDword(Hive::LocalMachine, kDriverServiceKey, L"Control", 0x10000041);
        WriteProtectionSettings(in.m.platform(), in.settings);
        EXPECT_EQ(in.m.registry().GetDword(Hive::LocalMachine, kDriverServiceKey, L"Control"),
                  c.control);
        auto raw = in.m.registry().GetRaw(Hive::LocalMachine, kDriverServiceKey, L"Control");
        ASSERT_TRUE(raw);
        EXPECT_EQ(raw->type, win::kRegDword);
    }
}

TEST(ProtectSettingsTest, AFlatApplicationDataFolderStopsWithError87) {
    Installed in;
    in.m.volumes().AddFixedVolume(L'D', 10LL << 30, 5ULL << 30);
    in.m.shell().SetSpecialFolder(win::kCsidlAppData, L"D:\\Data");
    in.m.registry().SetDword(Hive::LocalMachine, kDriverServiceKey, L"Control", 0x12345678);
    in.m.SetLastError(0);
    WriteProtectionSettings(in.m.platform(), in.settings);
    EXPECT_EQ(in.m.LastError(), win::kErrorInvalidParameter);
    // The identity is written; nothing after the cut is.
    EXPECT_EQ(in.Value(L"GUID").size(), 38u);
    EXPECT_EQ(in.Value(L"Sync"), L"C:\\Windows\\bootstat.dat");
    EXPECT_EQ(in.m.registry().GetDword(Hive::LocalMachine, kDriverServiceKey, L"Control"),
              0x12345678u);
    EXPECT_EQ(in.Hash(), L"<none>");
    EXPECT_FALSE(in.m.files().Exists(kRecord));
    EXPECT_FALSE(in.CompanionsRegistered());
    EXPECT_TRUE(in.m.processes().LibraryEvents().empty());
}

TEST(ProtectSettingsTest, TwoInstallationsGiveNewIdentitiesAndTheSameSync) {
    Installed in;
    WriteProtectionSettings(in.m.platform(), in.settings);
    const std::wstring firstGuid = in.Value(L"GUID");
    const std::wstring firstHash = in.Hash();
    WriteProtectionSettings(in.m.platform(), in.settings);
    EXPECT_NE(in.Value(L"GUID"), firstGuid);
    EXPECT_NE(in.Hash(), firstHash);
    EXPECT_EQ(in.Value(L"Sync"), kExampleSync);
    // Each hash belongs to the GUID in the registry at that time.
    EXPECT_EQ(in.Hash(), PasswordHashText(in.Value(L"GUID"), L""));
    for (const std::wstring& guid : {firstGuid, in.Value(L"GUID")}) {
        EXPECT_EQ(guid.size(), 38u);
        EXPECT_EQ(guid, base::ToLower(guid));
    }
}

TEST(ProtectSettingsTest, FailureTable) {
    const std::wstring oldSync = L"C:\\Windows\\bootstat.dat";
    {
        SCOPED_TRACE("GUID cannot be written: the old Sync is read and extended");
        Installed in;
        in.m.registry().SetString(Hive::LocalMachine, kDriverServiceKey, L"GUID", kKnownGuidText);
        in.m.registry().SetString(Hive::LocalMachine, kDriverServiceKey, L"Sync", oldSync);
        in.m.registry().FailValue(Hive::LocalMachine, kDriverServiceKey, L"GUID", false,
                                  win::kErrorAccessDenied);
        in.m.SetLastError(0);
        EXPECT_FALSE(CvCreateInstallIdentity(in.m.platform()));
        EXPECT_EQ(in.m.LastError(), win::kErrorAccessDenied);
        EXPECT_EQ(in.m.registry().WriteCount(Hive::LocalMachine, kDriverServiceKey, L"Sync"), 0);
        WriteProtectionSettings(in.m.platform(), in.settings);
        EXPECT_EQ(in.Value(L"Sync"), kExampleSync);
        // The hash belongs to the identity that is there.
        EXPECT_EQ(in.Hash(), L"df5f9de1e35727ee8b61266f3806fe7a");
    }
    {
        SCOPED_TRACE("no GUID can be made: nothing of an all-zero identity is written");
        Installed in;
        in.m.system().FailCreateGuid(win::kEFail);
        EXPECT_FALSE(CvCreateInstallIdentity(in.m.platform()));
        EXPECT_FALSE(in.m.registry().ValueExists(Hive::LocalMachine, kDriverServiceKey, L"GUID"));
    }
    {
        SCOPED_TRACE("Sync cannot be read: nothing after it");
        Installed in;
        in.m.registry().FailValue(Hive::LocalMachine, kDriverServiceKey, L"Sync", true,
                                  win::kErrorMoreData);
        in.m.SetLastError(0);
        WriteProtectionSettings(in.m.platform(), in.settings);
        EXPECT_EQ(in.m.LastError(), win::kErrorMoreData);
        EXPECT_EQ(in.Value(L"Sync"), L"C:\\Windows\\bootstat.dat");
        EXPECT_FALSE(
            in.m.registry().ValueExists(Hive::LocalMachine, kDriverServiceKey, L"Control"));
        EXPECT_EQ(in.Hash(), L"<none>");
        EXPECT_FALSE(in.CompanionsRegistered());
    }
    {
        SCOPED_TRACE("a Sync of another type counts as unreadable");
        Installed in;
        in.m.registry().FailValue(Hive::LocalMachine, kDriverServiceKey, L"GUID", false,
                                  win::kErrorAccessDenied);
        in.m.registry().SetDword(Hive::LocalMachine, kDriverServiceKey, L"Sync", 5);
        in.m.SetLastError(0);
        WriteProtectionSettings(in.m.platform(), in.settings);
        EXPECT_EQ(in.m.LastError(), win::kErrorInvalidData);
        EXPECT_EQ(in.m.registry().GetDword(Hive::LocalMachine, kDriverServiceKey, L"Sync"), 5u);
    }
    {
        SCOPED_TRACE("no application-data folder: stop without an error code");
        Installed in;
        in.m.shell().FailFolder(win::kCsidlAppData);
        in.m.SetLastError(0xDEADBEEF);
        WriteProtectionSettings(in.m.platform(), in.settings);
        EXPECT_EQ(in.m.LastError(), 0xDEADBEEFu);
        EXPECT_EQ(in.Value(L"Sync"), L"C:\\Windows\\bootstat.dat");
        EXPECT_FALSE(in.CompanionsRegistered());
    }
    {
        SCOPED_TRACE("GUID cannot be read back: no hash, the rest goes on");
        Installed in;
        in.m.files().AddFile(kPrefs, std::string("[common]\r\nhash=old\r\n"));
        in.m.registry().FailValue(Hive::LocalMachine, kDriverServiceKey, L"GUID", true,
                                  win::kErrorAccessDenied);
        WriteProtectionSettings(in.m.platform(), in.settings);
        EXPECT_EQ(in.Hash(), L"old");
        EXPECT_EQ(in.m.registry().GetDword(Hive::LocalMachine, kDriverServiceKey, L"Control"),
                  0x10000041u);
        EXPECT_TRUE(in.m.files().Exists(kRecord));
        EXPECT_TRUE(in.CompanionsRegistered());
    }
    {
        SCOPED_TRACE("Sync rewrite, Control and hash writes fail: the next steps run");
        Installed in;
        in.m.registry().FailValue(Hive::LocalMachine, kDriverServiceKey, L"Control", false,
                                  win::kErrorAccessDenied);
        in.m.files().FailPath(kPrefs, sim::FileOp::WritePrivateProfileString,
                              win::kErrorAccessDenied);
        WriteProtectionSettings(in.m.platform(), in.settings);
        EXPECT_TRUE(in.m.files().Exists(kRecord));
        EXPECT_TRUE(in.CompanionsRegistered());
    }
}

TEST(ProtectSettingsTest, FingerprintRecord) {
    Installed in;
    ASSERT_TRUE(WriteFingerprintRecord(in.m.platform(), kInstallDir));
    auto record = in.m.files().ReadBytes(kRecord);
    ASSERT_TRUE(record);
    // Three programs (no Console.exe): 32 + 3 x 560 + 32 bytes. The whole record, digests
    // and trailer included, was built independently with python3 (struct, hashlib).
    ASSERT_EQ(record->size(), 1744u);
    auto u32 = [&record](size_t at) {
        return static_cast<uint32_t>((*record)[at]) | ((*record)[at + 1] << 8) |
               ((*record)[at + 2] << 16) | (static_cast<uint32_t>((*record)[at + 3]) << 24);
    };
    auto hex = [&record](size_t at, size_t n) {
        std::string out;
        char two[3];
        for (size_t i = 0; i < n; ++i) {
            std::snprintf(two, sizeof two, "%02x", (*record)[at + i]);
            out += two;
        }
        return out;
    };
    EXPECT_EQ(std::string(record->begin(), record->begin() + 4), "CVFP");
    EXPECT_EQ(u32(4), 1u);     // version
    EXPECT_EQ(u32(8), 32u);    // header size
    EXPECT_EQ(u32(12), 560u);  // entry size
    EXPECT_EQ(u32(16), 3u);    // entries
    EXPECT_EQ(u32(20), 1u);    // SHA-256
    EXPECT_EQ(hex(32, 32), "b782064409ec5f066b539e4306a026e6460e09303014ee237008966a81db7c84");
    EXPECT_EQ(u32(64), 14u);  // "warden program"
    EXPECT_EQ(base::FromUtf16LEUntilNull(record->data() + 72, 520),
              L"C:\\Program Files\\Corvane\\CorvaneWarden.exe");
    EXPECT_EQ(hex(32 + 560, 32),
              "164379030e77c89bee00c91355523973b8329f50467f9f63e05f10fd66b1795e");
    EXPECT_EQ(hex(32 + 1120, 32),
              "cfc05b8a459e60882f0eef1d54fa41fa4a2bd1e9a65c23c8716fc70d001f3084");
    EXPECT_EQ(hex(1712, 32), "9f88d727f406ff8f8c11db9cf17d6e124e2ff918069a7a8131f3753c48979d5e");

    // With Console.exe the record has four entries; a read-only old record is replaced.
    in.m.files().AddFile(std::wstring(kInstallDir) + L"\\Console.exe",
                         std::string("console program"));
    in.m.files().SetAttributes(kRecord, win::kFileAttributeReadonly);
    ASSERT_TRUE(WriteFingerprintRecord(in.m.platform(), kInstallDir));
    record = in.m.files().ReadBytes(kRecord);
    ASSERT_EQ(record->size(), 2304u);
    EXPECT_EQ(hex(2272, 32), "6c5ccee5626fdda7bd7ba432cc9b50fa922b6235ba0fb455a1970757a7c53c97");

    // A program that cannot be read is left out; a path too long for the field too.
    in.m.files().SetLocked(std::wstring(kInstallDir) + L"\\Persist.exe");
    ASSERT_TRUE(WriteFingerprintRecord(in.m.platform(), kInstallDir));
    record = in.m.files().ReadBytes(kRecord);
    EXPECT_EQ(u32(16), 3u);
    FingerprintEntry longPath;
    longPath.path = L"C:\\" + std::wstring(300, L'x');
    EXPECT_EQ(BuildFingerprintRecord({longPath}).size(), 64u);
}

TEST(ProtectSettingsTest, SilentInstallRunsStep15) {
    sim::Machine m;
    m.files().AddFile(L"C:\\Setup\\cvflt.sys", std::string("driver"));
    m.files().MakeFolders(L"C:\\Windows\\system32\\drivers");
    InstallerSettings settings;
    SetupProcess process;
    RunInstall(m.platform(), settings, process, nullptr, 1);
    const std::wstring guid =
        m.registry().GetString(Hive::LocalMachine, kDriverServiceKey, L"GUID").value_or(L"");
    EXPECT_EQ(guid.size(), 38u);
    EXPECT_EQ(m.registry().GetString(Hive::LocalMachine, kDriverServiceKey, L"Sync"),
              std::wstring(kExampleSync));
    std::wstring hash;
    m.files().GetPrivateProfileString(L"common", L"hash", L"", &hash, 64, kPrefs);
    EXPECT_EQ(hash, PasswordHashText(guid, L""));
}

}  // namespace
