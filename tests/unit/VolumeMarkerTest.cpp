// The volume marker: the size arithmetic and its refusals, the header and its key, the
// marker file's open with its backup names and the link rule, the driver's bracketing,
// Veil Mode's hand-over by command 1003, and every failure's trace line.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "Setup/checks/DriverControl.h"
#include "Setup/protect/TraceLog.h"
#include "Setup/protect/VolumeMarker.h"
#include "base/Text.h"
#include "sim/Machine.h"

namespace {

constexpr const wchar_t kMarker[] = L"C:\\cvflt0.sys";
constexpr const wchar_t kGuid[] = L"{01234567-89ab-cdef-abcd-0123456789ab}";
constexpr int32_t kBase = 1576;  // the control-code base of kGuid
constexpr uint64_t kGiB = 1ULL << 30;

uint32_t Field(const std::vector<uint8_t>& header, size_t at) {
    return static_cast<uint32_t>(header[at]) | (header[at + 1] << 8) | (header[at + 2] << 16) |
           (static_cast<uint32_t>(header[at + 3]) << 24);
}

// RC4 as published, written here rather than taken from the program: the key schedule,
// then the keystream from its first byte XORed over |data|.
void Rc4(const uint8_t* key, size_t keyLength, uint8_t* data, size_t length) {
    uint8_t s[256];
    for (int i = 0; i < 256; ++i)
        s[i] = static_cast<uint8_t>(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[i % keyLength]) & 0xFF;
        std::swap(s[i], s[j]);
    }
    for (size_t n = 0, i = 0, j = 0; n < length; ++n) {
        i = (i + 1) & 0xFF;
        j = (j + s[i]) & 0xFF;
        std::swap(s[i], s[j]);
        data[n] ^= s[(s[i] + s[j]) & 0xFF];
    }
}

// A 512-byte header as the driver reads it: bytes 0 to 503 deciphered with the key in the
// clear at 504 to 511.
std::vector<uint8_t> Deciphered(std::vector<uint8_t> header) {
    if (header.size() != 512)
        return {};
    Rc4(&header[504], 8, header.data(), 504);
    return header;
}

// The first 512 bytes of |path|, deciphered with the key they carry.
std::vector<uint8_t> DecodedHeader(sim::Machine& m, const std::wstring& path) {
    auto bytes = m.files().ReadRange(path, 0, 512);
    return bytes ? Deciphered(*bytes) : std::vector<uint8_t>();
}

// The trace log's lines (the log must exist before the run).
std::vector<std::string> TraceLines(sim::Machine& m) {
    std::vector<std::string> lines;
    const std::string text = m.files().ReadText(kTraceLogPath).value_or("");
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start + 23, end - start - 23));
    return lines;
}

TEST(VolumeMarkerTest, LayoutFromTheVolumeLength) {
    struct Case {
        uint64_t length;
        uint32_t flag;
        uint32_t blockSize;
        uint64_t bitmap, table, file;  // 0: not checked
    };
    const Case cases[] = {
        // The worked examples.
        {107374182400ULL, 1, 16384, 823296, 52494336, 56614912},
        {4 * kGiB, 1, 4096, 0, 0, 9134080},
        {4 * kGiB + 512, 1, 8192, 0, 0, 4612096},
        // Each bound belongs to the smaller block size.
        {4 * kGiB + 1, 1, 8192, 0, 0, 0},
        {8 * kGiB, 1, 8192, 0, 0, 0},
        {8 * kGiB + 1, 1, 16384, 0, 0, 0},
        {256 * kGiB, 1, 16384, 0, 0, 0},
        {256 * kGiB + 1, 1, 32768, 0, 0, 0},
        {512 * kGiB, 1, 32768, 0, 0, 0},
        {512 * kGiB + 1, 1, 65536, 0, 0, 0},
        // Flags 0 and 4 do not double the table; 2 and 3 do.
        {107374182400ULL, 0, 16384, 823296, 26247168, 30367744},
        {107374182400ULL, 4, 16384, 823296, 26247168, 30367744},
        {107374182400ULL, 2, 16384, 823296, 52494336, 56614912},
        {107374182400ULL, 3, 16384, 823296, 52494336, 56614912},
        {0, 1, 4096, 4096, 65536, 90112},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.length << " flag " << c.flag);
        const MarkerLayout layout = ComputeMarkerLayout(c.length, c.flag);
        EXPECT_EQ(layout.blockSize, c.blockSize);
        if (c.bitmap != 0)
            EXPECT_EQ(layout.bitmapSize, c.bitmap);
        if (c.table != 0)
            EXPECT_EQ(layout.tableSize, c.table);
        if (c.file != 0)
            EXPECT_EQ(layout.fileSize, c.file);
        EXPECT_TRUE(layout.bitmapFits && layout.fileFits);
    }
    // The largest volumes whose file fits the signed 32-bit offset (about 15,197 GiB with
    // flag 1, 28,340 GiB with flag 0); one block more does not.
    EXPECT_TRUE(ComputeMarkerLayout(16316714975231ULL, 1).fileFits);
    EXPECT_EQ(ComputeMarkerLayout(16316714975231ULL, 1).fileSize, 2147467264u);
    EXPECT_FALSE(ComputeMarkerLayout(16316714975232ULL, 1).fileFits);
    EXPECT_TRUE(ComputeMarkerLayout(30429172203519ULL, 0).fileFits);
    EXPECT_FALSE(ComputeMarkerLayout(30429172203520ULL, 0).fileFits);
    // The bitmap size leaves the header's 32-bit field only for volumes of petabytes.
    EXPECT_TRUE(ComputeMarkerLayout(1ULL << 50, 1).bitmapFits);
    EXPECT_FALSE(ComputeMarkerLayout(1ULL << 52, 1).bitmapFits);
    EXPECT_FALSE(ComputeMarkerLayout(UINT64_MAX, 1).bitmapFits);
}

