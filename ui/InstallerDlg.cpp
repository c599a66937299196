#include "ui/InstallerDlg.h"

#include "framework/CWinApp.h"
#include "framework/Handles.h"
#include "res/resource.h"

#include <shlobj.h>

CInstallerDlg::CInstallerDlg(CWnd* parent)
    : CDialog(IDD_INSTALLER, parent),
      m_pStatusBitmap(new CBitmap),
      m_pStatusMask(new CBitmap),
      m_bSilent(false),
      m_bStartMenuItems(false),
      m_strInstallPath(L""),
      m_bShowHelp(0),
      m_bRunAfter(0) {
    m_hIcon = ::LoadIconW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(IDI_MAIN));
    m_pStatusBitmap->LoadBitmap(IDB_STATUS_STRIP);
    m_pStatusMask->LoadBitmap(IDB_STATUS_MASK);
}

CInstallerDlg::~CInstallerDlg() {
    delete m_pStatusBitmap;
    delete m_pStatusMask;
}

BEGIN_MESSAGE_MAP(CInstallerDlg)
ON_WM_PAINT()
ON_WM_QUERYDRAGICON()
ON_BN_CLICKED(IDC_BROWSE, OnBrowse)
ON_BN_CLICKED(IDC_CANCEL_BUTTON, OnCancelButton)
ON_BN_CLICKED(IDC_INSTALL_BUTTON, OnInstall)
ON_NOTIFY(NM_DBLCLK, IDC_PROGRESS_LIST, OnDblclkProgressList)
END_MESSAGE_MAP()

void CInstallerDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_INSTALL_PATH, m_strInstallPath);
    DDX_Check(pDX, IDC_SHOW_HELP, m_bShowHelp);
    DDX_Check(pDX, IDC_RUN_AFTER, m_bRunAfter);
}

void CInstallerDlg::OnBrowse() {
    UpdateData(TRUE);
    wchar_t displayName[MAX_PATH] = {};
    BROWSEINFOW info = {};
    info.hwndOwner = nullptr;  // the installer stays usable while the picker is open
    info.pszDisplayName = displayName;
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
    CoTaskMemory<ITEMIDLIST> chosen(::SHBrowseForFolderW(&info));
    if (!chosen.Get()) return;
    if (!::SHGetPathFromIDListW(chosen.Get(), displayName)) return;
    m_strInstallPath = displayName;
    UpdateData(FALSE);
}

void CInstallerDlg::OnCancelButton() { OnCancel(); }

HCURSOR CInstallerDlg::OnQueryDragIcon() { return static_cast<HCURSOR>(m_hIcon); }
