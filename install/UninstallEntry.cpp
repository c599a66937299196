#include "framework/CFileException.h"
#include "framework/CStdioFile.h"
#include "framework/Handles.h"
#include "install/InstalledFiles.h"
#include "install/SavedKey.h"
#include "install/UninstallerScript.h"
#include "ui/InstallerDlg.h"

namespace {

const wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\PelmoMemotack";
// The same key as a 64-bit program sees it when this 32-bit program's writes were redirected.
const wchar_t kUninstallKeyWow64[] =
    L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\PelmoMemotack";
const wchar_t kPublisherWebAddress[] = L"https://www.pelmo-software.example/memotack";
const wchar_t kNotRemoved[] = L"Memotack could not be removed: a file is in use or administrator rights are missing";

LONG SetText(HKEY key, LPCWSTR name, const CString& text) {
    DWORD bytes = static_cast<DWORD>((text.GetLength() + 1) * sizeof(wchar_t));
    return ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.GetString()), bytes);
}

LONG SetNumber(HKEY key, LPCWSTR name, DWORD number) {
    return ::RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
}

// EstimatedSize: the installed files' size in KB, rounded up. A file that is not there (its copy
// failed) counts as none; a size that cannot be read fails the value as a failed write would.
LONG SetInstalledSize(HKEY key, const InstalledFiles& files) {
    ULONGLONG bytes = 0;
    const CString* const installed[] = {&files.exe, &files.help};
    for (const CString* file : installed) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (::GetFileAttributesExW(*file, GetFileExInfoStandard, &data)) {
            bytes += (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        } else {
            const LONG error = static_cast<LONG>(::GetLastError());
            if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) return error;
        }
    }
    return SetNumber(key, L"EstimatedSize", static_cast<DWORD>((bytes + 1023) >> 10));
}

// Today's local date as YYYYMMDD, the form InstallDate takes.
CString Today() {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    CString text;
    text.Format(L"%04u%02u%02u", now.wYear, now.wMonth, now.wDay);
    return text;
}

// The uninstaller's last lines, after those that remove the files and shortcuts: the stop for a
// program file left, the removal of the registry entry, the folders and the uninstaller itself.
// The temporary registry script is named in quotes, as TEMP may hold spaces, and each echo puts its
// redirection first: "echo X > file" writes "X " with a trailing space, and some command processors'
// registry import then ignores the whole file. Under WOW64 this program's key lives in the 32-bit
// registry view, while the regedit the uninstaller starts may be the 64-bit one: the script names
// the key in both views, and the regedit of either kind deletes the one it finds.
CString ClosingLines(const InstalledFiles& files, const CString& parentFolders) {
    // A file of the program that the delete lines left (one in use, or no administrator rights)
    // keeps the entry and the uninstaller, so that running it again can still remove everything.
    const CString stop = L" (echo " + CString(kNotRemoved) + L"& exit /b 1)";
    CString lines = L"if exist " + QuotedScriptPath(files.help) + stop + L" else if exist " +
                    QuotedScriptPath(files.exe) + stop + L"\n";
    lines += L">\"%TEMP%\\delmtq.reg\" echo REGEDIT4\n";
    lines += L">>\"%TEMP%\\delmtq.reg\" echo.\n";
    lines += CString(L">>\"%TEMP%\\delmtq.reg\" echo [-HKEY_LOCAL_MACHINE\\") + kUninstallKey + L"]\n";
    if (IsWow64())
        lines += CString(L">>\"%TEMP%\\delmtq.reg\" echo [-HKEY_LOCAL_MACHINE\\") + kUninstallKeyWow64 + L"]\n";
    lines += L"regedit /s \"%TEMP%\\delmtq.reg\"\n";
    lines += L"del \"%TEMP%\\delmtq.reg\"\n";
    lines += L"rd " + QuotedScriptPath(files.folder) + L"\n";
    for (int start = 0, end; (end = parentFolders.Find(L'\n', start)) >= 0; start = end + 1)
        lines += L"rd " + QuotedScriptPath(parentFolders.Mid(start, end - start)) + L"\n";
    lines += L"del %0\n";
    return lines;
}

}  // namespace

void CInstallerDlg::CreateUninstallEntry(int row,
                                         const InstalledFiles& files,
                                         const CString& uninstaller,
                                         SavedKey* earlier) {
    row = AddStepRow(row, L"Create Add/Remove Programs entry");
    EndStep(row, WriteUninstallEntry(files, uninstaller, earlier));
}

