// The simulated controls (buttons, edits, statics, list boxes, rich edits, progress bars),
// the user's input through the dialog manager, and the scripted user's page driver.
#include <algorithm>
#include <climits>
#include <cstring>

#include "base/Text.h"
#include "platform/WinConst.h"
#include "sim/Machine.h"

namespace sim {

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

uintptr_t MakeWParam(int low, uint32_t high) {
    return static_cast<uintptr_t>((static_cast<uint32_t>(low) & 0xFFFFu) | (high << 16));
}

const intptr_t kLbErr = static_cast<intptr_t>(static_cast<int32_t>(win::kLbErr));

// Copies |text| into a WM_GETTEXT / LB_GETTEXT buffer of |chars| characters (terminator
// included); returns the characters copied.
intptr_t CopyText(const std::wstring& text, uintptr_t chars, intptr_t buffer) {
    wchar_t* out = reinterpret_cast<wchar_t*>(buffer);
    if (!out || chars == 0) {
        return 0;
    }
    size_t n = std::min(text.size(), static_cast<size_t>(chars - 1));
    std::copy(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n), out);
    out[n] = L'\0';
    return static_cast<intptr_t>(n);
}

std::wstring TextFrom(intptr_t lParam) {
    const wchar_t* p = reinterpret_cast<const wchar_t*>(lParam);
    return p ? std::wstring(p) : std::wstring();
}

// Case-insensitive order of the list box (LBS_SORT).
int CompareNoCase(const std::wstring& a, const std::wstring& b) {
    std::wstring la = base::ToLower(a), lb = base::ToLower(b);
    return la.compare(lb);
}

bool IsPushButton(uint32_t style) {
    uint32_t type = style & win::kBsTypeMask;
    return type == win::kBsPushButton || type == win::kBsDefPushButton;
}

}  // namespace

std::uintptr_t SimUi::NextTabItem(std::uintptr_t dialog, std::uintptr_t from, bool previous) {
    DialogInfo* info = FindDialog(dialog);
    if (!info || info->children.empty()) {
        return 0;
    }
    const auto& list = info->children;
    size_t n = list.size();
    auto it = std::find(list.begin(), list.end(), from);
    size_t start;
    if (it == list.end()) {
        start = previous ? 0 : n - 1;  // the first step lands on the first or last control
    } else {
        start = static_cast<size_t>(it - list.begin());
    }
    for (size_t step = 1; step <= n; ++step) {
        size_t i = previous ? (start + n - step % n) % n : (start + step) % n;
        Window* w = FindWindow(list[i]);
        if (w && w->visible && w->enabled && (w->style & win::kWsTabStop)) {
            return w->handle;
        }
    }
    return 0;
}

void SimUi::DialogSetFocus(std::uintptr_t control) {
    {
        Guard guard(machine_.Lock());
        Window* w = FindWindow(control);
        if (!w) {
            return;
        }
        if (w->kind == Kind::Edit || w->kind == Kind::RichEdit) {
            // Edits get their whole text selected when the dialog manager focuses them.
            w->selStart = 0;
            w->selEnd = static_cast<int>(w->text.size());
        }
    }
    SetFocus(WindowHandle(control));
}

void SimUi::SetText(Window& w, const std::wstring& text, bool* notifyChange) {
    w.text = text;
    *notifyChange = false;
    if (w.kind == Kind::Edit || w.kind == Kind::RichEdit) {
        w.selStart = w.selEnd = 0;
        // A single-line edit reports a text set by WM_SETTEXT with EN_CHANGE.
        *notifyChange = w.kind == Kind::Edit && !(w.style & win::kEsMultiline);
    }
}

