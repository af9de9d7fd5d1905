// A Windows program that runs the Win32 Ui adapter against the real dialog manager and
// controls (under Wine here): it opens its own dialogs, drives their controls through the
// Ui port in a scripted session, and prints one line per check ("ok", "FAIL") plus "note"
// lines for behaviour that the program must know about but that is not checked (where
// Wine is known to differ from Windows). The same lines go to ui_probe.log in the current
// folder, since a GUI program's standard output is not always connected. Exit code 0 when
// every check passed.
//
// The script advances with a private message posted to the dialog: each step does its
// actions, which may post keys to the focused control, then posts the next step, so the
// next step runs after the dialog manager has handled those keys.
#include <cstdarg>
#include <cstdio>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "UiProbeIds.h"
#include "base/Text.h"
#include "platform/Platform.h"
#include "win32/Win32Platform.h"

namespace {

using platform::FontDescription;
using platform::FontHandle;
using platform::KernelHandle;
using platform::Rect;
using platform::WindowHandle;
using platform::WindowRelation;

constexpr uint32_t kMsgStep = win::kWmApp + 1;
constexpr uint32_t kMsgWorkerDone = win::kWmApp + 2;
constexpr intptr_t kControlsResult = 4242;
constexpr intptr_t kDisabledDefaultResult = 7;

FILE* logFile = nullptr;
int failures = 0;

void Line(const char* format, ...) {
    char buffer[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    std::printf("%s\n", buffer);
    std::fflush(stdout);
    if (logFile != nullptr) {
        std::fprintf(logFile, "%s\n", buffer);
        std::fflush(logFile);
    }
}

std::string Narrow(const std::wstring& s) {
    return base::ToUtf8(s);
}

void Check(bool ok, const std::string& what) {
    Line("%s %s", ok ? "ok  " : "FAIL", what.c_str());
    if (!ok)
        ++failures;
}

void Note(const std::string& what) {
    Line("note %s", what.c_str());
}

std::string Str(long long value) {
    return std::to_string(value);
}

uintptr_t MakeWParam(int low, int high) {
    return (static_cast<uintptr_t>(static_cast<uint16_t>(high)) << 16) | static_cast<uint16_t>(low);
}

// One WM_COMMAND as the dialog procedure received it.
struct Command {
    int id;
    int code;
    WindowHandle control;
};

// The message box answerer: a thread that waits for a "#32770" window with the given
// caption and sends it WM_COMMAND with the given button id.
struct Answer {
    platform::Platform* p;
    std::wstring caption;
    int button;
    bool found = false;
};

uint32_t AnswerMessageBox(void* argument) {
    Answer* answer = static_cast<Answer*>(argument);
    const std::wstring dialogClass = L"#32770";
    for (int attempt = 0; attempt < 200; ++attempt) {
        const WindowHandle box = answer->p->processes.FindWindow(&dialogClass, answer->caption);
        if (box) {
            answer->found = true;
            answer->p->ui.SendMessage(box, win::kWmCommand, MakeWParam(answer->button, 0), 0);
            return 0;
        }
        answer->p->system.Sleep(25);
    }
    return 1;
}

// The worker of the progress step: it updates a static and the progress bar from its own
// thread while the dialog runs, then tells the dialog it is done.
struct Worker {
    platform::Platform* p;
    WindowHandle dialog;
    WindowHandle status;
    WindowHandle progress;
    bool textsSet = true;
};

uint32_t RunWorker(void* argument) {
    Worker* worker = static_cast<Worker*>(argument);
    for (int i = 1; i <= 5; ++i) {
        const std::wstring text = base::Format(L"Step %d of %d", i, 5);
        worker->textsSet = worker->p->ui.SetWindowText(worker->status, text) && worker->textsSet;
        worker->p->ui.SendMessage(worker->progress, win::kPbmSetPos, static_cast<uintptr_t>(i * 20),
                                  0);
        worker->p->system.Sleep(10);
    }
    worker->p->ui.PostMessage(worker->dialog, kMsgWorkerDone, 0, 0);
    return 0;
}

// The rich edit's stream source: hands out |text| a few bytes at a time.
struct Source {
    std::string text;
    std::size_t offset = 0;
    int calls = 0;
    uint32_t failWith = 0;
};

uint32_t ReadSource(uintptr_t cookie, uint8_t* buffer, int32_t requested, int32_t* transferred) {
    Source* source = reinterpret_cast<Source*>(cookie);
    ++source->calls;
    if (source->failWith != 0) {
        *transferred = 0;
        return source->failWith;
    }
    std::size_t count = source->text.size() - source->offset;
    if (count > 5)
        count = 5;
    if (count > static_cast<std::size_t>(requested))
        count = static_cast<std::size_t>(requested);
    for (std::size_t i = 0; i < count; ++i) {
        buffer[i] = static_cast<uint8_t>(source->text[source->offset + i]);
    }
    source->offset += count;
    *transferred = static_cast<int32_t>(count);
    return 0;
}

class Session : public platform::DialogProcedure {
public:
    explicit Session(platform::Platform& p) : p_(p), ui_(p.ui) {}

    bool HandleMessage(WindowHandle dialog, uint32_t message, uintptr_t wParam, intptr_t lParam,
                       intptr_t* result) override {
        switch (message) {
            case win::kWmInitDialog:
                dialog_ = dialog;
                initDialogSeen_ = true;
                ui_.PostMessage(dialog, kMsgStep, 0, 0);
                *result = 1;  // let the dialog manager focus the first tab stop
                return true;
            case win::kWmCommand:
                commands_.push_back({static_cast<int>(wParam & 0xFFFF),
                                     static_cast<int>((wParam >> 16) & 0xFFFF),
                                     WindowHandle(static_cast<std::uintptr_t>(lParam))});
                *result = 0;
                return true;
            case win::kWmPaint:
                Paint(dialog);
                *result = 0;
                return true;
            case win::kWmCtlColorBtn:
            case win::kWmCtlColorStatic:
            case win::kWmCtlColorEdit:
            case win::kWmCtlColorListBox:
            case win::kWmCtlColorDlg: {
                const WindowHandle control(static_cast<std::uintptr_t>(lParam));
                colorMessages_.insert(ColorName(message) + " from " +
                                      Narrow(ui_.GetClassName(control, 64)) + " " +
                                      Str(ui_.GetDlgCtrlID(control)));
                if (message == win::kWmCtlColorStatic) {
                    *result =
                        static_cast<intptr_t>(ui_.GetStockBrush(platform::StockBrush::White).value);
                    return true;
                }
                return false;
            }
            case kMsgStep:
                Step(static_cast<int>(wParam));
                *result = 0;
                return true;
            case kMsgWorkerDone:
                WorkerDone();
                *result = 0;
                return true;
            default:
                return false;
        }
    }

    virtual void Step(int step) = 0;
    virtual void WorkerDone() {}

    bool initDialogSeen_ = false;
    int paints_ = 0;
    bool paintOk_ = true;
    std::set<std::string> colorMessages_;

protected:
    static std::string ColorName(uint32_t message) {
        switch (message) {
            case win::kWmCtlColorBtn:
                return "WM_CTLCOLORBTN";
            case win::kWmCtlColorStatic:
                return "WM_CTLCOLORSTATIC";
            case win::kWmCtlColorEdit:
                return "WM_CTLCOLOREDIT";
            case win::kWmCtlColorListBox:
                return "WM_CTLCOLORLISTBOX";
            default:
                return "WM_CTLCOLORDLG";
        }
    }

    void Paint(WindowHandle dialog) {
        const platform::DcHandle dc = ui_.BeginPaint(dialog);
        if (!dc) {
            paintOk_ = false;
            return;
        }
        ++paints_;
        paintOk_ = ui_.FillRect(dc, Rect{2, 2, 30, 30}, platform::Color{255, 255, 255}) && paintOk_;
        ui_.SetTransparentBackground(dc);
        const platform::IconHandle icon = ui_.LoadIcon(kIconProbe);
        paintOk_ = icon && ui_.DrawIcon(dc, 2, 2, icon) && paintOk_;
        ui_.EndPaint(dialog);
    }

    void Next(int step) { ui_.PostMessage(dialog_, kMsgStep, static_cast<uintptr_t>(step), 0); }

    void Key(uint32_t key) {
        WindowHandle target = ui_.GetFocus();
        if (!target)
            target = dialog_;
        ui_.PostMessage(target, win::kWmKeyDown, key, 1);
        ui_.PostMessage(target, win::kWmKeyUp, key, static_cast<intptr_t>(0xC0000001u));
    }

    // The commands received since the last call, as "id/code" text.
    std::string TakeCommands() {
        std::string text;
        for (const Command& c : commands_) {
            if (!text.empty())
                text += " ";
            text += Str(c.id) + "/" + Str(c.code);
        }
        commands_.clear();
        return text.empty() ? "(none)" : text;
    }

    WindowHandle Item(int id) { return ui_.GetDlgItem(dialog_, id); }

    std::wstring ListText(int index) {
        const WindowHandle list = Item(kIdList);
        const intptr_t length = ui_.SendMessage(list, win::kLbGetTextLen, index, 0);
        if (length < 0)
            return L"<LB_ERR>";
        std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1, L'\0');
        ui_.SendMessage(list, win::kLbGetText, index, reinterpret_cast<intptr_t>(buffer.data()));
        return std::wstring(buffer.data());
    }

    platform::Platform& p_;
    platform::Ui& ui_;
    WindowHandle dialog_;
    std::vector<Command> commands_;
};

// The dialog with every kind of control.
class ControlsSession : public Session {
public:
    using Session::Session;

