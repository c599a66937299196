#include "app/RunModes.h"
#include "framework/CWinApp.h"
#include "framework/Handles.h"
#include "res/resource.h"
#include "ui/InstallerDlg.h"

#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

BOOL CInstallerDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    // COM stays initialised for the life of the process: the folder picker and the shortcuts need it.
    ::CoInitialize(nullptr);

    OSVERSIONINFOEXW version;
    VersionFlags flags = ComputeVersionFlags(QuerySystemVersion(version, &::GetVersionExW), version);
    m_bShellFolders = flags.shellFolders;
    m_bStartMenuItems = flags.startMenuItems;
    m_strInstallPath = DefaultInstallPath(m_bShellFolders, &::SHGetSpecialFolderPathW);
    m_bRunAfter = TRUE;
    m_bShowHelp = TRUE;

    ApplyCommandLineOptions();
    switch (m_commandLine.mode) {
        case RunMode::Silent:
            RunSilentInstall();
            break;
        case RunMode::ExtractOnly:
            RunExtractOnly();
            break;
        case RunMode::Usage:
            AfxMessageBox(kUsageText, MB_OK, 0);
            m_nExitCode = ExitSuccess;
            OnCancel();
            break;
        case RunMode::Interactive:
            SetUpOptionsPage();
            break;
    }
    // The options page sets its own focus; the other modes show no page.
    return FALSE;
}

void CInstallerDlg::SetUpOptionsPage() {
    SetUpProgressList();
    m_strHeader = CString(L"Memotack 8.0a") + L" installation";
    m_bInstalled = false;
    SendDlgItemMessage(IDC_FOR_EVERYONE, BM_SETCHECK, m_bForEveryone ? BST_CHECKED : BST_UNCHECKED);
    SendDlgItemMessage(IDC_FOR_JUST_ME, BM_SETCHECK, m_bForEveryone ? BST_UNCHECKED : BST_CHECKED);
    if (m_bShellFolders) {
        wchar_t userName[MAX_PATH];
        DWORD size = MAX_PATH;
        if (::GetUserNameW(userName, &size)) {
            CWnd justMe = GetDlgItem(IDC_FOR_JUST_ME);
            CString caption;
            justMe.GetWindowText(caption);
            justMe.SetWindowText(caption + L" (" + userName + L")");
        }
    } else {
        // Older systems have no per-user folders to choose between: the install is per-user.
        GetDlgItem(IDC_FOR_EVERYONE).ShowWindow(SW_HIDE);
        GetDlgItem(IDC_FOR_JUST_ME).ShowWindow(SW_HIDE);
    }
    SetUpPathAutoComplete();
    UpdateData(FALSE);
    // The folder box takes the focus with its text selected, so that a typed folder replaces it.
    // Left to the dialog manager, the focus would go to "Just me": checking an auto radio button
    // gives it a tab stop ahead of the box, and typed letters would act as the page's mnemonics.
    SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(IDC_INSTALL_PATH).GetSafeHwnd()), TRUE);
}

// Drop-down suggestions of file-system folders for the install path box. Any failure just leaves
// the box without completion.
void CInstallerDlg::SetUpPathAutoComplete() {
    ComPtr<IAutoComplete> autoComplete;
    if (::CoCreateInstance(CLSID_AutoComplete, nullptr, CLSCTX_INPROC_SERVER, IID_IAutoComplete,
                           autoComplete.ReceiveVoid()) != S_OK)
        return;
    ComPtr<IACList> list;
    if (::CoCreateInstance(CLSID_ACListISF, nullptr, CLSCTX_INPROC_SERVER, IID_IACList, list.ReceiveVoid()) != S_OK)
        return;
    ComPtr<IACList2> list2;
    if (SUCCEEDED(list->QueryInterface(IID_IACList2, list2.ReceiveVoid()))) list2->SetOptions(ACLO_FILESYSONLY);
    list2.Reset();
    autoComplete->Init(GetDlgItem(IDC_INSTALL_PATH), list.Get(), nullptr, nullptr);
    ComPtr<IAutoComplete2> autoComplete2;
    if (SUCCEEDED(autoComplete->QueryInterface(IID_IAutoComplete2, autoComplete2.ReceiveVoid())))
        autoComplete2->SetOptions(ACO_AUTOSUGGEST);
}
