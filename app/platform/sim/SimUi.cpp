// The simulated dialog manager: windows built from the dialog templates of the program's
// resources, the modal loop with its message queue, the dialog manager's default handling,
// painting and the GDI subset. Control behaviour and the user's input are in
// SimUiControls.cpp.
#include <algorithm>
#include <cstdio>

#include "base/Text.h"
#include "platform/WinConst.h"
#include "sim/Machine.h"

namespace sim {

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

// MulDiv: a * b / c rounded half away from zero.
int MulDiv(int a, int b, int c) {
    int64_t p = static_cast<int64_t>(a) * b;
    int64_t half = c / 2;
    return static_cast<int>(p >= 0 ? (p + half) / c : (p - half) / c);
}

uintptr_t MakeWParam(int low, uint32_t high) {
    return static_cast<uintptr_t>((static_cast<uint32_t>(low) & 0xFFFFu) | (high << 16));
}

std::string Narrow(const std::wstring& s) {
    return base::ToUtf8(s);
}

// The registered spelling of the classes the dialog manager knows.
const wchar_t* const kKnownClasses[] = {L"Button",  L"Edit",        L"Static",
                                        L"ListBox", L"RichEdit20W", L"msctls_progress32"};

}  // namespace

SimUi::SimUi(Machine& machine) : machine_(machine), user_(*this) {}

SimUi::~SimUi() = default;

void SimUi::InstallDefaults() {}

// --- Set-up and inspection ---

bool SimUi::SetResources(const uint8_t* res, size_t size, std::string* error) {
    auto parsed = std::make_unique<SimResources>();
    if (!res || !parsed->Load(res, size, error)) {
        if (!res && error) {
            *error = "no resource data";
        }
        return false;
    }
    Guard guard(machine_.Lock());
    resources_ = std::move(parsed);
    icons_.clear();
    return true;
}

bool SimUi::HasResources() {
    Guard guard(machine_.Lock());
    return resources_ != nullptr;
}

void SimUi::SetIdleTimeout(std::chrono::milliseconds timeout) {
    Guard guard(machine_.Lock());
    idleTimeout_ = timeout;
}

void SimUi::SetSendTimeout(std::chrono::milliseconds timeout) {
    Guard guard(machine_.Lock());
    sendTimeout_ = timeout;
}

void SimUi::SetStreamChunk(int32_t bytes) {
    Guard guard(machine_.Lock());
    streamChunk_ = bytes > 0 ? bytes : 1;
}

std::vector<SimUi::PageRecord> SimUi::Pages() {
    Guard guard(machine_.Lock());
    return pages_;
}

std::vector<SimUi::MessageBoxRecord> SimUi::MessageBoxes() {
    Guard guard(machine_.Lock());
    return boxes_;
}

std::vector<SimUi::ControlColorRecord> SimUi::ControlColors() {
    Guard guard(machine_.Lock());
    return colors_;
}

std::vector<SimUi::FillRecord> SimUi::Fills() {
    Guard guard(machine_.Lock());
    return fills_;
}

std::vector<SimUi::PaintRecord> SimUi::Paints() {
    Guard guard(machine_.Lock());
    return paints_;
}

std::vector<SimUi::IconDrawRecord> SimUi::IconDraws() {
    Guard guard(machine_.Lock());
    return iconDraws_;
}

std::vector<SimUi::FontSetRecord> SimUi::FontSets() {
    Guard guard(machine_.Lock());
    return fontSets_;
}

std::vector<SimUi::EndDialogRecord> SimUi::EndDialogs() {
    Guard guard(machine_.Lock());
    return endDialogs_;
}

std::vector<SimUi::CommonControlsRecord> SimUi::CommonControlsCalls() {
    Guard guard(machine_.Lock());
    return commonControls_;
}

std::vector<std::string> SimUi::Errors() {
    Guard guard(machine_.Lock());
    return errors_;
}

int SimUi::Beeps() {
    Guard guard(machine_.Lock());
    return beeps_;
}

SimUi::DcRecord SimUi::Dc(DcHandle dc) {
    Guard guard(machine_.Lock());
    auto it = dcs_.find(dc.value);
    return it == dcs_.end() ? DcRecord{} : it->second;
}

SimUi::ControlDetails SimUi::Control(WindowHandle window) {
    Guard guard(machine_.Lock());
    ControlDetails d;
    Window* w = FindWindow(window);
    if (!w) {
        return d;
    }
    d.exists = true;
    d.id = w->id;
    d.className = w->className;
    d.style = w->style;
    d.exStyle = w->exStyle;
    d.text = w->text;
    d.rect = w->rect;
    d.enabled = w->enabled;
    d.visible = w->visible;
    d.check = w->check;
    d.font = FontHandle(w->font);
    d.bitmapId = w->bitmapId;
    d.limit = w->limit;
    d.selStart = w->selStart;
    d.selEnd = w->selEnd;
    d.items = w->items;
    d.curSel = w->curSel;
    d.rangeMin = w->rangeMin;
    d.rangeMax = w->rangeMax;
    d.position = w->position;
    d.streamed = w->streamed;
    d.streamRequests = w->streamRequests;
    d.scrollTopCount = w->scrollTopCount;
    return d;
}

SimUi::ControlDetails SimUi::Control(WindowHandle dialog, int id) {
    Guard guard(machine_.Lock());
    Window* w = FindChild(dialog.value, id);
    return Control(WindowHandle(w ? w->handle : 0));
}

WindowHandle SimUi::ActiveDialog() {
    Guard guard(machine_.Lock());
    return WindowHandle(modalStack_.empty() ? 0 : modalStack_.back());
}

size_t SimUi::LiveFonts() {
    Guard guard(machine_.Lock());
    return createdFonts_.size();
}

IconHandle SimUi::DialogIcon(WindowHandle dialog, bool big) {
    Guard guard(machine_.Lock());
    DialogInfo* info = FindDialog(dialog.value);
    if (!info) {
        return IconHandle();
    }
    return IconHandle(big ? info->bigIcon : info->smallIcon);
}

// --- Lookup ---

SimUi::Window* SimUi::FindWindow(WindowHandle window) {
    return FindWindow(window.value);
}

SimUi::Window* SimUi::FindWindow(std::uintptr_t handle) {
    auto it = windows_.find(handle);
    return it == windows_.end() ? nullptr : it->second.get();
}

SimUi::DialogInfo* SimUi::FindDialog(std::uintptr_t handle) {
    auto it = dialogs_.find(handle);
    return it == dialogs_.end() || it->second->destroyed ? nullptr : it->second.get();
}

