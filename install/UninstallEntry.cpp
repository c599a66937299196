#include "framework/Handles.h"
#include "ui/InstallerDlg.h"

#include <string.h>
#include <wchar.h>

#include <string>

namespace {

const wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\PelmoMemotack";
// The same key as a 64-bit program sees it when this 32-bit program's writes were redirected.
const wchar_t kUninstallKeyWow64[] =
    L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\PelmoMemotack";
const wchar_t kPublisherWebAddress[] = L"https://www.pelmo-software.example/memotack";

LONG SetText(HKEY key, LPCWSTR name, const CString& text) {
    DWORD bytes = static_cast<DWORD>((text.GetLength() + 1) * sizeof(wchar_t));
    return ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.GetString()), bytes);
}

LONG SetNumber(HKEY key, LPCWSTR name, DWORD number) {
    return ::RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
}

// A 32-bit program on 64-bit Windows.
bool IsWow64() {
    BOOL wow64 = FALSE;
    return ::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64;
}

// The message of a system error code, without its trailing line break.
CString SystemMessage(DWORD code) {
    LocalMemory buffer;
    DWORD length =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, code, 0, reinterpret_cast<LPWSTR>(buffer.Receive()), 0, nullptr);
    if (length == 0) {
        CString text;
        text.Format(L"System error %lu", code);
        return text;
    }
    CString text(buffer.As<wchar_t>(), static_cast<int>(length));
    while (!text.IsEmpty() && (text[text.GetLength() - 1] == L'\n' || text[text.GetLength() - 1] == L'\r'))
        text.Truncate(text.GetLength() - 1);
    return text;
}

// Writes text to path as a text-mode stream does: each character converted to 8 bits under the C
// runtime's locale, each line feed as CR LF, no byte-order mark. An existing file is truncated.
// True only when every byte reached the file and the file closed cleanly; otherwise false with the
// reason in error.
bool WriteTextFile(const CString& path, const CString& text, CString& error) {
    std::string bytes;
    bytes.reserve(static_cast<size_t>(text.GetLength()) + 64);
    mbstate_t state;
    memset(&state, 0, sizeof state);
    for (int i = 0; i < text.GetLength(); ++i) {
        wchar_t ch = text[i];
        if (ch == L'\n') {
            bytes += "\r\n";
            continue;
        }
        char converted[MB_LEN_MAX];
        size_t count = wcrtomb(converted, ch, &state);
        if (count == static_cast<size_t>(-1)) {
            error.Format(L"A character of the uninstaller cannot be written as 8-bit text: %s", path.GetString());
            return false;
        }
        bytes.append(converted, count);
    }

    UniqueHandle file(::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) {
        error = SystemMessage(::GetLastError());
        return false;
    }
    DWORD written = 0;
    if (!::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size()) {
        error = SystemMessage(::GetLastError());
        return false;
    }
    if (!::CloseHandle(file.Release())) {
        error = SystemMessage(::GetLastError());
        return false;
    }
    return true;
}

}  // namespace

// The Add/Remove Programs entry. Every value is attempted; one failed write fails the row.
void CInstallerDlg::CreateUninstallEntry(int row, const CString& windowsFolder) {
    AddStepRow(row, L"Create Add/Remove Programs entry");
    bool success = true;
    RegKey key;
    // A key that cannot be created leaves key empty, and every write below then fails.
    ::RegCreateKeyW(HKEY_LOCAL_MACHINE, kUninstallKey, key.Receive());
    const LONG results[] = {
        SetText(key.Get(), L"DisplayName", L"Memotack 8.0a"),
        SetText(key.Get(), L"UninstallString", windowsFolder + L"\\uninstallmemotack.bat"),
        SetText(key.Get(), L"HelpLink", kPublisherWebAddress),
        SetText(key.Get(), L"Contact", L"Dax Quillon"),
        SetText(key.Get(), L"Publisher", L"Pelmo Software"),
        SetText(key.Get(), L"URLInfoAbout", kPublisherWebAddress),
        SetText(key.Get(), L"Readme", m_strInstallPath + L"\\memotack.chm"),
        SetText(key.Get(), L"Comments", L"Pelmo Software Memotack"),
        SetText(key.Get(), L"InstallLocation", m_strInstallPath),
        SetText(key.Get(), L"DisplayIcon", m_strInstallPath + L"\\memotack.exe"),
        SetNumber(key.Get(), L"NoRepair", 1),
        SetNumber(key.Get(), L"NoModify", 1),
    };
    key.Close();
    for (LONG result : results) {
        if (result != ERROR_SUCCESS) success = false;
    }
    if (success) {
        SetStepStatus(row, StepDone);
    } else {
        SetStepError(row, CString(L"Failure writing to: ") + kUninstallKey);
        SetStepStatus(row, StepFailed);
    }
}

// Appends the closing lines to the script and writes the uninstaller into the Windows folder.
//
// The temporary registry script is named in quotes, as TEMP may hold spaces, and each echo puts its
// redirection first: "echo X > file" writes "X " with a trailing space, and some command processors'
// registry import then ignores the whole file. Under WOW64 this program's key lives in the 32-bit
// registry view, while the regedit the uninstaller starts may be the 64-bit one: the script names
// the key in both views, and the regedit of either kind deletes the one it finds.
void CInstallerDlg::CreateUninstaller(int row, const CString& windowsFolder, CString& script) {
    script += L">\"%TEMP%\\delmtq.reg\" echo REGEDIT4\n";
    script += L">>\"%TEMP%\\delmtq.reg\" echo.\n";
    script += CString(L">>\"%TEMP%\\delmtq.reg\" echo [-HKEY_LOCAL_MACHINE\\") + kUninstallKey + L"]\n";
    if (IsWow64())
        script += CString(L">>\"%TEMP%\\delmtq.reg\" echo [-HKEY_LOCAL_MACHINE\\") + kUninstallKeyWow64 + L"]\n";
    script += L"regedit /s \"%TEMP%\\delmtq.reg\"\n";
    script += L"del \"%TEMP%\\delmtq.reg\"\n";
    script += L"rd \"" + m_strInstallPath + L"\"\n";
    script += L"del %0\n";

    AddStepRow(row, L"Create uninstaller");
    // Done only once the file is closed: an error that shows when the last bytes are flushed fails the row.
    CString error;
    if (WriteTextFile(windowsFolder + L"\\uninstallmemotack.bat", script, error)) {
        SetStepStatus(row, StepDone);
    } else {
        error.Truncate(255);
        SetStepError(row, error);
        SetStepStatus(row, StepFailed);
    }
}
