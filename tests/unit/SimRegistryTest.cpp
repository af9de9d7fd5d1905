#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "base/Text.h"
#include "sim/Machine.h"

namespace {

using platform::Hive;
using platform::KeyHandle;

const wchar_t kKey[] = L"SOFTWARE\\Corvane\\Test";

std::vector<uint8_t> Utf16z(const std::wstring& s) {
    std::vector<uint8_t> bytes = base::ToUtf16LE(s);
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

TEST(SimRegistryTest, BufferRulesOfGetValueAndQueryValue) {
    struct Row {
        const char* what;
        uint32_t type;
        std::vector<uint8_t> stored;
        bool withBuffer;
        uint32_t bufferSize;
        uint32_t status;
        uint32_t sizeAfter;
    };
    const std::vector<uint8_t> text = Utf16z(L"abc");                  // 8 bytes
    const std::vector<uint8_t> unterminated = base::ToUtf16LE(L"ab");  // 4 bytes, no null
    const std::vector<Row> rows = {
        {"size only", win::kRegSz, text, false, 0, win::kErrorSuccess, 8},
        {"exact buffer", win::kRegSz, text, true, 8, win::kErrorSuccess, 8},
        {"large buffer", win::kRegSz, text, true, 100, win::kErrorSuccess, 8},
        {"short buffer", win::kRegSz, text, true, 7, win::kErrorMoreData, 8},
        {"no terminator", win::kRegSz, unterminated, true, 100, win::kErrorSuccess, 4},
        {"binary", win::kRegBinary, {1, 2, 3}, true, 2, win::kErrorMoreData, 3},
        {"empty", win::kRegBinary, {}, true, 0, win::kErrorSuccess, 0},
    };
    for (const auto& r : rows) {
        for (bool viaHandle : {false, true}) {
            sim::Machine m;
            m.registry().SetRaw(Hive::LocalMachine, kKey, L"V", r.type, r.stored);
            std::vector<uint8_t> buffer(r.bufferSize + 1, 0xCC);
            uint32_t size = r.bufferSize, type = 0;
            uint32_t status;
            if (viaHandle) {
                KeyHandle key;
                ASSERT_EQ(m.registry().OpenKey(Hive::LocalMachine, kKey, win::kKeyRead, &key), 0u);
                status = m.registry().QueryValue(key, L"v", &type,
                                                 r.withBuffer ? buffer.data() : nullptr, &size);
                m.registry().CloseKey(key);
            } else {
                status = m.registry().GetValue(Hive::LocalMachine, kKey, L"v", &type,
                                               r.withBuffer ? buffer.data() : nullptr, &size);
            }
            EXPECT_EQ(status, r.status) << r.what << " handle=" << viaHandle;
            EXPECT_EQ(size, r.sizeAfter) << r.what << " handle=" << viaHandle;
            EXPECT_EQ(type, r.type) << r.what << " handle=" << viaHandle;
            if (status == win::kErrorSuccess && r.withBuffer) {
                EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + r.stored.size()),
                          r.stored)
                    << r.what;
            }
            if (status == win::kErrorMoreData) {
                EXPECT_EQ(buffer[0], 0xCC) << r.what << ": nothing copied on kErrorMoreData";
            }
        }
    }
}

TEST(SimRegistryTest, MissingKeysValuesAndBadPaths) {
    sim::Machine m;
    m.registry().SetString(Hive::CurrentUser, L"Software\\A", L"Name", L"x");
    struct Row {
        Hive hive;
        const wchar_t* key;
        const wchar_t* value;
        uint32_t status;
    } rows[] = {
        {Hive::CurrentUser, L"Software\\A", L"NAME", win::kErrorSuccess},
        {Hive::CurrentUser, L"SOFTWARE\\a\\", L"name", win::kErrorSuccess},
        {Hive::CurrentUser, L"Software\\A", L"Other", win::kErrorFileNotFound},
        {Hive::CurrentUser, L"Software\\B", L"Name", win::kErrorFileNotFound},
        {Hive::LocalMachine, L"Software\\A", L"Name", win::kErrorFileNotFound},
        {Hive::CurrentUser, L"\\Software\\A", L"Name", win::kErrorBadPathname},
    };
    for (const auto& r : rows) {
        uint32_t size = 0;
        EXPECT_EQ(m.registry().GetValue(r.hive, r.key, r.value, nullptr, nullptr, &size), r.status)
            << base::ToUtf8(r.key) << " / " << base::ToUtf8(r.value);
    }
    KeyHandle key;
    EXPECT_EQ(m.registry().OpenKey(Hive::CurrentUser, L"Software\\Missing", win::kKeyRead, &key),
              win::kErrorFileNotFound);
}