SimUi::Window* SimUi::FindChild(std::uintptr_t dialog, int id) {
    DialogInfo* info = FindDialog(dialog);
    if (!info) {
        return nullptr;
    }
    for (std::uintptr_t child : info->children) {
        Window* w = FindWindow(child);
        if (w && w->id == id) {
            return w;
        }
    }
    return nullptr;
}

void SimUi::RecordError(const std::string& error) {
    Guard guard(machine_.Lock());
    errors_.push_back(error);
}

// --- Threads and the queue ---

bool SimUi::OnWindowThread(std::uintptr_t handle, std::thread::id* owner) {
    Guard guard(machine_.Lock());
    Window* w = FindWindow(handle);
    if (!w) {
        return true;
    }
    DialogInfo* info = FindDialog(w->dialog);
    if (!info) {
        return true;
    }
    *owner = info->thread;
    // A dialog whose modal loop has not started or has ended serves every thread directly.
    bool running =
        std::find(modalStack_.begin(), modalStack_.end(), w->dialog) != modalStack_.end();
    return !running || info->thread == std::this_thread::get_id();
}

intptr_t SimUi::CallOnWindowThread(std::uintptr_t handle, std::function<intptr_t()> call) {
    std::thread::id owner;
    if (OnWindowThread(handle, &owner)) {
        return call();
    }
    std::chrono::milliseconds timeout;
    {
        Guard guard(machine_.Lock());
        timeout = sendTimeout_;
    }
    auto slot = std::make_shared<SendSlot>();
    QueuedMessage m;
    m.window = handle;
    m.thread = owner;
    m.call = std::move(call);
    m.slot = slot;
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        queue_.push_back(std::move(m));
        queueCv_.notify_all();
    }
    // Waits in short slices: between them, a window destroyed meanwhile (its dialog ended
    // before the message could be handled) ends the wait as SendMessage fails then.
    auto deadline = std::chrono::steady_clock::now() + timeout;
    const char* failure = nullptr;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(queueMutex_);
            auto slice = std::min(deadline,
                                  std::chrono::steady_clock::now() + std::chrono::milliseconds(50));
            if (queueCv_.wait_until(lock, slice, [&] { return slot->done; })) {
                return slot->result;
            }
        }
        bool alive;
        {
            Guard guard(machine_.Lock());
            alive = FindWindow(handle) != nullptr;
        }
        if (!alive) {
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            failure = "a message sent from another thread was not handled in time";
            break;
        }
    }
    {
        // Take the message back if it is still queued, so that it never runs late.
        std::lock_guard<std::mutex> lock(queueMutex_);
        if (slot->done) {
            return slot->result;
        }
        for (auto it = queue_.begin(); it != queue_.end(); ++it) {
            if (it->slot == slot) {
                queue_.erase(it);
                break;
            }
        }
    }
    if (failure) {
        RecordError(failure);
    }
    machine_.SetLastError(win::kErrorInvalidWindowHandle);
    return 0;
}

bool SimUi::TakeMessage(std::thread::id thread, QueuedMessage* out) {
    std::lock_guard<std::mutex> lock(queueMutex_);
    // Sent messages are handled before posted ones, as GetMessage does.
    for (int pass = 0; pass < 2; ++pass) {
        for (auto it = queue_.begin(); it != queue_.end(); ++it) {
            if (it->thread == thread && ((pass == 0) == (it->slot != nullptr))) {
                *out = std::move(*it);
                queue_.erase(it);
                return true;
            }
        }
    }
    return false;
}

void SimUi::Dispatch(QueuedMessage& m) {
    intptr_t result = 0;
    if (m.call) {
        result = m.call();
    } else if (!m.slot && m.message == win::kWmKeyDown) {
        // A posted key goes through the dialog manager, as IsDialogMessage does.
        std::uintptr_t dialog = 0;
        {
            Guard guard(machine_.Lock());
            Window* w = FindWindow(m.window);
            dialog = w ? w->dialog : 0;
        }
        if (dialog) {
            UserKey(dialog, static_cast<uint32_t>(m.wParam));
        }
    } else {
        result = DeliverMessage(m.window, m.message, m.wParam, m.lParam);
    }
    if (m.slot) {
        std::lock_guard<std::mutex> lock(queueMutex_);
        m.slot->done = true;
        m.slot->result = result;
        queueCv_.notify_all();
    }
}

void SimUi::PumpPending(std::uintptr_t dialog) {
    QueuedMessage m;
    for (;;) {
        {
            Guard guard(machine_.Lock());
            DialogInfo* info = FindDialog(dialog);
            if (!info || info->ended) {
                return;
            }
        }
        if (!TakeMessage(std::this_thread::get_id(), &m)) {
            return;
        }
        Dispatch(m);
    }
}

void SimUi::DropMessagesOf(std::uintptr_t dialog) {
    std::vector<std::uintptr_t> handles;
    {
        Guard guard(machine_.Lock());
        for (auto& entry : windows_) {
            if (entry.second->dialog == dialog) {
                handles.push_back(entry.first);
            }
        }
    }
    std::lock_guard<std::mutex> lock(queueMutex_);
    for (auto it = queue_.begin(); it != queue_.end();) {
        if (std::find(handles.begin(), handles.end(), it->window) != handles.end()) {
            if (it->slot) {
                // SendMessage to a window destroyed meanwhile returns 0.
                it->slot->done = true;
                it->slot->result = 0;
            }
            it = queue_.erase(it);
        } else {
            ++it;
        }
    }
    queueCv_.notify_all();
}

// --- Messages ---

bool SimUi::CallProcedure(std::uintptr_t dialog, uint32_t message, uintptr_t wParam,
                          intptr_t lParam, intptr_t* result) {
    DialogProcedure* procedure = nullptr;
    {
        Guard guard(machine_.Lock());
        DialogInfo* info = FindDialog(dialog);
        if (!info) {
            return false;
        }
        procedure = info->procedure;
    }
    *result = 0;
    if (!procedure) {
        return false;
    }
    return procedure->HandleMessage(WindowHandle(dialog), message, wParam, lParam, result);
}

intptr_t SimUi::DeliverMessage(std::uintptr_t window, uint32_t message, uintptr_t wParam,
                               intptr_t lParam) {
    Kind kind;
    {
        Guard guard(machine_.Lock());
        Window* w = FindWindow(window);
        if (!w) {
            machine_.SetLastError(win::kErrorInvalidWindowHandle);
            return 0;
        }
        kind = w->kind;
    }
    if (kind == Kind::Dialog) {
        return DialogMessage(window, message, wParam, lParam);
    }
    return ControlMessage(window, message, wParam, lParam);
}

