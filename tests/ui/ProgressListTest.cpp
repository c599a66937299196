#include "install/SystemErrorText.h"
#include "res/resource.h"
#include "tests/support/DialogHarness.h"

#include <gtest/gtest.h>
#include <stdio.h>

#include <string>

namespace {
// Sends the list's double-click notification naming notifiedRow; the handler must go by the
// selection instead.
void DoubleClick(DialogHarness& d, int notifiedRow) {
    NMITEMACTIVATE activate = {};
    activate.hdr.hwndFrom = d.m_progressList.m_hWnd;
    activate.hdr.idFrom = IDC_PROGRESS_LIST;
    activate.hdr.code = NM_DBLCLK;
    activate.iItem = notifiedRow;
    d.SendMessage(WM_NOTIFY, IDC_PROGRESS_LIST, reinterpret_cast<LPARAM>(&activate));
}

void Select(DialogHarness& d, int row) {
    LVITEMW state = {};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = row >= 0 ? LVIS_SELECTED | LVIS_FOCUSED : 0;
    d.m_progressList.SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&state));
}
}  // namespace

TEST(ProgressList, SetUpGivesEightStatusImagesAndTwoColumns) {
    int images = 0, width = 0, height = 0, columnWidths[2] = {}, style = 0;
    HIMAGELIST attached = nullptr, owned = nullptr;
    DialogHarness dialog;
    dialog.Run([&](DialogHarness& d) {
        owned = d.m_statusImages.GetSafeHandle();
        attached = reinterpret_cast<HIMAGELIST>(d.m_progressList.SendMessage(LVM_GETIMAGELIST, LVSIL_SMALL));
        images = d.m_statusImages.GetImageCount();
        ::ImageList_GetIconSize(owned, &width, &height);
        for (int i = 0; i < 2; ++i)
            columnWidths[i] =
                static_cast<int>(d.m_progressList.SendMessage(LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(i)));
        style = static_cast<int>(::GetWindowLongW(d.m_progressList, GWL_STYLE));
    });
    EXPECT_NE(owned, nullptr);
    EXPECT_EQ(attached, owned);
    EXPECT_EQ(images, 8);
    EXPECT_EQ(width, 16);
    EXPECT_EQ(height, 16);
    EXPECT_EQ(columnWidths[0], 200);
    EXPECT_EQ(columnWidths[1], 245);
    EXPECT_FALSE(style & WS_VISIBLE) << "the list shows before Install";
}

TEST(ProgressList, RowImageIsTheStepStatus) {
    std::vector<DialogHarness::Row> rows;
    int firstIndex = -1, secondIndex = -1;
    bool failedRecorded = false, failedBeforeFailure = true;
    DialogHarness dialog;
    dialog.Run([&](DialogHarness& d) {
        firstIndex = d.AddStepRow(0, L"first");
        secondIndex = d.AddStepRow(1, L"second");
        d.AddStepRow(2, L"third");
        d.EndStep(secondIndex, true);
        failedBeforeFailure = d.m_bStepFailed;
        d.SetError(L"it broke", 0);
        d.EndStep(firstIndex, false);
        failedRecorded = d.m_bStepFailed;
        rows = d.Rows();
    });
    EXPECT_EQ(firstIndex, 0);
    EXPECT_EQ(secondIndex, 1);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].image, StepFailed);
    EXPECT_EQ(rows[0].image, 3);
    EXPECT_EQ(rows[0].error, L"it broke");
    EXPECT_EQ(rows[1].image, StepDone);
    EXPECT_EQ(rows[1].image, 4);
    EXPECT_EQ(rows[1].error, L"");
    EXPECT_EQ(rows[2].image, StepRunning);
    EXPECT_EQ(rows[2].image, 2);
    EXPECT_FALSE(failedBeforeFailure);
    EXPECT_TRUE(failedRecorded);
}