    void Step(int step) override {
        switch (step) {
            case 0:
                Structure();
                TextsFontsAndResources();
                Buttons();
                Lists();
                ProgressAndRichEdit();
                EditLimitStart();
                Next(1);
                break;
            case 1:
                Check(ui_.GetWindowText(Item(kIdEdit)) == L"abcxx",
                      "typing stops at the edit's limit: got \"" +
                          Narrow(ui_.GetWindowText(Item(kIdEdit))) + "\", expected \"abcxx\"");
                commands_.clear();
                // Enter with the focus on a push button that is not the default one.
                ui_.SetFocus(Item(kIdBack));
                commands_.clear();  // EN_KILLFOCUS
                Key(win::kVkReturn);
                Next(2);
                break;
            case 2:
                Note("Enter after a plain SetFocus(Back): commands " + TakeCommands() +
                     " (a focused push button is clicked only when it has the default style, "
                     "which WM_NEXTDLGCTL gives it and SetFocus does not)");
                ui_.SendMessage(dialog_, win::kWmNextDlgCtl,
                                static_cast<uintptr_t>(Item(kIdBack).value), 1);
                commands_.clear();
                Key(win::kVkReturn);
                Next(3);
                break;
            case 3: {
                const std::string got = TakeCommands();
                Check(got == "1001/0", "Enter on Back focused by WM_NEXTDLGCTL clicks Back: got " +
                                           got + ", expected 1001/0");
                ui_.SendMessage(dialog_, win::kWmNextDlgCtl,
                                static_cast<uintptr_t>(Item(kIdEdit).value), 1);
                commands_.clear();  // EN_SETFOCUS
                Key(win::kVkReturn);
                Next(4);
                break;
            }
            case 4: {
                const std::string got = TakeCommands();
                Check(got == "1000/0", "Enter in the edit clicks the default button: got " + got +
                                           ", expected 1000/0");
                ui_.EnableWindow(Item(kIdNext), false);
                Key(win::kVkReturn);
                Next(5);
                break;
            }
            case 5: {
                const std::string got = TakeCommands();
                Check(got == "(none)", "Enter with the default button disabled does nothing: got " +
                                           got + ", expected (none)");
                ui_.EnableWindow(Item(kIdNext), true);
                Key(win::kVkEscape);
                Next(6);
                break;
            }
            case 6: {
                const bool fromCancel =
                    commands_.size() == 1 && commands_[0].control == Item(win::kIdCancel);
                const std::string got = TakeCommands();
                Check(got == "2/0" && fromCancel,
                      "Escape clicks Cancel (lParam the Cancel button): got " + got);
                ui_.EnableWindow(Item(win::kIdCancel), false);
                Key(win::kVkEscape);
                Next(7);
                break;
            }
            case 7:
                Note("Escape with Cancel disabled: commands " + TakeCommands() +
                     " (Windows: none, the key only beeps)");
                ui_.PostMessage(dialog_, win::kWmSysCommand, win::kScClose, 0);
                Next(8);
                break;
            case 8:
                // WM_CLOSE's answer is posted while SC_CLOSE is handled, behind step 8.
                Next(9);
                break;
            case 9:
                Note("SC_CLOSE with Cancel disabled: commands " + TakeCommands() +
                     " (Windows: none, DefDlgProc beeps)");
                ui_.EnableWindow(Item(win::kIdCancel), true);
                ui_.PostMessage(dialog_, win::kWmSysCommand, win::kScClose, 0);
                Next(10);
                break;
            case 10:
                Next(11);
                break;
            case 11: {
                const std::string got = TakeCommands();
                Check(got == "2/0",
                      "SC_CLOSE (close box) clicks Cancel: got " + got + ", expected 2/0");
                MessageBoxes();
                Next(12);
                break;
            }
            case 12:
                StartWorker();
                break;
            default:
                break;
        }
    }

