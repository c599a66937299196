#include "res/resource.h"
#include "tests/support/DialogHarness.h"
#include "tests/support/Printing.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

TEST(InstallFinish, InstallShowsTheRowsAndFinishEndsTheDialog) {
    InstallTracesRemover traces;
    TempFolder root(L"finish");
    CString folder = root.Path() + L"\\Memotack";
    std::vector<DialogHarness::Row> rows;
    std::vector<int> visibleOptionControls;
    RECT listRect = {};
    bool listVisible = false, cancelVisible = true, installedFlag = false;
    CString buttonText;
    int exitCode = -1;

    DialogHarness dialog;
    INT_PTR result = dialog.Run([&](DialogHarness& d) {
        ::SetDlgItemTextW(d, IDC_INSTALL_PATH, folder);
        // Nothing is launched from a test.
        d.SendDlgItemMessage(IDC_RUN_AFTER, BM_SETCHECK, BST_UNCHECKED);
        d.SendDlgItemMessage(IDC_SHOW_HELP, BM_SETCHECK, BST_UNCHECKED);
        d.Click(IDC_INSTALL_BUTTON);

        static const int kOptions[] = {1017, 1018, 1019, 1006, 1014, 1005, 1008, 1007, 1011};
        for (int id : kOptions)
            if (::IsWindowVisible(::GetDlgItem(d, id))) visibleOptionControls.push_back(id);
        listVisible = d.m_progressList.IsWindowVisible();
        d.m_progressList.GetWindowRect(&listRect);
        d.ScreenToClient(&listRect);
        cancelVisible = d.GetDlgItem(IDC_CANCEL_BUTTON).IsWindowVisible();
        d.GetDlgItem(IDC_INSTALL_BUTTON).GetWindowText(buttonText);
        installedFlag = d.m_bInstalled;
        exitCode = d.m_nExitCode;
        rows = d.Rows();
        d.Click(IDC_INSTALL_BUTTON);  // now Finish
    });

    EXPECT_EQ(result, IDCANCEL);
    EXPECT_FALSE(dialog.m_bEndedByHarness) << "Finish did not end the dialog";
    EXPECT_TRUE(visibleOptionControls.empty());
    EXPECT_TRUE(listVisible);
    EXPECT_EQ(listRect.left, 60);
    EXPECT_EQ(listRect.top, 49);
    EXPECT_EQ(listRect.right - listRect.left, 457);
    EXPECT_EQ(listRect.bottom - listRect.top, 250);
    EXPECT_FALSE(cancelVisible);
    EXPECT_STREQ(buttonText, L"&Finish");
    EXPECT_TRUE(installedFlag);

    std::vector<std::wstring> labels;
    for (const auto& row : rows) labels.push_back(row.label);
    std::vector<std::wstring> expected = {L"Close Memotack",          L"Create directory",
                                          L"Copy 'memotack.chm'",     L"Copy 'memotack.exe'",
                                          L"Create Startup shortcut", L"Create Add/Remove Programs entry",
                                          L"Create uninstaller"};
    if (dialog.m_bStartMenuItems) expected.insert(expected.begin() + 4, L"Create Start Menu items");
    EXPECT_EQ(labels, expected);
    bool anyFailed = false;
    for (const auto& row : rows) {
        EXPECT_TRUE(row.image == StepDone || (row.image == StepFailed && row.label == L"Close Memotack") ||
                    (row.image == StepFailed && !row.error.empty()))
            << std::string(row.label.begin(), row.label.end()) << " image " << row.image;
        anyFailed |= row.image == StepFailed;
        printf("row %-34ls image %d  %ls\n", row.label.c_str(), row.image, row.error.c_str());
    }
    for (int i = 1; i <= 3; ++i) EXPECT_EQ(rows[i].image, StepDone) << i;
    EXPECT_EQ(exitCode, anyFailed ? ExitInstallFailed : ExitSuccess);
    EXPECT_TRUE(FileExists(folder + L"\\memotack.exe"));
}

TEST(InstallFinish, CancelOnTheOptionsPageInstallsNothing) {
    TempFolder root(L"cancel");
    CString folder = root.Path() + L"\\Memotack";
    DialogHarness dialog;
    INT_PTR result = dialog.Run([&](DialogHarness& d) {
        ::SetDlgItemTextW(d, IDC_INSTALL_PATH, folder);
        d.Click(IDC_CANCEL_BUTTON);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_FALSE(dialog.m_bEndedByHarness);
    EXPECT_EQ(dialog.m_nExitCode, ExitNotInstalled);
    EXPECT_FALSE(FolderExists(folder));
}

// Install writes nothing while the folder is one that -path= refuses, or while another install runs:
// it says why and stays on the options page, the folder box focused after a refused folder.
TEST(InstallFinish, InstallStaysOnTheOptionsPageWhenItMayNotInstall) {
    TempFolder root(L"refused");
    const CString valid = root.Path() + L"\\Memotack";
    const struct {
        CString folder;
        bool anotherInstall;
        CString message;
    } rows[] = {
        {L"", false, L"The install folder is empty."},
        {L"Notes\\Memotack", false,
         L"The install folder is not a full path such as C:\\Apps\\Memotack: Notes\\Memotack"},
        {L"C:\\", false, L"The install folder is the root of a drive, not a folder of its own: C:\\"},
        {L"\\\\?\\" + valid, false,
         L"The install folder is a device path (\\\\.\\ or \\\\?\\), not a folder on a drive or share: \\\\?\\" +
             valid},
        {valid, true, CInstallerDlg::kAnotherInstallRunning},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.folder));
        std::unique_ptr<InstallLockHolder> anotherInstall;
        if (row.anotherInstall) anotherInstall.reset(new InstallLockHolder(L"O:BAD:P(A;;GA;;;SY)(A;;GA;;;BA)"));
        std::wstring message;
        HWND focus = nullptr, folderBox = nullptr;
        bool boxShown = false, listShown = true, installed = true;
        DialogHarness dialog;
        dialog.Run([&](DialogHarness& d) {
            folderBox = ::GetDlgItem(d, IDC_INSTALL_PATH);
            ::SetDlgItemTextW(d, IDC_INSTALL_PATH, row.folder);
            d.SendDlgItemMessage(IDC_RUN_AFTER, BM_SETCHECK, BST_UNCHECKED);
            d.SendDlgItemMessage(IDC_SHOW_HELP, BM_SETCHECK, BST_UNCHECKED);
            MessageBoxWatcher watcher;
            d.Click(IDC_INSTALL_BUTTON);
            watcher.Stop();
            message = watcher.m_text;
            focus = ::GetFocus();
            boxShown = ::IsWindowVisible(folderBox);
            listShown = d.m_progressList.IsWindowVisible();
            installed = d.m_bInstalled;
            d.OnCancelButton();
        });
        EXPECT_EQ(message, std::wstring(row.message.GetString()));
        EXPECT_TRUE(boxShown);
        EXPECT_FALSE(listShown);
        EXPECT_FALSE(installed);
        if (!row.anotherInstall) {
            EXPECT_EQ(focus, folderBox);
        }
        EXPECT_EQ(dialog.m_nExitCode, ExitNotInstalled);
        EXPECT_FALSE(FolderExists(valid));
    }
}
