#include <gtest/gtest.h>

#include <cstring>

#include "base/Text.h"
#include "sim/Machine.h"

namespace {

using platform::FileHandle;

const wchar_t kGuid[] = L"{0A1B2C3D-4E5F-6789-ABCD-EF0123456789}";

uint32_t Get32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
int64_t Get64(const uint8_t* p) {
    return static_cast<int64_t>(Get32(p)) | (static_cast<int64_t>(Get32(p + 4)) << 32);
}

std::vector<uint8_t> Record(uint32_t command, uint32_t magic = sim::SimVolumes::kDriverMagic) {
    std::vector<uint8_t> r(136, 0);
    for (int i = 0; i < 4; ++i) {
        r[i] = static_cast<uint8_t>(magic >> (8 * i));
        r[4 + i] = static_cast<uint8_t>(command >> (8 * i));
    }
    return r;
}

TEST(SimVolumesTest, DefaultDriveAndQueries) {
    sim::Machine m;
    auto& v = m.volumes();
    sim::VolumeConfig net;
    net.driveType = win::kDriveRemote;
    net.volumeName.clear();
    v.AddVolume(L'Z', net);
    struct TypeRow {
        const wchar_t* root;
        uint32_t type;
    } types[] = {{L"C:\\", win::kDriveFixed},
                 {L"c:", win::kDriveFixed},
                 {L"Z:\\", win::kDriveRemote},
                 {L"Q:\\", win::kDriveNoRootDir},
                 {L"C:\\Windows\\", win::kDriveNoRootDir}};
    for (const auto& r : types)
        EXPECT_EQ(v.GetDriveType(r.root), r.type) << base::ToUtf8(r.root);

    std::wstring text;
    EXPECT_TRUE(v.GetVolumeFileSystemName(L"C:\\", 5, &text));
    EXPECT_EQ(text, L"NTFS");
    struct FsRow {
        const wchar_t* root;
        uint32_t chars;
        uint32_t error;
    } fsFailures[] = {{L"C:\\", 4, win::kErrorBadLength},
                      {L"Q:\\", 10, win::kErrorPathNotFound},
                      {L"C:", 10, win::kErrorInvalidName}};
    for (const auto& r : fsFailures) {
        EXPECT_FALSE(v.GetVolumeFileSystemName(r.root, r.chars, &text)) << base::ToUtf8(r.root);
        EXPECT_EQ(m.LastError(), r.error) << base::ToUtf8(r.root);
    }

    const std::wstring cName = L"\\\\?\\Volume{6c1e2a10-0000-0000-0000-100000000000}\\";
    EXPECT_TRUE(v.GetVolumeNameForVolumeMountPoint(L"C:\\", 50, &text));
    EXPECT_EQ(text, cName);
    EXPECT_FALSE(v.GetVolumeNameForVolumeMountPoint(L"C:\\", 49, &text));
    EXPECT_EQ(m.LastError(), win::kErrorFilenameExcedRange);
    EXPECT_FALSE(v.GetVolumeNameForVolumeMountPoint(L"Z:\\", 50, &text));

    // Enumeration: listed volumes with names, in letter order.
    v.AddFixedVolume(L'E', 1 << 30, 1 << 29);
    v.AddFixedVolume(L'D', 1 << 30, 1 << 29).listed = false;
    std::vector<std::wstring> names;
    platform::VolumeFindHandle f = v.FindFirstVolume(&text, 50);
    ASSERT_TRUE(f);
    do
        names.push_back(text);
    while (v.FindNextVolume(f, &text, 50));
    EXPECT_EQ(m.LastError(), win::kErrorNoMoreFiles);
    EXPECT_TRUE(v.FindVolumeClose(f));
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0], cName);
    EXPECT_EQ(names[1], v.Volume(L'E')->volumeName);
}

