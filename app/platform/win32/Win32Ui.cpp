// Ui adapter: dialogs, controls, message boxes and GDI over the real Win32 API.
#include "win32/Win32Util.h"

#include <commctrl.h>
#include <richedit.h>

#include <map>
#include <new>
#include <vector>

#include "win32/Adapters.h"

namespace win32 {

namespace {

// The dialog procedure a port user gives is a C++ object; DialogBoxParamW wants a DLGPROC.
// The object travels in WM_INITDIALOG's lParam and is kept in the dialog's DWLP_USER slot
// for every later message. Messages sent before WM_INITDIALOG (WM_SETFONT, the creation
// messages) find no object yet and get the default handling.
INT_PTR CALLBACK DialogTrampoline(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    DialogProcedure* procedure = nullptr;
    if (message == WM_INITDIALOG) {
        procedure = reinterpret_cast<DialogProcedure*>(lParam);
        ::SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(procedure));
    } else {
        procedure = reinterpret_cast<DialogProcedure*>(::GetWindowLongPtrW(dialog, DWLP_USER));
    }
    if (procedure == nullptr) {
        return FALSE;
    }
    intptr_t result = 0;
    if (!procedure->HandleMessage(WindowHandle(reinterpret_cast<std::uintptr_t>(dialog)), message,
                                  wParam, lParam, &result)) {
        return FALSE;
    }
    switch (message) {
        // These messages return their value straight from the dialog procedure.
        case WM_INITDIALOG:
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
        case WM_COMPAREITEM:
        case WM_VKEYTOITEM:
        case WM_CHARTOITEM:
        case WM_QUERYDRAGICON:
            return static_cast<INT_PTR>(result);
        default:
            // Every other message's result goes through DWLP_MSGRESULT; TRUE says "handled".
            ::SetWindowLongPtrW(dialog, DWLP_MSGRESULT, static_cast<LONG_PTR>(result));
            return TRUE;
    }
}

// EM_STREAMIN calls a CALLBACK (stdcall on i686) function; the port's callback uses the
// compiler's default convention. The cookie the control passes back is this record.
struct StreamRecord {
    EditStreamCallback callback;
    uintptr_t cookie;
};

DWORD CALLBACK StreamTrampoline(DWORD_PTR cookie, LPBYTE buffer, LONG requested,
                                LONG* transferred) {
    const StreamRecord* record = reinterpret_cast<const StreamRecord*>(cookie);
    int32_t count = 0;
    const uint32_t status = record->callback(record->cookie, buffer, requested, &count);
    // A callback that claims more than it was offered would make the control read past
    // the buffer it owns.
    if (count < 0) {
        count = 0;
    } else if (count > requested) {
        count = requested;
    }
    if (transferred != nullptr) {
        *transferred = count;
    }
    return status;
}

// BeginPaint's PAINTSTRUCT is needed again by EndPaint; the port hands out only the DC, so
// the structure is kept here per window until EndPaint. A window is painted only by its own
// thread, so one entry per window is enough; the lock covers dialogs on several threads.
class PaintTable {
public:
    PaintTable() { ::InitializeCriticalSection(&lock_); }
    ~PaintTable() { ::DeleteCriticalSection(&lock_); }
    PaintTable(const PaintTable&) = delete;
    PaintTable& operator=(const PaintTable&) = delete;

    void Put(HWND window, const PAINTSTRUCT& paint) {
        ::EnterCriticalSection(&lock_);
        paints_[window] = paint;
        ::LeaveCriticalSection(&lock_);
    }

    bool Take(HWND window, PAINTSTRUCT* paint) {
        ::EnterCriticalSection(&lock_);
        const auto it = paints_.find(window);
        const bool found = it != paints_.end();
        if (found) {
            *paint = it->second;
            paints_.erase(it);
        }
        ::LeaveCriticalSection(&lock_);
        return found;
    }

private:
    CRITICAL_SECTION lock_;
    std::map<HWND, PAINTSTRUCT> paints_;
};

// Made during static initialisation, before any dialog or thread exists.
PaintTable gPaints;

PaintTable& Paints() {
    return gPaints;
}

void FromWin32Rect(const RECT& from, Rect* to) {
    to->left = from.left;
    to->top = from.top;
    to->right = from.right;
    to->bottom = from.bottom;
}

HINSTANCE ProgramInstance() {
    return ::GetModuleHandleW(nullptr);
}

}  // namespace

bool Win32Ui::InitCommonControls(uint32_t size, uint32_t classes) {
    // The caller states the structure's size as the program does; comctl32 refuses any
    // size other than sizeof(INITCOMMONCONTROLSEX) before reading further.
    INITCOMMONCONTROLSEX init = {};
    init.dwSize = size;
    init.dwICC = classes;
    return ::InitCommonControlsEx(&init) != FALSE;
}

