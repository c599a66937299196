// Memotack: one window, one page of notes, kept between runs.
//
// The installer relies on three things here: the main window's title, that WM_CLOSE ends the
// program, and the "-close" switch, which asks a running copy to close and waits for it to end.
#include <windows.h>

#include <shellapi.h>

#include <string>

#include "NotesFile.h"
#include "runtime/SystemDllSearch.h"
#include "resource.h"

namespace {

const wchar_t kWindowTitle[] = L"PelmoSoftwareMemotackMain";
const wchar_t kWindowClass[] = L"PelmoMemotackNotes";
const UINT_PTR kAutoSaveTimer = 1;
const UINT kAutoSaveDelayMs = 2000;
const DWORD kCloseWaitMs = 5000;
const UINT kNotesUnreadable = WM_APP + 1;

struct App {
    HWND hEdit = nullptr;
    HFONT hFont = nullptr;
    std::wstring notesPath;
};
App g_app;

std::wstring EditText() {
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(g_app.hEdit)) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(g_app.hEdit, &text[0], static_cast<int>(text.size()))));
    return text;
}

// A failed save keeps the notes of the last successful one on disk. Nobody is told: the installer
// or the end of the session may be closing us; while running, the timer tries again.
bool SaveNow(HWND hWnd) {
    ::KillTimer(hWnd, kAutoSaveTimer);
    return !g_app.notesPath.empty() && memotack::SaveNotes(g_app.notesPath, EditText());
}

HFONT CreateMessageFont() {
    NONCLIENTMETRICSW metrics;
    metrics.cbSize = sizeof metrics;
    if (!::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return nullptr;
    return ::CreateFontIndirectW(&metrics.lfMessageFont);
}

bool OnCreate(HWND hWnd) {
    g_app.hEdit = ::CreateWindowExW(0, L"EDIT", L"",
                                    WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN,
                                    0, 0, 0, 0, hWnd, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    if (!g_app.hEdit) return false;
    g_app.hFont = CreateMessageFont();
    if (g_app.hFont) ::SendMessageW(g_app.hEdit, WM_SETFONT, reinterpret_cast<WPARAM>(g_app.hFont), FALSE);
    ::SendMessageW(g_app.hEdit, EM_SETLIMITTEXT, 0, 0);
    ::SendMessageW(g_app.hEdit, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(6, 6));
    g_app.notesPath = memotack::NotesPath();
    std::wstring notes;
    if (g_app.notesPath.empty() || !memotack::LoadNotes(g_app.notesPath, notes)) {
        // Saving now would replace notes we could not read with an empty page.
        g_app.notesPath.clear();
        ::PostMessageW(hWnd, kNotesUnreadable, 0, 0);
        return true;
    }
    ::SetWindowTextW(g_app.hEdit, notes.c_str());
    return true;
}

LRESULT CALLBACK WindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            return OnCreate(hWnd) ? 0 : -1;
        case WM_SIZE:
            ::MoveWindow(g_app.hEdit, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
            return 0;
        case WM_SETFOCUS:
            ::SetFocus(g_app.hEdit);
            return 0;
        case WM_COMMAND:
            if (HIWORD(wParam) == EN_CHANGE) ::SetTimer(hWnd, kAutoSaveTimer, kAutoSaveDelayMs, nullptr);
            return 0;
        case WM_TIMER:
            if (wParam == kAutoSaveTimer && !SaveNow(hWnd)) ::SetTimer(hWnd, kAutoSaveTimer, kAutoSaveDelayMs, nullptr);
            return 0;
        case WM_ENDSESSION:
            if (wParam) SaveNow(hWnd);
            return 0;
        case WM_CLOSE:
            SaveNow(hWnd);
            ::DestroyWindow(hWnd);
            return 0;
        case kNotesUnreadable:
            ::MessageBoxW(hWnd, L"Memotack cannot read your saved notes. Changes made now will not be saved.",
                          L"Memotack", MB_OK | MB_ICONWARNING);
            return 0;
        case WM_DESTROY:
            ::PostQuitMessage(0);
            return 0;
    }
    return ::DefWindowProcW(hWnd, message, wParam, lParam);
}

// "-close": asks the running copy to close and waits until its process has ended, so that a
// caller may delete the program's files right afterwards.
int CloseRunningCopy() {
    HWND hRunning = ::FindWindowW(nullptr, kWindowTitle);
    if (!hRunning) return 0;
    DWORD processId = 0;
    ::GetWindowThreadProcessId(hRunning, &processId);
    HANDLE hProcess = ::OpenProcess(SYNCHRONIZE, FALSE, processId);
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(hRunning, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, kCloseWaitMs, &result);
    bool ended = true;
    if (hProcess) {
        ended = ::WaitForSingleObject(hProcess, kCloseWaitMs) == WAIT_OBJECT_0;
        ::CloseHandle(hProcess);
    }
    return ended ? 0 : 1;
}

bool HasCloseSwitch() {
    int count = 0;
    LPWSTR* args = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    bool close = false;
    for (int i = 1; args && i < count; ++i) close = close || ::lstrcmpiW(args[i], L"-close") == 0;
    ::LocalFree(args);
    return close;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, PWSTR, int showCommand) {
    // The installer may start this program with its own rights from a folder the user can write to.
    RestrictDllSearchToSystem();
    if (HasCloseSwitch()) return CloseRunningCopy();

    // One copy at a time: two would overwrite each other's notes.
    if (HWND hRunning = ::FindWindowW(nullptr, kWindowTitle)) {
        if (::IsIconic(hRunning)) ::ShowWindow(hRunning, SW_RESTORE);
        ::SetForegroundWindow(hRunning);
        return 0;
    }

    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = hInstance;
    windowClass.hIcon = ::LoadIconW(hInstance, MAKEINTRESOURCEW(IDI_MEMOTACK));
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kWindowClass;
    if (!::RegisterClassExW(&windowClass)) return 1;

    HWND hWnd = ::CreateWindowExW(0, kWindowClass, kWindowTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 480,
                                  360, nullptr, nullptr, hInstance, nullptr);
    if (!hWnd) return 1;
    ::ShowWindow(hWnd, showCommand);
    ::UpdateWindow(hWnd);

    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    if (g_app.hFont) ::DeleteObject(g_app.hFont);
    return static_cast<int>(message.wParam);
}