TEST(SimVolumesTest, DiskRequestsOnVolumeHandles) {
    sim::Machine m;
    FileHandle h = m.files().CreateFile(L"\\\\.\\C:", 0, win::kFileShareRead | win::kFileShareWrite,
                                        win::kOpenExisting, 0);
    ASSERT_TRUE(h);
    uint8_t out[200];
    uint32_t returned = 0;
    ASSERT_TRUE(m.volumes().DeviceIoControl(h, win::kIoctlDiskGetDriveGeometry, nullptr, 0, out, 24,
                                            &returned));
    EXPECT_EQ(returned, 24u);
    EXPECT_EQ(Get64(out), 13054);
    EXPECT_EQ(Get32(out + 8), 12u);
    EXPECT_EQ(Get32(out + 12), 255u);
    EXPECT_EQ(Get32(out + 16), 63u);
    EXPECT_EQ(Get32(out + 20), 512u);
    ASSERT_TRUE(m.volumes().DeviceIoControl(h, win::kIoctlDiskGetPartitionInfo, nullptr, 0, out, 32,
                                            &returned));
    EXPECT_EQ(Get64(out + 8), 107374182400LL);
    ASSERT_TRUE(m.volumes().DeviceIoControl(h, win::kIoctlDiskGetPartitionInfoEx, nullptr, 0, out,
                                            144, &returned));
    EXPECT_EQ(returned, 144u);
    EXPECT_EQ(Get64(out + 16), 107374182400LL);

    struct Row {
        uint32_t code;
        uint32_t outSize;
        uint32_t error;
    } failures[] = {
        {win::kIoctlDiskGetDriveGeometry, 23, win::kErrorInsufficientBuffer},
        {win::kIoctlDiskGetPartitionInfo, 31, win::kErrorInsufficientBuffer},
        {win::kIoctlDiskGetPartitionInfoEx, 143, win::kErrorInsufficientBuffer},
        {0x00123456, 200, win::kErrorInvalidFunction},
        {win::kFsctlSetCompression, 200, win::kErrorInvalidFunction},
    };
    for (const auto& r : failures) {
        EXPECT_FALSE(m.volumes().DeviceIoControl(h, r.code, nullptr, 0, out, r.outSize, &returned))
            << std::hex << r.code;
        EXPECT_EQ(m.LastError(), r.error) << std::hex << r.code;
    }
    m.volumes().Volume(L'C')->partitionInfoError = win::kErrorInvalidFunction;
    m.volumes().Volume(L'C')->partitionInfoExError = win::kErrorNotSupported;
    EXPECT_FALSE(m.volumes().DeviceIoControl(h, win::kIoctlDiskGetPartitionInfo, nullptr, 0, out,
                                             32, &returned));
    EXPECT_EQ(m.LastError(), win::kErrorInvalidFunction);
    EXPECT_FALSE(m.volumes().DeviceIoControl(h, win::kIoctlDiskGetPartitionInfoEx, nullptr, 0, out,
                                             144, &returned));
    EXPECT_EQ(m.LastError(), win::kErrorNotSupported);
    m.volumes().SetDeviceIoControlMissing(true);
    EXPECT_FALSE(m.volumes().DeviceIoControl(h, win::kIoctlDiskGetDriveGeometry, nullptr, 0, out,
                                             24, &returned));
    EXPECT_EQ(m.LastError(), win::kErrorProcNotFound);
    EXPECT_TRUE(m.files().CloseHandle(h));
    EXPECT_FALSE(m.volumes().DeviceIoControl(h, win::kIoctlDiskGetDriveGeometry, nullptr, 0, out,
                                             24, &returned));
    EXPECT_FALSE(m.files().CreateFile(L"\\\\.\\Q:", 0, 0, win::kOpenExisting, 0));
    EXPECT_EQ(m.LastError(), win::kErrorFileNotFound);
}

TEST(SimVolumesTest, CompressionFollowsTheFileSystem) {
    sim::Machine m;
    sim::VolumeConfig fat;
    fat.fileSystem = L"FAT32";
    fat.driveType = win::kDriveRemovable;
    fat.freeBytes = 1 << 20;
    m.volumes().AddVolume(L'F', fat);
    m.files().AddFile(L"C:\\img.bin", "x");
    m.files().AddFile(L"F:\\img.bin", "x");
    const uint16_t on = win::kCompressionFormatDefault, off = win::kCompressionFormatNone;
    uint32_t returned;
    FileHandle c = m.files().CreateFile(L"C:\\img.bin", win::kGenericRead | win::kGenericWrite, 0,
                                        win::kOpenExisting, 0);
    ASSERT_TRUE(
        m.volumes().DeviceIoControl(c, win::kFsctlSetCompression, &on, 2, nullptr, 0, &returned));
    EXPECT_TRUE(m.files().IsCompressed(L"C:\\img.bin"));
    EXPECT_TRUE(m.files().Attributes(L"C:\\img.bin") & win::kFileAttributeCompressed);
    ASSERT_TRUE(
        m.volumes().DeviceIoControl(c, win::kFsctlSetCompression, &off, 2, nullptr, 0, &returned));
    EXPECT_FALSE(m.files().IsCompressed(L"C:\\img.bin"));
    FileHandle f = m.files().CreateFile(L"F:\\img.bin", win::kGenericRead | win::kGenericWrite, 0,
                                        win::kOpenExisting, 0);
    EXPECT_FALSE(
        m.volumes().DeviceIoControl(f, win::kFsctlSetCompression, &on, 2, nullptr, 0, &returned));
    EXPECT_EQ(m.LastError(), win::kErrorInvalidFunction);
}