    void WorkerDone() override {
        Check(worker_.textsSet, "SetWindowText from the worker thread succeeded");
        const std::wstring status = ui_.GetWindowText(Item(kIdStatus));
        Check(status == L"Step 5 of 5",
              "static set by the worker: got \"" + Narrow(status) + "\", expected \"Step 5 of 5\"");
        const intptr_t pos = ui_.SendMessage(Item(kIdProgress), win::kPbmGetPos, 0, 0);
        Check(pos == 100, "progress set by the worker: got " + Str(pos) + ", expected 100");
        Check(ui_.EndDialog(dialog_, kControlsResult), "EndDialog");
    }

    KernelHandle workerThread_;

private:
    void Structure() {
        const WindowHandle focus = ui_.GetFocus();
        Check(focus == Item(kIdNext),
              "WM_INITDIALOG returning 1 focuses the first tab stop (Next): "
              "focus id " +
                  Str(ui_.GetDlgCtrlID(focus)));
        const intptr_t defId = ui_.SendMessage(dialog_, win::kDmGetDefId, 0, 0);
        Check(defId == static_cast<intptr_t>((win::kDcHasDefId << 16) | kIdNext),
              "DM_GETDEFID names the DEFPUSHBUTTON: got " + Str(defId & 0xFFFF) + "/" +
                  Str((defId >> 16) & 0xFFFF));

        // The controls are the dialog's children in template order.
        struct Expected {
            int id;
            const wchar_t* className;
        };
        const Expected expected[] = {
            {kIdNext, L"Button"},
            {win::kIdCancel, L"Button"},
            {kIdLabel, L"Static"},
            {kIdCheck, L"Button"},
            {kIdRadioA, L"Button"},
            {kIdRadioB, L"Button"},
            {kIdEdit, L"Edit"},
            {kIdList, L"ListBox"},
            {kIdProgress, L"msctls_progress32"},
            {kIdRich, L"RichEdit20W"},
            {kIdStatus, L"Static"},
            {-1, L"Static"},
            {kIdBack, L"Button"},
        };
        WindowHandle child = ui_.GetWindow(dialog_, WindowRelation::FirstChild);
        std::size_t index = 0;
        for (; child && index < sizeof expected / sizeof expected[0]; ++index) {
            const int id = ui_.GetDlgCtrlID(child);
            const std::wstring className = ui_.GetClassName(child, 256);
            const bool ok = id == expected[index].id &&
                            base::EqualsNoCase(className, expected[index].className) &&
                            ui_.GetParent(child) == dialog_;
            Check(ok, "child " + Str(static_cast<long long>(index)) + ": got " + Str(id) + " " +
                          Narrow(className) + ", expected " + Str(expected[index].id) + " " +
                          Narrow(expected[index].className));
            if (className != expected[index].className) {
                Note("class name as registered: " + Narrow(className));
            }
            child = ui_.GetWindow(child, WindowRelation::NextSibling);
        }
        Check(index == sizeof expected / sizeof expected[0] && !child,
              "the dialog has exactly the template's 13 controls");

        // GetClassName cuts the name to the buffer, as the API does.
        struct ClassCase {
            int bufferChars;
            const wchar_t* expected;
        };
        const ClassCase classCases[] = {
            {0, L""}, {1, L""}, {4, L"Ric"}, {12, L"RichEdit20W"}, {64, L"RichEdit20W"}};
        for (const ClassCase& c : classCases) {
            const std::wstring got = ui_.GetClassName(Item(kIdRich), c.bufferChars);
            Check(got == c.expected, "GetClassName(rich edit, " + Str(c.bufferChars) + "): got \"" +
                                         Narrow(got) + "\", expected \"" + Narrow(c.expected) +
                                         "\"");
        }

        // Rectangles: the Next button at 223, 203 (50 x 14 DLU).
        Rect window, client, mapped;
        const bool rects =
            ui_.GetWindowRect(Item(kIdNext), &window) && ui_.GetClientRect(Item(kIdNext), &client);
        mapped = window;
        const bool mappedOk = ui_.ScreenToClient(dialog_, &mapped);
        Check(rects && mappedOk && client.left == 0 && client.top == 0 &&
                  client.right == window.right - window.left &&
                  client.bottom == window.bottom - window.top &&
                  mapped.right - mapped.left == window.right - window.left,
              "GetWindowRect / GetClientRect / ScreenToClient agree");
        Note("Next button in dialog client pixels: " + Str(mapped.left) + "," + Str(mapped.top) +
             " " + Str(mapped.right - mapped.left) + "x" + Str(mapped.bottom - mapped.top) +
             " (223,203 50x14 DLU; at base units 6x13: 335,330 75x23)");
        Rect dialogClient;
        ui_.GetClientRect(dialog_, &dialogClient);
        Note("dialog client size: " + Str(dialogClient.right) + "x" + Str(dialogClient.bottom) +
             " (335x225 DLU)");
        Rect untouched{1, 2, 3, 4};
        Check(!ui_.ScreenToClient(WindowHandle(), &untouched) && untouched.left == 1,
              "ScreenToClient of no window fails and leaves the rectangle");
        Check(!ui_.IsIconic(dialog_), "IsIconic(dialog) is false");
    }