intptr_t SimUi::ControlMessage(std::uintptr_t control, uint32_t message, uintptr_t wParam,
                               intptr_t lParam) {
    uint32_t notify = 0;
    bool click = false;
    intptr_t result = 0;
    {
        Guard guard(machine_.Lock());
        Window* found = FindWindow(control);
        if (!found) {
            machine_.SetLastError(win::kErrorInvalidWindowHandle);
            return 0;
        }
        Window& w = *found;
        int length = static_cast<int>(w.text.size());
        switch (message) {
            case win::kWmSetText: {
                bool change = false;
                SetText(w, TextFrom(lParam), &change);
                notify = change ? win::kEnChange : 0;
                result = 1;
                break;
            }
            case win::kWmGetText:
                result = CopyText(w.text, wParam, lParam);
                break;
            case win::kWmGetTextLength:
                result = length;
                break;
            case win::kWmSetFont: {
                w.font = static_cast<std::uintptr_t>(wParam);
                DialogInfo* info = FindDialog(w.dialog);
                if (info && w.kind != Kind::Dialog) {
                    fontSets_.push_back(FontSetRecord{WindowHandle(control), w.id,
                                                      FontHandle(w.font), lParam != 0});
                }
                break;
            }
            case win::kWmGetFont:
                result = static_cast<intptr_t>(w.font);
                break;
            case win::kWmVScroll:
                if ((wParam & 0xFFFF) == win::kSbTop) {
                    ++w.scrollTopCount;
                }
                break;
            default:
                break;
        }
        if (w.kind == Kind::Button) {
            uint32_t type = w.style & win::kBsTypeMask;
            bool threeState = type == win::kBs3State || type == win::kBsAuto3State;
            switch (message) {
                case win::kBmGetCheck:
                    result = static_cast<intptr_t>(w.check);
                    break;
                case win::kBmSetCheck:
                    if (!IsPushButton(w.style) && type != win::kBsGroupBox) {
                        uint32_t state = static_cast<uint32_t>(wParam);
                        if (state == win::kBstIndeterminate && !threeState) {
                            state = win::kBstChecked;
                        }
                        w.check = state > win::kBstIndeterminate ? 0 : state;
                    }
                    break;
                case win::kBmGetState:
                    result = static_cast<intptr_t>(w.check | (focus_ == control ? 0x8 : 0));
                    break;
                case win::kBmClick:
                    click = true;
                    break;
                default:
                    break;
            }
        } else if (w.kind == Kind::Edit || w.kind == Kind::RichEdit) {
            switch (message) {
                case win::kEmLimitText:
                    if (wParam == 0) {
                        w.limit = (w.style & win::kEsMultiline) ? INT_MAX : 0x7FFFFFFE;
                    } else {
                        w.limit = static_cast<int>(std::min<uintptr_t>(wParam, INT_MAX));
                    }
                    break;
                case win::kEmGetLimitText:
                    result = w.limit;
                    break;
                case win::kEmSetSel: {
                    int start = static_cast<int>(static_cast<intptr_t>(wParam));
                    int end = static_cast<int>(lParam);
                    if (start == -1) {
                        // Removes the selection and keeps the caret where it was.
                        w.selStart = w.selEnd;
                        break;
                    }
                    if (end < 0 || end > length) {
                        end = length;
                    }
                    if (start < 0 || start > length) {
                        start = length;
                    }
                    w.selStart = std::min(start, end);
                    w.selEnd = std::max(start, end);
                    break;
                }
                case win::kEmGetSel:
                    if (wParam) {
                        *reinterpret_cast<uint32_t*>(wParam) = static_cast<uint32_t>(w.selStart);
                    }
                    if (lParam) {
                        *reinterpret_cast<uint32_t*>(lParam) = static_cast<uint32_t>(w.selEnd);
                    }
                    result = (w.selStart > 0xFFFF || w.selEnd > 0xFFFF)
                                 ? -1
                                 : static_cast<intptr_t>(MakeWParam(w.selStart, w.selEnd));
                    break;
                case win::kEmStreamIn:
                    errors_.push_back("EM_STREAMIN goes through Ui::StreamIn");
                    break;
                default:
                    break;
            }
        } else if (w.kind == Kind::ListBox) {
            int count = static_cast<int>(w.items.size());
            switch (message) {
                case win::kLbAddString: {
                    if (!lParam) {
                        result = kLbErr;
                        break;
                    }
                    std::wstring item = TextFrom(lParam);
                    size_t at = w.items.size();
                    if (w.style & win::kLbsSort) {
                        // Before the first item that does not sort below the new one.
                        at = 0;
                        while (at < w.items.size() && CompareNoCase(w.items[at], item) < 0) {
                            ++at;
                        }
                    }
                    w.items.insert(w.items.begin() + static_cast<std::ptrdiff_t>(at), item);
                    if (w.curSel >= static_cast<int>(at)) {
                        ++w.curSel;
                    }
                    result = static_cast<intptr_t>(at);
                    break;
                }
                case win::kLbFindString:
                case win::kLbSelectString: {
                    if (!lParam || count == 0) {
                        result = kLbErr;
                        break;
                    }
                    std::wstring prefix = TextFrom(lParam);
                    int start = static_cast<int>(static_cast<intptr_t>(wParam));
                    if (start < -1 || start >= count) {
                        start = -1;
                    }
                    // From the item after |start| to the end, then from the top around to
                    // |start| itself.
                    result = kLbErr;
                    for (int step = 1; step <= count; ++step) {
                        int i = (start + step) % count;
                        if (base::StartsWithNoCase(w.items[i], prefix)) {
                            result = i;
                            break;
                        }
                    }
                    if (message == win::kLbSelectString && result != kLbErr) {
                        w.curSel = static_cast<int>(result);
                    }
                    break;
                }
                case win::kLbGetCurSel:
                    result = w.curSel;
                    break;
                case win::kLbSetCurSel: {
                    int index = static_cast<int>(static_cast<intptr_t>(wParam));
                    if (index < -1 || index >= count) {
                        result = kLbErr;
                        break;
                    }
                    w.curSel = index;
                    result = index == -1 ? kLbErr : index;
                    break;
                }
                case win::kLbGetText: {
                    int index = static_cast<int>(static_cast<intptr_t>(wParam));
                    if (index < 0 || index >= count || !lParam) {
                        result = kLbErr;
                        break;
                    }
                    const std::wstring& item = w.items[static_cast<size_t>(index)];
                    result = CopyText(item, item.size() + 1, lParam);
                    break;
                }
                case win::kLbGetTextLen: {
                    int index = static_cast<int>(static_cast<intptr_t>(wParam));
                    result =
                        index < 0 || index >= count
                            ? kLbErr
                            : static_cast<intptr_t>(w.items[static_cast<size_t>(index)].size());
                    break;
                }
                case win::kLbGetCount:
                    result = count;
                    break;
                case win::kLbSetTopIndex:
                    result = 0;
                    break;
                default:
                    break;
            }
        } else if (w.kind == Kind::Progress) {
            switch (message) {
                case win::kPbmSetRange32: {
                    result = static_cast<intptr_t>(
                        MakeWParam(w.rangeMin, static_cast<uint32_t>(w.rangeMax) & 0xFFFF));
                    w.rangeMin = static_cast<int>(static_cast<intptr_t>(wParam));
                    w.rangeMax = static_cast<int>(lParam);
                    w.position = std::max(w.rangeMin, std::min(w.position, w.rangeMax));
                    break;
                }
                case win::kPbmSetPos: {
                    result = w.position;
                    int position = static_cast<int>(static_cast<intptr_t>(wParam));
                    w.position = std::max(w.rangeMin, std::min(position, w.rangeMax));
                    break;
                }
                case win::kPbmGetPos:
                    result = w.position;
                    break;
                case win::kPbmGetRange:
                    if (lParam) {
                        int32_t* range = reinterpret_cast<int32_t*>(lParam);  // PBRANGE
                        range[0] = w.rangeMin;
                        range[1] = w.rangeMax;
                    }
                    result = wParam ? w.rangeMin : w.rangeMax;
                    break;
                default:
                    break;
            }
        }
        if (message == win::kWmChar && (w.kind == Kind::Edit || w.kind == Kind::RichEdit)) {
            result = 0;
        }
    }
    if (message == win::kWmChar) {
        // A character sent to an edit types as the keyboard does.
        bool changed = false;
        {
            Guard guard(machine_.Lock());
            Window* w = FindWindow(control);
            if (w && (w->kind == Kind::Edit || w->kind == Kind::RichEdit)) {
                wchar_t ch = static_cast<wchar_t>(wParam);
                int selected = w->selEnd - w->selStart;
                int newLength = static_cast<int>(w->text.size()) - selected + 1;
                if ((w->style & win::kEsReadOnly) || newLength > w->limit) {
                    ++beeps_;
                } else {
                    w->text.replace(static_cast<size_t>(w->selStart), static_cast<size_t>(selected),
                                    1, ch);
                    w->selStart = w->selEnd = w->selStart + 1;
                    changed = true;
                }
            }
        }
        if (changed) {
            Notify(control, win::kEnChange);
        }
    }
    if (click) {
        ClickButton(control);
    }
    if (notify) {
        Notify(control, notify);
    }
    return result;
}