intptr_t SimUi::DialogMessage(std::uintptr_t dialog, uint32_t message, uintptr_t wParam,
                              intptr_t lParam) {
    intptr_t result = 0;
    if (CallProcedure(dialog, message, wParam, lParam, &result)) {
        bool colour = message == win::kWmCtlColorBtn || message == win::kWmCtlColorDlg ||
                      message == win::kWmCtlColorStatic || message == win::kWmCtlColorEdit ||
                      message == win::kWmCtlColorListBox;
        if (!colour || result != 0) {
            return result;
        }
    }
    return DefaultDialogMessage(dialog, message, wParam, lParam);
}

intptr_t SimUi::DefaultDialogMessage(std::uintptr_t dialog, uint32_t message, uintptr_t wParam,
                                     intptr_t lParam) {
    switch (message) {
        case win::kWmClose: {
            // The dialog manager turns a close request into a click of Cancel, unless the
            // Cancel button is disabled: then it only beeps.
            std::uintptr_t cancel = 0;
            {
                Guard guard(machine_.Lock());
                Window* c = FindChild(dialog, win::kIdCancel);
                if (c && !c->enabled) {
                    ++beeps_;
                    return 0;
                }
                cancel = c ? c->handle : 0;
            }
            PostMessage(WindowHandle(dialog), win::kWmCommand,
                        MakeWParam(win::kIdCancel, win::kBnClicked), static_cast<intptr_t>(cancel));
            return 0;
        }
        case win::kWmSysCommand:
            if ((wParam & 0xFFF0) == win::kScClose) {
                return DialogMessage(dialog, win::kWmClose, 0, 0);
            }
            return 0;
        case win::kWmCtlColorEdit:
        case win::kWmCtlColorListBox:
            return static_cast<intptr_t>(kWindowBrush);
        case win::kWmCtlColorBtn:
        case win::kWmCtlColorDlg:
        case win::kWmCtlColorStatic:
            return static_cast<intptr_t>(kFaceBrush);
        case win::kWmPaint:
            BeginPaint(WindowHandle(dialog));
            EndPaint(WindowHandle(dialog));
            return 0;
        case win::kWmEraseBkgnd: {
            DcHandle dc(static_cast<std::uintptr_t>(wParam));
            intptr_t brush = 0;
            bool handled = CallProcedure(dialog, win::kWmCtlColorDlg, wParam,
                                         static_cast<intptr_t>(dialog), &brush);
            Guard guard(machine_.Lock());
            DialogInfo* info = FindDialog(dialog);
            if (!info) {
                return 0;
            }
            ControlColorRecord c;
            c.paint = info->paint;
            c.templateId = info->templateId;
            c.control = WindowHandle(dialog);
            c.message = win::kWmCtlColorDlg;
            c.dc = dc;
            c.handled = handled;
            c.brush = BrushHandle(brush ? static_cast<std::uintptr_t>(brush) : kFaceBrush);
            c.transparent = dcs_.count(dc.value) ? dcs_[dc.value].transparent : false;
            colors_.push_back(c);
            Window* w = FindWindow(dialog);
            FillRecord f;
            f.paint = info->paint;
            f.dc = dc;
            f.window = WindowHandle(dialog);
            f.rect = Rect{0, 0, w->rect.right - w->rect.left - 2 * kFrame,
                          w->rect.bottom - w->rect.top - 2 * kFrame - kCaption};
            f.brush = c.brush;
            fills_.push_back(f);
            return 1;
        }
        case win::kWmIconEraseBkgnd:
            return 1;
        case win::kWmGetFont: {
            Guard guard(machine_.Lock());
            DialogInfo* info = FindDialog(dialog);
            return info ? static_cast<intptr_t>(info->font) : 0;
        }
        case win::kWmSetIcon: {
            Guard guard(machine_.Lock());
            DialogInfo* info = FindDialog(dialog);
            if (!info) {
                return 0;
            }
            std::uintptr_t& slot = wParam == win::kIconBig ? info->bigIcon : info->smallIcon;
            std::uintptr_t previous = slot;
            slot = static_cast<std::uintptr_t>(lParam);
            return static_cast<intptr_t>(previous);
        }
        case win::kWmSetText:
        case win::kWmGetText:
        case win::kWmGetTextLength:
            return ControlMessage(dialog, message, wParam, lParam);
        case win::kWmNextDlgCtl: {
            std::uintptr_t target = 0;
            {
                Guard guard(machine_.Lock());
                if (lParam) {
                    Window* w = FindWindow(static_cast<std::uintptr_t>(wParam));
                    target = w && w->dialog == dialog && w->handle != dialog ? w->handle : 0;
                } else {
                    std::uintptr_t from = focus_;
                    Window* f = FindWindow(from);
                    if (!f || f->dialog != dialog) {
                        from = 0;
                    }
                    target = NextTabItem(dialog, from, wParam != 0);
                }
            }
            if (target) {
                DialogSetFocus(target);
            }
            return 0;
        }
        case win::kDmGetDefId: {
            Guard guard(machine_.Lock());
            DialogInfo* info = FindDialog(dialog);
            if (!info || info->ended) {
                return 0;
            }
            return static_cast<intptr_t>(MakeWParam(info->defId, win::kDcHasDefId));
        }
        case win::kDmSetDefId: {
            Guard guard(machine_.Lock());
            DialogInfo* info = FindDialog(dialog);
            if (info && !info->ended) {
                info->defId = static_cast<int>(wParam);
            }
            return 1;
        }
        default:
            return 0;
    }
}

void SimUi::Notify(std::uintptr_t control, uint32_t code) {
    std::uintptr_t dialog = 0;
    int id = 0;
    {
        Guard guard(machine_.Lock());
        Window* w = FindWindow(control);
        if (!w || w->dialog == control) {
            return;
        }
        dialog = w->dialog;
        id = w->id;
    }
    DialogMessage(dialog, win::kWmCommand, MakeWParam(id, code), static_cast<intptr_t>(control));
}

// --- Dialog creation and the modal loop ---