intptr_t Win32Ui::DialogBox(int templateId, DialogProcedure* procedure) {
    if (procedure == nullptr) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    return ::DialogBoxParamW(ProgramInstance(), MAKEINTRESOURCEW(templateId), nullptr,
                             DialogTrampoline, reinterpret_cast<LPARAM>(procedure));
}

bool Win32Ui::EndDialog(WindowHandle dialog, intptr_t result) {
    return ::EndDialog(ToWin32<HWND>(dialog), result) != FALSE;
}

WindowHandle Win32Ui::GetDlgItem(WindowHandle dialog, int id) {
    return FromWin32<WindowHandle>(::GetDlgItem(ToWin32<HWND>(dialog), id));
}

int Win32Ui::GetDlgCtrlID(WindowHandle window) {
    return ::GetDlgCtrlID(ToWin32<HWND>(window));
}

WindowHandle Win32Ui::GetWindow(WindowHandle window, WindowRelation relation) {
    const UINT command = relation == WindowRelation::FirstChild ? GW_CHILD : GW_HWNDNEXT;
    return FromWin32<WindowHandle>(::GetWindow(ToWin32<HWND>(window), command));
}

WindowHandle Win32Ui::GetParent(WindowHandle window) {
    return FromWin32<WindowHandle>(::GetParent(ToWin32<HWND>(window)));
}

std::wstring Win32Ui::GetClassName(WindowHandle window, int bufferChars) {
    if (bufferChars <= 0) {
        // GetClassNameW with no room copies nothing.
        ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return std::wstring();
    }
    std::vector<wchar_t> buffer(static_cast<std::size_t>(bufferChars), L'\0');
    const int copied = ::GetClassNameW(ToWin32<HWND>(window), buffer.data(), bufferChars);
    if (copied <= 0) {
        return std::wstring();
    }
    return TextOf(buffer.data(), static_cast<std::size_t>(copied));
}

std::wstring Win32Ui::GetWindowText(WindowHandle window) {
    const HWND hwnd = ToWin32<HWND>(window);
    // The length may be an overestimate, and the text may change between the two calls
    // (another thread); the second call never writes past the buffer it is given.
    const int length = ::GetWindowTextLengthW(hwnd);
    if (length <= 0) {
        return std::wstring();
    }
    std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = ::GetWindowTextW(hwnd, buffer.data(), length + 1);
    if (copied <= 0) {
        return std::wstring();
    }
    return TextOf(buffer.data(), static_cast<std::size_t>(copied));
}

bool Win32Ui::SetWindowText(WindowHandle window, const std::wstring& text) {
    return ::SetWindowTextW(ToWin32<HWND>(window), text.c_str()) != FALSE;
}

bool Win32Ui::EnableWindow(WindowHandle window, bool enable) {
    // EnableWindow's own result tells whether the window WAS disabled, not whether the call
    // worked; the port reports success instead: true when the window exists (and so has
    // taken the new state), false with ERROR_INVALID_WINDOW_HANDLE otherwise.
    const HWND hwnd = ToWin32<HWND>(window);
    if (!::IsWindow(hwnd)) {
        ::SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    ::EnableWindow(hwnd, enable ? TRUE : FALSE);
    return true;
}

bool Win32Ui::IsWindowEnabled(WindowHandle window) {
    return ::IsWindowEnabled(ToWin32<HWND>(window)) != FALSE;
}

bool Win32Ui::IsIconic(WindowHandle window) {
    return ::IsIconic(ToWin32<HWND>(window)) != FALSE;
}

WindowHandle Win32Ui::SetFocus(WindowHandle window) {
    return FromWin32<WindowHandle>(::SetFocus(ToWin32<HWND>(window)));
}

WindowHandle Win32Ui::GetFocus() {
    return FromWin32<WindowHandle>(::GetFocus());
}

bool Win32Ui::GetWindowRect(WindowHandle window, Rect* rect) {
    if (rect == nullptr) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    RECT r = {};
    if (!::GetWindowRect(ToWin32<HWND>(window), &r)) {
        return false;
    }
    FromWin32Rect(r, rect);
    return true;
}

bool Win32Ui::GetClientRect(WindowHandle window, Rect* rect) {
    if (rect == nullptr) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    RECT r = {};
    if (!::GetClientRect(ToWin32<HWND>(window), &r)) {
        return false;
    }
    FromWin32Rect(r, rect);
    return true;
}

bool Win32Ui::ScreenToClient(WindowHandle window, Rect* rect) {
    const HWND hwnd = ToWin32<HWND>(window);
    if (rect == nullptr) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (!::IsWindow(hwnd)) {
        ::SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    POINT points[2] = {{rect->left, rect->top}, {rect->right, rect->bottom}};
    // MapWindowPoints returns 0 both on failure and for a zero offset; the last error
    // tells them apart.
    ::SetLastError(ERROR_SUCCESS);
    if (::MapWindowPoints(nullptr, hwnd, points, 2) == 0 && ::GetLastError() != ERROR_SUCCESS) {
        return false;
    }
    rect->left = points[0].x;
    rect->top = points[0].y;
    rect->right = points[1].x;
    rect->bottom = points[1].y;
    return true;
}

intptr_t Win32Ui::SendMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                              intptr_t lParam) {
    return ::SendMessageW(ToWin32<HWND>(window), message, wParam, lParam);
}

bool Win32Ui::PostMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                          intptr_t lParam) {
    return ::PostMessageW(ToWin32<HWND>(window), message, wParam, lParam) != FALSE;
}

