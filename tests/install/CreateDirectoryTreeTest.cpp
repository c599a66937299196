#include "install/FolderProtection.h"
#include "install/PathRoot.h"
#include "install/SystemErrorText.h"
#include "tests/support/DialogHarness.h"

#include <gtest/gtest.h>

#include <sddl.h>
#include <shlobj.h>
#include <stdlib.h>

#include <algorithm>
#include <string>

namespace {
class CreateDirectoryTreeTest : public testing::Test {
protected:
    TempFolder m_root{L"tree"};
    CInstallerDlg m_dialog;
};

// A drive letter that names no drive in this prefix.
CString MissingDrive() {
    for (wchar_t letter = L'Q'; letter <= L'Y'; ++letter) {
        wchar_t root[] = {letter, L':', L'\\', 0};
        if (::GetDriveTypeW(root) == DRIVE_NO_ROOT_DIR) return CString(root);
    }
    return CString();
}
}  // namespace

TEST_F(CreateDirectoryTreeTest, CreatesEveryMissingFolderAndPassesOverExistingOnes) {
    CString deep = m_root.Path() + L"\\one\\two\\three";
    ASSERT_TRUE(m_dialog.CreateDirectoryTree(deep));
    EXPECT_TRUE(FolderExists(deep));
    m_dialog.m_strError = L"untouched";
    EXPECT_TRUE(m_dialog.CreateDirectoryTree(deep));
    EXPECT_TRUE(m_dialog.CreateDirectoryTree(deep + L"\\"));
    EXPECT_STREQ(m_dialog.m_strError, L"untouched");
}

TEST_F(CreateDirectoryTreeTest, DriveRootsAndTheEmptyPathCreateNothingAndSucceed) {
    EXPECT_TRUE(m_dialog.CreateDirectoryTree(L"C:\\"));
    EXPECT_TRUE(m_dialog.CreateDirectoryTree(L"C:"));
    // Empty: the root of the current drive, where the copies then go.
    EXPECT_TRUE(m_dialog.CreateDirectoryTree(L""));
}

TEST_F(CreateDirectoryTreeTest, ShortRelativeNameIsNeverCreatedAndOnlySucceedsWhenItExists) {
    wchar_t previous[MAX_PATH];
    ::GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(::SetCurrentDirectoryW(m_root.Path()));
    bool missing = m_dialog.CreateDirectoryTree(L"abc");
    CString missingError = m_dialog.m_strError;
    bool created = FolderExists(L"abc");
    ::CreateDirectoryW(L"abc", nullptr);
    bool existing = m_dialog.CreateDirectoryTree(L"abc");
    // Four characters is long enough to be created.
    bool longer = m_dialog.CreateDirectoryTree(L"abcd");
    bool longerCreated = FolderExists(L"abcd");
    ::SetCurrentDirectoryW(previous);

    EXPECT_FALSE(missing);
    EXPECT_FALSE(created);
    EXPECT_FALSE(missingError.IsEmpty());
    EXPECT_TRUE(existing);
    EXPECT_TRUE(longer);
    EXPECT_TRUE(longerCreated);
}