    void TextsFontsAndResources() {
        const WindowHandle label = Item(kIdLabel);
        const std::wstring longText(1000, L'x');
        const std::wstring texts[] = {L"Hello", L"", L"\x5B89\x88C5 - \x4EA7\x54C1", longText};
        for (const std::wstring& text : texts) {
            const bool set = ui_.SetWindowText(label, text);
            const std::wstring got = ui_.GetWindowText(label);
            Check(set && got == text, "SetWindowText/GetWindowText round trip of " +
                                          Str(static_cast<long long>(text.size())) +
                                          " characters: got " +
                                          Str(static_cast<long long>(got.size())));
        }
        Check(ui_.GetWindowText(WindowHandle()).empty(), "GetWindowText of no window is empty");

        const std::wstring shortString = ui_.LoadString(kStringShort);
        Check(shortString == L"Probe string", "LoadString: got \"" + Narrow(shortString) + "\"");
        const std::wstring longString = ui_.LoadString(kStringLong);
        Check(longString.size() == 633 && longString.substr(630) == L"END",
              "LoadString of a 633-character string: got " +
                  Str(static_cast<long long>(longString.size())) + " characters");
        Check(ui_.LoadString(999).empty(), "LoadString of a missing id is empty");
        Check(static_cast<bool>(ui_.LoadIcon(kIconProbe)), "LoadIcon of the program's icon");
        Check(!ui_.LoadIcon(998), "LoadIcon of a missing id gives no icon");
        Check(ui_.GetSystemMetrics(win::kSmCxIcon) == 32, "GetSystemMetrics(SM_CXICON) is 32");

        // The dialog font, and a bold font set on a static and taken back.
        const FontHandle dialogFont = ui_.GetFont(dialog_);
        FontDescription description;
        const bool described = dialogFont && ui_.GetFontDescription(dialogFont, &description);
        Check(described && description.height == -11,
              "the dialog font is 8 pt at 96 DPI: height " + Str(description.height));
        Note("dialog font weight " + Str(description.weight) +
             " (the template's, 0 = FW_DONTCARE)");
        Note("dialog font face \"" + Narrow(description.faceName) + "\" charset " +
             Str(description.charSet));
        Check(ui_.GetFont(label) == dialogFont, "controls get the dialog's font");

        FontDescription boldDescription = description;
        boldDescription.weight = win::kFwBold;
        const FontHandle bold = ui_.CreateFont(boldDescription);
        ui_.SetFont(label, bold, true);
        FontDescription got;
        Check(bold && ui_.GetFont(label) == bold && ui_.GetFontDescription(bold, &got) &&
                  got.weight == win::kFwBold && got.height == description.height &&
                  got.faceName == description.faceName,
              "CreateFont bold + SetFont + GetFont + GetFontDescription");
        ui_.SetFont(label, dialogFont, true);
        Check(ui_.DeleteFont(bold), "DeleteFont");

        FontDescription longFace;
        longFace.height = -12;
        longFace.faceName = std::wstring(40, L'F');
        const FontHandle cut = ui_.CreateFont(longFace);
        FontDescription cutDescription;
        const bool cutDescribed = cut && ui_.GetFontDescription(cut, &cutDescription);
        Check(cutDescribed && cutDescription.faceName == std::wstring(31, L'F'),
              "CreateFont cuts a 40-character face name to 31: got " +
                  Str(static_cast<long long>(cutDescription.faceName.size())));
        ui_.DeleteFont(cut);
        Check(!ui_.GetFontDescription(FontHandle(), &cutDescription),
              "GetFontDescription of no font fails");
        Check(ui_.GetStockBrush(platform::StockBrush::White) &&
                  ui_.GetStockBrush(platform::StockBrush::Hollow) &&
                  ui_.GetStockBrush(platform::StockBrush::White) !=
                      ui_.GetStockBrush(platform::StockBrush::Hollow),
              "stock brushes");
    }

