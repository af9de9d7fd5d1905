#include <atomic>
#include <cstdio>
#include <thread>

#include <gtest/gtest.h>

#include "sim/Machine.h"

namespace {

using sim::Machine;

TEST(SimSystemTest, DefaultsAndSettings) {
    Machine m;
    platform::OsVersion v;
    ASSERT_TRUE(m.system().GetVersion(&v));
    EXPECT_EQ(v.major, 6u);
    EXPECT_EQ(v.minor, 1u);
    EXPECT_EQ(v.build, 7601u);
    EXPECT_EQ(v.servicePackMajor, 1u);
    EXPECT_EQ(v.platformId, 2u);
    EXPECT_EQ(m.system().QueryWow64(), platform::Wow64Probe::No);
    EXPECT_EQ(m.system().GetUserDefaultUILanguage(), win::kLangEnglishUs);
    std::wstring path;
    ASSERT_TRUE(m.system().GetWindowsDirectory(&path));
    EXPECT_EQ(path, L"C:\\Windows");
    EXPECT_TRUE(m.files().IsDirectory(path));
    ASSERT_TRUE(m.system().GetSystemDirectory(&path));
    EXPECT_EQ(path, L"C:\\Windows\\system32");
    EXPECT_TRUE(m.files().IsDirectory(path));

    m.system().SetVersion(6, 2, 9200, 0);
    m.system().SetWow64(platform::Wow64Probe::Absent);
    m.system().SetUiLanguage(win::kLangChineseSimplified);
    ASSERT_TRUE(m.system().GetVersion(&v));
    EXPECT_EQ(v.minor, 2u);
    EXPECT_EQ(v.build, 9200u);
    EXPECT_EQ(v.servicePackMajor, 0u);
    EXPECT_EQ(m.system().QueryWow64(), platform::Wow64Probe::Absent);
    EXPECT_EQ(m.system().GetUserDefaultUILanguage(), win::kLangChineseSimplified);
}

TEST(SimSystemTest, FolderFailuresSetLastError) {
    Machine m;
    std::wstring path;
    m.system().FailWindowsDirectory(win::kErrorNotEnoughMemory);
    m.system().FailSystemDirectory(win::kErrorAccessDenied);
    EXPECT_FALSE(m.system().GetWindowsDirectory(&path));
    EXPECT_EQ(m.system().GetLastError(), win::kErrorNotEnoughMemory);
    EXPECT_FALSE(m.system().GetSystemDirectory(&path));
    EXPECT_EQ(m.system().GetLastError(), win::kErrorAccessDenied);
    m.system().FailSystemDirectory(0);
    EXPECT_TRUE(m.system().GetSystemDirectory(&path));
}

TEST(SimSystemTest, GuidsAreDeterministic) {
    Machine m;
    platform::Guid a, b;
    ASSERT_EQ(m.system().CreateGuid(&a), win::kSOk);
    ASSERT_EQ(m.system().CreateGuid(&b), win::kSOk);
    EXPECT_EQ(a.data1, 0x10000001u);
    EXPECT_EQ(b.data1, 0x10000002u);
    EXPECT_EQ(a.data2, b.data2);
    EXPECT_NE(a.data2 | a.data3, 0);
    EXPECT_EQ(sim::SimSystem::SequenceGuid(0x10000001).data4[7], a.data4[7]);

    platform::Guid fixed;
    fixed.data1 = 0xDEADBEEF;
    m.system().NextGuids({fixed});
    m.system().SetGuidSequence(0x20000000);
    ASSERT_EQ(m.system().CreateGuid(&a), win::kSOk);
    EXPECT_EQ(a.data1, 0xDEADBEEFu);  // queued ones first
    ASSERT_EQ(m.system().CreateGuid(&a), win::kSOk);
    EXPECT_EQ(a.data1, 0x20000000u);

    m.system().FailCreateGuid(win::kEOutOfMemory);
    EXPECT_EQ(m.system().CreateGuid(&a), win::kEOutOfMemory);
}

TEST(SimSystemTest, RandIsTheRuntimesGeneratorPerThread) {
    Machine m;
    // srand(1) / rand() of the Microsoft C runtime.
    const int expected[] = {41, 18467, 6334, 26500, 19169};
    for (int value : expected) {
        EXPECT_EQ(m.system().Rand(), value);
    }
    m.system().SeedRand(1);
    EXPECT_EQ(m.system().Rand(), 41);
    m.system().SeedRand(12345);
    int seeded = m.system().Rand();
    EXPECT_EQ(seeded, static_cast<int>(((12345u * 214013u + 2531011u) >> 16) & 0x7FFF));

    // A new thread starts from seed 1 whatever this thread did.
    int other = -1;
    std::thread([&] { other = m.system().Rand(); }).join();
    EXPECT_EQ(other, 41);
}

TEST(SimSystemTest, SleepIsRecordedNotWaited) {
    Machine m;
    auto before = std::chrono::steady_clock::now();
    m.system().Sleep(60000);
    m.system().Sleep(250);
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5));
    std::thread([&] { m.system().Sleep(7); }).join();
    auto sleeps = m.system().Sleeps();
    ASSERT_EQ(sleeps.size(), 3u);
    EXPECT_EQ(sleeps[0].milliseconds, 60000u);
    EXPECT_EQ(sleeps[0].thread, std::this_thread::get_id());
    EXPECT_NE(sleeps[2].thread, std::this_thread::get_id());
    EXPECT_EQ(m.system().TotalSleep(), 60257u);
}

