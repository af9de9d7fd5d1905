// The driver control channel: the control-code base from the driver or the registry, the
// volume state query with its bracketing, and the drive-letter volume tests.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Setup/checks/DriverControl.h"
#include "Setup/checks/VolumeChecks.h"
#include "Setup/flow/SetupProcess.h"
#include "base/Text.h"
#include "sim/Machine.h"

namespace {

using platform::Hive;

// A GUID text as the installation writes it, with "abcd" as its fourth group: positions 20
// to 23 hold 97 + 98 + 99 + 100 = 394, so the base is 1576.
const wchar_t kAbcdGuid[] = L"{01234567-89ab-cdef-abcd-0123456789ab}";
constexpr int32_t kAbcdBase = 1576;

struct RequestLine {
    std::wstring device;
    uint32_t code;
    uint32_t command;
    bool succeeded;
};

std::vector<RequestLine> Requests(sim::Machine& m) {
    std::vector<RequestLine> lines;
    for (const sim::DeviceRequest& r : m.volumes().RequestLog()) {
        lines.push_back(RequestLine{r.device, r.code, r.command, r.succeeded});
    }
    return lines;
}

void ExpectRequests(sim::Machine& m, const std::vector<RequestLine>& expected) {
    const std::vector<RequestLine> got = Requests(m);
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "request " << i);
        EXPECT_EQ(base::ToUtf8(got[i].device), base::ToUtf8(expected[i].device));
        EXPECT_EQ(got[i].code, expected[i].code);
        EXPECT_EQ(got[i].command, expected[i].command);
        EXPECT_EQ(got[i].succeeded, expected[i].succeeded);
    }
}

