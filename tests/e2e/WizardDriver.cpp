// Drives the real Setup.exe like a user: starts it, finds its wizard page among the
// top-level windows of its process, clicks the page's buttons, types into its edits,
// answers its message boxes, and saves a screenshot of every page as it appears. It checks
// along the way that the pages come in order and behave (Next disabled on the agreement
// until it is accepted, the product name in the caption, the placeholders replaced) and
// exits 0 when every check passed and Setup.exe ended with the expected exit code.
//
//   wizard_driver.exe --setup C:\path\Setup.exe [--out FOLDER] [--lang-tag TAG]
//                     [--no-screens] [--walk full|welcome|none|watch|restart-later]
//                     [--expect-exit CODE] [--expect-box ID:ANSWER]... [--expect-no-box]
//                     [--expect-line-before-welcome FILE LINE]
//                     [--user-name TEXT] [--organization TEXT] [--start-menu-folder TEXT]
//                     [--desktop-icon 0|1] [--quick-launch 0|1]
//                     [--timeout SECONDS] [-- ARGUMENTS FOR SETUP]
//
// Before the first page the prerequisite checks may show message boxes (owned by no
// window). Each --expect-box names one, in order: the string id of its text (read from
// Setup.exe's own resources, so in the language Setup.exe shows) and the button to answer
// with (ok, yes, no or a number); the driver checks the text, the caption and the buttons
// and answers, and any other box is a failure (--expect-no-box: no box at all). Without
// either, the question about missing Windows updates that Windows Vista and 7 ask (158,
// 159) is answered Yes, and every other box before the first page is a failure.
// --expect-line-before-welcome checks, as soon as the Welcome page appears, that FILE holds
// a line LINE (a stand-in program's log of what it was sent before the page appeared).
//
// The walk "full" goes Welcome, License, Back to Welcome, License (accepted), User
// Information (Cancel, then stay), Start Menu Folder, Additional Tasks, Ready, Installing,
// Finish ("restart later") and expects 3010. On the way it types the user name and the
// organization (--user-name, --organization; "Wizard Driver" and "E2E Lab" unless given),
// replaces the proposed start-menu folder when --start-menu-folder is given, and sets the
// desktop and Quick Launch boxes when --desktop-icon or --quick-launch is given (left as
// proposed otherwise), so that the installation's result shows the choices. The walk "welcome"
// shows the Welcome page, cancels and confirms, and expects 1602. The walk "none" (for "--
// -silent") only watches that no page appears and expects 3010. The walk "watch" leaves the wizard
// to the user and only reports the exit code when Setup.exe ends. The walk "restart-later" goes
// straight to the Finish page, tries Escape and the caption's close box on the Installing page
// (when it is seen in time) and on the Finish page after choosing "restart later", expects both
// pages to stay, then clicks Finish and expects 3010: a page ended by either would have
// the computer restarted against the user's choice (1641).
//
// Clicks are posted (BM_CLICK), never sent: a page handles Cancel by showing a modal message
// box, and a sent click would not return before that box was closed.
#include <windows.h>
// After <windows.h>, which they need.
#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "Png.h"
#include "Setup/res/resource.h"
#include "base/Text.h"

namespace {

constexpr DWORD kPollMs = 20;
// Time for a page that has just appeared to paint itself before it is captured.
constexpr DWORD kPaintSettleMs = 400;
constexpr DWORD kSendTimeoutMs = 5000;

const wchar_t kUserName[] = L"Wizard Driver";
const wchar_t kOrganization[] = L"E2E Lab";

enum class Page {
    None,
    Welcome,
    License,
    UserInfo,
    StartMenu,
    Tasks,
    Ready,
    Installing,
    Finish,
    Unknown,
};

const char* PageName(Page page) {
    switch (page) {
        case Page::None:
            return "none";
        case Page::Welcome:
            return "welcome";
        case Page::License:
            return "license";
        case Page::UserInfo:
            return "userinfo";
        case Page::StartMenu:
            return "startmenu";
        case Page::Tasks:
            return "tasks";
        case Page::Ready:
            return "ready";
        case Page::Installing:
            return "installing";
        case Page::Finish:
            return "finish";
        case Page::Unknown:
            break;
    }
    return "unknown";
}

// A message box the prerequisite checks show before any page, and the button to answer.
struct ExpectedBox {
    int id = 0;
    int answer = IDOK;
};

struct Options {
    // --expect-box (or --expect-no-box): exactly these boxes, no others, before any page.
    bool strictBoxes = false;
    std::vector<ExpectedBox> boxes;
    std::wstring welcomeFile;
    std::wstring welcomeLine;
    std::wstring setup;
    std::wstring outDir;
    std::wstring langTag;
    std::wstring walk = L"full";
    std::wstring setupArgs;
    bool screens = true;
    long expectExit = -1;  // -1: the walk's own expectation
    DWORD timeoutMs = 60000;
    // The choices the walk "full" makes on the pages (-1: leave the box as proposed).
    std::wstring userName = kUserName;
    std::wstring organization = kOrganization;
    std::wstring startMenuFolder;
    int desktopIcon = -1;
    int quickLaunch = -1;
};

int failures = 0;
int shotNumber = 0;

void Line(const char* format, ...) {
    char buffer[2048];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    std::printf("%s\n", buffer);
    std::fflush(stdout);
}

std::string U8(const std::wstring& s) {
    return base::ToUtf8(s);
}

// Control texts may hold line breaks; the log keeps one line per entry.
std::string OneLine(const std::wstring& s) {
    std::wstring t = s;
    base::ReplaceAll(t, L"\r\n", L" | ");
    base::ReplaceAll(t, L"\n", L" | ");
    base::ReplaceAll(t, L"\r", L" | ");
    return U8(t);
}

bool Check(bool ok, const std::string& what) {
    Line("%s %s", ok ? "ok  " : "FAIL", what.c_str());
    if (!ok) {
        ++failures;
    }
    return ok;
}

// ---------------------------------------------------------------------------------------
// Windows of the Setup process.

struct Process {
    HANDLE handle = nullptr;
    DWORD id = 0;

