// The dialog framework on the simulated Windows: program title, message-map routing and the
// data exchange with its length check.
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "UiTestMachine.h"
#include "base/Text.h"
#include "framework/Dialog.h"
#include "framework/WinApp.h"
#include "sim/Machine.h"

namespace {

constexpr int kUserInfoTemplate = 103;  // has Next 1000, Cancel 2 and the edits 1007, 1008
constexpr int kNext = 1000;
constexpr int kBack = 1001;
constexpr int kUserName = 1007;
constexpr int kOrganization = 1008;
constexpr uint32_t kPrivateMessage = win::kWmUser + 77;

using uitest::MakeMachine;

using uitest::ExpectNoUiErrors;

// ---- Program title ----

TEST(FrameworkTest, ProgramTitleIsTheExecutableNameWithoutExtension) {
    struct Case {
        const wchar_t* modulePath;
        const wchar_t* title;
    };
    const Case cases[] = {
        {L"C:\\Setup\\Setup.exe", L"Setup"},
        {L"C:\\Setup\\Corvane.Setup.exe", L"Corvane.Setup"},  // only the last extension
        {L"C:\\Setup\\Setup", L"Setup"},                      // no extension
        {L"C:\\v1.4\\Setup", L"Setup"},                       // a dot in a folder name
        {L"E:\\Setup.EXE", L"Setup"},                         // drive root
        {L"C:\\Setup\\Setup.my file", L"Setup.my file"},      // a blank ends no extension
        {L"C:\\Setup\\.exe", L""},
    };
    for (const Case& c : cases) {
        auto machine = MakeMachine();
        machine->files().SetModulePath(c.modulePath);
        EXPECT_EQ(GetProgramTitle(machine->platform().files), std::wstring(c.title))
            << "module path: " << base::ToUtf8(c.modulePath);
        CWinApp app(machine->platform());
        EXPECT_EQ(app.GetTitle(), std::wstring(c.title))
            << "module path: " << base::ToUtf8(c.modulePath);
        EXPECT_TRUE(app.InitInstance());
    }
}

TEST(FrameworkTest, ProgramTitleIsEmptyWhenTheModulePathCannotBeRead) {
    auto machine = MakeMachine();
    machine->files().FailNext(sim::FileOp::GetModuleFileName, win::kErrorInsufficientBuffer);
    EXPECT_EQ(GetProgramTitle(machine->platform().files), L"");
}

// ---- Message routing ----

// Counts what reaches its handlers; the derived class below overrides Next.
class RoutingDlg : public CDialog {
public:
    explicit RoutingDlg(platform::Platform& platform) : CDialog(kUserInfoTemplate, platform) {}