std::uintptr_t SimUi::CreateDialogWindows(int templateId, DialogProcedure* procedure) {
    Guard guard(machine_.Lock());
    if (!resources_) {
        errors_.push_back("DialogBox(" + std::to_string(templateId) +
                          ") without resources (SetResources was not called)");
        machine_.SetLastError(win::kErrorResourceNameNotFound);
        return 0;
    }
    if (templateId <= 0 || templateId > 0xFFFF) {
        machine_.SetLastError(win::kErrorResourceNameNotFound);
        return 0;
    }
    uint16_t uiLanguage = machine_.system().GetUserDefaultUILanguage();
    const ResEntry* entry =
        resources_->FindForUiLanguage(kRtDialog, static_cast<uint16_t>(templateId), uiLanguage);
    if (!entry) {
        machine_.SetLastError(win::kErrorResourceNameNotFound);
        return 0;
    }
    DialogTemplate t;
    std::string error;
    if (!ParseDialogTemplate(entry->data.data(), entry->data.size(), &t, &error)) {
        errors_.push_back("dialog template " + std::to_string(templateId) + ": " + error);
        machine_.SetLastError(win::kErrorInvalidData);
        return 0;
    }

    auto dialogWindow = std::make_unique<Window>();
    Window& d = *dialogWindow;
    d.handle = machine_.NewHandleValue();
    d.dialog = d.handle;
    d.kind = Kind::Dialog;
    d.className = L"#32770";
    d.style = t.style;
    d.exStyle = t.exStyle;
    d.text = t.title;
    d.visible = true;
    int clientWidth = MulDiv(t.cx, 6, 4);
    int clientHeight = MulDiv(t.cy, 13, 8);
    int width = clientWidth + 2 * kFrame;
    int height = clientHeight + 2 * kFrame + kCaption;
    int left = MulDiv(t.x, 6, 4);
    int top = MulDiv(t.y, 13, 8);
    if (t.style & win::kDsCenter) {
        left = (kScreenWidth - width) / 2;
        top = (kScreenHeight - height) / 2;
    }
    d.rect = Rect{left, top, left + width, top + height};

    auto info = std::make_unique<DialogInfo>();
    info->handle = d.handle;
    info->templateId = templateId;
    info->language = entry->language;
    info->procedure = procedure;
    info->thread = std::this_thread::get_id();
    info->defId = win::kIdOk;
    if (t.hasFont) {
        // The font the dialog manager makes for the template: its size at 96 dots per
        // inch, weight, italic and face, any character set, proof quality, the default
        // precisions, pitch and family.
        FontDescription font;
        font.height = -MulDiv(t.pointSize, 96, 72);
        font.weight = t.weight;
        font.italic = t.italic;
        font.charSet = win::kDefaultCharset;
        font.quality = win::kProofQuality;
        font.faceName = t.typeface.substr(0, win::kLfFaceSize - 1);
        info->font = machine_.NewHandleValue();
        fonts_[info->font] = font;
    }
    d.font = info->font;

    std::vector<std::unique_ptr<Window>> children;
    for (const DialogItem& item : t.items) {
        auto child = std::make_unique<Window>();
        Window& c = *child;
        c.className = item.className;
        for (const wchar_t* known : kKnownClasses) {
            if (base::EqualsNoCase(item.className, known)) {
                c.className = known;
            }
        }
        if (c.className == L"Button") {
            c.kind = Kind::Button;
        } else if (c.className == L"Edit") {
            c.kind = Kind::Edit;
        } else if (c.className == L"Static") {
            c.kind = Kind::Static;
        } else if (c.className == L"ListBox") {
            c.kind = Kind::ListBox;
        } else if (c.className == L"RichEdit20W") {
            c.kind = Kind::RichEdit;
        } else if (c.className == L"msctls_progress32") {
            c.kind = Kind::Progress;
        } else {
            // CreateWindowEx fails for a class nobody registered, and so does the dialog.
            errors_.push_back("dialog template " + std::to_string(templateId) +
                              ": unknown window class " + Narrow(item.className));
            if (fonts_.count(info->font)) {
                fonts_.erase(info->font);
            }
            return 0;
        }
        c.handle = machine_.NewHandleValue();
        c.dialog = d.handle;
        c.id = item.SignedId();
        c.style = item.style;
        c.exStyle = item.exStyle;
        if (item.titleIsOrdinal) {
            c.bitmapId = item.titleOrdinal;
        } else {
            c.text = item.title;
        }
        int x = MulDiv(item.x, 6, 4);
        int y = MulDiv(item.y, 13, 8);
        c.rect = Rect{x, y, x + MulDiv(item.cx, 6, 4), y + MulDiv(item.cy, 13, 8)};
        c.enabled = (item.style & win::kWsDisabled) == 0;
        c.visible = (item.style & win::kWsVisible) != 0;
        c.font = info->font;
        if (c.kind == Kind::Button && (item.style & win::kBsTypeMask) == win::kBsDefPushButton) {
            info->defId = c.id;
        }
        info->children.push_back(c.handle);
        children.push_back(std::move(child));
    }

    std::uintptr_t handle = d.handle;
    windows_[handle] = std::move(dialogWindow);
    for (auto& child : children) {
        std::uintptr_t h = child->handle;
        windows_[h] = std::move(child);
    }
    PageRecord page;
    page.templateId = templateId;
    page.language = info->language;
    page.dialog = WindowHandle(handle);
    pages_.push_back(page);
    info->pageRecord = pages_.size() - 1;
    dialogs_[handle] = std::move(info);
    return handle;
}

void SimUi::DestroyDialog(std::uintptr_t dialog) {
    {
        Guard guard(machine_.Lock());
        DialogInfo* info = FindDialog(dialog);
        if (!info) {
            return;
        }
        info->destroyed = true;
        modalStack_.erase(std::remove(modalStack_.begin(), modalStack_.end(), dialog),
                          modalStack_.end());
    }
    DropMessagesOf(dialog);
    Guard guard(machine_.Lock());
    auto it = dialogs_.find(dialog);
    std::uintptr_t font = it->second->font;
    for (std::uintptr_t child : it->second->children) {
        if (focus_ == child) {
            focus_ = 0;
        }
        windows_.erase(child);
        paintDcs_.erase(child);
    }
    if (focus_ == dialog) {
        focus_ = 0;
    }
    windows_.erase(dialog);
    paintDcs_.erase(dialog);
    // The dialog manager deletes the font it created from the template.
    fonts_.erase(font);
    dialogs_.erase(it);
}

void SimUi::SnapshotPage(std::uintptr_t dialog, bool atEnd) {
    Guard guard(machine_.Lock());
    DialogInfo* info = FindDialog(dialog);
    Window* d = FindWindow(dialog);
    if (!info || !d) {
        return;
    }
    PageRecord& page = pages_[info->pageRecord];
    std::vector<ControlState> states;
    for (std::uintptr_t child : info->children) {
        Window* w = FindWindow(child);
        if (!w) {
            continue;
        }
        ControlState s;
        s.id = w->id;
        s.className = w->className;
        s.text = w->text;
        s.enabled = w->enabled;
        s.visible = w->visible;
        s.check = w->check;
        states.push_back(s);
    }
    if (atEnd) {
        page.captionAtEnd = d->text;
        page.atEnd = std::move(states);
    } else {
        page.caption = d->text;
        page.atIdle = std::move(states);
        page.reachedIdle = true;
    }
}

