#include "install/EarlierInstall.h"

#include "framework/ByteBuffer.h"
#include "framework/Handles.h"
#include "install/InstalledFiles.h"
#include "install/UninstallerScript.h"
#include "ui/InstallerDlg.h"

#include <wchar.h>

namespace {

const wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\PelmoMemotack";
// More than any uninstaller this program writes; the rest of a larger file is not read.
constexpr DWORD kLargestUninstaller = 64 * 1024;

// A "del" or "rd" of one path in quotes that does not start with a variable.
bool IsRemovalLine(const CString& line) {
    const int open = wcsncmp(line, L"del \"", 5) == 0 ? 4 : wcsncmp(line, L"rd \"", 4) == 0 ? 3 : -1;
    const int close = line.GetLength() - 1;
    return open > 0 && close > open + 1 && line.Find(L'"', open + 1) == close && line[open + 1] != L'%';
}

// The text of the file at path, read in the uninstaller's code page; ERROR_SUCCESS or why it could
// not be read.
DWORD ReadScript(const CString& path, CString& text) {
    UniqueHandle file(::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file.IsValid()) return ::GetLastError();
    ByteBuffer bytes;
    char chunk[4096];
    DWORD read = 0;
    do {
        if (!::ReadFile(file.Get(), chunk, sizeof chunk, &read, nullptr)) return ::GetLastError();
        bytes.Append(chunk, read);
    } while (read > 0 && bytes.Size() < kLargestUninstaller);
    if (bytes.IsEmpty()) return ERROR_SUCCESS;
    const int size = static_cast<int>(bytes.Size());
    const int length = ::MultiByteToWideChar(kScriptCodePage, 0, bytes.Data(), size, nullptr, 0);
    if (length <= 0) return ::GetLastError();
    const int converted = ::MultiByteToWideChar(kScriptCodePage, 0, bytes.Data(), size, text.GetBuffer(length), length);
    text.ReleaseBuffer(converted > 0 ? converted : 0);
    return converted > 0 ? ERROR_SUCCESS : ::GetLastError();
}

}  // namespace

EarlierEntry ReadEarlierEntry() {
    EarlierEntry entry;
    RegKey key;
    LONG status = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_QUERY_VALUE, key.Receive());
    if (status == ERROR_FILE_NOT_FOUND) return entry;
    entry.exists = true;
    // Room for a terminator the value may lack; a longer value is no folder the install can use.
    wchar_t location[MAX_PATH + 1] = {};
    DWORD type = REG_NONE, size = MAX_PATH * sizeof(wchar_t);
    if (status == ERROR_SUCCESS)
        status =
            ::RegQueryValueExW(key.Get(), L"InstallLocation", nullptr, &type, reinterpret_cast<BYTE*>(location), &size);
    if (status == ERROR_FILE_NOT_FOUND) return entry;
    if (status == ERROR_SUCCESS && type != REG_SZ) status = ERROR_INVALID_DATA;
    if (status == ERROR_SUCCESS)
        entry.location = location;
    else
        entry.status = status;
    return entry;
}

CString RemovalLines(const CString& uninstallerText) {
    CString lines;
    for (int start = 0; start < uninstallerText.GetLength();) {
        int end = uninstallerText.Find(L'\n', start);
        if (end < 0) end = uninstallerText.GetLength();
        CString line = uninstallerText.Mid(start, end - start);
        if (!line.IsEmpty() && line[line.GetLength() - 1] == L'\r') line.Truncate(line.GetLength() - 1);
        if (IsRemovalLine(line)) lines += line + L"\n";
        start = end + 1;
    }
    return lines;
}

CString LinesNotIn(const CString& lines, const CString& script) {
    CString held = L"\n" + script, added;
    for (int start = 0, end; (end = lines.Find(L'\n', start)) >= 0; start = end + 1) {
        const CString line = lines.Mid(start, end - start + 1);
        if (held.Find(L"\n" + line) >= 0) continue;
        held += line;
        added += line;
    }
    return added;
}

// What the earlier uninstaller removes goes into this one, before the registry lines: its del and
// rd lines name what the earlier install made (files, shortcuts of either audience, folders, in an
// order that empties each folder before removing it), and the earlier folder's two files and the
// folder itself are named in any case. A line this script holds already is not repeated. Nothing of
// the earlier install is removed now. An earlier uninstaller that is gone names nothing; one that is
// there but cannot be read stops the new one, which could not remove all it does.
DWORD CInstallerDlg::AddEarlierInstallLines(const CString& uninstaller, CString& script) {
    CString text;
    const DWORD error = ReadScript(uninstaller, text);
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
        m_log.WriteLine(L"Earlier install: its uninstaller is gone, this one removes its folder only");
    else if (error != ERROR_SUCCESS)
        return error;
    CString lines = RemovalLines(text);
    if (!m_strEarlierFolder.IsEmpty()) {
        const InstalledFiles earlier(m_strEarlierFolder);
        lines += L"del " + QuotedScriptPath(earlier.help) + L"\n";
        lines += L"del " + QuotedScriptPath(earlier.exe) + L"\n";
        lines += L"rd " + QuotedScriptPath(earlier.folder) + L"\n";
    }
    script += LinesNotIn(lines, script);
    return ERROR_SUCCESS;
}
