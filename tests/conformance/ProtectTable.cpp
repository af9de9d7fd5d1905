// What the protection configuration relies on: the GUID text, the application-data folder
// with the create flag, the settings file when it is hidden and read-only, the volume and
// marker paths with the disk requests, hard and symbolic links, a library whose dependency
// lies beside it, the companion program started hidden and waited for, and the C runtime's
// generator seeded once.
#include <cstring>

#include "Conformance.h"
#include "Setup/protect/Companions.h"
#include "Setup/protect/ProtectionSettings.h"
#include "base/Text.h"

namespace conf {
namespace {

class ProtectTable : public ConformanceTest {
protected:
    // A file opened for its attributes only, as itself even when it is a link.
    bool Information(const std::wstring& path, platform::FileInformation* info) {
        platform::Files& f = P().files;
        platform::FileHandle h = f.CreateFile(
            path, win::kFileReadAttributes,
            win::kFileShareRead | win::kFileShareWrite | win::kFileShareDelete, win::kOpenExisting,
            win::kFileFlagOpenReparsePoint | win::kFileFlagBackupSemantics);
        if (!h)
            return false;
        const bool ok = f.GetFileInformationByHandle(h, info);
        f.CloseHandle(h);
        return ok;
    }

    std::wstring ProgramFolder() {
        const std::wstring program = E().KnownModulePath();
        return program.substr(0, program.rfind(L'\\'));
    }