intptr_t SimUi::StreamIn(WindowHandle richEdit, uint32_t format, uintptr_t cookie,
                         EditStreamCallback callback, uint32_t* error) {
    {
        Guard guard(machine_.Lock());
        Window* w = FindWindow(richEdit);
        if (!w) {
            machine_.SetLastError(win::kErrorInvalidWindowHandle);
            return 0;
        }
        if (w->kind != Kind::RichEdit || !callback) {
            if (error) {
                *error = 0;
            }
            return 0;
        }
    }
    (void)format;
    // The callback runs on the control's thread, as the rich edit calls it there.
    return CallOnWindowThread(richEdit.value, [this, richEdit, cookie, callback, error]() {
        int32_t chunk;
        {
            Guard guard(machine_.Lock());
            chunk = streamChunk_;
        }
        std::string received;
        std::vector<int32_t> requests;
        uint32_t status = 0;
        std::vector<uint8_t> buffer(static_cast<size_t>(chunk));
        for (;;) {
            int32_t transferred = 0;
            requests.push_back(chunk);
            status = callback(cookie, buffer.data(), chunk, &transferred);
            if (status != 0 || transferred <= 0) {
                break;
            }
            transferred = std::min(transferred, chunk);
            received.append(reinterpret_cast<const char*>(buffer.data()),
                            static_cast<size_t>(transferred));
        }
        if (error) {
            *error = status;
        }
        Guard guard(machine_.Lock());
        Window* w = FindWindow(richEdit);
        if (!w) {
            return static_cast<intptr_t>(0);
        }
        w->streamed = received;
        w->streamRequests.insert(w->streamRequests.end(), requests.begin(), requests.end());
        // The text keeps the bytes as they came, one character each.
        w->text.assign(received.begin(), received.end());
        for (auto& c : w->text) {
            c = static_cast<wchar_t>(static_cast<unsigned char>(c));
        }
        w->selStart = w->selEnd = 0;
        return static_cast<intptr_t>(received.size());
    });
}

