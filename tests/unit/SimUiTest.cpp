// The headless dialog manager of the simulated Windows, over the program's own compiled
// resources, driven by the scripted user.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "Setup/res/EmbeddedRes.h"
#include "base/Text.h"
#include "platform/WinConst.h"
#include "sim/Machine.h"

namespace {

using platform::Rect;
using platform::WindowHandle;
using platform::WindowRelation;

constexpr uint32_t kCompleted = win::kWmUser + 100;
constexpr uint32_t kPrivate = win::kWmUser + 101;
constexpr uint32_t kWhoAmI = win::kWmUser + 102;

std::unique_ptr<sim::Machine> NewMachine(uint16_t uiLanguage = win::kLangEnglishUs) {
    auto m = std::make_unique<sim::Machine>();
    size_t size = 0;
    const unsigned char* res = EmbeddedSetupRes(&size);
    std::string error;
    EXPECT_TRUE(m->ui().SetResources(res, size, &error)) << error;
    m->system().SetUiLanguage(uiLanguage);
    return m;
}

int Low(uintptr_t w) {
    return static_cast<int>(w & 0xFFFF);
}
uint32_t High(uintptr_t w) {
    return static_cast<uint32_t>((w >> 16) & 0xFFFF);
}

// A small dialog procedure: asks for the default focus, ends the page with the id of
// Next, Back or Cancel when they are clicked, and records what it gets.
class TestPage : public platform::DialogProcedure {
public:
    explicit TestPage(sim::Machine& m) : ui(m.ui()) {}

    using Hook = std::function<bool(WindowHandle, uint32_t, uintptr_t, intptr_t, intptr_t*)>;
    Hook hook;
    std::vector<uint32_t> messages;
    std::vector<std::pair<int, uint32_t>> commands;  // id, notification
    std::vector<uintptr_t> privateMessages;
    std::thread::id dialogThread;
    std::thread::id whoAmIThread;

    bool HandleMessage(WindowHandle dialog, uint32_t message, uintptr_t wParam, intptr_t lParam,
                       intptr_t* result) override {
        messages.push_back(message);
        if (hook && hook(dialog, message, wParam, lParam, result)) {
            return true;
        }
        switch (message) {
            case win::kWmInitDialog:
                dialogThread = std::this_thread::get_id();
                *result = 1;
                return true;
            case win::kWmCommand: {
                int id = Low(wParam);
                commands.push_back({id, High(wParam)});
                if (High(wParam) == win::kBnClicked &&
                    (id == 1000 || id == 1001 || id == win::kIdCancel)) {
                    ui.EndDialog(dialog, id);
                }
                return true;
            }
            case kPrivate:
                privateMessages.push_back(wParam);
                return true;
            case kWhoAmI:
                whoAmIThread = std::this_thread::get_id();
                *result = 42;
                return true;
            default:
                return false;
        }
    }

    int Count(int id, uint32_t code) const {
        int n = 0;
        for (auto& c : commands) {
            n += c.first == id && c.second == code;
        }
        return n;
    }

