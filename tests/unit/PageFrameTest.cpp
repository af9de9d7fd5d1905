// The frame shared by the wizard pages and the Welcome page, on the simulated Windows with
// the program's own resources: placeholders, title font, white area, title colours, and the
// ways a page ends.
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "Setup/flow/InstallerSettings.h"
#include "Setup/pages/SetupPage.h"
#include "Setup/pages/WelcomeDlg.h"
#include "Setup/res/resource.h"
#include "UiTestMachine.h"
#include "base/Text.h"
#include "sim/Machine.h"

namespace {

constexpr const wchar_t kVersion[] = L"1.4.0.672";

using uitest::MakeMachine;

using uitest::ExpectNoUiErrors;

// A page over any template with the common handlers, a set-up hook, and (optionally) the
// two User Information edits bound with their 64-character check.
class TestPage : public CSetupPage {
public:
    using SetUp = std::function<void(TestPage&)>;

    TestPage(int templateId, InstallerSettings& settings, platform::Platform& platform,
             SetUp setUp = nullptr)
        : CSetupPage(templateId, settings, platform), m_setUp(std::move(setUp)) {}

    bool m_bExchange = false;
    std::wstring m_strUserName;
    std::wstring m_strOrganization;

protected:
    bool OnInitPage() override {
        if (m_setUp) {
            m_setUp(*this);
        }
        return true;
    }
    void DoDataExchange(CDataExchange& dx) override {
        if (!m_bExchange) {
            return;
        }
        DDX_Text(dx, IDC_USERNAME, m_strUserName);
        DDV_MaxChars(dx, m_strUserName, 64);
        DDX_Text(dx, IDC_ORGANIZATION, m_strOrganization);
        DDV_MaxChars(dx, m_strOrganization, 64);
    }

private:
    SetUp m_setUp;

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(TestPage, CSetupPage)
ON_WM_PAINT()
ON_WM_CTLCOLOR()
ON_BN_CLICKED(IDC_NEXT, &TestPage::OnBnClickedNext)
ON_BN_CLICKED(IDC_BACK, &TestPage::OnBnClickedBack)
ON_BN_CLICKED(win::kIdCancel, &TestPage::OnBnClickedCancel)
END_MESSAGE_MAP()

void SetChildText(CSetupPage& page, int id, const std::wstring& text) {
    page.GetUi().SetWindowText(page.GetDlgItem(id), text);
}

// ---- Settings record and construction ----

TEST(PageFrameTest, SettingsStartAsTheProgramExpects) {
    InstallerSettings s;
    for (const std::wstring* text :
         {&s.ConfigFile, &s.VersionText, &s.UserName, &s.Organization, &s.StartMenuFolder,
          &s.SourceDir, &s.InstallDir, &s.SystemDir, &s.StartMenuPath, &s.Password}) {
        EXPECT_TRUE(text->empty());
    }
    EXPECT_EQ(s.DesktopIcon, 1);
    EXPECT_EQ(s.QuickLaunchIcon, 1);
    EXPECT_EQ(s.RestartNow, 1);
    EXPECT_EQ(s.InstallFailed, 0);
    EXPECT_EQ(&TheInstallerSettings(), &TheInstallerSettings());
    EXPECT_EQ(std::wstring(ProductName), L"Corvane");
    EXPECT_EQ(PageCancel, 2);
    EXPECT_EQ(PageNext, 1000);
    EXPECT_EQ(PageBack, 1001);
}

TEST(PageFrameTest, ANewPageHoldsTheIconAndStartsCancelled) {
    auto machine = MakeMachine();
    InstallerSettings settings;
    CWelcomeDlg page(settings, machine->platform());
    EXPECT_TRUE(page.m_hIcon);
    EXPECT_EQ(page.m_hIcon, machine->ui().LoadIcon(IDR_MAINFRAME));
    EXPECT_EQ(page.m_nResult, PageCancel);
    EXPECT_FALSE(page.m_fontTitle.GetSafeHandle());
    EXPECT_EQ(page.GetTemplateId(), IDD_WELCOME);
}

// ---- Ending a page ----

TEST(PageFrameTest, WelcomeNextEndsWithPageNext) {
    auto machine = MakeMachine();
    InstallerSettings settings;
    CWelcomeDlg page(settings, machine->platform());
    machine->ui().User().OnPage(IDD_WELCOME, [](sim::PageDriver& p) { p.Click(IDC_NEXT); });
    EXPECT_EQ(page.DoModal(), win::kIdOk);
    EXPECT_EQ(page.m_nResult, PageNext);
    EXPECT_TRUE(machine->ui().MessageBoxes().empty());
    ExpectNoUiErrors(*machine);
}

TEST(PageFrameTest, BackEndsWithPageBack) {
    auto machine = MakeMachine();
    InstallerSettings settings;
    TestPage page(IDD_USERINFO, settings, machine->platform());
    machine->ui().User().OnPage(IDD_USERINFO, [](sim::PageDriver& p) { p.Click(IDC_BACK); });
    EXPECT_EQ(page.DoModal(), win::kIdOk);
    EXPECT_EQ(page.m_nResult, PageBack);
    ExpectNoUiErrors(*machine);
}

// Cancel, Escape and the close box all ask message 140; OK ends the page with PageCancel.
TEST(PageFrameTest, ConfirmedCancelEndsWithPageCancel) {
    enum class Way { CancelButton, Escape, CloseBox };
    struct Case {
        Way way;
        uint16_t language;
    };
    const Case cases[] = {
        {Way::CancelButton, win::kLangEnglishUs},
        {Way::Escape, win::kLangEnglishUs},
        {Way::CloseBox, win::kLangEnglishUs},
        {Way::CancelButton, win::kLangChineseSimplified},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "way " << static_cast<int>(c.way) << " language " << c.language);
        auto machine = MakeMachine(c.language);
        sim::SimUi& ui = machine->ui();
        InstallerSettings settings;
        CWelcomeDlg page(settings, machine->platform());
        platform::WindowHandle dialog;
        ui.User().AnswerMessageBox(win::kIdOk);
        ui.User().OnPage(IDD_WELCOME, [&](sim::PageDriver& p) {
            dialog = p.Dialog();
            switch (c.way) {
                case Way::CancelButton:
                    p.Click(win::kIdCancel);
                    break;
                case Way::Escape:
                    p.PressKey(win::kVkEscape);
                    break;
                case Way::CloseBox:
                    p.CloseBox();
                    break;
            }
        });
        EXPECT_EQ(page.DoModal(), win::kIdCancel);
        EXPECT_EQ(page.m_nResult, PageCancel);
        const auto boxes = ui.MessageBoxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, ui.LoadString(IDS_EXIT_SETUP));
        EXPECT_FALSE(boxes[0].text.empty());
        EXPECT_EQ(boxes[0].caption, L"Setup");
        EXPECT_EQ(boxes[0].flags, win::kMbOkCancel | win::kMbIconQuestion);
        EXPECT_EQ(boxes[0].owner, dialog);
        ExpectNoUiErrors(*machine);
    }
}

