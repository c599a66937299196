#include "framework/CFileException.h"
#include "framework/CStdioFile.h"
#include "framework/Handles.h"
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

// The uninstaller batch file; the registry entry names it as the uninstall command.
CString UninstallerPath(const CString& windowsFolder) { return windowsFolder + L"\\uninstallmemotack.bat"; }

// A 32-bit program on 64-bit Windows.
bool IsWow64() {
    BOOL wow64 = FALSE;
    return ::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64;
}

}  // namespace

// The Add/Remove Programs entry. Every value is attempted; one failed write fails the row.
void CInstallerDlg::CreateUninstallEntry(int row, const CString& windowsFolder) {
    row = AddStepRow(row, L"Create Add/Remove Programs entry");
    RegKey key;
    // A key that cannot be created leaves key empty, and every write below then fails.
    const LONG created = ::RegCreateKeyW(HKEY_LOCAL_MACHINE, kUninstallKey, key.Receive());
    const LONG results[] = {
        SetText(key.Get(), L"DisplayName", L"Memotack 8.0a"),
        SetText(key.Get(), L"UninstallString", UninstallerPath(windowsFolder)),
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
    // The log names the first failure, which is the key's own when it could not be created.
    LONG failure = created;
    for (LONG result : results) {
        if (failure == ERROR_SUCCESS) failure = result;
    }
    if (failure == ERROR_SUCCESS)
        SetStepStatus(row, StepDone);
    else
        FailStep(row, CString(L"Failure writing to: ") + kUninstallKey, static_cast<DWORD>(failure));
}

// Appends the closing lines to the script and writes the uninstaller into the Windows folder, in
// the OEM code page: the command processor reads a batch file in the console's code page, so text
// converted any other way names other files for every character beyond ASCII.
//
// The temporary registry script is named in quotes, as TEMP may hold spaces, and each echo puts its
// redirection first: "echo X > file" writes "X " with a trailing space, and some command processors'
// registry import then ignores the whole file. Under WOW64 this program's key lives in the 32-bit
// registry view, while the regedit the uninstaller starts may be the 64-bit one: the script names
// the key in both views, and the regedit of either kind deletes the one it finds.
void CInstallerDlg::CreateUninstaller(int row,
                                      const CString& windowsFolder,
                                      CString& script,
                                      const CString& parentFolders) {
    // A file of the program that the delete lines left (one in use, or no administrator rights)
    // keeps the entry and the uninstaller, so that running it again can still remove everything.
    const CString stop = L" (echo " + CString(kNotRemoved) + L"& exit /b 1)";
    script += L"if exist " + QuotedScriptPath(m_strInstallPath + L"\\memotack.chm") + stop + L" else if exist " +
              QuotedScriptPath(m_strInstallPath + L"\\memotack.exe") + stop + L"\n";
    script += L">\"%TEMP%\\delmtq.reg\" echo REGEDIT4\n";
    script += L">>\"%TEMP%\\delmtq.reg\" echo.\n";
    script += CString(L">>\"%TEMP%\\delmtq.reg\" echo [-HKEY_LOCAL_MACHINE\\") + kUninstallKey + L"]\n";
    if (IsWow64())
        script += CString(L">>\"%TEMP%\\delmtq.reg\" echo [-HKEY_LOCAL_MACHINE\\") + kUninstallKeyWow64 + L"]\n";
    script += L"regedit /s \"%TEMP%\\delmtq.reg\"\n";
    script += L"del \"%TEMP%\\delmtq.reg\"\n";
    script += L"rd " + QuotedScriptPath(m_strInstallPath) + L"\n";
    for (int start = 0, end; (end = parentFolders.Find(L'\n', start)) >= 0; start = end + 1)
        script += L"rd " + QuotedScriptPath(parentFolders.Mid(start, end - start)) + L"\n";
    script += L"del %0\n";

    row = AddStepRow(row, L"Create uninstaller");
    // Checked before anything is written, so that the row names the path rather than the conversion
    // error that writing it would give.
    CString unwritable = UnwritablePath(script);
    if (!unwritable.IsEmpty()) {
        FailStep(row, L"Can't write into the uninstaller: " + unwritable, 0);
        return;
    }
    // Written in full beside the uninstaller, then moved over it: any failure leaves an earlier
    // uninstaller as it was, and the temporary file is deleted.
    const CString uninstaller = UninstallerPath(windowsFolder);
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
        SetStepStatus(row, StepDone);
    } catch (CFileException* error) {
        wchar_t message[256] = {};
        BOOL described = error->GetErrorMessage(message, 256);
        const DWORD code = static_cast<DWORD>(error->m_lOsError);
        error->Delete();
        // The file object is gone by now, its handle closed.
        ::DeleteFileW(temporary);
        // A failed row always says something, even for an error the system has no text for.
        FailStep(row, described ? CString(message) : L"Failure writing to: " + uninstaller, code);
    }
}
