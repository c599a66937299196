#include "app/RunModes.h"

#include <gtest/gtest.h>

#include <shlobj.h>
#include "tests/support/Printing.h"

namespace {
// A scripted GetVersionExW: accepts only the record sizes it is told to, and reports a version.
struct FakeVersion {
    bool acceptExtended;
    bool acceptBasic;
    DWORD platform, major, minor;
    int calls;
    DWORD sizesSeen[2];
};
FakeVersion g_fake;

BOOL WINAPI FakeGetVersion(LPOSVERSIONINFOW info) {
    if (g_fake.calls < 2) g_fake.sizesSeen[g_fake.calls] = info->dwOSVersionInfoSize;
    ++g_fake.calls;
    bool accept = info->dwOSVersionInfoSize == sizeof(OSVERSIONINFOEXW) ? g_fake.acceptExtended : g_fake.acceptBasic;
    if (!accept) return FALSE;
    info->dwPlatformId = g_fake.platform;
    info->dwMajorVersion = g_fake.major;
    info->dwMinorVersion = g_fake.minor;
    return TRUE;
}

VersionFlags FlagsFor(bool extended, bool basic, DWORD platform, DWORD major, DWORD minor) {
    g_fake = {extended, basic, platform, major, minor, 0, {0, 0}};
    OSVERSIONINFOEXW info;
    bool known = QuerySystemVersion(info, &FakeGetVersion);
    return ComputeVersionFlags(known, info);
}
}  // namespace

TEST(SystemVersion, RetriesWithTheBasicRecordWhenTheExtendedOneIsRejected) {
    ASSERT_EQ(284u, sizeof(OSVERSIONINFOEXW));
    ASSERT_EQ(276u, sizeof(OSVERSIONINFOW));

    VersionFlags flags = FlagsFor(false, true, VER_PLATFORM_WIN32_NT, 6, 2);
    EXPECT_EQ(2, g_fake.calls);
    EXPECT_EQ(284u, g_fake.sizesSeen[0]);
    EXPECT_EQ(276u, g_fake.sizesSeen[1]);
    EXPECT_TRUE(flags.shellFolders);
    EXPECT_TRUE(flags.startMenuItems);

    FlagsFor(true, true, VER_PLATFORM_WIN32_NT, 6, 1);
    EXPECT_EQ(1, g_fake.calls);
}

TEST(SystemVersion, FlagsFollowPlatformAndVersion) {
    struct Case {
        DWORD platform, major, minor;
        bool shellFolders, startMenu;
    } cases[] = {
        {VER_PLATFORM_WIN32_NT, 4, 0, false, false},       {VER_PLATFORM_WIN32_NT, 5, 0, true, false},
        {VER_PLATFORM_WIN32_NT, 5, 1, true, false},        {VER_PLATFORM_WIN32_NT, 6, 0, true, false},
        {VER_PLATFORM_WIN32_NT, 6, 1, true, false},        {VER_PLATFORM_WIN32_NT, 6, 2, true, true},
        {VER_PLATFORM_WIN32_NT, 6, 3, true, false},        {VER_PLATFORM_WIN32_NT, 10, 0, true, false},
        {VER_PLATFORM_WIN32_NT, 7, 2, true, false},        {VER_PLATFORM_WIN32_WINDOWS, 6, 2, false, false},
        {VER_PLATFORM_WIN32_WINDOWS, 4, 10, false, false}, {VER_PLATFORM_WIN32s, 5, 0, false, false},
    };
    for (const Case& c : cases) {
        VersionFlags flags = FlagsFor(true, true, c.platform, c.major, c.minor);
        EXPECT_EQ(c.shellFolders, flags.shellFolders) << c.platform << " " << c.major << "." << c.minor;
        EXPECT_EQ(c.startMenu, flags.startMenuItems) << c.platform << " " << c.major << "." << c.minor;
    }
}

TEST(SystemVersion, BothQueriesFailingMeansAnOldSystem) {
    VersionFlags flags = FlagsFor(false, false, VER_PLATFORM_WIN32_NT, 6, 2);
    EXPECT_EQ(2, g_fake.calls);
    EXPECT_FALSE(flags.shellFolders);
    EXPECT_FALSE(flags.startMenuItems);
}

namespace {
int g_folderAsked = -1;
BOOL WINAPI FailingFolderLookup(HWND, LPWSTR buffer, int folder, BOOL) {
    g_folderAsked = folder;
    wcscpy(buffer, L"garbage a failing call might leave");
    return FALSE;
}
BOOL WINAPI ProgramFilesLookup(HWND owner, LPWSTR buffer, int folder, BOOL create) {
    g_folderAsked = folder;
    EXPECT_EQ(nullptr, owner);
    EXPECT_FALSE(create);
    wcscpy(buffer, L"D:\\Apps");
    return TRUE;
}
}  // namespace

TEST(DefaultInstallPath, ShellFolderOrTheLiteralFallback) {
    g_folderAsked = -1;
    EXPECT_EQ(DefaultInstallPath(true, &ProgramFilesLookup), L"D:\\Apps\\Memotack");
    EXPECT_EQ(CSIDL_PROGRAM_FILES, g_folderAsked);

    // A failing lookup never hands on its buffer.
    EXPECT_EQ(DefaultInstallPath(true, &FailingFolderLookup), L"C:\\Program Files\\Memotack");

    g_folderAsked = -1;
    EXPECT_EQ(DefaultInstallPath(false, &ProgramFilesLookup), L"C:\\Program Files\\Memotack");
    EXPECT_EQ(-1, g_folderAsked);

    // The real shell, as the installer calls it.
    CString real = DefaultInstallPath(true, &::SHGetSpecialFolderPathW);
    wchar_t programFiles[MAX_PATH] = {};
    ASSERT_TRUE(::SHGetSpecialFolderPathW(nullptr, programFiles, CSIDL_PROGRAM_FILES, FALSE));
    EXPECT_EQ(real, CString(programFiles) + L"\\Memotack");
}

TEST(UsageText, TodaysTextComesFirstAndTheDeploymentSwitchesAfter) {
    const CString today =
        L"Memotack installer\n\nTo have the installer run silently with the defaults, use:\n\n"
        L"memotack_setup.exe -silent\n\nTo just extract the Memotack program files to the current directory, use:\n\n"
        L"memotack_setup.exe -extract";
    const CString usage = kUsageText;
    ASSERT_EQ(usage.Left(today.GetLength()), today);
    const CString added = usage.Mid(today.GetLength());
    for (LPCWSTR text : {L"-everyone", L"-path=\"FOLDER\"", L"-log=\"FILE\"", L"1602", L"1603", L"1618", L"1639"})
        EXPECT_NE(-1, added.Find(text)) << text;
}