intptr_t SimUi::DialogBox(int templateId, DialogProcedure* procedure) {
    std::uintptr_t dialog = CreateDialogWindows(templateId, procedure);
    if (!dialog) {
        return -1;
    }
    std::uintptr_t font = 0;
    {
        Guard guard(machine_.Lock());
        modalStack_.push_back(dialog);
        font = dialogs_[dialog]->font;
    }
    intptr_t ignored = 0;
    if (font) {
        CallProcedure(dialog, win::kWmSetFont, static_cast<uintptr_t>(font), 0, &ignored);
    }
    // The control the dialog manager focuses: the first tab stop; in a dialog without one,
    // the first visible, enabled control of the first group.
    auto firstFocus = [this, dialog]() -> std::uintptr_t {
        std::uintptr_t tab = NextTabItem(dialog, 0);
        DialogInfo* info = FindDialog(dialog);
        if (tab || !info) {
            return tab;
        }
        for (size_t i = 0; i < info->children.size(); ++i) {
            Window* w = FindWindow(info->children[i]);
            if (!w || (i > 0 && (w->style & win::kWsGroup))) {
                break;
            }
            if (w->visible && w->enabled) {
                return w->handle;
            }
        }
        return 0;
    };
    std::uintptr_t firstTab = 0;
    {
        Guard guard(machine_.Lock());
        firstTab = firstFocus();
    }
    intptr_t init = 0;
    if (!CallProcedure(dialog, win::kWmInitDialog, static_cast<uintptr_t>(firstTab), 0, &init)) {
        init = 0;
    }
    bool ended = false;
    {
        Guard guard(machine_.Lock());
        DialogInfo* info = FindDialog(dialog);
        ended = !info || info->ended;
        if (!ended && init) {
            // A nonzero answer asks the dialog manager to put the focus on the first tab
            // stop (found again: the procedure may have changed the controls).
            firstTab = firstFocus();
        }
    }
    if (!ended && init) {
        if (firstTab) {
            DialogSetFocus(firstTab);
        } else {
            SetFocus(WindowHandle(dialog));
        }
    }
    if (!ended) {
        PaintDialog(dialog);
    }

    bool idleSeen = false;
    bool scriptRan = false;
    const std::thread::id self = std::this_thread::get_id();
    for (;;) {
        std::chrono::milliseconds timeout;
        int id = 0;
        {
            Guard guard(machine_.Lock());
            DialogInfo* info = FindDialog(dialog);
            if (!info || info->ended) {
                break;
            }
            timeout = idleTimeout_;
            id = info->templateId;
        }
        QueuedMessage m;
        if (TakeMessage(self, &m)) {
            Dispatch(m);
            continue;
        }
        if (!idleSeen) {
            idleSeen = true;
            SnapshotPage(dialog, false);
        }
        if (!scriptRan) {
            scriptRan = true;
            ScriptedUser::PageScript script;
            {
                Guard guard(machine_.Lock());
                auto it = user_.scripts_.find(id);
                if (it != user_.scripts_.end() && !it->second.empty()) {
                    script = std::move(it->second.front());
                    it->second.pop_front();
                }
            }
            if (script) {
                PageDriver driver(*this, WindowHandle(dialog), id);
                script(driver);
                continue;
            }
        }
        // Idle with nothing left to do: wait for another thread's messages.
        bool got = false;
        {
            std::unique_lock<std::mutex> lock(queueMutex_);
            got = queueCv_.wait_for(lock, timeout, [&] {
                for (const QueuedMessage& q : queue_) {
                    if (q.thread == self) {
                        return true;
                    }
                }
                return false;
            });
        }
        if (!got) {
            Guard guard(machine_.Lock());
            DialogInfo* info = FindDialog(dialog);
            if (info && !info->ended) {
                errors_.push_back("page " + std::to_string(id) + " waited with no script");
                info->ended = true;
                info->result = -1;
            }
        }
    }

    SnapshotPage(dialog, true);
    intptr_t result = -1;
    {
        Guard guard(machine_.Lock());
        DialogInfo* info = FindDialog(dialog);
        if (info) {
            result = info->result;
            pages_[info->pageRecord].ended = true;
            pages_[info->pageRecord].result = result;
        }
    }
    DestroyDialog(dialog);
    return result;
}

bool SimUi::EndDialog(WindowHandle dialog, intptr_t result) {
    {
        Guard guard(machine_.Lock());
        DialogInfo* info = FindDialog(dialog.value);
        if (!info) {
            machine_.SetLastError(win::kErrorInvalidWindowHandle);
            return false;
        }
        info->ended = true;
        info->result = result;
        endDialogs_.push_back(EndDialogRecord{dialog, info->templateId, result});
        // The focus goes back to the dialog itself.
        Window* f = FindWindow(focus_);
        if (f && f->dialog == dialog.value) {
            focus_ = dialog.value;
        }
    }
    // Wakes the modal loop, which ends after the current message.
    PostMessage(dialog, win::kWmNull, 0, 0);
    return true;
}

// --- Painting ---

void SimUi::PaintDialog(std::uintptr_t dialog) {
    size_t index = 0;
    bool iconic = false;
    std::vector<std::uintptr_t> children;
    {
        Guard guard(machine_.Lock());
        DialogInfo* info = FindDialog(dialog);
        if (!info) {
            return;
        }
        iconic = info->iconic;
        PaintRecord p;
        p.templateId = info->templateId;
        p.dialog = WindowHandle(dialog);
        p.iconic = iconic;
        paints_.push_back(p);
        index = paints_.size() - 1;
        info->paint = static_cast<int>(index);
        info->erasePending = !iconic;
        children = info->children;
    }
    intptr_t result = 0;
    bool handled = CallProcedure(dialog, win::kWmPaint, 0, 0, &result);
    if (!handled) {
        DefaultDialogMessage(dialog, win::kWmPaint, 0, 0);
    }
    {
        Guard guard(machine_.Lock());
        paints_[index].handled = handled;
        auto open = paintDcs_.find(dialog);
        if (open != paintDcs_.end()) {
            errors_.push_back("WM_PAINT without EndPaint");
            paintDcs_.erase(open);
        }
    }
    if (!iconic) {
        // Each visible control paints itself and asks its parent for its colours.
        for (std::uintptr_t child : children) {
            uint32_t message = 0;
            int templateId = 0, id = 0;
            DcHandle dc;
            {
                Guard guard(machine_.Lock());
                Window* w = FindWindow(child);
                DialogInfo* info = FindDialog(dialog);
                if (!w || !info || !w->visible) {
                    continue;
                }
                templateId = info->templateId;
                id = w->id;
                uint32_t type = w->style & win::kBsTypeMask;
                switch (w->kind) {
                    case Kind::Button:
                        message = (type == win::kBsPushButton || type == win::kBsDefPushButton)
                                      ? win::kWmCtlColorBtn
                                      : win::kWmCtlColorStatic;
                        break;
                    case Kind::Static:
                        message = (w->style & win::kSsTypeMask) == win::kSsEtchedHorz
                                      ? 0
                                      : win::kWmCtlColorStatic;
                        break;
                    case Kind::Edit:
                        message = (!w->enabled || (w->style & win::kEsReadOnly))
                                      ? win::kWmCtlColorStatic
                                      : win::kWmCtlColorEdit;
                        break;
                    case Kind::ListBox:
                        message = win::kWmCtlColorListBox;
                        break;
                    default:
                        message = 0;  // rich edits and progress bars use their own colours
                        break;
                }
                if (!message) {
                    continue;
                }
                dc = DcHandle(machine_.NewHandleValue());
                DcRecord r;
                r.dc = dc;
                r.window = WindowHandle(child);
                r.paint = static_cast<int>(index);
                dcs_[dc.value] = r;
            }
            intptr_t brush = 0;
            bool answered = CallProcedure(dialog, message, static_cast<uintptr_t>(dc.value),
                                          static_cast<intptr_t>(child), &brush);
            Guard guard(machine_.Lock());
            ControlColorRecord c;
            c.paint = static_cast<int>(index);
            c.templateId = templateId;
            c.controlId = id;
            c.control = WindowHandle(child);
            c.message = message;
            c.dc = dc;
            c.handled = answered;
            if (!answered || brush == 0) {
                brush = static_cast<intptr_t>(message == win::kWmCtlColorEdit ||
                                                      message == win::kWmCtlColorListBox
                                                  ? kWindowBrush
                                                  : kFaceBrush);
            }
            c.brush = BrushHandle(static_cast<std::uintptr_t>(brush));
            c.transparent = dcs_[dc.value].transparent;
            colors_.push_back(c);
        }
    }
    Guard guard(machine_.Lock());
    DialogInfo* info = FindDialog(dialog);
    if (info) {
        info->paint = -1;
        info->erasePending = false;
    }
}

