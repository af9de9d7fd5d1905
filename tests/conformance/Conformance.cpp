// The harness shared by both sides: outcome texts, row checks, scratch folder and key.
#include "Conformance.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "base/Text.h"

namespace conf {

using platform::Hive;

namespace {

std::atomic<int> gRows{0};
std::atomic<int> gWineDifferences{0};
std::atomic<int> gSerial{0};

}  // namespace

Counts& Totals() {
    static Counts counts;
    counts.rows = gRows.load();
    counts.wineDifferences = gWineDifferences.load();
    return counts;
}

void PrintSummary() {
    const Counts& c = Totals();
    std::printf("conformance rows: %d run, %d known Wine differences\n", c.rows, c.wineDifferences);
    std::fflush(stdout);
}

int RunTables() {
    const int result = RUN_ALL_TESTS();
    PrintSummary();
    if (::testing::UnitTest::GetInstance()->test_to_run_count() == 0) {
        std::printf("no test matches the selection (--gtest_filter=%s): nothing was checked\n",
                    GTEST_FLAG_GET(filter).c_str());
        std::fflush(stdout);
        return 1;
    }
    return result;
}

std::string StartedFor(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string Utf8(const std::wstring& text) {
    return base::ToUtf8(text);
}

std::string Quote(const std::wstring& text) {
    std::string out = "\"";
    for (wchar_t c : text) {
        if (c == L'"' || c == L'\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else if (c == L'\t') {
            out += "\\t";
        } else {
            char buffer[16];
            std::snprintf(buffer, sizeof buffer, "\\u%04X", static_cast<unsigned>(c));
            out += buffer;
        }
    }
    out += '"';
    return out;
}

Out& Out::Raw(const char* name, const std::string& value) {
    if (!text_.empty())
        text_ += ' ';
    text_ += name;
    text_ += '=';
    text_ += value;
    return *this;
}

Out& Out::Add(const char* name, const std::string& text) {
    return Raw(name, text);
}

Out& Out::Add(const char* name, const std::wstring& text) {
    return Raw(name, Quote(text));
}

Out& Out::Add(const char* name, const std::vector<std::wstring>& items) {
    std::string list = "[";
    for (size_t i = 0; i < items.size(); ++i) {
        if (i != 0)
            list += ',';
        list += Quote(items[i]);
    }
    list += ']';
    return Raw(name, list);
}

Out& Out::Hex(const char* name, uint32_t value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%08X", value);
    return Raw(name, buffer);
}

Out& Out::Bytes(const char* name, const void* data, size_t size) {
    std::string hex;
    const auto* bytes = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < size; ++i) {
        char buffer[4];
        std::snprintf(buffer, sizeof buffer, "%02X", bytes[i]);
        hex += buffer;
    }
    return Raw(name, hex.empty() ? "-" : hex);
}

void ConformanceTest::SetUp() {
    env_ = CreateEnv();
    platform::Files& files = P().files;
    const int serial = ++gSerial;
    const std::wstring root = L"C:\\cvconf";
    const std::wstring mine = root + base::Format(L"\\%u", env_->ProcessId());
    folder_ = mine + base::Format(L"\\%d", serial);
    files.CreateDirectory(root);
    files.CreateDirectory(mine);
    // Left by an earlier run whose process had the same id (Wine reuses small ids), and
    // not always empty: Wine keeps a library whose load failed mapped until its process
    // ends, so that the library's file cannot be deleted before.
    RemoveTree(folder_, 0);
    ASSERT_TRUE(files.CreateDirectory(folder_))
        << "cannot create the scratch folder " << Utf8(folder_)
        << " error=" << P().system.GetLastError();

    key_ = base::Format(L"Software\\CorvaneConformance\\%u-%d", env_->ProcessId(), serial);
    P().registry.DeleteKeyTree(Hive::CurrentUser, key_);
    const uint32_t marker = 1;
    ASSERT_EQ(
        P().registry.SetValue(Hive::CurrentUser, key_, L"", win::kRegDword, &marker, sizeof marker),
        win::kErrorSuccess)
        << "cannot create the scratch key " << Utf8(key_);
}

void ConformanceTest::TearDown() {
    if (!env_)
        return;
    if (!folder_.empty()) {
        RemoveTree(folder_, 0);
        // The per-process and the root folders go when they are empty.
        const size_t cut = folder_.rfind(L'\\');
        const std::wstring mine = folder_.substr(0, cut);
        P().files.RemoveDirectory(mine);
        P().files.RemoveDirectory(L"C:\\cvconf");
    }
    if (!key_.empty()) {
        P().registry.DeleteKeyTree(Hive::CurrentUser, key_);
        P().registry.DeleteKeyTree(Hive::CurrentUser, L"Software\\CorvaneConformance");
    }
    env_.reset();
}

void ConformanceTest::RemoveTree(const std::wstring& folder, int depth) {
    if (depth > 8)
        return;
    platform::Files& files = P().files;
    platform::FindData data;
    std::vector<platform::FindData> entries;
    platform::FindHandle find = files.FindFirstFile(folder + L"\\*", &data);
    if (find) {
        do {
            if (data.name != L"." && data.name != L"..")
                entries.push_back(data);
        } while (files.FindNextFile(find, &data));
        files.FindClose(find);
    }
    for (const auto& entry : entries) {
        const std::wstring path = folder + L"\\" + entry.name;
        if (entry.attributes & win::kFileAttributeDirectory) {
            RemoveTree(path, depth + 1);
        } else {
            ForceDelete(path);
        }
    }
    files.SetFileAttributes(folder, win::kFileAttributeNormal);
    files.RemoveDirectory(folder);
}

void ConformanceTest::ForceDelete(const std::wstring& path) {
    P().files.SetFileAttributes(path, win::kFileAttributeNormal);
    P().files.DeleteFile(path);
}

bool ConformanceTest::WriteBytes(const std::wstring& path, const std::string& bytes) {
    platform::Files& files = P().files;
    platform::FileHandle file = files.CreateFile(path, win::kGenericWrite, 0, win::kCreateAlways,
                                                 win::kFileAttributeNormal);
    if (!file)
        return false;
    uint32_t written = 0;
    const bool ok =
        bytes.empty() ||
        (files.WriteFile(file, bytes.data(), static_cast<uint32_t>(bytes.size()), &written) &&
         written == bytes.size());
    files.CloseHandle(file);
    return ok;
}

bool ConformanceTest::ReadBytes(const std::wstring& path, std::string* bytes) {
    platform::Files& files = P().files;
    bytes->clear();
    platform::FileHandle file = files.CreateFile(path, win::kGenericRead, win::kFileShareRead,
                                                 win::kOpenExisting, win::kFileAttributeNormal);
    if (!file)
        return false;
    char buffer[4096];
    bool ok = true;
    for (;;) {
        uint32_t read = 0;
        if (!files.ReadFile(file, buffer, sizeof buffer, &read)) {
            ok = false;
            break;
        }
        if (read == 0)
            break;
        bytes->append(buffer, read);
        if (bytes->size() > (1u << 24))
            break;
    }
    files.CloseHandle(file);
    return ok;
}

std::wstring ConformanceTest::UniqueName(const wchar_t* what) {
    std::wstring key = key_;
    base::ReplaceAll(key, L"\\", L"-");
    return base::Format(L"CvConformance %ls %u %ls", what, env_->ProcessId(), key.c_str());
}

void ConformanceTest::Check(const std::string& row, const std::string& got,
                            const std::string& expected, WineNote wine) {
    ++gRows;
    if (wine.reason != nullptr && OnWine()) {
        ++gWineDifferences;
        if (wine.observed == nullptr) {
            std::printf("[ wine diff ] %s: %s (got %s; Windows: %s) - not checked\n", row.c_str(),
                        wine.reason, got.c_str(), expected.c_str());
            return;
        }
        std::printf("[ wine diff ] %s: %s\n", row.c_str(), wine.reason);
        EXPECT_EQ(got, std::string(wine.observed))
            << "  row: " << row << "\n  got:      " << got
            << "\n  expected (Wine's known value): " << wine.observed
            << "\n  Windows documents: " << expected;
        return;
    }
    EXPECT_EQ(got, expected) << "  row: " << row << "\n  got:      " << got
                             << "\n  expected: " << expected;
}

}  // namespace conf