TEST(PageFrameTest, DeclinedCancelLeavesThePageAsItWas) {
    auto machine = MakeMachine();
    sim::SimUi& ui = machine->ui();
    InstallerSettings settings;
    settings.VersionText = kVersion;
    CWelcomeDlg page(settings, machine->platform());
    const int ids[] = {IDC_NEXT, win::kIdCancel, IDC_TITLE, IDC_SUBTITLE};
    std::vector<std::wstring> before;
    std::vector<std::wstring> after;
    std::wstring captionBefore;
    std::wstring captionAfter;
    bool ended = true;
    int resultAfterDecline = 0;
    ui.User().AnswerMessageBox(win::kIdCancel);
    ui.User().OnPage(IDD_WELCOME, [&](sim::PageDriver& p) {
        captionBefore = p.Caption();
        for (int id : ids) {
            before.push_back(p.Text(id) + (p.IsEnabled(id) ? L"|on" : L"|off"));
        }
        p.Click(win::kIdCancel);
        ended = p.Ended();
        resultAfterDecline = page.m_nResult;
        captionAfter = p.Caption();
        for (int id : ids) {
            after.push_back(p.Text(id) + (p.IsEnabled(id) ? L"|on" : L"|off"));
        }
        p.Click(IDC_NEXT);
    });
    EXPECT_EQ(page.DoModal(), win::kIdOk);
    EXPECT_FALSE(ended);
    EXPECT_EQ(resultAfterDecline, PageCancel);
    EXPECT_EQ(captionAfter, captionBefore);
    EXPECT_EQ(after, before);
    EXPECT_EQ(page.m_nResult, PageNext);
    EXPECT_EQ(ui.MessageBoxes().size(), 1u);
    ExpectNoUiErrors(*machine);
}