TEST(SimRegistryTest, ShellGetValueExpandsAndReportsString) {
    sim::Machine m;
    m.registry().SetExpandString(Hive::LocalMachine, kKey, L"Path", L"%SystemRoot%\\x;%NoSuch%");
    const std::wstring expanded = L"C:\\Windows\\x;%NoSuch%";
    uint32_t type = 0, size = 0;
    ASSERT_EQ(m.registry().GetValue(Hive::LocalMachine, kKey, L"Path", &type, nullptr, &size), 0u);
    EXPECT_EQ(type, win::kRegSz);
    const uint32_t stored = static_cast<uint32_t>(Utf16z(L"%SystemRoot%\\x;%NoSuch%").size());
    EXPECT_EQ(size, std::max<uint32_t>(stored, (expanded.size() + 1) * 2));

    std::vector<uint8_t> buffer(size);
    ASSERT_EQ(m.registry().GetValue(Hive::LocalMachine, kKey, L"Path", &type, buffer.data(), &size),
              0u);
    EXPECT_EQ(base::FromUtf16LEUntilNull(buffer.data(), buffer.size()), expanded);

    // The key functions give the stored text and type.
    KeyHandle key;
    ASSERT_EQ(m.registry().OpenKey(Hive::LocalMachine, kKey, win::kKeyRead, &key), 0u);
    size = static_cast<uint32_t>(buffer.size());
    ASSERT_EQ(m.registry().QueryValue(key, L"Path", &type, buffer.data(), &size), 0u);
    EXPECT_EQ(type, win::kRegExpandSz);
    EXPECT_EQ(size, stored);
    EXPECT_EQ(m.registry().CloseKey(key), 0u);
}

TEST(SimRegistryTest, HandlesAccessAndLastErrorUntouched) {
    sim::Machine m;
    m.registry().SetDword(Hive::LocalMachine, kKey, L"D", 7);
    m.SetLastError(1234);
    KeyHandle readOnly, writable;
    ASSERT_EQ(m.registry().OpenKey(Hive::LocalMachine, kKey, win::kKeyRead, &readOnly), 0u);
    ASSERT_EQ(m.registry().OpenKey(Hive::LocalMachine, kKey, win::kKeyAllAccess, &writable), 0u);
    EXPECT_NE(readOnly, writable);
    uint32_t one = 1;
    EXPECT_EQ(m.registry().SetKeyValue(readOnly, L"D", win::kRegDword, &one, 4),
              win::kErrorAccessDenied);
    EXPECT_EQ(m.registry().SetKeyValue(writable, L"D", win::kRegDword, &one, 4), 0u);
    EXPECT_EQ(m.registry().GetDword(Hive::LocalMachine, kKey, L"d"), 1u);
    EXPECT_EQ(m.registry().CloseKey(readOnly), 0u);
    EXPECT_EQ(m.registry().CloseKey(readOnly), win::kErrorInvalidHandle);
    EXPECT_EQ(m.registry().QueryValue(readOnly, L"D", nullptr, nullptr, nullptr),
              win::kErrorInvalidHandle);
    EXPECT_EQ(m.registry().CloseKey(KeyHandle(0x77777)), win::kErrorInvalidHandle);
    EXPECT_EQ(m.registry().CloseKey(writable), 0u);
    EXPECT_EQ(m.registry().OpenKeyCount(), 0u);
    EXPECT_EQ(m.LastError(), 1234u) << "registry functions leave the last-error value";
}

TEST(SimRegistryTest, SetValueCreatesKeysAndKeepsCreationCase) {
    sim::Machine m;
    const wchar_t text[] = L"v";
    ASSERT_EQ(m.registry().SetValue(Hive::LocalMachine, L"SOFTWARE\\New\\Deep", L"Zeta",
                                    win::kRegSz, text, 4),
              0u);
    ASSERT_EQ(m.registry().SetValue(Hive::LocalMachine, L"software\\NEW\\deep", L"Alpha",
                                    win::kRegSz, text, 4),
              0u);
    ASSERT_EQ(m.registry().SetValue(Hive::LocalMachine, L"software\\new\\deep", L"ZETA",
                                    win::kRegDword, text, 4),
              0u);
    EXPECT_EQ(m.registry().SubKeyNames(Hive::LocalMachine, L"software\\new"),
              std::vector<std::wstring>{L"Deep"});
    EXPECT_EQ(m.registry().ValueNames(Hive::LocalMachine, L"Software\\New\\Deep"),
              (std::vector<std::wstring>{L"Zeta", L"Alpha"}));
    EXPECT_EQ(m.registry().GetRaw(Hive::LocalMachine, L"Software\\New\\Deep", L"zeta")->type,
              win::kRegDword);
}