    bool Exited() const { return WaitForSingleObject(handle, 0) == WAIT_OBJECT_0; }
};

std::wstring ClassOf(HWND hwnd) {
    wchar_t name[64] = {};
    GetClassNameW(hwnd, name, 64);
    return name;
}

// The text of a window of another process: WM_GETTEXT is marshalled across processes.
std::wstring TextOf(HWND hwnd) {
    if (hwnd == nullptr) {
        return std::wstring();
    }
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                             &length)) {
        return std::wstring();
    }
    std::vector<wchar_t> buffer(length + 2, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, buffer.size(),
                             reinterpret_cast<LPARAM>(buffer.data()), SMTO_ABORTIFHUNG,
                             kSendTimeoutMs, &copied)) {
        return std::wstring();
    }
    return std::wstring(buffer.data(), std::min<size_t>(copied, buffer.size() - 1));
}

std::wstring ItemText(HWND dialog, int id) {
    return TextOf(GetDlgItem(dialog, id));
}

bool SetItemText(HWND dialog, int id, const std::wstring& text) {
    DWORD_PTR result = 0;
    HWND item = GetDlgItem(dialog, id);
    return item != nullptr &&
           SendMessageTimeoutW(item, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                               SMTO_ABORTIFHUNG, kSendTimeoutMs, &result) != 0 &&
           result == TRUE;
}

bool ItemEnabled(HWND dialog, int id) {
    HWND item = GetDlgItem(dialog, id);
    return item != nullptr && IsWindowEnabled(item);
}

int ItemCheck(HWND dialog, int id) {
    DWORD_PTR state = 0;
    HWND item = GetDlgItem(dialog, id);
    if (item == nullptr ||
        !SendMessageTimeoutW(item, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &state)) {
        return -1;
    }
    return static_cast<int>(state);
}

struct DialogSearch {
    DWORD processId;
    std::vector<HWND> found;
};

// EnumWindows callback (a WINAPI function: a lambda has the wrong calling convention on i686).
BOOL CALLBACK CollectProcessDialog(HWND hwnd, LPARAM parameter) {
    DialogSearch* s = reinterpret_cast<DialogSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner == s->processId && IsWindowVisible(hwnd) && ClassOf(hwnd) == L"#32770") {
        s->found.push_back(hwnd);
    }
    return TRUE;
}

// Top-level dialog-class windows of the process that are visible, in Z order.
std::vector<HWND> ProcessDialogs(DWORD processId) {
    DialogSearch search{processId, {}};
    EnumWindows(CollectProcessDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool IsPageWindow(HWND hwnd) {
    return GetDlgItem(hwnd, IDC_NEXT) != nullptr;
}

Page Identify(HWND hwnd) {
    if (hwnd == nullptr || !IsWindow(hwnd)) {
        return Page::None;
    }
    if (!IsPageWindow(hwnd)) {
        return Page::Unknown;
    }
    auto has = [hwnd](int id) { return GetDlgItem(hwnd, id) != nullptr; };
    if (has(IDC_RESTART_YES)) {
        return Page::Finish;
    }
    if (has(IDC_PROGRESS)) {
        return Page::Installing;
    }
    if (has(IDC_ACCEPT)) {
        return Page::License;
    }
    if (has(IDC_USERNAME)) {
        return Page::UserInfo;
    }
    if (has(IDC_FOLDERLIST)) {
        return Page::StartMenu;
    }
    if (has(IDC_QUICKLAUNCH)) {
        return Page::Tasks;
    }
    if (has(IDC_SUMMARY)) {
        return Page::Ready;
    }
    if (!has(IDC_BACK)) {
        return Page::Welcome;
    }
    return Page::Unknown;
}

HWND FindPage(const Process& process, HWND other) {
    for (HWND hwnd : ProcessDialogs(process.id)) {
        if (hwnd != other && IsPageWindow(hwnd)) {
            return hwnd;
        }
    }
    return nullptr;
}

HWND FindMessageBox(const Process& process) {
    for (HWND hwnd : ProcessDialogs(process.id)) {
        if (!IsPageWindow(hwnd)) {
            return hwnd;
        }
    }
    return nullptr;
}

// Polls until |done| holds; false on time-out or when the process has ended.
bool WaitUntil(const Process& process, DWORD timeoutMs, const std::function<bool()>& done) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (done()) {
            return true;
        }
        if (process.Exited() || GetTickCount() - start > timeoutMs) {
            return false;
        }
        Sleep(kPollMs);
    }
}

// ---------------------------------------------------------------------------------------
// Screenshots.

bool WriteFileBytes(const std::wstring& path, const std::vector<uint8_t>& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    const bool ok =
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) != 0 &&
        written == bytes.size();
    CloseHandle(file);
    return ok;
}