// A Next or Back whose check failed has already set its result; a confirmed Cancel after it
// still ends the page with PageCancel.
TEST(PageFrameTest, ConfirmedCancelAfterAFailedCheckGivesPageCancel) {
    for (int button : {IDC_NEXT, IDC_BACK}) {
        SCOPED_TRACE(testing::Message() << "button " << button);
        auto machine = MakeMachine();
        sim::SimUi& ui = machine->ui();
        InstallerSettings settings;
        TestPage page(IDD_USERINFO, settings, machine->platform());
        page.m_bExchange = true;
        page.m_strUserName = std::wstring(65, L'u');
        int resultAfterFailure = 0;
        bool endedAfterFailure = true;
        ui.User().AnswerMessageBox(win::kIdOk);  // the limit message
        ui.User().AnswerMessageBox(win::kIdOk);  // exit Setup? OK
        ui.User().OnPage(IDD_USERINFO, [&](sim::PageDriver& p) {
            p.Click(button);
            endedAfterFailure = p.Ended();
            resultAfterFailure = page.m_nResult;
            p.Click(win::kIdCancel);
        });
        EXPECT_EQ(page.DoModal(), win::kIdCancel);
        EXPECT_FALSE(endedAfterFailure);
        EXPECT_EQ(resultAfterFailure, button == IDC_NEXT ? PageNext : PageBack);
        EXPECT_EQ(page.m_nResult, PageCancel);
        const auto boxes = ui.MessageBoxes();
        ASSERT_EQ(boxes.size(), 2u);
        EXPECT_EQ(boxes[0].text, L"Enter no more than 64 characters.");
        EXPECT_EQ(boxes[0].flags, win::kMbIconExclamation);
        EXPECT_EQ(boxes[1].flags, win::kMbOkCancel | win::kMbIconQuestion);
        ExpectNoUiErrors(*machine);
    }
}

// ---- Placeholders ----

struct TextsSeen {
    std::wstring caption;
    std::map<int, std::wstring> texts;
};

// Ends the page the user's way: Next when it is enabled, else Escape and OK to the question.
void EndPage(sim::Machine& machine, sim::PageDriver& p) {
    if (p.IsEnabled(IDC_NEXT)) {
        p.Click(IDC_NEXT);
    } else {
        machine.ui().User().AnswerMessageBox(win::kIdOk);
        p.PressKey(win::kVkEscape);
    }
}

// Runs |page| until its first idle moment, reads the caption and the texts of |ids|, then
// ends it.
TextsSeen RunAndRead(sim::Machine& machine, CSetupPage& page, const std::vector<int>& ids) {
    TextsSeen seen;
    machine.ui().User().OnPage(page.GetTemplateId(), [&](sim::PageDriver& p) {
        seen.caption = p.Caption();
        for (int id : ids) {
            seen.texts[id] = p.Text(id);
        }
        EndPage(machine, p);
    });
    page.DoModal();
    return seen;
}

