// A layer over a machine's ports that counts every call reading or changing the machine and
// can disturb one of them: fail call k with an error Windows gives for that call (the
// last-error value set as the call sets it, registry calls returning it), or stop the run
// right after call k, as a crash or a power loss would. After the stop every further call
// fails without reaching the machine, so the program unwinds without touching it; a copy or
// a write that is call k is cut off part-way (the target holds only the first half).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Forwarding.h"
#include "platform/Platform.h"

namespace faults {

enum class Way {
    None,  // count only
    Fail,  // fail call k
    Stop,  // stop the run right after call k
};

// One counted call, as the sweep reports it.
struct Call {
    uint64_t number = 0;
    std::wstring op;       // "CopyFile", "SetValue"...
    std::wstring subject;  // the path, value or program it concerns
    bool changes = false;  // it changes the machine (a write, a copy, a start...)
    bool logOwn = false;   // a call the install log makes for its own file
    uint32_t error = 0;    // the error it was failed with
};

// The counter and the plan of one run, shared by the decorators (their calls may come from
// the program's main thread and its install worker).
class FaultPlan {
public:
    FaultPlan(Way way, uint64_t k, std::wstring logPath);

    // What a decorator does with the call it is about to make.
    struct Decision {
        bool fail = false;       // return a failure with |error| without calling the machine
        uint32_t error = 0;      // the Windows error to report
        bool stopAfter = false;  // make the call, then stop the run (cut it when it can be)
    };
    // Counts the call and decides. |errors| are the errors Windows gives for it, one of which
    // is picked by the call's number.
    Decision Enter(const wchar_t* op, const std::wstring& subject, bool changes,
                   std::initializer_list<uint32_t> errors);
    // The run is stopped (after call k of a Stop plan, or when the clock ran past its bound).
    bool Dead();
    void Die();

    // Simulated time slept; past the bound the run counts as hung and is stopped.
    void AddSleep(uint32_t milliseconds);
    bool Hung();

    uint64_t Calls();
    // The call that was failed or after which the run stopped (number 0 when none was).
    Call Disturbed();
    // Every counted call, when recording (the undisturbed run's list for the report).
    void Record(bool on);
    std::vector<Call> Recorded();
    // Whether |path| names the install log's own file.
    bool IsLogPath(const std::wstring& path) const;

private:
    std::recursive_mutex m_lock;
    const Way m_way;
    const uint64_t m_k;
    const std::wstring m_logPath;
    uint64_t m_calls = 0;
    bool m_dead = false;
    bool m_hung = false;
    uint64_t m_slept = 0;
    Call m_disturbed;
    bool m_record = false;
    std::vector<Call> m_recorded;
};

// The fault-injecting ports over |inner|, with the plan they follow.
class FaultPlatform {
public:
    FaultPlatform(platform::Platform& inner, FaultPlan& plan);
    ~FaultPlatform();
    platform::Platform& platform() { return *m_platform; }

private:
    struct Ports;
    std::unique_ptr<Ports> m_ports;
    std::unique_ptr<platform::Platform> m_platform;
};

}  // namespace faults
