#pragma once
// The installer's one window and the shared state of the whole program: the install options, the
// flags worked out at start-up, the page state, the last error text and the progress list.
// Its members are implemented by concern: start-up and run modes in app/, the dialog, progress
// list, painting and Install/Finish in ui/, the install steps in install/, the payload in payload/.
#include "framework/CBitmap.h"
#include "framework/CDialog.h"
#include "framework/CImageList.h"
#include "framework/CListCtrl.h"
#include "framework/CString.h"
#include "framework/Handles.h"
#include "ui/ParsedCommandLine.h"
#include "ui/SetupLog.h"

// A registry key's earlier values (install/SavedKey.h).
class SavedKey;
// The paths of the files in an install folder (install/InstalledFiles.h).
struct InstalledFiles;

// The status of a progress row, which is also the index of its icon in the status images.
enum StepStatus {
    StepRunning = 2,  // hourglass: every new row
    StepFailed = 3,   // red disc with a white cross
    StepDone = 4,     // green tick
};

// Where the text of a failed row goes (CInstallerDlg::EndStep).
enum class StepText {
    Shown,    // into the row's second column and the log's line
    LogOnly,  // into the log's line only: the row shows none
};

// Process exit codes, the values deployment tools know from other installers.
enum SetupExitCode {
    ExitSuccess = 0,                // every step succeeded (or the usage message was shown)
    ExitNotInstalled = 1602,        // the dialog ended without installing
    ExitInstallFailed = 1603,       // at least one step failed, or an extraction failed
    ExitAnotherInstall = 1618,      // -silent while another install ran: nothing installed
    ExitInvalidCommandLine = 1639,  // -silent with a -path= folder that cannot be one: nothing installed
};

class CInstallerDlg : public CDialog {
public:
    explicit CInstallerDlg(CWnd* parent = nullptr);
    ~CInstallerDlg() override;

    // Start-up (app/StartUp.cpp): the common initialisation, then the run mode's own work.
    BOOL OnInitDialog() override;
    void SetUpOptionsPage();
    void SetUpPathAutoComplete();
    // The runs without a dialog (app/SilentRuns.cpp); both end the dialog before it is shown.
    void RunSilentInstall();
    void RunExtractOnly();
    // The deployment switches of m_commandLine (app/Deployment.cpp). OpenLog, first of all: -log=
    // opens the log and writes its header. ApplyCommandLineOptions, in the start-up: -everyone and
    // -path= set the options. Interactive runs show why a -path= was refused.
    void OpenLog();
    void ApplyCommandLineOptions();
    void WriteLogHeader();
    // The options and folder an install is about to use, into the log.
    void LogInstallChoices(bool allUsers);
    // Upgrade in place (app/Deployment.cpp): reads the entry of an earlier install and, when it
    // names a folder that -path= would take, makes it the default folder (m_strEarlierFolder).
    // Returns, for the log, why the entry gives no default folder; empty when there is no entry or
    // its folder is used.
    CString FindEarlierInstall();
    // Appends to the script what else the uninstaller must remove of the earlier install
    // (install/EarlierInstall.cpp); uninstaller: the uninstaller's path, the earlier install's too.
    // Returns ERROR_SUCCESS, or why the earlier uninstaller, which is there, cannot be read (the
    // script is then as it was).
    DWORD AddEarlierInstallLines(const CString& uninstaller, CString& script);
    void LogExtraction(LPCWSTR label, bool written);

    // Progress list (ui/ProgressList.cpp). The row operations do nothing while m_bSilent is set,
    // except that the log hears of every row.
    void SetUpProgressList();
    // A new row, running, at index row; returns its index (-1 in silent mode).
    int AddStepRow(int row, const CString& label);

    // Install sequence (install/InstallSequence.cpp). Always returns true: failures show in rows.
    // Every step adds its row with AddStepRow, does its work through one call and ends the row
    // with EndStep. The work returns false when it failed, having said why through SetError.
    bool DoInstall(bool allUsers);
    // Ends row, its status and its text together: done, or failed with the text that SetError left
    // in m_strError. The log's line of a failed row also names the system error behind the failure
    // (m_nSystemError). A failure is recorded for the exit code even in silent mode, with no rows.
    void EndStep(int row, bool done, StepText failureText = StepText::Shown);
    // Leaves text and systemError in m_strError and m_nSystemError; returns false, for the
    // routines that report that way. systemError: a Win32 error code, or an HRESULT; 0 when no
    // system call failed.
    bool SetError(const CString& text, DWORD systemError);
    // Creates every missing folder along path; on failure leaves the system's message in m_strError.
    // createdParents, when given, receives the folders above the last one that this call created,
    // nearest first, one a line (also when it fails: what it made stays). security, when given, is
    // that of each folder it creates; *madeFolder, when given, says whether it created the last one.
    bool CreateDirectoryTree(const CString& path,
                             CString* createdParents = nullptr,
                             SECURITY_ATTRIBUTES* security = nullptr,
                             bool* madeFolder = nullptr);
    // The work of "Create directory" (install/FolderProtection.cpp): CreateDirectoryTree on the
    // install folder. Outside Program Files, on a file system with access-control lists, each folder
    // it creates gets the protected list, and so does an install folder that was there already and
    // lets others write. False when the row fails, with the message in m_strError; *mayCopy false
    // when nothing may be copied into the folder, as its list could not be set.
    bool CreateInstallFolder(CString* createdParents, bool* mayCopy);