TEST_F(CreateDirectoryTreeTest, FailsWithTheSystemMessageWhenAFolderCannotBeCreated) {
    CString drive = MissingDrive();
    ASSERT_FALSE(drive.IsEmpty());
    EXPECT_FALSE(m_dialog.CreateDirectoryTree(drive + L"Memotack\\Sub"));
    // Wine says "file not found" where Windows says "path not found".
    EXPECT_TRUE(m_dialog.m_strError == GetSystemErrorText(ERROR_PATH_NOT_FOUND) ||
                m_dialog.m_strError == GetSystemErrorText(ERROR_FILE_NOT_FOUND))
        << m_dialog.m_strError.GetString();

    // A prefix that is a file: the system says "already exists" for it, yet no folder is there.
    CString file = m_root.Path() + L"\\plain";
    HANDLE handle = ::CreateFileW(file, GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    ::CloseHandle(handle);
    m_dialog.m_strError.Empty();
    EXPECT_FALSE(m_dialog.CreateDirectoryTree(file + L"\\Sub"));
    EXPECT_FALSE(m_dialog.m_strError.IsEmpty());
    m_dialog.m_strError.Empty();
    EXPECT_FALSE(m_dialog.CreateDirectoryTree(file));
    EXPECT_STREQ(m_dialog.m_strError, GetSystemErrorText(ERROR_ALREADY_EXISTS));
}

TEST(PathRootEnd, SharesAndLongPathDrivesAreRootsAsAWhole) {
    EXPECT_EQ(6, PathRootEnd(L"\\\\?\\C:\\Memotack\\"));
    EXPECT_EQ(6, PathRootEnd(L"\\\\.\\C:\\Memotack\\"));
    EXPECT_EQ(14, PathRootEnd(L"\\\\server\\share\\Memotack\\"));
    EXPECT_EQ(20, PathRootEnd(L"\\\\?\\unc\\server\\share\\Memotack\\"));
    // Nothing but a root, or less: nothing to create.
    EXPECT_EQ(9, PathRootEnd(L"\\\\server\\"));
    EXPECT_EQ(4, PathRootEnd(L"\\\\?\\"));
    // Every other path keeps its three-character prefix.
    EXPECT_EQ(3, PathRootEnd(L"C:\\Memotack\\"));
    EXPECT_EQ(3, PathRootEnd(L"\\Memotack\\"));
    EXPECT_EQ(3, PathRootEnd(L"abc\\"));
}

TEST_F(CreateDirectoryTreeTest, LongPathPrefixCreatesTheFoldersBelowTheDrive) {
    CString deep = L"\\\\?\\" + m_root.Path() + L"\\long\\path";
    m_dialog.m_strError = L"untouched";
    EXPECT_TRUE(m_dialog.CreateDirectoryTree(deep)) << m_dialog.m_strError.GetString();
    EXPECT_TRUE(FolderExists(m_root.Path() + L"\\long\\path"));
    EXPECT_TRUE(m_dialog.CreateDirectoryTree(L"\\\\?\\C:\\"));
    EXPECT_STREQ(m_dialog.m_strError, L"untouched");
}

// Wine serves \\server\share from the folder dosdevices\unc\server\share of its prefix, which a
// program reaches through drive Z:. The share made there exists before the install, as a real one
// would; only folders below it are created.
TEST_F(CreateDirectoryTreeTest, SharesAreRootsThatExistAndFoldersAreCreatedBelowThem) {
    const wchar_t* prefix = _wgetenv(L"WINEPREFIX");
    if (!prefix) GTEST_SKIP() << "the share is made in the Wine prefix; WINEPREFIX not set";
    std::wstring server = std::wstring(L"Z:") + prefix + L"/dosdevices/unc/memotack-test-server";
    std::replace(server.begin(), server.end(), L'/', L'\\');
    RemoveTree(server.c_str());
    ASSERT_EQ(ERROR_SUCCESS, ::SHCreateDirectoryExW(nullptr, (server + L"\\share").c_str(), nullptr));

    m_dialog.m_strError = L"untouched";
    EXPECT_TRUE(m_dialog.CreateDirectoryTree(L"\\\\memotack-test-server\\share"));
    EXPECT_TRUE(m_dialog.CreateDirectoryTree(L"\\\\memotack-test-server\\share\\"));
    EXPECT_TRUE(m_dialog.CreateDirectoryTree(L"\\\\memotack-test-server\\share\\Memotack\\Sub"));
    EXPECT_TRUE(FolderExists((server + L"\\share\\Memotack\\Sub").c_str()));
    EXPECT_TRUE(m_dialog.CreateDirectoryTree(L"\\\\?\\UNC\\memotack-test-server\\share\\Long"));
    EXPECT_TRUE(FolderExists((server + L"\\share\\Long").c_str()));
    EXPECT_STREQ(m_dialog.m_strError, L"untouched");

    // A share that does not exist is never created.
    EXPECT_FALSE(m_dialog.CreateDirectoryTree(L"\\\\memotack-test-server\\missing\\Memotack"));
    EXPECT_FALSE(m_dialog.CreateDirectoryTree(L"\\\\?\\UNC\\memotack-test-server\\missing\\Memotack"));
    EXPECT_FALSE(FolderExists((server + L"\\missing").c_str()));
    RemoveTree(server.c_str());
}

// Run by tests/e2e/install_faults.sh, which mounts a read-only folder and names it here.
TEST_F(CreateDirectoryTreeTest, FolderUnderAReadOnlyFolderFails) {
    const wchar_t* readOnly = _wgetenv(L"MEMOTACK_READONLY_FOLDER");
    if (!readOnly) GTEST_SKIP() << "MEMOTACK_READONLY_FOLDER not set (tests/e2e/install_faults.sh sets it)";
    CString target = CString(readOnly) + L"\\Memotack\\Sub";
    EXPECT_FALSE(m_dialog.CreateDirectoryTree(target));
    EXPECT_FALSE(m_dialog.m_strError.IsEmpty());
    EXPECT_FALSE(FolderExists(CString(readOnly) + L"\\Memotack"));
    printf("read-only folder: \"%ls\"\n", m_dialog.m_strError.GetString());
}

TEST(FolderProtection, OnlySystemAndTheAdministratorsMayChangeAProtectedFolder) {
    const struct {
        const wchar_t* security;
        bool letsOthersChange;
    } rows[] = {
        {kProtectedFolderSecurity, false},
        {L"O:SYD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;;GRGX;;;WD)(D;;FA;;;AN)", false},
        {L"O:BUD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", true},         // a user owns it
        {L"O:BA", true},                                            // no list
        {L"O:BAD:(A;OICI;FA;;;BA)(A;OICIID;0x1301bf;;;AU)", true},  // as folders on C: inherit
        {L"O:BAD:(A;;FA;;;BA)(A;OICIIO;GA;;;BU)", true},            // for what is made inside
        {L"O:BAD:(A;;FA;;;BA)(A;;WD;;;WD)", true},                  // Everyone may change the list
        {L"O:BAD:(A;;FA;;;BA)(A;;GW;;;BU)", true},
    };
    for (const auto& row : rows) {
        LocalMemory security;
        ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(row.security, SDDL_REVISION_1,
                                                                           security.Receive(), nullptr))
            << row.security;
        EXPECT_EQ(row.letsOthersChange, LetsOthersChange(security.As<void>())) << row.security;
    }
}

TEST(FolderProtection, ProgramFilesKeepsItsOwnList) {
    wchar_t shell[MAX_PATH] = {};
    ASSERT_TRUE(::SHGetSpecialFolderPathW(nullptr, shell, CSIDL_PROGRAM_FILES, FALSE));
    const CString programFiles = shell;
    CString lower = programFiles;
    ::CharLowerBuffW(lower.GetBuffer(lower.GetLength()), static_cast<DWORD>(lower.GetLength()));
    lower.ReleaseBuffer(programFiles.GetLength());
    const struct {
        CString path;
        bool inside;
    } rows[] = {
        {programFiles + L"\\Memotack", true},
        {programFiles, true},
        {lower + L"\\Memotack\\", true},
        {L"C:\\Program Files\\Memotack", true},  // the 64-bit one too
        {programFiles + L" Extra\\Memotack", false},
        {L"C:\\Memotack", false},
        {L"\\\\server\\share\\Program Files\\Memotack", false},
    };
    for (const auto& row : rows) EXPECT_EQ(row.inside, IsInProgramFiles(row.path)) << row.path;
}
