#include "install/InstalledFiles.h"
#include "tests/install/StepRowProbe.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <vector>

namespace {

CString ShellFolder(int csidl) {
    wchar_t buffer[MAX_PATH] = {};
    ::SHGetSpecialFolderPathW(nullptr, buffer, csidl, FALSE);
    return buffer;
}

bool Exists(const CString& path) { return ::GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

// What a saved shortcut says when loaded back through the shell's link object.
struct LinkContents {
    CString target, workingFolder, description;
};

bool LoadLink(const CString& path, LinkContents& contents) {
    ComPtr<IShellLinkW> link;
    if (::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.ReceiveVoid()) != S_OK)
        return false;
    ComPtr<IPersistFile> file;
    if (link->QueryInterface(IID_IPersistFile, file.ReceiveVoid()) != S_OK) return false;
    if (file->Load(path, STGM_READ) != S_OK) return false;
    wchar_t buffer[MAX_PATH] = {};
    if (link->GetPath(buffer, MAX_PATH, nullptr, SLGP_RAWPATH) != S_OK) return false;
    contents.target = buffer;
    buffer[0] = 0;
    link->GetWorkingDirectory(buffer, MAX_PATH);
    contents.workingFolder = buffer;
    buffer[0] = 0;
    link->GetDescription(buffer, MAX_PATH);
    contents.description = buffer;
    return true;
}

// A scratch install folder holding a stand-in memotack.exe, removed with everything in it.
class ShortcutTest : public testing::Test {
protected:
    void SetUp() override {
        m_folder = m_root.Path();
        m_target = m_folder + L"\\memotack.exe";
        UniqueHandle exe(::CreateFileW(m_target, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        ASSERT_TRUE(exe.IsValid());
        probe.dlg.m_bShellFolders = true;
    }
    void TearDown() override {
        for (const CString& path : m_cleanUp) ::DeleteFileW(path);
    }
    void CleanUpLater(const CString& path) { m_cleanUp.push_back(path); }
    // The scratch folder as the install folder.
    InstalledFiles Files() const { return InstalledFiles(m_folder); }

    ComScope com;
    StepRowProbe probe;
    TempFolder m_root{L"shortcut test"};
    CString m_folder, m_target;
    std::vector<CString> m_cleanUp;
};

}  // namespace

TEST_F(ShortcutTest, WritesALinkThatLoadsBackAndReplacesAnOldOne) {
    CString link = m_folder + L"\\Memotack.lnk";
    {
        UniqueHandle old(::CreateFileW(link, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        ASSERT_TRUE(old.IsValid());
        ::WriteFile(old.Get(), "not a link", 10, nullptr, nullptr);
    }
    // A target with a relative part: the link holds its full path.
    CString relativeTarget = m_folder + L"\\sub\\..\\memotack.exe";
    ASSERT_EQ(S_OK, probe.dlg.CreateShortcut(relativeTarget, L"Memotack", link, m_folder));

    LinkContents contents;
    ASSERT_TRUE(LoadLink(link, contents));
    EXPECT_EQ(contents.target, m_target);
    EXPECT_EQ(contents.workingFolder, m_folder);
    EXPECT_EQ(contents.description, L"Memotack");
}

TEST_F(ShortcutTest, RefusesPathsThatDoNotFitTheBuffers) {
    CString longName(L"x");
    while (longName.GetLength() < MAX_PATH) longName += L"x";
    EXPECT_NE(S_OK, probe.dlg.CreateShortcut(m_folder + L"\\" + longName + L".exe", L"Memotack",
                                             m_folder + L"\\Memotack.lnk", m_folder));
    EXPECT_FALSE(Exists(m_folder + L"\\Memotack.lnk"));
    EXPECT_NE(S_OK, probe.dlg.CreateShortcut(m_target, L"Memotack", m_folder + L"\\" + longName + L".lnk", m_folder));
    // A folder that does not exist cannot take the shortcut: Save decides, and it is not S_OK.
    EXPECT_NE(S_OK, probe.dlg.CreateShortcut(m_target, L"Memotack", m_folder + L"\\missing\\Memotack.lnk", m_folder));
}

TEST_F(ShortcutTest, StartupShortcutGoesToTheUsersOrTheCommonFolder) {
    for (bool allUsers : {false, true}) {
        SCOPED_TRACE(allUsers ? "everyone" : "just me");
        CString expected = ShellFolder(allUsers ? CSIDL_COMMON_STARTUP : CSIDL_STARTUP) + L"\\Memotack.lnk";
        CleanUpLater(expected);
        CString script(L"first\n");
        int row = probe.Count();
        probe.dlg.CreateStartupShortcut(row, allUsers, Files(), script);

        EXPECT_EQ(probe.Label(row), L"Create Startup shortcut");
        EXPECT_EQ(StepDone, probe.Status(row));
        EXPECT_EQ(script, L"first\ndel \"" + expected + L"\"\n");
        LinkContents contents;
        ASSERT_TRUE(LoadLink(expected, contents));
        EXPECT_EQ(contents.target, m_target);
        EXPECT_EQ(contents.workingFolder, m_folder);
    }
}

TEST_F(ShortcutTest, StartupShortcutWithoutShellFoldersUsesTheFixedPath) {
    const CString fixed(L"C:\\windows\\Start Menu\\Programs\\Startup\\Memotack.lnk");
    probe.dlg.m_bShellFolders = false;
    CString script;
    probe.dlg.CreateStartupShortcut(0, true, Files(), script);
    EXPECT_EQ(script, L"del \"" + fixed + L"\"\n");
    if (Exists(L"C:\\windows\\Start Menu\\Programs\\Startup")) {
        CleanUpLater(fixed);
        EXPECT_EQ(StepDone, probe.Status(0));
    } else {
        // The folder is not created: the shortcut fails there, and the uninstaller still gets its line.
        EXPECT_EQ(StepFailed, probe.Status(0));
        EXPECT_EQ(probe.Error(0), L"Can't create at: " + fixed);
    }
}

TEST_F(ShortcutTest, StartMenuItemsMakeTheFolderOnceAndTheShortcutInIt) {
    CString folder = ShellFolder(CSIDL_PROGRAMS) + L"\\Memotack";
    CString link = folder + L"\\Memotack.lnk";
    CleanUpLater(link);
    ::DeleteFileW(link);
    ::RemoveDirectoryW(folder);

    // Twice: the second run finds the folder and the shortcut there already.
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        CString script;
        probe.dlg.CreateStartMenuItems(run, false, Files(), script);
        EXPECT_EQ(probe.Label(run), L"Create Start Menu items");
        EXPECT_EQ(StepDone, probe.Status(run));
        EXPECT_EQ(script, L"del \"" + link + L"\"\nrd \"" + folder + L"\"\n");
        LinkContents contents;
        ASSERT_TRUE(LoadLink(link, contents));
        EXPECT_EQ(contents.target, m_target);
        EXPECT_EQ(contents.workingFolder, m_folder);
    }
    ::DeleteFileW(link);
    EXPECT_TRUE(::RemoveDirectoryW(folder));
}

// Sets a registry text value for the life of the object and puts back what was there before.
class ValueOverride {
public:
    ValueOverride(HKEY root, LPCWSTR key, LPCWSTR name, LPCWSTR text) : m_name(name) {
        ::RegOpenKeyExW(root, key, 0, KEY_ALL_ACCESS, m_key.Receive());
        m_had = ::RegQueryValueExW(m_key.Get(), name, nullptr, &m_type, reinterpret_cast<BYTE*>(m_saved), &m_size) ==
                ERROR_SUCCESS;
        DWORD bytes = static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t));
        ::RegSetValueExW(m_key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes);
    }
    ~ValueOverride() {
        if (m_had)
            ::RegSetValueExW(m_key.Get(), m_name, 0, m_type, reinterpret_cast<const BYTE*>(m_saved), m_size);
        else
            ::RegDeleteValueW(m_key.Get(), m_name);
    }
    ValueOverride(const ValueOverride&) = delete;
    ValueOverride& operator=(const ValueOverride&) = delete;

private:
    RegKey m_key;
    LPCWSTR m_name;
    bool m_had = false;
    DWORD m_type = 0;
    wchar_t m_saved[MAX_PATH] = {};
    DWORD m_size = sizeof m_saved;
};

// The user's programs folder moved to moved for the life of the object.
class ProgramsFolderMoved {
public:
    explicit ProgramsFolderMoved(LPCWSTR moved)
        : m_user(HKEY_CURRENT_USER,
                 L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                 L"Programs",
                 moved),
          m_shell(HKEY_CURRENT_USER,
                  L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                  L"Programs",
                  moved) {}

private:
    ValueOverride m_user, m_shell;
};

TEST_F(ShortcutTest, StartMenuFolderThatCannotBeMadeAddsNoScriptLines) {
    // A file in the programs folder's place: the folder inside it cannot be made.
    CString file = m_folder + L"\\Programs";
    {
        UniqueHandle handle(::CreateFileW(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        ASSERT_TRUE(handle.IsValid());
    }
    CleanUpLater(file);
    CString script(L"first\n");
    {
        ProgramsFolderMoved moved(file);
        probe.dlg.CreateStartMenuItems(0, false, Files(), script);
    }
    EXPECT_EQ(StepFailed, probe.Status(0));
    EXPECT_EQ(probe.Error(0), L"Can't create directory at: " + file + L"\\Memotack");
    EXPECT_EQ(script, L"first\n");
}

TEST_F(ShortcutTest, StartMenuFolderLookupThatFailsMakesNothing) {
    CString script(L"first\n");
    {
        ProgramsFolderMoved moved(L"C:\\no such folder\\Programs");
        probe.dlg.CreateStartMenuItems(0, false, Files(), script);
    }
    EXPECT_EQ(StepFailed, probe.Status(0));
    EXPECT_EQ(probe.Error(0), L"Can't create directory at: Start Menu\\Programs\\Memotack");
    EXPECT_EQ(script, L"first\n");
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(L"\\Memotack"));
}
