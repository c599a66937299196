#include "tests/support/ModalDriver.h"
#include "tests/support/Printing.h"

#include <utility>

namespace {
std::function<void()> g_pending;

void CALLBACK RunPending(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    std::function<void()> action = std::move(g_pending);
    g_pending = nullptr;
    if (action) action();
}

struct Search {
    LPCWSTR title;
    HWND found;
};

BOOL CALLBACK MatchTitle(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    if (::IsWindowVisible(window) && WindowText(window) == search->title) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK LongestStatic(HWND child, LPARAM param) {
    wchar_t className[32] = {};
    ::GetClassNameW(child, className, 32);
    auto* best = reinterpret_cast<CString*>(param);
    if (_wcsicmp(className, L"Static") == 0) {
        CString text = WindowText(child);
        if (text.GetLength() > best->GetLength()) *best = text;
    }
    return TRUE;
}
}  // namespace

void RunDuringModalLoop(std::function<void()> action, UINT delayMs) {
    g_pending = std::move(action);
    ::SetTimer(nullptr, 0, delayMs, &RunPending);
}

bool PumpUntil(const std::function<bool()>& predicate, DWORD timeoutMs) {
    DWORD start = ::GetTickCount();
    while (!predicate()) {
        if (::GetTickCount() - start > timeoutMs) return predicate();
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::Sleep(10);
    }
    return true;
}

HWND FindThreadWindow(LPCWSTR title) {
    Search search = {title, nullptr};
    ::EnumThreadWindows(::GetCurrentThreadId(), &MatchTitle, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

CString WindowText(HWND window) {
    CString text;
    int length = ::GetWindowTextLengthW(window);
    int copied = ::GetWindowTextW(window, text.GetBuffer(length + 1), length + 1);
    text.ReleaseBuffer(copied);
    return text;
}

CString DialogItemText(HWND dialog, int id) { return WindowText(::GetDlgItem(dialog, id)); }

CString MessageBoxText(HWND box) {
    CString best;
    ::EnumChildWindows(box, &LongestStatic, reinterpret_cast<LPARAM>(&best));
    return best;
}

void PrintTo(const CString& text, std::ostream* os) {
    *os << '"';
    for (int i = 0; i < text.GetLength(); ++i) {
        wchar_t ch = text[i];
        if (ch >= 0x20 && ch < 0x7F)
            *os << static_cast<char>(ch);
        else if (ch == L'\n')
            *os << "\\n";
        else
            *os << "\\u" << std::hex << static_cast<unsigned>(ch) << std::dec;
    }
    *os << '"';
}
