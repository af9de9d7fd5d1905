// What the prerequisite checks and the driver control channel rely on: a named mutex that
// another process holds, a window of another process sent a message synchronously, the
// drive type with its last-error value, the file-system and volume names the volume test
// reads, the driver's control device and control codes without the driver, and the hotfix
// query walked with a bounded wait.
#include "Conformance.h"
#include "base/Text.h"

namespace conf {
namespace {

class ChecksTable : public ConformanceTest {};

// The main interface's mutex lives in the global namespace and is held by another process;
// setup creates it without taking ownership and only looks at the last-error value.
TEST_F(ChecksTable, MutexOfAnotherProcess) {
    platform::Processes& p = P().processes;
    const std::wstring held = L"Global\\" + UniqueName(L"held");
    const std::wstring free = L"Global\\" + UniqueName(L"free");
    ASSERT_TRUE(E().StartMutexHolder(held));

    struct Row {
        const char* name;
        const std::wstring* mutexName;
        const char* expected;
    };
    const Row rows[] = {
        {"CreateMutexW of a global name another process holds", &held, "handle=1 err=183"},
        {"CreateMutexW of a global name nobody holds", &free, "handle=1 err=0"},
        // The probe's own handle was closed: the mutex went with it.
        {"CreateMutexW of that name again after CloseHandle", &free, "handle=1 err=0"},
    };
    for (const Row& row : rows) {
        ArmLastError();
        const platform::KernelHandle h = p.CreateMutex(*row.mutexName, false);
        const uint32_t err = LastError();
        const bool closed = h && p.CloseHandle(h);
        Check(row.name, Out().Add("handle", static_cast<bool>(h)).Add("err", err).str(),
              row.expected);
        Check(std::string(row.name) + ": CloseHandle", Out().Add("closed", closed).str(),
              "closed=1");
    }
}

// The Warden's window belongs to another process; FindWindowW with no class finds it by its
// title even though it is hidden, and SendMessageW returns only after its window procedure
// has handled the message.
TEST_F(ChecksTable, WindowOfAnotherProcess) {
    platform::Processes& p = P().processes;
    const std::wstring title = UniqueName(L"Warden Window");
    ASSERT_TRUE(E().StartWindowOwner(title, 5));

    const platform::WindowHandle w = p.FindWindow(nullptr, title);
    const intptr_t reply = w ? p.SendMessage(w, 1147, 0, 0) : -1;
    // Read at once: a synchronous send has been handled when it returns.
    bool handled = false;
    for (const Message& m : E().OtherWindowMessages()) {
        handled = handled || (m.message == 1147 && m.wParam == 0 && m.lParam == 0);
    }
    Check("FindWindowW(NULL, title) of another process's hidden window, then SendMessageW 1147",
          Out()
              .Add("found", static_cast<bool>(w))
              .Add("reply", static_cast<int64_t>(reply))
              .Add("handledOnReturn", handled)
              .str(),
          "found=1 reply=5 handledOnReturn=1");

    Check("FindWindowW(NULL, title) with no such window",
          Out()
              .Add("found", static_cast<bool>(p.FindWindow(nullptr, UniqueName(L"no window"))))
              .str(),
          "found=0");
}

// GetDriveTypeW of a fixed drive leaves the last-error value alone, so the volume test's
// rule (cleared before, still 0 after) admits it.
TEST_F(ChecksTable, DriveTypes) {
    platform::Volumes& v = P().volumes;
    ArmLastError();
    const uint32_t fixed = v.GetDriveType(L"C:\\");
    Check("GetDriveTypeW C:\\", Out().Add("type", fixed).Add("err", LastError()).str(),
          "type=3 err=3735928559",
          WineNote{"Wine's GetDriveTypeW leaves ERROR_MORE_DATA from its own mount manager "
                   "query in the last-error value of every fixed drive; under Wine the "
                   "volume test therefore admits no drive",
                   "type=3 err=234"});

    Check("GetDriveTypeW of a letter without a drive",
          Out().Add("type", v.GetDriveType(L"Q:\\")).str(), "type=1");
}

// The volume test's reads, with its buffers: the file-system name into 16 characters, the
// volume name into 256, and the volume enumeration.
TEST_F(ChecksTable, VolumeTestReads) {
    platform::Volumes& v = P().volumes;
    struct FsRow {
        const char* name;
        const wchar_t* root;
        const char* expected;
    };
    const FsRow fsRows[] = {
        {"GetVolumeInformationW C:\\ file system, 16 characters", L"C:\\", "ok=1 fs=\"NTFS\""},
        {"GetVolumeInformationW of a letter without a drive", L"Q:\\", "ok=0 err=3"},
    };
    for (const FsRow& row : fsRows) {
        std::wstring fs;
        ArmLastError();
        const bool ok = v.GetVolumeFileSystemName(row.root, 16, &fs);
        Out out;
        out.Add("ok", ok);
        ok ? out.Add("fs", fs) : out.Add("err", LastError());
        Check(row.name, out.str(), row.expected);
    }

    struct NameRow {
        const char* name;
        const wchar_t* root;
        uint32_t chars;
        const char* expected;
    };
    const NameRow nameRows[] = {
        {"GetVolumeNameForVolumeMountPointW C:\\, 256 characters", L"C:\\", 256, "ok=1 chars=49"},
        {"GetVolumeNameForVolumeMountPointW C:\\ into 10 characters", L"C:\\", 10, "ok=0 err=206"},
        {"GetVolumeNameForVolumeMountPointW of a letter without a drive", L"Q:\\", 256,
         "ok=0 err=2"},
    };
    std::wstring nameOfC;
    for (const NameRow& row : nameRows) {
        std::wstring name;
        ArmLastError();
        const bool ok = v.GetVolumeNameForVolumeMountPoint(row.root, row.chars, &name);
        Out out;
        out.Add("ok", ok);
        ok ? out.Add("chars", static_cast<uint32_t>(name.size())) : out.Add("err", LastError());
        Check(row.name, out.str(), row.expected);
        if (ok && row.chars == 256)
            nameOfC = name;
    }

    // C:'s volume is among those listed (compared ignoring case, as the volume test does).
    std::wstring listed;
    const platform::VolumeFindHandle find = v.FindFirstVolume(&listed, 256);
    int count = 0;
    bool foundC = false;
    if (find) {
        do {
            ++count;
            foundC = foundC || base::EqualsNoCase(listed, nameOfC);
        } while (count < 64 && v.FindNextVolume(find, &listed, 256));
        v.FindVolumeClose(find);
    }
    Check("FindFirstVolumeW / FindNextVolumeW with 256 characters list C:'s volume",
          Out().Add("started", static_cast<bool>(find)).Add("listsC", foundC).str(),
          "started=1 listsC=1");
}

// Without the driver: no control device, and the volumes refuse the driver's codes.
TEST_F(ChecksTable, DriverChannelWithoutTheDriver) {
    platform::Files& f = P().files;
    const uint32_t access = win::kFileReadAttributes;
    const uint32_t share = win::kFileShareRead | win::kFileShareWrite;

    ArmLastError();
    const platform::FileHandle control = f.CreateFile(
        L"\\\\.\\VfControl", access, share, win::kOpenExisting, win::kFileAttributeNormal);
    const uint32_t openError = LastError();
    if (control)
        f.CloseHandle(control);
    Check(
        "CreateFileW \\\\.\\VfControl (FILE_READ_ATTRIBUTES, share read/write) without the "
        "driver",
        Out().Add("handle", static_cast<bool>(control)).Add("err", openError).str(),
        "handle=0 err=2");

    const platform::FileHandle volume =
        f.CreateFile(L"\\\\.\\C:", access, share, win::kOpenExisting, win::kFileAttributeNormal);
    Check("CreateFileW \\\\.\\C: as the volume requests open it",
          Out().Add("handle", static_cast<bool>(volume)).str(), "handle=1");
    if (!volume)
        return;
    struct Row {
        const char* name;
        uint32_t code;
        uint32_t command;
    };
    const Row rows[] = {
        {"the variable code with base 0 (command 1000)", 0x800025E4, 1000},
        {"the variable code with base 1576 (command 1000)", 0x80002C0C, 1000},
        {"the fixed code (command 0)", 0x800030A0, 0},
    };
    for (const Row& row : rows) {
        uint8_t record[136] = {'c', 'v', 'f', 'l'};
        record[4] = static_cast<uint8_t>(row.command);
        record[5] = static_cast<uint8_t>(row.command >> 8);
        uint32_t returned = 0xFFFF;
        ArmLastError();
        const bool ok = P().volumes.DeviceIoControl(volume, row.code, record, sizeof record, record,
                                                    sizeof record, &returned);
        Check(std::string("DeviceIoControl on \\\\.\\C: without the driver: ") + row.name,
              Out().Add("ok", ok).Add("err", LastError()).Add("returned", returned).str(),
              "ok=0 err=1 returned=0",
              WineNote{"Wine's volume device answers control codes it does not know with "
                       "STATUS_NOT_SUPPORTED (ERROR_NOT_SUPPORTED) where Windows' volume stack "
                       "answers STATUS_INVALID_DEVICE_REQUEST (ERROR_INVALID_FUNCTION)",
                       "ok=0 err=50 returned=0"});
    }
    f.CloseHandle(volume);
}

// The hotfix query walked as the inventory walks it: one object at a time with a bounded
// wait, then the end, reported as such and not as a failure or a wait that ran out.
TEST_F(ChecksTable, HotfixQueryWithABoundedWait) {
    platform::WmiStage stage = platform::WmiStage::None;
    std::unique_ptr<platform::HotfixEnumerator> results;
    const int32_t hr = P().wmi.QueryHotfixes(&stage, &results);
    ASSERT_EQ(hr, 0);
    ASSERT_TRUE(results);
    std::vector<std::string> steps;
    platform::HotfixId id;
    for (int i = 0; i < 3; ++i) {
        const platform::WmiNext next = results->Next(60000, &id);
        std::string step;
        switch (next) {
            case platform::WmiNext::Object:
                step = "object " + Quote(id.text);
                break;
            case platform::WmiNext::End:
                step = "end";
                break;
            case platform::WmiNext::TimedOut:
                step = "timed-out";
                break;
            case platform::WmiNext::Failed:
                step = "failed";
                break;
        }
        char result[16];
        std::snprintf(result, sizeof result, "%08X", static_cast<unsigned>(results->LastResult()));
        steps.push_back(step + " " + result);
    }
    std::string got;
    for (const std::string& step : steps)
        got += (got.empty() ? "" : ", ") + step;
    Check("Win32_QuickFixEngineering walked with Next(60000 ms): one object, then the end twice",
          got, "object \"KB1234567\" 00000000, end 00000001, end 00000001");
}

}  // namespace
}  // namespace conf
