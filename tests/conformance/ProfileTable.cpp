// Profile (INI) files: GetPrivateProfileStringW, GetPrivateProfileIntW and
// WritePrivateProfileStringW.
#include "Conformance.h"
#include "base/Text.h"

namespace conf {
namespace {

const char kIni[] =
    "[Main]\r\n"
    "Key=value\r\n"
    "  Spaced  =   padded value   \r\n"
    "Quoted=\"x y\"\r\n"
    "Single='x y'\r\n"
    "Mismatch=\"x y\r\n"
    "Inner=a \"b\" c\r\n"
    "Empty=\r\n"
    "[other]\r\n"
    "Key=other value\r\n"
    "[Numbers]\r\n"
    "Plain=42\r\n"
    "Blanks=  17  \r\n"
    "Negative=-17\r\n"
    "Plus=+5\r\n"
    "Trailing=12abc\r\n"
    "Letters=abc\r\n"
    "Empty=\r\n";

class ProfileTable : public ConformanceTest {
protected:
    std::string Get(const std::wstring& section, const std::wstring& key, const std::wstring& def,
                    uint32_t chars, const std::wstring& file) {
        std::wstring value = L"<untouched>";
        const uint32_t n =
            P().files.GetPrivateProfileString(section, key, def, &value, chars, file);
        return Out().Add("rc", n).Add("value", value).str();
    }
};

TEST_F(ProfileTable, GetString) {
    const std::wstring file = InFolder(L"test.ini");
    ASSERT_TRUE(WriteText(file, kIni));
    struct Row {
        const wchar_t* section;
        const wchar_t* key;
        const wchar_t* def;
        uint32_t chars;
        const char* expected;
        WineNote wine = {};
    };
    const Row rows[] = {
        {L"Main", L"Key", L"def", 64, "rc=5 value=\"value\""},
        {L"MAIN", L"kEY", L"def", 64, "rc=5 value=\"value\""},
        {L"main", L"spaced", L"def", 64, "rc=12 value=\"padded value\""},
        {L"Main", L"Quoted", L"def", 64, "rc=3 value=\"x y\""},
        {L"Main", L"Single", L"def", 64, "rc=3 value=\"x y\""},
        {L"Main", L"Mismatch", L"def", 64, "rc=4 value=\"\\\"x y\""},
        {L"Main", L"Inner", L"def", 64, "rc=7 value=\"a \\\"b\\\" c\""},
        {L"Main", L"Empty", L"def", 64, "rc=0 value=\"\""},
        {L"Main", L"Missing", L"def", 64, "rc=3 value=\"def\""},
        {L"Absent", L"Key", L"def", 64, "rc=3 value=\"def\""},
        {L"Other", L"KEY", L"def", 64, "rc=11 value=\"other value\""},
        {L"Main", L"Missing", L"def  ", 64, "rc=3 value=\"def\""},
        {L"Main", L"Missing", L"", 64, "rc=0 value=\"\""},
        {L"Main", L"Key", L"def", 3, "rc=2 value=\"va\""},
        {L"Main", L"Key", L"def", 5, "rc=4 value=\"valu\""},
        {L"Main", L"Key", L"def", 6, "rc=5 value=\"value\""},
        {L"Main", L"Missing", L"default", 4, "rc=3 value=\"def\""},
    };
    for (const Row& row : rows) {
        Check(
            base::ToUtf8(base::Format(L"GetPrivateProfileString [%ls] %ls default \"%ls\" %u chars",
                                      row.section, row.key, row.def, row.chars)),
            Get(row.section, row.key, row.def, row.chars, file), row.expected, row.wine);
    }
    Check("GetPrivateProfileString of a missing file",
          Get(L"Main", L"Key", L"def", 64, InFolder(L"none.ini")), "rc=3 value=\"def\"");
}

TEST_F(ProfileTable, GetInt) {
    const std::wstring file = InFolder(L"numbers.ini");
    ASSERT_TRUE(WriteText(file, kIni));
    struct Row {
        const wchar_t* key;
        const char* expected;
        WineNote wine = {};
    };
    const Row rows[] = {
        {L"Plain", "42"},
        {L"Blanks", "17"},
        {L"Negative", "0", {"Wine returns the negative number as an unsigned value", "4294967279"}},
        {L"Plus", "5"},
        {L"Trailing", "12"},
        {L"Letters", "0"},
        {L"Empty", "9"},
        {L"Missing", "9"},
    };
    for (const Row& row : rows) {
        const uint32_t n = P().files.GetPrivateProfileInt(L"Numbers", row.key, 9, file);
        Check("GetPrivateProfileInt " + Utf8(row.key), std::to_string(n), row.expected, row.wine);
    }
    Check("GetPrivateProfileInt of a missing file",
          std::to_string(
              P().files.GetPrivateProfileInt(L"Numbers", L"Plain", 9, InFolder(L"none.ini"))),
          "9");
}

// A UTF-16LE file with a byte-order mark is read as Unicode.
TEST_F(ProfileTable, Utf16File) {
    const std::wstring file = InFolder(L"wide.ini");
    const std::vector<uint8_t> text = base::ToUtf16LE(L"[Wide]\r\nName=\u00e9t\u00e9\r\n");
    ASSERT_TRUE(
        WriteBytes(file, std::string("\xFF\xFE", 2) + std::string(text.begin(), text.end())));
    Check("GetPrivateProfileString of a UTF-16LE file with BOM",
          Get(L"Wide", L"Name", L"def", 64, file), "rc=3 value=\"\\u00E9t\\u00E9\"");
}

// A bare file name is looked up in the Windows folder.
TEST_F(ProfileTable, BareNameIsInWindowsFolder) {
    std::wstring windows;
    ASSERT_TRUE(P().system.GetWindowsDirectory(&windows));
    const std::wstring name = base::Format(L"cvconf%u.ini", E().ProcessId());
    const std::wstring full = windows + L"\\" + name;
    ASSERT_TRUE(WriteText(full, "[S]\r\nK=in windows\r\n"));
    const std::string got = Get(L"S", L"K", L"def", 64, name);
    const bool written = P().files.WritePrivateProfileString(L"S", L"New", L"1", name);
    std::wstring back;
    P().files.GetPrivateProfileString(L"S", L"New", L"", &back, 64, full);
    ForceDelete(full);
    Check("GetPrivateProfileString with a bare file name", got, "rc=10 value=\"in windows\"");
    Check("WritePrivateProfileString with a bare file name",
          Out().Add("ok", written).Add("back", back).str(), "ok=1 back=\"1\"");
}

TEST_F(ProfileTable, WriteThenRead) {
    platform::Files& f = P().files;
    const std::wstring file = InFolder(L"written.ini");
    struct Row {
        const char* name;
        const wchar_t* section;
        const wchar_t* key;
        const wchar_t* value;
    };
    const Row writes[] = {
        {"creates the file", L"First", L"A", L"1"},
        {"adds a key", L"First", L"B", L"two words"},
        {"adds a section", L"Second", L"A", L"2"},
        {"replaces a key (other case)", L"first", L"a", L"3"},
    };
    for (const Row& row : writes) {
        const bool ok = f.WritePrivateProfileString(row.section, row.key, row.value, file);
        Check(std::string("WritePrivateProfileString ") + row.name, Out().Add("ok", ok).str(),
              "ok=1");
    }
    struct Read {
        const wchar_t* section;
        const wchar_t* key;
        const char* expected;
    };
    const Read reads[] = {
        {L"First", L"A", "rc=1 value=\"3\""},
        {L"First", L"B", "rc=9 value=\"two words\""},
        {L"Second", L"A", "rc=1 value=\"2\""},
    };
    for (const Read& row : reads) {
        Check("read back [" + Utf8(row.section) + "] " + Utf8(row.key),
              Get(row.section, row.key, L"def", 64, file), row.expected);
    }
    ArmLastError();
    const bool ok = f.WritePrivateProfileString(L"S", L"K", L"v", InFolder(L"missing\\x.ini"));
    Check("WritePrivateProfileString into a missing folder",
          Out().Add("ok", ok).Add("err", ok ? 0u : LastError()).str(), "ok=0 err=3");
}

}  // namespace
}  // namespace conf