    sim::SimUi& ui;
};

bool HasError(sim::SimUi& ui, const std::string& part) {
    for (const std::string& e : ui.Errors()) {
        if (e.find(part) != std::string::npos) {
            return true;
        }
    }
    return false;
}

TEST(SimUiTest, PagesOpenInTheUiLanguageWithTemplateOrder) {
    struct Case {
        uint16_t uiLanguage;
        uint16_t expectedLanguage;
        std::wstring next;
        std::wstring caption;
    };
    const Case cases[] = {
        {win::kLangEnglishUs, 1033, L"&Next >", L"Setup - <PRODUCT>"},
        {win::kLangChineseSimplified, 2052, L"下一步(&N) >", L"安装 - <PRODUCT>"},
        {1031, 1033, L"&Next >", L"Setup - <PRODUCT>"},  // German: English
    };
    const int expectedIds[] = {1000, 2, 1002, 1003, 1004, 1005, 1006, -1, 1001, -1};
    const wchar_t* expectedClasses[] = {L"Button",      L"Button", L"Static", L"Static", L"Static",
                                        L"RichEdit20W", L"Button", L"Static", L"Button", L"Static"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.uiLanguage);
        auto m = NewMachine(c.uiLanguage);
        sim::SimUi& ui = m->ui();
        TestPage page(*m);
        std::vector<int> ids;
        std::vector<std::wstring> classes;
        Rect client, next, clientOfNext;
        platform::FontDescription font;
        int focus = 0;
        ui.User().OnPage(102, [&](sim::PageDriver& p) {
            for (WindowHandle w = ui.GetWindow(p.Dialog(), WindowRelation::FirstChild); w;
                 w = ui.GetWindow(w, WindowRelation::NextSibling)) {
                ids.push_back(ui.GetDlgCtrlID(w));
                classes.push_back(ui.GetClassName(w, 64));
            }
            ui.GetClientRect(p.Dialog(), &client);
            ui.GetWindowRect(ui.GetDlgItem(p.Dialog(), 1000), &next);
            clientOfNext = next;
            ui.ScreenToClient(p.Dialog(), &clientOfNext);
            ui.GetFontDescription(ui.GetFont(p.Dialog()), &font);
            focus = p.FocusId();
            p.Click(win::kIdCancel);
        });
        EXPECT_EQ(ui.DialogBox(102, &page), win::kIdCancel);

        ASSERT_EQ(ids.size(), 10u);
        for (size_t i = 0; i < ids.size(); ++i) {
            EXPECT_EQ(ids[i], expectedIds[i]) << "child " << i;
            EXPECT_EQ(classes[i], expectedClasses[i]) << "child " << i;
        }
        auto pages = ui.Pages();
        ASSERT_EQ(pages.size(), 1u);
        EXPECT_EQ(pages[0].language, c.expectedLanguage);
        EXPECT_EQ(pages[0].caption, c.caption);
        EXPECT_EQ(pages[0].atIdle[0].text, c.next);
        EXPECT_FALSE(pages[0].atIdle[0].enabled);  // Next starts disabled on this page
        // Dialog units to pixels as MapDialogRect: 335 x 225 -> 503 x 366, Next at
        // (223, 203) 50 x 14 -> (335, 330) 75 x 23.
        EXPECT_EQ(client.right, 503);
        EXPECT_EQ(client.bottom, 366);
        EXPECT_EQ(clientOfNext.left, 335);
        EXPECT_EQ(clientOfNext.top, 330);
        EXPECT_EQ(clientOfNext.right - clientOfNext.left, 75);
        EXPECT_EQ(clientOfNext.bottom - clientOfNext.top, 23);
        EXPECT_EQ(font.height, -11);
        EXPECT_EQ(font.weight, 400);
        EXPECT_EQ(font.faceName, L"MS Shell Dlg");
        // The first enabled tab stop (Next is disabled): Cancel.
        EXPECT_EQ(focus, win::kIdCancel);
        EXPECT_TRUE(ui.Errors().empty());
        EXPECT_FALSE(ui.GetWindow(pages[0].dialog, WindowRelation::FirstChild));
    }
}

TEST(SimUiTest, StringsFollowTheUiLanguageAndMissingOnesAreEmpty) {
    struct Case {
        uint16_t uiLanguage;
        int id;
        std::wstring expected;
    };
    const Case cases[] = {
        {win::kLangEnglishUs, 147, L"Copying files ..."},
        {win::kLangChineseSimplified, 147, L"复制文件 ..."},
        {win::kLangChineseSimplified, 61716, L"Enter no more than %1 characters."},
        {win::kLangEnglishUs, 9999, L""},
    };
    for (const Case& c : cases) {
        auto m = NewMachine(c.uiLanguage);
        EXPECT_EQ(m->ui().LoadString(c.id), c.expected) << c.id << " in " << c.uiLanguage;
    }
    auto m = NewMachine();
    EXPECT_TRUE(m->ui().LoadIcon(128));
    EXPECT_EQ(m->ui().LoadIcon(128), m->ui().LoadIcon(128));
    EXPECT_FALSE(m->ui().LoadIcon(4242));
}

TEST(SimUiTest, DialogWithoutResourcesOrTemplateFails) {
    sim::Machine bare;
    TestPage page(bare);
    EXPECT_EQ(bare.ui().DialogBox(101, &page), -1);
    auto m = NewMachine();
    TestPage other(*m);
    EXPECT_EQ(m->ui().DialogBox(4242, &other), -1);
    EXPECT_EQ(m->LastError(), win::kErrorResourceNameNotFound);
    EXPECT_TRUE(other.messages.empty());
}

