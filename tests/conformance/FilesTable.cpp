// Files: copying, moving, deleting, attributes, folders, enumeration, temporary names, file
// handles and the module path.
#include <algorithm>
#include <cwctype>
#include <functional>

#include "Conformance.h"
#include "base/Text.h"

namespace conf {
namespace {

using platform::FileHandle;
using platform::Hive;

class FilesTable : public ConformanceTest {
protected:
    struct Row {
        const char* name;
        std::function<std::string()> run;
        const char* expected;
        WineNote wine = {};
    };

    void Walk(const std::vector<Row>& rows) {
        for (const Row& row : rows)
            Check(row.name, row.run(), row.expected, row.wine);
    }
};

TEST_F(FilesTable, CopyMoveDelete) {
    platform::Files& f = P().files;
    auto path = [this](const wchar_t* name) { return InFolder(name); };
    const std::vector<Row> rows = {
        {"CopyFile onto an existing file, failIfExists",
         [&] {
             WriteText(path(L"c1.src"), "new");
             WriteText(path(L"c1.dst"), "old");
             ArmLastError();
             const bool ok = f.CopyFile(path(L"c1.src"), path(L"c1.dst"), true);
             const std::string r = Result(ok);
             return r + " dst=" + Content(path(L"c1.dst"));
         },
         "ok=0 err=80 dst=old"},
        {"CopyFile onto an existing file, replacing",
         [&] {
             WriteText(path(L"c2.src"), "new");
             WriteText(path(L"c2.dst"), "old");
             const bool ok = f.CopyFile(path(L"c2.src"), path(L"c2.dst"), false);
             const std::string r = Result(ok);
             return r + " dst=" + Content(path(L"c2.dst"));
         },
         "ok=1 dst=new"},
        {"CopyFile of a missing source",
         [&] {
             ArmLastError();
             const bool ok = f.CopyFile(path(L"none.src"), path(L"c3.dst"), false);
             const std::string r = Result(ok);
             return r + Out().Add(" dst", Exists(path(L"c3.dst"))).str();
         },
         "ok=0 err=2 dst=0"},
        {"CopyFile onto a read-only file",
         [&] {
             WriteText(path(L"c4.src"), "new");
             WriteText(path(L"c4.dst"), "old");
             f.SetFileAttributes(path(L"c4.dst"), win::kFileAttributeReadonly);
             ArmLastError();
             const bool ok = f.CopyFile(path(L"c4.src"), path(L"c4.dst"), false);
             const std::string r = Result(ok);
             return r + " dst=" + Content(path(L"c4.dst"));
         },
         "ok=0 err=5 dst=old",
         {"Wine's CopyFile replaces a read-only destination", "ok=1 dst=new"}},
        {"CopyFile copies the read-only attribute",
         [&] {
             WriteText(path(L"c5.src"), "ro");
             f.SetFileAttributes(path(L"c5.src"), win::kFileAttributeReadonly);
             const bool ok = f.CopyFile(path(L"c5.src"), path(L"c5.dst"), true);
             const uint32_t a = f.GetFileAttributes(path(L"c5.dst"));
             return Result(ok) +
                    Out().Add(" readonly", (a & win::kFileAttributeReadonly) != 0).str();
         },
         "ok=1 readonly=1"},
        {"MoveFile onto an existing name",
         [&] {
             WriteText(path(L"m1.src"), "new");
             WriteText(path(L"m1.dst"), "old");
             ArmLastError();
             const bool ok = f.MoveFile(path(L"m1.src"), path(L"m1.dst"));
             const std::string r = Result(ok);
             return r + " dst=" + Content(path(L"m1.dst")) +
                    Out().Add(" src", Exists(path(L"m1.src"))).str();
         },
         "ok=0 err=183 dst=old src=1"},
        {"MoveFile to a new name",
         [&] {
             WriteText(path(L"m2.src"), "new");
             const bool ok = f.MoveFile(path(L"m2.src"), path(L"m2.dst"));
             const std::string r = Result(ok);
             return r + " dst=" + Content(path(L"m2.dst")) +
                    Out().Add(" src", Exists(path(L"m2.src"))).str();
         },
         "ok=1 dst=new src=0"},
        {"MoveFileEx with MOVEFILE_REPLACE_EXISTING",
         [&] {
             WriteText(path(L"m3.src"), "new");
             WriteText(path(L"m3.dst"), "old");
             const std::wstring dst = path(L"m3.dst");
             const bool ok = f.MoveFileEx(path(L"m3.src"), &dst, win::kMovefileReplaceExisting);
             const std::string r = Result(ok);
             return r + " dst=" + Content(dst) + Out().Add(" src", Exists(path(L"m3.src"))).str();
         },
         "ok=1 dst=new src=0"},
        {"MoveFileEx of a missing source",
         [&] {
             const std::wstring dst = path(L"m4.dst");
             ArmLastError();
             const bool ok = f.MoveFileEx(path(L"none.src"), &dst, win::kMovefileReplaceExisting);
             return Result(ok);
         },
         "ok=0 err=2"},
        {"DeleteFile of a read-only file",
         [&] {
             WriteText(path(L"d1"), "x");
             f.SetFileAttributes(path(L"d1"), win::kFileAttributeReadonly);
             ArmLastError();
             const bool ok = f.DeleteFile(path(L"d1"));
             const std::string r = Result(ok);
             return r + Out().Add(" exists", Exists(path(L"d1"))).str();
         },
         "ok=0 err=5 exists=1"},
        {"DeleteFile of a missing file",
         [&] {
             ArmLastError();
             return Result(f.DeleteFile(path(L"none")));
         },
         "ok=0 err=2"},
        {"DeleteFile of a file",
         [&] {
             WriteText(path(L"d2"), "x");
             const bool ok = f.DeleteFile(path(L"d2"));
             const std::string r = Result(ok);
             return r + Out().Add(" exists", Exists(path(L"d2"))).str();
         },
         "ok=1 exists=0"},
    };
    Walk(rows);
}

// MoveFileEx(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT) records the deletion in the Session
// Manager's PendingFileRenameOperations: "\??\<path>" followed by an empty string. The
// value is put back as it was afterwards.
TEST_F(FilesTable, DelayedDeleteIsRecorded) {
    const std::wstring sessionManager = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
    const std::wstring valueName = L"PendingFileRenameOperations";
    platform::Registry& reg = P().registry;

    uint32_t type = 0, size = 0;
    const bool hadValue =
        reg.GetValue(Hive::LocalMachine, sessionManager, valueName, &type, nullptr, &size) == 0;
    std::vector<uint8_t> saved(size + 2);
    uint32_t savedType = 0, savedSize = size;
    if (hadValue) {
        reg.GetValue(Hive::LocalMachine, sessionManager, valueName, &savedType, saved.data(),
                     &savedSize);
    }

    const std::wstring file = InFolder(L"later.txt");
    ASSERT_TRUE(WriteText(file, "x"));
    ArmLastError();
    const bool ok = P().files.MoveFileEx(file, nullptr, win::kMovefileDelayUntilReboot);
    const uint32_t err = ok ? 0 : LastError();

    size = 0;
    reg.GetValue(Hive::LocalMachine, sessionManager, valueName, &type, nullptr, &size);
    std::vector<uint8_t> data(size + 2);
    const uint32_t rc =
        reg.GetValue(Hive::LocalMachine, sessionManager, valueName, &type, data.data(), &size);
    std::vector<std::wstring> items;
    if (rc == 0) {
        const std::wstring all = base::FromUtf16LE(data.data(), size);
        size_t start = 0;
        while (start < all.size()) {
            const size_t end = all.find(L'\0', start);
            items.push_back(all.substr(start, end == std::wstring::npos ? end : end - start));
            if (end == std::wstring::npos)
                break;
            start = end + 1;
        }
    }
    // Find the pair for our file: the source in NT form, then an empty destination.
    bool pair = false;
    for (size_t i = 0; i + 1 < items.size(); ++i) {
        if (base::EqualsNoCase(items[i], L"\\??\\" + file) && items[i + 1].empty())
            pair = true;
    }

    // Put the value back before checking anything.
    if (hadValue) {
        reg.SetValue(Hive::LocalMachine, sessionManager, valueName, savedType, saved.data(),
                     savedSize);
    } else {
        reg.DeleteValue(Hive::LocalMachine, sessionManager, valueName);
    }

    Check("MoveFileEx(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT)",
          Out()
              .Add("ok", ok)
              .Add("err", err)
              .Add("rc", rc)
              .Add("type", type)
              .Add("pair", pair)
              .Add("exists", Exists(file))
              .str(),
          "ok=1 err=0 rc=0 type=7 pair=1 exists=1");
    if (!pair)
        std::printf("  items: %s\n", Out().Add("items", items).str().c_str());
}

TEST_F(FilesTable, Attributes) {
    platform::Files& f = P().files;
    const std::wstring file = InFolder(L"attr.txt");
    ASSERT_TRUE(WriteText(file, "x"));
    // Wine keeps no archive bit: it reports every file with FILE_ATTRIBUTE_ARCHIVE.
    static const char kWineArchive[] = "Wine reports every file as archived";
    struct Row {
        const char* name;
        uint32_t set;
        const char* expected;
        WineNote wine = {};
    };
    const Row rows[] = {
        {"FILE_ATTRIBUTE_NORMAL reads back as NORMAL",
         win::kFileAttributeNormal,
         "ok=1 get=00000080",
         {kWineArchive, "ok=1 get=00000020"}},
        {"HIDDEN|SYSTEM",
         win::kFileAttributeHidden | win::kFileAttributeSystem,
         "ok=1 get=00000006",
         {kWineArchive, "ok=1 get=00000026"}},
        {"READONLY",
         win::kFileAttributeReadonly,
         "ok=1 get=00000001",
         {kWineArchive, "ok=1 get=00000021"}},
        {"READONLY|ARCHIVE", win::kFileAttributeReadonly | win::kFileAttributeArchive,
         "ok=1 get=00000021"},
        {"NORMAL again",
         win::kFileAttributeNormal,
         "ok=1 get=00000080",
         {kWineArchive, "ok=1 get=00000020"}},
    };
    for (const Row& row : rows) {
        const bool ok = f.SetFileAttributes(file, row.set);
        Check(std::string("SetFileAttributes ") + row.name,
              Out().Add("ok", ok).Hex("get", f.GetFileAttributes(file)).str(), row.expected,
              row.wine);
    }
    ArmLastError();
    const uint32_t missing = f.GetFileAttributes(InFolder(L"none"));
    Check("GetFileAttributes of a missing file",
          Out().Hex("get", missing).Add("err", LastError()).str(), "get=FFFFFFFF err=2");
    const uint32_t folder = f.GetFileAttributes(Folder());
    Check("GetFileAttributes of a folder",
          Out().Add("directory", (folder & win::kFileAttributeDirectory) != 0).str(),
          "directory=1");
}

TEST_F(FilesTable, Folders) {
    platform::Files& f = P().files;
    struct Row {
        const wchar_t* path;
        const char* expected;
    };
    const Row rows[] = {
        {L"a", "ok=1"},          {L"a\\b", "ok=1"},
        {L"a\\b\\c", "ok=1"},    {L"a\\b", "ok=0 err=183"},
        {L"x\\y", "ok=0 err=3"}, {L"x\\y\\z", "ok=0 err=3"},
    };
    for (const Row& row : rows) {
        ArmLastError();
        const bool ok = f.CreateDirectory(InFolder(row.path));
        Check("CreateDirectory " + Utf8(row.path), Result(ok), row.expected);
    }
    ArmLastError();
    const bool removed = f.RemoveDirectory(InFolder(L"a\\b"));
    Check("RemoveDirectory of a folder that is not empty", Result(removed), "ok=0 err=145");
}

TEST_F(FilesTable, Enumeration) {
    platform::Files& f = P().files;
    ASSERT_TRUE(WriteText(InFolder(L"one.txt"), "1"));
    ASSERT_TRUE(WriteText(InFolder(L"two.log"), "22"));
    ASSERT_TRUE(f.CreateDirectory(InFolder(L"sub")));

    struct Row {
        const wchar_t* pattern;
        const char* expected;  // names sorted, directories marked with a trailing '/'
    };
    const Row rows[] = {
        {L"*", "ok=1 names=[\"../\",\"./\",\"one.txt\",\"sub/\",\"two.log\"] end=18"},
        {L"*.txt", "ok=1 names=[\"one.txt\"] end=18"},
        {L"t*", "ok=1 names=[\"two.log\"] end=18"},
        {L"*.none", "ok=0 err=2"},
    };
    for (const Row& row : rows) {
        platform::FindData data;
        ArmLastError();
        platform::FindHandle find = f.FindFirstFile(InFolder(row.pattern), &data);
        Out out;
        out.Add("ok", static_cast<bool>(find));
        if (!find) {
            out.Add("err", LastError());
        } else {
            std::vector<std::wstring> names;
            int guard = 0;
            do {
                std::wstring name = data.name;
                if (data.attributes & win::kFileAttributeDirectory)
                    name += L"/";
                names.push_back(name);
                ArmLastError();
            } while (f.FindNextFile(find, &data) && ++guard < 100);
            out.Add("names", [&] {
                std::sort(names.begin(), names.end());
                return names;
            }());
            out.Add("end", LastError());
            f.FindClose(find);
        }
        Check("FindFirstFile " + Utf8(row.pattern), out.str(), row.expected);
    }
}

TEST_F(FilesTable, TempFileName) {
    platform::Files& f = P().files;
    std::wstring path;
    const uint32_t unique = f.GetTempFileName(Folder(), L"cvxyz", &path);
    // <folder>\<first three characters of the prefix><hex of unique>.tmp
    const std::wstring expectedName = base::Format(L"%ls\\cvx%X.tmp", Folder().c_str(), unique);
    uint64_t size = 99;
    FileHandle h = f.CreateFile(path, win::kGenericRead, win::kFileShareRead, win::kOpenExisting,
                                win::kFileAttributeNormal);
    if (h) {
        f.GetFileSize(h, &size);
        f.CloseHandle(h);
    }
    Check("GetTempFileName with unique 0",
          Out()
              .Add("nonzero", unique != 0)
              .Add("form", base::EqualsNoCase(path, expectedName))
              .Add("created", static_cast<bool>(h))
              .Add("size", size)
              .str(),
          "nonzero=1 form=1 created=1 size=0");
    if (!base::EqualsNoCase(path, expectedName))
        std::printf("  path: %s\n", Utf8(path).c_str());

    std::wstring second;
    const uint32_t unique2 = f.GetTempFileName(Folder(), L"cvxyz", &second);
    Check("GetTempFileName twice gives two names",
          Out().Add("distinct", unique2 != 0 && !base::EqualsNoCase(path, second)).str(),
          "distinct=1");

    ArmLastError();
    std::wstring none;
    const uint32_t failed = f.GetTempFileName(InFolder(L"missing"), L"cv", &none);
    Check("GetTempFileName in a missing folder",
          Out().Add("unique", failed).Add("err", LastError()).str(),
          "unique=0 err=267");  // ERROR_DIRECTORY
}

TEST_F(FilesTable, CreateFileDispositions) {
    platform::Files& f = P().files;
    const std::wstring existing = InFolder(L"exists.bin");
    struct Row {
        const char* name;
        bool fileExists;
        uint32_t disposition;
        const char* expected;  // handle, last-error (also after success), size afterwards
    };
    const Row rows[] = {
        {"CREATE_NEW on an existing file", true, win::kCreateNew, "handle=0 err=80 size=5"},
        {"CREATE_NEW on a new name", false, win::kCreateNew, "handle=1 err=0 size=0"},
        {"OPEN_EXISTING on a missing file", false, win::kOpenExisting, "handle=0 err=2 size=-"},
        {"OPEN_EXISTING on an existing file", true, win::kOpenExisting, "handle=1 size=5"},
        {"OPEN_ALWAYS on an existing file", true, win::kOpenAlways, "handle=1 err=183 size=5"},
        {"OPEN_ALWAYS on a new name", false, win::kOpenAlways, "handle=1 err=0 size=0"},
        {"CREATE_ALWAYS on an existing file", true, win::kCreateAlways, "handle=1 err=183 size=0"},
        {"CREATE_ALWAYS on a new name", false, win::kCreateAlways, "handle=1 err=0 size=0"},
        {"TRUNCATE_EXISTING on an existing file", true, win::kTruncateExisting, "handle=1 size=0"},
        {"TRUNCATE_EXISTING on a missing file", false, win::kTruncateExisting,
         "handle=0 err=2 size=-"},
    };
    for (const Row& row : rows) {
        ForceDelete(existing);
        if (row.fileExists) {
            ASSERT_TRUE(WriteText(existing, "12345"));
        }
        ArmLastError();
        FileHandle h = f.CreateFile(existing, win::kGenericRead | win::kGenericWrite, 0,
                                    row.disposition, win::kFileAttributeNormal);
        const uint32_t err = LastError();
        Out out;
        out.Add("handle", static_cast<bool>(h));
        // Windows documents the last-error value after success only for OPEN_ALWAYS,
        // CREATE_ALWAYS and CREATE_NEW (cleared); the rest after failures.
        const bool documented = !h || row.disposition == win::kOpenAlways ||
                                row.disposition == win::kCreateAlways ||
                                row.disposition == win::kCreateNew;
        if (documented)
            out.Add("err", err);
        if (h)
            f.CloseHandle(h);
        std::string bytes;
        out.Add("size", ReadBytes(existing, &bytes) ? std::to_string(bytes.size()) : "-");
        Check(std::string("CreateFile ") + row.name, out.str(), row.expected);
    }
}

TEST_F(FilesTable, Sharing) {
    platform::Files& f = P().files;
    const std::wstring file = InFolder(L"shared.bin");
    ASSERT_TRUE(WriteText(file, "data"));
    struct Row {
        const char* name;
        uint32_t firstAccess, firstShare, secondAccess, secondShare;
        const char* expected;
    };
    const uint32_t r = win::kGenericRead, w = win::kGenericWrite;
    const uint32_t sr = win::kFileShareRead, sw = win::kFileShareWrite;
    const Row rows[] = {
        {"read, no sharing; then read", r, 0, r, sr, "handle=0 err=32"},
        {"read, share read; then read", r, sr, r, sr, "handle=1"},
        {"read, share read; then write", r, sr, w, sr | sw, "handle=0 err=32"},
        {"write, share read|write; then read without sharing write", w, sr | sw, r, sr,
         "handle=0 err=32"},
        {"write, share read|write; then read sharing write", w, sr | sw, r, sr | sw, "handle=1"},
        {"attributes only, no sharing; then read", win::kFileReadAttributes, 0, r, sr | sw,
         "handle=1"},
        // How the install log looks at a path the installation is about to write: no access
        // asks nothing of the log's own handle, which shares reading only.
        {"read|write, share read; then no access, sharing everything", r | w, sr, 0,
         sr | sw | win::kFileShareDelete, "handle=1"},
    };
    for (const Row& row : rows) {
        FileHandle first =
            f.CreateFile(file, row.firstAccess, row.firstShare, win::kOpenExisting, 0);
        ASSERT_TRUE(first) << row.name;
        ArmLastError();
        FileHandle second =
            f.CreateFile(file, row.secondAccess, row.secondShare, win::kOpenExisting, 0);
        Out out;
        out.Add("handle", static_cast<bool>(second));
        if (!second)
            out.Add("err", LastError());
        if (second)
            f.CloseHandle(second);
        f.CloseHandle(first);
        Check(std::string("sharing: ") + row.name, out.str(), row.expected);
    }
}

// A file's identity (volume serial and file index) is the same through every handle and
// every name that leads to it, and differs between two files: what the install log compares
// to tell whether a path the installation writes is its own file. The second handle is
// opened as the log opens it then (no access, every kind of sharing, the link itself, a
// folder too) while the first, a writer sharing reading only, stays open.
TEST_F(FilesTable, FileIdentity) {
    platform::Files& f = P().files;
    const std::wstring file = InFolder(L"identity.log");
    const std::wstring other = InFolder(L"other.log");
    ASSERT_TRUE(WriteText(file, "log"));
    ASSERT_TRUE(WriteText(other, "log"));
    const FileHandle writer = f.CreateFile(file, win::kGenericRead | win::kGenericWrite,
                                           win::kFileShareRead, win::kOpenExisting, 0);
    ASSERT_TRUE(writer);
    const auto identity = [&](const std::wstring& path, platform::FileInformation* info) {
        const FileHandle h = f.CreateFile(
            path, 0, win::kFileShareRead | win::kFileShareWrite | win::kFileShareDelete,
            win::kOpenExisting, win::kFileFlagOpenReparsePoint | win::kFileFlagBackupSemantics);
        const bool ok = h && f.GetFileInformationByHandle(h, info);
        if (h)
            f.CloseHandle(h);
        return ok;
    };
    platform::FileInformation held, again, upper, second;
    const bool okHeld = f.GetFileInformationByHandle(writer, &held);
    std::wstring shouted = file;
    for (wchar_t& c : shouted)
        c = static_cast<wchar_t>(std::towupper(c));
    const bool okAgain = identity(file, &again);
    const bool okUpper = identity(shouted, &upper);
    const bool okSecond = identity(other, &second);
    f.CloseHandle(writer);
    const auto same = [](const platform::FileInformation& a, const platform::FileInformation& b) {
        return a.volumeSerial == b.volumeSerial && a.fileIndex == b.fileIndex;
    };
    Check("identity through a second handle, another spelling, another file",
          Out()
              .Add("ok", okHeld && okAgain && okUpper && okSecond)
              .Add("again", same(held, again))
              .Add("upper", same(held, upper))
              .Add("other", same(held, second))
              .str(),
          "ok=1 again=1 upper=1 other=0");
}

TEST_F(FilesTable, SizesOffsetsAndEndOfFile) {
    platform::Files& f = P().files;
    const std::wstring file = InFolder(L"grow.bin");
    FileHandle h = f.CreateFile(file, win::kGenericRead | win::kGenericWrite, 0, win::kCreateAlways,
                                win::kFileAttributeNormal);
    ASSERT_TRUE(h);
    uint32_t done = 0;
    ASSERT_TRUE(f.WriteFile(h, "abcdef", 6, &done));

    // Each row runs one step on the open handle and reports size and content.
    auto state = [&] {
        uint64_t size = 0;
        f.GetFileSize(h, &size);
        int64_t pos = -1;
        f.SetFilePointer(h, 0, win::kFileCurrent, &pos);
        std::vector<char> data(static_cast<size_t>(size) + 1);
        int64_t ignored = 0;
        f.SetFilePointer(h, 0, win::kFileBegin, &ignored);
        uint32_t read = 0;
        f.ReadFile(h, data.data(), static_cast<uint32_t>(size), &read);
        f.SetFilePointer(h, pos, win::kFileBegin, &ignored);
        return Out().Add("size", size).Add("pos", pos).Bytes("data", data.data(), read).str();
    };
    struct Row {
        const char* name;
        std::function<bool()> step;
        const char* expected;
    };
    const std::vector<Row> rows = {
        {"after writing 6 bytes", [] { return true; }, "size=6 pos=6 data=616263646566"},
        {"SetEndOfFile at 10 grows with zeros",
         [&] { return f.SetFilePointer(h, 10, win::kFileBegin, nullptr) && f.SetEndOfFile(h); },
         "size=10 pos=10 data=61626364656600000000"},
        {"SetEndOfFile at 3 shrinks",
         [&] { return f.SetFilePointer(h, 3, win::kFileBegin, nullptr) && f.SetEndOfFile(h); },
         "size=3 pos=3 data=616263"},
        {"write at offset 5, past the end",
         [&] {
             return f.SetFilePointer(h, 5, win::kFileBegin, nullptr) &&
                    f.WriteFile(h, "Z", 1, &done) && done == 1;
         },
         "size=6 pos=6 data=61626300005A"},
        {"write at offset 1 from the current position minus 5",
         [&] {
             return f.SetFilePointer(h, -5, win::kFileCurrent, nullptr) &&
                    f.WriteFile(h, "Q", 1, &done) && done == 1;
         },
         "size=6 pos=2 data=61516300005A"},
        {"seek 2 back from the end",
         [&] { return f.SetFilePointer(h, -2, win::kFileEnd, nullptr); },
         "size=6 pos=4 data=61516300005A"},
    };
    for (const Row& row : rows) {
        const bool ok = row.step();
        Check(std::string("file handle: ") + row.name, Out().Add("ok", ok).str() + " " + state(),
              (std::string("ok=1 ") + row.expected).c_str());
    }

    // Reading at and past the end gives success with nothing read.
    char buffer[4];
    uint32_t read = 99;
    f.SetFilePointer(h, 100, win::kFileBegin, nullptr);
    const bool ok = f.ReadFile(h, buffer, sizeof buffer, &read);
    Check("ReadFile past the end", Out().Add("ok", ok).Add("read", read).str(), "ok=1 read=0");

    ArmLastError();
    const bool negative = f.SetFilePointer(h, -1, win::kFileBegin, nullptr);
    Check("SetFilePointer before the start", Result(negative),
          "ok=0 err=131");  // ERROR_NEGATIVE_SEEK
    f.CloseHandle(h);
}

TEST_F(FilesTable, ModulePath) {
    std::wstring path;
    const bool ok = P().files.GetModuleFileName(&path);
    Check("GetModuleFileName(NULL)",
          Out().Add("ok", ok).Add("same", base::EqualsNoCase(path, E().KnownModulePath())).str(),
          "ok=1 same=1");
}

}  // namespace
}  // namespace conf
