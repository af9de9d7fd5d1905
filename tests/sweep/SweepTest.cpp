// The fault sweep in the host suite: every mode, every counted call failed once and the run
// stopped once after it. CV_SWEEP_STRIDE=n runs only every n-th call (scripts/sweep runs all).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "Sweep.h"

namespace {

uint64_t Stride() {
    const char* text = std::getenv("CV_SWEEP_STRIDE");
    const long long n = text ? std::atoll(text) : 1;
    return n > 0 ? static_cast<uint64_t>(n) : 1;
}

void SweepAndReport(sweep::Mode mode) {
    const auto start = std::chrono::steady_clock::now();
    const sweep::Summary summary = sweep::SweepMode(mode, Stride());
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("sweep %-8s N=%llu runs=%llu violations=%zu time=%.1fs\n", sweep::ModeName(mode),
                static_cast<unsigned long long>(summary.n),
                static_cast<unsigned long long>(summary.runs), summary.violations.size(), seconds);
    for (const std::string& v : summary.violations) {
        std::printf("  %s\n", v.c_str());
        ADD_FAILURE() << v;
    }
    EXPECT_GT(summary.n, 0u);
}

TEST(FaultSweep, Silent) {
    SweepAndReport(sweep::Mode::Silent);
}
TEST(FaultSweep, Wizard) {
    SweepAndReport(sweep::Mode::Wizard);
}
TEST(FaultSweep, Upgrade) {
    SweepAndReport(sweep::Mode::Upgrade);
}

}  // namespace

// CV_SWEEP_ONE="mode way k" (for example "upgrade fail 101") runs that one run and prints
// its install log and what it broke, to look at a violation closely.
TEST(FaultSweep, One) {
    const char* text = std::getenv("CV_SWEEP_ONE");
    if (!text) {
        GTEST_SKIP() << "CV_SWEEP_ONE not set";
    }
    char modeName[16] = {}, wayName[16] = {};
    unsigned long long k = 0;
    ASSERT_EQ(std::sscanf(text, "%15s %15s %llu", modeName, wayName, &k), 3);
    sweep::Mode mode = sweep::Mode::Silent;
    for (sweep::Mode m : {sweep::Mode::Silent, sweep::Mode::Wizard, sweep::Mode::Upgrade}) {
        if (std::string(sweep::ModeName(m)) == modeName) {
            mode = m;
        }
    }
    const faults::Way way = std::string(wayName) == "stop" ? faults::Way::Stop : faults::Way::Fail;
    const sweep::Reference reference = sweep::Undisturbed(mode);
    sweep::Outcome outcome = sweep::Run(mode, way, k);
    std::printf(
        "exit code %u\n%s\n", outcome.exitCode,
        outcome.machine->files().ReadText(L"C:\\Logs\\setup.log").value_or("(no log)").c_str());
    for (const std::string& v : sweep::Check(reference, way, outcome)) {
        std::printf("violation: %s\n", v.c_str());
    }
}
