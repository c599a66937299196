// The installer dialog, run modally in-process under Wine and driven from a timer inside its loop.
#include "ui/InstallerDlg.h"

#include "app/CommandLine.h"
#include "app/RunModes.h"
#include "framework/CWinApp.h"
#include "res/resource.h"
#include "tests/support/DialogHarness.h"
#include "tests/support/ModalDriver.h"
#include "ui/Painting.h"

#include <gtest/gtest.h>
#include <shlobj.h>

namespace {
class InstallerDialog : public ::testing::Test {
protected:
    static bool IsVisible(HWND dialog, int id) { return ::IsWindowVisible(::GetDlgItem(dialog, id)) != FALSE; }
    static LRESULT Check(HWND dialog, int id) { return ::SendDlgItemMessageW(dialog, id, BM_GETCHECK, 0, 0); }

    static CString DefaultFolder() {
        wchar_t programFiles[MAX_PATH] = {};
        ::SHGetSpecialFolderPathW(nullptr, programFiles, CSIDL_PROGRAM_FILES, FALSE);
        return CString(programFiles) + L"\\Memotack";
    }

    // Nothing of an install may exist after a dialog that ended without one.
    static void ExpectNothingInstalled(const CString& folder) {
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(folder)) << "folder was created";
        HKEY key;
        EXPECT_NE(ERROR_SUCCESS,
                  ::RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                                  L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\PelmoMemotack", 0,
                                  KEY_READ, &key))
            << "uninstall entry was written";
    }
};
}  // namespace

TEST_F(InstallerDialog, OptionsPageShowsTheSpecifiedControlsAndEndsOnCancel) {
    CInstallerDlg dialog;
    bool inspected = false;
    RunDuringModalLoop([&] {
        HWND w = dialog.m_hWnd;
        ASSERT_TRUE(::IsWindowVisible(w));
        EXPECT_EQ(WindowText(w), L"Memotack Installer");
        EXPECT_EQ(dialog.m_strHeader, L"Memotack 8.0a installation");
        EXPECT_FALSE(dialog.m_bInstalled);

        EXPECT_EQ(BST_UNCHECKED, Check(w, IDC_FOR_EVERYONE));
        EXPECT_EQ(BST_CHECKED, Check(w, IDC_FOR_JUST_ME));
        wchar_t user[MAX_PATH];
        DWORD size = MAX_PATH;
        ASSERT_TRUE(::GetUserNameW(user, &size));
        EXPECT_EQ(DialogItemText(w, IDC_FOR_JUST_ME), CString(L"Install for &Just me (") + user + L")");
        EXPECT_EQ(DialogItemText(w, IDC_FOR_EVERYONE), L"Install for &Everyone");

        EXPECT_EQ(DialogItemText(w, IDC_INSTALL_PATH), DefaultFolder());
        EXPECT_EQ(BST_CHECKED, Check(w, IDC_RUN_AFTER));
        EXPECT_EQ(BST_CHECKED, Check(w, IDC_SHOW_HELP));
        EXPECT_EQ(DialogItemText(w, IDC_RUN_AFTER), L"Run &Memotack");
        EXPECT_EQ(DialogItemText(w, IDC_SHOW_HELP), L"Show &help file");
        EXPECT_EQ(DialogItemText(w, IDC_INSTALL_BUTTON), L"&Install");
        EXPECT_EQ(DialogItemText(w, IDC_CANCEL_BUTTON), L"Cancel");
        EXPECT_EQ(DialogItemText(w, IDC_BROWSE), L"Bro&wse...");

        for (int id : {IDC_FOR_EVERYONE, IDC_FOR_JUST_ME, IDC_INSTALL_PATH, IDC_BROWSE, IDC_RUN_AFTER, IDC_SHOW_HELP,
                       IDC_CANCEL_BUTTON, IDC_INSTALL_BUTTON, IDC_INSTALL_PATH_LABEL, IDC_OPTIONS_FRAME,
                       IDC_AFTER_INSTALL_FRAME})
            EXPECT_TRUE(IsVisible(w, id)) << id;
        EXPECT_FALSE(IsVisible(w, IDC_PROGRESS_LIST));

        // The progress list is set up but empty: eight status images, two columns.
        HWND list = ::GetDlgItem(w, IDC_PROGRESS_LIST);
        EXPECT_EQ(list, dialog.m_progressList.m_hWnd);
        EXPECT_EQ(0, dialog.m_progressList.GetItemCount());
        auto images = reinterpret_cast<HIMAGELIST>(::SendMessageW(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0));
        EXPECT_EQ(dialog.m_statusImages.GetSafeHandle(), images);
        EXPECT_EQ(8, ::ImageList_GetImageCount(images));
        EXPECT_EQ(200, ::SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0));
        EXPECT_EQ(245, ::SendMessageW(list, LVM_GETCOLUMNWIDTH, 1, 0));

        // The folder box has the focus, although checking "Just me" gave that radio button a tab
        // stop ahead of it (auto radio buttons get one), where the dialog manager would have put it.
        EXPECT_EQ(::GetDlgItem(w, IDC_INSTALL_PATH), ::GetFocus());
        DWORD selStart = 1, selEnd = 0;
        ::SendDlgItemMessageW(w, IDC_INSTALL_PATH, EM_GETSEL, reinterpret_cast<WPARAM>(&selStart),
                              reinterpret_cast<LPARAM>(&selEnd));
        EXPECT_EQ(0u, selStart) << "typing replaces the whole folder";
        EXPECT_EQ(static_cast<DWORD>(DefaultFolder().GetLength()), selEnd);
        EXPECT_TRUE(::GetWindowLongW(::GetDlgItem(w, IDC_FOR_JUST_ME), GWL_STYLE) & WS_TABSTOP);
        EXPECT_EQ(reinterpret_cast<LRESULT>(dialog.m_hIcon), ::SendMessageW(w, WM_GETICON, ICON_BIG, 0));
        EXPECT_EQ(reinterpret_cast<LRESULT>(dialog.m_hIcon), ::SendMessageW(w, WM_GETICON, ICON_SMALL, 0));
        EXPECT_EQ(reinterpret_cast<LRESULT>(dialog.m_hIcon), ::SendMessageW(w, WM_QUERYDRAGICON, 0, 0));
        inspected = true;
        ::PostMessageW(w, WM_COMMAND, MAKEWPARAM(IDC_CANCEL_BUTTON, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(w, IDC_CANCEL_BUTTON)));
    });
    EXPECT_EQ(IDCANCEL, dialog.DoModal());
    EXPECT_TRUE(inspected);
    ExpectNothingInstalled(DefaultFolder());
}

