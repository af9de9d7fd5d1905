// What the install engine relies on: copying onto files another process holds, the
// move-aside of a running program with its deletion at the restart, folder creation level
// by level, REG_MULTI_SZ data as stored and read back, the shell's value function on new
// keys, shell links saved over earlier ones, the special folders the engine uses, and the
// profile functions on files that are read-only, missing or malformed.
#include <functional>

#include "Conformance.h"
#include "base/Text.h"

namespace conf {
namespace {

using platform::Hive;
using platform::KeyHandle;

class EngineTable : public ConformanceTest {
protected:
    void TearDown() override {
        E().ReleaseHolders();
        ConformanceTest::TearDown();
    }

    // The items of PendingFileRenameOperations that name |path|: the source in NT form
    // followed by its destination.
    std::vector<std::wstring> PendingFor(const std::wstring& path) {
        const std::wstring key = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
        uint32_t type = 0, size = 0;
        std::vector<std::wstring> found;
        if (P().registry.GetValue(Hive::LocalMachine, key, L"PendingFileRenameOperations", &type,
                                  nullptr, &size) != 0) {
            return found;
        }
        std::vector<uint8_t> data(size + 2);
        if (P().registry.GetValue(Hive::LocalMachine, key, L"PendingFileRenameOperations", &type,
                                  data.data(), &size) != 0) {
            return found;
        }
        std::vector<std::wstring> items;
        const std::wstring all = base::FromUtf16LE(data.data(), size);
        size_t start = 0;
        while (start < all.size()) {
            const size_t end = all.find(L'\0', start);
            items.push_back(all.substr(start, end == std::wstring::npos ? end : end - start));
            if (end == std::wstring::npos)
                break;
            start = end + 1;
        }
        for (size_t i = 0; i + 1 < items.size(); ++i) {
            if (base::EqualsNoCase(items[i], L"\\??\\" + path)) {
                found.push_back(L"\\??\\" + path.substr(path.rfind(L'\\') + 1));
                found.push_back(items[i + 1]);
            }
        }
        return found;
    }
};

// CopyFileW onto a file that another process holds: a running program (its image in use)
// and a data file opened for reading with read sharing only. A running program can still
// be renamed, which is what the engine's move-aside relies on.
TEST_F(EngineTable, FilesOtherProcessesHold) {
    platform::Files& f = P().files;
    const std::wstring program = InFolder(L"Keeper.exe");
    const std::wstring data = InFolder(L"data.bin");
    const std::wstring source = InFolder(L"new.bin");
    ASSERT_TRUE(WriteText(source, "new"));
    ASSERT_TRUE(WriteText(data, "old"));
    ASSERT_TRUE(E().HoldInOtherProcess(program, true));
    ASSERT_TRUE(E().HoldInOtherProcess(data, false));
    const std::string programBefore = Content(program);

    struct Row {
        const char* name;
        std::function<std::string()> run;
        const char* expected;
        WineNote wine = {};
    };
    const Row rows[] = {
        {"CopyFile onto a running program",
         [&] {
             ArmLastError();
             const std::string r = Result(f.CopyFile(source, program, false));
             return r + Out().Add(" unchanged", Content(program) == programBefore).str();
         },
         "ok=0 err=32 unchanged=1"},
        {"CopyFile onto a file open for reading elsewhere",
         [&] {
             ArmLastError();
             const std::string r = Result(f.CopyFile(source, data, false));
             return r + " dst=" + Content(data);
         },
         "ok=0 err=32 dst=old"},
        {"DeleteFile of a running program",
         [&] {
             ArmLastError();
             const std::string r = Result(f.DeleteFile(program));
             return r + Out().Add(" exists", Exists(program)).str();
         },
         "ok=0 err=5 exists=1"},
        {"DeleteFile of a file open for reading elsewhere",
         [&] {
             ArmLastError();
             const std::string r = Result(f.DeleteFile(data));
             return r + Out().Add(" exists", Exists(data)).str();
         },
         "ok=0 err=32 exists=1"},
        {"MoveFile of a file open for reading elsewhere",
         [&] {
             ArmLastError();
             const std::string r = Result(f.MoveFile(data, data + L".del"));
             return r + Out().Add(" moved", Exists(data + L".del")).str();
         },
         "ok=0 err=32 moved=0"},
        {"MoveFile of a running program",
         [&] {
             ArmLastError();
             const bool ok = f.MoveFile(program, program + L".del");
             const std::string r = Result(ok);
             return r + Out()
                            .Add(" old", Exists(program))
                            .Add("aside", Content(program + L".del") == programBefore)
                            .str();
         },
         "ok=1 old=0 aside=1"},
        {"CopyFile into the running program's old name",
         [&] {
             ArmLastError();
             const std::string r = Result(f.CopyFile(source, program, false));
             return r + " dst=" + Content(program);
         },
         "ok=1 dst=new"},
    };
    for (const Row& row : rows)
        Check(row.name, row.run(), row.expected, row.wine);
}

// The replace-in-use rule on a running program: the moved-aside file is scheduled for
// deletion at the restart; with a ".del" still waiting, MoveFileW refuses and the old file
// stays.
TEST_F(EngineTable, MoveAsideOfARunningProgram) {
    platform::Files& f = P().files;
    const std::wstring program = InFolder(L"MenuExt.dll");
    const std::wstring aside = program + L".del";
    const std::wstring source = InFolder(L"new.dll");
    ASSERT_TRUE(WriteText(source, "new"));
    ASSERT_TRUE(WriteText(aside, "waiting"));
    ASSERT_TRUE(E().HoldInOtherProcess(program, true));

    ArmLastError();
    bool ok = f.MoveFile(program, aside);
    const std::string refused = Result(ok);
    Check("MoveFile of a running program onto a waiting .del",
          refused + " aside=" + Content(aside) + Out().Add(" old", Exists(program)).str(),
          "ok=0 err=183 aside=waiting old=1");

    ForceDelete(aside);
    ok = f.MoveFile(program, aside);
    const std::wstring key = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
    uint32_t type = 0, size = 0;
    const bool hadPending =
        P().registry.GetValue(Hive::LocalMachine, key, L"PendingFileRenameOperations", &type,
                              nullptr, &size) == 0;
    std::vector<uint8_t> saved(size + 2);
    uint32_t savedSize = size;
    if (hadPending) {
        P().registry.GetValue(Hive::LocalMachine, key, L"PendingFileRenameOperations", &type,
                              saved.data(), &savedSize);
    }
    ArmLastError();
    const bool scheduled = f.MoveFileEx(aside, nullptr, win::kMovefileDelayUntilReboot);
    const uint32_t scheduleError = scheduled ? 0 : LastError();
    const std::vector<std::wstring> pending = PendingFor(aside);
    // Put the Session Manager's value back before anything else.
    if (hadPending) {
        P().registry.SetValue(Hive::LocalMachine, key, L"PendingFileRenameOperations",
                              win::kRegMultiSz, saved.data(), savedSize);
    } else {
        P().registry.DeleteValue(Hive::LocalMachine, key, L"PendingFileRenameOperations");
    }
    const bool copied = f.CopyFile(source, program, false);
    Check("move aside, schedule the deletion, copy again",
          Out().Add("moved", ok)
                  .Add("scheduled", scheduled)
                  .Add("err", scheduleError)
                  .Add("pending", pending)
                  .Add("copied", copied)
                  .Add("aside", Exists(aside))
                  .str() +
              " new=" + Content(program),
          "moved=1 scheduled=1 err=0 pending=[\"\\\\??\\\\MenuExt.dll.del\",\"\"] copied=1 "
          "aside=1 new=new");
}

// CreateDirectoryW as the engine's level-by-level creation calls it: on the drive alone,
// on levels that exist, with a trailing backslash.
TEST_F(EngineTable, FolderLevels) {
    platform::Files& f = P().files;
    struct Row {
        std::wstring path;
        const char* expected;
        WineNote wine = {};
    };
    const Row rows[] = {
        {Folder(), "ok=0 err=183"},
        {InFolder(L"a\\"), "ok=1"},
        {InFolder(L"a\\"), "ok=0 err=183"},
        {InFolder(L"a\\\\b"), "ok=1"},
        {InFolder(L"a\\b\\"), "ok=0 err=183"},
    };
    for (const Row& row : rows) {
        ArmLastError();
        Check("CreateDirectory " + Quote(L"..." + row.path.substr(Folder().size())),
              Result(f.CreateDirectory(row.path)), row.expected, row.wine);
    }
    Check("CreateDirectory a\\\\b made a\\b", Out().Add("folder", Exists(InFolder(L"a\\b"))).str(),
          "folder=1");
}

// REG_MULTI_SZ data written with RegSetValueExW and read back: the sizes as written, with
// or without their final nulls, odd ones and large ones.
TEST_F(EngineTable, MultiStringSizes) {
    auto units = [](const std::wstring& text) {
        const std::vector<uint8_t> b = base::ToUtf16LE(text);
        return std::string(b.begin(), b.end());
    };
    const std::wstring n(1, L'\0');
    std::wstring many;
    for (int i = 0; i < 4000; ++i)
        many += base::Format(L"filter%04d", i) + n;
    many += n;
    const std::wstring megabyte = std::wstring(512 * 1024 - 4, L'h') + n + L"z" + n + n;
    struct Row {
        const char* name;
        std::string bytes;
        uint32_t declared;
        const char* expected;  // size only, then read with a buffer of that size
    };
    const std::vector<Row> rows = {
        {"a list", units(L"PartMgr" + n + L"cvflt" + n + n), 30,
         "rc=0 type=7 size=30 read=0 same=1"},
        {"an empty list", units(n), 2, "rc=0 type=7 size=2 read=0 same=1"},
        {"no data", "", 0, "rc=0 type=7 size=0 read=0 same=1"},
        {"without the final null", units(L"a" + n + L"bX"), 6, "rc=0 type=7 size=6 read=0 same=1"},
        {"an odd size", units(L"a" + n + L"b" + n + n) + "X", 11,
         "rc=0 type=7 size=11 read=0 same=1"},
        {"an empty entry in the middle", units(L"a" + n + n + L"b" + n + n), 12,
         "rc=0 type=7 size=12 read=0 same=1"},
        {"4000 entries", units(many), static_cast<uint32_t>(many.size() * 2),
         "rc=0 type=7 size=88002 read=0 same=1"},
        {"1 MiB", units(megabyte), static_cast<uint32_t>(megabyte.size() * 2),
         "rc=0 type=7 size=1048576 read=0 same=1"},
    };
    int serial = 0;
    for (const Row& row : rows) {
        const std::wstring value = base::Format(L"m%d", serial++);
        KeyHandle key;
        ASSERT_EQ(P().registry.OpenKey(Hive::CurrentUser, Key(), win::kKeyAllAccess, &key), 0u);
        const uint32_t rcSet =
            P().registry.SetKeyValue(key, value, win::kRegMultiSz, row.bytes.data(), row.declared);
        uint32_t type = 0, size = 0;
        const uint32_t rc = P().registry.QueryValue(key, value, &type, nullptr, &size);
        std::vector<uint8_t> buffer(size + 1, 0xCC);
        uint32_t readSize = size;
        const uint32_t rcRead =
            P().registry.QueryValue(key, value, nullptr, size ? buffer.data() : nullptr, &readSize);
        P().registry.CloseKey(key);
        const bool same =
            readSize == size && size == row.declared &&
            std::string(buffer.begin(), buffer.begin() + size) == row.bytes.substr(0, row.declared);
        Check(std::string("REG_MULTI_SZ ") + row.name,
              Out()
                  .Add("rc", rcSet == 0 ? rc : rcSet)
                  .Add("type", type)
                  .Add("size", size)
                  .Add("read", rcRead)
                  .Add("same", same)
                  .str(),
              row.expected);
    }
}

// SHSetValueW on a key path none of whose keys exist, as the uninstall entry's first value
// is written, and the string's size read back with its terminator.
TEST_F(EngineTable, ShellValueOnNewKeys) {
    const std::wstring key = SubKey(L"Uninstall\\{5B0E3C2A-7D41-4F8E-9A36-C1D2E4F60718}");
    const std::vector<uint8_t> data = base::ToUtf16LE(std::wstring(L"Corvane\0", 8));
    const uint32_t rc = P().registry.SetValue(Hive::CurrentUser, key, L"DisplayName", win::kRegSz,
                                              data.data(), static_cast<uint32_t>(data.size()));
    uint32_t type = 0, size = 0;
    const uint32_t rcGet =
        P().registry.GetValue(Hive::CurrentUser, key, L"DisplayName", &type, nullptr, &size);
    Check("SHSetValueW creates two levels of keys",
          Out().Add("set", rc).Add("get", rcGet).Add("type", type).Add("size", size).str(),
          "set=0 get=0 type=1 size=16");
}

// The engine's links: no arguments, SW_SHOWNORMAL, saved with IPersistFile::Save(path,
// FALSE), also over an earlier link file.
TEST_F(EngineTable, LinksSavedOverEarlierOnes) {
    const std::wstring first = InFolder(L"first.exe");
    const std::wstring second = InFolder(L"second.exe");
    ASSERT_TRUE(WriteText(first, "MZ"));
    ASSERT_TRUE(WriteText(second, "MZ"));
    const std::wstring linkPath = InFolder(L"Corvane.lnk");
    std::string outcome;
    for (const std::wstring& target : {first, second}) {
        std::unique_ptr<platform::ShellLink> link;
        const int32_t hr = P().shell.CreateShellLink(&link);
        if (hr != win::kSOk || !link) {
            outcome += Out().Hex("create", static_cast<uint32_t>(hr)).str() + " ";
            continue;
        }
        link->SetPath(target);
        link->SetWorkingDirectory(Folder());
        link->SetShowCmd(win::kSwShowNormal);
        outcome += Out().Add("save", link->Save(linkPath, false) >= 0).str() + " ";
    }
    platform::ShellLinkInfo info;
    const bool read = P().shell.ReadShellLink(linkPath, &info);
    Check("a link saved twice holds the second target",
          outcome + Out()
                        .Add("read", read)
                        .Add("target", base::EqualsNoCase(info.target, second))
                        .Add("workdir", base::EqualsNoCase(info.workingDirectory, Folder()))
                        .Add("args", info.arguments)
                        .Add("show", info.showCmd)
                        .str(),
          "save=1 save=1 read=1 target=1 workdir=1 args=\"\" show=1");
}

// The special folders the engine asks for with the create flag, and the system folder.
TEST_F(EngineTable, FoldersTheEngineUses) {
    struct Row {
        const char* name;
        int csidl;
    };
    const Row rows[] = {
        {"CSIDL_PROGRAM_FILES", win::kCsidlProgramFiles},
        {"CSIDL_COMMON_PROGRAMS", win::kCsidlCommonPrograms},
        {"CSIDL_DESKTOPDIRECTORY", win::kCsidlDesktopDirectory},
        {"CSIDL_COMMON_DESKTOPDIRECTORY", win::kCsidlCommonDesktopDirectory},
        {"CSIDL_APPDATA", win::kCsidlAppData},
    };
    for (const Row& row : rows) {
        std::wstring path;
        ArmLastError();
        const bool ok = P().shell.GetSpecialFolderPath(row.csidl, true, &path);
        const uint32_t a = P().files.GetFileAttributes(path);
        Check(std::string("SHGetSpecialFolderPathW(create) ") + row.name,
              Out()
                  .Add("ok", ok)
                  .Add("fits", path.size() < win::kMaxPath)
                  .Add("absolute", path.size() > 3 && path[1] == L':' && path[2] == L'\\')
                  .Add("folder",
                       a != win::kInvalidFileAttributes && (a & win::kFileAttributeDirectory) != 0)
                  .str(),
              "ok=1 fits=1 absolute=1 folder=1");
    }
    std::wstring system;
    const bool ok = P().system.GetSystemDirectory(&system);
    const uint32_t a = P().files.GetFileAttributes(system + L"\\drivers");
    Check("GetSystemDirectoryW and its drivers folder",
          Out()
              .Add("ok", ok)
              .Add("trailingBackslash", !system.empty() && system.back() == L'\\')
              .Add("drivers",
                   a != win::kInvalidFileAttributes && (a & win::kFileAttributeDirectory) != 0)
              .str(),
          "ok=1 trailingBackslash=0 drivers=1");
}

// WritePrivateProfileStringW on the files prefs.dat may be: missing, read-only, hidden,
// and after its attributes were reset.
TEST_F(EngineTable, ProfileWrites) {
    platform::Files& f = P().files;
    struct Row {
        const char* name;
        uint32_t attributes;  // 0: no file before
        bool reset;           // SetFileAttributesW(FILE_ATTRIBUTE_NORMAL) first
        const char* expected;
        WineNote wine = {};
    };
    const Row rows[] = {
        {"a missing file", 0, false, "ok=1 disk=new"},
        {"a read-only file",
         win::kFileAttributeReadonly,
         false,
         "ok=0 err=5 disk=old",
         {"Wine keeps the read-only attribute in the Unix permissions, which do not stop a "
          "program run as root",
          "ok=1 disk=new"}},
        {"a hidden file", win::kFileAttributeHidden, false, "ok=1 disk=new"},
        {"a read-only, hidden file after the reset",
         win::kFileAttributeReadonly | win::kFileAttributeHidden, true, "ok=1 disk=new"},
    };
    int serial = 0;
    for (const Row& row : rows) {
        const std::wstring file = InFolder(base::Format(L"prefs%d.dat", serial++));
        if (row.attributes != 0) {
            ASSERT_TRUE(WriteText(file, "[common]\r\nRAM=old\r\n"));
            ASSERT_TRUE(f.SetFileAttributes(file, row.attributes));
        }
        if (row.reset)
            f.SetFileAttributes(file, win::kFileAttributeNormal);
        ArmLastError();
        const bool ok = f.WritePrivateProfileString(L"common", L"RAM", L"1", file);
        const uint32_t err = ok ? 0 : LastError();
        // What the file holds (the profile functions may answer from a cache).
        std::string bytes;
        const bool read = ReadBytes(file, &bytes);
        Out out;
        out.Add("ok", ok);
        if (!ok)
            out.Add("err", err);
        out.Add("disk", std::string(!read                                      ? "missing"
                                    : bytes.find("RAM=1") != std::string::npos ? "new"
                                                                               : "old"));
        ForceDelete(file);
        Check(std::string("WritePrivateProfileString on ") + row.name, out.str(), row.expected,
              row.wine);
    }
}

// GetPrivateProfileStringW and GetPrivateProfileIntW on the configuration files an
// administrator may hand over.
TEST_F(EngineTable, ProfileReadsOfBadFiles) {
    platform::Files& f = P().files;
    const std::string huge(100000, 'x');
    auto utf16 = [](const std::wstring& text) {
        const std::vector<uint8_t> b = base::ToUtf16LE(text);
        return std::string("\xFF\xFE", 2) + std::string(b.begin(), b.end());
    };
    struct Row {
        const char* name;
        std::string bytes;  // empty and |folder|: a folder of that name
        bool folder;
        const wchar_t* section;
        const wchar_t* key;
        uint32_t chars;
        std::string expected;  // string read (rc, value), then the integer read
        WineNote wine = {};
    };
    static const char kWineUtf8[] =
        "Wine reads a UTF-8 file with its byte-order mark as UTF-8; Windows reads it in the "
        "ANSI code page, the mark as three characters of the first line";
    const std::vector<Row> rows = {
        {"a folder", "", true, L"common", L"path", 256, "rc=0 value=\"\" int=7"},
        {"an empty file", "", false, L"common", L"path", 256, "rc=0 value=\"\" int=7"},
        {"binary garbage", std::string("\x00\x01\xff\xfe[x]\x00\r\npath=\x80\x81", 17), false,
         L"common", L"path", 256, "rc=0 value=\"\" int=7"},
        {"garbage, then the section", std::string("\x01\x02\xff\r\n[common]\r\npath=D:\\x\r\n"),
         false, L"common", L"path", 256, "rc=4 value=\"D:\\\\x\" int=0"},
        {"UTF-8 with BOM, section on the first line",
         "\xef\xbb\xbf[common]\r\npath=D:\\x\r\n",
         false,
         L"common",
         L"path",
         256,
         "rc=0 value=\"\" int=7",
         {kWineUtf8, "rc=4 value=\"D:\\\\x\" int=0"}},
        {"UTF-8 with BOM, section on the second line",
         "\xef\xbb\xbf\r\n[common]\r\npath=D:\\\xc3\x84\r\n",
         false,
         L"common",
         L"path",
         256,
         "rc=5 value=\"D:\\\\\\u00C3\\u201E\" int=0",
         {kWineUtf8, "rc=4 value=\"D:\\\\\\u00C4\" int=0"}},
        {"UTF-16LE with BOM", utf16(L"[common]\r\npath=D:\\\u00c4\r\n"), false, L"common", L"path",
         256, "rc=4 value=\"D:\\\\\\u00C4\" int=0"},
        {"a line of 100,000 characters before the section", huge + "\r\n[common]\r\npath=D:\\x\r\n",
         false, L"common", L"path", 256, "rc=4 value=\"D:\\\\x\" int=0"},
        {"a value of 100,000 characters, buffer of 256", "[common]\r\npath=" + huge + "\r\n", false,
         L"common", L"path", 256, "rc=255 value=<255 x> int=0"},
        {"a value of 100,000 characters, buffer of 131072", "[common]\r\npath=" + huge + "\r\n",
         false, L"common", L"path", 131072, "rc=100000 value=<100000 x> int=0"},
        {"a key without =", "[common]\r\ndesktopicon\r\npath\r\n", false, L"common", L"path", 256,
         "rc=0 value=\"\" int=7"},
        {"a key without = followed by one with", "[common]\r\npath\r\npath=D:\\x\r\n", false,
         L"common", L"path", 256, "rc=0 value=\"\" int=7"},
        {"duplicate keys: the first", "[common]\r\npath=1\r\npath=2\r\n", false, L"common", L"path",
         256, "rc=1 value=\"1\" int=1"},
        {"duplicate sections: only the first",
         "[common]\r\npath=1\r\n[other]\r\n[common]\r\nveil=C\r\n", false, L"common", L"veil", 256,
         "rc=0 value=\"\" int=7"},
        {"a relative path ending in a backslash", "[common]\r\npath = Apps\\Corvane\\ \r\n", false,
         L"common", L"path", 256, "rc=13 value=\"Apps\\\\Corvane\\\\\" int=0"},
        {"veil full of separators", "[common]\r\nveil=, ;\t,C,,D;\r\n", false, L"common", L"veil",
         128, "rc=10 value=\", ;\\t,C,,D;\" int=0"},
        {"veil longer than its buffer", "[common]\r\nveil=" + std::string(200, 'C') + "\r\n", false,
         L"common", L"veil", 128, "rc=127 value=<127 C> int=0"},
        {"integers", "[common]\r\ndesktopicon= 1 \r\n", false, L"common", L"desktopicon", 256,
         "rc=1 value=\"1\" int=1"},
    };
    int serial = 0;
    for (const Row& row : rows) {
        const std::wstring file = InFolder(base::Format(L"bad%d.ini", serial++));
        if (row.folder) {
            ASSERT_TRUE(f.CreateDirectory(file));
        } else {
            ASSERT_TRUE(WriteBytes(file, row.bytes));
        }
        std::wstring value = L"<untouched>";
        const uint32_t rc =
            f.GetPrivateProfileString(row.section, row.key, L"", &value, row.chars, file);
        const uint32_t number = f.GetPrivateProfileInt(row.section, row.key, 7, file);
        std::string shown = Quote(value);
        if (value.size() > 100 && value.find_first_not_of(value[0]) == std::wstring::npos) {
            shown = "<" + std::to_string(value.size()) + " " + Utf8(value.substr(0, 1)) + ">";
        }
        Check(std::string("profile read of ") + row.name,
              Out().Add("rc", rc).Add("value", shown).Add("int", number).str(), row.expected,
              row.wine);
    }
}

}  // namespace
}  // namespace conf
