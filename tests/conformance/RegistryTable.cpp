// Registry: the shell's value functions (SHGetValueW / SHSetValueW) and the classic key
// functions (RegOpenKeyExW / RegQueryValueExW / RegSetValueExW) with every value type, the
// buffer rules and the status codes.
#include <cstring>

#include "Conformance.h"
#include "base/Text.h"

namespace conf {
namespace {

using platform::Hive;
using platform::KeyHandle;

std::string Bytes(const std::wstring& units) {
    const std::vector<uint8_t> bytes = base::ToUtf16LE(units);
    return std::string(bytes.begin(), bytes.end());
}

std::string Le32(uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i)
        s[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
}

std::string Le64(uint64_t v) {
    std::string s(8, '\0');
    for (int i = 0; i < 8; ++i)
        s[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
}

bool IsText(uint32_t type) {
    return type == win::kRegSz || type == win::kRegExpandSz || type == win::kRegMultiSz;
}

// The outcome of a query: status, type, size and the data (strings shown as their UTF-16
// units, nulls included, so that missing or extra terminators are visible).
std::string Describe(uint32_t rc, uint32_t type, uint32_t size, const uint8_t* data,
                     bool withData) {
    Out out;
    out.Add("rc", rc);
    if (rc != win::kErrorSuccess && rc != win::kErrorMoreData)
        return out.str();
    out.Add("type", type).Add("size", size);
    if (withData && rc == win::kErrorSuccess) {
        if (IsText(type)) {
            out.Add("data", base::FromUtf16LE(data, size));
        } else {
            out.Bytes("data", data, size);
        }
    }
    return out.str();
}

enum class Api { Shell, Key };

struct TypeRow {
    const char* name;
    uint32_t type;
    std::string bytes;     // the buffer handed to the write
    uint32_t declared;     // the size the write declares (may be less than the buffer)
    const char* expected;  // what a query with a large buffer gives back
    // What SHGetValueW gives when it differs (it reports REG_EXPAND_SZ data, expanded, as
    // REG_SZ).
    const char* shellExpected = nullptr;
};

// Writing a string type whose declared size leaves out a terminator that follows in the
// caller's buffer stores the terminator too (Windows NT's RegSetValueExW counts it); when
// the next character is not null, the data is stored as declared, without terminator.
std::vector<TypeRow> TypeRows() {
    return {
        {"REG_SZ with terminator", win::kRegSz, Bytes(std::wstring(L"abc\0", 4)), 8,
         "rc=0 type=1 size=8 data=\"abc\\u0000\""},
        {"REG_SZ without terminator", win::kRegSz, Bytes(L"abcX"), 6,
         "rc=0 type=1 size=6 data=\"abc\""},
        {"REG_SZ with the terminator left out of the size", win::kRegSz,
         Bytes(std::wstring(L"abc\0", 4)), 6, "rc=0 type=1 size=8 data=\"abc\\u0000\""},
        {"REG_SZ holding list data", win::kRegSz, Bytes(std::wstring(L"a\0b\0\0", 5)), 10,
         "rc=0 type=1 size=10 data=\"a\\u0000b\\u0000\\u0000\""},
        {"REG_EXPAND_SZ without variables to expand", win::kRegExpandSz,
         Bytes(std::wstring(L"%NoSuchVariable%\\x\0", 19)), 38,
         "rc=0 type=2 size=38 data=\"%NoSuchVariable%\\\\x\\u0000\"",
         "rc=0 type=1 size=38 data=\"%NoSuchVariable%\\\\x\\u0000\""},
        {"REG_MULTI_SZ", win::kRegMultiSz, Bytes(std::wstring(L"a\0bc\0\0", 6)), 12,
         "rc=0 type=7 size=12 data=\"a\\u0000bc\\u0000\\u0000\""},
        {"REG_MULTI_SZ without final null", win::kRegMultiSz, Bytes(std::wstring(L"a\0bX", 4)), 6,
         "rc=0 type=7 size=6 data=\"a\\u0000b\""},
        {"REG_DWORD", win::kRegDword, Le32(0x12345678), 4, "rc=0 type=4 size=4 data=78563412"},
        {"REG_BINARY", win::kRegBinary, std::string("\x01\x00\xFF", 3), 3,
         "rc=0 type=3 size=3 data=0100FF"},
        {"REG_BINARY empty", win::kRegBinary, std::string("\x01", 1), 0,
         "rc=0 type=3 size=0 data=-"},
        {"REG_QWORD", win::kRegQword, Le64(0x0102030405060708ull), 8,
         "rc=0 type=11 size=8 data=0807060504030201"},
    };
}

class RegistryTable : public ConformanceTest {
protected:
    uint32_t Write(Api api, const std::wstring& value, uint32_t type, const std::string& bytes) {
        return Write(api, value, type, bytes, static_cast<uint32_t>(bytes.size()));
    }
    uint32_t Write(Api api, const std::wstring& value, uint32_t type, const std::string& bytes,
                   uint32_t declared) {
        if (api == Api::Shell) {
            return P().registry.SetValue(Hive::CurrentUser, Key(), value, type, bytes.data(),
                                         declared);
        }
        KeyHandle key;
        uint32_t rc = P().registry.OpenKey(Hive::CurrentUser, Key(), win::kKeyAllAccess, &key);
        if (rc != win::kErrorSuccess)
            return rc;
        rc = P().registry.SetKeyValue(key, value, type, bytes.data(), declared);
        P().registry.CloseKey(key);
        return rc;
    }

    // Queries |value| of |subKey| with a buffer of |bufferSize| bytes (none: size only).
    std::string Read(Api api, const std::wstring& subKey, const std::wstring& value,
                     bool withBuffer, uint32_t bufferSize) {
        std::vector<uint8_t> buffer(bufferSize + 16, 0xCC);
        uint32_t type = 0xFFFF, size = bufferSize;
        uint32_t rc;
        if (api == Api::Shell) {
            rc = P().registry.GetValue(Hive::CurrentUser, subKey, value, &type,
                                       withBuffer ? buffer.data() : nullptr, &size);
        } else {
            KeyHandle key;
            rc = P().registry.OpenKey(Hive::CurrentUser, subKey, win::kKeyRead, &key);
            if (rc != win::kErrorSuccess)
                return Out().Add("open", rc).str();
            rc = P().registry.QueryValue(key, value, &type, withBuffer ? buffer.data() : nullptr,
                                         &size);
            P().registry.CloseKey(key);
        }
        return Describe(rc, type, size, buffer.data(), withBuffer);
    }
};

// Every type written and read back through both sets of functions: the bytes come back
// exactly as stored, terminators or not.
TEST_F(RegistryTable, EveryTypeRoundTrips) {
    for (Api api : {Api::Shell, Api::Key}) {
        const char* apiName =
            api == Api::Shell ? "SHSetValueW/SHGetValueW" : "RegSetValueExW/RegQueryValueExW";
        int n = 0;
        for (const TypeRow& row : TypeRows()) {
            const std::wstring value = base::Format(L"v%d", n++);
            const uint32_t rc = Write(api, value, row.type, row.bytes, row.declared);
            const std::string name = std::string(apiName) + ": " + row.name;
            if (rc != win::kErrorSuccess) {
                Check(name, Out().Add("write", rc).str(), "write=0");
                continue;
            }
            Check(name, Read(api, Key(), value, true, 64),
                  api == Api::Shell && row.shellExpected ? row.shellExpected : row.expected);
        }
    }
}

// Size-only queries, too small buffers and missing keys or values.
TEST_F(RegistryTable, SizesAndStatusCodes) {
    const std::string text = Bytes(std::wstring(L"abcdef\0", 7));  // 14 bytes
    const std::string dword = Le32(7);
    ASSERT_EQ(Write(Api::Shell, L"Text", win::kRegSz, text), win::kErrorSuccess);
    ASSERT_EQ(Write(Api::Shell, L"Number", win::kRegDword, dword), win::kErrorSuccess);

    struct Row {
        const char* name;
        Api api;
        const wchar_t* subKey;  // below the scratch key; null = the scratch key
        const wchar_t* value;
        bool withBuffer;
        uint32_t bufferSize;
        const char* expected;
    };
    const Row rows[] = {
        {"size only, REG_SZ", Api::Shell, nullptr, L"Text", false, 0, "rc=0 type=1 size=14"},
        {"size only, REG_SZ", Api::Key, nullptr, L"Text", false, 0, "rc=0 type=1 size=14"},
        {"size only, REG_DWORD", Api::Shell, nullptr, L"Number", false, 0, "rc=0 type=4 size=4"},
        {"size only, REG_DWORD", Api::Key, nullptr, L"Number", false, 0, "rc=0 type=4 size=4"},
        {"buffer too small", Api::Shell, nullptr, L"Text", true, 4, "rc=234 type=1 size=14"},
        {"buffer too small", Api::Key, nullptr, L"Text", true, 4, "rc=234 type=1 size=14"},
        {"buffer too small for a DWORD", Api::Key, nullptr, L"Number", true, 2,
         "rc=234 type=4 size=4"},
        {"buffer of exactly the size", Api::Key, nullptr, L"Text", true, 14,
         "rc=0 type=1 size=14 data=\"abcdef\\u0000\""},
        {"missing value", Api::Shell, nullptr, L"Nothing", true, 16, "rc=2"},
        {"missing value", Api::Key, nullptr, L"Nothing", true, 16, "rc=2"},
        {"missing key", Api::Shell, L"Missing", L"Text", true, 16, "rc=2"},
        {"missing key", Api::Key, L"Missing", L"Text", true, 16, "open=2"},
    };
    for (const Row& row : rows) {
        const std::wstring subKey = row.subKey ? SubKey(row.subKey) : Key();
        const std::string name =
            std::string(row.api == Api::Shell ? "SHGetValueW: " : "RegQueryValueExW: ") + row.name;
        Check(name, Read(row.api, subKey, row.value, row.withBuffer, row.bufferSize), row.expected);
    }
}

// String data stored without a terminator, read into buffers of different sizes. Windows
// documents that such data comes back unterminated; Windows NT writes a terminator after
// it when the buffer has room for one (the size reported leaves it out), and data that
// fills the buffer to its last byte stays unterminated with ERROR_SUCCESS. The program's
// 256-byte reads of the registered owner rely on this: 128 characters stored without a
// terminator arrive whole, with no terminator in the buffer.
TEST_F(RegistryTable, UnterminatedTextAndTheBufferSize) {
    const std::wstring m128(128, L'm');
    ASSERT_EQ(Write(Api::Key, L"Short", win::kRegSz, Bytes(L"abcX"), 6), win::kErrorSuccess);
    ASSERT_EQ(Write(Api::Key, L"Full", win::kRegSz, Bytes(m128 + L"X"), 256), win::kErrorSuccess);
    struct Row {
        const char* name;
        const wchar_t* value;
        uint32_t bufferSize;
        const char* expected;  // the two bytes after the data: CCCC when untouched
    };
    const Row rows[] = {
        {"6 bytes into 8: a terminator is written after the data", L"Short", 8,
         "rc=0 type=1 size=6 after=0000"},
        {"6 bytes into 7: no room for a terminator", L"Short", 7, "rc=0 type=1 size=6 after=CCCC"},
        {"6 bytes into 6: the buffer is full, no terminator", L"Short", 6,
         "rc=0 type=1 size=6 after=CCCC"},
        {"256 bytes into 256: 128 characters, no terminator", L"Full", 256,
         "rc=0 type=1 size=256 after=CCCC last=\"m\""},
        {"256 bytes into 258: the terminator follows", L"Full", 258,
         "rc=0 type=1 size=256 after=0000 last=\"m\""},
    };
    for (Api api : {Api::Shell, Api::Key}) {
        for (const Row& row : rows) {
            std::vector<uint8_t> buffer(row.bufferSize + 16, 0xCC);
            uint32_t type = 0xFFFF, size = row.bufferSize;
            uint32_t rc = 0;
            if (api == Api::Shell) {
                rc = P().registry.GetValue(Hive::CurrentUser, Key(), row.value, &type,
                                           buffer.data(), &size);
            } else {
                KeyHandle key;
                rc = P().registry.OpenKey(Hive::CurrentUser, Key(), win::kKeyRead, &key);
                if (rc == win::kErrorSuccess) {
                    rc = P().registry.QueryValue(key, row.value, &type, buffer.data(), &size);
                    P().registry.CloseKey(key);
                }
            }
            Out out;
            out.Add("rc", rc).Add("type", type).Add("size", size);
            if (rc == win::kErrorSuccess && size >= 2 && size + 2 <= buffer.size()) {
                out.Bytes("after", buffer.data() + size, 2);
                if (size == 256)
                    out.Add("last", base::FromUtf16LE(buffer.data() + size - 2, 2));
            }
            Check(
                std::string(api == Api::Shell ? "SHGetValueW: " : "RegQueryValueExW: ") + row.name,
                out.str(), row.expected);
        }
    }
}

// Opening keys, writing through a read-only handle and SHSetValueW's creation of keys.
TEST_F(RegistryTable, KeysAndAccess) {
    platform::Registry& reg = P().registry;
    const uint32_t one = 1;

    KeyHandle missing;
    const uint32_t rcMissing =
        reg.OpenKey(Hive::CurrentUser, SubKey(L"Absent\\Deeper"), win::kKeyRead, &missing);
    Check("RegOpenKeyExW of a missing key",
          Out().Add("rc", rcMissing).Add("handle", static_cast<bool>(missing)).str(),
          "rc=2 handle=0");

    KeyHandle readOnly;
    uint32_t rc = reg.OpenKey(Hive::CurrentUser, Key(), win::kKeyRead, &readOnly);
    uint32_t rcSet = 0xFFFF;
    if (rc == win::kErrorSuccess) {
        rcSet = reg.SetKeyValue(readOnly, L"Denied", win::kRegDword, &one, sizeof one);
        reg.CloseKey(readOnly);
    }
    uint32_t size = 0;
    const uint32_t rcAfter =
        reg.GetValue(Hive::CurrentUser, Key(), L"Denied", nullptr, nullptr, &size);
    Check("RegSetValueExW on a key opened with KEY_READ",
          Out().Add("open", rc).Add("set", rcSet).Add("stored", rcAfter == 0).str(),
          "open=0 set=5 stored=0");

    rc = reg.SetValue(Hive::CurrentUser, SubKey(L"a\\b\\c"), L"Deep", win::kRegDword, &one,
                      sizeof one);
    KeyHandle deep;
    const uint32_t rcOpen =
        reg.OpenKey(Hive::CurrentUser, SubKey(L"a\\b\\c"), win::kKeyRead, &deep);
    if (rcOpen == win::kErrorSuccess)
        reg.CloseKey(deep);
    Check("SHSetValueW creates the missing keys on the way",
          Out().Add("set", rc).Add("open", rcOpen).str(), "set=0 open=0");

    // The shell's value functions leave the thread's last-error value alone.
    ArmLastError();
    reg.GetValue(Hive::CurrentUser, SubKey(L"Absent"), L"x", nullptr, nullptr, &size);
    Check("SHGetValueW of a missing key keeps the last-error value",
          Out().Hex("lastError", LastError()).str(), "lastError=DEADBEEF");
}

// SHGetValueW expands REG_EXPAND_SZ data and reports it as REG_SZ.
TEST_F(RegistryTable, ShellExpandsExpandableStrings) {
    std::wstring windows;
    ASSERT_TRUE(P().system.GetWindowsDirectory(&windows));
    const std::string raw = Bytes(std::wstring(L"%SystemRoot%\\cv\0", 16));
    ASSERT_EQ(Write(Api::Key, L"Expand", win::kRegExpandSz, raw), win::kErrorSuccess);

    uint8_t buffer[256] = {};
    uint32_t type = 0, size = sizeof buffer;
    const uint32_t rc =
        P().registry.GetValue(Hive::CurrentUser, Key(), L"Expand", &type, buffer, &size);
    const std::wstring text = rc == 0 ? base::FromUtf16LEUntilNull(buffer, size) : std::wstring();
    const bool expanded = base::EqualsNoCase(text, windows + L"\\cv");
    Check("SHGetValueW on REG_EXPAND_SZ",
          Out().Add("rc", rc).Add("type", type).Add("expanded", expanded).str(),
          "rc=0 type=1 expanded=1");
    if (!expanded)
        std::printf("  text: %s, Windows folder: %s\n", Utf8(text).c_str(), Utf8(windows).c_str());
}

}  // namespace
}  // namespace conf
