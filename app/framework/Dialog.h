// The framework's modal dialog: CDialog runs a dialog template through the Ui port, routes
// the dialog's messages to handlers listed in a per-class message map, and moves data
// between member variables and controls (DoDataExchange with DDX_/DDV_ routines).
//
// A dialog class lists its handlers like this:
//
//   class CMyDlg : public CDialog {
//       ...
//       void OnBnClickedNext();
//       DECLARE_MESSAGE_MAP()
//   };
//
//   BEGIN_MESSAGE_MAP(CMyDlg, CDialog)
//       ON_WM_PAINT()
//       ON_BN_CLICKED(IDC_NEXT, &CMyDlg::OnBnClickedNext)
//   END_MESSAGE_MAP()
//
// A message is looked up in the class's own map first, then in its base class's map, and so
// on up to CDialog's, which ends the dialog for IDOK (OnOK) and IDCANCEL (OnCancel). A
// message that no map lists gets the dialog manager's default handling.
#pragma once

#include <cstdint>
#include <string>

#include "framework/Font.h"
#include "platform/Platform.h"

class CDialog;

// The kinds of handler a message map entry calls.
enum class MessageHandlerKind {
    End,       // ends a map's table
    Command,   // WM_COMMAND with the entry's control id and notification code: void()
    Paint,     // WM_PAINT: void()
    CtlColor,  // every WM_CTLCOLOR* message: BrushHandle(DcHandle, WindowHandle, int)
    Message,   // any other message by number (private messages): intptr_t(uintptr_t, intptr_t)
};

using CommandHandler = void (CDialog::*)();
// |ctlColorType| is the message's offset from WM_CTLCOLORMSGBOX (CTLCOLOR_EDIT 1,
// CTLCOLOR_LISTBOX 2, CTLCOLOR_BTN 3, CTLCOLOR_DLG 4, CTLCOLOR_SCROLLBAR 5,
// CTLCOLOR_STATIC 6). An empty brush means "not handled": the dialog manager's default
// colours apply.
using CtlColorHandler = platform::BrushHandle (CDialog::*)(platform::DcHandle dc,
                                                           platform::WindowHandle control,
                                                           int ctlColorType);
using MessageHandler = intptr_t (CDialog::*)(uintptr_t wParam, intptr_t lParam);

struct MessageMapEntry {
    MessageHandlerKind kind = MessageHandlerKind::End;
    uint32_t message = 0;
    int controlId = 0;
    uint32_t notification = 0;
    CommandHandler command = nullptr;  // Command and Paint
    CtlColorHandler ctlColor = nullptr;
    MessageHandler handler = nullptr;
};

struct MessageMap {
    const MessageMap* (*base)();     // the base class's map; null for CDialog's
    const MessageMapEntry* entries;  // ends with a MessageHandlerKind::End entry
};

constexpr MessageMapEntry MakeCommandEntry(int id, uint32_t notification, CommandHandler fn) {
    MessageMapEntry e;
    e.kind = MessageHandlerKind::Command;
    e.message = win::kWmCommand;
    e.controlId = id;
    e.notification = notification;
    e.command = fn;
    return e;
}

constexpr MessageMapEntry MakePaintEntry(CommandHandler fn) {
    MessageMapEntry e;
    e.kind = MessageHandlerKind::Paint;
    e.message = win::kWmPaint;
    e.command = fn;
    return e;
}

constexpr MessageMapEntry MakeCtlColorEntry(CtlColorHandler fn) {
    MessageMapEntry e;
    e.kind = MessageHandlerKind::CtlColor;
    e.message = win::kWmCtlColorMsgBox;
    e.ctlColor = fn;
    return e;
}

constexpr MessageMapEntry MakeMessageEntry(uint32_t message, MessageHandler fn) {
    MessageMapEntry e;
    e.kind = MessageHandlerKind::Message;
    e.message = message;
    e.handler = fn;
    return e;
}

// clang-format off
#define DECLARE_MESSAGE_MAP()                                   \
protected:                                                      \
    static const ::MessageMap* GetThisMessageMap();             \
    const ::MessageMap* GetMessageMap() const override;         \
private:

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                  \
    const ::MessageMap* theClass::GetMessageMap() const {       \
        return GetThisMessageMap();                             \
    }                                                           \
    const ::MessageMap* theClass::GetThisMessageMap() {         \
        using ThisClass [[maybe_unused]] = theClass;            \
        using TheBaseClass = baseClass;                         \
        static const ::MessageMapEntry entries[] = {

#define END_MESSAGE_MAP()                                       \
            ::MessageMapEntry{}                                 \
        };                                                      \
        static const ::MessageMap map = {&TheBaseClass::GetThisMessageMap, entries}; \
        return &map;                                            \
    }
// clang-format on

// WM_COMMAND from control |id| with notification |code|; handler void().
#define ON_CONTROL(code, id, memberFxn) \
    ::MakeCommandEntry((id), (code), static_cast<::CommandHandler>(memberFxn)),
