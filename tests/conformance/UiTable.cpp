// Ui: the program's own dialogs (Setup.rc) opened through the Ui port and driven the way
// the user drives them. Each dialog runs its real modal loop; the table's steps run from
// messages the dialog procedure posts to itself, so that the input a step produces (keys,
// clicks, characters) has been handled by the dialog manager before the next step looks
// at the result. Rows on one page run in order in the same dialog: a row's outcome is the
// state after its action and the commands the procedure received because of it.
#include <functional>
#include <memory>
#include <utility>

#include "Conformance.h"
#include "Setup/res/resource.h"
#include "base/Text.h"

namespace conf {
namespace {

using platform::WindowHandle;
using platform::WindowRelation;

constexpr uint32_t kMsgStep = win::kWmApp + 0x40;
// How many times a step message goes round the queue before the step runs: whatever the
// previous step's input posted in turn (the close box's WM_CLOSE posts IDCANCEL) is
// handled by then.
constexpr intptr_t kHops = 3;
constexpr intptr_t kFinished = 4711;

// The worker's messages: sent progress reports, posted reports and the completion message
// the program's install thread posts (WM_USER + 1).
constexpr uint32_t kMsgSentReport = win::kWmApp + 1;
constexpr uint32_t kMsgPostedReport = win::kWmApp + 2;
constexpr uint32_t kMsgDone = win::kWmUser + 1;

// A dialog of the program with a list of steps that run one after another inside its
// modal loop; after the last one the dialog ends with kFinished (unless a step asked to
// keep it open: then a private message handler ends it).
class Scenario : public platform::DialogProcedure {
public:
    using Step = std::function<void()>;
    using Handler = std::function<bool(uint32_t, uintptr_t, intptr_t, intptr_t*)>;

    Scenario(platform::Ui& ui, Env& env) : ui_(ui), env_(env) {}

    void Then(Step step) { steps_.push_back(std::move(step)); }
    void OnMessage(Handler handler) { handler_ = std::move(handler); }
    void KeepOpen() { keepOpen_ = true; }

    intptr_t Run(int templateId) { return ui_.DialogBox(templateId, this); }

    WindowHandle Dialog() const { return dialog_; }
    WindowHandle Item(int id) { return ui_.GetDlgItem(dialog_, id); }
    DialogUser& User() { return *user_; }
    platform::Ui& Ui() { return ui_; }
    int StepsRun() const { return stepsRun_; }

    intptr_t Send(int id, uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0) {
        return ui_.SendMessage(Item(id), message, wParam, lParam);
    }

    // The commands received since the last call: "id/code" in order, a run of equal ones
    // as "id/code xN", a "*" after one whose lParam is not the control with that id; "-"
    // when there were none.
    std::string TakeCommands() {
        std::string text;
        for (size_t i = 0; i < commands_.size();) {
            size_t run = 1;
            while (i + run < commands_.size() && commands_[i + run] == commands_[i])
                ++run;
            if (!text.empty())
                text += ',';
            text += commands_[i];
            if (run > 1)
                text += " x" + std::to_string(run);
            i += run;
        }
        commands_.clear();
        return text.empty() ? "-" : text;
    }

    bool HandleMessage(WindowHandle dialog, uint32_t message, uintptr_t wParam, intptr_t lParam,
                       intptr_t* result) override {
        *result = 0;
        switch (message) {
            case win::kWmInitDialog:
                dialog_ = dialog;
                user_ = env_.User(dialog);
                ui_.PostMessage(dialog, kMsgStep, 0, kHops);
                *result = 1;  // the dialog manager focuses the first tab stop
                return true;
            case win::kWmCommand: {
                const int id = static_cast<int>(wParam & 0xFFFF);
                const uint32_t code = static_cast<uint32_t>((wParam >> 16) & 0xFFFF);
                // The notifications the program acts on; focus and update notifications
                // differ between versions of the controls and are left out.
                if (code == win::kBnClicked || code == win::kLbnSelChange ||
                    code == win::kEnChange) {
                    const bool fromControl =
                        WindowHandle(static_cast<std::uintptr_t>(lParam)) == Item(id);
                    commands_.push_back(std::to_string(id) + "/" + std::to_string(code) +
                                        (fromControl ? "" : "*"));
                }
                return true;
            }
            case kMsgStep:
                if (lParam > 0) {
                    ui_.PostMessage(dialog, kMsgStep, wParam, lParam - 1);
                } else {
                    RunStep(static_cast<size_t>(wParam));
                }
                return true;
            default:
                return handler_ && handler_(message, wParam, lParam, result);
        }
    }

private:
    void RunStep(size_t index) {
        if (index < steps_.size()) {
            steps_[index]();
            ++stepsRun_;
        }
        if (index + 1 < steps_.size()) {
            ui_.PostMessage(dialog_, kMsgStep, index + 1, kHops);
        } else if (!keepOpen_) {
            ui_.EndDialog(dialog_, kFinished);
        }
    }

    platform::Ui& ui_;
    Env& env_;
    WindowHandle dialog_;
    std::unique_ptr<DialogUser> user_;
    std::vector<Step> steps_;
    Handler handler_;
    bool keepOpen_ = false;
    int stepsRun_ = 0;
    std::vector<std::string> commands_;
};

// One user action (or program call) on a page and the state expected after it.
struct ActionRow {
    const char* name;
    std::function<void(Scenario&)> act;
    const char* expected;
    WineNote wine = {};
    // The notifications are left out of the outcome where Windows does not document them
    // (keys an edit refuses at its limit).
    bool withCommands = true;
};

class UiTable : public ConformanceTest {
protected:
    void SetUp() override {
        ConformanceTest::SetUp();
        ASSERT_TRUE(E().PrepareDialogs());
        P().ui.InitCommonControls(win::kInitCommonControlsExSize, win::kIccFirstEightClasses);
    }

