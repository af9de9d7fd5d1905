// Simulated ui of sim::Machine.
#pragma once

#include "sim/Common.h"

namespace sim {

class Machine;

class SimUi : public platform::Ui {
public:
    explicit SimUi(Machine& machine);
    // Puts the default machine's state in place (called once by Machine's constructor).
    void InstallDefaults();

    bool InitCommonControls(uint32_t size, uint32_t classes) override;
    intptr_t DialogBox(int templateId, DialogProcedure* procedure) override;
    bool EndDialog(WindowHandle dialog, intptr_t result) override;
    WindowHandle GetDlgItem(WindowHandle dialog, int id) override;
    int GetDlgCtrlID(WindowHandle window) override;
    WindowHandle GetWindow(WindowHandle window, WindowRelation relation) override;
    WindowHandle GetParent(WindowHandle window) override;
    std::wstring GetClassName(WindowHandle window, int bufferChars) override;
    std::wstring GetWindowText(WindowHandle window) override;
    bool SetWindowText(WindowHandle window, const std::wstring& text) override;
    bool EnableWindow(WindowHandle window, bool enable) override;
    bool IsWindowEnabled(WindowHandle window) override;
    bool IsIconic(WindowHandle window) override;
    WindowHandle SetFocus(WindowHandle window) override;
    WindowHandle GetFocus() override;
    bool GetWindowRect(WindowHandle window, Rect* rect) override;
    bool GetClientRect(WindowHandle window, Rect* rect) override;
    bool ScreenToClient(WindowHandle window, Rect* rect) override;
    intptr_t SendMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                         intptr_t lParam) override;
    bool PostMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                     intptr_t lParam) override;
    intptr_t StreamIn(WindowHandle richEdit, uint32_t format, uintptr_t cookie,
                      EditStreamCallback callback, uint32_t* error) override;
    int MessageBox(WindowHandle owner, const std::wstring& text, const std::wstring& caption,
                   uint32_t flags) override;
    std::wstring LoadString(int id) override;
    IconHandle LoadIcon(int id) override;
    FontHandle GetFont(WindowHandle window) override;
    bool GetFontDescription(FontHandle font, FontDescription* description) override;
    FontHandle CreateFont(const FontDescription& description) override;
    bool DeleteFont(FontHandle font) override;
    void SetFont(WindowHandle window, FontHandle font, bool redraw) override;
    BrushHandle GetStockBrush(StockBrush brush) override;
    DcHandle BeginPaint(WindowHandle window) override;
    void EndPaint(WindowHandle window) override;
    bool FillRect(DcHandle dc, const Rect& rect, Color color) override;
    void SetTransparentBackground(DcHandle dc) override;
    bool DrawIcon(DcHandle dc, int x, int y, IconHandle icon) override;
    int GetSystemMetrics(int index) override;

private:
    Machine& machine_;
};

}  // namespace sim
