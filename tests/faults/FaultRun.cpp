// fault_run.exe ENTRY_IN ENTRY_OUT [PROGRAM [ARGUMENTS...]]: test tooling. Runs PROGRAM with
// fault_inject.dll (beside this file) loaded into it before its entry point, waits for it and prints
// its whole exit code, or "timeout" when it has not ended after MEMOTACK_FAULT_TIMEOUT seconds
// (default 60; it is then ended).
// The uninstall entry, in both registry views, is set from ENTRY_IN before the run and written to
// ENTRY_OUT after it, one value a line: VIEW TAB NAME TAB TYPE TAB DATA (UTF-8; VIEW 32 or 64,
// TYPE sz or dword). "-" leaves the entry alone; an empty ENTRY_IN file means no entry.
// EXIT_CODE_MORE_ARGUMENTS is appended to PROGRAM's command line as typed (see exit_code.exe).
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

#include <string>

namespace {
const wchar_t kEntry[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\PelmoMemotack";
const REGSAM kViews[] = {KEY_WOW64_32KEY, KEY_WOW64_64KEY};

std::wstring Utf16(const std::string& text) {
    std::wstring wide(text.size(), L'\0');
    wide.resize(::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0],
                                      static_cast<int>(wide.size())));
    return wide;
}

std::string Utf8(const std::wstring& text) {
    std::string narrow(text.size() * 3, '\0');
    narrow.resize(::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &narrow[0],
                                        static_cast<int>(narrow.size()), nullptr, nullptr));
    return narrow;
}

void SetEntry(const wchar_t* path) {
    for (REGSAM view : kViews) ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kEntry, view, 0);
    FILE* file = _wfopen(path, L"rb");
    if (!file) return;
    char line[4096];
    while (fgets(line, sizeof line, file)) {
        line[strcspn(line, "\r\n")] = 0;
        char* fields[4] = {line};
        for (int i = 1; i < 4 && fields[i - 1]; ++i) {
            char* tab = strchr(fields[i - 1], '\t');
            fields[i] = tab ? (*tab = 0, tab + 1) : nullptr;
        }
        if (!fields[3]) continue;
        HKEY key;
        if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kEntry, 0, nullptr, 0,
                              KEY_SET_VALUE | (atoi(fields[0]) == 64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY), nullptr,
                              &key, nullptr) != ERROR_SUCCESS)
            continue;
        std::wstring name = Utf16(fields[1]);
        if (strcmp(fields[2], "dword") == 0) {
            DWORD number = strtoul(fields[3], nullptr, 10);
            ::RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<BYTE*>(&number), sizeof number);
        } else {
            std::wstring data = Utf16(fields[3]);
            ::RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                             static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
        }
        ::RegCloseKey(key);
    }
    fclose(file);
}

void WriteEntry(const wchar_t* path) {
    FILE* file = _wfopen(path, L"wb");
    if (!file) return;
    for (REGSAM view : kViews) {
        HKEY key;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kEntry, 0, KEY_QUERY_VALUE | view, &key) != ERROR_SUCCESS) continue;
        for (DWORD index = 0;; ++index) {
            wchar_t name[256];
            BYTE data[8192];
            DWORD nameLength = 256, size = sizeof data - 2, type = 0;
            if (::RegEnumValueW(key, index, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
            data[size] = data[size + 1] = 0;
            std::string text = type == REG_DWORD ? std::to_string(*reinterpret_cast<DWORD*>(data))
                                                 : Utf8(reinterpret_cast<wchar_t*>(data));
            fprintf(file, "%d\t%s\t%s\t%s\n", view == KEY_WOW64_64KEY ? 64 : 32, Utf8(name).c_str(),
                    type == REG_DWORD ? "dword" : type == REG_SZ ? "sz" : "other", text.c_str());
        }
        ::RegCloseKey(key);
    }
    fclose(file);
}

// The rest of the command line after `skip` arguments, quoting kept as typed.
LPWSTR ArgumentsAfter(LPWSTR line, int skip) {
    for (int i = 0; i < skip; ++i) {
        bool quoted = false;
        while (*line && (quoted || (*line != L' ' && *line != L'\t'))) {
            if (*line == L'"') quoted = !quoted;
            ++line;
        }
        while (*line == L' ' || *line == L'\t') ++line;
    }
    return line;
}

// Loads the DLL in the suspended process through a thread of its own that runs LoadLibraryW;
// kernel32 lies at the same address in every process of a session.
bool Inject(HANDLE process, const std::wstring& dll) {
    SIZE_T bytes = (dll.size() + 1) * sizeof(wchar_t);
    void* remote = ::VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT, PAGE_READWRITE);
    if (!remote || !::WriteProcessMemory(process, remote, dll.c_str(), bytes, nullptr)) return false;
    auto load = reinterpret_cast<LPTHREAD_START_ROUTINE>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "LoadLibraryW")));
    HANDLE thread = ::CreateRemoteThread(process, nullptr, 0, load, remote, 0, nullptr);
    if (!thread) return false;
    ::WaitForSingleObject(thread, INFINITE);
    DWORD module = 0;
    ::GetExitCodeThread(thread, &module);
    ::CloseHandle(thread);
    return module != 0;
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        fwprintf(stderr, L"usage: fault_run ENTRY_IN ENTRY_OUT [PROGRAM [ARGUMENTS...]]\n");
        return 2;
    }
    if (wcscmp(argv[1], L"-") != 0) SetEntry(argv[1]);
    if (argc == 3) {
        if (wcscmp(argv[2], L"-") != 0) WriteEntry(argv[2]);
        return 0;
    }
    std::wstring command = ArgumentsAfter(::GetCommandLineW(), 3);
    wchar_t more[4096];
    DWORD length = ::GetEnvironmentVariableW(L"EXIT_CODE_MORE_ARGUMENTS", more, 4096);
    if (length > 0 && length < 4096) command += std::wstring(L" ") + more;
    wchar_t self[MAX_PATH];
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring dll = self;
    dll = dll.substr(0, dll.rfind(L'\\') + 1) + L"fault_inject.dll";

    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr, &startup,
                          &process)) {
        fwprintf(stderr, L"cannot start %ls: error %lu\n", command.c_str(), ::GetLastError());
        return 2;
    }
    if (!Inject(process.hProcess, dll)) {
        fwprintf(stderr, L"cannot load %ls into the program\n", dll.c_str());
        ::TerminateProcess(process.hProcess, 2);
        return 2;
    }
    ::ResumeThread(process.hThread);
    length = ::GetEnvironmentVariableW(L"MEMOTACK_FAULT_TIMEOUT", more, 4096);
    DWORD seconds = length > 0 && length < 4096 ? wcstoul(more, nullptr, 10) : 60;
    if (::WaitForSingleObject(process.hProcess, seconds * 1000) == WAIT_TIMEOUT) {
        ::TerminateProcess(process.hProcess, 1);
        ::WaitForSingleObject(process.hProcess, INFINITE);
        wprintf(L"timeout\n");
    } else {
        DWORD code = 0;
        ::GetExitCodeProcess(process.hProcess, &code);
        wprintf(L"%lu\n", code);
    }
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    if (wcscmp(argv[2], L"-") != 0) WriteEntry(argv[2]);
    return 0;
}