TEST(SimVolumesTest, DriverControlDevice) {
    sim::Machine m;
    EXPECT_FALSE(
        m.files().CreateFile(L"\\\\.\\VfControl", win::kGenericRead, 0, win::kOpenExisting, 0));
    EXPECT_EQ(m.LastError(), win::kErrorFileNotFound);
    m.volumes().LoadDriver(kGuid);
    // The variable code comes from the UTF-16 units at positions 20..23 of the GUID text.
    uint32_t sum = kGuid[20] + kGuid[21] + kGuid[22] + kGuid[23];
    const uint32_t variable = 0x800025E4 + 4 * sum;
    EXPECT_EQ(m.volumes().VariableCode(), variable);

    FileHandle control = m.files().CreateFile(
        L"\\\\.\\VfControl", win::kGenericRead | win::kGenericWrite, 0, win::kOpenExisting, 0);
    ASSERT_TRUE(control);
    std::vector<uint8_t> in = Record(0), out(136, 0xEE);
    uint32_t returned = 0;
    ASSERT_TRUE(m.volumes().DeviceIoControl(control, 0x800030A0, in.data(), 136, out.data(), 136,
                                            &returned));
    EXPECT_EQ(returned, 136u);
    EXPECT_EQ(base::FromUtf16LEUntilNull(out.data() + 8, 128), kGuid);
    EXPECT_EQ(out[135], 0);

    struct Row {
        const char* what;
        uint32_t code;
        std::vector<uint8_t> record;
        uint32_t inSize;
        uint32_t error;
    } rows[] = {
        {"guid with variable code", variable, Record(0), 136, win::kErrorInvalidFunction},
        {"begin with fixed code", 0x800030A0, Record(201), 136, win::kErrorInvalidFunction},
        {"wrong code", variable + 4, Record(201), 136, win::kErrorInvalidFunction},
        {"wrong magic", variable, Record(201, 0x12345678), 136, win::kErrorInvalidParameter},
        {"wrong size", variable, Record(201), 132, win::kErrorInvalidParameter},
        {"volume command on control", variable, Record(1000), 136, win::kErrorInvalidFunction},
    };
    for (const auto& r : rows) {
        std::vector<uint8_t> reply(136);
        EXPECT_FALSE(m.volumes().DeviceIoControl(control, r.code, r.record.data(), r.inSize,
                                                 reply.data(), 136, &returned))
            << r.what;
        EXPECT_EQ(m.LastError(), r.error) << r.what;
    }
    in = Record(201);
    EXPECT_TRUE(
        m.volumes().DeviceIoControl(control, variable, in.data(), 136, out.data(), 136, &returned));
    m.volumes().FailCommand(202, win::kErrorNotReady, 1);
    in = Record(202);
    EXPECT_FALSE(
        m.volumes().DeviceIoControl(control, variable, in.data(), 136, out.data(), 136, &returned));
    EXPECT_EQ(m.LastError(), win::kErrorNotReady);
    EXPECT_TRUE(
        m.volumes().DeviceIoControl(control, variable, in.data(), 136, out.data(), 136, &returned));
    // Unloading: new opens fail, and the open handle's requests fail.
    m.volumes().UnloadDriver();
    EXPECT_FALSE(
        m.volumes().DeviceIoControl(control, variable, in.data(), 136, out.data(), 136, &returned));
    EXPECT_EQ(m.LastError(), win::kErrorInvalidFunction);
}