    void Buttons() {
        const WindowHandle back = Item(kIdBack);
        Check(ui_.EnableWindow(back, false) && !ui_.IsWindowEnabled(back),
              "EnableWindow(false) reports success and disables");
        Check(ui_.EnableWindow(back, false) && !ui_.IsWindowEnabled(back),
              "EnableWindow(false) on a disabled window still reports success");
        commands_.clear();
        ui_.SendMessage(back, win::kBmClick, 0, 0);
        Note("BM_CLICK on a disabled push button: commands " + TakeCommands() +
             " (the program must not rely on BM_CLICK being ignored)");
        Check(ui_.EnableWindow(back, true) && ui_.IsWindowEnabled(back),
              "EnableWindow(true) reports success and enables");
        Check(!ui_.EnableWindow(WindowHandle(), true), "EnableWindow of no window fails");

        ui_.SendMessage(Item(kIdNext), win::kBmClick, 0, 0);
        std::string got = TakeCommands();
        Check(got == "1000/0", "BM_CLICK on Next: got " + got + ", expected 1000/0");

        // Auto check box and auto radio buttons, table of clicks and the states after each.
        struct ClickCase {
            int clicked;
            uintptr_t check, radioA, radioB;
        };
        const ClickCase clicks[] = {
            {kIdCheck, 1, 0, 0},  {kIdCheck, 0, 0, 0},  {kIdRadioA, 0, 1, 0},
            {kIdRadioB, 0, 0, 1}, {kIdRadioB, 0, 0, 1}, {kIdRadioA, 0, 1, 0},
        };
        for (const ClickCase& c : clicks) {
            ui_.SendMessage(Item(c.clicked), win::kBmClick, 0, 0);
            const intptr_t check = ui_.SendMessage(Item(kIdCheck), win::kBmGetCheck, 0, 0);
            const intptr_t a = ui_.SendMessage(Item(kIdRadioA), win::kBmGetCheck, 0, 0);
            const intptr_t b = ui_.SendMessage(Item(kIdRadioB), win::kBmGetCheck, 0, 0);
            got = TakeCommands();
            Check(check == static_cast<intptr_t>(c.check) && a == static_cast<intptr_t>(c.radioA) &&
                      b == static_cast<intptr_t>(c.radioB) && got == Str(c.clicked) + "/0",
                  "click " + Str(c.clicked) + ": got check/A/B " + Str(check) + "/" + Str(a) + "/" +
                      Str(b) + " commands " + got + ", expected " + Str(c.check) + "/" +
                      Str(c.radioA) + "/" + Str(c.radioB));
        }
        ui_.SendMessage(Item(kIdCheck), win::kBmSetCheck, win::kBstChecked, 0);
        got = TakeCommands();
        Check(ui_.SendMessage(Item(kIdCheck), win::kBmGetCheck, 0, 0) == 1 && got == "(none)",
              "BM_SETCHECK checks without a notification: commands " + got);
    }