TEST(PageFrameTest, WelcomeTextsShowTheProductAndTheVersion) {
    struct Case {
        uint16_t language;
        const wchar_t* version;
        const wchar_t* caption;
        const wchar_t* title;
        const wchar_t* textStart;
    };
    const Case cases[] = {
        {win::kLangEnglishUs, kVersion, L"Setup - Corvane", L"Welcome to the Corvane Setup Wizard",
         L"This will install Corvane 1.4.0.672 on your computer.\n"},
        // An empty version leaves the blank that followed the placeholder.
        {win::kLangEnglishUs, L"", L"Setup - Corvane", L"Welcome to the Corvane Setup Wizard",
         L"This will install Corvane  on your computer.\n"},
        {win::kLangChineseSimplified, kVersion, L"安装 - Corvane", L"欢迎使用 Corvane 安装向导",
         L"本安装向导将安装 Corvane 1.4.0.672 到您的计算机中。"},
    };
    for (const Case& c : cases) {
        auto machine = MakeMachine(c.language);
        InstallerSettings settings;
        settings.VersionText = c.version;
        CWelcomeDlg page(settings, machine->platform());
        const TextsSeen seen = RunAndRead(*machine, page, {IDC_TITLE, IDC_SUBTITLE, IDC_NEXT});
        const std::string input = "language " + std::to_string(c.language) + " version \"" +
                                  base::ToUtf8(c.version) + "\"";
        EXPECT_EQ(seen.caption, c.caption) << input;
        EXPECT_EQ(seen.texts.at(IDC_TITLE), c.title) << input;
        const std::wstring& text = seen.texts.at(IDC_SUBTITLE);
        EXPECT_EQ(text.substr(0, std::wstring(c.textStart).size()), c.textStart)
            << "got: " << base::ToUtf8(text) << "; " << input;
        EXPECT_EQ(text.find(L'<'), std::wstring::npos) << base::ToUtf8(text);
        ExpectNoUiErrors(*machine);
    }
}

TEST(PageFrameTest, EveryOccurrenceIsReplacedInStaticsAndEditsOnly) {
    struct Case {
        int id;                  // a control of template 103
        const wchar_t* text;     // set by the page's own set-up
        const wchar_t* version;  // VersionText
        const wchar_t* shown;
    };
    const Case cases[] = {
        // Twice in one text; the lower-case form is no placeholder.
        {IDC_SUBTITLE, L"<PRODUCT> and <PRODUCT>, <product>", kVersion,
         L"Corvane and Corvane, <product>"},
        // An edit's text (a user name taken from the registry) is substituted too.
        {IDC_USERNAME, L"Owner <VERSION>", kVersion, L"Owner 1.4.0.672"},
        // Replaced text is not scanned again, and <PRODUCT> goes first.
        {IDC_TITLE, L"<VERSION>/<PRODUCT>", L"<PRODUCT>", L"<PRODUCT>/Corvane"},
        {IDC_TITLE, L"<<PRODUCT>>", kVersion, L"<Corvane>"},
        {IDC_TITLE, L"<PRODUCT <VERSION>", L"", L"<PRODUCT "},
        // Buttons are not touched.
        {IDC_NEXT, L"&Next <PRODUCT>", kVersion, L"&Next <PRODUCT>"},
    };
    for (const Case& c : cases) {
        auto machine = MakeMachine();
        InstallerSettings settings;
        settings.VersionText = c.version;
        TestPage page(IDD_USERINFO, settings, machine->platform(),
                      [&](TestPage& self) { SetChildText(self, c.id, c.text); });
        const TextsSeen seen = RunAndRead(*machine, page, {c.id});
        EXPECT_EQ(seen.texts.at(c.id), c.shown)
            << "got: " << base::ToUtf8(seen.texts.at(c.id))
            << " expected: " << base::ToUtf8(c.shown) << " input: " << base::ToUtf8(c.text)
            << " version: " << base::ToUtf8(c.version);
        EXPECT_EQ(seen.caption, L"Setup - Corvane");
        ExpectNoUiErrors(*machine);
    }
}

TEST(PageFrameTest, FinishTextNamesTheProductTwice) {
    auto machine = MakeMachine();
    InstallerSettings settings;
    settings.VersionText = kVersion;
    TestPage page(IDD_FINISH, settings, machine->platform());
    const TextsSeen seen = RunAndRead(*machine, page, {IDC_TITLE, IDC_SUBTITLE});
    EXPECT_EQ(seen.texts.at(IDC_TITLE), L"Completing the Corvane Setup Wizard");
    EXPECT_EQ(seen.texts.at(IDC_SUBTITLE),
              L"Corvane 1.4.0.672 has been installed on your computer.\n\nTo complete the "
              L"installation of Corvane, Setup must restart your computer.\n\nWould you like "
              L"to restart now?");
    ExpectNoUiErrors(*machine);
}

// ---- Initialisation: icons and the title font ----

