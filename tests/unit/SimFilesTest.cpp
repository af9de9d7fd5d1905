#include <gtest/gtest.h>

#include "base/Text.h"
#include "sim/Machine.h"

namespace {

using platform::FileHandle;
using platform::FindData;
using platform::Hive;

constexpr uint32_t kReadOnly = win::kFileAttributeReadonly;
constexpr uint32_t kHidden = win::kFileAttributeHidden;
constexpr uint32_t kSystem = win::kFileAttributeSystem;
constexpr uint32_t kArchive = win::kFileAttributeArchive;

TEST(SimFilesTest, PathForms) {
    sim::Machine m;
    m.files().AddFile(L"C:\\Setup\\Data\\File.txt", "x");
    sim::VolumeConfig cd;
    cd.driveType = win::kDriveCdrom;
    cd.mediaPresent = false;
    m.volumes().AddVolume(L'D', cd);
    const std::wstring longPath = L"C:\\" + std::wstring(260, L'a');
    struct Row {
        std::wstring path;
        uint32_t error;  // 0: found
    } rows[] = {
        {L"C:\\Setup\\Data\\File.txt", 0},
        {L"c:\\SETUP\\data\\file.TXT", 0},
        {L"Data\\File.txt", 0},  // relative to C:\Setup
        {L".\\Data\\..\\Data\\File.txt", 0},
        {L"\\Setup\\Data\\File.txt", 0},     // root of the current drive
        {L"C:\\Setup\\Data\\File.txt.", 0},  // trailing dots dropped
        {L"C:/Setup/Data/File.txt", 0},
        {L"\\\\?\\C:\\Setup\\Data\\File.txt", 0},
        {L"\\\\.\\C:\\Setup\\Data\\File.txt", 0},
        {L"C:\\Setup\\Data\\Nope.txt", win::kErrorFileNotFound},
        {L"C:\\Setup\\Nope\\File.txt", win::kErrorPathNotFound},
        {L"C:\\Setup\\Data\\File.txt\\x", win::kErrorPathNotFound},
        {L"C:\\Setup\\Data\\File.txt\\", win::kErrorInvalidName},
        {L"Q:\\File.txt", win::kErrorPathNotFound},  // no such drive
        {L"D:\\File.txt", win::kErrorNotReady},      // CD drive without medium
        {L"C:\\Setup\\a<b", win::kErrorInvalidName},
        {longPath, win::kErrorPathNotFound},
        {L"", win::kErrorPathNotFound},
    };
    for (const auto& r : rows) {
        m.SetLastError(0);
        uint32_t attributes = m.files().GetFileAttributes(r.path);
        if (r.error == 0) {
            EXPECT_EQ(attributes, kArchive) << base::ToUtf8(r.path);
        } else {
            EXPECT_EQ(attributes, win::kInvalidFileAttributes) << base::ToUtf8(r.path);
            EXPECT_EQ(m.LastError(), r.error) << base::ToUtf8(r.path);
        }
    }
    EXPECT_EQ(m.files().GetFileAttributes(L"C:\\"),
              win::kFileAttributeDirectory | kHidden | kSystem);
    EXPECT_EQ(m.files().List(L"C:\\Setup\\Data"),
              (std::vector<std::wstring>{L"C:\\Setup\\Data", L"C:\\Setup\\Data\\File.txt"}));
}

TEST(SimFilesTest, CopyFileRules) {
    struct Row {
        const char* what;
        bool destExists;
        uint32_t destAttributes;
        uint32_t sourceAttributes;
        bool inUse, locked, failIfExists;
        bool ok;
        uint32_t error;
    } rows[] = {
        {"new", false, 0, kArchive, false, false, false, true, 0},
        {"over plain", true, kArchive, kArchive, false, false, false, true, 0},
        {"fail if exists", true, kArchive, kArchive, false, false, true, false,
         win::kErrorFileExists},
        {"over read-only", true, kReadOnly, kArchive, false, false, false, false,
         win::kErrorAccessDenied},
        {"over hidden", true, kHidden, kArchive, false, false, false, false,
         win::kErrorAccessDenied},
        {"hidden over hidden", true, kHidden, kHidden, false, false, false, true, 0},
        {"over system", true, kSystem, kArchive, false, false, false, false,
         win::kErrorAccessDenied},
        {"over in-use", true, kArchive, kArchive, true, false, false, false,
         win::kErrorSharingViolation},
        {"over locked", true, kArchive, kArchive, false, true, false, false,
         win::kErrorSharingViolation},
    };
    for (const auto& r : rows) {
        sim::Machine m;
        m.files().AddFile(L"C:\\Src\\a.bin", "new data");
        m.files().SetAttributes(L"C:\\Src\\a.bin", r.sourceAttributes | kReadOnly);
        m.files().MakeFolders(L"C:\\Dst");
        if (r.destExists) {
            m.files().AddFile(L"C:\\Dst\\a.bin", "old");
            m.files().SetAttributes(L"C:\\Dst\\a.bin", r.destAttributes);
            m.files().SetInUse(L"C:\\Dst\\a.bin", r.inUse);
            m.files().SetLocked(L"C:\\Dst\\a.bin", r.locked);
        }
        bool ok = m.files().CopyFile(L"C:\\Src\\a.bin", L"C:\\Dst\\a.bin", r.failIfExists);
        EXPECT_EQ(ok, r.ok) << r.what;
        if (ok) {
            EXPECT_EQ(m.files().ReadText(L"C:\\Dst\\a.bin"), "new data") << r.what;
            EXPECT_EQ(m.files().Attributes(L"C:\\Dst\\a.bin"),
                      r.sourceAttributes | kReadOnly | kArchive)
                << r.what;
        } else {
            EXPECT_EQ(m.LastError(), r.error) << r.what;
            if (r.destExists) {
                EXPECT_EQ(m.files().ReadText(L"C:\\Dst\\a.bin"), "old") << r.what;
            }
        }
    }
    sim::Machine m;
    EXPECT_FALSE(m.files().CopyFile(L"C:\\none", L"C:\\x", false));
    EXPECT_EQ(m.LastError(), win::kErrorFileNotFound);
    EXPECT_FALSE(m.files().CopyFile(L"C:\\Setup\\Setup.exe", L"C:\\NoDir\\x", false));
    EXPECT_EQ(m.LastError(), win::kErrorPathNotFound);
}

TEST(SimFilesTest, MoveAndDeleteRules) {
    struct Row {
        const char* what;
        uint32_t attributes;
        bool inUse, locked;
        bool moveOk, deleteOk;
        uint32_t moveError, deleteError;
    } rows[] = {
        {"plain", kArchive, false, false, true, true, 0, 0},
        {"read-only", kReadOnly, false, false, true, false, 0, win::kErrorAccessDenied},
        {"in use", kArchive, true, false, true, false, 0, win::kErrorAccessDenied},
        {"locked", kArchive, false, true, false, false, win::kErrorSharingViolation,
         win::kErrorSharingViolation},
    };
    for (const auto& r : rows) {
        sim::Machine m;
        for (const wchar_t* p : {L"C:\\M\\a.dll", L"C:\\M\\b.dll"}) {
            m.files().AddFile(p, "1");
            m.files().SetAttributes(p, r.attributes);
            m.files().SetInUse(p, r.inUse);
            m.files().SetLocked(p, r.locked);
        }
        EXPECT_EQ(m.files().MoveFile(L"C:\\M\\a.dll", L"C:\\M\\moved.dll"), r.moveOk) << r.what;
        if (!r.moveOk) {
            EXPECT_EQ(m.LastError(), r.moveError) << r.what;
        }
        EXPECT_EQ(m.files().Exists(L"C:\\M\\moved.dll"), r.moveOk) << r.what;
        EXPECT_EQ(m.files().DeleteFile(L"C:\\M\\b.dll"), r.deleteOk) << r.what;
        if (!r.deleteOk) {
            EXPECT_EQ(m.LastError(), r.deleteError) << r.what;
        }
        EXPECT_EQ(m.files().Exists(L"C:\\M\\b.dll"), !r.deleteOk) << r.what;
    }

    sim::Machine m;
    m.files().AddFile(L"C:\\M\\a", "new");
    m.files().AddFile(L"C:\\M\\b", "old");
    EXPECT_FALSE(m.files().MoveFile(L"C:\\M\\a", L"C:\\M\\B"));
    EXPECT_EQ(m.LastError(), win::kErrorAlreadyExists);
    const std::wstring b = L"C:\\M\\b";
    EXPECT_TRUE(m.files().MoveFileEx(L"C:\\M\\a", &b, win::kMovefileReplaceExisting));
    EXPECT_EQ(m.files().ReadText(L"C:\\M\\b"), "new");
    EXPECT_FALSE(m.files().Exists(L"C:\\M\\a"));
    // A folder moves with its content.
    m.files().AddFile(L"C:\\Tree\\Sub\\f.txt", "f");
    EXPECT_TRUE(m.files().MoveFile(L"C:\\Tree", L"C:\\Renamed"));
    EXPECT_EQ(m.files().ReadText(L"C:\\renamed\\sub\\F.TXT"), "f");
    EXPECT_FALSE(m.files().Exists(L"C:\\Tree"));
}

TEST(SimFilesTest, DelayedRenamesGoToSessionManager) {
    sim::Machine m;
    const std::wstring dest = L"C:\\Windows\\system32\\drivers\\new.sys";
    ASSERT_TRUE(
        m.files().MoveFileEx(L"C:\\Old\\gone.sys", nullptr, win::kMovefileDelayUntilReboot));
    ASSERT_TRUE(
        m.files().MoveFileEx(L"C:\\Setup\\new.sys", &dest,
                             win::kMovefileDelayUntilReboot | win::kMovefileReplaceExisting));
    ASSERT_TRUE(m.files().MoveFileEx(L"C:\\Setup\\x.sys", &dest, win::kMovefileDelayUntilReboot));
    const wchar_t sm[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
    auto raw = m.registry().GetRaw(Hive::LocalMachine, sm, L"PendingFileRenameOperations");
    ASSERT_TRUE(raw.has_value());
    EXPECT_EQ(raw->type, win::kRegMultiSz);
    std::wstring expected = std::wstring(L"\\??\\C:\\Old\\gone.sys") + L'\0' + L'\0' +
                            L"\\??\\C:\\Setup\\new.sys" + L'\0' + L"!\\??\\" + dest + L'\0' +
                            L"\\??\\C:\\Setup\\x.sys" + L'\0' + L"\\??\\" + dest + L'\0' + L'\0';
    EXPECT_EQ(base::FromUtf16LE(raw->bytes.data(), raw->bytes.size()), expected);
    auto pending = m.files().PendingRenames();
    ASSERT_EQ(pending.size(), 3u);
    EXPECT_EQ(pending[0].source, L"C:\\Old\\gone.sys");
    EXPECT_EQ(pending[0].destination, L"");
    EXPECT_EQ(pending[1].destination, dest);
    EXPECT_TRUE(pending[1].replaceExisting);

    // Without rights to the Session Manager key the request fails.
    m.registry().DenyWrite(Hive::LocalMachine, sm);
    EXPECT_FALSE(m.files().MoveFileEx(L"C:\\a", nullptr, win::kMovefileDelayUntilReboot));
    EXPECT_EQ(m.LastError(), win::kErrorAccessDenied);
    EXPECT_FALSE(m.files().MoveFileEx(L"C:\\a", nullptr, 0));
    EXPECT_EQ(m.LastError(), win::kErrorInvalidParameter);
}

TEST(SimFilesTest, CreateFileDispositions) {
    struct Row {
        const char* what;
        bool exists;
        uint32_t attributes;
        uint32_t disposition;
        uint32_t flags;
        bool ok;
        uint32_t lastError;
        std::string contentAfter;
    } rows[] = {
        {"new on missing", false, 0, win::kCreateNew, 0, true, 0, ""},
        {"new on existing", true, kArchive, win::kCreateNew, 0, false, win::kErrorFileExists,
         "data"},
        {"always on missing", false, 0, win::kCreateAlways, 0, true, 0, ""},
        {"always on existing", true, kArchive, win::kCreateAlways, 0, true,
         win::kErrorAlreadyExists, ""},
        {"always on hidden", true, kHidden, win::kCreateAlways, 0, false, win::kErrorAccessDenied,
         "data"},
        {"always on hidden asking hidden", true, kHidden, win::kCreateAlways, kHidden, true,
         win::kErrorAlreadyExists, ""},
        {"always on read-only", true, kReadOnly, win::kCreateAlways, kReadOnly, false,
         win::kErrorAccessDenied, "data"},
        {"open-always on missing", false, 0, win::kOpenAlways, 0, true, 0, ""},
        {"open-always on existing", true, kArchive, win::kOpenAlways, 0, true,
         win::kErrorAlreadyExists, "data"},
        {"existing on missing", false, 0, win::kOpenExisting, 0, false, win::kErrorFileNotFound,
         ""},
        {"truncate", true, kArchive, win::kTruncateExisting, 0, true, 0, ""},
        {"bad disposition", true, kArchive, 9, 0, false, win::kErrorInvalidParameter, "data"},
    };
    for (const auto& r : rows) {
        sim::Machine m;
        const wchar_t path[] = L"C:\\Setup\\f.dat";
        if (r.exists) {
            m.files().AddFile(path, "data");
            m.files().SetAttributes(path, r.attributes);
        }
        m.SetLastError(999);
        FileHandle h = m.files().CreateFile(path, win::kGenericRead | win::kGenericWrite, 0,
                                            r.disposition, r.flags);
        EXPECT_EQ(static_cast<bool>(h), r.ok) << r.what;
        EXPECT_EQ(m.LastError(), r.lastError) << r.what;
        if (r.ok || r.exists) {
            EXPECT_EQ(m.files().ReadText(path), r.contentAfter) << r.what;
        }
        if (h) {
            EXPECT_TRUE(m.files().CloseHandle(h)) << r.what;
        }
    }
}

TEST(SimFilesTest, SharingBetweenHandles) {
    struct Row {
        uint32_t firstAccess, firstShare, secondAccess, secondShare;
        bool secondOk;
    } rows[] = {
        {win::kGenericRead, win::kFileShareRead, win::kGenericRead, win::kFileShareRead, true},
        {win::kGenericRead, win::kFileShareRead, win::kGenericWrite,
         win::kFileShareRead | win::kFileShareWrite, false},
        {win::kGenericRead, win::kFileShareRead | win::kFileShareWrite, win::kGenericWrite,
         win::kFileShareRead, true},
        {win::kGenericWrite, win::kFileShareRead, win::kGenericRead, win::kFileShareRead, false},
        {win::kGenericWrite, win::kFileShareRead, win::kGenericRead,
         win::kFileShareRead | win::kFileShareWrite, true},
        {win::kGenericRead, 0, win::kFileReadAttributes, 0, true},
        {win::kGenericRead, 0, win::kGenericRead, win::kFileShareRead, false},
    };
    for (const auto& r : rows) {
        sim::Machine m;
        m.files().AddFile(L"C:\\s.bin", "x");
        FileHandle a =
            m.files().CreateFile(L"C:\\s.bin", r.firstAccess, r.firstShare, win::kOpenExisting, 0);
        ASSERT_TRUE(a);
        FileHandle b = m.files().CreateFile(L"C:\\S.BIN", r.secondAccess, r.secondShare,
                                            win::kOpenExisting, 0);
        EXPECT_EQ(static_cast<bool>(b), r.secondOk)
            << std::hex << r.firstAccess << "/" << r.firstShare << " then " << r.secondAccess << "/"
            << r.secondShare;
        if (!b) {
            EXPECT_EQ(m.LastError(), win::kErrorSharingViolation);
        }
        // A file open without delete sharing cannot be deleted or renamed.
        EXPECT_FALSE(m.files().DeleteFile(L"C:\\s.bin"));
        EXPECT_EQ(m.LastError(), win::kErrorSharingViolation);
    }
    sim::Machine m;
    m.files().AddFile(L"C:\\Setup\\run.exe", "MZ");
    m.files().SetInUse(L"C:\\Setup\\run.exe");
    EXPECT_TRUE(m.files().CreateFile(L"C:\\Setup\\run.exe", win::kGenericRead, win::kFileShareRead,
                                     win::kOpenExisting, 0));
    EXPECT_FALSE(
        m.files().CreateFile(L"C:\\Setup\\run.exe", win::kGenericWrite, 0, win::kOpenExisting, 0));
    EXPECT_EQ(m.LastError(), win::kErrorSharingViolation);
    m.files().SetLocked(L"C:\\Setup\\run.exe");
    EXPECT_FALSE(m.files().CreateFile(L"C:\\Setup\\run.exe", win::kGenericRead, win::kFileShareRead,
                                      win::kOpenExisting, 0));
    EXPECT_EQ(m.LastError(), win::kErrorSharingViolation);
}

TEST(SimFilesTest, SparseDataPositionsAndDiskFull) {
    sim::Machine m;
    const wchar_t path[] = L"C:\\Data\\overlay.img";
    const uint64_t big = 56ull << 20;
    ASSERT_TRUE(m.files().AddSparseFile(path, big));
    EXPECT_EQ(m.files().StoredBytes(path), 0u);
    FileHandle h = m.files().CreateFile(path, win::kGenericRead | win::kGenericWrite, 0,
                                        win::kOpenExisting, win::kFileFlagWriteThrough);
    ASSERT_TRUE(h);
    EXPECT_TRUE(m.files().LastOpenWriteThrough(path));
    std::vector<uint8_t> header(512, 0xAB);
    uint32_t done = 0;
    ASSERT_TRUE(m.files().WriteFile(h, header.data(), 512, &done));
    EXPECT_EQ(done, 512u);
    EXPECT_LE(m.files().StoredBytes(path), 8192u);
    uint64_t size = 0;
    ASSERT_TRUE(m.files().GetFileSize(h, &size));
    EXPECT_EQ(size, big);
    // Reads of unwritten ranges give zeros; reads stop at the end.
    int64_t pos = 0;
    ASSERT_TRUE(m.files().SetFilePointer(h, -4, win::kFileEnd, &pos));
    EXPECT_EQ(pos, static_cast<int64_t>(big - 4));
    uint8_t tail[16];
    std::fill(std::begin(tail), std::end(tail), 0xFF);
    ASSERT_TRUE(m.files().ReadFile(h, tail, sizeof(tail), &done));
    EXPECT_EQ(done, 4u);
    EXPECT_EQ(tail[0], 0);
    EXPECT_FALSE(m.files().SetFilePointer(h, -1, win::kFileBegin, nullptr));
    EXPECT_EQ(m.LastError(), 131u);
    // Shrink and grow with SetEndOfFile: the shrunk part reads as zeros again.
    ASSERT_TRUE(m.files().SetFilePointer(h, 100, win::kFileBegin, nullptr));
    ASSERT_TRUE(m.files().SetEndOfFile(h));
    ASSERT_TRUE(m.files().SetFilePointer(h, 1000, win::kFileBegin, nullptr));
    ASSERT_TRUE(m.files().SetEndOfFile(h));
    auto bytes = m.files().ReadRange(path, 98, 4);
    EXPECT_EQ(*bytes, (std::vector<uint8_t>{0xAB, 0xAB, 0, 0}));
    // Growth beyond the free space fails.
    m.volumes().Volume(L'C')->freeBytes = 10;
    ASSERT_TRUE(m.files().SetFilePointer(h, 0, win::kFileEnd, nullptr));
    EXPECT_FALSE(m.files().WriteFile(h, header.data(), 11, &done));
    EXPECT_EQ(m.LastError(), win::kErrorDiskFull);
    EXPECT_TRUE(m.files().WriteFile(h, header.data(), 10, &done));
    EXPECT_EQ(m.volumes().Volume(L'C')->freeBytes, 0u);
    EXPECT_TRUE(m.files().CloseHandle(h));
    EXPECT_FALSE(m.files().CloseHandle(h));
    EXPECT_EQ(m.LastError(), win::kErrorInvalidHandle);
    // Read-only handle cannot write.
    h = m.files().CreateFile(path, win::kGenericRead, win::kFileShareRead, win::kOpenExisting, 0);
    EXPECT_FALSE(m.files().WriteFile(h, header.data(), 1, &done));
    EXPECT_EQ(m.LastError(), win::kErrorAccessDenied);
    EXPECT_FALSE(m.files().LastOpenWriteThrough(path));
}

TEST(SimFilesTest, FoldersAndEnumeration) {
    sim::Machine m;
    for (const wchar_t* name : {L"b.txt", L"A_b.txt", L"aab.txt", L"C.log"}) {
        m.files().AddFile(std::wstring(L"C:\\List\\") + name, "1");
    }
    m.files().MakeFolders(L"C:\\List\\Sub");
    auto names = [&](const std::wstring& pattern) {
        std::vector<std::wstring> out;
        FindData d;
        platform::FindHandle f = m.files().FindFirstFile(pattern, &d);
        if (!f)
            return out;
        do
            out.push_back(d.name);
        while (m.files().FindNextFile(f, &d));
        EXPECT_EQ(m.LastError(), win::kErrorNoMoreFiles);
        EXPECT_TRUE(m.files().FindClose(f));
        return out;
    };
    EXPECT_EQ(names(L"C:\\List\\*"), (std::vector<std::wstring>{L".", L"..", L"aab.txt", L"A_b.txt",
                                                                L"b.txt", L"C.log", L"Sub"}));
    EXPECT_EQ(names(L"C:\\List\\*.TXT"),
              (std::vector<std::wstring>{L"aab.txt", L"A_b.txt", L"b.txt"}));
    EXPECT_EQ(names(L"C:\\List\\?.log"), (std::vector<std::wstring>{L"C.log"}));
    EXPECT_EQ(names(L"C:\\List"), (std::vector<std::wstring>{L"List"}));
    EXPECT_NE(names(L"C:\\*").front(), L".");

    FindData d;
    struct Row {
        const wchar_t* pattern;
        uint32_t error;
    } misses[] = {
        {L"C:\\List\\*.none", win::kErrorFileNotFound},
        {L"C:\\List\\", win::kErrorFileNotFound},
        {L"C:\\Nope\\*", win::kErrorPathNotFound},
    };
    for (const auto& r : misses) {
        EXPECT_FALSE(m.files().FindFirstFile(r.pattern, &d)) << base::ToUtf8(r.pattern);
        EXPECT_EQ(m.LastError(), r.error) << base::ToUtf8(r.pattern);
    }

    EXPECT_FALSE(m.files().CreateDirectory(L"C:\\List\\Sub"));
    EXPECT_EQ(m.LastError(), win::kErrorAlreadyExists);
    EXPECT_FALSE(m.files().CreateDirectory(L"C:\\X\\Y"));
    EXPECT_EQ(m.LastError(), win::kErrorPathNotFound);
    EXPECT_FALSE(m.files().CreateDirectory(L"C:\\" + std::wstring(250, L'd')));
    EXPECT_EQ(m.LastError(), win::kErrorFilenameExcedRange);
    EXPECT_FALSE(m.files().RemoveDirectory(L"C:\\List"));
    EXPECT_EQ(m.LastError(), win::kErrorDirNotEmpty);
    m.files().SetCurrentDirectory(L"C:\\List\\Sub");
    EXPECT_FALSE(m.files().RemoveDirectory(L"C:\\List\\Sub"));  // the current folder
    EXPECT_EQ(m.LastError(), win::kErrorSharingViolation);
    m.files().SetCurrentDirectory(L"C:\\Setup");
    EXPECT_TRUE(m.files().RemoveDirectory(L"C:\\List\\Sub"));
    EXPECT_FALSE(m.files().IsDirectory(L"C:\\List\\Sub"));

    std::wstring temp1, temp2;
    uint32_t u1 = m.files().GetTempFileName(L"C:\\List", L"cvsetup", &temp1);
    uint32_t u2 = m.files().GetTempFileName(L"C:\\List\\", L"cv", &temp2);
    EXPECT_NE(u1, 0u);
    EXPECT_NE(temp1, temp2);
    EXPECT_EQ(temp1, base::Format(L"C:\\List\\cvs%X.tmp", u1));
    EXPECT_EQ(m.files().Size(temp2), 0u);
    EXPECT_EQ(u2, u1 + 1);
    EXPECT_EQ(m.files().GetTempFileName(L"C:\\Missing", L"cv", &temp1), 0u);
    EXPECT_EQ(m.LastError(), 267u);

    std::wstring module;
    EXPECT_TRUE(m.files().GetModuleFileName(&module));
    EXPECT_EQ(module, L"C:\\Setup\\Setup.exe");
}

TEST(SimFilesTest, FailureInjection) {
    sim::Machine m;
    m.files().AddFile(L"C:\\Src\\a", "1");
    m.files().FailNext(sim::FileOp::CopyFile, win::kErrorAccessDenied, 2);
    EXPECT_FALSE(m.files().CopyFile(L"C:\\Src\\a", L"C:\\Src\\b", false));
    EXPECT_EQ(m.LastError(), win::kErrorAccessDenied);
    EXPECT_FALSE(m.files().CopyFile(L"C:\\Src\\a", L"C:\\Src\\b", false));
    EXPECT_TRUE(m.files().CopyFile(L"C:\\Src\\a", L"C:\\Src\\b", false));

    m.files().FailNext("DeleteFile", win::kErrorSharingViolation);
    EXPECT_FALSE(m.files().DeleteFile(L"C:\\Src\\b"));
    EXPECT_EQ(m.LastError(), win::kErrorSharingViolation);
    EXPECT_TRUE(m.files().Exists(L"C:\\Src\\b"));

    m.files().FailPath(L"C:\\Windows\\*.sys", sim::FileOp::CopyFile, win::kErrorAccessDenied);
    m.files().MakeFolders(L"C:\\Windows");
    EXPECT_FALSE(m.files().CopyFile(L"C:\\Src\\a", L"c:\\windows\\cvflt.SYS", false));
    EXPECT_EQ(m.LastError(), win::kErrorAccessDenied);
    EXPECT_FALSE(m.files().CopyFile(L"C:\\Src\\a", L"C:\\Windows\\x.sys", false));
    EXPECT_TRUE(m.files().CopyFile(L"C:\\Src\\a", L"C:\\Windows\\x.dll", false));
    EXPECT_TRUE(m.files().DeleteFile(L"C:\\Windows\\x.dll"));
    m.files().ClearFailures();
    EXPECT_TRUE(m.files().CopyFile(L"C:\\Src\\a", L"C:\\Windows\\x.sys", false));
}

TEST(SimFilesTest, ProfileReading) {
    sim::Machine m;
    m.files().AddFile(L"C:\\Setup\\setup.ini",
                      "; comment\r\n"
                      "  [ Main ]\r\n"
                      "Name =  Corvane Guard  \r\n"
                      "Quoted=\"  spaced  \"\r\n"
                      "Single='x'\r\n"
                      "Mixed='x\"\r\n"
                      "Empty=\r\n"
                      ";Hidden=1\r\n"
                      "Latin=caf\xe9 \x80\r\n"
                      "Dup=first\r\n"
                      "Dup=second\r\n"
                      "[Other]\r\n"
                      "Name=other\r\n"
                      "[main]\r\n"
                      "Late=ignored\r\n");
    struct Row {
        const wchar_t* section;
        const wchar_t* key;
        const wchar_t* defaultValue;
        uint32_t bufferChars;
        const wchar_t* expected;
        uint32_t lastError;
    } rows[] = {
        {L"main", L"NAME", L"d", 100, L"Corvane Guard", 0},
        {L" Main ", L" name ", L"d", 100, L"Corvane Guard", 0},
        {L"Main", L"Quoted", L"d", 100, L"  spaced  ", 0},
        {L"Main", L"Single", L"d", 100, L"x", 0},
        {L"Main", L"Mixed", L"d", 100, L"'x\"", 0},
        {L"Main", L"Empty", L"d", 100, L"", 0},
        {L"Main", L"Hidden", L"d", 100, L"d", win::kErrorFileNotFound},
        {L"Main", L";Hidden", L"d", 100, L"d", win::kErrorFileNotFound},
        {L"Main", L"Latin", L"d", 100, L"caf\u00e9 \u20ac", 0},
        {L"Main", L"Dup", L"d", 100, L"first", 0},
        {L"Main", L"Late", L"dflt", 100, L"dflt", win::kErrorFileNotFound},
        {L"Other", L"Name", L"d", 100, L"other", 0},
        {L"Main", L"Missing", L"def  ", 100, L"def", win::kErrorFileNotFound},
        {L"Main", L"Missing", L"  def\t ", 100, L"  def\t", win::kErrorFileNotFound},
        {L"Nope", L"Name", L"x", 100, L"x", win::kErrorFileNotFound},
        {L"Main", L"Name", L"d", 5, L"Corv", win::kErrorMoreData},
        {L"Main", L"Name", L"d", 0, L"", 0},
    };
    for (const auto& r : rows) {
        std::wstring got = L"unset";
        uint32_t length = m.files().GetPrivateProfileString(r.section, r.key, r.defaultValue, &got,
                                                            r.bufferChars, L"C:\\Setup\\setup.ini");
        EXPECT_EQ(got, r.expected) << base::ToUtf8(r.section) << "/" << base::ToUtf8(r.key);
        EXPECT_EQ(length, got.size()) << base::ToUtf8(r.key);
        if (r.bufferChars) {
            EXPECT_EQ(m.LastError(), r.lastError) << base::ToUtf8(r.key);
        }
    }
    std::wstring got;
    EXPECT_EQ(m.files().GetPrivateProfileString(L"a", L"b", L"dflt", &got, 10, L"C:\\none.ini"),
              4u);
    EXPECT_EQ(got, L"dflt");
    EXPECT_EQ(m.LastError(), win::kErrorFileNotFound);
    // A bare name is looked for in the Windows folder.
    m.files().AddFile(L"C:\\Windows\\cv.ini", "[s]\r\nk=win\r\n");
    EXPECT_EQ(m.files().GetPrivateProfileString(L"s", L"k", L"", &got, 10, L"cv.ini"), 3u);
    EXPECT_EQ(got, L"win");
}

TEST(SimFilesTest, ProfileIntegers) {
    // A value below zero gives 0, as GetPrivateProfileInt is documented to return.
    struct Row {
        const char* text;
        uint32_t expected;
    } rows[] = {
        {"42", 42},    {"  7", 7},   {"+8", 8},         {"-5", 0},    {"-0", 0},
        {"12abc", 12}, {"abc", 0},   {"0x1F", 31},      {"0X10", 16}, {"010", 10},
        {"", 99},      {"\"3\"", 3}, {"4294967297", 1},
    };
    for (const auto& r : rows) {
        sim::Machine m;
        m.files().AddFile(L"C:\\i.ini", std::string("[s]\r\nn=") + r.text + "\r\n");
        EXPECT_EQ(m.files().GetPrivateProfileInt(L"s", L"n", 99, L"C:\\i.ini"), r.expected)
            << r.text;
    }
    sim::Machine m;
    EXPECT_EQ(m.files().GetPrivateProfileInt(L"s", L"n", -3, L"C:\\none.ini"), 0u - 3u);
}

TEST(SimFilesTest, ProfileWriting) {
    sim::Machine m;
    const wchar_t ini[] = L"C:\\Setup\\w.ini";
    ASSERT_TRUE(m.files().WritePrivateProfileString(L"Main", L"A", L"1", ini));
    ASSERT_TRUE(m.files().WritePrivateProfileString(L"Main", L"B", L"2", ini));
    ASSERT_TRUE(m.files().WritePrivateProfileString(L"Next", L"C", L"3", ini));
    ASSERT_TRUE(m.files().WritePrivateProfileString(L"MAIN", L"a", L"one", ini));
    ASSERT_TRUE(m.files().WritePrivateProfileString(L"main", L"D", L"caf\u00e9", ini));
    EXPECT_EQ(*m.files().ReadText(ini), "[Main]\r\nA=one\r\nB=2\r\nD=caf\xe9\r\n[Next]\r\nC=3\r\n");

    // A UTF-16LE file stays UTF-16LE.
    std::vector<uint8_t> unicode = {0xFF, 0xFE};
    std::vector<uint8_t> body = base::ToUtf16LE(L"[S]\r\nK=\u0416\r\n");
    unicode.insert(unicode.end(), body.begin(), body.end());
    m.files().AddFile(L"C:\\Setup\\u.ini", unicode);
    std::wstring got;
    EXPECT_EQ(m.files().GetPrivateProfileString(L"S", L"K", L"", &got, 10, L"C:\\Setup\\u.ini"),
              1u);
    EXPECT_EQ(got, L"\u0416");
    ASSERT_TRUE(m.files().WritePrivateProfileString(L"S", L"L", L"\u0417", L"C:\\Setup\\u.ini"));
    auto bytes = *m.files().ReadBytes(L"C:\\Setup\\u.ini");
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(base::FromUtf16LE(bytes.data() + 2, bytes.size() - 2),
              L"[S]\r\nK=\u0416\r\nL=\u0417\r\n");

    m.files().SetAttributes(ini, kReadOnly);
    EXPECT_FALSE(m.files().WritePrivateProfileString(L"Main", L"A", L"x", ini));
    EXPECT_EQ(m.LastError(), win::kErrorAccessDenied);
    EXPECT_FALSE(m.files().WritePrivateProfileString(L"Main", L"A", L"x", L"C:\\No\\w.ini"));
    EXPECT_EQ(m.LastError(), win::kErrorPathNotFound);
}

}  // namespace