TEST(VolumeMarkerTest, VolumeIndexAndBackupNames) {
    struct Case {
        wchar_t letter;
        uint32_t index;
    };
    const Case cases[] = {{L'C', 0}, {L'D', 1},  {L'Z', 23},        {L'A', 0xFFFFFFFE},
                          {L'd', 1}, {L'z', 23}, {L'a', 0xFFFFFFFE}};
    for (const Case& c : cases) {
        EXPECT_EQ(VolumeIndexOf(c.letter), c.index) << static_cast<char>(c.letter);
    }
    EXPECT_EQ(MarkerBackupName(L"\\\\.\\C:\\cvflt0.sys", 0), L"\\\\.\\C:\\cvflt0.sys.bak");
    EXPECT_EQ(MarkerBackupName(L"\\\\.\\C:\\cvflt0.sys", 1), L"\\\\.\\C:\\cvflt0.sys.bak.001");
    EXPECT_EQ(MarkerBackupName(L"\\\\.\\C:\\cvflt0.sys", 999), L"\\\\.\\C:\\cvflt0.sys.bak.999");
}

TEST(VolumeMarkerTest, MarkerOnTheDefaultVolume) {
    sim::Machine m;
    m.files().AddFile(kTraceLogPath, std::string());
    m.SetLastError(0xDEADBEEF);
    ASSERT_TRUE(CvSetVolumeFlag(m.platform(), 0, L'C', 1));

    EXPECT_EQ(m.files().Size(kMarker), 56614912u);
    EXPECT_EQ(
        m.files().Attributes(kMarker) & (win::kFileAttributeHidden | win::kFileAttributeSystem),
        win::kFileAttributeHidden | win::kFileAttributeSystem);
    EXPECT_TRUE(m.files().LastOpenWriteThrough(kMarker));
    EXPECT_FALSE(m.files().IsCompressed(kMarker));
    EXPECT_LE(m.files().StoredBytes(kMarker), 8192u) << "only the header is written";

    const std::vector<uint8_t> header = DecodedHeader(m, kMarker);
    ASSERT_EQ(header.size(), kVolumeHeaderSize);
    EXPECT_EQ(std::string(header.begin() + 4, header.begin() + 8), "cvfl");
    EXPECT_LE(Field(header, 0), 32767u);
    EXPECT_LE(Field(header, 8), 32767u);
    EXPECT_EQ(Field(header, 12), 0x00010000u);
    EXPECT_EQ(Field(header, 16), 1u);
    EXPECT_EQ(Field(header, 20), 16384u);
    EXPECT_EQ(Field(header, 24), 823296u);
    EXPECT_EQ(Field(header, 28), 2048u);
    EXPECT_EQ(Field(header, 52), 0u);
    EXPECT_EQ(Field(header, 56), 0x7FFFFFFFu);
    // Stored enciphered: the magic is not readable in the file itself.
    auto stored = m.files().ReadRange(kMarker, 4, 4);
    EXPECT_NE(std::string(stored->begin(), stored->end()), "cvfl");
    // Nothing failed, so nothing was traced.
    EXPECT_TRUE(TraceLines(m).empty());
    // The C runtime's generator was seeded once, from the seed source.
    EXPECT_EQ(m.system().SeedsOfThisThread(), std::vector<uint32_t>{0x5EED0001});
}