TEST(SimUiTest, AutoRadioButtonsUncheckTheirGroup) {
    auto m = NewMachine();
    sim::SimUi& ui = m->ui();
    TestPage page(*m);
    page.hook = [&](WindowHandle d, uint32_t msg, uintptr_t, intptr_t, intptr_t* r) {
        if (msg == win::kWmInitDialog) {
            ui.SendMessage(ui.GetDlgItem(d, 1013), win::kBmSetCheck, win::kBstChecked, 0);
            *r = 1;
            return true;
        }
        return false;
    };
    struct Step {
        int click;
        bool yes, no;
    };
    const Step steps[] = {{1014, false, true}, {1013, true, false}, {1013, true, false}};
    std::vector<std::pair<bool, bool>> seen;
    bool programmaticBoth = false;
    ui.User().OnPage(107, [&](sim::PageDriver& p) {
        for (const Step& s : steps) {
            p.Click(s.click);
            seen.push_back({p.IsChecked(1013), p.IsChecked(1014)});
        }
        // BM_SETCHECK is not a click: the other button keeps its state.
        ui.SendMessage(ui.GetDlgItem(p.Dialog(), 1014), win::kBmSetCheck, win::kBstChecked, 0);
        programmaticBoth = p.IsChecked(1013) && p.IsChecked(1014);
        p.Click(1000);
    });
    EXPECT_EQ(ui.DialogBox(107, &page), 1000);
    for (size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i].first, steps[i].yes) << "after click " << steps[i].click;
        EXPECT_EQ(seen[i].second, steps[i].no) << "after click " << steps[i].click;
    }
    EXPECT_TRUE(programmaticBoth);
    EXPECT_EQ(page.Count(1013, win::kBnClicked), 2);
    EXPECT_EQ(page.Count(1014, win::kBnClicked), 1);
}

TEST(SimUiTest, CheckBoxEnablesTheDisabledDefaultButton) {
    auto m = NewMachine();
    sim::SimUi& ui = m->ui();
    TestPage page(*m);
    page.hook = [&](WindowHandle d, uint32_t msg, uintptr_t w, intptr_t, intptr_t*) {
        if (msg == win::kWmCommand && Low(w) == 1006) {
            bool checked =
                ui.SendMessage(ui.GetDlgItem(d, 1006), win::kBmGetCheck, 0, 0) == win::kBstChecked;
            ui.EnableWindow(ui.GetDlgItem(d, 1000), checked);
        }
        return false;
    };
    int beepsBefore = -1, beepsAfter = -1;
    bool endedByDisabled = true;
    ui.User().OnPage(102, [&](sim::PageDriver& p) {
        p.Focus(1005);  // not a push button: Enter means the default button
        beepsBefore = ui.Beeps();
        p.PressKey(win::kVkReturn);  // the default button is disabled: a beep
        p.Click(1000);               // disabled buttons ignore clicks
        beepsAfter = ui.Beeps();
        endedByDisabled = p.Ended();
        p.Click(1006);
        EXPECT_TRUE(p.IsChecked(1006));
        EXPECT_TRUE(p.IsEnabled(1000));
        p.Focus(1005);
        p.PressKey(win::kVkReturn);
    });
    EXPECT_EQ(ui.DialogBox(102, &page), 1000);
    EXPECT_EQ(beepsAfter - beepsBefore, 1);
    EXPECT_FALSE(endedByDisabled);
    EXPECT_EQ(page.Count(1000, win::kBnClicked), 1);
    auto pages = ui.Pages();
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].atEnd[6].check, win::kBstChecked);  // 1006 as the page ended
}

TEST(SimUiTest, EnterClicksTheFocusedPushButtonOrTheDefault) {
    struct Case {
        int focus;  // 0: leave the initial focus
        intptr_t expected;
    };
    const Case cases[] = {{0, 1000}, {win::kIdCancel, win::kIdCancel}, {1000, 1000}};
    for (const Case& c : cases) {
        auto m = NewMachine();
        TestPage page(*m);
        m->ui().User().OnPage(101, [&](sim::PageDriver& p) {
            if (c.focus) {
                p.Focus(c.focus);
            }
            p.PressKey(win::kVkReturn);
        });
        EXPECT_EQ(m->ui().DialogBox(101, &page), c.expected) << "focus " << c.focus;
    }
}

