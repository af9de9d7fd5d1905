// Simulated ui of sim::Machine: a headless dialog manager that builds its dialogs from the
// program's compiled resources (SetResources), runs a real modal loop with a message queue
// on the dialog's thread, and lets a scripted user (User()) drive the pages. Everything the
// program shows or paints is recorded for the tests.
//
// Geometry: the dialog font is "MS Shell Dlg" 8 pt at 96 DPI (LOGFONT height -11) with the
// base units 6 x 13, so a dialog unit is 6/4 pixel across and 13/8 pixel down, rounded as
// MulDiv does. A dialog sits at its template position on a 1024 x 768 screen (centred when
// DS_CENTER); its client area starts kFrame pixels right of and kFrame + kCaption pixels
// below the window's corner and ends kFrame pixels inside its other edges. Controls with a
// border (WS_BORDER, WS_EX_CLIENTEDGE) have a 2-pixel client edge.
//
// Threads: the windows of a dialog belong to the thread that called DialogBox. Messages sent
// (SendMessage, SetWindowText, EnableWindow, SetFont, StreamIn) from another thread wait
// until that thread's modal loop has handled them; reads (GetWindowText, IsWindowEnabled,
// rectangles...) are answered at once.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/Common.h"
#include "sim/ScriptedUser.h"
#include "sim/SimResources.h"

namespace sim {

class Machine;

class SimUi : public platform::Ui {
public:
    static constexpr int kFrame = 3;
    static constexpr int kCaption = 22;
    static constexpr int kScreenWidth = 1024;
    static constexpr int kScreenHeight = 768;

    // One control (or the dialog itself, id 0) as it stood at a moment.
    struct ControlState {
        int id = 0;
        std::wstring className;
        std::wstring text;
        bool enabled = true;
        bool visible = true;
        uint32_t check = 0;
    };
    // One visit of a page.
    struct PageRecord {
        int templateId = 0;
        uint16_t language = 0;
        WindowHandle dialog;
        std::wstring caption;              // when the page first became idle
        std::vector<ControlState> atIdle;  // template order
        bool reachedIdle = false;
        std::wstring captionAtEnd;
        std::vector<ControlState> atEnd;
        bool ended = false;
        intptr_t result = 0;  // DialogBox's result
    };
    struct MessageBoxRecord {
        WindowHandle owner;
        int ownerTemplateId = 0;  // 0 when the owner is not a page
        std::wstring text;
        std::wstring caption;
        uint32_t flags = 0;
        int answer = 0;
        bool queuedAnswer = false;  // false: answered by the default rule
    };
    // One WM_CTLCOLOR* message of a paint.
    struct ControlColorRecord {
        int paint = 0;  // index into Paints()
        int templateId = 0;
        int controlId = 0;
        WindowHandle control;
        uint32_t message = 0;
        DcHandle dc;
        bool handled = false;
        BrushHandle brush;  // the answer (the default brush when not handled)
        bool transparent = false;
    };
    struct FillRecord {
        int paint = -1;  // -1 outside a paint
        DcHandle dc;
        WindowHandle window;  // the window the DC belongs to
        int controlId = 0;    // 0 for the dialog
        Rect rect;
        Color color;
        BrushHandle brush;  // set for fills with a brush (the dialog background)
    };
    struct PaintRecord {
        int templateId = 0;
        WindowHandle dialog;
        bool iconic = false;
        bool handled = false;  // the procedure handled WM_PAINT
    };
    struct DcRecord {
        DcHandle dc;
        WindowHandle window;
        int paint = -1;
        bool transparent = false;
        bool ended = false;  // EndPaint done (paint DCs only)
    };
    struct IconDrawRecord {
        DcHandle dc;
        int x = 0, y = 0;
        IconHandle icon;
    };
    struct FontSetRecord {
        WindowHandle window;
        int controlId = 0;
        FontHandle font;
        bool redraw = false;
    };
    struct EndDialogRecord {
        WindowHandle dialog;
        int templateId = 0;
        intptr_t result = 0;
    };
    struct CommonControlsRecord {
        uint32_t size = 0;
        uint32_t classes = 0;
    };
    // The state of a control that tests inspect beyond the port's readers.
    struct ControlDetails {
        bool exists = false;
        int id = 0;
        std::wstring className;
        uint32_t style = 0;
        uint32_t exStyle = 0;
        std::wstring text;
        Rect rect;  // in the dialog's client coordinates
        bool enabled = false;
        bool visible = false;
        uint32_t check = 0;
        FontHandle font;
        int bitmapId = 0;  // SS_BITMAP statics
        int limit = 0;     // edits
        int selStart = 0, selEnd = 0;
        std::vector<std::wstring> items;  // list boxes
        int curSel = -1;
        int rangeMin = 0, rangeMax = 100, position = 0;  // progress bars
        std::string streamed;                            // rich edits: the bytes streamed in
        std::vector<int32_t> streamRequests;             // one per callback call
        int scrollTopCount = 0;                          // WM_VSCROLL SB_TOP
    };

