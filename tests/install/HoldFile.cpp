// Test helper: hold_file PATH. Opens PATH (creating it) with no sharing, signals the event
// "MemotackTestFileHeld" and keeps the file open until "MemotackTestFileRelease" is signalled or
// a minute has passed.
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    HANDLE file =
        ::CreateFileW(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    HANDLE held = ::CreateEventW(nullptr, TRUE, FALSE, L"MemotackTestFileHeld");
    HANDLE release = ::CreateEventW(nullptr, TRUE, FALSE, L"MemotackTestFileRelease");
    ::SetEvent(held);
    ::WaitForSingleObject(release, 60000);
    ::CloseHandle(file);
    return 0;
}