TEST(SimUiTest, EscapeAndCloseBoxClickCancelUnlessItIsDisabled) {
    struct Case {
        int page;
        bool closeBox;
        bool cancelClicked;
    };
    const Case cases[] = {
        {101, false, true},
        {101, true, true},
        {106, false, false},  // Cancel disabled in the template
        {106, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.page) + (c.closeBox ? " close box" : " escape"));
        auto m = NewMachine();
        sim::SimUi& ui = m->ui();
        TestPage page(*m);
        ui.User().OnPage(c.page, [&](sim::PageDriver& p) {
            if (c.closeBox) {
                p.CloseBox();
            } else {
                p.PressKey(win::kVkEscape);
            }
            if (!p.Ended()) {
                ui.EndDialog(p.Dialog(), 77);
            }
        });
        intptr_t result = ui.DialogBox(c.page, &page);
        EXPECT_EQ(result, c.cancelClicked ? win::kIdCancel : 77);
        EXPECT_EQ(page.Count(win::kIdCancel, win::kBnClicked), c.cancelClicked ? 1 : 0);
        EXPECT_EQ(ui.Beeps(), c.cancelClicked ? 0 : 1);
    }
}

TEST(SimUiTest, EditLimitStopsTypingButNotProgrammaticText) {
    auto m = NewMachine();
    sim::SimUi& ui = m->ui();
    TestPage page(*m);
    std::wstring typed, set, replaced;
    uint32_t selStart = 0, selEnd = 0;
    int changesWhileTyping = 0, beeps = 0;
    ui.User().OnPage(103, [&](sim::PageDriver& p) {
        WindowHandle edit = ui.GetDlgItem(p.Dialog(), 1007);
        ui.SendMessage(edit, win::kEmLimitText, 5, 0);
        int before = page.Count(1007, win::kEnChange);
        p.Type(1007, L"abcdefgh");
        typed = p.Text(1007);
        changesWhileTyping = page.Count(1007, win::kEnChange) - before;
        beeps = ui.Beeps();
        ui.SetWindowText(edit, L"0123456789");
        set = p.Text(1007);
        ui.SendMessage(edit, win::kEmSetSel, 2, -1);
        ui.SendMessage(edit, win::kEmGetSel, reinterpret_cast<uintptr_t>(&selStart),
                       reinterpret_cast<intptr_t>(&selEnd));
        p.Type(1007, L"xy");  // over the whole text, but only up to the limit
        replaced = p.Text(1007);
        p.Click(1000);
    });
    EXPECT_EQ(ui.DialogBox(103, &page), 1000);
    EXPECT_EQ(typed, L"abcde");
    EXPECT_EQ(changesWhileTyping, 5);
    EXPECT_EQ(beeps, 3);
    EXPECT_EQ(set, L"0123456789");
    EXPECT_EQ(selStart, 2u);
    EXPECT_EQ(selEnd, 10u);
    EXPECT_EQ(replaced, L"xy");
}

TEST(SimUiTest, SortedListBoxAndPrefixSearch) {
    auto m = NewMachine();
    sim::SimUi& ui = m->ui();
    TestPage page(*m);
    const wchar_t* added[] = {L"banana", L"Apple", L"cherry", L"apple pie", L"Banana split"};
    const std::vector<std::wstring> sorted = {L"Apple", L"apple pie", L"banana", L"Banana split",
                                              L"cherry"};
    struct Find {
        int start;
        std::wstring prefix;
        intptr_t expected;
    };
    const intptr_t err = static_cast<int32_t>(win::kLbErr);
    const Find finds[] = {
        {-1, L"b", 2},   {2, L"b", 3},     {3, L"b", 2},  // wraps around to the top
        {-1, L"BAN", 2}, {-1, L"z", err},  {4, L"apple", 0},
        {-1, L"", 0},    {0, L"apple", 1}, {99, L"cherry", 4},
    };
    std::vector<std::wstring> items;
    std::vector<intptr_t> found;
    int selBefore = -2, selAfter = -2, notifiesAfterSetCurSel = -1;
    std::wstring text;
    intptr_t length = 0;
    ui.User().OnPage(136, [&](sim::PageDriver& p) {
        WindowHandle list = ui.GetDlgItem(p.Dialog(), 1015);
        for (const wchar_t* s : added) {
            ui.SendMessage(list, win::kLbAddString, 0, reinterpret_cast<intptr_t>(s));
        }
        items = p.Items(1015);
        for (const Find& f : finds) {
            found.push_back(ui.SendMessage(list, win::kLbFindString,
                                           static_cast<uintptr_t>(f.start),
                                           reinterpret_cast<intptr_t>(f.prefix.c_str())));
        }
        ui.SendMessage(list, win::kLbSetCurSel, 1, 0);
        notifiesAfterSetCurSel = page.Count(1015, win::kLbnSelChange);
        selBefore = static_cast<int>(ui.SendMessage(list, win::kLbGetCurSel, 0, 0));
        p.SelectItem(1015, L"cher");
        selAfter = p.Selection(1015);
        wchar_t buffer[32] = {};
        length = ui.SendMessage(list, win::kLbGetTextLen, 3, 0);
        ui.SendMessage(list, win::kLbGetText, 3, reinterpret_cast<intptr_t>(buffer));
        text = buffer;
        p.Click(1000);
    });
    EXPECT_EQ(ui.DialogBox(136, &page), 1000);
    EXPECT_EQ(items, sorted);
    ASSERT_EQ(found.size(), std::size(finds));
    for (size_t i = 0; i < found.size(); ++i) {
        EXPECT_EQ(found[i], finds[i].expected) << "LB_FINDSTRING(" << finds[i].start << ", \""
                                               << base::ToUtf8(finds[i].prefix) << "\")";
    }
    EXPECT_EQ(notifiesAfterSetCurSel, 0);  // programmatic selection does not notify
    EXPECT_EQ(selBefore, 1);
    EXPECT_EQ(selAfter, 4);
    EXPECT_EQ(page.Count(1015, win::kLbnSelChange), 1);
    EXPECT_EQ(length, 12);
    EXPECT_EQ(text, L"Banana split");
}

