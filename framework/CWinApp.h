#pragma once
// The application object. Exactly one derived instance exists, constructed as a global; the
// wWinMain in runtime/AppMain.cpp calls Run, which fills in the start-up data and calls InitInstance.
#include "framework/CString.h"

// The framework's help command.
constexpr UINT ID_HELP = 0xE146;

class CWinApp {
public:
    // appName null: the executable's file name without its extension.
    explicit CWinApp(LPCWSTR appName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Returns TRUE to keep running (this framework has no message loop of its own, so the
    // process then ends all the same) or FALSE to end the process.
    virtual BOOL InitInstance();

    // Routes a command that no window handled through the application's command map.
    // Returns true when an entry took it.
    bool OnCmdMsg(UINT id);
    // The framework's help handler: opens the application's help file, if it has one.
    void OnHelp();

    // Called once by wWinMain; returns the process exit code.
    int Run(HINSTANCE instance, LPWSTR commandLine);

    HINSTANCE m_hInstance = nullptr;
    // The arguments after the program name, as the system passed them.
    LPCWSTR m_lpCmdLine = L"";
    CString m_strAppName;
    // Help file opened by ID_HELP; empty when the application has none.
    CString m_strHelpFilePath;
    // What the process returns when InitInstance is done.
    int m_nExitCode = 0;

protected:
    struct CommandEntry {
        UINT id;
        void (CWinApp::*handler)();
    };
    // The command map, ended by an entry with id 0.
    virtual const CommandEntry* GetCommandMap() const;

private:
    CString m_strRequestedName;
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();
// A message box owned by the thread's active window, captioned with the application's name.
int AfxMessageBox(LPCWSTR text, UINT type = MB_OK, UINT helpId = 0);