// --- The user's input ---

bool SimUi::ActionAllowed(std::uintptr_t dialog, const char* action, int id) {
    Guard guard(machine_.Lock());
    DialogInfo* info = FindDialog(dialog);
    if (info && !info->ended) {
        return true;
    }
    errors_.push_back(std::string(action) + "(" + std::to_string(id) + ") after page " +
                      (info ? std::to_string(info->templateId) : std::string("?")) + " ended");
    return false;
}

void SimUi::ClickButton(std::uintptr_t control) {
    {
        Guard guard(machine_.Lock());
        Window* w = FindWindow(control);
        if (!w || w->kind != Kind::Button || !w->enabled || !w->visible) {
            return;  // disabled buttons ignore clicks
        }
        uint32_t type = w->style & win::kBsTypeMask;
        if (type == win::kBsGroupBox) {
            return;
        }
        focus_ = control;
        focusThread_ = std::this_thread::get_id();
        if (type == win::kBsAutoCheckBox) {
            w->check = w->check == win::kBstChecked ? win::kBstUnchecked : win::kBstChecked;
        } else if (type == win::kBsAuto3State) {
            w->check = (w->check + 1) % 3;
        } else if (type == win::kBsAutoRadioButton) {
            w->check = win::kBstChecked;
            // The other automatic radio buttons of its group: from the control with
            // WS_GROUP at or before it up to the next WS_GROUP.
            DialogInfo* info = FindDialog(w->dialog);
            if (info) {
                const auto& list = info->children;
                size_t at = static_cast<size_t>(std::find(list.begin(), list.end(), control) -
                                                list.begin());
                size_t first = at;
                while (first > 0 && !(FindWindow(list[first])->style & win::kWsGroup)) {
                    --first;
                }
                for (size_t i = first; i < list.size(); ++i) {
                    Window* o = FindWindow(list[i]);
                    if (i > first && (o->style & win::kWsGroup)) {
                        break;
                    }
                    if (o != w && o->kind == Kind::Button &&
                        (o->style & win::kBsTypeMask) == win::kBsAutoRadioButton) {
                        o->check = win::kBstUnchecked;
                    }
                }
            }
        }
    }
    Notify(control, win::kBnClicked);
}