TEST(SimUiTest, ProgressBarClampsAndReturnsThePreviousPosition) {
    auto m = NewMachine();
    sim::SimUi& ui = m->ui();
    TestPage page(*m);
    struct Step {
        int set;
        intptr_t previous;
        int position;
    };
    const Step steps[] = {{50, 0, 50}, {300, 50, 200}, {-5, 200, 0}, {120, 0, 120}};
    std::vector<std::pair<intptr_t, int>> got;
    ui.User().OnPage(106, [&](sim::PageDriver& p) {
        WindowHandle bar = ui.GetDlgItem(p.Dialog(), 1012);
        ui.SendMessage(bar, win::kPbmSetRange32, 0, 200);
        for (const Step& s : steps) {
            intptr_t previous =
                ui.SendMessage(bar, win::kPbmSetPos, static_cast<uintptr_t>(s.set), 0);
            got.push_back({previous, p.Progress(1012)});
        }
        ui.EndDialog(p.Dialog(), 1000);
    });
    EXPECT_EQ(ui.DialogBox(106, &page), 1000);
    ASSERT_EQ(got.size(), std::size(steps));
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].first, steps[i].previous) << "PBM_SETPOS " << steps[i].set;
        EXPECT_EQ(got[i].second, steps[i].position) << "PBM_SETPOS " << steps[i].set;
    }
}

TEST(SimUiTest, WorkerThreadSendsWaitForTheLoopAndPostsArriveInOrder) {
    auto m = NewMachine();
    sim::SimUi& ui = m->ui();
    TestPage page(*m);
    intptr_t progressAtEnd = -1;
    page.hook = [&](WindowHandle d, uint32_t msg, uintptr_t, intptr_t, intptr_t*) {
        if (msg == kCompleted) {
            progressAtEnd = ui.SendMessage(ui.GetDlgItem(d, 1012), win::kPbmGetPos, 0, 0);
            ui.EndDialog(d, 1000);
            return true;
        }
        return false;
    };
    std::thread worker;
    std::atomic<intptr_t> previous{-1}, who{0};
    std::wstring textSeenByWorker;
    ui.User().OnPage(106, [&](sim::PageDriver& p) {
        WindowHandle dialog = p.Dialog();
        worker = std::thread([&, dialog] {
            WindowHandle status = ui.GetDlgItem(dialog, 1011);
            WindowHandle bar = ui.GetDlgItem(dialog, 1012);
            ui.SetWindowText(status, L"Copying files ...");
            textSeenByWorker = ui.GetWindowText(status);
            previous = ui.SendMessage(bar, win::kPbmSetPos, 40, 0);
            who = ui.SendMessage(dialog, kWhoAmI, 0, 0);
            for (uintptr_t i = 1; i <= 3; ++i) {
                ui.PostMessage(dialog, kPrivate, i, 0);
            }
            ui.PostMessage(dialog, kCompleted, 0, 0);
        });
    });
    EXPECT_EQ(ui.DialogBox(106, &page), 1000);
    worker.join();
    EXPECT_EQ(textSeenByWorker, L"Copying files ...");
    EXPECT_EQ(previous.load(), 0);
    EXPECT_EQ(who.load(), 42);
    EXPECT_EQ(page.whoAmIThread, page.dialogThread);
    EXPECT_EQ(page.privateMessages, (std::vector<uintptr_t>{1, 2, 3}));
    EXPECT_EQ(progressAtEnd, 40);
    auto pages = ui.Pages();
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].atEnd[6].id, 1011);
    EXPECT_EQ(pages[0].atEnd[6].text, L"Copying files ...");
    EXPECT_TRUE(ui.Errors().empty());
}