    // LoadLibraryEx, then FreeLibrary at once (so that no loaded copy of the dependency
    // answers a later load): "module=1" or "module=0 err=N".
    std::string Load(const std::wstring& path, uint32_t flags, bool plain = false) {
        platform::Processes& p = P().processes;
        ArmLastError();
        platform::ModuleHandle m = plain ? p.LoadLibrary(path) : p.LoadLibraryEx(path, flags);
        Out out;
        out.Add("module", static_cast<bool>(m));
        if (m) {
            const platform::ProcAddress proc = p.GetProcAddress(m, "DllRegisterServer");
            out.Hex("hr", proc ? static_cast<uint32_t>(p.CallNoArgumentProc(proc)) : 0xFFFFFFFFu);
            p.FreeLibrary(m);
        } else {
            out.Add("err", LastError());
        }
        return out.str();
    }
};

bool IsLowerGuidText(const std::wstring& text) {
    if (text.size() != 38 || text[0] != L'{' || text[37] != L'}')
        return false;
    for (size_t i = 1; i < 37; ++i) {
        const wchar_t c = text[i];
        const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        if (dash ? c != L'-' : !((c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f')))
            return false;
    }
    return true;
}

TEST_F(ProtectTable, GuidText) {
    // The program's text of a new GUID is StringFromGUID2's in lower case: Data4's bytes
    // in order.
    for (int i = 0; i < 4; ++i) {
        platform::Guid g;
        const int32_t hr = P().system.CreateGuid(&g);
        const std::wstring text = FormatGuidText(g);
        Check("CoCreateGuid, then the GUID text " + std::to_string(i),
              Out()
                  .Hex("hr", static_cast<uint32_t>(hr))
                  .Add("form", IsLowerGuidText(text))
                  .Add("sameAsStringFromGUID2", text == base::ToLower(E().GuidString(g)))
                  .str(),
              "hr=00000000 form=1 sameAsStringFromGUID2=1");
    }
    platform::Guid known;
    known.data1 = 0x0123ABCD;
    known.data2 = 0x4567;
    known.data3 = 0x89EF;
    const uint8_t data4[8] = {0xA0, 0x0B, 0x1C, 0x2D, 0x3E, 0x4F, 0x50, 0x61};
    std::memcpy(known.data4, data4, 8);
    Check("StringFromGUID2 of a known GUID", Out().Add("text", E().GuidString(known)).str(),
          "text=\"{0123ABCD-4567-89EF-A00B-1C2D3E4F5061}\"");
}

TEST_F(ProtectTable, ApplicationDataFolder) {
    std::wstring path;
    ArmLastError();
    const int32_t hr = P().shell.GetFolderPath(win::kCsidlAppData | win::kCsidlFlagCreate, &path);
    std::wstring root;
    const bool cut = ProfilesRootOf(path, &root);
    const uint32_t attributes = P().files.GetFileAttributes(path);
    const uint32_t rootAttributes = cut ? P().files.GetFileAttributes(root) : 0;
    std::printf("  application data: %s, profiles root: %s\n", Quote(path).c_str(),
                Quote(root).c_str());
    Check("SHGetFolderPath(CSIDL_APPDATA | CSIDL_FLAG_CREATE), then the profiles root",
          Out()
              .Hex("hr", static_cast<uint32_t>(hr))
              .Add("folder", attributes != win::kInvalidFileAttributes &&
                                 (attributes & win::kFileAttributeDirectory) != 0)
              .Add("cut", cut)
              .Add("rootFolder", cut && rootAttributes != win::kInvalidFileAttributes &&
                                     (rootAttributes & win::kFileAttributeDirectory) != 0)
              .str(),
          "hr=00000000 folder=1 cut=1 rootFolder=1");
}

TEST_F(ProtectTable, SettingsFileHiddenAndReadOnly) {
    platform::Files& f = P().files;
    const std::wstring prefs = InFolder(L"prefs.dat");
    ASSERT_TRUE(WriteText(prefs, "[common]\r\nveil=D\r\n"));
    struct Row {
        const char* name;
        uint32_t attributes;
        const wchar_t* value;
        const char* expected;
        WineNote wine;
    };
    const Row rows[] = {
        {"hidden and read-only",
         win::kFileAttributeHidden | win::kFileAttributeReadonly,
         L"1",
         "ok=0 err=5",
         {"Wine's profile writer replaces a read-only file", "ok=1 hash=\"1\""}},
        {"hidden", win::kFileAttributeHidden, L"2", "ok=1 hash=\"2\"", {}},
        {"attributes reset to normal first",
         win::kFileAttributeNormal,
         L"3",
         "ok=1 hash=\"3\"",
         {}},
    };
    for (const Row& row : rows) {
        f.SetFileAttributes(prefs, row.attributes);
        ArmLastError();
        const bool ok = f.WritePrivateProfileString(L"common", L"hash", row.value, prefs);
        Out out;
        out.Add("ok", ok);
        if (!ok) {
            out.Add("err", LastError());
        } else {
            std::wstring read;
            f.GetPrivateProfileString(L"common", L"hash", L"", &read, 64, prefs);
            out.Add("hash", read);
        }
        Check(std::string("WritePrivateProfileString on a settings file: ") + row.name, out.str(),
              row.expected, row.wine);
    }
    std::wstring veil;
    f.GetPrivateProfileString(L"common", L"veil", L"", &veil, 64, prefs);
    Check("the other keys stay", Out().Add("veil", veil).str(), "veil=\"D\"");
}

TEST_F(ProtectTable, VolumeDevice) {
    platform::Files& f = P().files;
    platform::Volumes& v = P().volumes;
    // The marker's geometry device is opened for reading data.
    ArmLastError();
    platform::FileHandle volume =
        f.CreateFile(L"\\\\.\\C:", win::kFileReadData, win::kFileShareRead | win::kFileShareWrite,
                     win::kOpenExisting, 0);
    Check("CreateFile \\\\.\\C: for FILE_READ_DATA",
          Out().Add("handle", static_cast<bool>(volume)).str(), "handle=1");
    if (!volume)
        return;
    uint8_t out[144] = {};
    uint32_t returned = 0;
    const bool geometry =
        v.DeviceIoControl(volume, win::kIoctlDiskGetDriveGeometry, nullptr, 0, out, 24, &returned);
    uint32_t bytesPerSector = 0;
    std::memcpy(&bytesPerSector, out + 20, 4);
    int64_t cylinders = 0;
    std::memcpy(&cylinders, out, 8);
    uint32_t tracks = 0, sectors = 0;
    std::memcpy(&tracks, out + 12, 4);
    std::memcpy(&sectors, out + 16, 4);
    std::printf("  geometry: %lld cylinders, %u tracks, %u sectors of %u bytes\n",
                static_cast<long long>(cylinders), tracks, sectors, bytesPerSector);
    Check("IOCTL_DISK_GET_DRIVE_GEOMETRY on a volume opened for reading",
          Out()
              .Add("ok", geometry)
              .Add("returned", returned)
              .Add("bytesPerSector", bytesPerSector)
              .Add("cylinders", cylinders > 0)
              .str(),
          "ok=1 returned=24 bytesPerSector=512 cylinders=1");

    struct Request {
        const char* name;
        uint32_t code;
        uint32_t size;
        size_t lengthAt;
        const char* expected;
        WineNote wine;
    };
    const Request requests[] = {
        {"IOCTL_DISK_GET_PARTITION_INFO on a volume",
         win::kIoctlDiskGetPartitionInfo,
         32,
         8,
         "ok=1 returned=32 length=1",
         {"Wine answers no partition request for a drive that maps a folder", "ok=0 err=50"}},
        {"IOCTL_DISK_GET_PARTITION_INFO_EX on a volume",
         win::kIoctlDiskGetPartitionInfoEx,
         144,
         16,
         "ok=1 returned=144 length=1",
         {"Wine answers no partition request for a drive that maps a folder", "ok=0 err=50"}},
    };
    for (const Request& r : requests) {
        std::memset(out, 0, sizeof out);
        returned = 0;
        ArmLastError();
        const bool ok = v.DeviceIoControl(volume, r.code, nullptr, 0, out, r.size, &returned);
        Out got;
        got.Add("ok", ok);
        if (ok) {
            int64_t length = 0;
            std::memcpy(&length, out + r.lengthAt, 8);
            got.Add("returned", returned).Add("length", length > 0);
        } else {
            got.Add("err", LastError());
        }
        Check(r.name, got.str(), r.expected, r.wine);
    }
    f.CloseHandle(volume);
}

TEST_F(ProtectTable, MarkerPaths) {
    platform::Files& f = P().files;
    // A file named through the volume's device path, as the marker is.
    const std::wstring marker = L"\\\\.\\" + InFolder(L"cvflt0.sys");
    ArmLastError();
    platform::FileHandle h =
        f.CreateFile(marker, win::kGenericRead | win::kGenericWrite,
                     win::kFileShareRead | win::kFileShareWrite, win::kOpenAlways,
                     win::kFileFlagWriteThrough | win::kFileAttributeHidden |
                         win::kFileAttributeSystem | win::kFileFlagOpenReparsePoint);
    const uint32_t openError = LastError();
    Check("CreateFile \\\\.\\C:\\...\\cvflt0.sys, new, OPEN_ALWAYS",
          Out().Add("handle", static_cast<bool>(h)).Add("err", openError).str(), "handle=1 err=0");
    if (!h)
        return;
    const uint16_t none = win::kCompressionFormatNone;
    uint32_t returned = 0;
    ArmLastError();
    const bool uncompressed =
        P().volumes.DeviceIoControl(h, win::kFsctlSetCompression, &none, 2, nullptr, 0, &returned);
    Out compression;
    compression.Add("ok", uncompressed);
    if (!uncompressed)
        compression.Add("err", LastError());
    Check(
        "FSCTL_SET_COMPRESSION(COMPRESSION_FORMAT_NONE) on it", compression.str(), "ok=1",
        {"Wine implements no compression request; the program ignores the result", "ok=0 err=50"});
    const bool sized = f.SetFilePointer(h, 56614912, win::kFileBegin, nullptr) && f.SetEndOfFile(h);
    platform::FileInformation info;
    const bool known = f.GetFileInformationByHandle(h, &info);
    const uint32_t shown = win::kFileAttributeHidden | win::kFileAttributeSystem |
                           win::kFileAttributeReparsePoint | win::kFileAttributeDirectory;
    Check("end of file at 56,614,912, then GetFileInformationByHandle",
          Out()
              .Add("sized", sized)
              .Add("known", known)
              .Hex("attributes", info.attributes & shown)
              .Add("links", info.links)
              .Add("size", info.size)
              .str(),
          "sized=1 known=1 attributes=00000006 links=1 size=56614912");
    f.CloseHandle(h);

    const std::wstring backup = marker + L".bak";
    ArmLastError();
    const bool moved = f.MoveFile(marker, backup);
    Check("MoveFile to the backup name through the device path",
          Out()
              .Add("moved", moved)
              .Add("gone", f.GetFileAttributes(marker) == win::kInvalidFileAttributes)
              .str(),
          "moved=1 gone=1");
    std::wstring temporary;
    const uint32_t unique = f.GetTempFileName(L"\\\\.\\" + Folder() + L"\\", L"", &temporary);
    std::printf("  temporary name: %s\n", Quote(temporary).c_str());
    Check("GetTempFileName in the marker's folder with an empty prefix",
          Out()
              .Add("unique", unique != 0)
              .Add("asGiven", base::StartsWithNoCase(temporary, L"\\\\.\\" + Folder() + L"\\"))
              .Add("exists",
                   unique != 0 && f.GetFileAttributes(temporary) != win::kInvalidFileAttributes)
              .str(),
          "unique=1 asGiven=1 exists=1");
    if (unique != 0)
        f.DeleteFile(temporary);
    ForceDelete(backup);
}

TEST_F(ProtectTable, HardLinks) {
    platform::Files& f = P().files;
    const std::wstring first = InFolder(L"first.txt");
    const std::wstring second = InFolder(L"second.txt");
    ASSERT_TRUE(WriteText(first, "alpha"));
    ArmLastError();
    const bool linked = f.CreateHardLink(second, first);
    platform::FileInformation a, b;
    const bool knownA = Information(first, &a);
    const bool knownB = Information(second, &b);
    Check("CreateHardLink, then both names' information",
          Out()
              .Add("linked", linked)
              .Add("links", knownA ? a.links : 0u)
              .Add("sameFile", knownA && knownB && a.fileIndex == b.fileIndex &&
                                   a.volumeSerial == b.volumeSerial)
              .str(),
          "linked=1 links=2 sameFile=1");
    ASSERT_TRUE(WriteText(second, "beta"));
    std::string bytes;
    ReadBytes(first, &bytes);
    Check("a write through one name is read through the other", Out().Add("first", bytes).str(),
          "first=beta");

    struct Row {
        const char* name;
        std::wstring newName;
        std::wstring existing;
        const char* expected;
    };
    const Row rows[] = {
        {"a name that exists", second, first, "linked=0 err=183"},
        {"to a folder", InFolder(L"folder-link"), Folder(), "linked=0 err=5"},
        {"to a missing file", InFolder(L"third.txt"), InFolder(L"missing.txt"), "linked=0 err=2"},
    };
    for (const Row& row : rows) {
        ArmLastError();
        const bool ok = f.CreateHardLink(row.newName, row.existing);
        Check(std::string("CreateHardLink ") + row.name,
              Out().Add("linked", ok).Add("err", LastError()).str(), row.expected);
    }

    f.DeleteFile(second);
    platform::FileInformation after;
    Information(first, &after);
    Check("one name deleted", Out().Add("links", after.links).str(), "links=1");
}

TEST_F(ProtectTable, SymbolicLinks) {
    platform::Files& f = P().files;
    const std::wstring target = InFolder(L"target.txt");
    const std::wstring link = InFolder(L"link.txt");
    ASSERT_TRUE(WriteText(target, "target bytes"));
    ArmLastError();
    const bool made = f.CreateSymbolicLink(link, target, false);
    const uint32_t attributes = f.GetFileAttributes(link);
    std::string through;
    const bool followed = ReadBytes(link, &through) && through == "target bytes";
    platform::FileInformation own;
    const bool itself = Information(link, &own);
    const WineNote stub = {"CreateSymbolicLinkW is a stub that reports success and makes nothing",
                           "made=1 isLink=0 followed=0 itself=0"};
    Check("CreateSymbolicLink to a file, then the link opened through and as itself",
          Out()
              .Add("made", made)
              .Add("isLink", attributes != win::kInvalidFileAttributes &&
                                 (attributes & win::kFileAttributeReparsePoint) != 0)
              .Add("followed", followed)
              .Add("itself", itself && (own.attributes & win::kFileAttributeReparsePoint) != 0 &&
                                 own.size == 0)
              .str(),
          "made=1 isLink=1 followed=1 itself=1", stub);
    if (!made || attributes == win::kInvalidFileAttributes)
        return;
    // Deleting the link leaves its target.
    f.DeleteFile(link);
    std::string left;
    ReadBytes(target, &left);
    Check("DeleteFile of the link",
          Out()
              .Add("linkGone", f.GetFileAttributes(link) == win::kInvalidFileAttributes)
              .Add("target", left)
              .str(),
          "linkGone=1 target=target bytes");
}

TEST_F(ProtectTable, LibraryWithItsDependency) {
    const std::wstring library = InFolder(L"MenuExt.dll");
    ASSERT_TRUE(E().InstallDependentLibrary(library));
    ASSERT_TRUE(E().InstallDependency(Folder()));
    const bool searchFlags = P().processes.LibrarySearchFlagsAvailable();
    Check("kernel32 exports AddDllDirectory", Out().Add("available", searchFlags).str(),
          "available=1");
    const uint32_t search = win::kLoadLibrarySearchDllLoadDir | win::kLoadLibrarySearchSystem32;
    // (Under Wine a library whose load failed stays mapped until the process ends, so its
    // file is only removed by the next run's clean-up.)
    struct Row {
        const char* name;
        uint32_t flags;
        bool plain;
        const char* expected;
    };
    const Row rows[] = {
        // The standard search looks in the program's folder, not the library's.
        {"LoadLibrary by full path", 0, true, "module=0 err=126"},
        {"LOAD_WITH_ALTERED_SEARCH_PATH", win::kLoadWithAlteredSearchPath, false,
         "module=1 hr=00000000"},
        {"LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | _SYSTEM32", search, false, "module=1 hr=00000000"},
        {"both kinds of flag", search | win::kLoadWithAlteredSearchPath, false, "module=0 err=87"},
        {"the program's choice", CompanionLoadFlags(P().processes), false, "module=1 hr=00000000"},
    };
    for (const Row& row : rows) {
        Check(std::string("a library beside its dependency: ") + row.name,
              Load(library, row.flags, row.plain), row.expected);
    }

    // The dependency beside the program instead: the library's own search must not find it.
    ASSERT_TRUE(P().files.DeleteFile(Folder() + L"\\" + kDependencyName));
    const std::wstring besideProgram = ProgramFolder() + L"\\" + kDependencyName;
    ASSERT_TRUE(E().InstallDependency(ProgramFolder()));
    Check("the dependency beside the program: LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | _SYSTEM32",
          Load(library, search), "module=0 err=126");
    Check("the dependency beside the program: LoadLibrary", Load(library, 0, true),
          "module=1 hr=00000000");
    EXPECT_TRUE(P().files.DeleteFile(besideProgram));
}

// Each restriction in a process of its own on Windows (see Env::RestrictDllSearch), started
// with CV_CONFORMANCE_DLL_SEARCH set; there a restriction that cannot be applied fails.
class ProtectDllSearch : public ProtectTable {
protected:
    // Applies |way|; when it cannot be, the test is skipped, or failed in a run started for
    // it. The caller returns when IsSkipped() or HasFailure().
    void Restrict(platform::DllSearchRestriction way) {
        if (E().RestrictDllSearch(way))
            return;
        if (StartedFor("CV_CONFORMANCE_DLL_SEARCH").empty())
            GTEST_SKIP() << "runs in a process of its own (CV_CONFORMANCE_DLL_SEARCH)";
        FAIL() << "started for the restricted library search (CV_CONFORMANCE_DLL_SEARCH), but "
                  "the restriction cannot be applied";
    }
};

TEST_F(ProtectDllSearch, DefaultDirectories) {
    Restrict(platform::DllSearchRestriction::DefaultDllDirectories);
    if (IsSkipped() || HasFailure())
        return;
    const std::wstring library = InFolder(L"MenuExt.dll");
    ASSERT_TRUE(E().InstallDependentLibrary(library));
    ASSERT_TRUE(E().InstallDependency(Folder()));
    Check("after SetDefaultDllDirectories: the program's flags",
          Out().Hex("flags", CompanionLoadFlags(P().processes)).str(), "flags=00000900");
    Check("after SetDefaultDllDirectories: LoadLibrary by full path", Load(library, 0, true),
          "module=0 err=126");
    Check("after SetDefaultDllDirectories: the program's load",
          Load(library, CompanionLoadFlags(P().processes)), "module=1 hr=00000000");
    ASSERT_TRUE(P().files.DeleteFile(Folder() + L"\\" + kDependencyName));
    ASSERT_TRUE(E().InstallDependency(ProgramFolder()));
    Check("after SetDefaultDllDirectories: the dependency only beside the program",
          Load(library, CompanionLoadFlags(P().processes)), "module=0 err=126");
    EXPECT_TRUE(P().files.DeleteFile(ProgramFolder() + L"\\" + kDependencyName));
}

TEST_F(ProtectDllSearch, EmptyDirectory) {
    Restrict(platform::DllSearchRestriction::EmptyDllDirectory);
    if (IsSkipped() || HasFailure())
        return;
    const std::wstring library = InFolder(L"MenuExt.dll");
    ASSERT_TRUE(E().InstallDependentLibrary(library));
    ASSERT_TRUE(E().InstallDependency(Folder()));
    const uint32_t altered = win::kLoadWithAlteredSearchPath;
    Check("after SetDllDirectoryW(\"\"): LoadLibrary by full path", Load(library, 0, true),
          "module=0 err=126");
    Check("after SetDllDirectoryW(\"\"): LOAD_WITH_ALTERED_SEARCH_PATH", Load(library, altered),
          "module=1 hr=00000000");
    // The program's folder is also the current folder here; neither is searched.
    ASSERT_TRUE(P().files.DeleteFile(Folder() + L"\\" + kDependencyName));
    ASSERT_TRUE(E().InstallDependency(ProgramFolder()));
    Check("after SetDllDirectoryW(\"\"): the dependency only beside the program",
          Load(library, altered), "module=0 err=126",
          {"Wine's SetDllDirectoryW(L\"\") leaves the current folder (the program's folder here) "
           "in the search",
           "module=1 hr=00000000"});
    EXPECT_TRUE(P().files.DeleteFile(ProgramFolder() + L"\\" + kDependencyName));
}

TEST_F(ProtectTable, CompanionProgramHiddenAndWaitedFor) {
    platform::Processes& p = P().processes;
    const std::wstring keeper = InFolder(L"Keeper.exe");
    ASSERT_TRUE(E().InstallStandIn(keeper, 0));
    const std::wstring commandLine = L"\"" + keeper + L"\" /install";
    platform::StartupOptions startup;
    startup.flags = win::kStartfUseShowWindow;
    startup.showWindow = win::kSwHide;
    platform::ProcessInfo info;
    const bool started = p.CreateProcess(nullptr, commandLine, startup, &info);
    Out out;
    out.Add("started", started);
    if (started) {
        const uint32_t wait = p.WaitForSingleObject(info.process, win::kInfinite);
        uint32_t exitCode = 0xFFFF;
        p.GetExitCodeProcess(info.process, &exitCode);
        p.CloseHandle(info.thread);
        p.CloseHandle(info.process);
        std::wstring seen;
        uint32_t flags = 0xFF;
        int show = -1;
        out.Add("wait", wait)
            .Add("exit", exitCode)
            .Add("seen", E().StandInCommandLine(keeper, &seen) && seen == commandLine)
            .Add("startup", E().StandInStartup(keeper, &flags, &show))
            .Add("flags", flags)
            .Add("show", show);
    }
    Check("CreateProcess \"...\\Keeper.exe\" /install hidden, then an endless wait", out.str(),
          "started=1 wait=0 exit=0 seen=1 startup=1 flags=1 show=0");
}

struct SeedOutcome {
    platform::System* system = nullptr;
    bool first = false;
    bool again = false;
    bool sameAsSrand = false;
    bool seededThread = false;
};

uint32_t SeedOnAFreshThread(void* argument) {
    SeedOutcome* o = static_cast<SeedOutcome*>(argument);
    platform::System& s = *o->system;
    o->first = s.SeedRandOnce(12345);
    const int a = s.Rand();
    const int b = s.Rand();
    o->again = s.SeedRandOnce(777);
    const int c = s.Rand();
    s.SeedRand(12345);
    o->sameAsSrand = s.Rand() == a && s.Rand() == b && s.Rand() == c;
    return 0;
}

TEST_F(ProtectTable, RandSeededOncePerThread) {
    platform::System& s = P().system;
    SeedOutcome outcome;
    outcome.system = &s;
    platform::KernelHandle thread = s.CreateThread(&SeedOnAFreshThread, &outcome);
    ASSERT_TRUE(thread);
    EXPECT_EQ(s.WaitForThread(thread, 30000), win::kWaitObject0);
    s.CloseThread(thread);
    Check("SeedRandOnce on a new thread, then again",
          Out()
              .Add("first", outcome.first)
              .Add("again", outcome.again)
              .Add("sameAsSrand", outcome.sameAsSrand)
              .str(),
          "first=1 again=0 sameAsSrand=1");
    const uint32_t one = s.RandomSeed();
    const uint32_t two = s.RandomSeed();
    Check("RandomSeed twice", Out().Add("differ", one != two).str(), "differ=1");

    uint32_t address = 0;
    ArmLastError();
    const bool named = P().volumes.BlockAddress32(nullptr, 512, &address);
    Check("BlockAddress32 of no block", Out().Add("named", named).Add("err", LastError()).str(),
          "named=0 err=487");
}

}  // namespace
}  // namespace conf