TEST_F(InstallerDialog, EscapeAndTheCloseBoxEndTheOptionsPage) {
    {
        CInstallerDlg dialog;
        RunDuringModalLoop([&] { ::PostMessageW(::GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0); });
        EXPECT_EQ(IDCANCEL, dialog.DoModal());
    }
    {
        CInstallerDlg dialog;
        RunDuringModalLoop([&] { ::PostMessageW(dialog.m_hWnd, WM_SYSCOMMAND, SC_CLOSE, 0); });
        EXPECT_EQ(IDCANCEL, dialog.DoModal());
    }
    ExpectNothingInstalled(DefaultFolder());
}

TEST_F(InstallerDialog, DataExchangeRoundTrip) {
    CInstallerDlg dialog;
    RunDuringModalLoop([&] {
        HWND w = dialog.m_hWnd;
        dialog.m_strInstallPath = L"D:\\Some Folder\\Memotack";
        dialog.m_bRunAfter = FALSE;
        dialog.m_bShowHelp = TRUE;
        dialog.UpdateData(FALSE);
        EXPECT_EQ(DialogItemText(w, IDC_INSTALL_PATH), L"D:\\Some Folder\\Memotack");
        EXPECT_EQ(BST_UNCHECKED, Check(w, IDC_RUN_AFTER));
        EXPECT_EQ(BST_CHECKED, Check(w, IDC_SHOW_HELP));

        ::SetDlgItemTextW(w, IDC_INSTALL_PATH, L"  E:\\typed\\ as is ");
        ::CheckDlgButton(w, IDC_RUN_AFTER, BST_CHECKED);
        ::CheckDlgButton(w, IDC_SHOW_HELP, BST_UNCHECKED);
        dialog.UpdateData(TRUE);
        EXPECT_EQ(dialog.m_strInstallPath, L"  E:\\typed\\ as is ");
        EXPECT_EQ(BST_CHECKED, dialog.m_bRunAfter);
        EXPECT_EQ(BST_UNCHECKED, dialog.m_bShowHelp);
        dialog.OnCancelButton();
    });
    EXPECT_EQ(IDCANCEL, dialog.DoModal());
}