    explicit SimUi(Machine& machine);
    ~SimUi() override;
    // Puts the default machine's state in place (called once by Machine's constructor).
    void InstallDefaults();

    // --- Set-up ---
    // The program's compiled .res file (copied). False, with |error|, when it is malformed.
    bool SetResources(const uint8_t* res, size_t size, std::string* error = nullptr);
    bool HasResources();
    ScriptedUser& User() { return user_; }
    // How long an idle page without a script waits for messages from other threads.
    void SetIdleTimeout(std::chrono::milliseconds timeout);
    // How long a SendMessage from another thread waits for the dialog's thread.
    void SetSendTimeout(std::chrono::milliseconds timeout);
    // The byte count a rich edit asks its stream-in callback for (4096 by default).
    void SetStreamChunk(int32_t bytes);

    // --- Inspection ---
    std::vector<PageRecord> Pages();
    std::vector<MessageBoxRecord> MessageBoxes();
    std::vector<ControlColorRecord> ControlColors();
    std::vector<FillRecord> Fills();
    std::vector<PaintRecord> Paints();
    std::vector<IconDrawRecord> IconDraws();
    std::vector<FontSetRecord> FontSets();
    std::vector<EndDialogRecord> EndDialogs();
    std::vector<CommonControlsRecord> CommonControlsCalls();
    std::vector<std::string> Errors();
    int Beeps();
    DcRecord Dc(DcHandle dc);
    ControlDetails Control(WindowHandle window);
    ControlDetails Control(WindowHandle dialog, int id);
    // The dialog currently running a modal loop (the innermost), or none.
    WindowHandle ActiveDialog();
    // Fonts created by CreateFont and not deleted.
    size_t LiveFonts();
    // The icons the dialog got with WM_SETICON.
    IconHandle DialogIcon(WindowHandle dialog, bool big);
    // System colour brushes the dialog manager answers unhandled WM_CTLCOLOR* with.
    BrushHandle FaceBrush() const { return BrushHandle(kFaceBrush); }
    BrushHandle WindowBrush() const { return BrushHandle(kWindowBrush); }

    // --- platform::Ui ---
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
    bool IsAppThemed() override {
        ++themeQueries_;
        return themed_;
    }

    // Visual styles on or off (off by default), and how often the program asked.
    void SetAppThemed(bool themed) { themed_ = themed; }
    int AppThemedQueries() const { return themeQueries_; }

private:
    friend class PageDriver;
    friend class ScriptedUser;

    static constexpr std::uintptr_t kWhiteBrush = 0x100;
    static constexpr std::uintptr_t kHollowBrush = 0x104;
    static constexpr std::uintptr_t kFaceBrush = 0x108;
    static constexpr std::uintptr_t kWindowBrush = 0x10C;

    enum class Kind { Dialog, Button, Edit, Static, ListBox, RichEdit, Progress, Other };

    struct Window {
        std::uintptr_t handle = 0;
        std::uintptr_t dialog = 0;  // the dialog this window belongs to (itself for dialogs)
        Kind kind = Kind::Other;
        int id = 0;
        std::wstring className;
        uint32_t style = 0;
        uint32_t exStyle = 0;
        std::wstring text;
        Rect rect;  // dialogs: screen; controls: the dialog's client coordinates
        bool enabled = true;
        bool visible = true;
        uint32_t check = 0;
        std::uintptr_t font = 0;
        int bitmapId = 0;
        int limit = 32767;
        int selStart = 0, selEnd = 0;
        std::vector<std::wstring> items;
        int curSel = -1;
        int rangeMin = 0, rangeMax = 100, position = 0;
        std::string streamed;
        std::vector<int32_t> streamRequests;
        int scrollTopCount = 0;
    };

    struct DialogInfo {
        std::uintptr_t handle = 0;
        int templateId = 0;
        uint16_t language = 0;
        DialogProcedure* procedure = nullptr;
        std::thread::id thread;
        std::vector<std::uintptr_t> children;  // template order
        int defId = 1;
        bool ended = false;
        intptr_t result = 0;
        bool iconic = false;
        bool erasePending = false;
        int paint = -1;  // the paint in progress
        std::uintptr_t font = 0;
        std::uintptr_t bigIcon = 0, smallIcon = 0;
        size_t pageRecord = 0;
        bool destroyed = false;
    };

    struct SendSlot {
        bool done = false;
        intptr_t result = 0;
    };
    struct QueuedMessage {
        std::uintptr_t window = 0;
        std::thread::id thread;
        uint32_t message = 0;
        uintptr_t wParam = 0;
        intptr_t lParam = 0;
        std::function<intptr_t()> call;  // a port call made from another thread
        std::shared_ptr<SendSlot> slot;  // null for posted messages
    };