TEST(DriverControlTest, ControlCodeBaseFromTheDriverOrTheRegistry) {
    struct Case {
        const char* name;
        const wchar_t* driverGuid;    // null: no driver loaded
        const wchar_t* registryGuid;  // null: no GUID value
        int32_t base;
    };
    const Case cases[] = {
        {"registry only", nullptr, kAbcdGuid, kAbcdBase},
        {"driver only", kAbcdGuid, nullptr, kAbcdBase},
        // The loaded driver's GUID wins over the registry's.
        {"driver before registry", kAbcdGuid, L"{01234567-89ab-cdef-0000-0123456789ab}", kAbcdBase},
        {"all zero digits", nullptr, L"{01234567-89ab-cdef-0000-0123456789ab}", 4 * 4 * '0'},
        {"all f digits", nullptr, L"{01234567-89ab-cdef-ffff-0123456789ab}", 4 * 4 * 'f'},
        // Positions past the end of a short text are the zero-filled buffer's.
        {"22 characters", nullptr, L"{01234567-89ab-cdef-ab", 4 * ('a' + 'b')},
        {"empty text", nullptr, L"", 0},
        // A loaded driver that answers with no text at all still wins over the registry.
        {"driver with an empty GUID", L"", kAbcdGuid, 0},
        {"no GUID anywhere", nullptr, nullptr, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::Machine m;
        if (c.driverGuid != nullptr) {
            m.volumes().LoadDriver(c.driverGuid);
        }
        if (c.registryGuid != nullptr) {
            m.registry().SetString(Hive::LocalMachine, kDriverServiceKey, L"GUID", c.registryGuid);
        }
        m.SetLastError(0xDEADBEEF);
        EXPECT_EQ(ComputeControlCodeBase(m.platform()), c.base);
        if (c.driverGuid == nullptr && c.registryGuid == nullptr) {
            EXPECT_EQ(m.LastError(), win::kErrorFileNotFound);
        }
    }
    EXPECT_EQ(VariableControlCode(kAbcdBase), 0x80002C0Cu);
    EXPECT_EQ(VariableControlCode(0), 0x800025E4u);
    // Unsigned 32-bit arithmetic: a negative base wraps instead of overflowing.
    EXPECT_EQ(VariableControlCode(-0x25E4), 0x80000000u);
}

// Registry values of any type and length: the buffer holds 512 bytes and is zero-filled;
// what does not fit is not read at all.
TEST(DriverControlTest, ControlCodeBaseFromMalformedRegistryValues) {
    std::vector<uint8_t> unterminated;
    for (int i = 0; i < 256; ++i) {
        unterminated.push_back('1');
        unterminated.push_back(0);
    }
    std::vector<uint8_t> longer(514, '2');
    std::vector<uint8_t> binary(48, 0);
    binary[40] = 1;  // unit 20 = 1
    binary[46] = 2;  // unit 23 = 2
    struct Case {
        const char* name;
        uint32_t type;
        std::vector<uint8_t> bytes;
        int32_t base;
    };
    const Case cases[] = {
        {"REG_DWORD", win::kRegDword, {0x78, 0x56, 0x34, 0x12}, 0},
        {"REG_BINARY", win::kRegBinary, binary, 4 * 3},
        {"empty REG_SZ", win::kRegSz, {}, 0},
        {"512 bytes without a terminator", win::kRegSz, unterminated, 4 * 4 * '1'},
        {"longer than 512 bytes", win::kRegSz, longer, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::Machine m;
        m.registry().SetRaw(Hive::LocalMachine, kDriverServiceKey, L"GUID", c.type, c.bytes);
        EXPECT_EQ(ComputeControlCodeBase(m.platform()), c.base);
    }
}

TEST(DriverControlTest, StartSetupProcessComputesTheBase) {
    sim::Machine m;
    m.registry().SetString(Hive::LocalMachine, kDriverServiceKey, L"GUID", kAbcdGuid);
    EXPECT_EQ(StartSetupProcess(m.platform()).ControlCodeBase, kAbcdBase);
}

TEST(DriverControlTest, QueryDriverGuidCopiesTheReplyAsItIs) {
    sim::Machine m;
    uint8_t text[kDriverGuidBytes + 2] = {};
    EXPECT_FALSE(QueryDriverGuid(m.platform(), text));
    EXPECT_EQ(m.LastError(), win::kErrorFileNotFound);  // no control device without a driver

    // A GUID text that fills the whole reply: all 128 bytes, no terminator of its own.
    const std::wstring sixtyFour(64, L'x');
    m.volumes().LoadDriver(sixtyFour);
    ASSERT_TRUE(QueryDriverGuid(m.platform(), text));
    EXPECT_EQ(base::FromUtf16LEUntilNull(text, sizeof text), sixtyFour);
    ExpectRequests(m, {{kDriverControlDevice, kFixedControlCode, kQueryDriverGuidCommand, true}});
    EXPECT_EQ(ComputeControlCodeBase(m.platform()), 4 * 4 * 'x');
}

TEST(DriverControlTest, VolumeStateIsBracketedAndMapped) {
    struct Case {
        uint32_t raw;
        int32_t state;
    };
    const Case cases[] = {{0, 0}, {1, 0}, {2, 1}, {3, 2}, {4, 3}, {5, 0}, {0xFFFFFFFF, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "raw " << c.raw);
        sim::Machine m;
        m.volumes().LoadDriver(kAbcdGuid);
        m.volumes().SetVolumeState(L'C', c.raw, 7);
        VolumeState state;
        ASSERT_TRUE(QueryVolumeState(m.platform(), kAbcdBase, L'C', &state));
        EXPECT_EQ(state.state, c.state);
        EXPECT_EQ(state.overlayNumber, 7u);
        const uint32_t code = VariableControlCode(kAbcdBase);
        ExpectRequests(m, {{kDriverControlDevice, code, kBeginDriverAccessCommand, true},
                           {L"\\\\.\\C:", code, kQueryVolumeStateCommand, true},
                           {kDriverControlDevice, code, kEndDriverAccessCommand, true}});
        EXPECT_EQ(m.files().OpenCount(L"\\\\.\\C:"), 0);
    }
}

TEST(DriverControlTest, AFailedVolumeRequestStillEndsTheAccessAndKeepsItsError) {
    sim::Machine m;
    m.volumes().LoadDriver(kAbcdGuid);
    m.volumes().FailCommand(kQueryVolumeStateCommand, win::kErrorNotReady);
    m.volumes().FailCommand(kEndDriverAccessCommand, win::kErrorAccessDenied);
    VolumeState state;
    state.state = 9;
    EXPECT_FALSE(QueryVolumeState(m.platform(), kAbcdBase, L'C', &state));
    EXPECT_EQ(m.LastError(), win::kErrorNotReady);
    EXPECT_EQ(state.state, 9);  // untouched
    const uint32_t code = VariableControlCode(kAbcdBase);
    ExpectRequests(m, {{kDriverControlDevice, code, kBeginDriverAccessCommand, true},
                       {L"\\\\.\\C:", code, kQueryVolumeStateCommand, false},
                       {kDriverControlDevice, code, kEndDriverAccessCommand, false}});
}

TEST(DriverControlTest, TheDriverAnswersOnlyItsOwnCode) {
    sim::Machine m;
    m.volumes().LoadDriver(kAbcdGuid);
    m.volumes().SetVolumeState(L'C', 2, 1);
    VolumeState state;
    // A base derived from another GUID: every variable-code request is refused.
    EXPECT_FALSE(QueryVolumeState(m.platform(), 0, L'C', &state));
    EXPECT_EQ(m.LastError(), win::kErrorInvalidFunction);
    EXPECT_FALSE(BeginDriverAccess(m.platform(), 0));
    EXPECT_TRUE(BeginDriverAccess(m.platform(), kAbcdBase));
    EXPECT_TRUE(EndDriverAccess(m.platform(), kAbcdBase));
}

TEST(DriverControlTest, WithoutADriverNoRequestSucceeds) {
    sim::Machine m;
    VolumeState state;
    EXPECT_FALSE(QueryVolumeState(m.platform(), 0, L'C', &state));
    EXPECT_EQ(m.LastError(), win::kErrorInvalidFunction);
    // An absent drive cannot even be opened; nothing is sent then.
    m.volumes().ClearRequestLog();
    EXPECT_FALSE(QueryVolumeState(m.platform(), 0, L'Q', &state));
    EXPECT_EQ(m.LastError(), win::kErrorFileNotFound);
    EXPECT_TRUE(m.volumes().RequestLog().empty());
    EXPECT_FALSE(BeginDriverAccess(m.platform(), 0));
    EXPECT_FALSE(EndDriverAccess(m.platform(), 0));
}

TEST(DriverControlTest, RequestRecordFieldsAreLittleEndian) {
    DriverRequest request(kVolumeHeaderCommand);
    request.SetField(8, 0x11223344);
    const uint8_t* b = request.Bytes();
    EXPECT_EQ(std::vector<uint8_t>(b, b + 12),
              (std::vector<uint8_t>{'c', 'v', 'f', 'l', 0xEB, 0x03, 0, 0, 0x44, 0x33, 0x22, 0x11}));
    for (size_t i = 12; i < kDriverRequestSize; ++i) {
        EXPECT_EQ(b[i], 0) << i;
    }
    EXPECT_EQ(request.Field(8), 0x11223344u);
    // Offsets past the record are neither read nor written.
    request.SetField(kDriverRequestSize - 2, 0xFFFFFFFF);
    EXPECT_EQ(request.Field(kDriverRequestSize - 2), 0u);
    EXPECT_EQ(VolumeDevicePath(L'D'), L"\\\\.\\D:");
}

TEST(DriverControlTest, ListedAndEligibleVolumes) {
    sim::Machine m;
    auto& v = m.volumes();
    v.AddFixedVolume(L'D', 1LL << 32, 1LL << 30).fileSystem = L"FAT32";
    v.Volume(L'D')->driveType = win::kDriveRemovable;
    v.AddFixedVolume(L'E', 1LL << 32, 1LL << 30).fileSystem = L"exFAT";
    v.AddFixedVolume(L'F', 1LL << 32, 1LL << 30).fileSystem = L"UDF";
    v.AddFixedVolume(L'G', 1LL << 32, 1LL << 30).driveType = win::kDriveCdrom;
    v.AddFixedVolume(L'H', 1LL << 32, 1LL << 30).listed = false;
    sim::VolumeConfig network;
    network.driveType = win::kDriveRemote;
    network.volumeName.clear();
    v.AddVolume(L'N', network);
    v.AddFixedVolume(L'R', 1LL << 32, 1LL << 30).volumeInformationError = win::kErrorNotReady;

    struct Row {
        wchar_t letter;
        bool listed;
        bool eligible;
    };
    const Row rows[] = {
        {L'C', true, true},   {L'c', true, true},  {L'D', true, true},   {L'E', true, true},
        {L'F', true, false},  {L'G', true, false}, {L'H', false, false}, {L'N', false, false},
        {L'Q', false, false}, {L'R', true, false}, {L',', false, false}, {L' ', false, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << "letter " << static_cast<char>(r.letter));
        EXPECT_EQ(IsListedVolume(m.platform(), r.letter), r.listed);
        EXPECT_EQ(IsEligibleVolume(m.platform(), r.letter), r.eligible);
    }
}

// Every request is the 136-byte record: the magic, the command, and zeros; it goes out as
// input and output of the same size.
TEST(DriverControlTest, EveryRequestIsTheWholeRecord) {
    sim::Machine m;
    m.volumes().LoadDriver(kAbcdGuid);
    uint8_t text[kDriverGuidBytes] = {};
    ASSERT_TRUE(QueryDriverGuid(m.platform(), text));
    VolumeState state;
    ASSERT_TRUE(QueryVolumeState(m.platform(), kAbcdBase, L'C', &state));
    const std::vector<sim::DeviceRequest> log = m.volumes().RequestLog();
    ASSERT_EQ(log.size(), 4u);
    const uint32_t commands[] = {kQueryDriverGuidCommand, kBeginDriverAccessCommand,
                                 kQueryVolumeStateCommand, kEndDriverAccessCommand};
    for (size_t i = 0; i < log.size(); ++i) {
        SCOPED_TRACE(i);
        std::vector<uint8_t> expected(kDriverRequestSize, 0);
        DriverRequest record(commands[i]);
        expected.assign(record.Bytes(), record.Bytes() + kDriverRequestSize);
        EXPECT_EQ(log[i].request, expected);
        EXPECT_EQ(log[i].outSize, kDriverRequestSize);
        EXPECT_EQ(log[i].command, commands[i]);
    }
}

// Whatever a driver answers is read within the program's own buffers: garbage, a GUID text
// without a terminator, a reply shorter than the record.
TEST(DriverControlTest, GarbageRepliesAreReadSafely) {
    struct GuidCase {
        const char* name;
        std::vector<uint8_t> reply;
        int32_t base;
    };
    std::vector<uint8_t> allOnes(kDriverRequestSize, 0xFF);
    std::vector<uint8_t> letters(kDriverRequestSize, 'A');  // 64 units of U+4141, no null
    const GuidCase guidCases[] = {
        {"136 bytes of 0xFF", allOnes, 4 * 4 * 0xFFFF},
        {"a text without a terminator", letters, 4 * 4 * 0x4141},
        // Only 8 bytes came back: the rest of the buffer is the request's zeros.
        {"a reply of 8 bytes", std::vector<uint8_t>(allOnes.begin(), allOnes.begin() + 8), 0},
        {"no bytes at all", {}, 0},
    };
    for (const GuidCase& c : guidCases) {
        SCOPED_TRACE(c.name);
        sim::Machine m;
        m.volumes().LoadDriver(kAbcdGuid);
        m.volumes().SetDriverReply(kQueryDriverGuidCommand, c.reply);
        // The driver answered, so its reply counts even when the registry knows better.
        m.registry().SetString(Hive::LocalMachine, kDriverServiceKey, L"GUID", kAbcdGuid);
        EXPECT_EQ(ComputeControlCodeBase(m.platform()), c.base);
    }

    struct StateCase {
        const char* name;
        std::vector<uint8_t> reply;
        uint32_t overlay;
        int32_t state;
    };
    std::vector<uint8_t> veiled(kDriverRequestSize, 0xA5);
    for (size_t i = 12; i < 16; ++i) {
        veiled[i] = i == 12 ? 2 : 0;
    }
    std::vector<uint8_t> longer(4096, 0x02);
    const StateCase stateCases[] = {
        {"garbage", allOnes, 0xFFFFFFFF, 0},
        {"garbage around raw state 2", veiled, 0xA5A5A5A5, 1},
        {"a reply of 4 bytes", std::vector<uint8_t>(4, 0xFF), 0, 0},
        {"a reply longer than the record", longer, 0x02020202, 0},
    };
    for (const StateCase& c : stateCases) {
        SCOPED_TRACE(c.name);
        sim::Machine m;
        m.volumes().LoadDriver(kAbcdGuid);
        m.volumes().SetDriverReply(kQueryVolumeStateCommand, c.reply);
        VolumeState state;
        ASSERT_TRUE(QueryVolumeState(m.platform(), kAbcdBase, L'C', &state));
        EXPECT_EQ(state.overlayNumber, c.overlay);
        EXPECT_EQ(state.state, c.state);
    }
}

// DeviceIoControl is looked up for each request; a kernel32 without it fails every request
// with ERROR_PROC_NOT_FOUND, and the volume counts as not veiled.
TEST(DriverControlTest, AMissingDeviceIoControlFailsEveryRequest) {
    sim::Machine m;
    m.volumes().LoadDriver(kAbcdGuid);
    m.volumes().SetVolumeState(L'C', 2, 1);
    m.volumes().SetDeviceIoControlMissing(true);
    VolumeState state;
    EXPECT_FALSE(QueryVolumeState(m.platform(), kAbcdBase, L'C', &state));
    EXPECT_EQ(m.LastError(), win::kErrorProcNotFound);
    EXPECT_FALSE(BeginDriverAccess(m.platform(), kAbcdBase));
    EXPECT_EQ(m.files().OpenCount(kDriverControlDevice), 0);
    EXPECT_EQ(m.files().OpenCount(L"\\\\.\\C:"), 0);
    m.volumes().SetDeviceIoControlMissing(false);
    EXPECT_TRUE(QueryVolumeState(m.platform(), kAbcdBase, L'C', &state));
    EXPECT_EQ(state.state, kVolumeVeiled);
}

}  // namespace