    int baseNext = 0;
    int back = 0;
    int nameChanges = 0;
    int paints = 0;
    int nameChangesAtInit = -1;
    std::wstring m_strUserName = L"Preset";

protected:
    bool OnInitDialog() override {
        const bool result = CDialog::OnInitDialog();
        nameChangesAtInit = nameChanges;
        return result;
    }
    void DoDataExchange(CDataExchange& dx) override { DDX_Text(dx, kUserName, m_strUserName); }
    void OnBaseNext() { ++baseNext; }
    void OnBack() { ++back; }
    void OnNameChange() { ++nameChanges; }
    void OnPaint() {
        ++paints;
        GetUi().BeginPaint(m_hWnd);
        GetUi().EndPaint(m_hWnd);
    }
    // Edits get the white brush; everything else the default colours.
    platform::BrushHandle OnCtlColor(platform::DcHandle dc, platform::WindowHandle control,
                                     int ctlColorType) {
        if (ctlColorType == win::kCtlColorEdit) {
            return GetUi().GetStockBrush(platform::StockBrush::White);
        }
        return CDialog::OnCtlColor(dc, control, ctlColorType);
    }
    intptr_t OnPrivate(uintptr_t wParam, intptr_t lParam) {
        return static_cast<intptr_t>(wParam) * 100 + lParam;
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(RoutingDlg, CDialog)
ON_BN_CLICKED(kNext, &RoutingDlg::OnBaseNext)
ON_BN_CLICKED(kBack, &RoutingDlg::OnBack)
ON_EN_CHANGE(kUserName, &RoutingDlg::OnNameChange)
ON_WM_PAINT()
ON_WM_CTLCOLOR()
ON_MESSAGE(kPrivateMessage, &RoutingDlg::OnPrivate)
END_MESSAGE_MAP()

class DerivedRoutingDlg : public RoutingDlg {
public:
    using RoutingDlg::RoutingDlg;
    int derivedNext = 0;

protected:
    void OnDerivedNext() { ++derivedNext; }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(DerivedRoutingDlg, RoutingDlg)
ON_BN_CLICKED(kNext, &DerivedRoutingDlg::OnDerivedNext)
END_MESSAGE_MAP()

TEST(FrameworkTest, MessagesReachTheMostDerivedHandlerThenTheBaseMaps) {
    auto machine = MakeMachine();
    sim::SimUi& ui = machine->ui();
    DerivedRoutingDlg dlg(machine->platform());
    intptr_t privateResult = 0;
    ui.User().OnPage(kUserInfoTemplate, [&](sim::PageDriver& p) {
        p.Click(kNext);  // both maps list it: the derived one wins
        p.Type(kUserName, L"ab");
        privateResult = ui.SendMessage(p.Dialog(), kPrivateMessage, 4, 2);
        p.PressKey(win::kVkEscape);  // IDCANCEL: only CDialog's own map lists it
    });
    EXPECT_EQ(dlg.DoModal(), win::kIdCancel);

    EXPECT_EQ(dlg.derivedNext, 1);
    EXPECT_EQ(dlg.baseNext, 0);
    EXPECT_EQ(dlg.back, 0);
    EXPECT_GE(dlg.nameChanges, 1);
    EXPECT_EQ(privateResult, 402);
    EXPECT_GE(dlg.paints, 1);
    EXPECT_FALSE(dlg.GetSafeHwnd());  // the window is gone after the modal run
    ExpectNoUiErrors(*machine);
}

TEST(FrameworkTest, ControlColourHandlersThatReturnNoBrushLeaveTheDefaultColours) {
    auto machine = MakeMachine();
    sim::SimUi& ui = machine->ui();
    RoutingDlg dlg(machine->platform());
    ui.User().OnPage(kUserInfoTemplate, [](sim::PageDriver& p) { p.PressKey(win::kVkEscape); });
    dlg.DoModal();

    const platform::BrushHandle white = ui.GetStockBrush(platform::StockBrush::White);
    int edits = 0;
    int others = 0;
    for (const auto& record : ui.ControlColors()) {
        if (record.message == win::kWmCtlColorEdit) {
            ++edits;
            EXPECT_TRUE(record.handled) << "control " << record.controlId;
            EXPECT_EQ(record.brush, white) << "control " << record.controlId;
        } else {
            ++others;
            EXPECT_FALSE(record.handled)
                << "control " << record.controlId << " message " << record.message;
        }
    }
    EXPECT_EQ(edits, 2);
    EXPECT_GT(others, 0);
}

TEST(FrameworkTest, NotificationsCausedByTheDataExchangeAreNotRouted) {
    auto machine = MakeMachine();
    RoutingDlg dlg(machine->platform());
    std::wstring shown;
    machine->ui().User().OnPage(kUserInfoTemplate, [&](sim::PageDriver& p) {
        shown = p.Text(kUserName);
        p.PressKey(win::kVkEscape);
    });
    dlg.DoModal();
    EXPECT_EQ(shown, L"Preset");
    EXPECT_EQ(dlg.nameChangesAtInit, 0);
}

// ---- Data exchange ----

// The two edits of template 103 bound to members and limited to 64 characters; Next is the
// OK path.
class ExchangeDlg : public CDialog {
public:
    explicit ExchangeDlg(platform::Platform& platform) : CDialog(kUserInfoTemplate, platform) {}

    std::wstring m_strUserName;
    std::wstring m_strOrganization;

protected:
    void DoDataExchange(CDataExchange& dx) override {
        DDX_Text(dx, kUserName, m_strUserName);
        DDV_MaxChars(dx, m_strUserName, 64);
        DDX_Text(dx, kOrganization, m_strOrganization);
        DDV_MaxChars(dx, m_strOrganization, 64);
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ExchangeDlg, CDialog)
ON_BN_CLICKED(kNext, &ExchangeDlg::OnOK)
END_MESSAGE_MAP()

TEST(FrameworkTest, LoadingFillsTheEditsAndLimitsThem) {
    auto machine = MakeMachine();
    sim::SimUi& ui = machine->ui();
    ExchangeDlg dlg(machine->platform());
    dlg.m_strUserName = L"Alice";
    dlg.m_strOrganization = L"";
    ui.User().OnPage(kUserInfoTemplate, [&](sim::PageDriver& p) {
        EXPECT_EQ(p.Text(kUserName), L"Alice");
        EXPECT_EQ(p.Text(kOrganization), L"");
        EXPECT_EQ(ui.Control(p.Dialog(), kUserName).limit, 64);
        EXPECT_EQ(ui.Control(p.Dialog(), kOrganization).limit, 64);
        p.Type(kOrganization, std::wstring(70, L'o'));  // the limit stops the keys
        EXPECT_EQ(p.Text(kOrganization), std::wstring(64, L'o'));
        p.Type(kUserName, L"Bob");
        p.Click(kNext);
    });
    EXPECT_EQ(dlg.DoModal(), win::kIdOk);
    EXPECT_EQ(dlg.m_strUserName, L"Bob");
    EXPECT_EQ(dlg.m_strOrganization, std::wstring(64, L'o'));
    EXPECT_TRUE(ui.MessageBoxes().empty());
    ExpectNoUiErrors(*machine);
}

// A text longer than the limit (set by the program, which the edit's limit does not stop)
// fails the OK path: the framework's message, the focus in the offending edit with its
// whole text selected, the dialog still open. The message exists in English only, so
// Chinese systems show the English text too.
TEST(FrameworkTest, TooLongTextShowsTheLimitMessageAndKeepsTheDialogOpen) {
    struct Case {
        uint16_t language;
        size_t nameLength;
        size_t organizationLength;
        int focusId;            // the offending edit
        size_t selected;        // its length
        bool organizationRead;  // the exchange reached the second edit
    };
    const Case cases[] = {
        {win::kLangEnglishUs, 5, 65, kOrganization, 65, true},
        {win::kLangEnglishUs, 100, 3, kUserName, 100, false},
        {win::kLangChineseSimplified, 5, 65, kOrganization, 65, true},
        {win::kLangChineseSimplified, 65, 65, kUserName, 65, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "language " << c.language << " name " << c.nameLength
                                        << " organization " << c.organizationLength);
        auto machine = MakeMachine(c.language);
        sim::SimUi& ui = machine->ui();
        ExchangeDlg dlg(machine->platform());
        dlg.m_strUserName = L"A";
        dlg.m_strOrganization = L"O";
        const std::wstring longName(c.nameLength, L'n');
        const std::wstring longOrganization(c.organizationLength, L'g');
        bool endedByNext = true;
        int focus = 0;
        sim::SimUi::ControlDetails offending;
        ui.User().OnPage(kUserInfoTemplate, [&](sim::PageDriver& p) {
            ui.SetWindowText(ui.GetDlgItem(p.Dialog(), kUserName), longName);
            ui.SetWindowText(ui.GetDlgItem(p.Dialog(), kOrganization), longOrganization);
            p.Click(kNext);
            endedByNext = p.Ended();
            focus = p.FocusId();
            offending = ui.Control(p.Dialog(), c.focusId);
            p.PressKey(win::kVkEscape);
        });
        EXPECT_EQ(dlg.DoModal(), win::kIdCancel);

        EXPECT_FALSE(endedByNext);
        EXPECT_EQ(focus, c.focusId);
        EXPECT_EQ(offending.selStart, 0);
        EXPECT_EQ(offending.selEnd, static_cast<int>(c.selected));
        const auto boxes = ui.MessageBoxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, L"Enter no more than 64 characters.");
        EXPECT_EQ(boxes[0].caption, L"Setup");
        EXPECT_EQ(boxes[0].flags, win::kMbOk | win::kMbIconExclamation);
        EXPECT_EQ(boxes[0].ownerTemplateId, kUserInfoTemplate);
        EXPECT_EQ(dlg.m_strUserName, longName);
        EXPECT_EQ(dlg.m_strOrganization, c.organizationRead ? longOrganization : L"O");
        ExpectNoUiErrors(*machine);
    }
}

TEST(FrameworkTest, TextOfExactlyTheLimitPasses) {
    auto machine = MakeMachine();
    ExchangeDlg dlg(machine->platform());
    dlg.m_strUserName = std::wstring(64, L'n');
    dlg.m_strOrganization = std::wstring(64, L'g');
    machine->ui().User().OnPage(kUserInfoTemplate, [](sim::PageDriver& p) { p.Click(kNext); });
    EXPECT_EQ(dlg.DoModal(), win::kIdOk);
    EXPECT_TRUE(machine->ui().MessageBoxes().empty());
}

TEST(FrameworkTest, MessageBoxByIdUsesTheStringAndTheProgramTitle) {
    auto machine = MakeMachine(win::kLangChineseSimplified);
    machine->files().SetModulePath(L"D:\\Install\\CorvaneSetup.exe");
    ExchangeDlg dlg(machine->platform());
    machine->ui().User().AnswerMessageBox(win::kIdCancel);
    EXPECT_EQ(
        dlg.MessageBoxById(platform::WindowHandle(), 140, win::kMbOkCancel | win::kMbIconQuestion),
        win::kIdCancel);
    const auto boxes = machine->ui().MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, dlg.LoadStringResource(140));
    EXPECT_EQ(boxes[0].text.substr(0, 4), L"安装还没");
    EXPECT_EQ(boxes[0].caption, L"CorvaneSetup");
    EXPECT_EQ(boxes[0].flags, win::kMbOkCancel | win::kMbIconQuestion);
}

}  // namespace
