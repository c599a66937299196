#include "ui/InstallFolder.h"

#include <string.h>
#include <wchar.h>

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

// The folder's whole text and a name below it must fit the steps' MAX_PATH buffers with the
// terminating null: the longest is the help file's zone marker, "\memotack.chm:Zone.Identifier"
// (29 characters), which also keeps CreateDirectoryW within its 248 characters.
constexpr int kLongestFolder = MAX_PATH - 1 - 29;

// A name that Windows takes for a device in every folder: CON, PRN, AUX, NUL, COM1-9 and LPT1-9
// (the superscripts 1, 2 and 3 count as digits there; COM0 and LPT0 are plain names), in any case,
// whatever follows a dot, with the spaces before that dot dropped.
bool IsDeviceName(const CString& name) {
    int end = name.Find(L'.');
    if (end < 0) end = name.GetLength();
    while (end > 0 && name[end - 1] == L' ') --end;
    static const wchar_t* const kDevices[] = {L"CON", L"PRN", L"AUX", L"NUL"};
    for (LPCWSTR device : kDevices)
        if (end == 3 && _wcsnicmp(name, device, 3) == 0) return true;
    if (end != 4 || !wcschr(L"123456789\u00b9\u00b2\u00b3", name[3])) return false;
    return _wcsnicmp(name, L"COM", 3) == 0 || _wcsnicmp(name, L"LPT", 3) == 0;
}

// Why a name between backslashes cannot be a folder of its own, or nullptr.
LPCWSTR NameProblem(const CString& name) {
    if (name.IsEmpty() || name == L"." || name == L"..")
        return L"has an empty, \".\" or \"..\" name, which Windows folds into the folders around it";
    wchar_t last = name[name.GetLength() - 1];
    if (last == L'.' || last == L' ') return L"has a name ending in a dot or a space, which Windows drops";
    if (IsDeviceName(name)) return L"has a name that Windows keeps for a device (CON, NUL, COM1, LPT1, ...)";
    return nullptr;
}

// The first name's problem in a full path after its "X:\" or "\\", one trailing backslash aside.
LPCWSTR NamesProblem(const CString& folder) {
    int end = folder.GetLength();
    if (folder[end - 1] == L'\\') --end;
    for (int start = folder[0] == L'\\' ? 2 : 3; start <= end;) {
        int separator = folder.Find(L'\\', start);
        if (separator < 0 || separator > end) separator = end;
        if (LPCWSTR problem = NameProblem(folder.Mid(start, separator - start))) return problem;
        start = separator + 1;
    }
    return nullptr;
}
}  // namespace

CString InstallFolderProblem(const CString& folder, const CString& subject) {
    const CString given = subject + L" ";
    if (folder.IsEmpty()) return given + L"is empty.";
    if (StartsWith(folder, L"\\\\.\\") || StartsWith(folder, L"\\\\?\\"))
        return given + L"is a device path (\\\\.\\ or \\\\?\\), not a folder on a drive or share: " + folder;
    int forbidden = FindForbiddenCharacter(folder);
    if (forbidden >= 0) {
        CString problem;
        problem.Format(L"%lsholds a character that Windows folder names cannot hold (U+%04X at position %d): %ls",
                       given.GetString(), static_cast<unsigned>(folder[forbidden]), forbidden + 1, folder.GetString());
        return problem;
    }
    if (!IsFullPath(folder)) return given + L"is not a full path such as C:\\Apps\\Memotack: " + folder;
    if (folder[1] == L':' && folder.GetLength() <= 4 && folder[folder.GetLength() - 1] == L'\\')
        return given + L"is the root of a drive, not a folder of its own: " + folder;
    if (LPCWSTR problem = NamesProblem(folder)) return given + problem + L": " + folder;
    if (folder.GetLength() > kLongestFolder) {
        CString problem;
        problem.Format(L"%lsis longer than the %d characters the install can hold: %ls", given.GetString(),
                       kLongestFolder, folder.GetString());
        return problem;
    }
    return L"";
}
