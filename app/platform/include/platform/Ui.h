// Ui port: modal dialogs built from the program's dialog templates, their controls, message
// boxes and the small GDI subset the pages paint with. It follows the Win32 dialog model:
// a dialog procedure receives the window messages of its dialog (WM_INITDIALOG,
// WM_COMMAND, WM_PAINT, WM_CTLCOLOR*, private messages...), controls are windows found by
// id, and controls are driven with their window messages through SendMessage.
//
// Messages whose lParam or wParam carries text (LB_ADDSTRING, LB_FINDSTRING, LB_GETTEXT,
// WM_SETTEXT...) carry a pointer to a null-terminated native wide string (wchar_t*), on
// Windows and on the host alike. SendMessage and SetWindowText may be called from any
// thread: as on Windows, a call from another thread waits until the window's thread has
// handled it in its message loop.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Types.h"

namespace platform {

struct Rect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

// A LOGFONTW, field by field: a font read with GetFontDescription and made again with
// CreateFont is the same logical font.
struct FontDescription {
    int32_t height = 0;       // lfHeight
    int32_t width = 0;        // lfWidth
    int32_t escapement = 0;   // lfEscapement
    int32_t orientation = 0;  // lfOrientation
    int32_t weight = 0;       // lfWeight
    uint8_t italic = 0;       // lfItalic
    uint8_t underline = 0;    // lfUnderline
    uint8_t strikeOut = 0;    // lfStrikeOut
    uint8_t charSet = 0;      // lfCharSet
    uint8_t outPrecision = 0;
    uint8_t clipPrecision = 0;
    uint8_t quality = 0;
    uint8_t pitchAndFamily = 0;
    std::wstring faceName;  // lfFaceName: at most 31 characters
};

struct Color {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
};

enum class StockBrush {
    White,   // WHITE_BRUSH
    Hollow,  // NULL_BRUSH / HOLLOW_BRUSH
};

// GetWindow relations.
enum class WindowRelation {
    FirstChild,   // GW_CHILD
    NextSibling,  // GW_HWNDNEXT
};

// The rich edit control's stream-in callback (EDITSTREAMCALLBACK): fill |buffer| with at
// most |requested| bytes, store the count in |transferred|; a count of 0 ends the stream; a
// nonzero result is an error that ends it too.
using EditStreamCallback = uint32_t (*)(uintptr_t cookie, uint8_t* buffer, int32_t requested,
                                        int32_t* transferred);

// A dialog procedure. Returns true when it handled the message, with |result| the value
// the message returns: for WM_INITDIALOG nonzero to let the dialog manager set the focus,
// for WM_CTLCOLOR* the brush, otherwise the message's result. Unhandled messages get the
// dialog manager's default handling.
class DialogProcedure {
public:
    virtual ~DialogProcedure() = default;
    virtual bool HandleMessage(WindowHandle dialog, uint32_t message, uintptr_t wParam,
                               intptr_t lParam, intptr_t* result) = 0;
};

class Ui {
public:
    virtual ~Ui() = default;

    // InitCommonControlsEx with the given size and class mask.
    virtual bool InitCommonControls(uint32_t size, uint32_t classes) = 0;

    // DialogBoxParamW with the program's own template |templateId| (the platform picks the
    // language), no owner window. Runs the modal loop until EndDialog; returns the value
    // given to EndDialog, or -1 when the dialog cannot be created.
    virtual intptr_t DialogBox(int templateId, DialogProcedure* procedure) = 0;
    // EndDialog: the modal loop ends once the current message has been handled.
    virtual bool EndDialog(WindowHandle dialog, intptr_t result) = 0;

    virtual WindowHandle GetDlgItem(WindowHandle dialog, int id) = 0;
    virtual int GetDlgCtrlID(WindowHandle window) = 0;
    virtual WindowHandle GetWindow(WindowHandle window, WindowRelation relation) = 0;
    virtual WindowHandle GetParent(WindowHandle window) = 0;
    // GetClassNameW into a buffer of |bufferChars| characters (the name is cut to fit).
    virtual std::wstring GetClassName(WindowHandle window, int bufferChars) = 0;
    virtual std::wstring GetWindowText(WindowHandle window) = 0;
    virtual bool SetWindowText(WindowHandle window, const std::wstring& text) = 0;
    virtual bool EnableWindow(WindowHandle window, bool enable) = 0;
    virtual bool IsWindowEnabled(WindowHandle window) = 0;
    virtual bool IsIconic(WindowHandle window) = 0;
    virtual WindowHandle SetFocus(WindowHandle window) = 0;
    virtual WindowHandle GetFocus() = 0;
    // Rectangles in pixels: GetWindowRect in screen coordinates, GetClientRect in client
    // coordinates; ScreenToClient maps a rectangle (MapWindowPoints from the desktop).
    virtual bool GetWindowRect(WindowHandle window, Rect* rect) = 0;
    virtual bool GetClientRect(WindowHandle window, Rect* rect) = 0;
    virtual bool ScreenToClient(WindowHandle window, Rect* rect) = 0;

    virtual intptr_t SendMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                                 intptr_t lParam) = 0;
    virtual bool PostMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                             intptr_t lParam) = 0;

    // EM_STREAMIN with an EDITSTREAM {cookie, 0, callback}; |format| is SF_RTF (2) or
    // SF_TEXT (1). Returns the message's result (characters read); |error| receives
    // EDITSTREAM::dwError.
    virtual intptr_t StreamIn(WindowHandle richEdit, uint32_t format, uintptr_t cookie,
                              EditStreamCallback callback, uint32_t* error) = 0;

    // MessageBoxW.
    virtual int MessageBox(WindowHandle owner, const std::wstring& text,
                           const std::wstring& caption, uint32_t flags) = 0;

    // The program's resources: LoadStringW (empty when absent) and LoadIconW.
    virtual std::wstring LoadString(int id) = 0;
    virtual IconHandle LoadIcon(int id) = 0;

    // GDI.
    virtual FontHandle GetFont(WindowHandle window) = 0;  // WM_GETFONT
    // GetObjectW of the font into a LOGFONTW.
    virtual bool GetFontDescription(FontHandle font, FontDescription* description) = 0;
    // CreateFontIndirectW; a longer face name is cut to 31 characters.
    virtual FontHandle CreateFont(const FontDescription& description) = 0;
    virtual bool DeleteFont(FontHandle font) = 0;
    virtual void SetFont(WindowHandle window, FontHandle font, bool redraw) = 0;  // WM_SETFONT
    virtual BrushHandle GetStockBrush(StockBrush brush) = 0;
    // BeginPaint / EndPaint around a WM_PAINT handler.
    virtual DcHandle BeginPaint(WindowHandle window) = 0;
    virtual void EndPaint(WindowHandle window) = 0;
    virtual bool FillRect(DcHandle dc, const Rect& rect, Color color) = 0;
    virtual void SetTransparentBackground(DcHandle dc) = 0;  // SetBkMode(TRANSPARENT)
    virtual bool DrawIcon(DcHandle dc, int x, int y, IconHandle icon) = 0;
    virtual int GetSystemMetrics(int index) = 0;
    // Whether the program is drawn with visual styles: IsAppThemed of the theme library
    // from the system folder (never a copy beside the program); false without the library
    // or the function. A question that changes nothing on the machine.
    virtual bool IsAppThemed() = 0;
};

}  // namespace platform
