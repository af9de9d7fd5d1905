// System: version, GUIDs, the per-thread last-error value, Sleep, the C runtime's rand, the
// UI language, COM apartments and threads.
#include <set>

#include "Conformance.h"
#include "base/Text.h"

namespace conf {
namespace {

class SystemTable : public ConformanceTest {};

struct ThreadContext {
    platform::Platform* platform = nullptr;
    uint32_t lastErrorSeen = 0;
    int32_t results[3] = {};
};

TEST_F(SystemTable, Version) {
    platform::OsVersion v;
    const bool ok = P().system.GetVersion(&v);
    const platform::OsVersion known = E().KnownVersion();
    const bool atLeastXp = v.major > 5 || (v.major == 5 && v.minor >= 1);
    Check("GetVersionEx",
          Out()
              .Add("ok", ok)
              .Add("atLeast51", atLeastXp)
              .Add("platformId", v.platformId)
              .Add("sameAsKnown",
                   v.major == known.major && v.minor == known.minor && v.build == known.build)
              .str(),
          "ok=1 atLeast51=1 platformId=2 sameAsKnown=1");
    std::printf("  version %u.%u.%u SP%u\n", v.major, v.minor, v.build, v.servicePackMajor);
}

TEST_F(SystemTable, Guids) {
    std::set<std::wstring> seen;
    int32_t worst = 0;
    bool nonZero = true;
    for (int i = 0; i < 8; ++i) {
        platform::Guid g;
        const int32_t hr = P().system.CreateGuid(&g);
        if (hr != 0)
            worst = hr;
        bool zero = g.data1 == 0 && g.data2 == 0 && g.data3 == 0;
        for (uint8_t b : g.data4)
            zero = zero && b == 0;
        if (zero)
            nonZero = false;
        seen.insert(base::Format(L"%08X-%04X-%04X-%02X%02X", g.data1, g.data2, g.data3, g.data4[0],
                                 g.data4[7]));
    }
    Check("CoCreateGuid eight times",
          Out()
              .Hex("hr", static_cast<uint32_t>(worst))
              .Add("distinct", static_cast<uint32_t>(seen.size()))
              .Add("nonZero", nonZero)
              .str(),
          "hr=00000000 distinct=8 nonZero=1");
}

TEST_F(SystemTable, LastErrorIsPerThread) {
    platform::System& s = P().system;
    s.SetLastError(111);
    ThreadContext ctx;
    ctx.platform = &P();
    platform::KernelHandle t = s.CreateThread(
        [](void* arg) -> uint32_t {
            auto* c = static_cast<ThreadContext*>(arg);
            c->platform->system.SetLastError(222);
            c->platform->system.Sleep(0);
            c->lastErrorSeen = c->platform->system.GetLastError();
            return 0;
        },
        &ctx);
    const uint32_t wait = t ? s.WaitForThread(t, 10000) : 0xFFFF;
    if (t)
        s.CloseThread(t);
    Check(
        "SetLastError/GetLastError on two threads",
        Out().Add("wait", wait).Add("other", ctx.lastErrorSeen).Add("mine", s.GetLastError()).str(),
        "wait=0 other=222 mine=111");

    s.SetLastError(333);
    s.Sleep(0);
    Check("Sleep(0) keeps the last-error value", std::to_string(s.GetLastError()), "333");
}

TEST_F(SystemTable, RandAfterSrand) {
    platform::System& s = P().system;
    s.SeedRand(1);
    const int a = s.Rand(), b = s.Rand(), c = s.Rand();
    Check("srand(1); rand() x3", Out().Add("r1", a).Add("r2", b).Add("r3", c).str(),
          "r1=41 r2=18467 r3=6334");
    s.SeedRand(1);
    Check("srand(1) again restarts the sequence", std::to_string(s.Rand()), "41");
}

// Milliseconds since 2000-01-01 00:00 of a local time, and its day of week (0 = Sunday),
// worked out by Sakamoto's method, independently of either side.
uint64_t MillisecondsOf(const platform::SystemTime& t) {
    static const int kMonthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    uint64_t days = 0;
    for (int year = 2000; year < t.year; ++year) {
        days += (year % 4 == 0 && (year % 100 != 0 || year % 400 == 0)) ? 366 : 365;
    }
    for (int month = 1; month < t.month && month <= 12; ++month) {
        const bool leap = t.year % 4 == 0 && (t.year % 100 != 0 || t.year % 400 == 0);
        days += kMonthDays[month - 1] + (month == 2 && leap ? 1 : 0);
    }
    days += t.day - 1;
    return ((days * 24 + t.hour) * 60 + t.minute) * 60000ull + t.second * 1000ull + t.milliseconds;
}

int DayOfWeek(int year, int month, int day) {
    static const int kOffsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    if (month < 3) {
        year -= 1;
    }
    return (year + year / 4 - year / 100 + year / 400 + kOffsets[(month - 1) % 12] + day) % 7;
}

// GetLocalTime: a valid calendar date and time whose day of week fits the date, the
// last-error value untouched, and a clock that moves on with a pause and never goes back.
TEST_F(SystemTable, LocalTime) {
    platform::System& s = P().system;
    platform::SystemTime first;
    ArmLastError();
    s.GetLocalTime(&first);
    const uint32_t error = LastError();
    const bool inRange = first.year >= 2000 && first.year <= 9999 && first.month >= 1 &&
                         first.month <= 12 && first.day >= 1 && first.day <= 31 &&
                         first.hour < 24 && first.minute < 60 && first.second < 60 &&
                         first.milliseconds < 1000;
    Check("GetLocalTime",
          Out()
              .Add("inRange", inRange)
              .Add("weekdayFits", first.dayOfWeek == DayOfWeek(first.year, first.month, first.day))
              .Hex("err", error)
              .str(),
          "inRange=1 weekdayFits=1 err=DEADBEEF");

    platform::SystemTime second;
    s.GetLocalTime(&second);
    s.Sleep(200);
    platform::SystemTime third;
    s.GetLocalTime(&third);
    // The clock's resolution on Windows is the timer tick (about 16 ms): a pause of 200 ms
    // shows as at least 150.
    Check("GetLocalTime, again, Sleep(200), again",
          Out()
              .Add("inOrder", MillisecondsOf(first) <= MillisecondsOf(second))
              .Add("movedOn150", MillisecondsOf(third) >= MillisecondsOf(second) + 150)
              .str(),
          "inOrder=1 movedOn150=1");
    std::printf("  local time %04u-%02u-%02u %02u:%02u:%02u.%03u\n", first.year, first.month,
                first.day, first.hour, first.minute, first.second, first.milliseconds);
}

// SetErrorMode replaces the process's mode and returns the one before, flags the program
// sets first of all included.
TEST_F(SystemTable, ErrorMode) {
    platform::System& s = P().system;
    constexpr uint32_t kQuiet = win::kSemFailCriticalErrors | win::kSemNoOpenFileErrorBox;
    const uint32_t before = s.SetErrorMode(kQuiet);
    const uint32_t quiet = s.SetErrorMode(before | win::kSemNoGpFaultErrorBox);
    const uint32_t both = s.SetErrorMode(before);
    Check("SetErrorMode returns the mode it replaces",
          Out()
              .Add("quiet", quiet == kQuiet)
              .Add("added", both == (before | win::kSemNoGpFaultErrorBox))
              .str(),
          "quiet=1 added=1");
}

TEST_F(SystemTable, UiLanguage) {
    Check("GetUserDefaultUILanguage", std::to_string(P().system.GetUserDefaultUILanguage()),
          std::to_string(E().KnownUiLanguage()));
}

// CoInitializeEx on a fresh thread: S_OK, then S_FALSE for the same model, then
// RPC_E_CHANGED_MODE for the other one. A thread started and waited for returns its code.
TEST_F(SystemTable, ComApartmentsAndThreads) {
    platform::System& s = P().system;
    struct Row {
        const char* name;
        uint32_t first, second, third;
        const char* expected;
    };
    const uint32_t mta = win::kCoinitMultithreaded, sta = win::kCoinitApartmentThreaded;
    const Row rows[] = {
        {"multithreaded twice, then apartment", mta, mta, sta,
         "wait=0 closed=1 first=00000000 second=00000001 third=80010106"},
        {"apartment twice, then multithreaded", sta, sta, mta,
         "wait=0 closed=1 first=00000000 second=00000001 third=80010106"},
    };
    for (const Row& row : rows) {
        struct Ctx {
            ThreadContext base;
            uint32_t models[3];
        } ctx;
        ctx.base.platform = &P();
        ctx.models[0] = row.first;
        ctx.models[1] = row.second;
        ctx.models[2] = row.third;
        platform::KernelHandle t = s.CreateThread(
            [](void* arg) -> uint32_t {
                auto* c = static_cast<Ctx*>(arg);
                for (int i = 0; i < 3; ++i) {
                    c->base.results[i] = c->base.platform->system.CoInitializeEx(c->models[i]);
                }
                return 7;
            },
            &ctx);
        uint32_t wait = 0xFFFF;
        bool closed = false;
        if (t) {
            wait = s.WaitForThread(t, 10000);
            closed = s.CloseThread(t);
        }
        Check(std::string("CoInitializeEx on a fresh thread: ") + row.name,
              Out()
                  .Add("wait", wait)
                  .Add("closed", closed)
                  .Hex("first", static_cast<uint32_t>(ctx.base.results[0]))
                  .Hex("second", static_cast<uint32_t>(ctx.base.results[1]))
                  .Hex("third", static_cast<uint32_t>(ctx.base.results[2]))
                  .str(),
              row.expected);
    }
}

}  // namespace
}  // namespace conf