// The header is RC4 over bytes 0 to 503 under the eight bytes at 504 to 511, which stay in
// the clear: checked with the decipher above, whose first lines check it against the
// published test vector.
TEST(VolumeMarkerTest, TheHeaderIsEncipheredUnderTheKeyItCarries) {
    uint8_t text[] = {'P', 'l', 'a', 'i', 'n', 't', 'e', 'x', 't'};
    const uint8_t key[] = {'K', 'e', 'y'};
    Rc4(key, sizeof key, text, sizeof text);
    EXPECT_EQ(std::vector<uint8_t>(text, text + sizeof text),
              (std::vector<uint8_t>{0xBB, 0xF3, 0x16, 0xE8, 0xD9, 0x40, 0xAF, 0x0A, 0xD3}));

    sim::Machine m;
    ASSERT_TRUE(CvSetVolumeFlag(m.platform(), 0, L'C', 1));
    const std::vector<uint8_t> stored = *m.files().ReadRange(kMarker, 0, 512);
    ASSERT_EQ(stored.size(), 512u);
    const std::vector<uint8_t> plain = Deciphered(stored);
    EXPECT_EQ(std::string(plain.begin() + 4, plain.begin() + 8), "cvfl");
    EXPECT_EQ(Field(plain, 12), 0x00010000u);
    EXPECT_EQ(Field(plain, 16), 1u);
    EXPECT_EQ(Field(plain, 20), 16384u);
}

TEST(VolumeMarkerTest, EveryRunDrawsNewBytesAndKey) {
    // Two installations (two processes) start from different seeds, and two volumes of one
    // run continue the one sequence: no two headers share their key.
    std::vector<std::vector<uint8_t>> keys;
    for (uint32_t seed : {0x1111u, 0x2222u}) {
        sim::Machine m;
        m.volumes().AddFixedVolume(L'D', 20 * kGiB, 10 * kGiB);
        m.system().SetRandomSeeds(seed);
        ASSERT_TRUE(CvSetVolumeFlag(m.platform(), 0, L'C', 1));
        ASSERT_TRUE(CvSetVolumeFlag(m.platform(), 0, L'D', 1));
        EXPECT_EQ(m.system().SeedsOfThisThread(), std::vector<uint32_t>{seed});
        for (const wchar_t* path : {L"C:\\cvflt0.sys", L"D:\\cvflt0.sys"})
            keys.push_back(*m.files().ReadRange(path, 504, 8));
    }
    for (size_t i = 0; i < keys.size(); ++i)
        for (size_t j = i + 1; j < keys.size(); ++j)
            EXPECT_NE(keys[i], keys[j]) << i << " " << j;
}

TEST(VolumeMarkerTest, RunAgainReusesTheFileAndSpoilsTheOldHeaderFirst) {
    sim::Machine m;
    ASSERT_TRUE(CvSetVolumeFlag(m.platform(), 0, L'C', 1));
    const auto first = m.files().ReadRange(kMarker, 0, kVolumeHeaderSize);
    const auto firstKey = m.files().ReadRange(kMarker, 504, 8);

    // The second run spoils the old header (its first write), then fails to write the new
    // one: what is left is the old header with magic and version zeroed, nothing else.
    m.files().FailAfter(sim::FileOp::WriteFile, 1, win::kErrorDiskFull);
    EXPECT_FALSE(CvSetVolumeFlag(m.platform(), 0, L'C', 0));
    auto spoiled = m.files().ReadRange(kMarker, 0, kVolumeHeaderSize);
    std::vector<uint8_t> expected = *first;
    for (size_t i : {4, 5, 6, 7, 12, 13, 14, 15})
        expected[i] = 0;
    EXPECT_EQ(*spoiled, expected);
    EXPECT_EQ(m.files().Attributes(kMarker) & win::kFileAttributeHidden, 0u)
        << "a run that fails after the open leaves normal attributes";

    // A run that succeeds resizes the same file and writes a new key.
    ASSERT_TRUE(CvSetVolumeFlag(m.platform(), 0, L'C', 0));
    EXPECT_EQ(m.files().Size(kMarker), 30367744u) << "resized for flag 0";
    EXPECT_NE(m.files().ReadRange(kMarker, 504, 8), firstKey);
    EXPECT_EQ(Field(DecodedHeader(m, kMarker), 16), 0u);
}