void SimUi::SetIconic(std::uintptr_t dialog, bool iconic) {
    {
        Guard guard(machine_.Lock());
        DialogInfo* info = FindDialog(dialog);
        if (!info) {
            return;
        }
        info->iconic = iconic;
    }
    PaintDialog(dialog);
}

// --- platform::Ui: windows ---

bool SimUi::InitCommonControls(uint32_t size, uint32_t classes) {
    Guard guard(machine_.Lock());
    commonControls_.push_back(CommonControlsRecord{size, classes});
    if (size != win::kInitCommonControlsExSize) {
        machine_.SetLastError(win::kErrorInvalidParameter);
        return false;
    }
    return true;
}

WindowHandle SimUi::GetDlgItem(WindowHandle dialog, int id) {
    Guard guard(machine_.Lock());
    if (!FindWindow(dialog)) {
        machine_.SetLastError(win::kErrorInvalidWindowHandle);
        return WindowHandle();
    }
    Window* w = FindChild(dialog.value, id);
    if (!w) {
        machine_.SetLastError(win::kErrorControlIdNotFound);
        return WindowHandle();
    }
    return WindowHandle(w->handle);
}

int SimUi::GetDlgCtrlID(WindowHandle window) {
    Guard guard(machine_.Lock());
    Window* w = FindWindow(window);
    if (!w) {
        machine_.SetLastError(win::kErrorInvalidWindowHandle);
        return 0;
    }
    return w->kind == Kind::Dialog ? 0 : w->id;
}

WindowHandle SimUi::GetWindow(WindowHandle window, WindowRelation relation) {
    Guard guard(machine_.Lock());
    Window* w = FindWindow(window);
    if (!w) {
        machine_.SetLastError(win::kErrorInvalidWindowHandle);
        return WindowHandle();
    }
    DialogInfo* info = FindDialog(w->dialog);
    if (!info) {
        return WindowHandle();
    }
    if (relation == WindowRelation::FirstChild) {
        if (w->kind != Kind::Dialog || info->children.empty()) {
            return WindowHandle();
        }
        return WindowHandle(info->children.front());
    }
    if (w->kind == Kind::Dialog) {
        return WindowHandle();
    }
    auto it = std::find(info->children.begin(), info->children.end(), w->handle);
    if (it == info->children.end() || ++it == info->children.end()) {
        return WindowHandle();
    }
    return WindowHandle(*it);
}

WindowHandle SimUi::GetParent(WindowHandle window) {
    Guard guard(machine_.Lock());
    Window* w = FindWindow(window);
    if (!w) {
        machine_.SetLastError(win::kErrorInvalidWindowHandle);
        return WindowHandle();
    }
    return w->kind == Kind::Dialog ? WindowHandle() : WindowHandle(w->dialog);
}

std::wstring SimUi::GetClassName(WindowHandle window, int bufferChars) {
    Guard guard(machine_.Lock());
    Window* w = FindWindow(window);
    if (!w) {
        machine_.SetLastError(win::kErrorInvalidWindowHandle);
        return std::wstring();
    }
    if (bufferChars <= 0) {
        machine_.SetLastError(win::kErrorInsufficientBuffer);
        return std::wstring();
    }
    return w->className.substr(0, static_cast<size_t>(bufferChars - 1));
}

std::wstring SimUi::GetWindowText(WindowHandle window) {
    Guard guard(machine_.Lock());
    Window* w = FindWindow(window);
    if (!w) {
        machine_.SetLastError(win::kErrorInvalidWindowHandle);
        return std::wstring();
    }
    return w->text;
}

bool SimUi::SetWindowText(WindowHandle window, const std::wstring& text) {
    {
        Guard guard(machine_.Lock());
        if (!FindWindow(window)) {
            machine_.SetLastError(win::kErrorInvalidWindowHandle);
            return false;
        }
    }
    std::wstring copy = text;
    return SendMessage(window, win::kWmSetText, 0, reinterpret_cast<intptr_t>(copy.c_str())) != 0;
}

bool SimUi::EnableWindow(WindowHandle window, bool enable) {
    {
        Guard guard(machine_.Lock());
        if (!FindWindow(window)) {
            machine_.SetLastError(win::kErrorInvalidWindowHandle);
            return false;
        }
    }
    // The result is the previous state: nonzero when the window was disabled.
    return CallOnWindowThread(window.value, [this, window, enable]() -> intptr_t {
               Guard guard(machine_.Lock());
               Window* w = FindWindow(window);
               if (!w) {
                   return 0;
               }
               bool wasDisabled = !w->enabled;
               w->enabled = enable;
               if (enable) {
                   w->style &= ~win::kWsDisabled;
               } else {
                   w->style |= win::kWsDisabled;
                   // A disabled window cannot keep the focus.
                   if (focus_ == w->handle) {
                       focus_ = 0;
                   }
               }
               return wasDisabled ? 1 : 0;
           }) != 0;
}