namespace {
struct PickerSearch {
    HWND installer;
    HWND found;
};

BOOL CALLBACK MatchPicker(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<PickerSearch*>(param);
    wchar_t className[16] = {};
    ::GetClassNameW(window, className, 16);
    if (window == search->installer || !::IsWindowVisible(window) || wcscmp(className, L"#32770") != 0) return TRUE;
    search->found = window;
    return FALSE;
}

// The shell's folder picker: a visible dialog of this thread other than the installer.
HWND FindPicker(HWND installer) {
    PickerSearch search = {installer, nullptr};
    ::EnumThreadWindows(::GetCurrentThreadId(), &MatchPicker, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

BOOL CALLBACK MatchTree(HWND window, LPARAM param) {
    wchar_t className[32] = {};
    ::GetClassNameW(window, className, 32);
    if (wcscmp(className, WC_TREEVIEWW) != 0) return TRUE;
    *reinterpret_cast<HWND*>(param) = window;
    return FALSE;
}

// The text of the folder selected in the picker's tree.
CString SelectedFolderName(HWND picker) {
    HWND tree = nullptr;
    ::EnumChildWindows(picker, &MatchTree, reinterpret_cast<LPARAM>(&tree));
    wchar_t text[MAX_PATH] = {};
    TVITEMW item = {};
    item.mask = TVIF_TEXT;
    item.hItem = tree ? TreeView_GetSelection(tree) : nullptr;
    item.pszText = text;
    item.cchTextMax = MAX_PATH;
    if (item.hItem) TreeView_GetItem(tree, &item);
    return text;
}
}  // namespace

// Browse: a chosen folder replaces the whole path, nothing appended; Cancel in the picker keeps the
// typed path. Either way the check boxes stay as the user left them.
TEST_F(InstallerDialog, BrowseReplacesThePathWithTheChosenFolderAndCancelKeepsIt) {
    TempFolder chosen(L"browse");
    CInstallerDlg dialog;
    struct Outcome {
        bool pickerShown = false;
        CString path;
        LRESULT runAfter = -1, showHelp = -1;
    } afterOk, afterCancel;
    // Types a path, clears the check box uncheck, presses Browse and in the picker chooses selection
    // (Cancel for null).
    auto browse = [&](HWND w, int uncheck, LPCWSTR selection, Outcome* outcome) {
        ::SetDlgItemTextW(w, IDC_INSTALL_PATH, L"D:\\typed\\folder");
        ::CheckDlgButton(w, uncheck, BST_UNCHECKED);
        // The picker's set-up may run a message loop before its window exists (the timer fires
        // there on a slow machine): then look again a little later.
        std::function<void()> answer = [&] {
            HWND picker = FindPicker(w);
            if (!picker) return RunDuringModalLoop(answer, 100);
            outcome->pickerShown = true;
            // The picker may still be filling its tree, which selects the desktop: select until
            // the folder stays selected.
            CString leaf = selection ? CString(wcsrchr(selection, L'\\') + 1) : CString();
            if (selection)
                PumpUntil(
                    [&] {
                        ::SendMessageW(picker, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(selection));
                        return SelectedFolderName(picker) == leaf;
                    },
                    5000);
            ::PostMessageW(picker, WM_COMMAND, selection ? IDOK : IDCANCEL, 0);
        };
        RunDuringModalLoop(answer, 500);
        dialog.OnBrowse();
        outcome->path = DialogItemText(w, IDC_INSTALL_PATH);
        outcome->runAfter = Check(w, IDC_RUN_AFTER);
        outcome->showHelp = Check(w, IDC_SHOW_HELP);
    };
    RunDuringModalLoop([&] {
        browse(dialog.m_hWnd, IDC_RUN_AFTER, chosen.Path(), &afterOk);
        browse(dialog.m_hWnd, IDC_SHOW_HELP, nullptr, &afterCancel);
        dialog.OnCancelButton();
    });
    EXPECT_EQ(IDCANCEL, dialog.DoModal());
    EXPECT_TRUE(afterOk.pickerShown);
    EXPECT_EQ(afterOk.path, chosen.Path());
    EXPECT_EQ(BST_UNCHECKED, afterOk.runAfter);
    EXPECT_EQ(BST_CHECKED, afterOk.showHelp);
    EXPECT_TRUE(afterCancel.pickerShown);
    EXPECT_EQ(afterCancel.path, L"D:\\typed\\folder");
    EXPECT_EQ(dialog.m_strInstallPath, L"D:\\typed\\folder");
    EXPECT_EQ(BST_UNCHECKED, afterCancel.runAfter);
    EXPECT_EQ(BST_UNCHECKED, afterCancel.showHelp);
}

TEST_F(InstallerDialog, HeaderBandIsPaintedNavy) {
    CInstallerDlg dialog;
    COLORREF band = CLR_INVALID;
    RunDuringModalLoop([&] {
        HWND w = dialog.m_hWnd;
        ::UpdateWindow(w);
        RECT window;
        ::GetWindowRect(w, &window);
        ::MapWindowPoints(nullptr, w, reinterpret_cast<POINT*>(&window), 2);
        RECT rect = HeaderBandRect(window);
        HDC dc = ::GetDC(w);
        // Inside the frame, left of the centred text.
        band = ::GetPixel(dc, rect.left + 6, (rect.top + rect.bottom) / 2);
        ::ReleaseDC(w, dc);
        dialog.OnCancel();
    });
    dialog.DoModal();
    EXPECT_EQ(RGB(0, 0, 128), band);
}

TEST_F(InstallerDialog, UsageMessageIsShownAndEndsTheRun) {
    for (LPCWSTR commandLine : {L"-?", L"/?"}) {
        CInstallerDlg dialog;
        dialog.m_commandLine = ParseCommandLine(commandLine);
        CString text;
        bool dialogVisible = true;
        RunDuringModalLoop([&] {
            HWND box = FindThreadWindow(AfxGetApp()->m_strAppName);
            ASSERT_NE(nullptr, box) << "no message box captioned with the application name";
            text = MessageBoxText(box);
            dialogVisible = dialog.m_hWnd && ::IsWindowVisible(dialog.m_hWnd);
            ::PostMessageW(box, WM_COMMAND, IDOK, 0);
        });
        EXPECT_EQ(IDCANCEL, dialog.DoModal()) << commandLine;
        EXPECT_EQ(text, kUsageText) << commandLine;
        EXPECT_FALSE(dialogVisible) << commandLine;
    }
}

TEST_F(InstallerDialog, DeploymentSwitchesPresetTheOptionsPage) {
    {
        CInstallerDlg dialog;
        dialog.m_commandLine = ParseCommandLine(L"-everyone -path=\"D:\\Deploy Here\\Memotack\"");
        bool inspected = false;
        RunDuringModalLoop([&] {
            HWND w = dialog.m_hWnd;
            EXPECT_EQ(nullptr, FindThreadWindow(AfxGetApp()->m_strAppName)) << "a message box was shown";
            EXPECT_EQ(BST_CHECKED, Check(w, IDC_FOR_EVERYONE));
            EXPECT_EQ(BST_UNCHECKED, Check(w, IDC_FOR_JUST_ME));
            EXPECT_EQ(DialogItemText(w, IDC_INSTALL_PATH), L"D:\\Deploy Here\\Memotack");
            inspected = true;
            dialog.OnCancelButton();
        });
        EXPECT_EQ(IDCANCEL, dialog.DoModal());
        EXPECT_TRUE(inspected);
    }

    // A refused folder: the message says why, and the page keeps the default folder.
    CInstallerDlg dialog;
    dialog.m_commandLine = ParseCommandLine(L"-path=relative\\dir");
    CString message;
    bool inspected = false;
    RunDuringModalLoop([&] {
        HWND box = FindThreadWindow(AfxGetApp()->m_strAppName);
        if (!box) {
            ADD_FAILURE() << "no message box";
            dialog.OnCancelButton();
            return;
        }
        message = MessageBoxText(box);
        ::PostMessageW(box, WM_COMMAND, IDOK, 0);
        RunDuringModalLoop([&] {
            HWND w = dialog.m_hWnd;
            ASSERT_TRUE(::IsWindowVisible(w));
            EXPECT_EQ(DialogItemText(w, IDC_INSTALL_PATH), DefaultFolder());
            EXPECT_EQ(BST_UNCHECKED, Check(w, IDC_FOR_EVERYONE));
            EXPECT_EQ(BST_CHECKED, Check(w, IDC_FOR_JUST_ME));
            inspected = true;
            dialog.OnCancelButton();
        });
    });
    EXPECT_EQ(IDCANCEL, dialog.DoModal());
    EXPECT_TRUE(inspected);
    EXPECT_EQ(message,
              L"The folder given with -path= is not a full path such as C:\\Apps\\Memotack: relative\\dir\n\n"
              L"The installer offers its default folder instead.");
    ExpectNothingInstalled(DefaultFolder());
}

TEST_F(InstallerDialog, EveryoneHasNoEffectWhereTheChoiceIsHidden) {
    TempFolder folder(L"everyone");
    const CString log = folder.Path() + L"\\set up.log";
    const CString commandLine = L"-silent -everyone -log=\"" + log + L"\"";
    for (bool shellFolders : {true, false}) {
        CInstallerDlg dialog;
        dialog.m_bShellFolders = shellFolders;
        dialog.m_commandLine = ParseCommandLine(commandLine);
        ASSERT_EQ(RunMode::Silent, dialog.m_commandLine.mode);
        dialog.OpenLog();
        dialog.ApplyCommandLineOptions();
        EXPECT_EQ(shellFolders, dialog.m_bForEveryone);
        dialog.m_log.Close(0);

        FILE* file = _wfopen(log, L"rb");
        ASSERT_NE(nullptr, file);
        char bytes[4096] = {};
        fread(bytes, 1, sizeof bytes - 1, file);
        fclose(file);
        const std::string text = bytes;
        EXPECT_NE(std::string::npos, text.find("\r\nMode: silent install\r\n"));
        EXPECT_EQ(!shellFolders, text.find("\r\n-everyone: no effect") != std::string::npos) << text;
    }
}

TEST(HeaderBand, GeometryFollowsTheWindowFrame) {
    // A 30-pixel caption and border: the band runs from y 2 to y 32.
    RECT band = HeaderBandRect({-3, -30, 623, 337});
    EXPECT_EQ(61, band.left);
    EXPECT_EQ(2, band.top);
    EXPECT_EQ(606, band.right);
    EXPECT_EQ(32, band.bottom);
    // Thicker frames: the band starts higher and grows, its bottom stays at 32.
    band = HeaderBandRect({-8, -40, 640, 350});
    EXPECT_EQ(56, band.left);
    EXPECT_EQ(-8, band.top);
    EXPECT_EQ(628, band.right);
    EXPECT_EQ(32, band.bottom);
}

TEST(HeaderBand, FontGrowsWithTheTextResolution) {
    LOGFONTW font = HeaderFont(96);
    EXPECT_EQ(-11, font.lfHeight);
    EXPECT_EQ(-13, HeaderFont(120).lfHeight);
    EXPECT_EQ(FW_BOLD, font.lfWeight);
    EXPECT_EQ(DEFAULT_CHARSET, font.lfCharSet);
    EXPECT_EQ(OUT_CHARACTER_PRECIS, font.lfOutPrecision);
    EXPECT_EQ(0, font.lfItalic);
    EXPECT_STREQ(L"Tahoma", font.lfFaceName);
    EXPECT_EQ(0x42825u, kHeaderTextFormat);
}