// Copies the window's rectangle of the screen into a top-down 32-bit DIB and returns it as
// RGB rows. The window is brought to the front first: the screen holds what is visible.
bool CaptureWindow(HWND hwnd, uint32_t* width, uint32_t* height, std::vector<uint8_t>* rgb) {
    RECT rect = {};
    if (!GetWindowRect(hwnd, &rect) || rect.right <= rect.left || rect.bottom <= rect.top) {
        return false;
    }
    const int w = rect.right - rect.left;
    const int h = rect.bottom - rect.top;

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;

    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = false;
    if (memory != nullptr && bitmap != nullptr && bits != nullptr) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        ok = BitBlt(memory, 0, 0, w, h, screen, rect.left, rect.top, SRCCOPY | CAPTUREBLT) != 0;
        GdiFlush();
        SelectObject(memory, old);
    }
    if (ok) {
        const uint8_t* pixels = static_cast<const uint8_t*>(bits);
        rgb->resize(static_cast<size_t>(w) * h * 3);
        for (size_t i = 0, n = static_cast<size_t>(w) * h; i < n; ++i) {
            (*rgb)[i * 3 + 0] = pixels[i * 4 + 2];
            (*rgb)[i * 3 + 1] = pixels[i * 4 + 1];
            (*rgb)[i * 3 + 2] = pixels[i * 4 + 0];
        }
        *width = static_cast<uint32_t>(w);
        *height = static_cast<uint32_t>(h);
    }
    if (bitmap != nullptr) {
        DeleteObject(bitmap);
    }
    if (memory != nullptr) {
        DeleteDC(memory);
    }
    ReleaseDC(nullptr, screen);
    return ok;
}

