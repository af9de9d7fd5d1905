#include "framework/Dialog.h"

#include "base/Text.h"
#include "framework/WinApp.h"

using platform::BrushHandle;
using platform::DcHandle;
using platform::WindowHandle;

namespace {

uint32_t LowWord(uintptr_t value) {
    return static_cast<uint32_t>(value & 0xFFFFu);
}

uint32_t HighWord(uintptr_t value) {
    return static_cast<uint32_t>((value >> 16) & 0xFFFFu);
}

bool IsCtlColorMessage(uint32_t message) {
    return message >= win::kWmCtlColorMsgBox && message <= win::kWmCtlColorStatic;
}

}  // namespace

// ---- CDataExchange and the exchange routines ----

WindowHandle CDataExchange::PrepareEditCtrl(int id) {
    const WindowHandle control = m_pDlgWnd->GetDlgItem(id);
    m_idLastControl = id;
    m_bEditLastControl = true;
    return control;
}

void CDataExchange::Fail() {
    if (m_bSaveAndValidate && m_idLastControl != 0) {
        const WindowHandle control = m_pDlgWnd->GetDlgItem(m_idLastControl);
        if (control) {
            platform::Ui& ui = m_pDlgWnd->GetUi();
            ui.SetFocus(control);
            if (m_bEditLastControl) {
                ui.SendMessage(control, win::kEmSetSel, 0, -1);
            }
        }
    }
    m_bFailed = true;
}

void DDX_Text(CDataExchange& dx, int id, std::wstring& value) {
    if (dx.Failed()) {
        return;
    }
    const WindowHandle control = dx.PrepareEditCtrl(id);
    if (!control) {
        // A member bound to a control the template does not have: nothing can be moved.
        dx.m_idLastControl = 0;
        dx.Fail();
        return;
    }
    platform::Ui& ui = dx.m_pDlgWnd->GetUi();
    if (dx.m_bSaveAndValidate) {
        value = ui.GetWindowText(control);
    } else if (ui.GetWindowText(control) != value) {
        ui.SetWindowText(control, value);
    }
}

void DDV_MaxChars(CDataExchange& dx, const std::wstring& value, int maxChars) {
    if (dx.Failed()) {
        return;
    }
    if (maxChars < 1) {
        maxChars = 1;  // always allow something
    }
    CDialog& dialog = *dx.m_pDlgWnd;
    if (dx.m_bSaveAndValidate && value.size() > static_cast<size_t>(maxChars)) {
        std::wstring prompt = dialog.LoadStringResource(CDialog::kIdsParseStringSize);
        base::ReplaceAll(prompt, L"%1", base::Format(L"%d", maxChars));
        dialog.MessageBoxText(dialog.GetSafeHwnd(), prompt, win::kMbIconExclamation);
        dx.Fail();
    } else if (dx.m_idLastControl != 0 && dx.m_bEditLastControl) {
        const WindowHandle control = dialog.GetDlgItem(dx.m_idLastControl);
        if (control) {
            dialog.GetUi().SendMessage(control, win::kEmLimitText, static_cast<uintptr_t>(maxChars),
                                       0);
        }
    }
}

// ---- CDialog ----

CDialog::CDialog(int templateId, platform::Platform& platform)
    : m_platform(platform), m_nIDTemplate(templateId) {}

intptr_t CDialog::DoModal() {
    m_hWnd = WindowHandle();
    const intptr_t result = m_platform.ui.DialogBox(m_nIDTemplate, this);
    m_hWnd = WindowHandle();  // the window is gone once the modal run has returned
    return result;
}

void CDialog::EndDialog(intptr_t result) {
    if (m_hWnd) {
        m_platform.ui.EndDialog(m_hWnd, result);
    }
}

bool CDialog::UpdateData(bool saveAndValidate) {
    CDataExchange dx(this, saveAndValidate);
    const bool oldLockout = m_bLockoutNotify;
    m_bLockoutNotify = true;
    DoDataExchange(dx);
    m_bLockoutNotify = oldLockout;
    return !dx.Failed();
}

WindowHandle CDialog::GetDlgItem(int id) const {
    if (!m_hWnd) {
        return WindowHandle();
    }
    return m_platform.ui.GetDlgItem(m_hWnd, id);
}

std::wstring CDialog::LoadStringResource(int id) const {
    return m_platform.ui.LoadString(id);
}

int CDialog::MessageBoxById(WindowHandle owner, int id, uint32_t flags) const {
    return MessageBoxText(owner, LoadStringResource(id), flags);
}