    void Lists() {
        const WindowHandle list = Item(kIdList);
        const wchar_t* added[] = {L"beta", L"Alpha", L"gamma", L"alphabet", L"Beta2", L"Delta"};
        for (const wchar_t* text : added) {
            ui_.SendMessage(list, win::kLbAddString, 0, reinterpret_cast<intptr_t>(text));
        }
        const wchar_t* sorted[] = {L"Alpha", L"alphabet", L"beta", L"Beta2", L"Delta", L"gamma"};
        const intptr_t count = ui_.SendMessage(list, win::kLbGetCount, 0, 0);
        Check(count == 6, "LB_GETCOUNT: got " + Str(count));
        for (int i = 0; i < 6; ++i) {
            const std::wstring text = ListText(i);
            Check(text == sorted[i], "sorted item " + Str(i) + ": got \"" + Narrow(text) +
                                         "\", expected \"" + Narrow(sorted[i]) + "\"");
        }
        struct FindCase {
            intptr_t start;
            const wchar_t* prefix;
            intptr_t expected;
        };
        const FindCase finds[] = {
            {-1, L"BET", 2}, {-1, L"alpha", 0}, {0, L"alpha", 1}, {1, L"alpha", 0},
            {-1, L"gam", 5}, {-1, L"zeta", -1}, {5, L"beta", 2},  {-1, L"ta", -1},
        };
        for (const FindCase& f : finds) {
            const intptr_t got =
                ui_.SendMessage(list, win::kLbFindString, static_cast<uintptr_t>(f.start),
                                reinterpret_cast<intptr_t>(f.prefix));
            Check(got == f.expected, "LB_FINDSTRING(" + Str(f.start) + ", \"" + Narrow(f.prefix) +
                                         "\"): got " + Str(got) + ", expected " + Str(f.expected));
        }
        Check(ui_.SendMessage(list, win::kLbGetCurSel, 0, 0) == -1,
              "LB_GETCURSEL with nothing selected is LB_ERR");
        commands_.clear();
        ui_.SendMessage(list, win::kLbSetCurSel, 3, 0);
        const std::string got = TakeCommands();
        Check(ui_.SendMessage(list, win::kLbGetCurSel, 0, 0) == 3 && got == "(none)",
              "LB_SETCURSEL selects without LBN_SELCHANGE: commands " + got);
        Check(ui_.SendMessage(list, win::kLbGetTextLen, 17, 0) == -1,
              "LB_GETTEXTLEN past the end is LB_ERR");
    }

