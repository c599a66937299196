#include "tests/install/StepRowProbe.h"

#include <gtest/gtest.h>

TEST(LaunchInstalledFile, OpensTheFileOrSaysItCannot) {
    StepRowProbe probe;
    wchar_t system[MAX_PATH] = {};
    ::GetSystemDirectoryW(system, MAX_PATH);
    // A program that ends by itself stands in for the installed one.
    CString program = CString(system) + L"\\hostname.exe";
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(program));

    probe.dlg.LaunchInstalledFile(0, L"Run Memotack", program);
    probe.dlg.LaunchInstalledFile(1, L"Show help file", L"C:\\no such folder\\memotack.chm");

    EXPECT_EQ(2, probe.Count());
    EXPECT_EQ(probe.Label(0), L"Run Memotack");
    EXPECT_EQ(StepDone, probe.Status(0));
    EXPECT_TRUE(probe.Error(0).IsEmpty());
    EXPECT_EQ(probe.Label(1), L"Show help file");
    EXPECT_EQ(StepFailed, probe.Status(1));
    EXPECT_EQ(probe.Error(1), L"Unable to launch file");
}