bool SimUi::IsWindowEnabled(WindowHandle window) {
    Guard guard(machine_.Lock());
    Window* w = FindWindow(window);
    if (!w) {
        machine_.SetLastError(win::kErrorInvalidWindowHandle);
        return false;
    }
    return w->enabled;
}

bool SimUi::IsIconic(WindowHandle window) {
    Guard guard(machine_.Lock());
    Window* w = FindWindow(window);
    if (!w) {
        machine_.SetLastError(win::kErrorInvalidWindowHandle);
        return false;
    }
    DialogInfo* info = w->kind == Kind::Dialog ? FindDialog(w->handle) : nullptr;
    return info && info->iconic;
}

WindowHandle SimUi::SetFocus(WindowHandle window) {
    Guard guard(machine_.Lock());
    std::uintptr_t previous =
        focusThread_ == std::this_thread::get_id() && FindWindow(focus_) ? focus_ : 0;
    if (window.value && !FindWindow(window)) {
        machine_.SetLastError(win::kErrorInvalidWindowHandle);
        return WindowHandle();
    }
    focus_ = window.value;
    focusThread_ = std::this_thread::get_id();
    return WindowHandle(previous);
}

WindowHandle SimUi::GetFocus() {
    Guard guard(machine_.Lock());
    // The focus belongs to the thread whose window has it.
    if (focusThread_ != std::this_thread::get_id() || !FindWindow(focus_)) {
        return WindowHandle();
    }
    return WindowHandle(focus_);
}

bool SimUi::GetWindowRect(WindowHandle window, Rect* rect) {
    Guard guard(machine_.Lock());
    Window* w = FindWindow(window);
    if (!w || !rect) {
        machine_.SetLastError(w ? win::kErrorInvalidParameter : win::kErrorInvalidWindowHandle);
        return false;
    }
    if (w->kind == Kind::Dialog) {
        *rect = w->rect;
        return true;
    }
    Window* d = FindWindow(w->dialog);
    int ox = d->rect.left + kFrame;
    int oy = d->rect.top + kFrame + kCaption;
    *rect = Rect{w->rect.left + ox, w->rect.top + oy, w->rect.right + ox, w->rect.bottom + oy};
    return true;
}

bool SimUi::GetClientRect(WindowHandle window, Rect* rect) {
    Guard guard(machine_.Lock());
    Window* w = FindWindow(window);
    if (!w || !rect) {
        machine_.SetLastError(w ? win::kErrorInvalidParameter : win::kErrorInvalidWindowHandle);
        return false;
    }
    int width = w->rect.right - w->rect.left;
    int height = w->rect.bottom - w->rect.top;
    if (w->kind == Kind::Dialog) {
        width -= 2 * kFrame;
        height -= 2 * kFrame + kCaption;
    } else if ((w->style & win::kWsBorder) || (w->exStyle & win::kWsExClientEdge)) {
        width = std::max(0, width - 4);
        height = std::max(0, height - 4);
    }
    *rect = Rect{0, 0, width, height};
    return true;
}

bool SimUi::ScreenToClient(WindowHandle window, Rect* rect) {
    Rect windowRect;
    if (!rect || !GetWindowRect(window, &windowRect)) {
        return false;
    }
    Guard guard(machine_.Lock());
    Window* w = FindWindow(window);
    int ox = windowRect.left;
    int oy = windowRect.top;
    if (w->kind == Kind::Dialog) {
        ox += kFrame;
        oy += kFrame + kCaption;
    } else if ((w->style & win::kWsBorder) || (w->exStyle & win::kWsExClientEdge)) {
        ox += 2;
        oy += 2;
    }
    rect->left -= ox;
    rect->right -= ox;
    rect->top -= oy;
    rect->bottom -= oy;
    return true;
}

intptr_t SimUi::SendMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                            intptr_t lParam) {
    {
        Guard guard(machine_.Lock());
        if (!FindWindow(window)) {
            machine_.SetLastError(win::kErrorInvalidWindowHandle);
            return 0;
        }
    }
    std::uintptr_t handle = window.value;
    return CallOnWindowThread(handle, [this, handle, message, wParam, lParam]() {
        return DeliverMessage(handle, message, wParam, lParam);
    });
}

bool SimUi::PostMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    QueuedMessage m;
    {
        Guard guard(machine_.Lock());
        Window* w = FindWindow(window);
        DialogInfo* info = w ? FindDialog(w->dialog) : nullptr;
        if (!info) {
            machine_.SetLastError(win::kErrorInvalidWindowHandle);
            return false;
        }
        m.thread = info->thread;
    }
    m.window = window.value;
    m.message = message;
    m.wParam = wParam;
    m.lParam = lParam;
    std::lock_guard<std::mutex> lock(queueMutex_);
    queue_.push_back(std::move(m));
    queueCv_.notify_all();
    return true;
}

// --- Message boxes and resources ---

int SimUi::MessageBox(WindowHandle owner, const std::wstring& text, const std::wstring& caption,
                      uint32_t flags) {
    Guard guard(machine_.Lock());
    MessageBoxRecord r;
    r.owner = owner;
    Window* w = FindWindow(owner);
    if (owner.value && !w) {
        machine_.SetLastError(win::kErrorInvalidWindowHandle);
        return 0;
    }
    if (w) {
        DialogInfo* info = FindDialog(w->dialog);
        r.ownerTemplateId = info ? info->templateId : 0;
    }
    r.text = text;
    r.caption = caption;
    r.flags = flags;
    std::vector<int> buttons;
    switch (flags & win::kMbTypeMask) {
        case win::kMbOk:
            buttons = {win::kIdOk};
            break;
        case win::kMbOkCancel:
            buttons = {win::kIdOk, win::kIdCancel};
            break;
        case win::kMbAbortRetryIgnore:
            buttons = {win::kIdAbort, win::kIdRetry, win::kIdIgnore};
            break;
        case win::kMbYesNoCancel:
            buttons = {win::kIdYes, win::kIdNo, win::kIdCancel};
            break;
        case win::kMbYesNo:
            buttons = {win::kIdYes, win::kIdNo};
            break;
        case win::kMbRetryCancel:
            buttons = {win::kIdRetry, win::kIdCancel};
            break;
        default:
            buttons = {win::kIdOk};
            break;
    }
    // What closing the box without a choice gives: Cancel where there is one, No for a
    // Yes/No box.
    int fallback = (flags & win::kMbTypeMask) == win::kMbYesNo ? win::kIdNo : win::kIdCancel;
    std::string what = "message box \"" + Narrow(text) + "\"";
    if (!user_.answers_.empty()) {
        int answer = user_.answers_.front();
        user_.answers_.pop_front();
        if (answer == 0) {
            r.answer = 0;
            r.queuedAnswer = true;
            boxes_.push_back(r);
            machine_.SetLastError(win::kErrorNotEnoughMemory);
            return 0;
        }
        if (std::find(buttons.begin(), buttons.end(), answer) != buttons.end()) {
            r.answer = answer;
            r.queuedAnswer = true;
        } else {
            errors_.push_back(what + ": the queued answer " + std::to_string(answer) +
                              " is not one of its buttons");
            r.answer = fallback;
        }
    } else if (buttons.size() == 1 && buttons[0] == win::kIdOk) {
        r.answer = win::kIdOk;
    } else {
        errors_.push_back(what + " had no answer");
        r.answer = fallback;
    }
    boxes_.push_back(r);
    return r.answer;
}