    void ProgressAndRichEdit() {
        const WindowHandle progress = Item(kIdProgress);
        ui_.SendMessage(progress, win::kPbmSetRange32, 0, 200);
        struct PosCase {
            uintptr_t set;
            intptr_t previous, after;
        };
        const PosCase positions[] = {{50, 0, 50}, {80, 50, 80}, {500, 80, 200}, {0, 200, 0}};
        for (const PosCase& c : positions) {
            const intptr_t previous = ui_.SendMessage(progress, win::kPbmSetPos, c.set, 0);
            const intptr_t after = ui_.SendMessage(progress, win::kPbmGetPos, 0, 0);
            Check(previous == c.previous && after == c.after,
                  "PBM_SETPOS " + Str(static_cast<long long>(c.set)) + ": got previous " +
                      Str(previous) + " now " + Str(after) + ", expected " + Str(c.previous) + " " +
                      Str(c.after));
        }

        const WindowHandle rich = Item(kIdRich);
        Source rtf;
        rtf.text = "{\\rtf1\\ansi Hello {\\b bold} world\\par}";
        uint32_t error = 99;
        const intptr_t read =
            ui_.StreamIn(rich, win::kSfRtf, reinterpret_cast<uintptr_t>(&rtf), ReadSource, &error);
        const std::wstring text = ui_.GetWindowText(rich);
        Check(error == 0 && rtf.calls > 2 && rtf.offset == rtf.text.size() &&
                  text.find(L"Hello bold world") == 0,
              "StreamIn RTF in 5-byte pieces: read " + Str(read) + " calls " + Str(rtf.calls) +
                  " text \"" + Narrow(text) + "\"");
        Source plain;
        plain.text = "plain text";
        const intptr_t plainRead = ui_.StreamIn(
            rich, win::kSfText, reinterpret_cast<uintptr_t>(&plain), ReadSource, &error);
        Check(error == 0 && plainRead == 10 && ui_.GetWindowText(rich) == L"plain text",
              "StreamIn text: read " + Str(plainRead) + " text \"" +
                  Narrow(ui_.GetWindowText(rich)) + "\"");
        Source failing;
        failing.failWith = 7;
        ui_.StreamIn(rich, win::kSfText, reinterpret_cast<uintptr_t>(&failing), ReadSource, &error);
        Check(error == 7 && failing.calls == 1,
              "a callback's error ends the stream and lands in dwError: got " + Str(error));
        Check(ui_.StreamIn(rich, win::kSfText, 0, nullptr, &error) == 0 && error != 0,
              "StreamIn without a callback is refused");
        Check(ui_.SendMessage(rich, win::kWmVScroll, win::kSbTop, 0) == 0,
              "WM_VSCROLL SB_TOP on the rich edit");
    }

    void EditLimitStart() {
        const WindowHandle edit = Item(kIdEdit);
        commands_.clear();
        ui_.SendMessage(edit, win::kEmLimitText, 5, 0);
        ui_.SetWindowText(edit, L"1234567890");
        Check(ui_.GetWindowText(edit) == L"1234567890", "EM_LIMITTEXT does not limit WM_SETTEXT");
        Note("SetWindowText on a single-line edit: commands " + TakeCommands() +
             " (EN_CHANGE = " + Str(win::kEnChange) + ")");
        ui_.SetWindowText(edit, L"abc");
        commands_.clear();
        ui_.SendMessage(dialog_, win::kWmNextDlgCtl, static_cast<uintptr_t>(edit.value), 1);
        ui_.SendMessage(edit, win::kEmSetSel, 3, 3);
        for (int i = 0; i < 4; ++i) {
            ui_.PostMessage(edit, win::kWmChar, L'x', 1);
        }
    }

    void MessageBoxes() {
        struct BoxCase {
            uint32_t flags;
            int answer;
        };
        const BoxCase boxes[] = {{win::kMbOk, win::kIdOk},
                                 {win::kMbYesNo | win::kMbIconQuestion, win::kIdNo},
                                 {win::kMbYesNo | win::kMbIconQuestion, win::kIdYes},
                                 {win::kMbOkCancel, win::kIdCancel}};
        int index = 0;
        for (const BoxCase& c : boxes) {
            Answer answer{&p_, base::Format(L"UiProbe box %d", index++), c.answer};
            const KernelHandle thread = p_.system.CreateThread(AnswerMessageBox, &answer);
            const int got = ui_.MessageBox(dialog_, L"Question?", answer.caption, c.flags);
            p_.system.WaitForThread(thread, 10000);
            p_.system.CloseThread(thread);
            Check(answer.found && got == c.answer, "MessageBox flags " + Str(c.flags) +
                                                       " answered by WM_COMMAND " + Str(c.answer) +
                                                       " from another thread: got " + Str(got));
        }
        commands_.clear();
    }