void Screenshot(const Options& options, HWND hwnd, const char* name) {
    ++shotNumber;
    if (!options.screens) {
        return;
    }
    SetForegroundWindow(hwnd);
    RedrawWindow(hwnd, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Sleep(kPaintSettleMs);
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> rgb;
    std::wstring file = base::Format(L"%02d-%ls", shotNumber, base::FromUtf8(name).c_str());
    if (!options.langTag.empty()) {
        file += L"-" + options.langTag;
    }
    file += L".png";
    const std::wstring path = options.outDir + L"\\" + file;
    const bool captured = CaptureWindow(hwnd, &width, &height, &rgb);
    const bool written = captured && WriteFileBytes(path, png::EncodeRgb(width, height, rgb));
    Check(written, "screenshot " + U8(file) + " (" + std::to_string(width) + "x" +
                       std::to_string(height) + ")");
}

// ---------------------------------------------------------------------------------------
// The walk.

// The title the program gives its message boxes: its file name without the extension.
std::wstring ProgramTitle(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind(L'.');
    return dot == std::wstring::npos ? name : name.substr(0, dot);
}

// A string of Setup.exe's own resources, in the language Setup.exe picks too (empty when
// absent).
std::wstring SetupString(const Options& options, int id) {
    static HMODULE module =
        LoadLibraryExW(options.setup.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr) {
        return std::wstring();
    }
    const wchar_t* text = nullptr;
    const int length = LoadStringW(module, id, reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 && text != nullptr ? std::wstring(text, length) : std::wstring();
}

// The longest static text of a message box: its message (the other one is the icon).
std::wstring MessageBoxText(HWND box) {
    std::wstring text;
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if (ClassOf(child) == L"Static") {
            const std::wstring t = TextOf(child);
            if (t.size() > text.size()) {
                text = t;
            }
        }
    }
    return text;
}

// Whether |box|, a dialog window of the process that is not a page, is a message box: one
// that shows a text within two seconds. A page that is being built or taken down can
// briefly look like a window without a Next button, and goes away or becomes a page.
bool IsSettledMessageBox(const Process& process, HWND box) {
    bool text = false;
    WaitUntil(process, 2000, [&] {
        if (!IsWindow(box) || !IsWindowVisible(box) || IsPageWindow(box)) {
            return true;
        }
        text = !MessageBoxText(box).empty();
        return text;
    });
    return text && IsWindow(box) && IsWindowVisible(box) && !IsPageWindow(box);
}

// The question of the prerequisite checks about missing Windows updates.
bool IsUpdateQuestion(const Options& options, HWND box) {
    const std::wstring text = MessageBoxText(box);
    return !text.empty() && (text == SetupString(options, IDS_HOTFIX_KB2763674) ||
                             text == SetupString(options, IDS_HOTFIX_KB3185278));
}

// Logs and captures a box of the prerequisite checks, checks that it is the program's own
// and has |buttons|, clicks |answer| and waits for the box to close.
bool AnswerCheckBox(const Options& options, const Process& process, HWND box,
                    const std::vector<int>& buttons, int answer, const char* shotName) {
    wchar_t caption[256] = {};
    GetWindowTextW(box, caption, 256);
    Line("message box: caption \"%s\"", U8(caption).c_str());
    Line("     text \"%s\"", OneLine(MessageBoxText(box)).c_str());
    Check(base::EqualsNoCase(caption, ProgramTitle(options.setup)),
          "the message box has the program's title");
    Check(GetWindow(box, GW_OWNER) == nullptr, "the message box has no owner window");
    for (int id : {IDOK, IDCANCEL, IDYES, IDNO}) {
        const bool wanted = std::find(buttons.begin(), buttons.end(), id) != buttons.end();
        if (wanted) {
            Check(GetDlgItem(box, id) != nullptr,
                  "the message box has button " + std::to_string(id));
        } else if (id != IDCANCEL) {
            // An OK-only box may carry its button as IDCANCEL too; Yes/No boxes have none.
            Check(GetDlgItem(box, id) == nullptr,
                  "the message box has no button " + std::to_string(id));
        }
    }
    Screenshot(options, box, shotName);
    HWND button = GetDlgItem(box, answer);
    if (!Check(button != nullptr, "the answer's button is there")) {
        return false;
    }
    Line("click message box button %d", answer);
    PostMessageW(button, BM_CLICK, 0, 0);
    return Check(WaitUntil(process, options.timeoutMs, [&] { return !IsWindow(box); }),
                 "the message box closed");
}

// The buttons of the prerequisite checks' boxes: Yes and No for the update questions, OK
// for the refusals.
std::vector<int> CheckBoxButtons(int id) {
    if (id == IDS_HOTFIX_KB2763674 || id == IDS_HOTFIX_KB3185278) {
        return {IDYES, IDNO};
    }
    return {IDOK};
}

// The boxes named by --expect-box, in order, before any page appears.
bool ExpectCheckBoxes(const Options& options, const Process& process) {
    for (const ExpectedBox& expected : options.boxes) {
        const std::wstring text = SetupString(options, expected.id);
        if (!Check(!text.empty(), "Setup.exe has string " + std::to_string(expected.id))) {
            return false;
        }
        HWND box = nullptr;
        HWND page = nullptr;
        WaitUntil(process, options.timeoutMs, [&] {
            box = FindMessageBox(process);
            page = FindPage(process, nullptr);
            return box != nullptr || page != nullptr;
        });
        if (!Check(box != nullptr && page == nullptr,
                   "message box " + std::to_string(expected.id) + " appeared before any page")) {
            return false;
        }
        // A box still filling in its text is given a moment.
        WaitUntil(process, 2000, [&] { return !MessageBoxText(box).empty(); });
        Check(MessageBoxText(box) == text, "the box shows string " + std::to_string(expected.id));
        const std::string shot = "box-" + std::to_string(expected.id);
        if (!AnswerCheckBox(options, process, box, CheckBoxButtons(expected.id), expected.answer,
                            shot.c_str())) {
            return false;
        }
    }
    return true;
}

// Whether |file| holds a line equal to |line| (ASCII or UTF-8, any line ending).
bool FileHasLine(const std::wstring& file, const std::wstring& line) {
    HANDLE handle = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    std::string bytes;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(handle, buffer, sizeof buffer, &read, nullptr) && read > 0 &&
           bytes.size() < (1u << 20)) {
        bytes.append(buffer, read);
    }
    CloseHandle(handle);
    const std::string wanted = U8(line);
    size_t start = 0;
    while (start <= bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos) {
            end = bytes.size();
        }
        std::string current = bytes.substr(start, end - start);
        if (!current.empty() && current.back() == '\r') {
            current.pop_back();
        }
        if (current == wanted) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

class Walker {
public:
    Walker(const Options& options, const Process& process)
        : m_options(options), m_process(process) {}

    // Waits for a page other than the current window, checks that it is |expected|, and
    // logs and captures it. Returns null when it did not come.
    HWND Expect(Page expected, const char* shotName, DWORD timeoutMs = 0) {
        HWND page = nullptr;
        const HWND previous = m_page;
        const DWORD limit = timeoutMs != 0 ? timeoutMs : m_options.timeoutMs;
        const DWORD start = GetTickCount();
        for (;;) {
            HWND box = nullptr;
            const DWORD elapsed = GetTickCount() - start;
            const bool found =
                elapsed < limit && WaitUntil(m_process, limit - elapsed, [&] {
                    box = FindMessageBox(m_process);
                    page = box != nullptr ? nullptr : FindPage(m_process, previous);
                    // A page being created is shown and enabled once its dialog is ready.
                    return box != nullptr || (page != nullptr && IsWindowEnabled(page) &&
                                              Identify(page) != Page::None);
                });
            if (!found) {
                Check(false, std::string("page ") + PageName(expected) + " appeared" +
                                 (m_process.Exited() ? " (Setup.exe has ended)" : " (time-out)"));
                return nullptr;
            }
            if (box == nullptr) {
                break;
            }
            if (!IsSettledMessageBox(m_process, box)) {
                continue;
            }
            if (m_page == nullptr) {
                BoxBeforeAnyPage(box);
                continue;
            }
            // A message box nobody expected (an error of the installation, say): recorded
            // as a failure, then answered so that the walk can go on to its end.
            DismissUnexpected(box);
        }
        const Page got = Identify(page);
        if (!Check(got == expected, std::string("page ") + PageName(got) + " appeared, expected " +
                                        PageName(expected))) {
            return nullptr;
        }
        m_page = page;
        if (got == Page::Welcome && !m_options.welcomeFile.empty() && !m_welcomeChecked) {
            m_welcomeChecked = true;
            Check(FileHasLine(m_options.welcomeFile, m_options.welcomeLine),
                  "before the Welcome page, " + U8(m_options.welcomeFile) + " holds \"" +
                      U8(m_options.welcomeLine) + "\"");
        }
        Describe(page);
        Screenshot(m_options, page, shotName);
        return page;
    }

    // Logs the page's caption and texts and checks the caption and the placeholders.
    void Describe(HWND page) {
        wchar_t caption[256] = {};
        GetWindowTextW(page, caption, 256);
        const std::wstring title = ItemText(page, IDC_TITLE);
        const std::wstring subtitle = ItemText(page, IDC_SUBTITLE);
        Line("page %s: caption \"%s\"", PageName(Identify(page)), U8(caption).c_str());
        Line("     title \"%s\"", OneLine(title).c_str());
        Line("     subtitle \"%s\"", OneLine(subtitle).c_str());
        Check(base::FindNoCase(caption, L"Corvane") != std::wstring::npos,
              "the caption names the product");
        // The language tags "en" and "zh" also say which resources the page must come from.
        if (m_options.langTag == L"en") {
            Check(std::wstring(caption) == L"Setup - Corvane", "the caption is the English one");
        } else if (m_options.langTag == L"zh") {
            Check(std::wstring(caption) == L"\u5B89\u88C5 - Corvane",
                  "the caption is the Chinese one");
        }
        Check(!title.empty(), "the page has a title");
        const std::wstring all = std::wstring(caption) + title + subtitle;
        Check(all.find(L"<PRODUCT>") == std::wstring::npos &&
                  all.find(L"<VERSION>") == std::wstring::npos,
              "the placeholders are replaced");
    }

    // Posts a click to an enabled button of the current page.
    bool Click(int id, const char* what) {
        HWND button = GetDlgItem(m_page, id);
        if (!Check(button != nullptr && IsWindowEnabled(button),
                   std::string("button ") + what + " is there and enabled")) {
            return false;
        }
        Line("click %s", what);
        PostMessageW(button, BM_CLICK, 0, 0);
        return true;
    }

    // Waits for a message box over the current page, logs and captures it, clicks |answer|
    // and waits for the box to close.
    bool AnswerMessageBox(int answer, const char* shotName) {
        HWND box = nullptr;
        WaitUntil(m_process, m_options.timeoutMs, [&] {
            box = FindMessageBox(m_process);
            return box != nullptr && GetDlgItem(box, answer) != nullptr;
        });
        if (!Check(box != nullptr, "a message box appeared")) {
            return false;
        }
        wchar_t caption[256] = {};
        GetWindowTextW(box, caption, 256);
        const std::wstring text = MessageBoxText(box);
        Line("message box: caption \"%s\"", U8(caption).c_str());
        Line("     text \"%s\"", OneLine(text).c_str());
        Check(base::EqualsNoCase(caption, ProgramTitle(m_options.setup)),
              "the message box has the program's title");
        Check(!text.empty(), "the message box has a text");
        Check(GetWindow(box, GW_OWNER) == m_page, "the message box is owned by the page");
        Screenshot(m_options, box, shotName);
        HWND button = GetDlgItem(box, answer);
        Line("click message box button %d", answer);
        PostMessageW(button, BM_CLICK, 0, 0);
        return Check(WaitUntil(m_process, m_options.timeoutMs, [&] { return !IsWindow(box); }),
                     "the message box closed");
    }

    HWND page() const { return m_page; }

    // A box before the first page that --expect-box did not name: the update question is
    // answered Yes when no boxes were named; anything else is a failure.
    void BoxBeforeAnyPage(HWND box) {
        if (!IsSettledMessageBox(m_process, box)) {
            return;
        }
        if (!m_options.strictBoxes && IsUpdateQuestion(m_options, box)) {
            Line("note the update question of Windows Vista / 7 is answered Yes");
            AnswerCheckBox(m_options, m_process, box, {IDYES, IDNO}, IDYES, "update-question");
            return;
        }
        DismissUnexpected(box);
    }

private:
    void DismissUnexpected(HWND box) {
        Check(false, "unexpected message box: \"" + OneLine(MessageBoxText(box)) + "\"");
        Screenshot(m_options, box, "unexpected-box");
        for (int id : {IDOK, IDCANCEL, IDNO, IDYES}) {
            HWND button = GetDlgItem(box, id);
            if (button != nullptr && IsWindowEnabled(button)) {
                Line("click message box button %d", id);
                PostMessageW(button, BM_CLICK, 0, 0);
                break;
            }
        }
        WaitUntil(m_process, m_options.timeoutMs, [&] { return !IsWindow(box); });
    }

    const Options& m_options;
    const Process& m_process;
    HWND m_page = nullptr;
    bool m_welcomeChecked = false;
};

void WalkWelcomeOnly(const Options& options, const Process& process) {
    Walker walker(options, process);
    if (walker.Expect(Page::Welcome, "welcome") == nullptr) {
        return;
    }
    if (walker.Click(IDCANCEL, "Cancel")) {
        walker.AnswerMessageBox(IDOK, "welcome-cancel");
    }
}

// A silent run shows no page at all.
void WalkNone(const Options& options, const Process& process) {
    Walker walker(options, process);
    HWND seen = nullptr;
    WaitUntil(process, options.timeoutMs * 2, [&] {
        seen = FindPage(process, nullptr);
        if (seen == nullptr) {
            if (HWND box = FindMessageBox(process)) {
                walker.BoxBeforeAnyPage(box);
            }
        }
        return seen != nullptr;
    });
    if (seen != nullptr) {
        Check(false,
              std::string("no page is shown, but ") + PageName(Identify(seen)) + " appeared");
    }
}

void WalkFull(const Options& options, const Process& process) {
    Walker walker(options, process);

    // Welcome, then the agreement, back to Welcome and forward again.
    if (walker.Expect(Page::Welcome, "welcome") == nullptr || !walker.Click(IDC_NEXT, "Next")) {
        return;
    }
    HWND page = walker.Expect(Page::License, "license");
    if (page == nullptr) {
        return;
    }
    Check(!ItemEnabled(page, IDC_NEXT), "Next is disabled until the agreement is accepted");
    Check(ItemCheck(page, IDC_ACCEPT) == BST_UNCHECKED, "the agreement starts not accepted");
    const std::wstring terms = ItemText(page, IDC_LICENSE_TEXT);
    Line("     agreement: %zu characters, \"%s...\"", terms.size(),
         OneLine(terms.substr(0, 60)).c_str());
    Check(!terms.empty(), "the agreement text is shown");
    if (!walker.Click(IDC_BACK, "Back") ||
        walker.Expect(Page::Welcome, "welcome-again") == nullptr ||
        !walker.Click(IDC_NEXT, "Next")) {
        return;
    }
    page = walker.Expect(Page::License, "license-again");
    if (page == nullptr) {
        return;
    }
    Check(!ItemEnabled(page, IDC_NEXT), "Next is disabled again after Back");
    if (!walker.Click(IDC_ACCEPT, "I accept")) {
        return;
    }
    Check(WaitUntil(process, options.timeoutMs,
                    [&] { return ItemCheck(page, IDC_ACCEPT) == BST_CHECKED; }),
          "the agreement box is ticked");
    Check(WaitUntil(process, options.timeoutMs, [&] { return ItemEnabled(page, IDC_NEXT); }),
          "Next is enabled once the agreement is accepted");
    Screenshot(options, page, "license-accepted");
    if (!walker.Click(IDC_NEXT, "Next")) {
        return;
    }

    // User information: Cancel, stay, then fill in.
    page = walker.Expect(Page::UserInfo, "userinfo");
    if (page == nullptr) {
        return;
    }
    Line("     user name \"%s\", organization \"%s\"", U8(ItemText(page, IDC_USERNAME)).c_str(),
         U8(ItemText(page, IDC_ORGANIZATION)).c_str());
    if (!walker.Click(IDCANCEL, "Cancel") ||
        !walker.AnswerMessageBox(IDCANCEL, "userinfo-cancel")) {
        return;
    }
    Check(IsWindow(page) && FindPage(process, nullptr) == page && Identify(page) == Page::UserInfo,
          "Cancel answered with Cancel stays on the page");
    Check(WaitUntil(process, options.timeoutMs, [&] { return IsWindowEnabled(page) != 0; }),
          "the page is enabled again");
    Check(SetItemText(page, IDC_USERNAME, options.userName), "user name typed");
    Check(SetItemText(page, IDC_ORGANIZATION, options.organization), "organization typed");
    Check(ItemText(page, IDC_USERNAME) == options.userName, "the user name reads back");
    Check(ItemText(page, IDC_ORGANIZATION) == options.organization, "the organization reads back");
    Screenshot(options, page, "userinfo-filled");
    if (!walker.Click(IDC_NEXT, "Next")) {
        return;
    }

    page = walker.Expect(Page::StartMenu, "startmenu");
    if (page == nullptr) {
        return;
    }
    std::wstring folder = ItemText(page, IDC_FOLDER);
    Line("     start menu folder \"%s\"", U8(folder).c_str());
    Check(!folder.empty(), "a start menu folder is proposed");
    if (!options.startMenuFolder.empty()) {
        folder = options.startMenuFolder;
        Check(SetItemText(page, IDC_FOLDER, folder) && ItemText(page, IDC_FOLDER) == folder,
              "start menu folder \"" + U8(folder) + "\" typed");
        Screenshot(options, page, "startmenu-typed");
    }
    if (!walker.Click(IDC_NEXT, "Next")) {
        return;
    }

    page = walker.Expect(Page::Tasks, "tasks");
    if (page == nullptr) {
        return;
    }
    Line("     desktop icon %d, quick launch %d", ItemCheck(page, IDC_DESKTOPICON),
         ItemCheck(page, IDC_QUICKLAUNCH));
    const struct {
        int id;
        int wanted;
        const char* name;
    } boxes[] = {{IDC_DESKTOPICON, options.desktopIcon, "desktop icon"},
                 {IDC_QUICKLAUNCH, options.quickLaunch, "quick launch icon"}};
    bool changed = false;
    for (const auto& box : boxes) {
        if (box.wanted < 0 || ItemCheck(page, box.id) == box.wanted) {
            continue;
        }
        changed = true;
        if (!walker.Click(box.id, box.name)) {
            return;
        }
        Check(WaitUntil(process, options.timeoutMs,
                        [&] { return ItemCheck(page, box.id) == box.wanted; }),
              std::string(box.name) + (box.wanted ? " ticked" : " cleared"));
    }
    if (changed) {
        Screenshot(options, page, "tasks-chosen");
    }
    if (!walker.Click(IDC_NEXT, "Next")) {
        return;
    }

    page = walker.Expect(Page::Ready, "ready");
    if (page == nullptr) {
        return;
    }
    const std::wstring summary = ItemText(page, IDC_SUMMARY);
    Line("     summary \"%s\"", OneLine(summary).c_str());
    Check(summary.find(options.userName) != std::wstring::npos,
          "the summary shows the user name typed");
    Check(summary.find(options.organization) != std::wstring::npos,
          "the summary shows the organization typed");
    Check(folder.empty() || summary.find(folder) != std::wstring::npos,
          "the summary shows the start menu folder");
    if (!walker.Click(IDC_NEXT, "Install")) {
        return;
    }

    // The Installing page runs by itself; it may be gone before it is seen.
    HWND next = nullptr;
    const HWND ready = page;
    WaitUntil(process, options.timeoutMs, [&] {
        next = FindPage(process, ready);
        return next != nullptr && IsWindowEnabled(next);
    });
    if (next != nullptr && Identify(next) == Page::Installing) {
        page = walker.Expect(Page::Installing, "installing");
        if (page != nullptr) {
            Line("     status \"%s\"", U8(ItemText(page, IDC_STATUS)).c_str());
            Check(!ItemEnabled(page, IDCANCEL) && !ItemEnabled(page, IDC_BACK),
                  "Cancel and Back are disabled while installing");
        }
    } else {
        Line("note the Installing page was over before it could be seen");
    }

    page = walker.Expect(Page::Finish, "finish", 120000);
    if (page == nullptr) {
        return;
    }
    Check(ItemCheck(page, IDC_RESTART_YES) == BST_CHECKED &&
              ItemCheck(page, IDC_RESTART_NO) == BST_UNCHECKED,
          "restart now is the default");
    Check(!ItemEnabled(page, IDCANCEL), "Cancel is disabled on the Finish page");
    if (!walker.Click(IDC_RESTART_NO, "restart later")) {
        return;
    }
    Check(WaitUntil(process, options.timeoutMs,
                    [&] {
                        return ItemCheck(page, IDC_RESTART_NO) == BST_CHECKED &&
                               ItemCheck(page, IDC_RESTART_YES) == BST_UNCHECKED;
                    }),
          "restart later is chosen");
    Screenshot(options, page, "finish-later");
    walker.Click(IDC_NEXT, "Finish");
}

// ---------------------------------------------------------------------------------------
// The walk "restart-later": the keys and clicks that must not end a page.

// The window of the page's thread that has the keyboard focus (the page when none of its
// windows has it).
HWND FocusIn(HWND page) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    if (GetGUIThreadInfo(GetWindowThreadProcessId(page, nullptr), &info) &&
        info.hwndFocus != nullptr && (info.hwndFocus == page || IsChild(page, info.hwndFocus))) {
        return info.hwndFocus;
    }
    return page;
}

