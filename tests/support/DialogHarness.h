#pragma once
// Runs the real installer dialog (template 102) modally and a test body inside its modal loop, so
// that every handler works on live controls. Needs the installer's resources linked in.
#include "tests/support/TempFolder.h"
#include "ui/InstallerDlg.h"

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

class DialogHarness : public CInstallerDlg {
public:
    using Body = std::function<void(DialogHarness&)>;

    // commandLine: the command line the dialog is handed, parsed as the application parses it (L""
    // is the interactive run). body runs once the modal loop has started; afterwards the dialog is
    // ended unless body ended it already.
    // Returns DoModal's result.
    INT_PTR Run(Body body, LPCWSTR commandLine = L"");

    // True when the dialog was still open after body and the harness had to end it.
    bool m_bEndedByHarness = false;

    // The rows of the progress list: label, image index, error text.
    struct Row {
        std::wstring label;
        int image;
        std::wstring error;
    };
    std::vector<Row> Rows() const;
    std::vector<std::wstring> Labels() const;

    // Sends a click of button id the way the button itself does.
    void Click(int id);

private:
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR id, DWORD);
    Body m_body;
};

// Watches, from a thread of its own, for a message box captioned with the application's name;
// reads its text and dismisses it. Stop() ends the watch and says whether a box was seen.
class MessageBoxWatcher {
public:
    MessageBoxWatcher();
    ~MessageBoxWatcher();
    bool Stop();
    std::wstring m_text;

private:
    void Watch();
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_found{false};
    std::thread m_thread;
};

// Holds the mutex of the install lock from a thread of its own, as another install would, until
// destroyed. security: the SDDL of the mutex it makes. abandon: the thread ends without letting go.
class InstallLockHolder {
public:
    explicit InstallLockHolder(const wchar_t* security, bool abandon = false);
    ~InstallLockHolder();
    InstallLockHolder(const InstallLockHolder&) = delete;
    InstallLockHolder& operator=(const InstallLockHolder&) = delete;

private:
    HANDLE m_release;
    HANDLE m_mutex = nullptr;
    std::thread m_thread;
};

// Records, on the calling thread, every top-level window that is shown or activated.
class ShownWindowRecorder {
public:
    ShownWindowRecorder();
    ~ShownWindowRecorder();
    int Count() const;
    // How each of them was shown, with its window class.
    std::wstring Windows() const;

private:
    HHOOK m_cbt;
    HHOOK m_callWndProc;
};

// Removes, when destroyed, what an install leaves outside the test's own folders (the uninstall
// entry, the uninstaller, the shortcuts, the default install folder), so that tests that look for
// an untouched machine still find one in the shared test prefix.
class InstallTracesRemover {
public:
    InstallTracesRemover() = default;
    ~InstallTracesRemover();
    InstallTracesRemover(const InstallTracesRemover&) = delete;
    InstallTracesRemover& operator=(const InstallTracesRemover&) = delete;
};

bool FileExists(const CString& path);
bool FolderExists(const CString& path);