    // Lookup (lock held).
    Window* FindWindow(WindowHandle window);
    Window* FindWindow(std::uintptr_t handle);
    DialogInfo* FindDialog(std::uintptr_t handle);
    Window* FindChild(std::uintptr_t dialog, int id);
    void RecordError(const std::string& error);

    // Threads.
    bool OnWindowThread(std::uintptr_t handle, std::thread::id* owner);
    intptr_t CallOnWindowThread(std::uintptr_t handle, std::function<intptr_t()> call);
    bool TakeMessage(std::thread::id thread, QueuedMessage* out);
    void Dispatch(QueuedMessage& message);
    // Handles every queued message of this thread; stops when |dialog| ends.
    void PumpPending(std::uintptr_t dialog);
    void DropMessagesOf(std::uintptr_t dialog);

    // Messages.
    intptr_t DeliverMessage(std::uintptr_t window, uint32_t message, uintptr_t wParam,
                            intptr_t lParam);
    bool CallProcedure(std::uintptr_t dialog, uint32_t message, uintptr_t wParam, intptr_t lParam,
                       intptr_t* result);
    intptr_t DialogMessage(std::uintptr_t dialog, uint32_t message, uintptr_t wParam,
                           intptr_t lParam);
    intptr_t DefaultDialogMessage(std::uintptr_t dialog, uint32_t message, uintptr_t wParam,
                                  intptr_t lParam);
    intptr_t ControlMessage(std::uintptr_t control, uint32_t message, uintptr_t wParam,
                            intptr_t lParam);
    void Notify(std::uintptr_t control, uint32_t code);
    void SetText(Window& window, const std::wstring& text, bool* notifyChange);

    // The dialog manager and the user's input.
    std::uintptr_t CreateDialogWindows(int templateId, DialogProcedure* procedure);
    void DestroyDialog(std::uintptr_t dialog);
    void PaintDialog(std::uintptr_t dialog);
    void SnapshotPage(std::uintptr_t dialog, bool atEnd);
    void UserClick(std::uintptr_t dialog, int id);
    void ClickButton(std::uintptr_t control);
    void UserType(std::uintptr_t dialog, int id, const std::wstring& text);
    void UserSelect(std::uintptr_t dialog, int listId, const std::wstring* text, int index);
    void UserKey(std::uintptr_t dialog, uint32_t virtualKey);
    void DialogSetFocus(std::uintptr_t control);  // selects an edit's text first
    // The next (or previous) visible, enabled WS_TABSTOP control after |from| (0: the first
    // or the last), wrapping around; 0 when there is none. Lock held.
    std::uintptr_t NextTabItem(std::uintptr_t dialog, std::uintptr_t from, bool previous = false);
    void SetIconic(std::uintptr_t dialog, bool iconic);
    bool ActionAllowed(std::uintptr_t dialog, const char* action, int id);

    Machine& machine_;
    ScriptedUser user_;
    std::unique_ptr<SimResources> resources_;

    std::map<std::uintptr_t, std::unique_ptr<Window>> windows_;
    std::map<std::uintptr_t, std::unique_ptr<DialogInfo>> dialogs_;
    std::vector<std::uintptr_t> modalStack_;
    std::uintptr_t focus_ = 0;
    std::thread::id focusThread_;
    std::map<std::uintptr_t, FontDescription> fonts_;
    std::map<std::uintptr_t, bool> createdFonts_;  // by CreateFont: alive
    std::map<int, std::uintptr_t> icons_;
    std::map<std::uintptr_t, DcRecord> dcs_;
    std::map<std::uintptr_t, std::uintptr_t> paintDcs_;  // window -> open paint DC

    std::chrono::milliseconds idleTimeout_{10000};
    std::chrono::milliseconds sendTimeout_{30000};
    int32_t streamChunk_ = 4096;

    std::vector<PageRecord> pages_;
    std::vector<MessageBoxRecord> boxes_;
    std::atomic<bool> themed_{false};
    std::atomic<int> themeQueries_{0};
    std::vector<ControlColorRecord> colors_;
    std::vector<FillRecord> fills_;
    std::vector<PaintRecord> paints_;
    std::vector<IconDrawRecord> iconDraws_;
    std::vector<FontSetRecord> fontSets_;
    std::vector<EndDialogRecord> endDialogs_;
    std::vector<CommonControlsRecord> commonControls_;
    std::vector<std::string> errors_;
    int beeps_ = 0;

    // The message queue. Its mutex is taken last: nothing else is locked while it is held,
    // and nobody waits on it while holding the machine's lock.
    std::mutex queueMutex_;
    std::condition_variable queueCv_;
    std::deque<QueuedMessage> queue_;
};

}  // namespace sim
