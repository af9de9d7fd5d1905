// The scripted user of the simulated Windows: the test's hands on the dialogs. A test queues
// one script per visit of a page (by template id) and the answers of message boxes:
//
//   auto& user = machine.ui().User();
//   user.OnPage(101, [](sim::PageDriver& p) { p.Click(1000); });   // next visit of 101
//   user.OnPage(102, [](sim::PageDriver& p) { p.Click(1006); p.Click(1000); });
//   user.AnswerMessageBox(win::kIdCancel);                         // FIFO answers
//
// A page's script runs on the dialog's thread when its modal loop first becomes idle (after
// WM_INITDIALOG and the first paint). Every action acts like the user's mouse or keyboard
// and then lets the dialog handle what the action queued, as a user who waits for the screen
// to settle would.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "sim/Common.h"

namespace sim {

class SimUi;

class PageDriver {
public:
    PageDriver(SimUi& ui, WindowHandle dialog, int templateId)
        : ui_(ui), dialog_(dialog), templateId_(templateId) {}

    WindowHandle Dialog() const { return dialog_; }
    int TemplateId() const { return templateId_; }
    // True once EndDialog was called for this page; later actions are ignored and
    // recorded as errors.
    bool Ended();

    // --- Actions ---
    // A mouse click on the control: disabled or hidden controls ignore it; buttons take the
    // focus, check boxes and radio buttons change state, and the dialog gets BN_CLICKED.
    void Click(int id);
    // Selects the whole text of the edit and types |text| key by key over it: the edit's
    // limit stops further keys, read-only edits take none, every change sends EN_CHANGE.
    // An empty |text| deletes the selection.
    void Type(int id, const std::wstring& text);
    // Selects an item of a list box as a click on it would: the first item that begins with
    // |text| ignoring case, or the item at |index|; LBN_SELCHANGE when the list notifies.
    void SelectItem(int listId, const std::wstring& text);
    void SelectItem(int listId, int index);
    // win::kVkEscape, kVkReturn or kVkTab, handled by the dialog manager.
    void PressKey(uint32_t virtualKey);
    // A click on the caption's close box (WM_SYSCOMMAND SC_CLOSE).
    void CloseBox();
    // Moves the focus to the control as the keyboard does (an edit's text is selected).
    void Focus(int id);
    // Minimises or restores the page; either repaints it.
    void Minimize();
    void Restore();

    // --- Readers ---
    bool Exists(int id);
    std::wstring Text(int id);
    bool IsEnabled(int id);
    bool IsChecked(int id);
    uint32_t CheckState(int id);
    std::vector<std::wstring> Items(int listId);
    int Selection(int listId);  // -1 when nothing is selected
    std::wstring Caption();
    int Progress(int id);
    int FocusId();  // 0 when no control of the page has the focus

    // Lets the dialog handle messages from other threads until |predicate| holds, the page
    // ends or |timeout| passes. Returns the last value of the predicate; a timeout is
    // recorded as an error.
    bool WaitFor(const std::function<bool()>& predicate,
                 std::chrono::milliseconds timeout = std::chrono::milliseconds(10000));

private:
    SimUi& ui_;
    WindowHandle dialog_;
    int templateId_;
};

class ScriptedUser {
public:
    using PageScript = std::function<void(PageDriver&)>;

    explicit ScriptedUser(SimUi& ui) : ui_(ui) {}

    // Queues a script for the next visit of the page |templateId| (FIFO per page).
    void OnPage(int templateId, PageScript script);
    // Queues the answer (IDOK, IDCANCEL, IDYES, IDNO...) of the next message box (FIFO).
    // 0 makes that box fail as one that cannot be shown: MessageBox returns 0 with
    // ERROR_NOT_ENOUGH_MEMORY.
    void AnswerMessageBox(int answer);

    size_t PendingScripts(int templateId);
    size_t PendingAnswers();

private:
    friend class SimUi;
    SimUi& ui_;
    std::map<int, std::deque<PageScript>> scripts_;
    std::deque<int> answers_;
};

}  // namespace sim
