// Volumes and devices: drive types, the file system, volume names, the volume enumeration
// and device handles.
#include <cstring>
#include <cwctype>

#include "Conformance.h"
#include "base/Text.h"

namespace conf {
namespace {

class VolumesTable : public ConformanceTest {};

bool IsVolumeName(const std::wstring& name) {
    // \\?\Volume{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}\ (49 characters)
    if (name.size() != 49)
        return false;
    if (name.compare(0, 11, L"\\\\?\\Volume{") != 0)
        return false;
    if (name.compare(47, 2, L"}\\") != 0)
        return false;
    for (size_t i = 11; i < 47; ++i) {
        const wchar_t c = name[i];
        const bool dash = i == 19 || i == 24 || i == 29 || i == 34;
        if (dash ? c != L'-' : !iswxdigit(c))
            return false;
    }
    return true;
}

TEST_F(VolumesTable, DriveTypesAndFileSystems) {
    platform::Volumes& v = P().volumes;
    struct Row {
        const wchar_t* root;
        uint32_t expected;
    };
    const Row types[] = {{L"C:\\", win::kDriveFixed}, {L"Q:\\", win::kDriveNoRootDir}};
    for (const Row& row : types) {
        Check("GetDriveType " + Utf8(row.root), std::to_string(v.GetDriveType(row.root)),
              std::to_string(row.expected));
    }

    struct FsRow {
        const char* name;
        const wchar_t* root;
        uint32_t chars;
        const char* expected;
    };
    const FsRow rows[] = {
        {"C:\\ with room", L"C:\\", 32, "ok=1 fs=\"NTFS\""},
        {"C:\\ with room for the name and its terminator", L"C:\\", 5, "ok=1 fs=\"NTFS\""},
        {"C:\\ into a buffer too small", L"C:\\", 3, "ok=0"},
        {"absent drive", L"Q:\\", 32, "ok=0"},
    };
    for (const FsRow& row : rows) {
        std::wstring fs;
        const bool ok = v.GetVolumeFileSystemName(row.root, row.chars, &fs);
        Out out;
        out.Add("ok", ok);
        if (ok)
            out.Add("fs", fs);
        Check(std::string("GetVolumeInformation file system, ") + row.name, out.str(),
              row.expected);
    }
}

TEST_F(VolumesTable, VolumeNames) {
    platform::Volumes& v = P().volumes;
    std::wstring name;
    ArmLastError();
    const bool ok = v.GetVolumeNameForVolumeMountPoint(L"C:\\", 64, &name);
    Check("GetVolumeNameForVolumeMountPoint C:\\",
          Out().Add("ok", ok).Add("form", IsVolumeName(name)).str(), "ok=1 form=1");

    std::wstring first;
    platform::VolumeFindHandle find = v.FindFirstVolume(&first, 64);
    bool listed = false;
    bool allForms = static_cast<bool>(find);
    uint32_t end = 0;
    if (find) {
        std::wstring current = first;
        int guard = 0;
        do {
            if (base::EqualsNoCase(current, name))
                listed = true;
            if (!IsVolumeName(current))
                allForms = false;
            ArmLastError();
        } while (v.FindNextVolume(find, &current, 64) && ++guard < 64);
        end = LastError();
        v.FindVolumeClose(find);
    }
    Check("FindFirstVolume / FindNextVolume list C:'s volume",
          Out()
              .Add("found", static_cast<bool>(find))
              .Add("forms", allForms)
              .Add("listsC", ok && listed)
              .Add("end", end)
              .str(),
          "found=1 forms=1 listsC=1 end=18");
}

TEST_F(VolumesTable, Devices) {
    platform::Files& f = P().files;
    platform::FileHandle drive =
        f.CreateFile(L"\\\\.\\C:", win::kFileReadAttributes,
                     win::kFileShareRead | win::kFileShareWrite, win::kOpenExisting, 0);
    Check("CreateFile \\\\.\\C: for FILE_READ_ATTRIBUTES",
          Out().Add("handle", static_cast<bool>(drive)).str(), "handle=1");
    if (drive) {
        // DISK_GEOMETRY: Cylinders (8), MediaType (4), TracksPerCylinder, SectorsPerTrack,
        // BytesPerSector (4 each).
        uint8_t geometry[24] = {};
        uint32_t returned = 0;
        ArmLastError();
        const bool ok = P().volumes.DeviceIoControl(drive, win::kIoctlDiskGetDriveGeometry, nullptr,
                                                    0, geometry, sizeof geometry, &returned);
        uint32_t bytesPerSector = 0;
        std::memcpy(&bytesPerSector, geometry + 20, 4);
        Out out;
        out.Add("ok", ok);
        if (ok) {
            out.Add("returned", returned).Add("bytesPerSector", bytesPerSector);
        }
        Check("IOCTL_DISK_GET_DRIVE_GEOMETRY on \\\\.\\C:", out.str(),
              "ok=1 returned=24 bytesPerSector=512");
        f.CloseHandle(drive);
    }

    ArmLastError();
    platform::FileHandle control = f.CreateFile(
        L"\\\\.\\VfControl", win::kGenericRead | win::kGenericWrite, 0, win::kOpenExisting, 0);
    const uint32_t err = LastError();
    if (control)
        f.CloseHandle(control);
    Check("CreateFile \\\\.\\VfControl without the driver",
          Out().Add("handle", static_cast<bool>(control)).Add("err", err).str(), "handle=0 err=2");
}

}  // namespace
}  // namespace conf
