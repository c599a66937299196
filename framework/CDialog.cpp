#include "framework/CDialog.h"

#include "framework/CWinApp.h"

#include <string.h>

#include <memory>

CDialog::CDialog(UINT templateId, CWnd* parent)
    : m_nTemplateId(templateId), m_hParent(parent ? parent->m_hWnd : nullptr) {}

// The dialog is created from a copy of its template without WS_VISIBLE and shown by DialogProc once
// OnInitDialog has returned, unless OnInitDialog already ended it: the runs that end the dialog from
// their initialisation must show nothing. (Wine shows a WS_VISIBLE template after WM_INITDIALOG
// even when EndDialog was called during it.)
INT_PTR CDialog::DoModal() {
    HINSTANCE instance = AfxGetInstanceHandle();
    HRSRC found = ::FindResourceW(instance, MAKEINTRESOURCEW(m_nTemplateId), MAKEINTRESOURCEW(5));  // RT_DIALOG
    HGLOBAL loaded = found ? ::LoadResource(instance, found) : nullptr;
    const BYTE* bytes = loaded ? static_cast<const BYTE*>(::LockResource(loaded)) : nullptr;
    if (!bytes) return -1;
    DWORD size = ::SizeofResource(instance, found);
    std::unique_ptr<BYTE[]> copy(new BYTE[size]);
    memcpy(copy.get(), bytes, size);
    // DLGTEMPLATEEX starts with version 1 and signature 0xFFFF and has its style at offset 12;
    // DLGTEMPLATE has it first.
    bool extended = size >= 16 && copy[0] == 1 && copy[1] == 0 && copy[2] == 0xFF && copy[3] == 0xFF;
    size_t styleOffset = extended ? 12 : 0;
    if (size < styleOffset + sizeof(DWORD)) return -1;
    DWORD style;
    memcpy(&style, &copy[styleOffset], sizeof style);
    m_bShowAfterInit = (style & WS_VISIBLE) != 0;
    style &= ~static_cast<DWORD>(WS_VISIBLE);
    memcpy(&copy[styleOffset], &style, sizeof style);

    m_bEnded = false;
    INT_PTR result = ::DialogBoxIndirectParamW(instance, reinterpret_cast<LPCDLGTEMPLATEW>(copy.get()), m_hParent,
                                               &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    m_hWnd = nullptr;
    return result;
}

void CDialog::EndDialog(int result) {
    m_bEnded = true;
    ::EndDialog(m_hWnd, result);
}

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
    CDataExchange dx(m_hWnd, saveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    UpdateData(TRUE);
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::DoDataExchange(CDataExchange*) {}

const MessageMapEntry* CDialog::GetMessageMap() const {
    static const MessageMapEntry kNone[] = {{MessageMapEntry::End, 0, 0, nullptr, nullptr, nullptr}};
    return kNone;
}

// noexcept: a C++ exception must never unwind into the system's dialog manager. Should one reach
// this frame, the program ends here (std::terminate) instead of in an undefined state.
INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    CDialog* dialog;
    if (message == WM_INITDIALOG) {
        dialog = reinterpret_cast<CDialog*>(lParam);
        ::SetWindowLongPtrW(window, DWLP_USER, lParam);
        dialog->m_hWnd = window;
        BOOL answer = dialog->OnInitDialog();
        if (dialog->m_bShowAfterInit && !dialog->m_bEnded) ::ShowWindow(window, SW_SHOWNORMAL);
        return answer;
    }
    dialog = reinterpret_cast<CDialog*>(::GetWindowLongPtrW(window, DWLP_USER));
    if (!dialog) return FALSE;
    INT_PTR result = FALSE;
    return dialog->Dispatch(message, wParam, lParam, result) ? result : FALSE;
}

bool CDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    const MessageMapEntry* map = GetMessageMap();
    switch (message) {
        case WM_PAINT:
        case WM_QUERYDRAGICON: {
            MessageMapEntry::Kind kind = message == WM_PAINT ? MessageMapEntry::Paint : MessageMapEntry::QueryDragIcon;
            for (const MessageMapEntry* entry = map; entry->kind != MessageMapEntry::End; ++entry) {
                if (entry->kind != kind) continue;
                if (kind == MessageMapEntry::Paint) {
                    (this->*entry->onVoid)();
                    result = TRUE;
                } else {
                    // WM_QUERYDRAGICON is one of the messages whose answer a dialog procedure returns
                    // directly instead of through DWLP_MSGRESULT.
                    result = reinterpret_cast<INT_PTR>((this->*entry->onCursor)());
                }
                return true;
            }
            return false;
        }
        case WM_COMMAND: {
            UINT id = LOWORD(wParam);
            UINT code = HIWORD(wParam);
            for (const MessageMapEntry* entry = map; entry->kind != MessageMapEntry::End; ++entry) {
                if (entry->kind == MessageMapEntry::Clicked && entry->id == id && entry->code == code) {
                    (this->*entry->onVoid)();
                    result = TRUE;
                    return true;
                }
            }
            if (OnCommand(id, code)) {
                result = TRUE;
                return true;
            }
            return false;
        }
        case WM_NOTIFY: {
            auto* header = reinterpret_cast<NMHDR*>(lParam);
            for (const MessageMapEntry* entry = map; entry->kind != MessageMapEntry::End; ++entry) {
                if (entry->kind == MessageMapEntry::Notify && entry->code == header->code &&
                    entry->id == header->idFrom) {
                    LRESULT answer = 0;
                    (this->*entry->onNotify)(header, &answer);
                    ::SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, answer);
                    result = TRUE;
                    return true;
                }
            }
            return false;
        }
        default:
            return false;
    }
}

bool CDialog::OnCommand(UINT id, UINT code) {
    // Buttons and menu items send code 0 (BN_CLICKED); the keyboard sends IDOK/IDCANCEL with it too.
    if (code != BN_CLICKED) return false;
    switch (id) {
        case IDOK:
            OnOK();
            return true;
        case IDCANCEL:
            OnCancel();
            return true;
        default:
            return AfxGetApp() && AfxGetApp()->OnCmdMsg(id);
    }
}