std::wstring SimUi::LoadString(int id) {
    Guard guard(machine_.Lock());
    std::wstring text;
    if (!resources_ || id < 0 ||
        !resources_->LoadString(static_cast<uint32_t>(id),
                                machine_.system().GetUserDefaultUILanguage(), &text)) {
        machine_.SetLastError(win::kErrorResourceNameNotFound);
        return std::wstring();
    }
    return text;
}

IconHandle SimUi::LoadIcon(int id) {
    Guard guard(machine_.Lock());
    if (!resources_ || id <= 0 || id > 0xFFFF) {
        machine_.SetLastError(win::kErrorResourceNameNotFound);
        return IconHandle();
    }
    auto it = icons_.find(id);
    if (it != icons_.end()) {
        return IconHandle(it->second);  // a shared icon: the same handle every time
    }
    if (!resources_->FindForUiLanguage(kRtGroupIcon, static_cast<uint16_t>(id),
                                       machine_.system().GetUserDefaultUILanguage())) {
        machine_.SetLastError(win::kErrorResourceNameNotFound);
        return IconHandle();
    }
    std::uintptr_t handle = machine_.NewHandleValue();
    icons_[id] = handle;
    return IconHandle(handle);
}

// --- GDI ---

FontHandle SimUi::GetFont(WindowHandle window) {
    Guard guard(machine_.Lock());
    Window* w = FindWindow(window);
    if (!w) {
        machine_.SetLastError(win::kErrorInvalidWindowHandle);
        return FontHandle();
    }
    return FontHandle(w->font);
}

bool SimUi::GetFontDescription(FontHandle font, FontDescription* description) {
    Guard guard(machine_.Lock());
    auto it = fonts_.find(font.value);
    if (it == fonts_.end() || !description) {
        machine_.SetLastError(win::kErrorInvalidHandle);
        return false;
    }
    *description = it->second;
    return true;
}

FontHandle SimUi::CreateFont(const FontDescription& description) {
    Guard guard(machine_.Lock());
    std::uintptr_t handle = machine_.NewHandleValue();
    FontDescription& font = fonts_[handle];
    font = description;
    font.faceName = description.faceName.substr(0, win::kLfFaceSize - 1);  // as CreateFontW
    createdFonts_[handle] = true;
    return FontHandle(handle);
}

bool SimUi::DeleteFont(FontHandle font) {
    Guard guard(machine_.Lock());
    auto it = createdFonts_.find(font.value);
    if (it == createdFonts_.end()) {
        machine_.SetLastError(win::kErrorInvalidHandle);
        return false;
    }
    createdFonts_.erase(it);
    fonts_.erase(font.value);
    return true;
}

void SimUi::SetFont(WindowHandle window, FontHandle font, bool redraw) {
    SendMessage(window, win::kWmSetFont, static_cast<uintptr_t>(font.value), redraw ? 1 : 0);
}

BrushHandle SimUi::GetStockBrush(StockBrush brush) {
    return BrushHandle(brush == StockBrush::White ? kWhiteBrush : kHollowBrush);
}

DcHandle SimUi::BeginPaint(WindowHandle window) {
    bool erase = false;
    std::uintptr_t dialog = 0;
    DcHandle dc;
    {
        Guard guard(machine_.Lock());
        Window* w = FindWindow(window);
        if (!w) {
            machine_.SetLastError(win::kErrorInvalidWindowHandle);
            return DcHandle();
        }
        DialogInfo* info = FindDialog(w->dialog);
        dc = DcHandle(machine_.NewHandleValue());
        DcRecord r;
        r.dc = dc;
        r.window = window;
        r.paint = info ? info->paint : -1;
        dcs_[dc.value] = r;
        paintDcs_[window.value] = dc.value;
        if (info && w->kind == Kind::Dialog && info->erasePending) {
            info->erasePending = false;
            erase = true;
            dialog = w->handle;
        }
    }
    if (erase) {
        // BeginPaint erases the background first (WM_ERASEBKGND).
        DialogMessage(dialog, win::kWmEraseBkgnd, static_cast<uintptr_t>(dc.value), 0);
    }
    return dc;
}

void SimUi::EndPaint(WindowHandle window) {
    Guard guard(machine_.Lock());
    auto it = paintDcs_.find(window.value);
    if (it == paintDcs_.end()) {
        return;
    }
    dcs_[it->second].ended = true;
    paintDcs_.erase(it);
}

bool SimUi::FillRect(DcHandle dc, const Rect& rect, Color color) {
    Guard guard(machine_.Lock());
    auto it = dcs_.find(dc.value);
    if (it == dcs_.end()) {
        machine_.SetLastError(win::kErrorInvalidHandle);
        return false;
    }
    FillRecord f;
    f.paint = it->second.paint;
    f.dc = dc;
    f.window = it->second.window;
    Window* w = FindWindow(f.window);
    f.controlId = w && w->kind != Kind::Dialog ? w->id : 0;
    f.rect = rect;
    f.color = color;
    fills_.push_back(f);
    return true;
}

void SimUi::SetTransparentBackground(DcHandle dc) {
    Guard guard(machine_.Lock());
    auto it = dcs_.find(dc.value);
    if (it != dcs_.end()) {
        it->second.transparent = true;
    }
}

bool SimUi::DrawIcon(DcHandle dc, int x, int y, IconHandle icon) {
    Guard guard(machine_.Lock());
    bool known = false;
    for (auto& entry : icons_) {
        known = known || entry.second == icon.value;
    }
    if (!dcs_.count(dc.value) || !known) {
        machine_.SetLastError(win::kErrorInvalidHandle);
        return false;
    }
    iconDraws_.push_back(IconDrawRecord{dc, x, y, icon});
    return true;
}

int SimUi::GetSystemMetrics(int index) {
    switch (index) {
        case win::kSmCxIcon:
        case win::kSmCyIcon:
            return 32;
        case win::kSmCxScreen:
            return kScreenWidth;
        case win::kSmCyScreen:
            return kScreenHeight;
        default:
            return 0;
    }
}

}  // namespace sim