TEST(PageFrameTest, TitleFontIsBoldAndLargerOnlyOnWelcomeAndFinish) {
    struct Case {
        int templateId;
        int32_t height;
    };
    const Case cases[] = {
        {IDD_WELCOME, -16},  // -11 * 3 / 2, truncated toward zero
        {IDD_FINISH, -16},
        {IDD_LICENSE, -11},
        {IDD_USERINFO, -11},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "template " << c.templateId);
        auto machine = MakeMachine();
        sim::SimUi& ui = machine->ui();
        InstallerSettings settings;
        {
            TestPage page(c.templateId, settings, machine->platform());
            platform::FontHandle titleFont;
            platform::FontDescription dialogFont;
            platform::IconHandle bigIcon, smallIcon;
            ui.User().OnPage(c.templateId, [&](sim::PageDriver& p) {
                titleFont = ui.Control(p.Dialog(), IDC_TITLE).font;
                EXPECT_TRUE(ui.GetFontDescription(ui.GetFont(p.Dialog()), &dialogFont));
                bigIcon = ui.DialogIcon(p.Dialog(), true);
                smallIcon = ui.DialogIcon(p.Dialog(), false);
                EndPage(*machine, p);
            });
            page.DoModal();

            EXPECT_TRUE(titleFont);
            EXPECT_EQ(titleFont, page.m_fontTitle.GetSafeHandle());
            platform::FontDescription d;
            ASSERT_TRUE(ui.GetFontDescription(titleFont, &d));
            EXPECT_EQ(d.weight, 700);
            EXPECT_EQ(d.height, c.height);
            EXPECT_EQ(d.faceName, L"MS Shell Dlg");
            // Every other field is the dialog font's.
            EXPECT_EQ(dialogFont.quality, win::kProofQuality);
            platform::FontDescription expected = dialogFont;
            expected.weight = d.weight;
            expected.height = d.height;
            EXPECT_EQ(std::tie(d.width, d.escapement, d.orientation, d.italic, d.underline,
                               d.strikeOut, d.charSet, d.outPrecision, d.clipPrecision, d.quality,
                               d.pitchAndFamily, d.faceName),
                      std::tie(expected.width, expected.escapement, expected.orientation,
                               expected.italic, expected.underline, expected.strikeOut,
                               expected.charSet, expected.outPrecision, expected.clipPrecision,
                               expected.quality, expected.pitchAndFamily, expected.faceName));
            bool redrawn = false;
            for (const auto& set : ui.FontSets()) {
                if (set.font == titleFont) {
                    EXPECT_EQ(set.controlId, IDC_TITLE);
                    redrawn = set.redraw;
                }
            }
            EXPECT_TRUE(redrawn);
            EXPECT_EQ(bigIcon, page.m_hIcon);
            EXPECT_EQ(smallIcon, page.m_hIcon);
        }
        EXPECT_EQ(ui.LiveFonts(), 0u);  // the page released its title font
        ExpectNoUiErrors(*machine);
    }
}

// ---- Paint and colours ----

TEST(PageFrameTest, WhiteAreaSpansTheClientWidthDownToLine1004) {
    struct Case {
        int templateId;
        int lineTop;  // pixels: the line's y in dialog units * 13 / 8
    };
    const Case cases[] = {
        {IDD_WELCOME, 312},  // y 192: everything above the buttons
        {IDD_USERINFO, 59},  // y 36: the header band (58.5 rounded)
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "template " << c.templateId);
        auto machine = MakeMachine();
        sim::SimUi& ui = machine->ui();
        InstallerSettings settings;
        TestPage page(c.templateId, settings, machine->platform());
        platform::WindowHandle dialog;
        platform::Rect client;
        ui.User().AnswerMessageBox(win::kIdOk);
        ui.User().OnPage(c.templateId, [&](sim::PageDriver& p) {
            dialog = p.Dialog();
            ui.GetClientRect(dialog, &client);
            p.PressKey(win::kVkEscape);
        });
        page.DoModal();

        std::vector<sim::SimUi::FillRecord> white;
        for (const auto& fill : ui.Fills()) {
            if (fill.window == dialog && !fill.brush) {
                white.push_back(fill);
            }
        }
        ASSERT_FALSE(white.empty());
        for (const auto& fill : white) {
            EXPECT_GE(fill.paint, 0);
            EXPECT_EQ(fill.color.red, 255);
            EXPECT_EQ(fill.color.green, 255);
            EXPECT_EQ(fill.color.blue, 255);
            EXPECT_EQ(fill.rect.left, 0);
            EXPECT_EQ(fill.rect.top, 0);
            EXPECT_EQ(fill.rect.right, client.right);
            EXPECT_EQ(fill.rect.bottom, c.lineTop);
        }
        EXPECT_GT(client.right, 0);
    }
}

