#pragma once
// A modal dialog from a dialog template, with a declarative message map.
//
// Every dialog runs through one static dialog procedure that binds the C++ object to its window at
// WM_INITDIALOG and then dispatches: first the derived class's message map, then the defaults of
// this class (IDCANCEL to OnCancel, IDOK to OnOK, other commands to the application's command map).
#include "framework/CWnd.h"
#include "framework/DataExchange.h"

#include <commctrl.h>

class CDialog;

// One row of a message map. Handlers are members of the derived dialog class; the row keeps them
// as members of CDialog, which the macros below convert to, and calls them on the right object.
struct MessageMapEntry {
    enum Kind { End, Paint, QueryDragIcon, Clicked, Notify };
    Kind kind;
    UINT code;  // notification code for Notify (NM_DBLCLK, ...)
    UINT id;    // control id for Clicked and Notify
    void (CDialog::*onVoid)();
    HCURSOR (CDialog::*onCursor)();
    void (CDialog::*onNotify)(NMHDR*, LRESULT*);
};

#define DECLARE_MESSAGE_MAP() \
protected:                    \
    const MessageMapEntry* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass)                          \
    const MessageMapEntry* theClass::GetMessageMap() const { \
        using ThisClass = theClass;                          \
        static const MessageMapEntry kEntries[] = {
#define END_MESSAGE_MAP()                                     \
    { MessageMapEntry::End, 0, 0, nullptr, nullptr, nullptr } \
    }                                                         \
    ;                                                         \
    return kEntries;                                          \
    }

#define ON_WM_PAINT() \
    {MessageMapEntry::Paint, 0, 0, static_cast<void (CDialog::*)()>(&ThisClass::OnPaint), nullptr, nullptr},
#define ON_WM_QUERYDRAGICON()                                          \
    {MessageMapEntry::QueryDragIcon,                                   \
     0,                                                                \
     0,                                                                \
     nullptr,                                                          \
     static_cast<HCURSOR (CDialog::*)()>(&ThisClass::OnQueryDragIcon), \
     nullptr},
#define ON_BN_CLICKED(id, handler)                          \
    {MessageMapEntry::Clicked,                              \
     BN_CLICKED,                                            \
     (id),                                                  \
     static_cast<void (CDialog::*)()>(&ThisClass::handler), \
     nullptr,                                               \
     nullptr},
#define ON_NOTIFY(code, id, handler) \
    {MessageMapEntry::Notify,        \
     static_cast<UINT>(code),        \
     (id),                           \
     nullptr,                        \
     nullptr,                        \
     static_cast<void (CDialog::*)(NMHDR*, LRESULT*)>(&ThisClass::handler)},

class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);
    ~CDialog() override = default;
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Runs the dialog until EndDialog; returns its result, or -1 when it could not be created.
    INT_PTR DoModal();
    void EndDialog(int result);

    // TRUE: controls to members; FALSE: members to controls. Returns TRUE.
    BOOL UpdateData(BOOL saveAndValidate = TRUE);

    // Exchanges the members with the controls; returns TRUE to let the system set the focus.
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();

protected:
    virtual void DoDataExchange(CDataExchange* pDX);
    virtual const MessageMapEntry* GetMessageMap() const;

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    // Handles a message; returns true with the dialog procedure's answer in result when it did.
    bool Dispatch(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result);
    bool OnCommand(UINT id, UINT code);

    UINT m_nTemplateId;
    HWND m_hParent;
    bool m_bShowAfterInit = false;  // the template asks for WS_VISIBLE
    bool m_bEnded = false;          // EndDialog was called in this run
};