TEST(SimVolumesTest, DriverVolumeRequestsOverlayAndLog) {
    sim::Machine m;
    FileHandle volume =
        m.files().CreateFile(L"\\\\.\\C:", win::kGenericRead | win::kGenericWrite,
                             win::kFileShareRead | win::kFileShareWrite, win::kOpenExisting, 0);
    ASSERT_TRUE(volume);
    const uint32_t variableBefore = sim::SimVolumes::VariableCodeFor(kGuid);
    std::vector<uint8_t> in = Record(1000), out(136);
    uint32_t returned = 0;
    EXPECT_FALSE(m.volumes().DeviceIoControl(volume, variableBefore, in.data(), 136, out.data(),
                                             136, &returned));
    EXPECT_EQ(m.LastError(), win::kErrorInvalidFunction) << "driver not loaded";

    m.volumes().LoadDriver(kGuid);
    m.volumes().SetVolumeState(L'C', 0x31, 0x1a);
    m.volumes().SetVolumeStateExtra(L'C', 7, 9);
    const uint32_t variable = m.volumes().VariableCode();
    FileHandle control =
        m.files().CreateFile(L"\\\\.\\VfControl", win::kGenericRead, 0, win::kOpenExisting, 0);
    m.volumes().ClearRequestLog();
    std::vector<uint8_t> begin = Record(201), end = Record(202);
    ASSERT_TRUE(m.volumes().DeviceIoControl(control, variable, begin.data(), 136, out.data(), 136,
                                            &returned));
    ASSERT_TRUE(
        m.volumes().DeviceIoControl(volume, variable, in.data(), 136, out.data(), 136, &returned));
    EXPECT_EQ(Get32(out.data() + 8), 0x1au);
    EXPECT_EQ(Get32(out.data() + 12), 0x31u);
    EXPECT_EQ(Get32(out.data() + 16), 7u);
    EXPECT_EQ(Get32(out.data() + 20), 9u);
    // Command 1003 names its 512 bytes by a 32-bit address that the sim resolves among the
    // blocks handed over; the driver takes the bytes as they are when the request arrives.
    std::vector<uint8_t> block(512);
    for (size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<uint8_t>(i ^ 0x5A);
    uint32_t address = 0;
    ASSERT_TRUE(m.volumes().BlockAddress32(block.data(), 512, &address));
    std::vector<uint8_t> header = Record(1003);
    auto put32 = [&header](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            header[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    put32(8, address);
    put32(12, 512);
    ASSERT_TRUE(m.volumes().DeviceIoControl(volume, variable, header.data(), 136, out.data(), 136,
                                            &returned));
    // An address is good for one request; one that names no block is refused as a driver
    // refuses a bad buffer.
    EXPECT_FALSE(m.volumes().DeviceIoControl(volume, variable, header.data(), 136, out.data(), 136,
                                             &returned));
    EXPECT_EQ(m.LastError(), win::kErrorNoaccess);
    ASSERT_TRUE(m.volumes().BlockAddress32(block.data(), 512, &address));
    put32(8, address);
    put32(12, 256);  // not 512: refused
    EXPECT_FALSE(m.volumes().DeviceIoControl(volume, variable, header.data(), 136, out.data(), 136,
                                             &returned));
    EXPECT_EQ(m.LastError(), win::kErrorInvalidParameter);
    ASSERT_TRUE(m.volumes().DeviceIoControl(control, variable, end.data(), 136, out.data(), 136,
                                            &returned));
    ASSERT_EQ(m.volumes().HeaderRequests().size(), 1u);
    EXPECT_EQ(m.volumes().HeaderRequests()[0].letter, L'C');
    EXPECT_EQ(m.volumes().HeaderRequests()[0].header, block);

    const auto& log = m.volumes().RequestLog();
    ASSERT_EQ(log.size(), 6u);
    const uint32_t commands[] = {201, 1000, 1003, 1003, 1003, 202};
    const bool succeeded[] = {true, true, true, false, false, true};
    for (size_t i = 0; i < log.size(); ++i) {
        EXPECT_EQ(log[i].command, commands[i]) << i;
        EXPECT_EQ(log[i].succeeded, succeeded[i]) << i;
        EXPECT_EQ(log[i].code, variable) << i;
    }
    EXPECT_EQ(log[0].device, L"\\\\.\\VfControl");
    EXPECT_EQ(log[1].device, L"\\\\.\\C:");

    // The overlay device answers with the volume's values, or its own when set.
    EXPECT_EQ(sim::SimVolumes::OverlayDeviceName(0x1a), L"\\\\.\\VfVeil1a");
    FileHandle overlay = m.files().CreateFile(L"\\\\.\\VfVeil1a", 0, 0, win::kOpenExisting, 0);
    ASSERT_TRUE(overlay);
    EXPECT_FALSE(m.files().CreateFile(L"\\\\.\\VfVeil1b", 0, 0, win::kOpenExisting, 0));
    m.volumes().Volume(L'C')->overlayPartitionLength = 4096;
    ASSERT_TRUE(m.volumes().DeviceIoControl(overlay, win::kIoctlDiskGetPartitionInfo, nullptr, 0,
                                            out.data(), 32, &returned));
    EXPECT_EQ(Get64(out.data() + 8), 4096);
    ASSERT_TRUE(m.volumes().DeviceIoControl(overlay, win::kIoctlDiskGetDriveGeometry, nullptr, 0,
                                            out.data(), 24, &returned));
    EXPECT_EQ(Get64(out.data()), 13054);
}

}  // namespace