// The Escape key as the keyboard gives it: down and up, posted to the focused window, where
// the page's modal loop hands them to the dialog manager.
void PressEscape(HWND page) {
    const HWND target = FocusIn(page);
    PostMessageW(target, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    PostMessageW(target, WM_KEYUP, VK_ESCAPE, static_cast<LPARAM>(0xC0010001u));
}

// A click on the caption's close box.
void PressCloseBox(HWND page) {
    PostMessageW(page, WM_SYSCOMMAND, SC_CLOSE, 0);
}

int ProgressOf(HWND page) {
    DWORD_PTR position = 0;
    HWND bar = GetDlgItem(page, IDC_PROGRESS);
    if (bar == nullptr ||
        !SendMessageTimeoutW(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &position)) {
        return -1;
    }
    return static_cast<int>(position);
}

// Escape and the close box on the Installing page, as soon as it shows. The page must stay
// until the installation is done: it is watched until it closes, and the progress bar must
// have reached its end by then. Pressed after the end, nothing can be told.
void TryToEndInstalling(HWND page, const Process& process) {
    const int before = ProgressOf(page);
    PressEscape(page);
    PressCloseBox(page);
    Line("press Escape and the close box on the Installing page (progress %d)", before);
    int last = before;
    WaitUntil(process, 120000, [&] {
        const int now = ProgressOf(page);
        if (now >= 0) {
            last = now;
        }
        return !IsWindow(page);
    });
    if (before >= 100) {
        Line("note the installation had ended before the keys arrived");
        return;
    }
    Check(last == 100, "the Installing page stayed until the installation was done (progress " +
                           std::to_string(last) + " when it closed)");
}

// Escape or the close box on the Finish page: the page stays, "restart later" stays chosen.
void TryToEndFinish(HWND page, const Process& process, const char* what, void (*press)(HWND page)) {
    Line("press %s on the Finish page", what);
    press(page);
    const bool closed = WaitUntil(process, 1500, [&] { return !IsWindow(page); });
    Check(!closed && !process.Exited() && FindPage(process, nullptr) == page,
          std::string(what) + " leaves the Finish page open");
    Check(ItemCheck(page, IDC_RESTART_NO) == BST_CHECKED &&
              ItemCheck(page, IDC_RESTART_YES) == BST_UNCHECKED,
          std::string("restart later is still chosen after ") + what);
}

void WalkRestartLater(const Options& options, const Process& process) {
    Walker walker(options, process);
    if (walker.Expect(Page::Welcome, "welcome") == nullptr || !walker.Click(IDC_NEXT, "Next")) {
        return;
    }
    HWND page = walker.Expect(Page::License, "license");
    if (page == nullptr || !walker.Click(IDC_ACCEPT, "I accept") ||
        !Check(WaitUntil(process, options.timeoutMs, [&] { return ItemEnabled(page, IDC_NEXT); }),
               "Next is enabled once the agreement is accepted") ||
        !walker.Click(IDC_NEXT, "Next")) {
        return;
    }
    page = walker.Expect(Page::UserInfo, "userinfo");
    if (page == nullptr || !Check(SetItemText(page, IDC_USERNAME, kUserName), "user name typed") ||
        !walker.Click(IDC_NEXT, "Next")) {
        return;
    }
    for (Page expected : {Page::StartMenu, Page::Tasks, Page::Ready}) {
        if (walker.Expect(expected, PageName(expected)) == nullptr ||
            !walker.Click(IDC_NEXT, expected == Page::Ready ? "Install" : "Next")) {
            return;
        }
    }

    // The Installing page runs by itself, briefly: the keys go to it the moment it shows.
    const HWND ready = walker.page();
    HWND next = nullptr;
    WaitUntil(process, options.timeoutMs, [&] {
        next = FindPage(process, ready);
        return next != nullptr && IsWindowEnabled(next) && Identify(next) != Page::None;
    });
    if (next != nullptr && Identify(next) == Page::Installing) {
        TryToEndInstalling(next, process);
    } else {
        Line("note the Installing page was over before it could be seen");
    }

    page = walker.Expect(Page::Finish, "finish", 120000);
    if (page == nullptr || !walker.Click(IDC_RESTART_NO, "restart later")) {
        return;
    }
    Check(WaitUntil(process, options.timeoutMs,
                    [&] { return ItemCheck(page, IDC_RESTART_NO) == BST_CHECKED; }),
          "restart later is chosen");
    TryToEndFinish(page, process, "Escape", PressEscape);
    TryToEndFinish(page, process, "the close box", PressCloseBox);
    Screenshot(options, page, "finish-later-after-keys");
    walker.Click(IDC_NEXT, "Finish");
}

// ---------------------------------------------------------------------------------------

void Usage() {
    Line("usage: wizard_driver.exe --setup PATH\\Setup.exe [--out FOLDER] [--lang-tag TAG]");
    Line("       [--no-screens] [--walk full|welcome|none|watch|restart-later]");
    Line("       [--expect-exit CODE] [--expect-box ID:ok|yes|no]... [--expect-no-box]");
    Line("       [--expect-line-before-welcome FILE LINE]");
    Line("       [--user-name TEXT] [--organization TEXT] [--start-menu-folder TEXT]");
    Line("       [--desktop-icon 0|1] [--quick-launch 0|1]");
    Line("       [--timeout SECONDS] [-- ARGUMENTS FOR SETUP]");
}

bool ParseOptions(int argc, wchar_t** argv, Options* options) {
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        auto value = [&](std::wstring* out) {
            if (i + 1 >= argc) {
                return false;
            }
            *out = argv[++i];
            return true;
        };
        std::wstring number;
        if (arg == L"--setup") {
            if (!value(&options->setup)) {
                return false;
            }
        } else if (arg == L"--out") {
            if (!value(&options->outDir)) {
                return false;
            }
        } else if (arg == L"--lang-tag") {
            if (!value(&options->langTag)) {
                return false;
            }
        } else if (arg == L"--walk") {
            if (!value(&options->walk) ||
                (options->walk != L"full" && options->walk != L"welcome" &&
                 options->walk != L"none" && options->walk != L"watch" &&
                 options->walk != L"restart-later")) {
                return false;
            }
        } else if (arg == L"--no-screens") {
            options->screens = false;
        } else if (arg == L"--expect-exit") {
            if (!value(&number)) {
                return false;
            }
            options->expectExit = std::wcstol(number.c_str(), nullptr, 10);
        } else if (arg == L"--expect-box") {
            if (!value(&number)) {
                return false;
            }
            const size_t colon = number.find(L':');
            if (colon == std::wstring::npos) {
                return false;
            }
            ExpectedBox box;
            box.id = static_cast<int>(std::wcstol(number.c_str(), nullptr, 10));
            const std::wstring answer = number.substr(colon + 1);
            box.answer = answer == L"ok"    ? IDOK
                         : answer == L"yes" ? IDYES
                         : answer == L"no"
                             ? IDNO
                             : static_cast<int>(std::wcstol(answer.c_str(), nullptr, 10));
            if (box.id <= 0 || box.answer <= 0) {
                return false;
            }
            options->boxes.push_back(box);
            options->strictBoxes = true;
        } else if (arg == L"--expect-no-box") {
            options->strictBoxes = true;
        } else if (arg == L"--expect-line-before-welcome") {
            if (!value(&options->welcomeFile) || !value(&options->welcomeLine)) {
                return false;
            }
        } else if (arg == L"--user-name") {
            if (!value(&options->userName)) {
                return false;
            }
        } else if (arg == L"--organization") {
            if (!value(&options->organization)) {
                return false;
            }
        } else if (arg == L"--start-menu-folder") {
            if (!value(&options->startMenuFolder)) {
                return false;
            }
        } else if (arg == L"--desktop-icon" || arg == L"--quick-launch") {
            if (!value(&number) || (number != L"0" && number != L"1")) {
                return false;
            }
            (arg == L"--desktop-icon" ? options->desktopIcon : options->quickLaunch) =
                number == L"1" ? 1 : 0;
        } else if (arg == L"--timeout") {
            if (!value(&number)) {
                return false;
            }
            options->timeoutMs =
                static_cast<DWORD>(std::wcstol(number.c_str(), nullptr, 10)) * 1000;
        } else if (arg == L"--") {
            for (++i; i < argc; ++i) {
                options->setupArgs += L" \"" + std::wstring(argv[i]) + L"\"";
            }
        } else {
            return false;
        }
    }
    return !options->setup.empty() && options->timeoutMs != 0;
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    Options options;
    if (argv == nullptr || !ParseOptions(argc, argv, &options)) {
        Usage();
        return 2;
    }
    LocalFree(argv);

    const size_t slash = options.setup.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? L"." : options.setup.substr(0, slash);
    if (options.outDir.empty()) {
        options.outDir = L".";
    }
    if (options.screens) {
        CreateDirectoryW(options.outDir.c_str(), nullptr);
    }
    if (options.expectExit < 0) {
        options.expectExit = options.walk == L"welcome" ? 1602 : 3010;
    }

    std::wstring commandLine = L"\"" + options.setup + L"\"" + options.setupArgs;
    std::vector<wchar_t> mutableLine(commandLine.begin(), commandLine.end());
    mutableLine.push_back(L'\0');
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    Line("start %s in %s", U8(commandLine).c_str(), U8(folder).c_str());
    if (!CreateProcessW(options.setup.c_str(), mutableLine.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, folder.c_str(), &startup, &info)) {
        Line("FAIL could not start Setup.exe (error %lu)", GetLastError());
        return 2;
    }
    CloseHandle(info.hThread);
    Process process;
    process.handle = info.hProcess;
    process.id = info.dwProcessId;

    if (!ExpectCheckBoxes(options, process)) {
        // The walk cannot start where the checks did not let setup go.
    } else if (options.walk == L"welcome") {
        WalkWelcomeOnly(options, process);
    } else if (options.walk == L"none") {
        WalkNone(options, process);
    } else if (options.walk == L"watch") {
        WaitForSingleObject(process.handle, INFINITE);
    } else if (options.walk == L"restart-later") {
        WalkRestartLater(options, process);
    } else {
        WalkFull(options, process);
    }

    // Setup ends by itself after the last click; a failed walk leaves it to be ended.
    if (WaitForSingleObject(process.handle, failures == 0 ? options.timeoutMs : 5000) !=
        WAIT_OBJECT_0) {
        Check(false, "Setup.exe ended");
        TerminateProcess(process.handle, 1603);
        WaitForSingleObject(process.handle, 10000);
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(process.handle, &exitCode);
    CloseHandle(process.handle);
    Line("Setup.exe exit code %lu", exitCode);
    if (options.walk == L"watch") {
        return 0;  // whatever the user chose
    }
    Check(static_cast<long>(exitCode) == options.expectExit,
          "exit code " + std::to_string(exitCode) + ", expected " +
              std::to_string(options.expectExit));
    Line("%s: %d screenshot(s), %d failure(s)", failures == 0 ? "PASSED" : "FAILED",
         options.screens ? shotNumber : 0, failures);
    return failures == 0 ? 0 : 1;
}