void SimUi::UserClick(std::uintptr_t dialog, int id) {
    if (!ActionAllowed(dialog, "Click", id)) {
        return;
    }
    std::uintptr_t control = 0;
    Kind kind = Kind::Other;
    {
        Guard guard(machine_.Lock());
        Window* w = FindChild(dialog, id);
        if (!w) {
            errors_.push_back("Click(" + std::to_string(id) + "): no such control");
            return;
        }
        if (!w->enabled || !w->visible) {
            return;
        }
        control = w->handle;
        kind = w->kind;
    }
    if (kind == Kind::Button) {
        ClickButton(control);
    } else if (kind == Kind::Edit || kind == Kind::RichEdit || kind == Kind::ListBox) {
        SetFocus(WindowHandle(control));
    }
}

void SimUi::UserType(std::uintptr_t dialog, int id, const std::wstring& text) {
    if (!ActionAllowed(dialog, "Type", id)) {
        return;
    }
    std::uintptr_t control = 0;
    {
        Guard guard(machine_.Lock());
        Window* w = FindChild(dialog, id);
        if (!w || (w->kind != Kind::Edit && w->kind != Kind::RichEdit)) {
            errors_.push_back("Type(" + std::to_string(id) + "): no such edit");
            return;
        }
        if (!w->enabled || !w->visible) {
            return;
        }
        control = w->handle;
    }
    DialogSetFocus(control);
    if (text.empty()) {
        // The Delete key on the selection.
        bool changed = false;
        {
            Guard guard(machine_.Lock());
            Window* w = FindWindow(control);
            if (w && !(w->style & win::kEsReadOnly) && w->selEnd > w->selStart) {
                w->text.erase(static_cast<size_t>(w->selStart),
                              static_cast<size_t>(w->selEnd - w->selStart));
                w->selEnd = w->selStart;
                changed = true;
            }
        }
        if (changed) {
            Notify(control, win::kEnChange);
        }
    }
    for (wchar_t ch : text) {
        ControlMessage(control, win::kWmChar, static_cast<uintptr_t>(ch), 0);
        Guard guard(machine_.Lock());
        DialogInfo* info = FindDialog(dialog);
        if (!info || info->ended || !FindWindow(control)) {
            break;
        }
    }
}

void SimUi::UserSelect(std::uintptr_t dialog, int listId, const std::wstring* text, int index) {
    if (!ActionAllowed(dialog, "SelectItem", listId)) {
        return;
    }
    std::uintptr_t control = 0;
    bool notify = false;
    {
        Guard guard(machine_.Lock());
        Window* w = FindChild(dialog, listId);
        if (!w || w->kind != Kind::ListBox) {
            errors_.push_back("SelectItem(" + std::to_string(listId) + "): no such list box");
            return;
        }
        if (!w->enabled || !w->visible) {
            return;
        }
        if (text) {
            index = -1;
            for (size_t i = 0; i < w->items.size(); ++i) {
                if (base::StartsWithNoCase(w->items[i], *text)) {
                    index = static_cast<int>(i);
                    break;
                }
            }
        }
        if (index < 0 || index >= static_cast<int>(w->items.size())) {
            errors_.push_back("SelectItem(" + std::to_string(listId) + "): no such item");
            return;
        }
        w->curSel = index;
        control = w->handle;
        notify = (w->style & win::kLbsNotify) != 0;
        focus_ = control;
        focusThread_ = std::this_thread::get_id();
    }
    if (notify) {
        Notify(control, win::kLbnSelChange);
    }
}

