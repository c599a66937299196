#include "install/InstalledFiles.h"
#include "install/PathRoot.h"
#include "install/SavedKey.h"
#include "install/SystemErrorText.h"
#include "install/UninstallerScript.h"
#include "res/resource.h"
#include "ui/InstallerDlg.h"

#include <shlobj.h>

namespace {
const wchar_t kFixedWindowsFolder[] = L"C:\\windows";

// The shell's Windows folder, or the fixed one on older systems and whenever the shell cannot
// name it: the buffer is only used when the lookup filled it.
CString FindWindowsFolder(bool shellFolders) {
    if (shellFolders) {
        wchar_t folder[MAX_PATH] = {};
        if (::SHGetSpecialFolderPathW(nullptr, folder, CSIDL_WINDOWS, FALSE) && folder[0] != L'\0') return folder;
    }
    return kFixedWindowsFolder;
}

}  // namespace

// The table of install steps, one row each, in the order of the rows: each adds its row, does its
// work through one call and ends the row with EndStep. nextRow counts the rows even in silent mode,
// where AddStepRow adds nothing. No step's failure stops the sequence.
bool CInstallerDlg::DoInstall(bool allUsers) {
    const InstalledFiles files(m_strInstallPath);
    const CString uninstaller = FindWindowsFolder(m_bShellFolders) + L"\\uninstallmemotack.bat";
    CString script;
    int nextRow = 0;

    // The row has no text; the log says why.
    int row = AddStepRow(nextRow++, L"Close Memotack");
    EndStep(row, CloseRunningApp(), StepText::LogOnly);

    // The uninstaller removes again, when empty, the folders above the install folder that the
    // install made, so that an install into a new folder tree leaves nothing behind.
    CString newParents;
    bool mayCopy = true;
    row = AddStepRow(nextRow++, L"Create directory");
    EndStep(row, CreateInstallFolder(&newParents, &mayCopy));
    // Into a folder that others may still change, nothing is copied: they could replace it.
    auto copy = [&](WORD resourceId, const CString& destination) {
        return mayCopy ? ExtractPayload(resourceId, destination)
                       : SetError(L"Not copied: the install folder's permissions could not be set", 0);
    };
    // The script's first line, formed once the folder exists: a folder name that the uninstaller
    // can only hold in its short form has one only then. Delayed expansion, which a setting of the
    // command processor can switch on, would take the ! in paths for variables.
    script = L"setlocal DisableDelayedExpansion\n" + QuotedScriptPath(files.exe) + L" -close\n";

    row = AddStepRow(nextRow++, L"Copy 'memotack.chm'");
    const bool helpCopied = copy(IDR_PAYLOAD_CHM, files.help);
    EndStep(row, helpCopied);
    // A help file with a zone marker opens with its pages blocked. Having none is not an error.
    if (helpCopied) DeleteZoneMarker(files.help + L":Zone.Identifier");
    script += L"del " + QuotedScriptPath(files.help) + L"\n";

    row = AddStepRow(nextRow++, L"Copy 'memotack.exe'");
    EndStep(row, copy(IDR_PAYLOAD_EXE, files.exe));
    script += L"del " + QuotedScriptPath(files.exe) + L"\n";

    if (m_bStartMenuItems) CreateStartMenuItems(nextRow++, allUsers, files, script);
    CreateStartupShortcut(nextRow++, allUsers, files, script);
    SavedKey earlierEntry;
    CreateUninstallEntry(nextRow++, files, uninstaller, &earlierEntry);
    CreateUninstaller(nextRow++, files, uninstaller, script, newParents, &earlierEntry);
    if (m_bRunAfter) LaunchInstalledFile(nextRow++, L"Run Memotack", files.exe);
    if (m_bShowHelp) LaunchInstalledFile(nextRow++, L"Show help file", files.help);
    return true;
}

void CInstallerDlg::EndStep(int row, bool done, StepText failureText) {
    if (!done) {
        // Recorded before the silent check: a silent run has no rows, only its exit code.
        m_bStepFailed = true;
        m_log.RowError(WithSystemError(m_strError, m_nSystemError));
    }
    m_log.RowEnded(!done);
    if (m_bSilent) return;
    if (!done) m_progressList.SetItemText(row, 1, failureText == StepText::Shown ? m_strError : CString());
    LVITEMW item = {};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    item.iSubItem = 0;
    item.iImage = done ? StepDone : StepFailed;
    m_progressList.SetItem(&item);
    // The whole dialog, so that the header band is redrawn with the list.
    Invalidate(TRUE);
}

bool CInstallerDlg::SetError(const CString& text, DWORD systemError) {
    m_strError = text;
    m_nSystemError = systemError;
    return false;
}

void CInstallerDlg::DeleteZoneMarker(const CString& streamPath) { ::DeleteFileW(streamPath); }

// Creates each folder along path from the left, below its root (see PathRootEnd). A folder that
// exists already is passed over.
//
// Beyond the folder-by-folder creation, the path must name a folder at the end: a short relative
// name ("abc"), a drive that does not exist or a prefix that is a file would otherwise report
// success with no folder there.
bool CInstallerDlg::CreateDirectoryTree(const CString& path,
                                        CString* createdParents,
                                        SECURITY_ATTRIBUTES* security,
                                        bool* madeFolder) {
    if (madeFolder) *madeFolder = false;
    CString work = path;
    if (work.IsEmpty() || work[work.GetLength() - 1] != L'\\') work += L'\\';
    const int rootEnd = PathRootEnd(work);
    const int folderEnd = work.GetLength() - 1;
    for (int separator = work.Find(L'\\'); separator >= 0; separator = work.Find(L'\\', separator + 1)) {
        if (separator <= rootEnd) continue;
        const CString prefix = work.Left(separator);
        if (::CreateDirectoryW(prefix, security)) {
            if (createdParents && separator < folderEnd) *createdParents = prefix + L"\n" + *createdParents;
            if (madeFolder && separator == folderEnd) *madeFolder = true;
        } else {
            DWORD error = ::GetLastError();
            if (error != ERROR_ALREADY_EXISTS) return SetError(GetSystemErrorText(error), error);
        }
    }
    // Without its trailing separator, so that a file in the folder's place is reported as such;
    // roots (C:\ and \) keep theirs.
    CString folder = work;
    if (work.GetLength() > 1 && work[work.GetLength() - 2] != L':') folder.Truncate(work.GetLength() - 1);
    DWORD attributes = ::GetFileAttributesW(folder);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        return SetError(GetSystemErrorText(error), error);
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return SetError(GetSystemErrorText(ERROR_ALREADY_EXISTS), ERROR_ALREADY_EXISTS);
    return true;
}