TEST(ProgressList, RowOperationsDoNothingInSilentMode) {
    int silentIndex = 0;
    std::vector<DialogHarness::Row> rows;
    bool failedRecorded = false;
    DialogHarness dialog;
    dialog.Run([&](DialogHarness& d) {
        int row = d.AddStepRow(0, L"before");
        d.m_bSilent = true;
        silentIndex = d.AddStepRow(1, L"silent");
        d.SetError(L"hidden", 0);
        d.EndStep(row, false);
        failedRecorded = d.m_bStepFailed;
        d.m_bSilent = false;
        rows = d.Rows();
    });
    EXPECT_EQ(silentIndex, -1);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].image, StepRunning);
    EXPECT_EQ(rows[0].error, L"");
    EXPECT_TRUE(failedRecorded) << "a silent run's failure must still reach the exit code";
}

// EndStep: a failed row shows the text that SetError left, and its log line names the system error
// too; a row whose text is for the log only (Close Memotack) shows none.
TEST(ProgressList, EndStepSetsStatusAndTextTogetherAndTheLogNamesTheSystemError) {
    TempFolder folder(L"end-step");
    const CString logPath = folder.Path() + L"\\rows.log";
    std::vector<DialogHarness::Row> rows;
    DialogHarness dialog;
    dialog.Run([&](DialogHarness& d) {
        ASSERT_TRUE(d.m_log.Open(logPath));
        int row = d.AddStepRow(0, L"Copy 'memotack.exe'");
        d.SetError(L"Could not open file for writing", ERROR_SHARING_VIOLATION);
        d.EndStep(row, false);
        row = d.AddStepRow(1, L"Close Memotack");
        d.SetError(L"Memotack is still running", 0);
        d.EndStep(row, false, StepText::LogOnly);
        d.m_log.Close(1603);
        rows = d.Rows();
    });
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].image, StepFailed);
    EXPECT_EQ(rows[0].error, L"Could not open file for writing");
    EXPECT_EQ(rows[1].image, StepFailed);
    EXPECT_EQ(rows[1].error, L"");

    const CString expected = L"Copy 'memotack.exe': failed: Could not open file for writing (system error 32: " +
                             GetSystemErrorText(ERROR_SHARING_VIOLATION) +
                             L")\r\nClose Memotack: failed: Memotack is still running\r\nexit code 1603\r\n";
    char bytes[4096] = {};
    FILE* file = _wfopen(logPath, L"rb");
    ASSERT_NE(nullptr, file);
    fread(bytes, 1, sizeof bytes - 1, file);
    fclose(file);
    wchar_t text[4096] = {};
    ::MultiByteToWideChar(CP_UTF8, 0, bytes + 3, -1, text, 4096);
    EXPECT_EQ(CString(text), expected);
}

TEST(ProgressList, DoubleClickShowsTheSelectedRowsErrorTextWhole) {
    const std::wstring longError(300, L'x');
    bool boxForFailed = false, boxForDone = false, boxWithoutSelection = true;
    std::wstring failedText, doneText = L"not read";
    DialogHarness dialog;
    dialog.Run([&](DialogHarness& d) {
        d.AddStepRow(0, L"done");
        d.EndStep(0, true);
        d.AddStepRow(1, L"failed");
        d.SetError((std::wstring(L"start ") + longError + L" end").c_str(), 0);
        d.EndStep(1, false);

        Select(d, 1);
        {
            MessageBoxWatcher watcher;
            DoubleClick(d, 0);
            boxForFailed = watcher.Stop();
            failedText = watcher.m_text;
        }
        Select(d, 0);
        {
            MessageBoxWatcher watcher;
            DoubleClick(d, 1);
            boxForDone = watcher.Stop();
            doneText = watcher.m_text;
        }
        Select(d, -1);
        {
            MessageBoxWatcher watcher;
            DoubleClick(d, 1);
            ::Sleep(300);
            boxWithoutSelection = watcher.Stop();
        }
    });
    EXPECT_TRUE(boxForFailed);
    EXPECT_EQ(failedText, std::wstring(L"start ") + longError + L" end");
    EXPECT_TRUE(boxForDone) << "a row without error still shows its (empty) text";
    EXPECT_EQ(doneText, L"");
    EXPECT_FALSE(boxWithoutSelection);
}
