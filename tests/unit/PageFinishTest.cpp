// The Finish page on the simulated Windows: the restart choice stored in RestartNow, the
// keys that cannot end it, and the colours of its buttons with and without visual styles.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Setup/flow/InstallerSettings.h"
#include "Setup/pages/FinishDlg.h"
#include "Setup/res/resource.h"
#include "UiTestMachine.h"
#include "base/Text.h"
#include "sim/Machine.h"

namespace {

using uitest::MakeMachine;

using uitest::ExpectNoUiErrors;

// ---- The restart choice ----

TEST(PageFinishTest, FinishStoresTheRestartChoice) {
    struct Case {
        int32_t before;           // RestartNow before the page
        std::vector<int> clicks;  // radio buttons clicked before Finish
        int32_t after;
    };
    const Case cases[] = {
        {1, {}, 1},
        {0, {}, 1},  // the page starts at "Yes" whatever the setting holds
        {1, {IDC_RESTART_NO}, 0},
        {1, {IDC_RESTART_NO, IDC_RESTART_YES}, 1},
        {0, {IDC_RESTART_YES, IDC_RESTART_NO}, 0},
    };
    for (const Case& c : cases) {
        const std::string input =
            "before " + std::to_string(c.before) + " clicks " + std::to_string(c.clicks.size());
        auto machine = MakeMachine();
        InstallerSettings settings;
        settings.RestartNow = c.before;
        CFinishDlg page(settings, machine->platform());
        bool yesAtStart = false, noAtStart = true;
        int32_t duringPage = -1;
        machine->ui().User().OnPage(IDD_FINISH, [&](sim::PageDriver& p) {
            yesAtStart = p.IsChecked(IDC_RESTART_YES);
            noAtStart = p.IsChecked(IDC_RESTART_NO);
            for (int id : c.clicks) {
                p.Click(id);
            }
            duringPage = settings.RestartNow;
            p.Click(IDC_NEXT);
        });
        EXPECT_EQ(page.DoModal(), win::kIdOk) << input;
        EXPECT_TRUE(yesAtStart) << input;
        EXPECT_FALSE(noAtStart) << input;
        EXPECT_EQ(duringPage, c.before) << input;  // stored only by Finish
        EXPECT_EQ(settings.RestartNow, c.after) << input;
        EXPECT_EQ(page.m_nResult, PageNext) << input;
        ExpectNoUiErrors(*machine);
    }
}

uintptr_t MakeWParam(int low, uint32_t high) {
    return (static_cast<uintptr_t>(high) << 16) | (static_cast<uint32_t>(low) & 0xFFFFu);
}

// Cancel and Back are disabled: their clicks, Escape and the close box leave the page
// open and RestartNow as it was. So do the IDCANCEL and IDOK commands themselves, which
// some dialog managers send for Escape, the close box or Enter whatever the state of the
// buttons: after "restart later", nothing but Finish may end the page, or the restart
// would be forced against the user's choice.
TEST(PageFinishTest, OnlyFinishEndsThePage) {
    enum class Way { Escape, CloseBox, ClickCancel, ClickBack, CancelCommand, OkCommand };
    const struct {
        Way way;
        const char* name;
    } ways[] = {
        {Way::Escape, "Escape"},
        {Way::CloseBox, "close box"},
        {Way::ClickCancel, "click on Cancel"},
        {Way::ClickBack, "click on Back"},
        {Way::CancelCommand, "IDCANCEL sent to the page"},
        {Way::OkCommand, "IDOK sent to the page"},
    };
    for (const auto& w : ways) {
        SCOPED_TRACE(w.name);
        auto machine = MakeMachine();
        sim::SimUi& ui = machine->ui();
        InstallerSettings settings;
        settings.RestartNow = 1;
        CFinishDlg page(settings, machine->platform());
        bool ended = true;
        int32_t restartAfter = -1;
        bool laterStillChosen = false;
        ui.User().OnPage(IDD_FINISH, [&](sim::PageDriver& p) {
            p.Click(IDC_RESTART_NO);
            switch (w.way) {
                case Way::Escape:
                    p.PressKey(win::kVkEscape);
                    break;
                case Way::CloseBox:
                    p.CloseBox();
                    break;
                case Way::ClickCancel:
                    p.Click(win::kIdCancel);
                    break;
                case Way::ClickBack:
                    p.Click(IDC_BACK);
                    break;
                case Way::CancelCommand:
                    ui.SendMessage(
                        p.Dialog(), win::kWmCommand, MakeWParam(win::kIdCancel, win::kBnClicked),
                        static_cast<intptr_t>(ui.GetDlgItem(p.Dialog(), win::kIdCancel).value));
                    break;
                case Way::OkCommand:
                    ui.SendMessage(p.Dialog(), win::kWmCommand,
                                   MakeWParam(win::kIdOk, win::kBnClicked), 0);
                    break;
            }
            ended = p.Ended();
            restartAfter = settings.RestartNow;
            laterStillChosen = p.IsChecked(IDC_RESTART_NO) && !p.IsChecked(IDC_RESTART_YES);
            p.PressKey(win::kVkReturn);  // Enter clicks Finish
        });
        EXPECT_EQ(page.DoModal(), win::kIdOk);
        EXPECT_FALSE(ended);
        EXPECT_EQ(restartAfter, 1);
        EXPECT_TRUE(laterStillChosen);
        EXPECT_EQ(settings.RestartNow, 0);
        EXPECT_EQ(page.m_nResult, PageNext);
        EXPECT_TRUE(ui.MessageBoxes().empty());
        ExpectNoUiErrors(*machine);
    }
}

TEST(PageFinishTest, TextsInBothLanguages) {
    struct Case {
        uint16_t language;
        const wchar_t* title;
        const wchar_t* finish;
        const wchar_t* yes;
    };
    const Case cases[] = {
        {win::kLangEnglishUs, L"Completing the Corvane Setup Wizard", L"&Finish",
         L"&Yes, restart the computer now"},
        {win::kLangChineseSimplified, L"完成 Corvane 安装向导", L"完成(&F)",
         L"(&Y)是，现在就重启计算机"},
    };
    for (const Case& c : cases) {
        auto machine = MakeMachine(c.language);
        InstallerSettings settings;
        CFinishDlg page(settings, machine->platform());
        std::map<int, std::wstring> texts;
        machine->ui().User().OnPage(IDD_FINISH, [&](sim::PageDriver& p) {
            for (int id : {IDC_TITLE, IDC_NEXT, IDC_RESTART_YES}) {
                texts[id] = p.Text(id);
            }
            p.Click(IDC_NEXT);
        });
        page.DoModal();
        EXPECT_EQ(texts[IDC_TITLE], c.title) << "got " << base::ToUtf8(texts[IDC_TITLE]);
        EXPECT_EQ(texts[IDC_NEXT], c.finish) << "got " << base::ToUtf8(texts[IDC_NEXT]);
        EXPECT_EQ(texts[IDC_RESTART_YES], c.yes) << "got " << base::ToUtf8(texts[IDC_RESTART_YES]);
    }
}

// ---- Colours ----

// Every button gets the hollow brush. With visual styles its client rectangle is first
// filled white on the DC that came with the message; in the classic look nothing is filled.
// The title and text are transparent on white; other statics keep the defaults. The look is
// asked once for the page, however often its buttons are repainted.
TEST(PageFinishTest, ButtonsAreHollowAndWhiteOnlyWhenThemed) {
    struct Case {
        const char* name;
        bool themed;
    };
    const Case cases[] = {{"themed", true}, {"classic", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto machine = MakeMachine();
        sim::SimUi& ui = machine->ui();
        ui.SetAppThemed(c.themed);
        InstallerSettings settings;
        CFinishDlg page(settings, machine->platform());
        std::map<int, platform::Rect> clientRects;
        ui.User().OnPage(IDD_FINISH, [&](sim::PageDriver& p) {
            for (int id : {IDC_NEXT, IDC_BACK, win::kIdCancel, IDC_RESTART_YES, IDC_RESTART_NO}) {
                ui.GetClientRect(ui.GetDlgItem(p.Dialog(), id), &clientRects[id]);
            }
            // Repaints: the radio buttons change, the window is minimised and restored.
            p.Click(IDC_RESTART_NO);
            p.Click(IDC_RESTART_YES);
            p.Minimize();
            p.Restore();
            p.Click(IDC_NEXT);
        });
        page.DoModal();

        const platform::BrushHandle hollow = ui.GetStockBrush(platform::StockBrush::Hollow);
        const platform::BrushHandle white = ui.GetStockBrush(platform::StockBrush::White);
        const auto fills = ui.Fills();
        std::map<int, int> buttonRecords;
        int others = 0;
        for (const auto& record : ui.ControlColors()) {
            const int id = record.controlId;
            if (clientRects.count(id) != 0) {
                ++buttonRecords[id];
                EXPECT_TRUE(record.handled) << "control " << id;
                EXPECT_EQ(record.brush, hollow) << "control " << id;
                int whiteFills = 0;
                for (const auto& fill : fills) {
                    if (fill.dc != record.dc || fill.controlId != id) {
                        continue;
                    }
                    ++whiteFills;
                    EXPECT_EQ(fill.color.red, 255);
                    EXPECT_EQ(fill.color.green, 255);
                    EXPECT_EQ(fill.color.blue, 255);
                    EXPECT_EQ(fill.rect.left, clientRects[id].left);
                    EXPECT_EQ(fill.rect.top, clientRects[id].top);
                    EXPECT_EQ(fill.rect.right, clientRects[id].right);
                    EXPECT_EQ(fill.rect.bottom, clientRects[id].bottom);
                }
                EXPECT_EQ(whiteFills, c.themed ? 1 : 0) << "control " << id;
            } else if (id == IDC_TITLE || id == IDC_SUBTITLE) {
                EXPECT_EQ(record.brush, white) << "control " << id;
                EXPECT_TRUE(record.transparent) << "control " << id;
            } else {
                ++others;
                EXPECT_FALSE(record.handled) << "control " << id;
            }
        }
        // The radio buttons and the enabled Finish button are coloured at least.
        EXPECT_GE(buttonRecords[IDC_RESTART_YES], 1);
        EXPECT_GE(buttonRecords[IDC_RESTART_NO], 1);
        EXPECT_GE(buttonRecords[IDC_NEXT], 1);
        EXPECT_GT(others, 0);
        EXPECT_EQ(ui.AppThemedQueries(), 1);
        ExpectNoUiErrors(*machine);
    }
}

}  // namespace