intptr_t Win32Ui::StreamIn(WindowHandle richEdit, uint32_t format, uintptr_t cookie,
                           EditStreamCallback callback, uint32_t* error) {
    if (callback == nullptr) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        if (error != nullptr) {
            *error = ERROR_INVALID_PARAMETER;
        }
        return 0;
    }
    StreamRecord record{callback, cookie};
    EDITSTREAM stream = {};
    stream.dwCookie = reinterpret_cast<DWORD_PTR>(&record);
    stream.dwError = 0;
    stream.pfnCallback = StreamTrampoline;
    // From another thread this waits for the control's thread, which reads the whole
    // stream before answering, so the records on this stack outlive every callback.
    const LRESULT read = ::SendMessageW(ToWin32<HWND>(richEdit), EM_STREAMIN, format,
                                        reinterpret_cast<LPARAM>(&stream));
    if (error != nullptr) {
        *error = stream.dwError;
    }
    return read;
}

int Win32Ui::MessageBox(WindowHandle owner, const std::wstring& text, const std::wstring& caption,
                        uint32_t flags) {
    return ::MessageBoxW(ToWin32<HWND>(owner), text.c_str(), caption.c_str(), flags);
}

std::wstring Win32Ui::LoadString(int id) {
    // LoadStringW cuts the string to the buffer and reports the characters copied; a
    // string that fills the buffer may have been cut, so the buffer grows until it does
    // not. A string resource holds at most 65535 characters.
    const HINSTANCE instance = ProgramInstance();
    constexpr int kLongestString = 65535;
    int bufferChars = 256;
    for (;;) {
        std::vector<wchar_t> buffer(static_cast<std::size_t>(bufferChars), L'\0');
        const int copied =
            ::LoadStringW(instance, static_cast<UINT>(id), buffer.data(), bufferChars);
        if (copied <= 0) {
            return std::wstring();
        }
        if (copied < bufferChars - 1 || bufferChars > kLongestString) {
            return TextOf(buffer.data(), static_cast<std::size_t>(copied));
        }
        bufferChars *= 2;
    }
}

IconHandle Win32Ui::LoadIcon(int id) {
    return FromWin32<IconHandle>(::LoadIconW(ProgramInstance(), MAKEINTRESOURCEW(id)));
}

FontHandle Win32Ui::GetFont(WindowHandle window) {
    const LRESULT font = ::SendMessageW(ToWin32<HWND>(window), WM_GETFONT, 0, 0);
    return FontHandle(static_cast<std::uintptr_t>(font));
}

bool Win32Ui::GetFontDescription(FontHandle font, FontDescription* description) {
    if (description == nullptr) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    LOGFONTW logFont = {};
    const int stored = ::GetObjectW(ToWin32<HFONT>(font), sizeof(logFont), &logFont);
    if (stored <= 0) {
        return false;
    }
    description->height = logFont.lfHeight;
    description->width = logFont.lfWidth;
    description->escapement = logFont.lfEscapement;
    description->orientation = logFont.lfOrientation;
    description->weight = logFont.lfWeight;
    description->italic = logFont.lfItalic;
    description->underline = logFont.lfUnderline;
    description->strikeOut = logFont.lfStrikeOut;
    description->charSet = logFont.lfCharSet;
    description->outPrecision = logFont.lfOutPrecision;
    description->clipPrecision = logFont.lfClipPrecision;
    description->quality = logFont.lfQuality;
    description->pitchAndFamily = logFont.lfPitchAndFamily;
    description->faceName = TextOf(logFont.lfFaceName, LF_FACESIZE);
    return true;
}