TEST(SimRegistryTest, DenialsInjectAccessDenied) {
    sim::Machine m;
    m.registry().SetString(Hive::LocalMachine, L"SOFTWARE\\Locked\\Sub", L"A", L"1");
    m.registry().DenyWrite(Hive::LocalMachine, L"software\\locked");
    m.registry().DenyOpen(Hive::LocalMachine, L"SOFTWARE\\Hidden");
    m.registry().CreateKey(Hive::LocalMachine, L"SOFTWARE\\Hidden");
    const uint32_t n = 1;
    EXPECT_EQ(m.registry().SetValue(Hive::LocalMachine, L"SOFTWARE\\Locked\\Sub", L"B",
                                    win::kRegDword, &n, 4),
              win::kErrorAccessDenied);
    EXPECT_EQ(m.registry().SetValue(Hive::LocalMachine, L"SOFTWARE\\Locked\\New", L"B",
                                    win::kRegDword, &n, 4),
              win::kErrorAccessDenied);
    EXPECT_FALSE(m.registry().KeyExists(Hive::LocalMachine, L"SOFTWARE\\Locked\\New"));
    EXPECT_EQ(m.registry().DeleteValue(Hive::LocalMachine, L"SOFTWARE\\Locked\\Sub", L"A"),
              win::kErrorAccessDenied);
    EXPECT_EQ(m.registry().DeleteKeyTree(Hive::LocalMachine, L"SOFTWARE\\Locked"),
              win::kErrorAccessDenied);
    KeyHandle key;
    EXPECT_EQ(
        m.registry().OpenKey(Hive::LocalMachine, L"SOFTWARE\\Locked\\Sub", win::kKeyRead, &key),
        0u);
    m.registry().CloseKey(key);
    EXPECT_EQ(m.registry().OpenKey(Hive::LocalMachine, L"SOFTWARE\\Hidden", win::kKeyRead, &key),
              win::kErrorAccessDenied);
    EXPECT_TRUE(m.registry().Writes().empty());
}

TEST(SimRegistryTest, WriteRecordsKeepOrderAndCount) {
    sim::Machine m;
    const uint32_t n = 5;
    m.registry().SetValue(Hive::LocalMachine, L"SYSTEM\\X", L"First", win::kRegDword, &n, 4);
    m.registry().SetValue(Hive::LocalMachine, L"SYSTEM\\X", L"Second", win::kRegBinary, &n, 4);
    m.registry().SetValue(Hive::LocalMachine, L"system\\x", L"FIRST", win::kRegDword, &n, 4);
    m.registry().SetString(Hive::LocalMachine, L"SYSTEM\\X", L"First", L"test set-up");
    EXPECT_EQ(m.registry().WriteCount(Hive::LocalMachine, L"System\\X", L"first"), 2);
    EXPECT_EQ(m.registry().WriteCount(Hive::LocalMachine, L"System\\X", L"Second"), 1);
    EXPECT_EQ(m.registry().WriteCount(Hive::CurrentUser, L"System\\X", L"First"), 0);
    const auto& writes = m.registry().Writes();
    ASSERT_EQ(writes.size(), 3u);
    EXPECT_EQ(writes[0].value, L"First");
    EXPECT_EQ(writes[1].value, L"Second");
    EXPECT_EQ(writes[1].type, win::kRegBinary);
    EXPECT_EQ(writes[2].key, L"system\\x");
}

TEST(SimRegistryTest, DeleteValueAndTree) {
    sim::Machine m;
    m.registry().SetString(Hive::LocalMachine, L"SOFTWARE\\T\\A\\B", L"V", L"x");
    m.registry().SetString(Hive::LocalMachine, L"SOFTWARE\\T", L"V", L"x");
    EXPECT_EQ(m.registry().DeleteValue(Hive::LocalMachine, L"SOFTWARE\\T", L"v"), 0u);
    EXPECT_EQ(m.registry().DeleteValue(Hive::LocalMachine, L"SOFTWARE\\T", L"v"),
              win::kErrorFileNotFound);
    EXPECT_EQ(m.registry().DeleteValue(Hive::LocalMachine, L"SOFTWARE\\None", L"v"),
              win::kErrorFileNotFound);
    // An open handle to a key that goes away reports the deletion.
    KeyHandle key;
    ASSERT_EQ(m.registry().OpenKey(Hive::LocalMachine, L"SOFTWARE\\T\\A\\B", win::kKeyRead, &key),
              0u);
    EXPECT_EQ(m.registry().DeleteKeyTree(Hive::LocalMachine, L"software\\t\\a"), 0u);
    EXPECT_FALSE(m.registry().KeyExists(Hive::LocalMachine, L"SOFTWARE\\T\\A"));
    EXPECT_TRUE(m.registry().KeyExists(Hive::LocalMachine, L"SOFTWARE\\T"));
    EXPECT_EQ(m.registry().QueryValue(key, L"V", nullptr, nullptr, nullptr), 1018u);
    m.registry().CloseKey(key);
    EXPECT_EQ(m.registry().DeleteKeyTree(Hive::LocalMachine, L"software\\t\\a"),
              win::kErrorFileNotFound);
}

