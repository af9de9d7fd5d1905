// The Installing page on the simulated Windows with the real install worker: the progress
// range and the placeholders, the worker's record, the page ending only on the worker's
// completion message, and a worker that cannot be started.
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Setup/engine/InstallWorker.h"
#include "Setup/flow/InstallerSettings.h"
#include "Setup/pages/RunningDlg.h"
#include "Setup/res/resource.h"
#include "UiTestMachine.h"
#include "base/Text.h"
#include "sim/Machine.h"

namespace {

constexpr const wchar_t kVersion[] = L"1.4.0.672";

using uitest::MakeMachine;

using uitest::ExpectNoUiErrors;

// The driver file next to the program, so that the installation succeeds.
void AddDriverSource(sim::Machine& machine) {
    ASSERT_TRUE(machine.files().AddFile(L"C:\\Setup\\cvflt.sys", "driver"));
    ASSERT_TRUE(machine.files().MakeFolders(L"C:\\Windows\\system32\\drivers"));
}

uintptr_t MakeWParam(int low, uint32_t high) {
    return (static_cast<uintptr_t>(high) << 16) | (static_cast<uintptr_t>(low) & 0xFFFF);
}

struct RunSeen {
    bool scriptRan = false;
    platform::WindowHandle dialog, status, progress;
    int rangeMin = -1, rangeMax = -1;
    std::wstring subtitle;
    std::wstring title;
    bool buttonsEnabled = true;
    bool endedWhileFrozen = true;
    bool endedAtLast = false;
    int finalPosition = -1;
    std::wstring finalStatus;
    bool buttonsEnabledAtEnd = true;
};

// Runs the page. While the script holds the machine's lock the worker cannot make any
// progress (every port call takes that lock), so nothing it would post can end the page:
// the script tries every way a user has to end it, then lets the worker finish.
RunSeen RunPage(sim::Machine& machine, CRunningDlg& page) {
    RunSeen seen;
    sim::SimUi& ui = machine.ui();
    ui.User().OnPage(IDD_RUNNING, [&](sim::PageDriver& p) {
        seen.scriptRan = true;
        seen.dialog = p.Dialog();
        seen.status = ui.GetDlgItem(p.Dialog(), IDC_STATUS);
        seen.progress = ui.GetDlgItem(p.Dialog(), IDC_PROGRESS);
        {
            std::lock_guard<std::recursive_mutex> freeze(machine.Lock());
            const auto progress = ui.Control(p.Dialog(), IDC_PROGRESS);
            seen.rangeMin = progress.rangeMin;
            seen.rangeMax = progress.rangeMax;
            seen.subtitle = p.Text(IDC_SUBTITLE);
            seen.title = p.Text(IDC_TITLE);
            seen.buttonsEnabled =
                p.IsEnabled(IDC_NEXT) || p.IsEnabled(IDC_BACK) || p.IsEnabled(win::kIdCancel);
            p.PressKey(win::kVkEscape);
            p.CloseBox();
            p.PressKey(win::kVkReturn);
            p.Click(IDC_NEXT);
            p.Click(IDC_BACK);
            p.Click(win::kIdCancel);
            // What the dialog manager sends for Escape and Enter where it does not look at
            // the buttons' state: the page ignores both.
            ui.SendMessage(p.Dialog(), win::kWmCommand, MakeWParam(win::kIdCancel, win::kBnClicked),
                           static_cast<intptr_t>(ui.GetDlgItem(p.Dialog(), win::kIdCancel).value));
            ui.SendMessage(p.Dialog(), win::kWmCommand, MakeWParam(win::kIdOk, win::kBnClicked), 0);
            seen.endedWhileFrozen = p.Ended();
        }
        seen.endedAtLast = p.WaitFor([&]() { return p.Ended(); });
        seen.finalPosition = ui.Control(p.Dialog(), IDC_PROGRESS).position;
        seen.finalStatus = p.Text(IDC_STATUS);
        seen.buttonsEnabledAtEnd =
            p.IsEnabled(IDC_NEXT) || p.IsEnabled(IDC_BACK) || p.IsEnabled(win::kIdCancel);
    });
    EXPECT_EQ(page.DoModal(), win::kIdOk);
    return seen;
}

// ---- A run with the worker ----

TEST(PageRunningTest, PageRunsTheWorkerAndEndsOnlyWhenItIsDone) {
    struct Case {
        uint16_t language;
        const wchar_t* title;
        const wchar_t* subtitle;
    };
    const Case cases[] = {
        {win::kLangEnglishUs, L"Installing",
         L"Corvane 1.4.0.672 is being installed, please wait ..."},
        {win::kLangChineseSimplified, L"正在安装", L"Corvane 1.4.0.672 正在安装中，请稍候 ..."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "language " << c.language);
        auto machine = MakeMachine(c.language);
        AddDriverSource(*machine);
        sim::SimSystem& system = machine->system();
        InstallerSettings settings;
        SetupProcess process;
        settings.VersionText = kVersion;
        platform::KernelHandle thread;
        {
            CRunningDlg page(settings, machine->platform(), process);
            EXPECT_FALSE(page.m_hThread);
            const RunSeen seen = RunPage(*machine, page);

            ASSERT_TRUE(seen.scriptRan);
            EXPECT_EQ(seen.rangeMin, 0);
            EXPECT_EQ(seen.rangeMax, 100);
            EXPECT_EQ(seen.title, c.title) << "got " << base::ToUtf8(seen.title);
            EXPECT_EQ(seen.subtitle, c.subtitle) << "got " << base::ToUtf8(seen.subtitle);
            EXPECT_FALSE(seen.buttonsEnabled);
            EXPECT_FALSE(seen.endedWhileFrozen);
            EXPECT_TRUE(seen.endedAtLast);
            EXPECT_FALSE(seen.buttonsEnabledAtEnd);
            // The worker reached the controls through the record.
            EXPECT_EQ(seen.finalPosition, 100);
            EXPECT_EQ(seen.finalStatus, machine->ui().LoadString(IDS_STATUS_REGISTERING));
            EXPECT_EQ(page.m_nResult, PageNext);
            EXPECT_EQ(settings.InstallFailed, 0);

            const InstallWorkerArgs& args = page.m_workerArgs;
            EXPECT_EQ(args.page, seen.dialog);
            EXPECT_EQ(args.statusText, seen.status);
            EXPECT_EQ(args.progressBar, seen.progress);
            EXPECT_TRUE(args.statusText);
            EXPECT_TRUE(args.progressBar);
            EXPECT_EQ(args.completionMessage, 1025u);
            EXPECT_EQ(args.platform, &machine->platform());
            EXPECT_EQ(args.settings, &settings);

            const auto started = system.ThreadsStarted();
            ASSERT_EQ(started.size(), 1u);
            EXPECT_EQ(started[0].proc, &InstallWorkerProc);
            EXPECT_EQ(started[0].argument, &page.m_workerArgs);
            EXPECT_EQ(started[0].handle, page.m_hThread);
            thread = page.m_hThread;
            // The handle stays open while the page object lives.
            EXPECT_TRUE(system.IsThreadHandle(thread));
        }
        EXPECT_FALSE(system.IsThreadHandle(thread));
        // Only the page's own end: no cancel, no second EndDialog.
        const auto ends = machine->ui().EndDialogs();
        ASSERT_EQ(ends.size(), 1u);
        EXPECT_EQ(ends[0].result, win::kIdOk);
        EXPECT_TRUE(machine->ui().MessageBoxes().empty());
        EXPECT_GE(machine->ui().Beeps(), 1);
        ExpectNoUiErrors(*machine);
    }
}

// A failed installation (the driver cannot be copied) ends the page like a successful
// one; the worker's own message belongs to the page.
TEST(PageRunningTest, FailedInstallationEndsThePageWithNext) {
    auto machine = MakeMachine();  // no cvflt.sys next to the program
    sim::SimUi& ui = machine->ui();
    InstallerSettings settings;
    SetupProcess process;
    CRunningDlg page(settings, machine->platform(), process);
    ui.User().AnswerMessageBox(win::kIdOk);
    const RunSeen seen = RunPage(*machine, page);
    EXPECT_TRUE(seen.endedAtLast);
    EXPECT_FALSE(seen.endedWhileFrozen);
    EXPECT_EQ(page.m_nResult, PageNext);
    EXPECT_EQ(settings.InstallFailed, 1);
    const auto boxes = ui.MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, L"Copy file failed!");
    EXPECT_EQ(boxes[0].owner, seen.dialog);
    ExpectNoUiErrors(*machine);
}

// ---- A worker that cannot be started ----

// The page does not wait for ever: it ends by itself with PageNext, and the run counts as
// a failed installation so that the page sequence skips the Finish page.
TEST(PageRunningTest, WorkerThatCannotStartEndsThePageAsFailed) {
    auto machine = MakeMachine();
    AddDriverSource(*machine);
    sim::SimUi& ui = machine->ui();
    machine->system().FailNextThreadStart(win::kErrorNotEnoughMemory);
    InstallerSettings settings;
    SetupProcess process;
    CRunningDlg page(settings, machine->platform(), process);
    // No script: the page ends before it is ever idle.
    EXPECT_EQ(page.DoModal(), win::kIdOk);
    EXPECT_EQ(page.m_nResult, PageNext);
    EXPECT_FALSE(page.m_hThread);
    EXPECT_EQ(settings.InstallFailed, 1);
    EXPECT_TRUE(machine->system().ThreadsStarted().empty());
    EXPECT_TRUE(ui.MessageBoxes().empty());
    // Nothing was installed.
    EXPECT_FALSE(machine->files().Exists(L"C:\\Windows\\system32\\drivers\\cvflt.sys"));
    ExpectNoUiErrors(*machine);
}

}  // namespace
