// The Additional Tasks and Ready pages on the simulated Windows: the icon choices from and
// to the settings, and the summary memo.
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Setup/flow/InstallerSettings.h"
#include "Setup/pages/AdditionalTaskDlg.h"
#include "Setup/pages/ReadyDlg.h"
#include "Setup/res/resource.h"
#include "UiTestMachine.h"
#include "base/Text.h"
#include "sim/Machine.h"

namespace {

using uitest::MakeMachine;

using uitest::ExpectNoUiErrors;

std::string Utf8(const std::wstring& s) {
    return base::ToUtf8(s);
}

// ---- Additional Tasks ----

// The boxes show the settings; Next stores the boxes; Back leaves the fields at the 1 the
// page sequence put in, whatever the boxes show.
TEST(PageTasksReadyTest, TaskChecksComeFromTheSettingsAndNextStoresThem) {
    enum class End { Next, Back };
    struct Case {
        int32_t desktopSetting, quickSetting;
        std::vector<int> clicks;  // check boxes clicked before the page ends
        End end;
        bool shownDesktop, shownQuick;
        int32_t desktopField, quickField;
    };
    const Case cases[] = {
        {1, 1, {}, End::Next, true, true, 1, 1},
        {0, 0, {}, End::Next, false, false, 0, 0},
        {0, 1, {}, End::Next, false, true, 0, 1},
        {7, 0, {}, End::Next, true, false, 1, 0},  // any nonzero setting ticks the box
        {1, 1, {IDC_DESKTOPICON}, End::Next, true, true, 0, 1},
        {1, 1, {IDC_DESKTOPICON, IDC_QUICKLAUNCH}, End::Next, true, true, 0, 0},
        {0, 0, {IDC_QUICKLAUNCH}, End::Next, false, false, 0, 1},
        {1, 1, {IDC_DESKTOPICON, IDC_QUICKLAUNCH}, End::Back, true, true, 1, 1},
        {0, 0, {}, End::Back, false, false, 1, 1},
    };
    for (const Case& c : cases) {
        const std::string input =
            "settings " + std::to_string(c.desktopSetting) + "/" + std::to_string(c.quickSetting) +
            " clicks " + std::to_string(c.clicks.size()) + (c.end == End::Next ? " next" : " back");
        auto machine = MakeMachine();
        InstallerSettings settings;
        settings.DesktopIcon = c.desktopSetting;
        settings.QuickLaunchIcon = c.quickSetting;
        CAdditionalTaskDlg page(settings, machine->platform());
        bool shownDesktop = false, shownQuick = false;
        machine->ui().User().OnPage(IDD_ADDITIONALTASK, [&](sim::PageDriver& p) {
            shownDesktop = p.IsChecked(IDC_DESKTOPICON);
            shownQuick = p.IsChecked(IDC_QUICKLAUNCH);
            for (int id : c.clicks) {
                p.Click(id);
            }
            p.Click(c.end == End::Next ? IDC_NEXT : IDC_BACK);
        });
        EXPECT_EQ(page.DoModal(), win::kIdOk) << input;
        EXPECT_EQ(shownDesktop, c.shownDesktop) << input;
        EXPECT_EQ(shownQuick, c.shownQuick) << input;
        EXPECT_EQ(page.m_nResult, c.end == End::Next ? PageNext : PageBack) << input;
        EXPECT_EQ(page.m_bDesktopIcon, c.desktopField) << input;
        EXPECT_EQ(page.m_bQuickLaunchIcon, c.quickField) << input;
        // The page never writes the settings itself.
        EXPECT_EQ(settings.DesktopIcon, c.desktopSetting) << input;
        EXPECT_EQ(settings.QuickLaunchIcon, c.quickSetting) << input;
        ExpectNoUiErrors(*machine);
    }
}

TEST(PageTasksReadyTest, TaskTextsInBothLanguages) {
    struct Case {
        uint16_t language;
        const wchar_t* title;
        const wchar_t* desktop;
    };
    const Case cases[] = {
        {win::kLangEnglishUs, L"Select Additional Tasks", L"Create a &desktop icon"},
        {win::kLangChineseSimplified, L"附加任务", L"创建桌面快捷方式(&D)"},
    };
    for (const Case& c : cases) {
        auto machine = MakeMachine(c.language);
        InstallerSettings settings;
        CAdditionalTaskDlg page(settings, machine->platform());
        std::wstring title, desktop;
        machine->ui().User().OnPage(IDD_ADDITIONALTASK, [&](sim::PageDriver& p) {
            title = p.Text(IDC_TITLE);
            desktop = p.Text(IDC_DESKTOPICON);
            p.Click(IDC_BACK);
        });
        page.DoModal();
        EXPECT_EQ(title, c.title) << "got " << Utf8(title);
        EXPECT_EQ(desktop, c.desktop) << "got " << Utf8(desktop);
    }
}

// ---- Ready ----

struct SummaryCase {
    const char* name;
    uint16_t language;
    const wchar_t* user;
    const wchar_t* organization;
    const wchar_t* folder;
    int32_t desktop, quick;
    std::wstring summary;
};

std::vector<SummaryCase> SummaryCases() {
    return {
        {"both icons", win::kLangEnglishUs, L"Jane", L"Acme", L"Corvane", 1, 1,
         L"User Information:\r\n"
         L"    Jane\r\n"
         L"    Acme\r\n"
         L"Start Menu folder:\r\n"
         L"    Corvane\r\n"
         L"\r\n"
         L"Additional tasks:\r\n"
         L"    Additional icons:\r\n"
         L"        Create a desktop icon\r\n"
         L"        Create a Quick Launch icon\r\n"},
        {"no icons", win::kLangEnglishUs, L"Jane", L"Acme", L"Tools\\Corvane", 0, 0,
         L"User Information:\r\n"
         L"    Jane\r\n"
         L"    Acme\r\n"
         L"Start Menu folder:\r\n"
         L"    Tools\\Corvane\r\n"},
        {"only Quick Launch", win::kLangEnglishUs, L"Jane", L"Acme", L"Corvane", 0, 1,
         L"User Information:\r\n"
         L"    Jane\r\n"
         L"    Acme\r\n"
         L"Start Menu folder:\r\n"
         L"    Corvane\r\n"
         L"\r\n"
         L"Additional tasks:\r\n"
         L"    Additional icons:\r\n"
         L"        Create a Quick Launch icon\r\n"},
        {"only desktop, empty organisation", win::kLangEnglishUs, L"Jane", L"", L"Corvane", 1, 0,
         L"User Information:\r\n"
         L"    Jane\r\n"
         L"    \r\n"
         L"Start Menu folder:\r\n"
         L"    Corvane\r\n"
         L"\r\n"
         L"Additional tasks:\r\n"
         L"    Additional icons:\r\n"
         L"        Create a desktop icon\r\n"},
        {"Chinese", win::kLangChineseSimplified, L"张三", L"", L"Corvane", 1, 1,
         L"用户信息：\r\n"
         L"    张三\r\n"
         L"    \r\n"
         L"开始菜单目录：\r\n"
         L"    Corvane\r\n"
         L"\r\n"
         L"附加任务：\r\n"
         L"    附加图标：\r\n"
         L"        创建桌面快捷方式\r\n"
         L"        创建快速启动栏快捷方式\r\n"},
        // The memo is an edit: its text goes through the placeholders like the others.
        {"placeholders in the memo", win::kLangEnglishUs, L"<PRODUCT> user", L"Acme", L"Corvane", 0,
         0,
         L"User Information:\r\n"
         L"    Corvane user\r\n"
         L"    Acme\r\n"
         L"Start Menu folder:\r\n"
         L"    Corvane\r\n"},
    };
}

TEST(PageTasksReadyTest, SummaryListsTheChoicesLineByLine) {
    for (const SummaryCase& c : SummaryCases()) {
        SCOPED_TRACE(c.name);
        auto machine = MakeMachine(c.language);
        InstallerSettings settings;
        settings.VersionText = L"1.4.0.672";
        settings.UserName = c.user;
        settings.Organization = c.organization;
        settings.StartMenuFolder = c.folder;
        settings.DesktopIcon = c.desktop;
        settings.QuickLaunchIcon = c.quick;
        CReadyDlg page(settings, machine->platform());
        std::wstring memo;
        machine->ui().User().OnPage(IDD_READY, [&](sim::PageDriver& p) {
            memo = p.Text(IDC_SUMMARY);
            p.Click(IDC_NEXT);
        });
        EXPECT_EQ(page.DoModal(), win::kIdOk);
        EXPECT_EQ(memo, c.summary) << "got:\n" << Utf8(memo) << "\nexpected:\n" << Utf8(c.summary);
        EXPECT_EQ(page.m_nResult, PageNext);
        ExpectNoUiErrors(*machine);
    }
}

TEST(PageTasksReadyTest, InstallAndBackEndTheReadyPage) {
    struct Case {
        uint16_t language;
        int button;
        const wchar_t* buttonText;
        int32_t result;
    };
    const Case cases[] = {
        {win::kLangEnglishUs, IDC_NEXT, L"&Install", PageNext},
        {win::kLangEnglishUs, IDC_BACK, L"< &Back", PageBack},
        {win::kLangChineseSimplified, IDC_NEXT, L"安装(&I)", PageNext},
    };
    for (const Case& c : cases) {
        auto machine = MakeMachine(c.language);
        InstallerSettings settings;
        CReadyDlg page(settings, machine->platform());
        std::wstring text;
        machine->ui().User().OnPage(IDD_READY, [&](sim::PageDriver& p) {
            text = p.Text(c.button);
            p.Click(c.button);
        });
        EXPECT_EQ(page.DoModal(), win::kIdOk);
        EXPECT_EQ(text, c.buttonText) << "got " << Utf8(text);
        EXPECT_EQ(page.m_nResult, c.result) << "button " << c.button;
        ExpectNoUiErrors(*machine);
    }
}

}  // namespace
