#include "framework/CWinApp.h"

#include <shellapi.h>

namespace {
CWinApp* g_app = nullptr;

CString FileTitleOfModule(HINSTANCE module) {
    CString path;
    DWORD length = ::GetModuleFileNameW(module, path.GetBuffer(MAX_PATH), MAX_PATH);
    path.ReleaseBuffer(static_cast<int>(length < MAX_PATH ? length : 0));
    int slash = path.ReverseFind(L'\\');
    CString name = path.Mid(slash + 1);
    int dot = name.ReverseFind(L'.');
    return dot > 0 ? name.Left(dot) : name;
}
}  // namespace

CWinApp::CWinApp(LPCWSTR appName) : m_strRequestedName(appName) {
    g_app = this;
    m_hInstance = ::GetModuleHandleW(nullptr);
    m_strAppName = m_strRequestedName.IsEmpty() ? FileTitleOfModule(nullptr) : m_strRequestedName;
}

CWinApp::~CWinApp() {
    if (g_app == this) g_app = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

const CWinApp::CommandEntry* CWinApp::GetCommandMap() const {
    static const CommandEntry kNone[] = {{0, nullptr}};
    return kNone;
}

bool CWinApp::OnCmdMsg(UINT id) {
    for (const CommandEntry* entry = GetCommandMap(); entry->id != 0; ++entry) {
        if (entry->id == id) {
            (this->*entry->handler)();
            return true;
        }
    }
    return false;
}

void CWinApp::OnHelp() {
    if (!m_strHelpFilePath.IsEmpty())
        ::ShellExecuteW(nullptr, L"open", m_strHelpFilePath, nullptr, nullptr, SW_SHOWNORMAL);
}

int CWinApp::Run(HINSTANCE instance, LPWSTR commandLine) {
    m_hInstance = instance;
    m_lpCmdLine = commandLine ? commandLine : L"";
    if (m_strRequestedName.IsEmpty()) m_strAppName = FileTitleOfModule(instance);
    InitInstance();
    return m_nExitCode;
}

CWinApp* AfxGetApp() { return g_app; }

HINSTANCE AfxGetInstanceHandle() { return g_app ? g_app->m_hInstance : ::GetModuleHandleW(nullptr); }

int AfxMessageBox(LPCWSTR text, UINT type, UINT helpId) {
    (void)helpId;  // no help contexts: the installer carries no help of its own
    LPCWSTR caption = g_app ? g_app->m_strAppName.GetString() : L"";
    return ::MessageBoxW(::GetActiveWindow(), text, caption, type);
}