TEST(VolumeMarkerTest, SectorSizeAbove4096IsRefused) {
    sim::Machine m;
    m.files().AddFile(kTraceLogPath, std::string());
    m.volumes().Volume(L'C')->geometry.bytesPerSector = 8192;
    m.SetLastError(0);
    EXPECT_FALSE(CvSetVolumeFlag(m.platform(), 0, L'C', 1));
    EXPECT_EQ(m.LastError(), win::kErrorInvalidParameter);
    EXPECT_FALSE(m.files().Exists(kMarker));
    EXPECT_EQ(TraceLines(m),
              std::vector<std::string>{"CvSetVolumeFlag: BytesPerSector is not valid"});

    m.volumes().Volume(L'C')->geometry.bytesPerSector = 4096;
    EXPECT_TRUE(CvSetVolumeFlag(m.platform(), 0, L'C', 1));
}

TEST(VolumeMarkerTest, VolumesTooLargeAreRefusedNotWrapped) {
    sim::Machine m;
    m.files().AddFile(kTraceLogPath, std::string());
    m.volumes().AddFixedVolume(L'E', 16316714975232LL, 8ULL << 40);
    m.SetLastError(0);
    EXPECT_FALSE(CvSetVolumeFlag(m.platform(), 0, L'E', 1));
    EXPECT_EQ(m.LastError(), win::kErrorArithmeticOverflow);
    EXPECT_FALSE(m.files().Exists(L"E:\\cvflt0.sys"));
    EXPECT_EQ(TraceLines(m),
              std::vector<std::string>{"CvSetVolumeFlag: volume of 16316714975232 bytes is too "
                                       "large for \\\\.\\E:\\cvflt0.sys"});
    // One block less fits: a marker of 2,147,467,264 bytes.
    m.volumes().AddFixedVolume(L'E', 16316714975231LL, 8ULL << 40);
    EXPECT_TRUE(CvSetVolumeFlag(m.platform(), 0, L'E', 1));
    EXPECT_EQ(m.files().Size(L"E:\\cvflt0.sys"), 2147467264u);
}