    void StartWorker() {
        worker_ = Worker{&p_, dialog_, Item(kIdStatus), Item(kIdProgress)};
        ui_.SendMessage(worker_.progress, win::kPbmSetRange32, 0, 100);
        workerThread_ = p_.system.CreateThread(RunWorker, &worker_);
        Check(static_cast<bool>(workerThread_), "CreateThread for the worker");
    }

    Worker worker_{};
};

// A page whose default button starts disabled, like a licence page.
class DisabledDefaultSession : public Session {
public:
    using Session::Session;

    void Step(int step) override {
        switch (step) {
            case 0: {
                const WindowHandle focus = ui_.GetFocus();
                Check(focus == Item(win::kIdCancel),
                      "with Next disabled the first tab stop is Cancel: focus id " +
                          Str(ui_.GetDlgCtrlID(focus)));
                ui_.SendMessage(dialog_, win::kWmNextDlgCtl,
                                static_cast<uintptr_t>(Item(kIdCheck).value), 1);
                commands_.clear();
                Key(win::kVkReturn);
                Next(1);
                break;
            }
            case 1: {
                std::string got = TakeCommands();
                Check(got == "(none)",
                      "Enter on the check box with Next disabled does nothing: got " + got);
                ui_.SendMessage(Item(kIdCheck), win::kBmClick, 0, 0);
                got = TakeCommands();
                Check(got == "1006/0", "clicking the check box: got " + got);
                ui_.EnableWindow(Item(kIdNext), true);
                ui_.SendMessage(dialog_, win::kWmNextDlgCtl,
                                static_cast<uintptr_t>(Item(kIdCheck).value), 1);
                Key(win::kVkReturn);
                Next(2);
                break;
            }
            case 2: {
                const std::string got = TakeCommands();
                Check(got == "1000/0", "Enter once Next is enabled clicks it: got " + got);
                Check(ui_.EndDialog(dialog_, kDisabledDefaultResult), "EndDialog");
                break;
            }
            default:
                break;
        }
    }
};

class NullSession : public platform::DialogProcedure {
public:
    bool HandleMessage(WindowHandle, uint32_t, uintptr_t, intptr_t, intptr_t*) override {
        return false;
    }
};

}  // namespace

int main() {
    logFile = std::fopen("ui_probe.log", "w");
    platform::Platform& p = win32::RealPlatform();

    Check(p.ui.InitCommonControls(win::kInitCommonControlsExSize, win::kIccFirstEightClasses),
          "InitCommonControlsEx with size 8");
    Note(std::string("InitCommonControlsEx with size 12: ") +
         (p.ui.InitCommonControls(12, win::kIccProgressClass) ? "TRUE" : "FALSE"));
    const platform::ModuleHandle richEdit = p.processes.LoadLibrary(L"riched20.dll");
    Check(static_cast<bool>(richEdit), "riched20.dll loads (registers RichEdit20W)");

    NullSession none;
    Check(p.ui.DialogBox(999, &none) == -1, "DialogBox of a missing template returns -1");
    Check(p.ui.DialogBox(kDialogControls, nullptr) == -1,
          "DialogBox without a procedure returns -1");

    ControlsSession controls(p);
    const intptr_t result = p.ui.DialogBox(kDialogControls, &controls);
    Check(result == kControlsResult,
          "DialogBox returns EndDialog's value: got " + Str(result) + ", expected 4242");
    if (controls.workerThread_) {
        p.system.WaitForThread(controls.workerThread_, 10000);
        p.system.CloseThread(controls.workerThread_);
    }
    Check(controls.initDialogSeen_, "the procedure saw WM_INITDIALOG");
    Check(controls.paints_ > 0 && controls.paintOk_,
          "WM_PAINT: BeginPaint, FillRect, DrawIcon, EndPaint (" + Str(controls.paints_) +
              " paints)");
    for (const std::string& color : controls.colorMessages_) {
        Note(color);
    }

    DisabledDefaultSession disabledDefault(p);
    const intptr_t second = p.ui.DialogBox(kDialogDisabledDefault, &disabledDefault);
    Check(second == kDisabledDefaultResult,
          "second dialog returns " + Str(second) + ", expected 7");

    Line("%s: %d failure(s)", failures == 0 ? "PASS" : "FAILED", failures);
    if (logFile != nullptr)
        std::fclose(logFile);
    return failures == 0 ? 0 : 1;
}
