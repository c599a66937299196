#pragma once
#include "framework/CWinApp.h"

// The setup program: runs the installer dialog once and then ends the process.
class CInstallerApp : public CWinApp {
public:
    CInstallerApp() = default;
    BOOL InitInstance() override;

protected:
    const CommandEntry* GetCommandMap() const override;
};
