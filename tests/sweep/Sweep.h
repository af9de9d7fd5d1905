// The fault sweep: a whole installation run once for every counted call k, once with call k
// failed and once stopped right after it, in three modes, each run checked for what must
// hold whatever happens to the machine: it still boots, nothing of other software is lost,
// the exit code tells the truth, and the run ends.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "EngineTestMachine.h"
#include "FaultPorts.h"
#include "sim/Machine.h"

namespace sweep {

enum class Mode {
    Silent,   // -silent with a configuration file that names a volume to mark
    Wizard,   // the eight pages, walked by the scripted user
    Upgrade,  // -silent over an earlier installation, other filters in both lists
};
const char* ModeName(Mode mode);

// One run of a mode under a plan.
struct Outcome {
    uint32_t exitCode = 0;
    uint64_t calls = 0;
    faults::Call disturbed;
    bool hung = false;
    std::vector<faults::Call> recorded;
    std::unique_ptr<sim::Machine> machine;
};

// The machine of |mode| before the installation.
std::unique_ptr<sim::Machine> MakeMachine(Mode mode);
Outcome Run(Mode mode, faults::Way way, uint64_t k, bool record = false);

// The undisturbed run of a mode: what the machine held before and after, and its calls.
struct Reference {
    Mode mode = Mode::Silent;
    enginetest::State before;
    enginetest::State after;
    uint32_t exitCode = 0;
    std::vector<faults::Call> calls;
    // Other products' entries in the two filter lists before the installation, in order.
    std::vector<std::wstring> foreignUpper;
    std::vector<std::wstring> foreignLower;
};
Reference Undisturbed(Mode mode);

// What the run broke, one line each; empty when every invariant holds.
std::vector<std::string> Check(const Reference& reference, faults::Way way, Outcome& outcome);

// The running Keeper.exe of the earlier installation (upgrade mode) is whole, old or new,
// or the new one is whole beside it with its move into place pending for the restart.
bool KeeperWholeOrPending(sim::Machine& m);
// The number of the undisturbed run's first call |op| on |subject|; 0 when there is none.
uint64_t FindCall(const Reference& reference, const wchar_t* op, const std::wstring& subject);

struct Summary {
    Mode mode = Mode::Silent;
    uint64_t n = 0;     // counted calls of the undisturbed run
    uint64_t runs = 0;  // disturbed runs made
    std::vector<std::string> violations;
};
// Runs k = first, first + stride, ... up to N, both ways.
Summary SweepMode(Mode mode, uint64_t stride, uint64_t first = 1);

}  // namespace sweep