int CDialog::MessageBoxText(WindowHandle owner, const std::wstring& text, uint32_t flags) const {
    return m_platform.ui.MessageBox(owner, text, GetProgramTitle(m_platform.files), flags);
}

bool CDialog::OnInitDialog() {
    if (!UpdateData(false)) {
        EndDialog(-1);
        return false;
    }
    return true;
}

void CDialog::OnOK() {
    if (!UpdateData(true)) {
        return;  // the failed check has put the focus on the offending control
    }
    EndDialog(win::kIdOk);
}

void CDialog::OnCancel() {
    EndDialog(win::kIdCancel);
}

void CDialog::DoDataExchange(CDataExchange& dx) {
    (void)dx;
}

BrushHandle CDialog::OnCtlColor(DcHandle dc, WindowHandle control, int ctlColorType) {
    (void)dc;
    (void)control;
    (void)ctlColorType;
    return BrushHandle();
}

const MessageMap* CDialog::GetThisMessageMap() {
    static const MessageMapEntry entries[] = {
        MakeCommandEntry(win::kIdOk, win::kBnClicked, &CDialog::OnOK),
        MakeCommandEntry(win::kIdCancel, win::kBnClicked, &CDialog::OnCancel),
        MessageMapEntry{},
    };
    static const MessageMap map = {nullptr, entries};
    return &map;
}

const MessageMap* CDialog::GetMessageMap() const {
    return GetThisMessageMap();
}

bool CDialog::HandleMessage(WindowHandle dialog, uint32_t message, uintptr_t wParam,
                            intptr_t lParam, intptr_t* result) {
    if (!m_hWnd) {
        m_hWnd = dialog;
    }
    intptr_t ignored = 0;
    if (result == nullptr) {
        result = &ignored;
    }
    if (message == win::kWmInitDialog) {
        *result = OnInitDialog() ? 1 : 0;
        return true;
    }
    if (message == win::kWmCommand && lParam != 0 && m_bLockoutNotify) {
        *result = 0;
        return true;  // a control's notification caused by the data exchange itself
    }
    for (const MessageMap* map = GetMessageMap(); map != nullptr;
         map = map->base != nullptr ? map->base() : nullptr) {
        for (const MessageMapEntry* entry = map->entries; entry->kind != MessageHandlerKind::End;
             ++entry) {
            switch (Dispatch(*entry, message, wParam, lParam, result)) {
                case DispatchResult::NoMatch:
                    break;
                case DispatchResult::Handled:
                    return true;
                case DispatchResult::Declined:
                    return false;
            }
        }
    }
    return false;
}

CDialog::DispatchResult CDialog::Dispatch(const MessageMapEntry& entry, uint32_t message,
                                          uintptr_t wParam, intptr_t lParam, intptr_t* result) {
    switch (entry.kind) {
        case MessageHandlerKind::Command:
            if (message != win::kWmCommand ||
                LowWord(wParam) != (static_cast<uint32_t>(entry.controlId) & 0xFFFFu) ||
                HighWord(wParam) != entry.notification || entry.command == nullptr) {
                return DispatchResult::NoMatch;
            }
            (this->*entry.command)();
            *result = 0;
            return DispatchResult::Handled;
        case MessageHandlerKind::Paint:
            if (message != win::kWmPaint || entry.command == nullptr) {
                return DispatchResult::NoMatch;
            }
            (this->*entry.command)();
            *result = 0;
            return DispatchResult::Handled;
        case MessageHandlerKind::CtlColor: {
            if (!IsCtlColorMessage(message) || entry.ctlColor == nullptr) {
                return DispatchResult::NoMatch;
            }
            const BrushHandle brush = (this->*entry.ctlColor)(
                DcHandle(wParam), WindowHandle(static_cast<uintptr_t>(lParam)),
                static_cast<int>(message - win::kWmCtlColorMsgBox));
            if (!brush) {
                return DispatchResult::Declined;  // the dialog manager's default colours
            }
            *result = static_cast<intptr_t>(brush.value);
            return DispatchResult::Handled;
        }
        case MessageHandlerKind::Message:
            if (message != entry.message || entry.handler == nullptr) {
                return DispatchResult::NoMatch;
            }
            *result = (this->*entry.handler)(wParam, lParam);
            return DispatchResult::Handled;
        case MessageHandlerKind::End:
            break;
    }
    return DispatchResult::NoMatch;
}
