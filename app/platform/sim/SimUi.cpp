#include "sim/Machine.h"

namespace sim {

SimUi::SimUi(Machine& machine) : machine_(machine) {}

void SimUi::InstallDefaults() {}

bool SimUi::InitCommonControls(uint32_t size, uint32_t classes) {
    (void)size;
    (void)classes;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return false;
}

intptr_t SimUi::DialogBox(int templateId, DialogProcedure* procedure) {
    (void)templateId;
    (void)procedure;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return {};
}

bool SimUi::EndDialog(WindowHandle dialog, intptr_t result) {
    (void)dialog;
    (void)result;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return false;
}

WindowHandle SimUi::GetDlgItem(WindowHandle dialog, int id) {
    (void)dialog;
    (void)id;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return {};
}

int SimUi::GetDlgCtrlID(WindowHandle window) {
    (void)window;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return {};
}

WindowHandle SimUi::GetWindow(WindowHandle window, WindowRelation relation) {
    (void)window;
    (void)relation;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return {};
}

WindowHandle SimUi::GetParent(WindowHandle window) {
    (void)window;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return {};
}

std::wstring SimUi::GetClassName(WindowHandle window, int bufferChars) {
    (void)window;
    (void)bufferChars;
    return std::wstring();
}

std::wstring SimUi::GetWindowText(WindowHandle window) {
    (void)window;
    return std::wstring();
}

bool SimUi::SetWindowText(WindowHandle window, const std::wstring& text) {
    (void)window;
    (void)text;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return false;
}

bool SimUi::EnableWindow(WindowHandle window, bool enable) {
    (void)window;
    (void)enable;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return false;
}

bool SimUi::IsWindowEnabled(WindowHandle window) {
    (void)window;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return false;
}

bool SimUi::IsIconic(WindowHandle window) {
    (void)window;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return false;
}

WindowHandle SimUi::SetFocus(WindowHandle window) {
    (void)window;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return {};
}

WindowHandle SimUi::GetFocus() {
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return {};
}

bool SimUi::GetWindowRect(WindowHandle window, Rect* rect) {
    (void)window;
    (void)rect;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return false;
}

bool SimUi::GetClientRect(WindowHandle window, Rect* rect) {
    (void)window;
    (void)rect;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return false;
}

bool SimUi::ScreenToClient(WindowHandle window, Rect* rect) {
    (void)window;
    (void)rect;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return false;
}

intptr_t SimUi::SendMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                            intptr_t lParam) {
    (void)window;
    (void)message;
    (void)wParam;
    (void)lParam;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return {};
}

bool SimUi::PostMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    (void)window;
    (void)message;
    (void)wParam;
    (void)lParam;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return false;
}

intptr_t SimUi::StreamIn(WindowHandle richEdit, uint32_t format, uintptr_t cookie,
                         EditStreamCallback callback, uint32_t* error) {
    (void)richEdit;
    (void)format;
    (void)cookie;
    (void)callback;
    (void)error;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return {};
}

int SimUi::MessageBox(WindowHandle owner, const std::wstring& text, const std::wstring& caption,
                      uint32_t flags) {
    (void)owner;
    (void)text;
    (void)caption;
    (void)flags;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return {};
}

std::wstring SimUi::LoadString(int id) {
    (void)id;
    return std::wstring();
}

IconHandle SimUi::LoadIcon(int id) {
    (void)id;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return {};
}

FontHandle SimUi::GetFont(WindowHandle window) {
    (void)window;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return {};
}

bool SimUi::GetFontDescription(FontHandle font, FontDescription* description) {
    (void)font;
    (void)description;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return false;
}

FontHandle SimUi::CreateFont(const FontDescription& description) {
    (void)description;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return {};
}

bool SimUi::DeleteFont(FontHandle font) {
    (void)font;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return false;
}

void SimUi::SetFont(WindowHandle window, FontHandle font, bool redraw) {
    (void)window;
    (void)font;
    (void)redraw;
}

BrushHandle SimUi::GetStockBrush(StockBrush brush) {
    (void)brush;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return {};
}

DcHandle SimUi::BeginPaint(WindowHandle window) {
    (void)window;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return {};
}

void SimUi::EndPaint(WindowHandle window) {
    (void)window;
}

bool SimUi::FillRect(DcHandle dc, const Rect& rect, Color color) {
    (void)dc;
    (void)rect;
    (void)color;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return false;
}

void SimUi::SetTransparentBackground(DcHandle dc) {
    (void)dc;
}

bool SimUi::DrawIcon(DcHandle dc, int x, int y, IconHandle icon) {
    (void)dc;
    (void)x;
    (void)y;
    (void)icon;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return false;
}

int SimUi::GetSystemMetrics(int index) {
    (void)index;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return {};
}

}  // namespace sim
