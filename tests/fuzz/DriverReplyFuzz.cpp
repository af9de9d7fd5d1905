// The driver's replies and the registry's GUID: a loaded driver (or none) with an install
// GUID of any text, answering the GUID query (command 0) and the volume query (command
// 1000) with chosen bytes - garbage, short, long or unterminated - and the service key's
// "GUID" value of any type and bytes. Driven through ComputeControlCodeBase,
// QueryDriverGuid, QueryVolumeState and the volume marker of a volume the reply may call
// veiled (which forms the overlay device's name from the reply). After each run: the base
// is 4 x a sum of four 16-bit units, the GUID text buffer was not written past its 128
// bytes, and the state is one of the four known ones.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "Setup/checks/DriverControl.h"
#include "Setup/protect/VolumeMarker.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input(data, size);
    const uint8_t flags = input.Byte();
    const std::wstring guid = input.TextBlock();
    const std::vector<uint8_t> guidReply = input.Block(true);
    const std::vector<uint8_t> stateReply = input.Block(true);
    const uint32_t rawState = input.U32();
    const uint32_t overlay = input.U32();
    const uint32_t registryType = input.U32();
    const std::vector<uint8_t> registryGuid = input.Block(true);

    sim::Machine machine;
    if (flags & 1) {
        machine.volumes().LoadDriver(guid);
        machine.volumes().SetVolumeState(L'C', rawState, overlay);
    }
    if (flags & 2) {
        machine.volumes().SetDriverReply(kQueryDriverGuidCommand, guidReply);
    }
    if (flags & 4) {
        machine.volumes().SetDriverReply(kQueryVolumeStateCommand, stateReply);
    }
    if (flags & 8) {
        machine.registry().SetRaw(platform::Hive::LocalMachine, kDriverServiceKey, L"GUID",
                                  registryType, registryGuid);
    }
    platform::Platform& platform = machine.platform();

    const int32_t base = ComputeControlCodeBase(platform);
    FUZZ_CHECK(base >= 0 && base % 4 == 0 && base <= 4 * 4 * 0xFFFF, "base %d", base);

    // Exactly the 128 bytes the routine may fill: anything past them is caught by ASan.
    std::vector<uint8_t> text(kDriverGuidBytes, 0xEE);
    QueryDriverGuid(platform, text.data());

    VolumeState state;
    state.state = -1;
    if (QueryVolumeState(platform, base, L'C', &state)) {
        FUZZ_CHECK(state.state >= 0 && state.state <= 3, "state %d", state.state);
    } else {
        FUZZ_CHECK(state.state == -1, "state set by a failed query");
    }

    // The volume marker asks the same driver: in Veil Mode the header goes to the driver.
    if (flags & 16) {
        CvSetVolumeFlag(platform, base, L'C', 1);
    }
    return 0;
}
