#include "tests/support/DialogHarness.h"

#include "app/CommandLine.h"
#include "framework/CWinApp.h"
#include "res/resource.h"

#include <sddl.h>
#include <shlobj.h>

#include <vector>

namespace {
DialogHarness* g_running = nullptr;
constexpr UINT_PTR kWatchdogTimer = 0x5EED;
std::atomic<int> g_shown{0};
std::wstring g_shownWindows;

void RecordShown(HWND window, const wchar_t* how) {
    g_shown++;
    wchar_t className[64] = {};
    if (window) ::GetClassNameW(window, className, 64);
    g_shownWindows += std::wstring(how) + L" '" + className + L"'; ";
}

LRESULT CALLBACK CbtHook(int code, WPARAM wParam, LPARAM lParam) {
    // Hidden windows get activated too (Wine activates the dialog while it is created); only a
    // visible one is something the user sees.
    if (code == HCBT_ACTIVATE && ::IsWindowVisible(reinterpret_cast<HWND>(wParam)))
        RecordShown(reinterpret_cast<HWND>(wParam), L"activated");
    if (code == HCBT_CREATEWND) {
        auto* create = reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs;
        if (!(create->style & WS_CHILD) && (create->style & WS_VISIBLE)) {
            g_shown++;
            g_shownWindows += std::wstring(L"created visible '") +
                              (HIWORD(create->lpszClass) ? create->lpszClass : L"#atom") + L"'; ";
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK CallWndProcHook(int code, WPARAM wParam, LPARAM lParam) {
    auto* message = reinterpret_cast<CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && message->message == WM_SHOWWINDOW && message->wParam &&
        !(::GetWindowLongW(message->hwnd, GWL_STYLE) & WS_CHILD))
        RecordShown(message->hwnd, L"shown");
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}
}  // namespace

INT_PTR DialogHarness::Run(Body body, LPCWSTR commandLine) {
    m_body = std::move(body);
    m_commandLine = ParseCommandLine(commandLine);
    g_running = this;
    UINT_PTR timer = ::SetTimer(nullptr, 0, 10, &DialogHarness::OnTimer);
    INT_PTR result = DoModal();
    ::KillTimer(nullptr, timer);
    g_running = nullptr;
    return result;
}

void CALLBACK DialogHarness::OnTimer(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    DialogHarness* self = g_running;
    if (!self || !self->m_hWnd) return;
    if (self->m_body) {
        Body body = std::move(self->m_body);
        self->m_body = nullptr;
        body(*self);
        // A dialog that body ended leaves the modal loop before this timer fires.
        ::SetTimer(nullptr, kWatchdogTimer, 300, &DialogHarness::OnTimer);
        return;
    }
    self->m_bEndedByHarness = true;
    self->EndDialog(IDCANCEL);
}

std::vector<DialogHarness::Row> DialogHarness::Rows() const {
    std::vector<Row> rows;
    CListCtrl list;
    list.m_hWnd = ::GetDlgItem(m_hWnd, IDC_PROGRESS_LIST);
    for (int i = 0; i < list.GetItemCount(); ++i)
        rows.push_back({list.GetItemText(i, 0).GetString(), list.GetItemImage(i), list.GetItemText(i, 1).GetString()});
    return rows;
}

std::vector<std::wstring> DialogHarness::Labels() const {
    std::vector<std::wstring> labels;
    for (const Row& row : Rows()) labels.push_back(row.label);
    return labels;
}

void DialogHarness::Click(int id) {
    SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(m_hWnd, id)));
}

MessageBoxWatcher::MessageBoxWatcher() : m_thread(&MessageBoxWatcher::Watch, this) {}

MessageBoxWatcher::~MessageBoxWatcher() { Stop(); }

bool MessageBoxWatcher::Stop() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
    return m_found;
}

void MessageBoxWatcher::Watch() {
    const CString caption = AfxGetApp()->m_strAppName;
    while (!m_stop) {
        HWND box = ::FindWindowW(L"#32770", caption);
        if (box && ::IsWindowVisible(box)) {
            // The message text is the one static control that is not the icon.
            for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
                wchar_t className[32] = {};
                ::GetClassNameW(child, className, 32);
                if (_wcsicmp(className, L"Static") != 0) continue;
                if ((::GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) continue;
                int length = ::GetWindowTextLengthW(child);
                std::wstring text(static_cast<size_t>(length) + 1, L'\0');
                ::GetWindowTextW(child, &text[0], length + 1);
                text.resize(static_cast<size_t>(length));
                m_text = text;
                break;
            }
            m_found = true;
            ::PostMessageW(box, WM_COMMAND, IDOK, 0);
            return;
        }
        ::Sleep(20);
    }
}

InstallLockHolder::InstallLockHolder(const wchar_t* security, bool abandon)
    : m_release(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    HANDLE held = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_thread = std::thread([this, security, abandon, held] {
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        ::ConvertStringSecurityDescriptorToSecurityDescriptorW(security, SDDL_REVISION_1, &descriptor, nullptr);
        SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
        m_mutex = ::CreateMutexW(&attributes, TRUE, L"Global\\PelmoSoftwareMemotackSetup");
        ::LocalFree(descriptor);
        ::SetEvent(held);
        if (abandon) return;
        ::WaitForSingleObject(m_release, INFINITE);
        ::ReleaseMutex(m_mutex);
    });
    ::WaitForSingleObject(held, 10000);
    ::CloseHandle(held);
    // The mutex is abandoned once the thread has ended.
    if (abandon) m_thread.join();
}

InstallLockHolder::~InstallLockHolder() {
    ::SetEvent(m_release);
    if (m_thread.joinable()) m_thread.join();
    if (m_mutex) ::CloseHandle(m_mutex);
    ::CloseHandle(m_release);
}

ShownWindowRecorder::ShownWindowRecorder() {
    g_shown = 0;
    g_shownWindows.clear();
    m_cbt = ::SetWindowsHookExW(WH_CBT, &CbtHook, nullptr, ::GetCurrentThreadId());
    m_callWndProc = ::SetWindowsHookExW(WH_CALLWNDPROC, &CallWndProcHook, nullptr, ::GetCurrentThreadId());
}

ShownWindowRecorder::~ShownWindowRecorder() {
    ::UnhookWindowsHookEx(m_cbt);
    ::UnhookWindowsHookEx(m_callWndProc);
}

int ShownWindowRecorder::Count() const { return g_shown; }

std::wstring ShownWindowRecorder::Windows() const { return g_shownWindows; }

namespace {
CString ShellFolder(int csidl) {
    wchar_t folder[MAX_PATH] = {};
    return ::SHGetSpecialFolderPathW(nullptr, folder, csidl, FALSE) ? CString(folder) : CString();
}
}  // namespace

InstallTracesRemover::~InstallTracesRemover() {
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\PelmoMemotack");
    ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\PelmoMemotack");
    ::DeleteFileW(ShellFolder(CSIDL_WINDOWS) + L"\\uninstallmemotack.bat");
    for (int csidl : {CSIDL_STARTUP, CSIDL_COMMON_STARTUP}) ::DeleteFileW(ShellFolder(csidl) + L"\\Memotack.lnk");
    for (int csidl : {CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS}) RemoveTree(ShellFolder(csidl) + L"\\Memotack");
    RemoveTree(ShellFolder(CSIDL_PROGRAM_FILES) + L"\\Memotack");
}

bool FileExists(const CString& path) {
    DWORD attributes = ::GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const CString& path) {
    DWORD attributes = ::GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}
