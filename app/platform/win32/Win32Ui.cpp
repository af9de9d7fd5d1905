// Ui adapter: dialogs, controls, message boxes and GDI over the real Win32 API.
#include "win32/Adapters.h"
#include "win32/Win32Util.h"

namespace win32 {

bool Win32Ui::InitCommonControls(uint32_t size, uint32_t classes) {
    (void)size;
    (void)classes;
    ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return false;
}

intptr_t Win32Ui::DialogBox(int templateId, DialogProcedure* procedure) {
    (void)templateId;
    (void)procedure;
    return 0;
}

bool Win32Ui::EndDialog(WindowHandle dialog, intptr_t result) {
    (void)dialog;
    (void)result;
    ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return false;
}

WindowHandle Win32Ui::GetDlgItem(WindowHandle dialog, int id) {
    (void)dialog;
    (void)id;
    return {};
}

int Win32Ui::GetDlgCtrlID(WindowHandle window) {
    (void)window;
    return 0;
}

WindowHandle Win32Ui::GetWindow(WindowHandle window, WindowRelation relation) {
    (void)window;
    (void)relation;
    return {};
}

WindowHandle Win32Ui::GetParent(WindowHandle window) {
    (void)window;
    return {};
}

std::wstring Win32Ui::GetClassName(WindowHandle window, int bufferChars) {
    (void)window;
    (void)bufferChars;
    return std::wstring();
}

std::wstring Win32Ui::GetWindowText(WindowHandle window) {
    (void)window;
    return std::wstring();
}

bool Win32Ui::SetWindowText(WindowHandle window, const std::wstring& text) {
    (void)window;
    (void)text;
    ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return false;
}

bool Win32Ui::EnableWindow(WindowHandle window, bool enable) {
    (void)window;
    (void)enable;
    ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return false;
}

bool Win32Ui::IsWindowEnabled(WindowHandle window) {
    (void)window;
    ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return false;
}

bool Win32Ui::IsIconic(WindowHandle window) {
    (void)window;
    ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return false;
}

WindowHandle Win32Ui::SetFocus(WindowHandle window) {
    (void)window;
    return {};
}

WindowHandle Win32Ui::GetFocus() {
    return {};
}

bool Win32Ui::GetWindowRect(WindowHandle window, Rect* rect) {
    (void)window;
    (void)rect;
    ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return false;
}

bool Win32Ui::GetClientRect(WindowHandle window, Rect* rect) {
    (void)window;
    (void)rect;
    ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return false;
}

bool Win32Ui::ScreenToClient(WindowHandle window, Rect* rect) {
    (void)window;
    (void)rect;
    ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return false;
}

intptr_t Win32Ui::SendMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                              intptr_t lParam) {
    (void)window;
    (void)message;
    (void)wParam;
    (void)lParam;
    return 0;
}

bool Win32Ui::PostMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                          intptr_t lParam) {
    (void)window;
    (void)message;
    (void)wParam;
    (void)lParam;
    ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return false;
}

intptr_t Win32Ui::StreamIn(WindowHandle richEdit, uint32_t format, uintptr_t cookie,
                           EditStreamCallback callback, uint32_t* error) {
    (void)richEdit;
    (void)format;
    (void)cookie;
    (void)callback;
    (void)error;
    return 0;
}

int Win32Ui::MessageBox(WindowHandle owner, const std::wstring& text, const std::wstring& caption,
                        uint32_t flags) {
    (void)owner;
    (void)text;
    (void)caption;
    (void)flags;
    return 0;
}

std::wstring Win32Ui::LoadString(int id) {
    (void)id;
    return std::wstring();
}

IconHandle Win32Ui::LoadIcon(int id) {
    (void)id;
    return {};
}

FontHandle Win32Ui::GetFont(WindowHandle window) {
    (void)window;
    return {};
}

bool Win32Ui::GetFontDescription(FontHandle font, FontDescription* description) {
    (void)font;
    (void)description;
    ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return false;
}

FontHandle Win32Ui::CreateFont(const FontDescription& description) {
    (void)description;
    return {};
}

bool Win32Ui::DeleteFont(FontHandle font) {
    (void)font;
    ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return false;
}

void Win32Ui::SetFont(WindowHandle window, FontHandle font, bool redraw) {
    (void)window;
    (void)font;
    (void)redraw;
}

BrushHandle Win32Ui::GetStockBrush(StockBrush brush) {
    (void)brush;
    return {};
}

DcHandle Win32Ui::BeginPaint(WindowHandle window) {
    (void)window;
    return {};
}

void Win32Ui::EndPaint(WindowHandle window) {
    (void)window;
}

bool Win32Ui::FillRect(DcHandle dc, const Rect& rect, Color color) {
    (void)dc;
    (void)rect;
    (void)color;
    ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return false;
}

void Win32Ui::SetTransparentBackground(DcHandle dc) {
    (void)dc;
}

bool Win32Ui::DrawIcon(DcHandle dc, int x, int y, IconHandle icon) {
    (void)dc;
    (void)x;
    (void)y;
    (void)icon;
    ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return false;
}

int Win32Ui::GetSystemMetrics(int index) {
    (void)index;
    return 0;
}

}  // namespace win32