FontHandle Win32Ui::CreateFont(const FontDescription& description) {
    LOGFONTW logFont = {};
    logFont.lfHeight = description.height;
    logFont.lfWidth = description.width;
    logFont.lfEscapement = description.escapement;
    logFont.lfOrientation = description.orientation;
    logFont.lfWeight = description.weight;
    logFont.lfItalic = description.italic;
    logFont.lfUnderline = description.underline;
    logFont.lfStrikeOut = description.strikeOut;
    logFont.lfCharSet = description.charSet;
    logFont.lfOutPrecision = description.outPrecision;
    logFont.lfClipPrecision = description.clipPrecision;
    logFont.lfQuality = description.quality;
    logFont.lfPitchAndFamily = description.pitchAndFamily;
    // The face name is cut to LF_FACESIZE - 1 characters, as CreateFontW does.
    const std::size_t faceChars = description.faceName.size() < LF_FACESIZE - 1
                                      ? description.faceName.size()
                                      : LF_FACESIZE - 1;
    description.faceName.copy(logFont.lfFaceName, faceChars);
    logFont.lfFaceName[faceChars] = L'\0';
    return FromWin32<FontHandle>(::CreateFontIndirectW(&logFont));
}

bool Win32Ui::DeleteFont(FontHandle font) {
    return ::DeleteObject(ToWin32<HGDIOBJ>(font)) != FALSE;
}

void Win32Ui::SetFont(WindowHandle window, FontHandle font, bool redraw) {
    ::SendMessageW(ToWin32<HWND>(window), WM_SETFONT, static_cast<WPARAM>(font.value),
                   MAKELPARAM(redraw ? TRUE : FALSE, 0));
}

BrushHandle Win32Ui::GetStockBrush(StockBrush brush) {
    const int object = brush == StockBrush::White ? WHITE_BRUSH : NULL_BRUSH;
    return FromWin32<BrushHandle>(::GetStockObject(object));
}

DcHandle Win32Ui::BeginPaint(WindowHandle window) {
    const HWND hwnd = ToWin32<HWND>(window);
    PAINTSTRUCT paint = {};
    const HDC dc = ::BeginPaint(hwnd, &paint);
    if (dc == nullptr) {
        return DcHandle();
    }
    Paints().Put(hwnd, paint);
    return FromWin32<DcHandle>(dc);
}

void Win32Ui::EndPaint(WindowHandle window) {
    const HWND hwnd = ToWin32<HWND>(window);
    PAINTSTRUCT paint = {};
    // EndPaint without a BeginPaint that worked has nothing to end.
    if (Paints().Take(hwnd, &paint)) {
        ::EndPaint(hwnd, &paint);
    }
}

bool Win32Ui::FillRect(DcHandle dc, const Rect& rect, Color color) {
    // An opaque ExtTextOutW without text fills the rectangle with the background colour:
    // no brush to create and delete.
    const HDC hdc = ToWin32<HDC>(dc);
    const COLORREF previous = ::SetBkColor(hdc, RGB(color.red, color.green, color.blue));
    if (previous == CLR_INVALID) {
        return false;
    }
    const RECT r = {rect.left, rect.top, rect.right, rect.bottom};
    const BOOL filled = ::ExtTextOutW(hdc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
    ::SetBkColor(hdc, previous);
    return filled != FALSE;
}

void Win32Ui::SetTransparentBackground(DcHandle dc) {
    ::SetBkMode(ToWin32<HDC>(dc), TRANSPARENT);
}

bool Win32Ui::DrawIcon(DcHandle dc, int x, int y, IconHandle icon) {
    return ::DrawIcon(ToWin32<HDC>(dc), x, y, ToWin32<HICON>(icon)) != FALSE;
}

int Win32Ui::GetSystemMetrics(int index) {
    return ::GetSystemMetrics(index);
}

bool Win32Ui::IsAppThemed() {
    // The theme library by its full path in the system folder, so that no copy in the
    // program's folder or the current folder can stand in for it (the start-up has loaded
    // it from there already; this only takes another reference).
    std::wstring path;
    if (!Win32System().GetSystemDirectory(&path)) {
        return false;
    }
    path += L"\\uxtheme.dll";
    const HMODULE library = ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (library == nullptr) {
        return false;
    }
    using IsAppThemedFunction = BOOL(WINAPI*)();
    const auto function = reinterpret_cast<IsAppThemedFunction>(
        reinterpret_cast<void*>(::GetProcAddress(library, "IsAppThemed")));
    const bool themed = function != nullptr && function() != FALSE;
    ::FreeLibrary(library);
    return themed;
}

}  // namespace win32