    // Runs |rows| in order on one visit of the page |templateId|: each row's action, then
    // (once the dialog has handled the input) its outcome "commands=... " + |state|.
    void RunRows(int templateId, const std::function<std::string(Scenario&)>& state,
                 const std::vector<ActionRow>& rows) {
        Scenario s(P().ui, E());
        for (const ActionRow& row : rows) {
            s.Then([&s, &row] {
                if (row.act)
                    row.act(s);
            });
            s.Then([this, &s, &row, &state, templateId] {
                const std::string commands = s.TakeCommands();
                const std::string got =
                    (row.withCommands ? "commands=" + commands + " " : std::string()) + state(s);
                Check(base::ToUtf8(base::Format(L"page %d: ", templateId)) + row.name, got,
                      row.expected, row.wine);
            });
        }
        const intptr_t result = s.Run(templateId);
        Check(base::ToUtf8(base::Format(L"page %d: all rows ran and the dialog ended", templateId)),
              Out().Add("result", static_cast<int64_t>(result)).Add("steps", s.StepsRun()).str(),
              Out()
                  .Add("result", static_cast<int64_t>(kFinished))
                  .Add("steps", static_cast<int>(2 * rows.size()))
                  .str());
    }
};

// --- Templates: children in order, their classes, disabled controls and texts ---

struct TemplateRow {
    int id;
    const char* children;  // "id:Class" in template order
    const char* disabled;
    // The control the dialog manager focuses first: the first tab stop, or without one the
    // first visible, enabled control (0: the dialog itself).
    int focus;
};

const TemplateRow kTemplates[] = {
    {IDD_WELCOME, "1000:Button 2:Button -1:Static 1002:Static 1003:Static 1004:Static", "-", 1000},
    {IDD_LICENSE,
     "1000:Button 2:Button 1002:Static 1003:Static 1004:Static 1005:RichEdit20W 1006:Button "
     "-1:Static 1001:Button -1:Static",
     "1000", 2},
    {IDD_USERINFO,
     "1000:Button 2:Button 1002:Static 1003:Static -1:Static 1004:Static -1:Static 1007:Edit "
     "-1:Static 1008:Edit -1:Static 1001:Button",
     "-", 1000},
    {IDD_ADDITIONALTASK,
     "1000:Button 2:Button 1002:Static 1003:Static -1:Static 1004:Static -1:Static -1:Static "
     "1009:Button 1010:Button -1:Static 1001:Button",
     "-", 1000},
    {IDD_READY,
     "1000:Button 2:Button 1002:Static 1003:Static 1004:Static -1:Static 1009:Edit -1:Static "
     "1001:Button -1:Static",
     "-", 1000},
    {IDD_RUNNING,
     "1000:Button 2:Button 1002:Static 1003:Static -1:Static 1004:Static 1011:Static "
     "1012:msctls_progress32 -1:Static 1001:Button",
     "1000 2 1001", IDC_TITLE},
    {IDD_FINISH,
     "1000:Button 2:Button -1:Static 1002:Static 1003:Static 1013:Button 1014:Button "
     "1004:Static 1001:Button",
     "2 1001", 1000},
    {IDD_STARTMENUFOLDER,
     "1000:Button 2:Button 1002:Static 1003:Static -1:Static 1004:Static -1:Static -1:Static "
     "1001:Button 1016:Edit 1015:ListBox",
     "-", 1000},
};

// Texts of a few controls of a page; id 0 is the dialog's caption.
struct TextRow {
    int templateId;
    std::vector<std::pair<int, std::wstring>> texts;
};

const std::vector<TextRow>& EnglishTexts() {
    static const std::vector<TextRow> rows = {
        {IDD_WELCOME,
         {{0, L"Setup - <PRODUCT>"},
          {IDC_NEXT, L"&Next >"},
          {win::kIdCancel, L"Cancel"},
          {IDC_TITLE, L"Welcome to the <PRODUCT> Setup Wizard"}}},
        {IDD_LICENSE,
         {{IDC_NEXT, L"&Next >"},
          {IDC_BACK, L"< &Back"},
          {IDC_TITLE, L"License Agreement"},
          {IDC_ACCEPT, L"I &accept this agreement"}}},
        {IDD_USERINFO, {{IDC_TITLE, L"User Information"}, {IDC_USERNAME, L""}}},
        {IDD_ADDITIONALTASK,
         {{IDC_TITLE, L"Select Additional Tasks"},
          {IDC_DESKTOPICON, L"Create a &desktop icon"},
          {IDC_QUICKLAUNCH, L"Create a &Quick Launch icon"}}},
        {IDD_READY, {{IDC_NEXT, L"&Install"}, {IDC_TITLE, L"Ready to Install"}}},
        {IDD_RUNNING, {{IDC_TITLE, L"Installing"}, {IDC_STATUS, L"Please wait ..."}}},
        {IDD_FINISH,
         {{IDC_NEXT, L"&Finish"},
          {IDC_RESTART_YES, L"&Yes, restart the computer now"},
          {IDC_RESTART_NO, L"&No, I will restart the computer later"}}},
        {IDD_STARTMENUFOLDER,
         {{0, L"Setup - <PRODUCT>"}, {IDC_TITLE, L"Choose Start Menu Folder"}}},
    };
    return rows;
}

const std::vector<TextRow>& ChineseTexts() {
    static const std::vector<TextRow> rows = {
        {IDD_WELCOME,
         {{0, L"安装 - <PRODUCT>"},
          {IDC_NEXT, L"下一步(&N) >"},
          {win::kIdCancel, L"取消"},
          {IDC_TITLE, L"欢迎使用 <PRODUCT> 安装向导"}}},
        {IDD_LICENSE,
         {{IDC_NEXT, L"下一步(&N) >"},
          {IDC_BACK, L"< 上一步(&B)"},
          {IDC_TITLE, L"最终用户许可协议"},
          {IDC_ACCEPT, L"我接受这个协议(&A)"}}},
        {IDD_USERINFO, {{IDC_TITLE, L"用户信息"}, {IDC_USERNAME, L""}}},
        {IDD_ADDITIONALTASK,
         {{IDC_TITLE, L"附加任务"},
          {IDC_DESKTOPICON, L"创建桌面快捷方式(&D)"},
          {IDC_QUICKLAUNCH, L"创建快速启动栏图标(&Q)"}}},
        {IDD_READY, {{IDC_NEXT, L"安装(&I)"}, {IDC_TITLE, L"开始准备安装"}}},
        {IDD_RUNNING, {{IDC_TITLE, L"正在安装"}, {IDC_STATUS, L"请稍候 ..."}}},
        {IDD_FINISH,
         {{IDC_NEXT, L"完成(&F)"},
          {IDC_RESTART_YES, L"(&Y)是，现在就重启计算机"},
          {IDC_RESTART_NO, L"(&N)不，稍后重启计算机"}}},
        {IDD_STARTMENUFOLDER, {{0, L"安装 - <PRODUCT>"}, {IDC_TITLE, L"选择开始菜单目录"}}},
    };
    return rows;
}

class UiTemplates : public UiTable {
protected:
    void CheckTemplates(uint16_t language, const std::vector<TextRow>& texts) {
        const char* tag = language == win::kLangEnglishUs ? "English" : "Chinese";
        for (const TemplateRow& row : kTemplates) {
            Scenario s(P().ui, E());
            std::string children, disabled, textOut;
            bool parentsOk = true;
            int focus = -1000;
            intptr_t defId = 0;
            s.Then([&] {
                platform::Ui& ui = s.Ui();
                std::string list, off;
                int guard = 0;
                for (WindowHandle child = ui.GetWindow(s.Dialog(), WindowRelation::FirstChild);
                     child && guard < 64;
                     child = ui.GetWindow(child, WindowRelation::NextSibling), ++guard) {
                    const int id = ui.GetDlgCtrlID(child);
                    if (!list.empty())
                        list += ' ';
                    list += std::to_string(id) + ":" + base::ToUtf8(ui.GetClassName(child, 256));
                    if (!ui.IsWindowEnabled(child))
                        off += (off.empty() ? "" : " ") + std::to_string(id);
                    parentsOk = parentsOk && ui.GetParent(child) == s.Dialog();
                }
                const WindowHandle focused = ui.GetFocus();
                focus = focused == s.Dialog() ? 0 : focused ? ui.GetDlgCtrlID(focused) : -999;
                defId = ui.SendMessage(s.Dialog(), win::kDmGetDefId, 0, 0);
                children = list;
                disabled = off.empty() ? "-" : off;
                Out out;
                for (const TextRow& t : texts) {
                    if (t.templateId != row.id)
                        continue;
                    for (const auto& text : t.texts) {
                        const WindowHandle w = text.first == 0 ? s.Dialog() : s.Item(text.first);
                        const std::string name =
                            text.first == 0 ? "caption" : std::to_string(text.first);
                        out.Add(name.c_str(), ui.GetWindowText(w));
                    }
                }
                textOut = out.str();
            });
            const intptr_t result = s.Run(row.id);
            const std::string name = base::ToUtf8(base::Format(L"page %d ", row.id)) + tag;
            Check(name +
                      ": the children in template order, their classes, the disabled ones, the "
                      "first focus and the default button",
                  Out()
                      .Add("result", static_cast<int64_t>(result))
                      .Add("children", std::string("[") + children + "]")
                      .Add("disabled", std::string("[") + disabled + "]")
                      .Add("parents", parentsOk)
                      .Add("focus", focus)
                      .Hex("defid", static_cast<uint32_t>(defId))
                      .str(),
                  Out()
                      .Add("result", static_cast<int64_t>(kFinished))
                      .Add("children", std::string("[") + row.children + "]")
                      .Add("disabled", std::string("[") + row.disabled + "]")
                      .Add("parents", true)
                      .Add("focus", row.focus)
                      .Hex("defid", (win::kDcHasDefId << 16) | IDC_NEXT)
                      .str());
            Out expected;
            for (const TextRow& t : texts) {
                if (t.templateId != row.id)
                    continue;
                for (const auto& text : t.texts) {
                    const std::string key =
                        text.first == 0 ? "caption" : std::to_string(text.first);
                    expected.Add(key.c_str(), text.second);
                }
            }
            Check(name + ": texts", textOut, expected.str());
        }
    }
};

// Each language's templates are checked where the user interface language is that one; a
// run started for a language (CV_CONFORMANCE_UI_LANGUAGE, its number) fails without it.
bool StartedForLanguage(uint16_t language) {
    return StartedFor("CV_CONFORMANCE_UI_LANGUAGE") == std::to_string(language);
}

TEST_F(UiTemplates, English) {
    if (!E().UseUiLanguage(win::kLangEnglishUs)) {
        ASSERT_FALSE(StartedForLanguage(win::kLangEnglishUs))
            << "started for the English templates, but the user interface language is not "
               "English";
        GTEST_SKIP() << "the user interface language is not English";
    }
    CheckTemplates(win::kLangEnglishUs, EnglishTexts());
}

TEST_F(UiTemplates, Chinese) {
    if (!E().UseUiLanguage(win::kLangChineseSimplified)) {
        ASSERT_FALSE(StartedForLanguage(win::kLangChineseSimplified))
            << "started for the Chinese templates, but the user interface language is not "
               "Simplified Chinese (is the zh_CN.UTF-8 locale there? scripts/bootstrap makes it)";
        GTEST_SKIP() << "the user interface language is not Simplified Chinese "
                        "(run under LANG=zh_CN.UTF-8 to check it)";
    }
    CheckTemplates(win::kLangChineseSimplified, ChineseTexts());
}

// --- Buttons and keys ---

TEST_F(UiTable, LicensePageCheckBoxAndDisabledDefault) {
    auto state = [](Scenario& s) {
        return Out()
            .Add("accept", static_cast<int64_t>(s.Send(IDC_ACCEPT, win::kBmGetCheck)))
            .Add("next", s.Ui().IsWindowEnabled(s.Item(IDC_NEXT)))
            .str();
    };
    const std::vector<ActionRow> rows = {
        {"as created", nullptr, "commands=- accept=0 next=0"},
        {"a click on the check box checks it", [](Scenario& s) { s.User().Click(IDC_ACCEPT); },
         "commands=1006/0 accept=1 next=0"},
        {"a second click clears it", [](Scenario& s) { s.User().Click(IDC_ACCEPT); },
         "commands=1006/0 accept=0 next=0"},
        {"a click on the disabled Next does nothing", [](Scenario& s) { s.User().Click(IDC_NEXT); },
         "commands=- accept=0 next=0"},
        {"Enter on the check box with the default button disabled does nothing",
         [](Scenario& s) {
             s.User().Focus(IDC_ACCEPT);
             s.User().PressKey(win::kVkReturn);
         },
         "commands=- accept=0 next=0"},
        {"Escape with Cancel enabled clicks Cancel",
         [](Scenario& s) { s.User().PressKey(win::kVkEscape); }, "commands=2/0 accept=0 next=0"},
        {"the close box with Cancel enabled clicks Cancel",
         [](Scenario& s) { s.User().CloseBox(); }, "commands=2/0 accept=0 next=0"},
        {"once the program enables Next, Enter on the check box clicks it",
         [](Scenario& s) {
             s.Ui().EnableWindow(s.Item(IDC_NEXT), true);
             s.User().Focus(IDC_ACCEPT);
             s.User().PressKey(win::kVkReturn);
         },
         "commands=1000/0 accept=0 next=1"},
        {"and a click on it arrives", [](Scenario& s) { s.User().Click(IDC_NEXT); },
         "commands=1000/0 accept=0 next=1"},
        {"BM_SETCHECK checks without a notification",
         [](Scenario& s) { s.Send(IDC_ACCEPT, win::kBmSetCheck, win::kBstChecked); },
         "commands=- accept=1 next=1"},
    };
    RunRows(IDD_LICENSE, state, rows);
}

TEST_F(UiTable, FinishPageRadioGroupAndDisabledCancel) {
    auto state = [](Scenario& s) {
        return Out()
            .Add("yes", static_cast<int64_t>(s.Send(IDC_RESTART_YES, win::kBmGetCheck)))
            .Add("no", static_cast<int64_t>(s.Send(IDC_RESTART_NO, win::kBmGetCheck)))
            .str();
    };
    const std::vector<ActionRow> rows = {
        {"as created", nullptr, "commands=- yes=0 no=0"},
        {"a click on Yes", [](Scenario& s) { s.User().Click(IDC_RESTART_YES); },
         "commands=1013/0 yes=1 no=0"},
        {"a click on No unchecks Yes", [](Scenario& s) { s.User().Click(IDC_RESTART_NO); },
         "commands=1014/0 yes=0 no=1"},
        {"a second click on No keeps it", [](Scenario& s) { s.User().Click(IDC_RESTART_NO); },
         "commands=1014/0 yes=0 no=1"},
        {"a click on Yes again", [](Scenario& s) { s.User().Click(IDC_RESTART_YES); },
         "commands=1013/0 yes=1 no=0"},
        {"Escape with Cancel disabled is ignored",
         [](Scenario& s) { s.User().PressKey(win::kVkEscape); }, "commands=- yes=1 no=0",
         WineNote{"Wine's IsDialogMessage sends IDCANCEL even when Cancel is disabled",
                  "commands=2/0 yes=1 no=0"}},
        {"the close box with Cancel disabled is ignored", [](Scenario& s) { s.User().CloseBox(); },
         "commands=- yes=1 no=0",
         WineNote{"Wine's DefDlgProc turns WM_CLOSE into IDCANCEL even when Cancel is disabled",
                  "commands=2/0 yes=1 no=0"}},
        {"a click on the disabled Cancel does nothing",
         [](Scenario& s) { s.User().Click(win::kIdCancel); }, "commands=- yes=1 no=0"},
        {"Enter clicks the default Finish button",
         [](Scenario& s) { s.User().PressKey(win::kVkReturn); }, "commands=1000/0 yes=1 no=0"},
    };
    RunRows(IDD_FINISH, state, rows);
}

// --- Fonts ---

// Every field of a LOGFONTW, by name.
std::vector<std::pair<std::string, std::string>> FontFields(const platform::FontDescription& f) {
    return {
        {"height", std::to_string(f.height)},
        {"width", std::to_string(f.width)},
        {"escapement", std::to_string(f.escapement)},
        {"orientation", std::to_string(f.orientation)},
        {"weight", std::to_string(f.weight)},
        {"italic", std::to_string(f.italic)},
        {"underline", std::to_string(f.underline)},
        {"strikeout", std::to_string(f.strikeOut)},
        {"charset", std::to_string(f.charSet)},
        {"outprecision", std::to_string(f.outPrecision)},
        {"clipprecision", std::to_string(f.clipPrecision)},
        {"quality", std::to_string(f.quality)},
        {"pitchandfamily", std::to_string(f.pitchAndFamily)},
        {"face", Quote(f.faceName)},
    };
}

std::string DescribeFont(const platform::FontDescription& f) {
    std::string text;
    for (const auto& field : FontFields(f))
        text += (text.empty() ? "" : " ") + field.first + "=" + field.second;
    return text;
}

// The fields in which |b| differs from |a|, with |b|'s values: "weight=700 height=-16";
// "same" when none does.
std::string FontDifferences(const platform::FontDescription& a,
                            const platform::FontDescription& b) {
    const auto fa = FontFields(a);
    const auto fb = FontFields(b);
    std::string text;
    for (size_t i = 0; i < fa.size(); ++i) {
        if (fa[i].second != fb[i].second)
            text += (text.empty() ? "" : " ") + fb[i].first + "=" + fb[i].second;
    }
    return text.empty() ? "same" : text;
}

// The pages' title font is made as the program makes it: the dialog's font read back whole,
// the weight set to bold and, on the Welcome and Finish pages, the height made half as
// large again. Read back from the title, it differs from the dialog's font in those fields
// only: every other field of the logical font is carried over.
TEST_F(UiTable, TitleFontIsTheDialogFontInBold) {
    struct Row {
        int templateId;
        bool larger;
        const char* differences;
    };
    const Row rows[] = {
        {IDD_WELCOME, true, "height=-16 weight=700"},
        {IDD_USERINFO, false, "weight=700"},
        {IDD_FINISH, true, "height=-16 weight=700"},
    };
    for (const Row& row : rows) {
        Scenario s(P().ui, E());
        std::string dialogFont = "no font", differences = "no font";
        bool onTitle = false;
        s.Then([&] {
            platform::Ui& ui = s.Ui();
            platform::FontDescription base;
            if (!ui.GetFontDescription(ui.GetFont(s.Dialog()), &base))
                return;
            dialogFont = DescribeFont(base);
            platform::FontDescription title = base;
            title.weight = win::kFwBold;
            if (row.larger)
                title.height = title.height * 3 / 2;
            const platform::FontHandle font = ui.CreateFont(title);
            if (!font)
                return;
            ui.SetFont(s.Item(IDC_TITLE), font, true);
            const platform::FontHandle shown = ui.GetFont(s.Item(IDC_TITLE));
            onTitle = shown == font;
            platform::FontDescription got;
            if (ui.GetFontDescription(shown, &got))
                differences = FontDifferences(base, got);
            ui.SetFont(s.Item(IDC_TITLE), ui.GetFont(s.Dialog()), false);
            ui.DeleteFont(font);
        });
        const intptr_t result = s.Run(row.templateId);
        const std::string name = base::ToUtf8(base::Format(L"page %d: ", row.templateId));
        Check(name + "the dialog manager's font for the template (8 pt \"MS Shell Dlg\")",
              dialogFont,
              "height=-11 width=0 escapement=0 orientation=0 weight=400 italic=0 underline=0 "
              "strikeout=0 charset=1 outprecision=0 clipprecision=0 quality=2 pitchandfamily=0 "
              "face=\"MS Shell Dlg\"");
        Check(name + "the title font differs from the dialog font only in weight and size",
              Out()
                  .Add("result", static_cast<int64_t>(result))
                  .Add("ontitle", onTitle)
                  .Add("differences", differences)
                  .str(),
              Out()
                  .Add("result", static_cast<int64_t>(kFinished))
                  .Add("ontitle", true)
                  .Add("differences", std::string(row.differences))
                  .str());
    }

    // A logical font with no field at its default comes back from GetObjectW as it was
    // made, field by field.
    platform::FontDescription unusual;
    unusual.height = -13;
    unusual.width = 7;
    unusual.escapement = 900;
    unusual.orientation = 900;
    unusual.weight = 600;
    unusual.italic = 1;
    unusual.underline = 1;
    unusual.strikeOut = 1;
    unusual.charSet = 0;          // ANSI_CHARSET
    unusual.outPrecision = 3;     // OUT_STROKE_PRECIS
    unusual.clipPrecision = 2;    // CLIP_STROKE_PRECIS
    unusual.quality = 5;          // CLEARTYPE_QUALITY
    unusual.pitchAndFamily = 34;  // VARIABLE_PITCH | FF_SWISS
    unusual.faceName = L"Corvane Conformance Face";
    const platform::FontHandle font = P().ui.CreateFont(unusual);
    platform::FontDescription got;
    const bool described = font && P().ui.GetFontDescription(font, &got);
    if (font)
        P().ui.DeleteFont(font);
    Check("CreateFont then GetFontDescription keeps every field",
          described ? FontDifferences(unusual, got) : std::string("no font"), "same");
}

// --- Edits ---

TEST_F(UiTable, UserInfoEditLimit) {
    const std::wstring seventy = std::wstring(40, L'a') + std::wstring(30, L'b');
    const std::wstring hundred(100, L'z');
    auto state = [](Scenario& s) {
        const std::wstring text = s.Ui().GetWindowText(s.Item(IDC_USERNAME));
        return Out()
            .Add("limit", static_cast<int64_t>(s.Send(IDC_USERNAME, win::kEmGetLimitText)))
            .Add("length", static_cast<int64_t>(text.size()))
            .Add("text",
                 text.size() > 8 ? text.substr(0, 4) + L"..." + text.substr(text.size() - 4) : text)
            .str();
    };
    const std::vector<ActionRow> rows = {
        {"EM_LIMITTEXT 64", [](Scenario& s) { s.Send(IDC_USERNAME, win::kEmLimitText, 64); },
         "commands=- limit=64 length=0 text=\"\""},
        {"typing 70 characters stops at 64",
         [seventy](Scenario& s) { s.User().Type(IDC_USERNAME, seventy); },
         "limit=64 length=64 text=\"aaaa...bbbb\"",
         {},
         false},
        {"WM_SETTEXT of 100 characters is not limited",
         [hundred](Scenario& s) { s.Ui().SetWindowText(s.Item(IDC_USERNAME), hundred); },
         "commands=1007/768 limit=64 length=100 text=\"zzzz...zzzz\""},
        {"a key at the end of the longer text is refused",
         [](Scenario& s) {
             s.Send(IDC_USERNAME, win::kEmSetSel, 100, 100);
             s.Ui().PostMessage(s.Item(IDC_USERNAME), win::kWmChar, L'x', 1);
         },
         "limit=64 length=100 text=\"zzzz...zzzz\"",
         {},
         false},
        {"typing over the whole text replaces it",
         [](Scenario& s) { s.User().Type(IDC_USERNAME, L"Ann"); },
         "commands=1007/768 x3 limit=64 length=3 text=\"Ann\""},
    };
    RunRows(IDD_USERINFO, state, rows);
}

// --- The sorted list box ---

TEST_F(UiTable, StartMenuFolderList) {
    const wchar_t* const names[] = {
        L"Tools and Utilities", L"Corvane", L"accessories", L"Startup", L"games", L"corvane 2",
        L"Administrative Tools"};
    std::string added;
    auto items = [](Scenario& s) {
        std::vector<std::wstring> list;
        const intptr_t count = s.Send(IDC_FOLDERLIST, win::kLbGetCount);
        for (intptr_t i = 0; i < count && i < 64; ++i) {
            const intptr_t length = s.Send(IDC_FOLDERLIST, win::kLbGetTextLen, i);
            if (length < 0 || length > 1024) {
                list.push_back(L"<bad length>");
                continue;
            }
            std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
            s.Send(IDC_FOLDERLIST, win::kLbGetText, i, reinterpret_cast<intptr_t>(buffer.data()));
            list.push_back(buffer.data());
        }
        return list;
    };
    auto state = [items](Scenario& s) {
        return Out()
            .Add("cursel", static_cast<int64_t>(s.Send(IDC_FOLDERLIST, win::kLbGetCurSel)))
            .Add("items", items(s))
            .str();
    };
    const std::string sorted =
        "items=[\"accessories\",\"Administrative Tools\",\"Corvane\",\"corvane 2\",\"games\","
        "\"Startup\",\"Tools and Utilities\"]";
    const std::string afterAdd = "commands=- cursel=-1 " + sorted;
    const std::string afterClick = "commands=1015/1 cursel=2 " + sorted;
    const std::string afterSet = "commands=- cursel=4 " + sorted;
    const std::vector<ActionRow> rows = {
        {"LB_ADDSTRING of unsorted names inserts them in order, ignoring case",
         [&](Scenario& s) {
             for (const wchar_t* name : names) {
                 const intptr_t at =
                     s.Send(IDC_FOLDERLIST, win::kLbAddString, 0, reinterpret_cast<intptr_t>(name));
                 added += (added.empty() ? "" : ",") + std::to_string(at);
             }
         },
         afterAdd.c_str()},
        {"a click on the third item selects it and notifies",
         [](Scenario& s) { s.User().SelectItem(IDC_FOLDERLIST, 2); }, afterClick.c_str()},
        {"LB_SETCURSEL selects without a notification",
         [](Scenario& s) { s.Send(IDC_FOLDERLIST, win::kLbSetCurSel, 4); }, afterSet.c_str()},
    };
    RunRows(IDD_STARTMENUFOLDER, state, rows);
    Check("LB_ADDSTRING returns the index each name went to", Out().Add("at", added).str(),
          "at=0,0,0,2,2,2,1");

    // LB_FINDSTRING on the sorted list: the first item that begins with the text, ignoring
    // case, searching after |start| and around to the top.
    struct FindRow {
        intptr_t start;
        const wchar_t* prefix;
        intptr_t expected;
    };
    const FindRow finds[] = {
        {-1, L"tools", 6},  {-1, L"TOOLS AND u", 6}, {-1, L"corvane", 2}, {2, L"corvane", 3},
        {3, L"corvane", 2}, {-1, L"Utilities", -1},  {-1, L"zzz", -1},    {6, L"acc", 0},
    };
    Scenario s(P().ui, E());
    std::vector<std::pair<std::string, std::string>> got;
    s.Then([&] {
        for (const wchar_t* name : names)
            s.Send(IDC_FOLDERLIST, win::kLbAddString, 0, reinterpret_cast<intptr_t>(name));
        for (const FindRow& f : finds) {
            const intptr_t at =
                s.Send(IDC_FOLDERLIST, win::kLbFindString, static_cast<uintptr_t>(f.start),
                       reinterpret_cast<intptr_t>(f.prefix));
            got.emplace_back(base::ToUtf8(base::Format(L"LB_FINDSTRING(%d, \"%ls\")",
                                                       static_cast<int>(f.start), f.prefix)),
                             Out().Add("index", static_cast<int64_t>(at)).str());
        }
    });
    ASSERT_EQ(s.Run(IDD_STARTMENUFOLDER), kFinished);
    ASSERT_EQ(got.size(), sizeof finds / sizeof finds[0]);
    for (size_t i = 0; i < got.size(); ++i) {
        Check(got[i].first, got[i].second,
              Out().Add("index", static_cast<int64_t>(finds[i].expected)).str());
    }
}

// --- The progress bar and a worker thread ---

TEST_F(UiTable, RunningPageProgress) {
    auto state = [](Scenario& s) {
        return Out()
            .Add("pos", static_cast<int64_t>(s.Send(IDC_PROGRESS, win::kPbmGetPos)))
            .Add("low", static_cast<int64_t>(s.Send(IDC_PROGRESS, win::kPbmGetRange, 1)))
            .Add("high", static_cast<int64_t>(s.Send(IDC_PROGRESS, win::kPbmGetRange, 0)))
            .str();
    };
    intptr_t previousRange = -1;
    std::vector<intptr_t> previous;
    auto setPos = [&previous](int position) {
        return [&previous, position](Scenario& s) {
            previous.push_back(s.Send(IDC_PROGRESS, win::kPbmSetPos,
                                      static_cast<uintptr_t>(static_cast<intptr_t>(position))));
        };
    };
    const std::vector<ActionRow> rows = {
        {"as created", nullptr, "commands=- pos=0 low=0 high=100"},
        {"PBM_SETRANGE32 0..100",
         [&previousRange](Scenario& s) {
             previousRange = s.Send(IDC_PROGRESS, win::kPbmSetRange32, 0, 100);
         },
         "commands=- pos=0 low=0 high=100"},
        {"PBM_SETPOS 50", setPos(50), "commands=- pos=50 low=0 high=100"},
        {"PBM_SETPOS 80", setPos(80), "commands=- pos=80 low=0 high=100"},
        {"PBM_SETPOS 150 stops at the top", setPos(150), "commands=- pos=100 low=0 high=100"},
        {"PBM_SETPOS -5 stops at the bottom", setPos(-5), "commands=- pos=0 low=0 high=100"},
        {"Enter with the default button disabled does nothing",
         [](Scenario& s) { s.User().PressKey(win::kVkReturn); }, "commands=- pos=0 low=0 high=100"},
        {"Escape with Cancel disabled is ignored",
         [](Scenario& s) { s.User().PressKey(win::kVkEscape); }, "commands=- pos=0 low=0 high=100",
         WineNote{"Wine's IsDialogMessage sends IDCANCEL even when Cancel is disabled",
                  "commands=2/0 pos=0 low=0 high=100"}},
        {"the close box with Cancel disabled is ignored", [](Scenario& s) { s.User().CloseBox(); },
         "commands=- pos=0 low=0 high=100",
         WineNote{"Wine's DefDlgProc turns WM_CLOSE into IDCANCEL even when Cancel is disabled",
                  "commands=2/0 pos=0 low=0 high=100"}},
    };
    RunRows(IDD_RUNNING, state, rows);
    std::string list;
    for (intptr_t p : previous)
        list += (list.empty() ? "" : ",") + std::to_string(p);
    Check("PBM_SETRANGE32 returns the previous range, PBM_SETPOS the previous position",
          Out()
              .Hex("range", static_cast<uint32_t>(previousRange))
              .Add("previous", "[" + list + "]")
              .str(),
          "range=00640000 previous=[0,50,80,100]");
}

// What the worker thread did and saw.
struct Worker {
    platform::Platform* p = nullptr;
    WindowHandle dialog, status, progress;
    bool textsSet = true;
    std::vector<intptr_t> previous;  // PBM_SETPOS results
    std::vector<intptr_t> replies;   // the dialog's answers to the sent reports
    bool posted = true;
};

uint32_t RunWorker(void* argument) {
    Worker* w = static_cast<Worker*>(argument);
    platform::Ui& ui = w->p->ui;
    for (int i = 1; i <= 5; ++i) {
        w->textsSet =
            ui.SetWindowText(w->status, base::Format(L"Copying files ... %d", i)) && w->textsSet;
        w->previous.push_back(
            ui.SendMessage(w->progress, win::kPbmSetPos, static_cast<uintptr_t>(i * 20), 0));
        w->replies.push_back(
            ui.SendMessage(w->dialog, kMsgSentReport, static_cast<uintptr_t>(i), 0));
    }
    w->posted = ui.PostMessage(w->dialog, kMsgPostedReport, 1, 0) && w->posted;
    w->posted = ui.PostMessage(w->dialog, kMsgPostedReport, 2, 0) && w->posted;
    w->posted = ui.PostMessage(w->dialog, kMsgDone, 0, 0) && w->posted;
    return 0;
}

TEST_F(UiTable, RunningPageWorkerThread) {
    Scenario s(P().ui, E());
    Worker worker;
    platform::KernelHandle thread;
    std::vector<std::wstring> arrivals;
    std::wstring statusAtEnd;
    intptr_t progressAtEnd = -1;
    s.Then([&] {
        worker.p = &P();
        worker.dialog = s.Dialog();
        worker.status = s.Item(IDC_STATUS);
        worker.progress = s.Item(IDC_PROGRESS);
        s.Send(IDC_PROGRESS, win::kPbmSetRange32, 0, 100);
        thread = P().system.CreateThread(RunWorker, &worker);
        if (thread)
            s.KeepOpen();  // the completion message ends the dialog
    });
    s.OnMessage([&](uint32_t message, uintptr_t wParam, intptr_t, intptr_t* result) {
        switch (message) {
            case kMsgSentReport:
                arrivals.push_back(base::Format(L"sent %d", static_cast<int>(wParam)));
                *result = static_cast<intptr_t>(wParam) * 10;
                return true;
            case kMsgPostedReport:
                arrivals.push_back(base::Format(L"posted %d", static_cast<int>(wParam)));
                return true;
            case kMsgDone:
                arrivals.push_back(L"done");
                statusAtEnd = s.Ui().GetWindowText(s.Item(IDC_STATUS));
                progressAtEnd = s.Send(IDC_PROGRESS, win::kPbmGetPos);
                s.Ui().EndDialog(s.Dialog(), 77);
                return true;
            default:
                return false;
        }
    });
    const intptr_t result = s.Run(IDD_RUNNING);
    ASSERT_TRUE(static_cast<bool>(thread)) << "CreateThread failed";
    const uint32_t wait = P().system.WaitForThread(thread, 30000);
    P().system.CloseThread(thread);
    auto list = [](const std::vector<intptr_t>& values) {
        std::string text;
        for (intptr_t v : values)
            text += (text.empty() ? "" : ",") + std::to_string(v);
        return "[" + text + "]";
    };
    Check("the completion message ends the dialog with EndDialog's value",
          Out().Add("result", static_cast<int64_t>(result)).Add("wait", wait).str(),
          "result=77 wait=0");
    Check("sent messages arrive while the worker waits, posted ones in order after them",
          Out().Add("arrivals", arrivals).str(),
          "arrivals=[\"sent 1\",\"sent 2\",\"sent 3\",\"sent 4\",\"sent 5\",\"posted 1\","
          "\"posted 2\",\"done\"]");
    Check("the worker's SetWindowText and SendMessage calls and their results",
          Out()
              .Add("settext", worker.textsSet)
              .Add("previous", list(worker.previous))
              .Add("replies", list(worker.replies))
              .Add("posted", worker.posted)
              .str(),
          "settext=1 previous=[0,20,40,60,80] replies=[10,20,30,40,50] posted=1");
    Check(
        "the status and the progress when the completion message arrives",
        Out().Add("status", statusAtEnd).Add("progress", static_cast<int64_t>(progressAtEnd)).str(),
        "status=\"Copying files ... 5\" progress=100");
}

// --- Message boxes ---

TEST_F(UiTable, MessageBoxes) {
    struct Row {
        const char* name;
        uint32_t flags;
        int button;
        const char* expected;
    };
    const Row rows[] = {
        {"MB_OK answered OK", win::kMbOk, win::kIdOk, "answered=1 result=1"},
        {"MB_OKCANCEL answered OK", win::kMbOkCancel | win::kMbIconQuestion, win::kIdOk,
         "answered=1 result=1"},
        {"MB_OKCANCEL answered Cancel", win::kMbOkCancel | win::kMbIconQuestion, win::kIdCancel,
         "answered=1 result=2"},
        {"MB_YESNO answered Yes", win::kMbYesNo | win::kMbIconExclamation, win::kIdYes,
         "answered=1 result=6"},
        {"MB_YESNO answered No", win::kMbYesNo | win::kMbIconExclamation, win::kIdNo,
         "answered=1 result=7"},
    };
    int serial = 0;
    for (const Row& row : rows) {
        const std::wstring caption =
            base::Format(L"Corvane conformance %u box %d", E().ProcessId(), ++serial);
        ASSERT_TRUE(E().AnswerMessageBox(caption, row.button));
        const int result =
            P().ui.MessageBox(platform::WindowHandle(), L"Continue?", caption, row.flags);
        const bool answered = E().MessageBoxAnswered();
        Check(row.name, Out().Add("answered", answered).Add("result", result).str(), row.expected);
    }

    // The page's Cancel asks "Exit Setup?" in a box the page owns, as the program does.
    Scenario s(P().ui, E());
    const int answers[] = {win::kIdCancel, win::kIdOk};
    std::vector<std::string> got;
    for (int answer : answers) {
        s.Then([&s] { s.User().Click(win::kIdCancel); });
        s.Then([&, answer] {
            const std::string commands = s.TakeCommands();
            const std::wstring caption =
                base::Format(L"Corvane conformance %u page box %d", E().ProcessId(), answer);
            const bool arranged = E().AnswerMessageBox(caption, answer);
            const int result = s.Ui().MessageBox(s.Dialog(), s.Ui().LoadString(IDS_EXIT_SETUP),
                                                 caption, win::kMbOkCancel | win::kMbIconQuestion);
            const bool answered = arranged && E().MessageBoxAnswered();
            got.push_back(Out()
                              .Add("commands", commands)
                              .Add("answered", answered)
                              .Add("result", result)
                              .Add("enabled", s.Ui().IsWindowEnabled(s.Dialog()))
                              .str());
        });
    }
    ASSERT_EQ(s.Run(IDD_WELCOME), kFinished);
    ASSERT_EQ(got.size(), 2u);
    Check("Cancel on the Welcome page, the exit box answered Cancel", got[0],
          "commands=2/0 answered=1 result=2 enabled=1");
    Check("Cancel on the Welcome page, the exit box answered OK", got[1],
          "commands=2/0 answered=1 result=1 enabled=1");
}

}  // namespace
}  // namespace conf
