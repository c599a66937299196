// exit_code.exe PROGRAM [ARGUMENTS...]: runs the program, waits for it and prints its exit code in
// decimal. Wine hands only the low 8 bits of an exit code to the Linux side, which cannot tell
// the installer's 1602 and 1603 apart from other codes; this reports the whole code.
//
// EXIT_CODE_MORE_ARGUMENTS, when set, is appended to the program's command line exactly as typed.
// Wine escapes the quotes inside an argument that comes from Linux (-path="C:\X" arrives as
// -path=\"C:\X\"), so a command line as a package manager writes it has to come this way.
//
// EXIT_CODE_WAIT_FOR, when set, names an event to wait for before the program is started, so that
// it starts at once when another process signals it (or after five minutes).
#include <windows.h>

#include <stdio.h>
#include <wchar.h>
#include <string>

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
    std::wstring command = line;
    wchar_t more[4096];
    DWORD length = ::GetEnvironmentVariableW(L"EXIT_CODE_MORE_ARGUMENTS", more, 4096);
    if (length > 0 && length < 4096) command += std::wstring(L" ") + more;
    wchar_t event[256];
    length = ::GetEnvironmentVariableW(L"EXIT_CODE_WAIT_FOR", event, 256);
    if (length > 0 && length < 256) ::WaitForSingleObject(::CreateEventW(nullptr, TRUE, FALSE, event), 300000);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        fwprintf(stderr, L"cannot start %ls: error %lu\n", command.c_str(), ::GetLastError());
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