TEST(SimRegistryTest, TestReadersDecodeMalformedData) {
    sim::Machine m;
    // A list without its final null, and a string without terminator.
    std::vector<uint8_t> list = Utf16z(L"one");
    std::vector<uint8_t> two = base::ToUtf16LE(L"two");
    list.insert(list.end(), two.begin(), two.end());
    m.registry().SetRaw(Hive::LocalMachine, kKey, L"M", win::kRegMultiSz, list);
    m.registry().SetRaw(Hive::LocalMachine, kKey, L"S", win::kRegSz, base::ToUtf16LE(L"abc"));
    m.registry().SetRaw(Hive::LocalMachine, kKey, L"D3", win::kRegDword, {1, 2, 3});
    EXPECT_EQ(*m.registry().GetMultiString(Hive::LocalMachine, kKey, L"M"),
              (std::vector<std::wstring>{L"one", L"two"}));
    EXPECT_EQ(*m.registry().GetString(Hive::LocalMachine, kKey, L"S"), L"abc");
    EXPECT_FALSE(m.registry().GetDword(Hive::LocalMachine, kKey, L"D3").has_value());
    EXPECT_FALSE(m.registry().GetRaw(Hive::LocalMachine, kKey, L"none").has_value());
}

TEST(SimRegistryTest, DefaultsAndDump) {
    sim::Machine m;
    auto& r = m.registry();
    const wchar_t cv[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
    EXPECT_EQ(r.GetString(Hive::LocalMachine, cv, L"RegisteredOwner"), L"User");
    EXPECT_EQ(r.GetString(Hive::LocalMachine, cv, L"RegisteredOrganization"), L"");
    EXPECT_EQ(r.GetString(Hive::LocalMachine, cv, L"CurrentVersion"), L"6.1");
    const wchar_t disk[] =
        L"SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E967-E325-11CE-BFC1-08002BE10318}";
    const wchar_t volume[] =
        L"SYSTEM\\CurrentControlSet\\Control\\Class\\{71A27CDD-812A-11D0-BEC7-08002BE2092F}";
    EXPECT_EQ(*r.GetMultiString(Hive::LocalMachine, disk, L"UpperFilters"),
              std::vector<std::wstring>{L"PartMgr"});
    EXPECT_EQ(*r.GetMultiString(Hive::LocalMachine, volume, L"UpperFilters"),
              std::vector<std::wstring>{L"volsnap"});
    EXPECT_FALSE(r.ValueExists(Hive::LocalMachine, volume, L"LowerFilters"));
    for (const wchar_t* key : {L"SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                               L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
                               L"SYSTEM\\CurrentControlSet\\Services"}) {
        EXPECT_TRUE(r.KeyExists(Hive::LocalMachine, key)) << base::ToUtf8(key);
    }
    EXPECT_TRUE(r.KeyExists(Hive::CurrentUser, L"Software"));

    r.SetDword(Hive::CurrentUser, L"Software\\D", L"", 0x1F);
    r.SetString(Hive::CurrentUser, L"Software\\D", L"Q\"uote", L"a\\b");
    std::wstring dump = r.Dump();
    EXPECT_EQ(dump.rfind(L"Windows Registry Editor Version 5.00\r\n", 0), 0u);
    for (const wchar_t* piece :
         {L"[HKEY_CURRENT_USER\\Software\\D]\r\n@=dword:0000001f\r\n\"Q\\\"uote\"=\"a\\\\b\"\r\n",
          L"\"RegisteredOwner\"=\"User\"\r\n",
          L"\"UpperFilters\"=hex(7):50,00,61,00,72,00,74,00,4d,00,67,00,72,00,00,00,00,00\r\n"}) {
        EXPECT_NE(dump.find(piece), std::wstring::npos) << base::ToUtf8(piece) << "\n"
                                                        << base::ToUtf8(dump);
    }
}

}  // namespace