// The clock starts at its set time and moves on by the sleeps and by AdvanceClock, across
// days, months, leap days and years, with the day of week worked out from the date.
TEST(SimSystemTest, ClockFollowsSleepsAcrossTheCalendar) {
    struct Case {
        uint16_t year, month, day, hour, minute, second, ms;
        uint64_t advance;
        const char* expected;  // YYYY-MM-DD HH:MM:SS.mmm weekday
    };
    const Case cases[] = {
        {2024, 3, 4, 9, 30, 0, 0, 0, "2024-03-04 09:30:00.000 1"},
        {2024, 2, 28, 23, 59, 59, 900, 200, "2024-02-29 00:00:00.100 4"},
        {2023, 12, 31, 23, 59, 59, 999, 1, "2024-01-01 00:00:00.000 1"},
        {2100, 2, 28, 12, 0, 0, 0, 86400000, "2100-03-01 12:00:00.000 1"},
        {2000, 2, 28, 0, 0, 0, 0, 86400000, "2000-02-29 00:00:00.000 2"},
        {1999, 12, 31, 23, 0, 0, 0, 3600000ull * 24 * 366, "2000-12-31 23:00:00.000 0"},
    };
    for (const Case& c : cases) {
        Machine m;
        platform::SystemTime start;
        start.year = c.year;
        start.month = c.month;
        start.day = c.day;
        start.hour = c.hour;
        start.minute = c.minute;
        start.second = c.second;
        start.milliseconds = c.ms;
        start.dayOfWeek = 6;  // ignored: worked out from the date
        m.system().SetLocalTime(start);
        m.system().AdvanceClock(c.advance);
        platform::SystemTime t;
        m.system().GetLocalTime(&t);
        char got[64];
        std::snprintf(got, sizeof(got), "%04u-%02u-%02u %02u:%02u:%02u.%03u %u", t.year, t.month,
                      t.day, t.hour, t.minute, t.second, t.milliseconds, t.dayOfWeek);
        EXPECT_STREQ(got, c.expected);
    }

    Machine m;
    platform::SystemTime before;
    platform::SystemTime after;
    m.system().GetLocalTime(&before);
    m.system().Sleep(1500);
    m.system().GetLocalTime(&after);
    EXPECT_EQ(before.second + 1, after.second);
    EXPECT_EQ(before.milliseconds + 500, after.milliseconds);
}

TEST(SimSystemTest, CoInitializeExPerThread) {
    struct Row {
        uint32_t first;
        uint32_t second;
        int32_t secondResult;
    } rows[] = {
        {win::kCoinitApartmentThreaded, win::kCoinitApartmentThreaded, win::kSFalse},
        {win::kCoinitMultithreaded, win::kCoinitMultithreaded, win::kSFalse},
        {win::kCoinitApartmentThreaded, win::kCoinitMultithreaded, win::kRpcEChangedMode},
        {win::kCoinitMultithreaded, win::kCoinitApartmentThreaded, win::kRpcEChangedMode},
    };
    for (const auto& r : rows) {
        Machine m;
        EXPECT_FALSE(m.system().ComInitializedOnThisThread());
        EXPECT_EQ(m.system().CoInitializeEx(r.first), win::kSOk);
        EXPECT_EQ(m.system().CoInitializeEx(r.second), r.secondResult)
            << "first " << r.first << " second " << r.second;
        EXPECT_EQ(m.system().ApartmentOf(std::this_thread::get_id()), r.first);
        bool otherThread = true;
        std::thread([&] { otherThread = m.system().ComInitializedOnThisThread(); }).join();
        EXPECT_FALSE(otherThread);
    }
}