#define ON_COMMAND(id, memberFxn) ON_CONTROL(win::kBnClicked, id, memberFxn)
#define ON_BN_CLICKED(id, memberFxn) ON_CONTROL(win::kBnClicked, id, memberFxn)
#define ON_EN_CHANGE(id, memberFxn) ON_CONTROL(win::kEnChange, id, memberFxn)
#define ON_LBN_SELCHANGE(id, memberFxn) ON_CONTROL(win::kLbnSelChange, id, memberFxn)
// WM_PAINT -> the class's OnPaint().
#define ON_WM_PAINT() ::MakePaintEntry(static_cast<::CommandHandler>(&ThisClass::OnPaint)),
// Every WM_CTLCOLOR* message -> the class's OnCtlColor(dc, control, ctlColorType).
#define ON_WM_CTLCOLOR() \
    ::MakeCtlColorEntry(static_cast<::CtlColorHandler>(&ThisClass::OnCtlColor)),
// A message by number (private messages); handler intptr_t(uintptr_t, intptr_t).
#define ON_MESSAGE(message, memberFxn) \
    ::MakeMessageEntry((message), static_cast<::MessageHandler>(memberFxn)),

// The state of one data exchange between a dialog's members and its controls.
class CDataExchange {
public:
    CDataExchange(CDialog* dialog, bool saveAndValidate)
        : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate) {}

    // Remembers the edit control that the next validation routine checks.
    platform::WindowHandle PrepareEditCtrl(int id);
    // Ends the exchange as failed. When saving, the focus goes back to the last prepared
    // edit control and its whole text is selected.
    void Fail();
    bool Failed() const { return m_bFailed; }

    CDialog* m_pDlgWnd;
    bool
        m_bSaveAndValidate;  // true: controls -> members (and validate); false: members -> controls
    int m_idLastControl = 0;
    bool m_bEditLastControl = false;

private:
    bool m_bFailed = false;
};

// Text of control |id| <-> |value|. Loading sets the control's text (only when it differs);
// saving reads the whole text. A missing control fails the exchange.
void DDX_Text(CDataExchange& dx, int id, std::wstring& value);
// When saving, a |value| longer than |maxChars| characters shows the framework's message
// "Enter no more than %1 characters." (string 61716, "%1" = the limit) with the
// exclamation icon and fails the exchange. Otherwise it limits the last prepared edit
// control to |maxChars| characters (EM_LIMITTEXT).
void DDV_MaxChars(CDataExchange& dx, const std::wstring& value, int maxChars);

class CDialog : public platform::DialogProcedure {
public:
    // The framework's message: "Enter no more than %1 characters."
    static constexpr int kIdsParseStringSize = 61716;

    CDialog(int templateId, platform::Platform& platform);
    ~CDialog() override = default;
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Runs the dialog modally (Ui::DialogBox); returns the value given to EndDialog, or -1
    // when the dialog could not be created.
    intptr_t DoModal();
    void EndDialog(intptr_t result);

    // true: controls -> members with validation; false: members -> controls. Control
    // notifications that arrive during the exchange are not routed.
    bool UpdateData(bool saveAndValidate = true);

    platform::WindowHandle GetSafeHwnd() const { return m_hWnd; }
    platform::WindowHandle GetDlgItem(int id) const;
    int GetTemplateId() const { return m_nIDTemplate; }
    platform::Platform& GetPlatform() const { return m_platform; }
    platform::Ui& GetUi() const { return m_platform.ui; }

    // The program's string |id| (empty when absent).
    std::wstring LoadStringResource(int id) const;
    // Message box with string |id| as its text and the program title as its caption.
    int MessageBoxById(platform::WindowHandle owner, int id, uint32_t flags) const;
    // Message box with |text| and the program title as its caption.
    int MessageBoxText(platform::WindowHandle owner, const std::wstring& text,
                       uint32_t flags) const;

    bool HandleMessage(platform::WindowHandle dialog, uint32_t message, uintptr_t wParam,
                       intptr_t lParam, intptr_t* result) override;

protected:
    // Dialog initialisation: loads the members into the controls (UpdateData(false)) and
    // returns true so that the dialog manager sets the initial focus. If loading fails the
    // dialog ends with -1 and false is returned.
    virtual bool OnInitDialog();
    // The OK path: saves and validates; on success ends the dialog with IDOK, on failure
    // the dialog stays open.
    virtual void OnOK();
    // The cancel path: ends the dialog with IDCANCEL.
    virtual void OnCancel();
    virtual void DoDataExchange(CDataExchange& dx);
    // The framework's default control colours: not handled (empty brush), so the dialog
    // manager's defaults apply.
    platform::BrushHandle OnCtlColor(platform::DcHandle dc, platform::WindowHandle control,
                                     int ctlColorType);

    static const MessageMap* GetThisMessageMap();
    virtual const MessageMap* GetMessageMap() const;

    platform::Platform& m_platform;
    int m_nIDTemplate;
    platform::WindowHandle m_hWnd;

private:
    enum class DispatchResult { NoMatch, Handled, Declined };
    DispatchResult Dispatch(const MessageMapEntry& entry, uint32_t message, uintptr_t wParam,
                            intptr_t lParam, intptr_t* result);

    bool m_bLockoutNotify = false;
};
