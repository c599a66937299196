#include "app/CommandLine.h"

#include <shellapi.h>
#include <string.h>
#include <wchar.h>

#include "framework/Handles.h"

namespace {
bool StartsWith(LPCWSTR text, LPCWSTR prefix) { return wcsncmp(text, prefix, wcslen(prefix)) == 0; }

bool IsDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

// "X:\..." or "\\server\share...".
bool IsFullPath(const CString& folder) {
    if (folder.GetLength() >= 3 && IsDriveLetter(folder[0]) && folder[1] == L':' && folder[2] == L'\\') return true;
    if (folder.GetLength() < 5 || folder[0] != L'\\' || folder[1] != L'\\') return false;
    int shareStart = folder.Find(L'\\', 2) + 1;
    return shareStart > 3 && shareStart < folder.GetLength() && folder[shareStart] != L'\\';
}

// The first character that no Windows folder name can hold; the colon only after the drive letter.
int FindForbiddenCharacter(const CString& folder) {
    for (int i = 0; i < folder.GetLength(); ++i) {
        wchar_t c = folder[i];
        if (c < 0x20 || wcschr(L"<>\"/|?*", c) || (c == L':' && i != 1)) return i;
    }
    return -1;
}
}  // namespace

CommandLineOptions ParseCommandLineOptions(LPCWSTR commandLine) {
    CommandLineOptions options;
    // A stand-in program name first: CommandLineToArgvW reads its first argument by the rules for
    // program names, and for an empty text it returns the path of the running program.
    const CString line = CString(L"setup ") + (commandLine ? commandLine : L"");
    int count = 0;
    LocalMemory memory;
    *memory.Receive() = ::CommandLineToArgvW(line, &count);
    LPWSTR* arguments = memory.As<LPWSTR>();
    if (!arguments) return options;
    for (int i = 1; i < count; ++i) {
        LPCWSTR argument = arguments[i];
        if (wcscmp(argument, L"-everyone") == 0) {
            options.everyone = true;
        } else if (StartsWith(argument, L"-path=")) {
            options.pathGiven = true;
            options.path = argument + wcslen(L"-path=");
        } else if (StartsWith(argument, L"-log=")) {
            options.logPath = argument + wcslen(L"-log=");
        }
    }
    return options;
}

CString InstallFolderProblem(const CString& folder) {
    if (folder.IsEmpty()) return L"The folder given with -path= is empty.";
    int forbidden = FindForbiddenCharacter(folder);
    if (forbidden >= 0) {
        CString problem;
        problem.Format(
            L"The folder given with -path= holds a character that Windows folder names cannot hold "
            L"(U+%04X at position %d): %ls",
            static_cast<unsigned>(folder[forbidden]), forbidden + 1, folder.GetString());
        return problem;
    }
    if (!IsFullPath(folder))
        return L"The folder given with -path= is not a full path such as C:\\Apps\\Memotack: " + folder;
    return L"";
}