TEST(PageFrameTest, MinimisedPageDrawsItsIconCentredInsteadOfTheWhiteArea) {
    auto machine = MakeMachine();
    sim::SimUi& ui = machine->ui();
    InstallerSettings settings;
    CWelcomeDlg page(settings, machine->platform());
    platform::WindowHandle dialog;
    platform::Rect client;
    size_t fillsBefore = 0;
    size_t fillsWhileIconic = 0;
    ui.User().AnswerMessageBox(win::kIdOk);
    ui.User().OnPage(IDD_WELCOME, [&](sim::PageDriver& p) {
        dialog = p.Dialog();
        fillsBefore = ui.Fills().size();
        p.Minimize();
        ui.GetClientRect(dialog, &client);
        for (const auto& fill : ui.Fills()) {
            fillsWhileIconic += (fill.window == dialog && !fill.brush) ? 1 : 0;
        }
        p.Restore();
        p.Click(IDC_NEXT);
    });
    page.DoModal();

    const auto draws = ui.IconDraws();
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].icon, page.m_hIcon);
    const int cx = ui.GetSystemMetrics(win::kSmCxIcon);
    const int cy = ui.GetSystemMetrics(win::kSmCyIcon);
    EXPECT_EQ(draws[0].x, (client.right - client.left - cx + 1) / 2);
    EXPECT_EQ(draws[0].y, (client.bottom - client.top - cy + 1) / 2);
    // The iconic paint filled no white area; restoring paints it again.
    size_t whiteFills = 0;
    for (const auto& fill : ui.Fills()) {
        whiteFills += (fill.window == dialog && !fill.brush) ? 1 : 0;
    }
    EXPECT_GT(fillsBefore, 0u);
    EXPECT_EQ(fillsWhileIconic, 1u);
    EXPECT_EQ(whiteFills, 2u);
    bool iconicPaint = false;
    for (const auto& paint : ui.Paints()) {
        iconicPaint = iconicPaint || (paint.dialog == dialog && paint.iconic && paint.handled);
    }
    EXPECT_TRUE(iconicPaint);
}

TEST(PageFrameTest, TitleAndSubtitleAreTransparentOnWhiteOthersKeepTheDefaults) {
    for (int templateId : {IDD_WELCOME, IDD_USERINFO}) {
        SCOPED_TRACE(testing::Message() << "template " << templateId);
        auto machine = MakeMachine();
        sim::SimUi& ui = machine->ui();
        InstallerSettings settings;
        TestPage page(templateId, settings, machine->platform());
        ui.User().AnswerMessageBox(win::kIdOk);
        ui.User().OnPage(templateId, [](sim::PageDriver& p) { p.PressKey(win::kVkEscape); });
        page.DoModal();

        const platform::BrushHandle white = ui.GetStockBrush(platform::StockBrush::White);
        int titles = 0;
        int others = 0;
        for (const auto& record : ui.ControlColors()) {
            const bool title = record.controlId == IDC_TITLE || record.controlId == IDC_SUBTITLE;
            if (title) {
                ++titles;
                EXPECT_TRUE(record.handled) << "control " << record.controlId;
                EXPECT_EQ(record.brush, white) << "control " << record.controlId;
                EXPECT_TRUE(record.transparent) << "control " << record.controlId;
            } else {
                ++others;
                EXPECT_FALSE(record.handled) << "control " << record.controlId;
                EXPECT_FALSE(record.transparent) << "control " << record.controlId;
            }
        }
        EXPECT_GE(titles, 2);
        EXPECT_GT(others, 0);
    }
}

}  // namespace