std::atomic<int> g_ran{0};

uint32_t CountingProc(void* argument) {
    g_ran++;
    return *static_cast<uint32_t*>(argument);
}

struct Gate {
    std::atomic<bool> open{false};
    std::atomic<bool> entered{false};
};

uint32_t BlockingProc(void* argument) {
    auto* gate = static_cast<Gate*>(argument);
    gate->entered = true;
    while (!gate->open) {
        std::this_thread::yield();
    }
    return 0;
}

uint32_t LastErrorProc(void* argument) {
    // A new thread's last-error value starts at 0 and is its own.
    auto* m = static_cast<Machine*>(argument);
    uint32_t start = m->system().GetLastError();
    m->system().SetLastError(1234);
    return start;
}

TEST(SimSystemTest, ThreadsRunAndCanBeWaitedFor) {
    Machine m;
    uint32_t argument = 7;
    int before = g_ran;
    platform::KernelHandle thread = m.system().CreateThread(CountingProc, &argument);
    ASSERT_TRUE(thread);
    EXPECT_EQ(m.system().WaitForThread(thread, win::kInfinite), win::kWaitObject0);
    EXPECT_EQ(g_ran, before + 1);
    EXPECT_TRUE(m.system().CloseThread(thread));
    EXPECT_FALSE(m.system().CloseThread(thread));
    EXPECT_EQ(m.system().GetLastError(), win::kErrorInvalidHandle);
    EXPECT_EQ(m.system().WaitForThread(thread, 0), win::kWaitFailed);
    EXPECT_EQ(m.system().GetLastError(), win::kErrorInvalidHandle);

    m.system().SetLastError(99);
    thread = m.system().CreateThread(LastErrorProc, &m);
    EXPECT_EQ(m.system().WaitForThread(thread, win::kInfinite), win::kWaitObject0);
    EXPECT_EQ(m.system().GetLastError(), 99u);
    m.system().CloseThread(thread);

    auto started = m.system().ThreadsStarted();
    ASSERT_EQ(started.size(), 2u);
    EXPECT_EQ(started[0].proc, &CountingProc);
    EXPECT_EQ(started[0].argument, &argument);
}

TEST(SimSystemTest, RunningThreadTimesOutAndSurvivesItsHandle) {
    Gate gate;
    {
        Machine m;
        platform::KernelHandle thread = m.system().CreateThread(BlockingProc, &gate);
        ASSERT_TRUE(thread);
        EXPECT_EQ(m.system().WaitForThread(thread, 0), win::kWaitTimeout);
        EXPECT_EQ(m.system().WaitForThread(thread, 10), win::kWaitTimeout);
        EXPECT_EQ(m.system().RunningThreadCount(), 1u);
        // Processes::CloseHandle closes thread handles too.
        EXPECT_TRUE(m.processes().CloseHandle(thread));
        gate.open = true;
        // The machine joins the thread when it goes away.
    }
    EXPECT_TRUE(gate.entered);
}

TEST(SimSystemTest, InjectedThreadStartFailureHappensOnce) {
    Machine m;
    uint32_t argument = 0;
    m.system().FailNextThreadStart(win::kErrorNotEnoughMemory);
    EXPECT_FALSE(m.system().CreateThread(CountingProc, &argument));
    EXPECT_EQ(m.system().GetLastError(), win::kErrorNotEnoughMemory);
    EXPECT_TRUE(m.system().ThreadsStarted().empty());
    platform::KernelHandle thread = m.system().CreateThread(CountingProc, &argument);
    ASSERT_TRUE(thread);
    EXPECT_EQ(m.processes().WaitForSingleObject(thread, win::kInfinite), win::kWaitObject0);
    m.system().CloseThread(thread);
}

}  // namespace