TEST(VolumeMarkerTest, PartitionLengthFallbacks) {
    struct Case {
        const char* name;
        uint32_t infoError, infoExError;
        uint64_t size;  // of the marker
        bool traced;
    };
    // Partition 100 GiB; geometry 13054 x 255 x 63 x 512 = 107,372,805,120 bytes.
    const Case cases[] = {
        {"partition info", 0, 0, 56614912, false},
        {"the EX form", win::kErrorInvalidFunction, 0, 56614912, false},
        {"the geometry's product", win::kErrorInvalidFunction, win::kErrorNotSupported,
         ComputeMarkerLayout(13054ULL * 255 * 63 * 512, 1).fileSize, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::Machine m;
        m.files().AddFile(kTraceLogPath, std::string());
        m.volumes().Volume(L'C')->partitionInfoError = c.infoError;
        m.volumes().Volume(L'C')->partitionInfoExError = c.infoExError;
        EXPECT_TRUE(CvSetVolumeFlag(m.platform(), 0, L'C', 1));
        EXPECT_EQ(m.files().Size(kMarker), c.size);
        EXPECT_EQ(TraceLines(m), c.traced ? std::vector<std::string>{"CvSetVolumeFlag: "
                                                                     "IOCTL_DISK_GET_PARTITION_INFO"
                                                                     " failed(50)"}
                                          : std::vector<std::string>{});
    }
}

TEST(VolumeMarkerTest, FailuresAreTracedWithTheirError) {
    struct Case {
        const char* name;
        void (*arrange)(sim::Machine&);
        uint32_t error;
        const char* line;
        wchar_t letter = L'C';
    };
    const Case cases[] = {
        {"no such volume", [](sim::Machine&) {}, win::kErrorFileNotFound,
         "CvSetVolumeFlag: CreateFile(\\\\.\\Q:) failed(2)", L'Q'},
        {"geometry refused",
         [](sim::Machine& m) { m.volumes().Volume(L'C')->geometryError = win::kErrorNotReady; },
         win::kErrorNotReady, "CvSetVolumeFlag: IOCTL_DISK_GET_DRIVE_GEOMETRY failed(21)"},
        {"no room for the marker",
         [](sim::Machine& m) { m.volumes().Volume(L'C')->freeBytes = 1 << 20; },
         win::kErrorDiskFull, "CvSetVolumeFlag: SetEndOfFile(\\\\.\\C:\\cvflt0.sys) failed(112)"},
        {"the old header cannot be read",
         [](sim::Machine& m) {
             m.files().FailPath(L"C:\\cvflt0.sys", sim::FileOp::ReadFile,
                                win::kErrorSharingViolation);
         },
         win::kErrorSharingViolation,
         "CvSetVolumeFlag: ReadFile(\\\\.\\C:\\cvflt0.sys) failed(32)"},
        {"the header cannot be written",
         [](sim::Machine& m) {
             m.files().FailPath(L"C:\\cvflt0.sys", sim::FileOp::WriteFile, win::kErrorDiskFull);
         },
         win::kErrorDiskFull, "CvSetVolumeFlag: WriteFile(\\\\.\\C:\\cvflt0.sys) failed(112)"},
        {"the marker is locked and cannot be moved",
         [](sim::Machine& m) {
             m.files().AddFile(L"C:\\cvflt0.sys", std::string("old"));
             m.files().SetLocked(L"C:\\cvflt0.sys");
         },
         win::kErrorSharingViolation,
         "CvSetVolumeFlag: CreateFile(\\\\.\\C:\\cvflt0.sys) failed(32)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::Machine m;
        m.files().AddFile(kTraceLogPath, std::string());
        m.volumes().LoadDriver(kGuid);
        c.arrange(m);
        m.SetLastError(0);
        EXPECT_FALSE(CvSetVolumeFlag(m.platform(), kBase, c.letter, 1));
        EXPECT_EQ(m.LastError(), c.error);
        EXPECT_EQ(TraceLines(m), std::vector<std::string>{c.line});
        // Every 201 found its 202.
        int open = 0;
        for (const auto& r : m.volumes().RequestLog()) {
            if (r.command == kBeginDriverAccessCommand)
                ++open;
            if (r.command == kEndDriverAccessCommand)
                --open;
            EXPECT_GE(open, 0);
            EXPECT_LE(open, 1);
        }
        EXPECT_EQ(open, 0);
    }
}

TEST(VolumeMarkerTest, MarkersThatCannotBeOpenedMoveToTheFirstFreeBackupName) {
    const std::wstring bak = std::wstring(kMarker) + L".bak";
    {
        SCOPED_TRACE(".bak taken: .bak.001");
        sim::Machine m;
        m.files().AddFile(kMarker, std::string("in use"));
        m.files().SetInUse(kMarker);
        m.files().AddFile(bak, std::string("older"));
        ASSERT_TRUE(CvSetVolumeFlag(m.platform(), 0, L'C', 1));
        EXPECT_EQ(m.files().ReadText(bak), std::string("older"));
        EXPECT_EQ(m.files().ReadText(bak + L".001"), std::string("in use"));
        EXPECT_EQ(m.files().Size(kMarker), 56614912u);
    }
    {
        SCOPED_TRACE("all 1000 backup names taken: a temporary name in the root");
        sim::Machine m;
        m.files().AddFile(kMarker, std::string("in use"));
        m.files().SetInUse(kMarker);
        for (int i = 0; i < kMarkerBackupNames; ++i)
            m.files().AddFile(MarkerBackupName(kMarker, i), std::string("taken"));
        ASSERT_TRUE(CvSetVolumeFlag(m.platform(), 0, L'C', 1));
        std::vector<std::wstring> moved;
        for (const std::wstring& path : m.files().List(L"C:\\")) {
            if (path.size() > 4 && path.compare(path.size() - 4, 4, L".tmp") == 0 &&
                path.find(L'\\', 3) == std::wstring::npos)
                moved.push_back(path);
        }
        ASSERT_EQ(moved.size(), 1u);
        EXPECT_EQ(m.files().ReadText(moved[0]), std::string("in use"));
        EXPECT_EQ(m.files().Size(kMarker), 56614912u);
    }
}

TEST(VolumeMarkerTest, NeverWritesThroughALink) {
    const std::wstring target = L"C:\\Windows\\system32\\config\\SYSTEM";
    const std::string targetBytes = "the system hive";
    const uint32_t targetAttributes = win::kFileAttributeArchive | win::kFileAttributeReadonly;
    struct Case {
        const char* name;
        void (*arrange)(sim::Machine&, const std::wstring& target);
    };
    const Case cases[] = {
        {"a hard link to a system file",
         [](sim::Machine& m, const std::wstring& t) {
             ASSERT_TRUE(m.files().CreateHardLink(kMarker, t));
         }},
        {"a symbolic link to a system file",
         [](sim::Machine& m, const std::wstring& t) {
             ASSERT_TRUE(m.files().CreateSymbolicLink(kMarker, t, false));
         }},
        {"a folder", [](sim::Machine& m, const std::wstring&) { m.files().MakeFolders(kMarker); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::Machine m;
        m.files().AddFile(target, targetBytes);
        m.files().SetAttributes(target, targetAttributes);
        c.arrange(m, target);
        ASSERT_TRUE(CvSetVolumeFlag(m.platform(), 0, L'C', 1));
        // The target is as it was, bytes and attributes.
        EXPECT_EQ(m.files().ReadText(target), targetBytes);
        EXPECT_EQ(m.files().Attributes(target), targetAttributes);
        // The planted name was moved aside and a plain marker made in its place.
        EXPECT_TRUE(m.files().Exists(std::wstring(kMarker) + L".bak"));
        EXPECT_EQ(m.files().LinkCount(kMarker), 1u);
        EXPECT_TRUE(m.files().LinkTarget(kMarker).empty());
        EXPECT_EQ(m.files().Size(kMarker), 56614912u);
        EXPECT_EQ(Field(DecodedHeader(m, kMarker), 20), 16384u);
    }

    // A link planted again after the move (as by a race) is refused, not written through.
    sim::Machine m;
    m.files().AddFile(kTraceLogPath, std::string());
    m.files().AddFile(target, targetBytes);
    ASSERT_TRUE(m.files().CreateHardLink(kMarker, target));
    m.files().FailPath(std::wstring(kMarker) + L"*", sim::FileOp::MoveFile,
                       win::kErrorAccessDenied);
    m.files().FailNext(sim::FileOp::GetTempFileName, win::kErrorAccessDenied);
    m.SetLastError(0);
    EXPECT_FALSE(CvSetVolumeFlag(m.platform(), 0, L'C', 1));
    EXPECT_EQ(m.LastError(), win::kErrorAccessDenied);
    EXPECT_EQ(m.files().ReadText(target), targetBytes);
    EXPECT_EQ(TraceLines(m), std::vector<std::string>{
                                 "CvSetVolumeFlag: CreateFile(\\\\.\\C:\\cvflt0.sys) failed(5)"});
}

TEST(VolumeMarkerTest, DriverBracketsEveryAccess) {
    sim::Machine m;
    m.volumes().LoadDriver(kGuid);
    const uint32_t code = VariableControlCode(kBase);
    ASSERT_TRUE(CvSetVolumeFlag(m.platform(), kBase, L'C', 1));
    std::vector<std::string> log;
    for (const auto& r : m.volumes().RequestLog()) {
        std::string line = base::ToUtf8(r.device) + " ";
        if (r.code == code)
            line += std::to_string(r.command);
        else if (r.code == win::kIoctlDiskGetDriveGeometry)
            line += "geometry";
        else if (r.code == win::kIoctlDiskGetPartitionInfo)
            line += "partition";
        else if (r.code == win::kFsctlSetCompression)
            line += "compression";
        log.push_back(line);
    }
    const std::vector<std::string> expected = {
        "\\\\.\\VfControl 201", "\\\\.\\C: 1000",
        "\\\\.\\VfControl 202", "\\\\.\\VfControl 201",
        "\\\\.\\VfControl 202", "\\\\.\\C: geometry",
        "\\\\.\\C: partition",  "\\\\.\\VfControl 201",
        "\\\\.\\VfControl 202", "\\\\.\\C:\\cvflt0.sys compression",
    };
    EXPECT_EQ(log, expected);
}

TEST(VolumeMarkerTest, VeilModeHandsTheHeaderToTheDriver) {
    sim::Machine m;
    m.volumes().AddFixedVolume(L'D', 20 * kGiB, 10 * kGiB);
    m.files().AddFile(L"D:\\cvflt0.sys", std::string("the driver's file"));
    m.volumes().LoadDriver(kGuid);
    m.volumes().SetVolumeState(L'D', 2, 0x1a);
    m.volumes().Volume(L'D')->overlayPartitionLength = 300 * kGiB;
    const uint32_t code = VariableControlCode(kBase);

    ASSERT_TRUE(CvSetVolumeFlag(m.platform(), kBase, L'd', 1));

    // No file is touched; the geometry came from the overlay device.
    EXPECT_EQ(m.files().ReadText(L"D:\\cvflt0.sys"), std::string("the driver's file"));
    std::vector<std::string> log;
    for (const auto& r : m.volumes().RequestLog()) {
        if (r.code == code)
            log.push_back(base::ToUtf8(r.device) + " " + std::to_string(r.command));
        else if (r.code == win::kIoctlDiskGetPartitionInfo)
            log.push_back(base::ToUtf8(r.device) + " partition");
    }
    const std::vector<std::string> expected = {
        "\\\\.\\VfControl 201", "\\\\.\\d: 1000",       "\\\\.\\VfControl 202",
        "\\\\.\\VfControl 201", "\\\\.\\VfControl 202", "\\\\.\\VfVeil1a partition",
        "\\\\.\\VfControl 201", "\\\\.\\d: 1003",       "\\\\.\\VfControl 202",
    };
    EXPECT_EQ(log, expected);

    // The driver got the 512 bytes the record's address named: the header for the
    // overlay's 300 GiB, the letter's index counted from its capital.
    ASSERT_EQ(m.volumes().HeaderRequests().size(), 1u);
    const auto& request = m.volumes().HeaderRequests()[0];
    EXPECT_EQ(request.letter, L'D');
    // The record carries the magic, the command, the address and the length, nothing else.
    const std::vector<uint8_t>& record = request.record;
    ASSERT_EQ(record.size(), 136u);
    EXPECT_EQ(std::string(record.begin(), record.begin() + 4), "cvfl");
    EXPECT_EQ(Field(record, 4), 1003u);
    EXPECT_NE(Field(record, 8), 0u);
    EXPECT_EQ(Field(record, 12), 512u);
    EXPECT_EQ(std::vector<uint8_t>(record.begin() + 16, record.end()),
              std::vector<uint8_t>(120, 0));
    const std::vector<uint8_t> header = Deciphered(request.header);
    ASSERT_EQ(header.size(), 512u);
    EXPECT_EQ(std::string(header.begin() + 4, header.begin() + 8), "cvfl");
    EXPECT_EQ(Field(header, 20), 32768u);
    EXPECT_EQ(Field(header, 24), ComputeMarkerLayout(300 * kGiB, 1).bitmapSize);
    EXPECT_EQ(Field(header, 52), 1u);
}

TEST(VolumeMarkerTest, VeilModeFailures) {
    struct Case {
        const char* name;
        void (*arrange)(sim::Machine&);
        uint32_t error;
    };
    const Case cases[] = {
        {"command 1003 refused",
         [](sim::Machine& m) { m.volumes().FailCommand(1003, win::kErrorNotReady); },
         win::kErrorNotReady},
        {"no 32-bit address for the header",
         [](sim::Machine& m) { m.volumes().FailBlockAddress(win::kErrorInvalidAddress); },
         win::kErrorInvalidAddress},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::Machine m;
        m.files().AddFile(kTraceLogPath, std::string());
        m.volumes().LoadDriver(kGuid);
        m.volumes().SetVolumeState(L'C', 2, 7);
        c.arrange(m);
        m.SetLastError(0);
        EXPECT_FALSE(CvSetVolumeFlag(m.platform(), kBase, L'C', 1));
        EXPECT_EQ(m.LastError(), c.error);
        EXPECT_TRUE(TraceLines(m).empty()) << "Veil Mode's hand-over is not traced";
        EXPECT_EQ(m.volumes().RequestLog().back().command, kEndDriverAccessCommand);
        EXPECT_FALSE(m.files().Exists(kMarker));
    }
}

}  // namespace