void SimUi::UserKey(std::uintptr_t dialog, uint32_t virtualKey) {
    if (!ActionAllowed(dialog, "PressKey", static_cast<int>(virtualKey))) {
        return;
    }
    if (virtualKey == win::kVkTab) {
        std::uintptr_t next = 0;
        {
            Guard guard(machine_.Lock());
            Window* f = FindWindow(focus_);
            next = NextTabItem(dialog, f && f->dialog == dialog ? focus_ : 0);
        }
        if (next) {
            DialogSetFocus(next);
        }
        return;
    }
    int id = 0;
    std::uintptr_t target = 0;
    if (virtualKey == win::kVkEscape) {
        id = win::kIdCancel;
        Guard guard(machine_.Lock());
        Window* c = FindChild(dialog, id);
        if (c && !c->enabled) {
            ++beeps_;  // a disabled Cancel button: Escape only beeps
            return;
        }
        target = c ? c->handle : 0;
    } else if (virtualKey == win::kVkReturn) {
        bool focusedButton = false;
        {
            Guard guard(machine_.Lock());
            Window* f = FindWindow(focus_);
            if (f && f->dialog == dialog && f->kind == Kind::Button && IsPushButton(f->style)) {
                // A push button with the focus is the default one for Enter.
                focusedButton = true;
                id = f->id;
                target = f->handle;
                if (!f->enabled) {
                    ++beeps_;
                    return;
                }
            }
        }
        if (!focusedButton) {
            intptr_t defId = DialogMessage(dialog, win::kDmGetDefId, 0, 0);
            id = ((static_cast<uintptr_t>(defId) >> 16) & 0xFFFF) == win::kDcHasDefId
                     ? static_cast<int>(defId & 0xFFFF)
                     : win::kIdOk;
            Guard guard(machine_.Lock());
            Window* d = FindChild(dialog, id);
            if (d && !d->enabled) {
                ++beeps_;  // a disabled default button: Enter only beeps
                return;
            }
            target = d ? d->handle : 0;
        }
    } else {
        return;
    }
    DialogMessage(dialog, win::kWmCommand, MakeWParam(id, win::kBnClicked),
                  static_cast<intptr_t>(target));
}

// --- The scripted user ---

void ScriptedUser::OnPage(int templateId, PageScript script) {
    Guard guard(ui_.machine_.Lock());
    scripts_[templateId].push_back(std::move(script));
}

void ScriptedUser::AnswerMessageBox(int answer) {
    Guard guard(ui_.machine_.Lock());
    answers_.push_back(answer);
}

size_t ScriptedUser::PendingScripts(int templateId) {
    Guard guard(ui_.machine_.Lock());
    auto it = scripts_.find(templateId);
    return it == scripts_.end() ? 0 : it->second.size();
}

size_t ScriptedUser::PendingAnswers() {
    Guard guard(ui_.machine_.Lock());
    return answers_.size();
}

bool PageDriver::Ended() {
    Guard guard(ui_.machine_.Lock());
    SimUi::DialogInfo* info = ui_.FindDialog(dialog_.value);
    return !info || info->ended;
}

void PageDriver::Click(int id) {
    ui_.UserClick(dialog_.value, id);
    ui_.PumpPending(dialog_.value);
}

void PageDriver::Type(int id, const std::wstring& text) {
    ui_.UserType(dialog_.value, id, text);
    ui_.PumpPending(dialog_.value);
}

void PageDriver::SelectItem(int listId, const std::wstring& text) {
    ui_.UserSelect(dialog_.value, listId, &text, -1);
    ui_.PumpPending(dialog_.value);
}

void PageDriver::SelectItem(int listId, int index) {
    ui_.UserSelect(dialog_.value, listId, nullptr, index);
    ui_.PumpPending(dialog_.value);
}

void PageDriver::PressKey(uint32_t virtualKey) {
    ui_.UserKey(dialog_.value, virtualKey);
    ui_.PumpPending(dialog_.value);
}