    // One install at a time (install/InstallLock.cpp). LockInstall takes the machine-wide lock
    // that install sequences run under: false when another install holds it, true when this one
    // now does, and also when no lock could be had (the log says why; the install goes on).
    // UnlockInstall lets the next one run.
    bool LockInstall();
    void UnlockInstall();
    // What a run that found another install running says.
    static const wchar_t kAnotherInstallRunning[];
    // Deletes the alternate stream that marks a file as downloaded; virtual so that tests can see
    // the path it is given (a file system without streams has nothing to delete).
    virtual void DeleteZoneMarker(const CString& streamPath);

    // Steps plugged into the sequence. Each adds its own row at the given index, does its work
    // through one call (the Write... member after it), ends the row with EndStep and appends the
    // lines that undo it to the uninstaller script. files: the paths of the installed files;
    // uninstaller: the uninstaller's path, in the Windows folder.
    // install/Shortcuts.cpp. WriteStartMenuItems leaves in folder the Start Menu's Memotack folder
    // once that exists; its lines go into the script then, also when the shortcut failed.
    void CreateStartMenuItems(int row, bool allUsers, const InstalledFiles& files, CString& script);
    bool WriteStartMenuItems(bool allUsers, const InstalledFiles& files, CString& folder);
    void CreateStartupShortcut(int row, bool allUsers, const InstalledFiles& files, CString& script);
    bool WriteShortcut(const InstalledFiles& files, const CString& shortcut);
    // install/UninstallEntry.cpp. earlier, when given, receives the entry as it was before; a
    // failed write puts that back, so that no entry is half this install's.
    void CreateUninstallEntry(int row,
                              const InstalledFiles& files,
                              const CString& uninstaller,
                              SavedKey* earlier = nullptr);
    bool WriteUninstallEntry(const InstalledFiles& files, const CString& uninstaller, SavedKey* earlier);
    // install/UninstallEntry.cpp. parentFolders: the folders above the install folder that the install
    // created (see CreateDirectoryTree); the uninstaller removes them after it, when they are empty.
    // When the uninstaller cannot be written, the entry is put back as earlier holds it: it would
    // otherwise name a missing uninstaller, or an earlier install's.
    void CreateUninstaller(int row,
                           const InstalledFiles& files,
                           const CString& uninstaller,
                           CString& script,
                           const CString& parentFolders = {},
                           const SavedKey* earlier = nullptr);
    // earlierUnread: why the earlier install's uninstaller could not be read (see
    // AddEarlierInstallLines), which fails the write; ERROR_SUCCESS otherwise.
    bool WriteUninstaller(const CString& uninstaller,
                          const CString& script,
                          DWORD earlierUnread,
                          const SavedKey* earlier);
    void LaunchInstalledFile(int row, LPCWSTR label, const CString& path);  // install/AfterInstall.cpp
    // Writes a shell link; only S_OK means success.
    HRESULT CreateShortcut(const CString& target,
                           const CString& description,
                           const CString& shortcutPath,
                           const CString& workingFolder);
    // install/CloseAndRetire.cpp
    bool CloseRunningApp();
    LONG DeleteOldUninstallKeys();

    // Writes the first entry of payload resource resourceId to destination (payload/PayloadExtraction.cpp).
    // On failure returns false with the message in m_strError.
    bool ExtractPayload(WORD resourceId, CString destination);
    // Replaces destination with size bytes of content through a new file beside it; on failure
    // destination is as it was, and the message is in m_strError.
    bool ReplaceFile(const CString& destination, const BYTE* content, UINT size);

    // Message handlers.
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnBrowse();
    void OnCancelButton();
    void OnInstall();
    void OnDblclkProgressList(NMHDR* header, LRESULT* result);
    // Keeps the options page after Install was pressed: shows message and writes it to the log; with
    // focusFolderBox the folder box takes the focus, its text selected.
    void StayOnOptionsPage(const CString& message, bool focusFolderBox);

    CString m_strHeader;
    bool m_bShellFolders;
    CBitmap* m_pStatusBitmap;
    CBitmap* m_pStatusMask;
    CImageList m_statusImages;
    CListCtrl m_progressList;
    bool m_bInstalled;
    CString m_strError;
    // The system's error code behind m_strError (a Win32 code or an HRESULT), for the log; 0 when
    // the failure was the installer's own finding.
    DWORD m_nSystemError = 0;
    bool m_bSilent;
    bool m_bStartMenuItems;
    CString m_strInstallPath;
    BOOL m_bShowHelp;
    BOOL m_bRunAfter;
    HICON m_hIcon;

    // Outcome of the run, for the process exit code (install/, app/SilentRuns.cpp, ui/InstallFinish.cpp).
    // EndStep records a failed step even in silent mode, when no row exists.
    bool m_bStepFailed = false;
    int m_nExitCode = ExitNotInstalled;

    // What the command line asks for, parsed once by the application before the dialog runs
    // (app/InstallerApp.cpp). As constructed: the interactive run, without switches.
    CommandLine m_commandLine;
    // Set by the deployment switches: -everyone where the choice exists.
    bool m_bForEveryone = false;
    // Set by FindEarlierInstall: an earlier install's entry exists, and the folder it names, when
    // that is one the install may use (empty otherwise).
    bool m_bEarlierEntry = false;
    CString m_strEarlierFolder;
    // The -log= file; closed (and every write a no-op) without the switch. The row operations
    // write to it in every mode; the application writes the exit code last.
    CSetupLog m_log;
    // Held while the install sequence runs (LockInstall).
    OwnedMutex m_installLock;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    DECLARE_MESSAGE_MAP()
};