TEST(SimUiTest, WaitForSeesAWorkersUpdates) {
    auto m = NewMachine();
    sim::SimUi& ui = m->ui();
    TestPage page(*m);
    std::thread worker;
    bool reached = false;
    ui.User().OnPage(106, [&](sim::PageDriver& p) {
        WindowHandle bar = ui.GetDlgItem(p.Dialog(), 1012);
        worker = std::thread([&ui, bar] {
            for (int i = 10; i <= 100; i += 10) {
                ui.SendMessage(bar, win::kPbmSetPos, static_cast<uintptr_t>(i), 0);
            }
        });
        reached = p.WaitFor([&] { return p.Progress(1012) == 100; });
        ui.EndDialog(p.Dialog(), 1000);
    });
    EXPECT_EQ(ui.DialogBox(106, &page), 1000);
    worker.join();
    EXPECT_TRUE(reached);
}

TEST(SimUiTest, MessageBoxAnswers) {
    struct Case {
        uint32_t flags;
        int queued;  // 0: nothing queued
        int expected;
        bool error;
    };
    const Case cases[] = {
        {win::kMbOk, 0, win::kIdOk, false},
        {win::kMbOkCancel | win::kMbIconQuestion, win::kIdOk, win::kIdOk, false},
        {win::kMbOkCancel, win::kIdCancel, win::kIdCancel, false},
        {win::kMbOkCancel, 0, win::kIdCancel, true},
        {win::kMbYesNo, 0, win::kIdNo, true},
        {win::kMbYesNo | win::kMbIconQuestion, win::kIdYes, win::kIdYes, false},
        {win::kMbOkCancel, win::kIdYes, win::kIdCancel, true},  // not one of its buttons
    };
    for (const Case& c : cases) {
        auto m = NewMachine();
        sim::SimUi& ui = m->ui();
        if (c.queued) {
            ui.User().AnswerMessageBox(c.queued);
        }
        int answer = ui.MessageBox(WindowHandle(), L"Exit Setup?", L"Setup", c.flags);
        EXPECT_EQ(answer, c.expected) << "flags " << c.flags << " queued " << c.queued;
        EXPECT_EQ(!ui.Errors().empty(), c.error) << "flags " << c.flags << " queued " << c.queued;
        auto boxes = ui.MessageBoxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, L"Exit Setup?");
        EXPECT_EQ(boxes[0].caption, L"Setup");
        EXPECT_EQ(boxes[0].flags, c.flags);
        EXPECT_EQ(boxes[0].answer, c.expected);
    }
}

TEST(SimUiTest, MessageBoxFromAPageRecordsItsOwner) {
    auto m = NewMachine();
    sim::SimUi& ui = m->ui();
    TestPage page(*m);
    page.hook = [&](WindowHandle d, uint32_t msg, uintptr_t w, intptr_t, intptr_t*) {
        if (msg == win::kWmCommand && Low(w) == win::kIdCancel) {
            if (ui.MessageBox(d, ui.LoadString(140), L"Setup",
                              win::kMbOkCancel | win::kMbIconQuestion) == win::kIdOk) {
                ui.EndDialog(d, win::kIdCancel);
            }
            return true;
        }
        return false;
    };
    ui.User().AnswerMessageBox(win::kIdCancel);
    ui.User().AnswerMessageBox(win::kIdOk);
    bool stayed = false;
    ui.User().OnPage(101, [&](sim::PageDriver& p) {
        p.Click(win::kIdCancel);  // answered Cancel: the page stays
        stayed = !p.Ended();
        p.PressKey(win::kVkEscape);  // answered OK
    });
    EXPECT_EQ(ui.DialogBox(101, &page), win::kIdCancel);
    EXPECT_TRUE(stayed);
    auto boxes = ui.MessageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].ownerTemplateId, 101);
    EXPECT_EQ(boxes[0].answer, win::kIdCancel);
    EXPECT_EQ(boxes[1].answer, win::kIdOk);
    EXPECT_EQ(base::FindNoCase(boxes[0].text, L"Exit Setup?"), boxes[0].text.size() - 11);
}

