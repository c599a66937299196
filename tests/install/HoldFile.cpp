// Test helper that holds what a test needs held, and prints "held" once it does.
//   hold_file PATH [SECONDS]: opens PATH (creating it) with no sharing, so that no other process
//   can open, delete or start it; signals the event "MemotackTestFileHeld" and keeps the file open
//   until "MemotackTestFileRelease" is signalled or SECONDS (default 60) have passed.
//   hold_file -window [SECONDS]: a window titled as the running Memotack's that never closes, for
//   SECONDS (default 60). Asked to close, it signals the event "MemotackTestCloseAsked", prints
//   "WM_CLOSE" and takes 4 of the 5 seconds that the installer waits for an answer.
#include <windows.h>

#include <stdlib.h>

namespace {
void Print(const char* line) {
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), line, lstrlenA(line), &written, nullptr);
}

LRESULT CALLBACK StubbornWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
        ::SetEvent(::CreateEventW(nullptr, TRUE, FALSE, L"MemotackTestCloseAsked"));
        Print("WM_CLOSE\n");
        ::Sleep(4000);
        return 0;
    }
    if (message == WM_TIMER) ::PostQuitMessage(0);
    return ::DefWindowProcW(window, message, wParam, lParam);
}

int HoldWindow(DWORD milliseconds) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = &StubbornWindow;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"MemotackTestStubbornWindow";
    ::RegisterClassW(&windowClass);
    HWND window = ::CreateWindowExW(0, windowClass.lpszClassName, L"PelmoSoftwareMemotackMain", WS_OVERLAPPED, 0, 0,
                                    100, 100, nullptr, nullptr, windowClass.hInstance, nullptr);
    if (!window) return 1;
    ::SetTimer(window, 1, milliseconds, nullptr);
    Print("held\n");
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) ::DispatchMessageW(&message);
    return 0;
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    const DWORD milliseconds = argc > 2 ? static_cast<DWORD>(_wtoi(argv[2])) * 1000 : 60000;
    if (lstrcmpW(argv[1], L"-window") == 0) return HoldWindow(milliseconds);
    HANDLE file =
        ::CreateFileW(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    HANDLE held = ::CreateEventW(nullptr, TRUE, FALSE, L"MemotackTestFileHeld");
    HANDLE release = ::CreateEventW(nullptr, TRUE, FALSE, L"MemotackTestFileRelease");
    ::SetEvent(held);
    Print("held\n");
    ::WaitForSingleObject(release, milliseconds);
    ::CloseHandle(file);
    return 0;
}
