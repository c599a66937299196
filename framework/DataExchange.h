#pragma once
// Data exchange between a dialog's members and its controls, one call per control.
#include "framework/CString.h"

class CDataExchange {
public:
    CDataExchange(HWND dialog, BOOL saveAndValidate) : m_hDialog(dialog), m_bSaveAndValidate(saveAndValidate) {}
    HWND m_hDialog;
    // TRUE: controls to members; FALSE: members to controls.
    BOOL m_bSaveAndValidate;
};

// The text of an edit box.
void DDX_Text(CDataExchange* pDX, int id, CString& value);
// The check state of a check box or radio button: BST_UNCHECKED, BST_CHECKED or BST_INDETERMINATE.
void DDX_Check(CDataExchange* pDX, int id, int& value);
