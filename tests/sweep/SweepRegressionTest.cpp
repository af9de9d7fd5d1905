// What the sweep found, each as a case of its own: an upgrade stopped at the driver's copy
// or between the renames of the running Keeper.exe.
#include <string>

#include <gtest/gtest.h>

#include "Setup/flow/ExitCodes.h"
#include "Sweep.h"

namespace {

constexpr wchar_t kDriver[] = L"C:\\Windows\\system32\\drivers\\cvflt.sys";
constexpr wchar_t kKeeper[] = L"C:\\Program Files\\Corvane\\Keeper.exe";

// The power goes while the new driver is being copied: the earlier filter lists name the
// driver, so the earlier file must still be there whole (the copy was cut off beside it).
TEST(SweepRegression, AnUpgradeCutOffInTheDriversCopyKeepsTheEarlierDriverWhole) {
    const sweep::Reference reference = sweep::Undisturbed(sweep::Mode::Upgrade);
    const uint64_t k = sweep::FindCall(reference, L"CopyFile", std::wstring(kDriver) + L".new");
    ASSERT_NE(k, 0u);
    sweep::Outcome outcome = sweep::Run(sweep::Mode::Upgrade, faults::Way::Stop, k);
    EXPECT_EQ(outcome.machine->files().ReadText(kDriver).value_or("(missing)"), "cvflt.sys old");
    EXPECT_EQ(outcome.machine->files().ReadText(std::wstring(kDriver) + L".new").value_or(""),
              "cvflt.");  // the first half of "cvflt.sys new"
    EXPECT_TRUE(sweep::Check(reference, faults::Way::Stop, outcome).empty());

    // Failed instead, the copy is still the designed failed copy of the driver.
    outcome = sweep::Run(sweep::Mode::Upgrade, faults::Way::Fail, k);
    EXPECT_EQ(outcome.exitCode, kExitFailed);
    EXPECT_EQ(outcome.machine->files().ReadText(kDriver).value_or("(missing)"), "cvflt.sys old");
    EXPECT_FALSE(outcome.machine->files().Exists(std::wstring(kDriver) + L".new"));
}

// The power goes right after the running Keeper.exe has been moved aside: the new copy is
// whole beside it, and its move into place is pending for the restart.
TEST(SweepRegression, AnUpgradeStoppedAfterKeeperMovedAsideIsFinishedByTheRestart) {
    const sweep::Reference reference = sweep::Undisturbed(sweep::Mode::Upgrade);
    const uint64_t k = sweep::FindCall(reference, L"MoveFile", kKeeper);
    ASSERT_NE(k, 0u);
    sweep::Outcome outcome = sweep::Run(sweep::Mode::Upgrade, faults::Way::Stop, k);
    EXPECT_FALSE(outcome.machine->files().Exists(kKeeper));
    EXPECT_EQ(outcome.machine->files().ReadText(std::wstring(kKeeper) + L".del").value_or(""),
              "Keeper.exe old");
    EXPECT_TRUE(sweep::KeeperWholeOrPending(*outcome.machine));
}

}  // namespace