void PageDriver::CloseBox() {
    if (!ui_.ActionAllowed(dialog_.value, "CloseBox", 0)) {
        return;
    }
    ui_.DialogMessage(dialog_.value, win::kWmSysCommand, win::kScClose, 0);
    ui_.PumpPending(dialog_.value);
}

void PageDriver::Focus(int id) {
    if (!ui_.ActionAllowed(dialog_.value, "Focus", id)) {
        return;
    }
    std::uintptr_t control = 0;
    {
        Guard guard(ui_.machine_.Lock());
        SimUi::Window* w = ui_.FindChild(dialog_.value, id);
        if (!w) {
            ui_.errors_.push_back("Focus(" + std::to_string(id) + "): no such control");
            return;
        }
        control = w->handle;
    }
    ui_.DialogMessage(dialog_.value, win::kWmNextDlgCtl, static_cast<uintptr_t>(control), 1);
    ui_.PumpPending(dialog_.value);
}

void PageDriver::Minimize() {
    ui_.SetIconic(dialog_.value, true);
    ui_.PumpPending(dialog_.value);
}

void PageDriver::Restore() {
    ui_.SetIconic(dialog_.value, false);
    ui_.PumpPending(dialog_.value);
}

bool PageDriver::Exists(int id) {
    Guard guard(ui_.machine_.Lock());
    return ui_.FindChild(dialog_.value, id) != nullptr;
}

std::wstring PageDriver::Text(int id) {
    Guard guard(ui_.machine_.Lock());
    SimUi::Window* w = ui_.FindChild(dialog_.value, id);
    return w ? w->text : std::wstring();
}

bool PageDriver::IsEnabled(int id) {
    Guard guard(ui_.machine_.Lock());
    SimUi::Window* w = ui_.FindChild(dialog_.value, id);
    return w && w->enabled;
}

bool PageDriver::IsChecked(int id) {
    return CheckState(id) == win::kBstChecked;
}

uint32_t PageDriver::CheckState(int id) {
    Guard guard(ui_.machine_.Lock());
    SimUi::Window* w = ui_.FindChild(dialog_.value, id);
    return w ? w->check : 0;
}

std::vector<std::wstring> PageDriver::Items(int listId) {
    Guard guard(ui_.machine_.Lock());
    SimUi::Window* w = ui_.FindChild(dialog_.value, listId);
    return w ? w->items : std::vector<std::wstring>();
}

int PageDriver::Selection(int listId) {
    Guard guard(ui_.machine_.Lock());
    SimUi::Window* w = ui_.FindChild(dialog_.value, listId);
    return w ? w->curSel : -1;
}

std::wstring PageDriver::Caption() {
    Guard guard(ui_.machine_.Lock());
    SimUi::Window* w = ui_.FindWindow(dialog_.value);
    return w ? w->text : std::wstring();
}

int PageDriver::Progress(int id) {
    Guard guard(ui_.machine_.Lock());
    SimUi::Window* w = ui_.FindChild(dialog_.value, id);
    return w ? w->position : 0;
}

int PageDriver::FocusId() {
    Guard guard(ui_.machine_.Lock());
    SimUi::Window* w = ui_.FindWindow(ui_.focus_);
    return w && w->dialog == dialog_.value && w->handle != dialog_.value ? w->id : 0;
}

bool PageDriver::WaitFor(const std::function<bool()>& predicate,
                         std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    const std::thread::id self = std::this_thread::get_id();
    for (;;) {
        ui_.PumpPending(dialog_.value);
        if (predicate()) {
            return true;
        }
        if (Ended()) {
            return predicate();
        }
        std::unique_lock<std::mutex> lock(ui_.queueMutex_);
        bool got = ui_.queueCv_.wait_until(lock, deadline, [&] {
            for (const SimUi::QueuedMessage& q : ui_.queue_) {
                if (q.thread == self) {
                    return true;
                }
            }
            return false;
        });
        lock.unlock();
        if (!got) {
            ui_.PumpPending(dialog_.value);
            bool value = predicate();
            if (!value) {
                ui_.RecordError("WaitFor timed out on page " + std::to_string(templateId_));
            }
            return value;
        }
    }
}

}  // namespace sim
