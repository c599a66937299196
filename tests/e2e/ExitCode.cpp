// exit_code.exe PROGRAM [ARGUMENTS...]: runs the program, waits for it and prints its exit code in
// decimal. Wine hands only the low 8 bits of an exit code to the Linux side, which cannot tell
// the installer's 1602 and 1603 apart from other codes; this reports the whole code.
#include <windows.h>

#include <stdio.h>
#include <wchar.h>

int wmain() {
    // The rest of our own command line after the first argument, quoting kept as typed.
    LPWSTR line = ::GetCommandLineW();
    bool quoted = false;
    while (*line && (quoted || (*line != L' ' && *line != L'\t'))) {
        if (*line == L'"') quoted = !quoted;
        ++line;
    }
    while (*line == L' ' || *line == L'\t') ++line;
    if (!*line) {
        fwprintf(stderr, L"usage: exit_code PROGRAM [ARGUMENTS...]\n");
        return 2;
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessW(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        fwprintf(stderr, L"cannot start %ls: error %lu\n", line, ::GetLastError());
        return 2;
    }
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    ::GetExitCodeProcess(process.hProcess, &code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    wprintf(L"%lu\n", code);
    return 0;
}