TEST(SimUiTest, PageWithoutScriptTimesOut) {
    auto m = NewMachine();
    sim::SimUi& ui = m->ui();
    ui.SetIdleTimeout(std::chrono::milliseconds(200));
    TestPage page(*m);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ui.DialogBox(101, &page), -1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_TRUE(HasError(ui, "page 101 waited with no script"));
    auto pages = ui.Pages();
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_TRUE(pages[0].reachedIdle);
    EXPECT_EQ(pages[0].result, -1);
}

TEST(SimUiTest, ActionsAfterThePageEndedAreErrors) {
    auto m = NewMachine();
    sim::SimUi& ui = m->ui();
    TestPage page(*m);
    ui.User().OnPage(101, [&](sim::PageDriver& p) {
        p.Click(1000);
        p.Click(win::kIdCancel);
    });
    EXPECT_EQ(ui.DialogBox(101, &page), 1000);
    EXPECT_EQ(page.Count(win::kIdCancel, win::kBnClicked), 0);
    EXPECT_TRUE(HasError(ui, "Click(2) after page 101 ended"));
}

TEST(SimUiTest, PaintAsksEachControlForItsColours) {
    auto m = NewMachine();
    sim::SimUi& ui = m->ui();
    TestPage page(*m);
    page.hook = [&](WindowHandle d, uint32_t msg, uintptr_t w, intptr_t l, intptr_t* r) {
        if (msg == win::kWmPaint) {
            platform::DcHandle dc = ui.BeginPaint(d);
            if (ui.IsIconic(d)) {
                ui.DrawIcon(dc, 1, 2, ui.LoadIcon(128));
            } else {
                ui.FillRect(dc, Rect{0, 0, 503, 312}, platform::Color{255, 255, 255});
            }
            ui.EndPaint(d);
            return true;
        }
        if (msg == win::kWmCtlColorStatic &&
            ui.GetDlgCtrlID(WindowHandle(static_cast<uintptr_t>(l))) == 1002) {
            ui.SetTransparentBackground(platform::DcHandle(w));
            *r = static_cast<intptr_t>(ui.GetStockBrush(platform::StockBrush::White).value);
            return true;
        }
        return false;
    };
    ui.User().OnPage(101, [&](sim::PageDriver& p) {
        p.Minimize();
        EXPECT_TRUE(ui.IsIconic(p.Dialog()));
        p.Restore();
        p.Click(1000);
    });
    EXPECT_EQ(ui.DialogBox(101, &page), 1000);

    struct Expected {
        int id;
        uint32_t message;
        bool transparent;
        uintptr_t brush;
    };
    const uintptr_t face = ui.FaceBrush().value;
    const uintptr_t white = ui.GetStockBrush(platform::StockBrush::White).value;
    const Expected expected[] = {
        {0, win::kWmCtlColorDlg, false, face},  // the dialog's background (erase)
        {1000, win::kWmCtlColorBtn, false, face},    {2, win::kWmCtlColorBtn, false, face},
        {-1, win::kWmCtlColorStatic, false, face},  // the bitmap
        {1002, win::kWmCtlColorStatic, true, white}, {1003, win::kWmCtlColorStatic, false, face},
        // 1004, an etched line, asks for no colour
    };
    std::vector<sim::SimUi::ControlColorRecord> first;
    for (const auto& c : ui.ControlColors()) {
        if (c.paint == 0) {
            first.push_back(c);
        }
    }
    ASSERT_EQ(first.size(), std::size(expected));
    for (size_t i = 0; i < first.size(); ++i) {
        EXPECT_EQ(first[i].controlId, expected[i].id) << i;
        EXPECT_EQ(first[i].message, expected[i].message) << i;
        EXPECT_EQ(first[i].transparent, expected[i].transparent) << i;
        EXPECT_EQ(first[i].brush.value, expected[i].brush) << i;
    }
    auto paints = ui.Paints();
    ASSERT_EQ(paints.size(), 3u);  // shown, minimised, restored
    EXPECT_FALSE(paints[0].iconic);
    EXPECT_TRUE(paints[1].iconic);
    EXPECT_FALSE(paints[2].iconic);
    int whiteFills = 0;
    for (const auto& f : ui.Fills()) {
        whiteFills += f.color.red == 255 && f.color.green == 255 && f.color.blue == 255 &&
                      f.rect.bottom == 312;
    }
    EXPECT_EQ(whiteFills, 2);
    ASSERT_EQ(ui.IconDraws().size(), 1u);
    EXPECT_EQ(ui.IconDraws()[0].x, 1);
}