// The Add/Remove Programs entry. Every value is attempted; one failed write fails the step.
bool CInstallerDlg::WriteUninstallEntry(const InstalledFiles& files, const CString& uninstaller, SavedKey* earlier) {
    if (earlier) earlier->Save(HKEY_LOCAL_MACHINE, kUninstallKey);
    RegKey key;
    // A key that cannot be created leaves key empty, and every write below then fails.
    const LONG created = ::RegCreateKeyW(HKEY_LOCAL_MACHINE, kUninstallKey, key.Receive());
    const LONG results[] = {
        SetText(key.Get(), L"DisplayName", L"Memotack 8.0a"),
        SetText(key.Get(), L"UninstallString", uninstaller),
        SetText(key.Get(), L"HelpLink", kPublisherWebAddress),
        SetText(key.Get(), L"Contact", L"Dax Quillon"),
        SetText(key.Get(), L"Publisher", L"Pelmo Software"),
        SetText(key.Get(), L"URLInfoAbout", kPublisherWebAddress),
        SetText(key.Get(), L"Readme", files.help),
        SetText(key.Get(), L"Comments", L"Pelmo Software Memotack"),
        SetText(key.Get(), L"InstallLocation", files.folder),
        SetText(key.Get(), L"DisplayIcon", files.exe),
        SetNumber(key.Get(), L"NoRepair", 1),
        SetNumber(key.Get(), L"NoModify", 1),
        // What inventory and deployment tools read besides: the version, the command that removes
        // the program without asking anything, the size and the date.
        SetText(key.Get(), L"DisplayVersion", L"8.0a"),
        SetText(key.Get(), L"QuietUninstallString", L"\"" + uninstaller + L"\""),
        SetInstalledSize(key.Get(), files),
        SetText(key.Get(), L"InstallDate", Today()),
    };
    key.Close();
    // The log names the first failure, which is the key's own when it could not be created.
    LONG failure = created;
    for (LONG result : results) {
        if (failure == ERROR_SUCCESS) failure = result;
    }
    if (failure == ERROR_SUCCESS) return true;
    if (earlier) earlier->Restore(HKEY_LOCAL_MACHINE, kUninstallKey);
    return SetError(CString(L"Failure writing to: ") + kUninstallKey, static_cast<DWORD>(failure));
}

void CInstallerDlg::CreateUninstaller(int row,
                                      const InstalledFiles& files,
                                      const CString& uninstaller,
                                      CString& script,
                                      const CString& parentFolders,
                                      const SavedKey* earlier) {
    // What an earlier install's uninstaller removes goes before the registry lines; unread, it keeps
    // its place and its entry.
    const DWORD earlierUnread = m_bEarlierEntry ? AddEarlierInstallLines(uninstaller, script) : ERROR_SUCCESS;
    script += ClosingLines(files, parentFolders);
    row = AddStepRow(row, L"Create uninstaller");
    EndStep(row, WriteUninstaller(uninstaller, script, earlierUnread, earlier));
}

// Writes the uninstaller into the Windows folder, in the OEM code page: the command processor reads
// a batch file in the console's code page, so text converted any other way names other files for
// every character beyond ASCII.
bool CInstallerDlg::WriteUninstaller(const CString& uninstaller,
                                     const CString& script,
                                     DWORD earlierUnread,
                                     const SavedKey* earlier) {
    // Checked before anything is written, so that the row names the path rather than the conversion
    // error that writing it would give.
    CString unwritable = UnwritablePath(script);
    if (!unwritable.IsEmpty() || earlierUnread != ERROR_SUCCESS) {
        if (earlier) earlier->Restore(HKEY_LOCAL_MACHINE, kUninstallKey);
        if (earlierUnread != ERROR_SUCCESS)
            return SetError(L"Can't read the earlier uninstaller: " + uninstaller, earlierUnread);
        return SetError(L"Can't write into the uninstaller: " + unwritable, 0);
    }
    // Written in full beside the uninstaller, then moved over it: any failure leaves an earlier
    // uninstaller as it was, and the temporary file is deleted.
    const CString temporary = uninstaller + L".new";
    try {
        CStdioFile file(temporary, CFile::modeCreate | CFile::modeWrite, kScriptCodePage);
        file.WriteString(script);
        file.Flush();
        // On the disk before it takes the uninstaller's name, so that a crash cannot leave an empty one.
        if (!::FlushFileBuffers(file.m_hFile)) CFileException::ThrowOsError(static_cast<LONG>(::GetLastError()));
        file.Close();
        if (!::MoveFileExW(temporary, uninstaller, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            CFileException::ThrowOsError(static_cast<LONG>(::GetLastError()));
        return true;
    } catch (CFileException* error) {
        wchar_t message[256] = {};
        BOOL described = error->GetErrorMessage(message, 256);
        const DWORD code = static_cast<DWORD>(error->m_lOsError);
        error->Delete();
        // The file object is gone by now, its handle closed.
        ::DeleteFileW(temporary);
        if (earlier) earlier->Restore(HKEY_LOCAL_MACHINE, kUninstallKey);
        // A failed row always says something, even for an error the system has no text for.
        return SetError(described ? CString(message) : L"Failure writing to: " + uninstaller, code);
    }
}