TEST(SimUiTest, RichEditStreamsInChunksUntilNothingIsLeft) {
    struct Source {
        std::string data;
        size_t at = 0;
        uint32_t failAt = 0;  // call number that reports an error (0: never)
        uint32_t calls = 0;
    };
    auto callback = [](uintptr_t cookie, uint8_t* buffer, int32_t requested,
                       int32_t* transferred) -> uint32_t {
        Source* s = reinterpret_cast<Source*>(cookie);
        ++s->calls;
        if (s->failAt && s->calls == s->failAt) {
            *transferred = 0;
            return 5;
        }
        size_t n = std::min(static_cast<size_t>(requested), s->data.size() - s->at);
        std::copy(s->data.begin() + s->at, s->data.begin() + s->at + n, buffer);
        s->at += n;
        *transferred = static_cast<int32_t>(n);
        return 0;
    };
    struct Case {
        size_t size;
        uint32_t failAt;
        uint32_t expectedCalls;
        uint32_t expectedError;
        size_t expectedBytes;
    };
    const Case cases[] = {
        {10000, 0, 4, 0, 10000},  // 4096 + 4096 + 1808 + 0
        {0, 0, 1, 0, 0},
        {10000, 2, 2, 5, 4096},
    };
    for (const Case& c : cases) {
        auto m = NewMachine();
        sim::SimUi& ui = m->ui();
        TestPage page(*m);
        Source source{std::string(c.size, 'r'), 0, c.failAt, 0};
        intptr_t result = -1;
        uint32_t error = 99;
        sim::SimUi::ControlDetails details;
        ui.User().OnPage(102, [&](sim::PageDriver& p) {
            WindowHandle rich = ui.GetDlgItem(p.Dialog(), 1005);
            result = ui.StreamIn(rich, win::kSfRtf, reinterpret_cast<uintptr_t>(&source), callback,
                                 &error);
            ui.SendMessage(rich, win::kWmVScroll, win::kSbTop, 0);
            details = ui.Control(rich);
            p.Click(win::kIdCancel);
        });
        EXPECT_EQ(ui.DialogBox(102, &page), win::kIdCancel);
        SCOPED_TRACE("size " + std::to_string(c.size) + " failAt " + std::to_string(c.failAt));
        EXPECT_EQ(source.calls, c.expectedCalls);
        EXPECT_EQ(error, c.expectedError);
        EXPECT_EQ(static_cast<size_t>(result), c.expectedBytes);
        EXPECT_EQ(details.streamed.size(), c.expectedBytes);
        EXPECT_EQ(details.streamRequests.size(), c.expectedCalls);
        EXPECT_EQ(details.scrollTopCount, 1);
    }
}

}  // namespace

namespace {

TEST(SimUiTest, MessagesToAnEndedPageFailAtOnce) {
    auto m = NewMachine();
    sim::SimUi& ui = m->ui();
    TestPage page(*m);
    WindowHandle status;
    ui.User().OnPage(106, [&](sim::PageDriver& p) {
        status = ui.GetDlgItem(p.Dialog(), 1011);
        ui.EndDialog(p.Dialog(), 1000);
    });
    EXPECT_EQ(ui.DialogBox(106, &page), 1000);
    intptr_t sent = -1;
    bool setText = true;
    uint32_t error = 0;
    auto start = std::chrono::steady_clock::now();
    std::thread worker([&] {
        sent = ui.SendMessage(status, win::kPbmGetPos, 0, 0);
        setText = ui.SetWindowText(status, L"late");
        error = m->LastError();
    });
    worker.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(sent, 0);
    EXPECT_FALSE(setText);
    EXPECT_EQ(error, win::kErrorInvalidWindowHandle);
    EXPECT_FALSE(ui.PostMessage(status, kPrivate, 0, 0));
}

}  // namespace
