#include "install/EarlierInstall.h"
#include "install/InstalledFiles.h"
#include "install/SavedKey.h"
#include "install/UninstallerScript.h"
#include "tests/install/StepRowProbe.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const wchar_t kKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\PelmoMemotack";

struct Value {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

Value ReadValue(HKEY key, LPCWSTR name) {
    Value value;
    DWORD size = 0;
    if (::RegQueryValueExW(key, name, nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS) return Value();
    value.data.resize(size);
    ::RegQueryValueExW(key, name, nullptr, &value.type, value.data.data(), &size);
    return value;
}

// The bytes of text as a REG_SZ holds them: UTF-16 with the terminating null.
std::vector<BYTE> TextBytes(const CString& text) {
    const BYTE* first = reinterpret_cast<const BYTE*>(text.GetString());
    return std::vector<BYTE>(first, first + (text.GetLength() + 1) * sizeof(wchar_t));
}

std::vector<BYTE> NumberBytes(DWORD number) {
    const BYTE* first = reinterpret_cast<const BYTE*>(&number);
    return std::vector<BYTE>(first, first + sizeof number);
}

std::string ReadFileBytes(const CString& path) {
    UniqueHandle file(::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file.IsValid()) return "<missing>";
    char buffer[4096];
    DWORD read = 0;
    ::ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr);
    return std::string(buffer, read);
}

void WriteFileBytes(const CString& path, const std::string& bytes) {
    UniqueHandle file(::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

// The names of the files in folder.
std::vector<CString> FileNames(const CString& folder) {
    std::vector<CString> names;
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW(folder + L"\\*", &found);
    for (bool more = search != INVALID_HANDLE_VALUE; more; more = ::FindNextFileW(search, &found))
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
    if (search != INVALID_HANDLE_VALUE) ::FindClose(search);
    return names;
}

class UninstallEntryTest : public testing::Test {
protected:
    void SetUp() override {
        ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kKey);
    }
    void TearDown() override { ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kKey); }
    CString Uninstaller() const { return m_windowsFolder + L"\\uninstallmemotack.bat"; }

    StepRowProbe probe;
    TempFolder m_root{L"windows folder"};
    const CString m_windowsFolder = m_root.Path();
    const InstalledFiles m_files{L"C:\\Program Files (x86)\\Memotack"};
};

}  // namespace

TEST_F(UninstallEntryTest, KeyHoldsTheSixteenValues) {
    // The installed files' size is their sum in KB, rounded up: 1,000 and 1,500 bytes make 3 KB.
    const CString folder = m_windowsFolder;
    WriteFileBytes(folder + L"\\memotack.exe", std::string(1000, 'x'));
    WriteFileBytes(folder + L"\\memotack.chm", std::string(1500, 'x'));
    SYSTEMTIME before, after;
    ::GetLocalTime(&before);
    probe.dlg.CreateUninstallEntry(0, InstalledFiles(folder), L"C:\\windows\\uninstallmemotack.bat");
    ::GetLocalTime(&after);
    ::DeleteFileW(folder + L"\\memotack.exe");
    ::DeleteFileW(folder + L"\\memotack.chm");
    EXPECT_EQ(probe.Label(0), L"Create Add/Remove Programs entry");
    EXPECT_EQ(StepDone, probe.Status(0));
    CString date;
    date.Format(L"%04u%02u%02u", after.wYear, after.wMonth, after.wDay);
    if (before.wDay != after.wDay) GTEST_SKIP() << "the date changed during the test";

    RegKey key;
    ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, key.Receive()));
    const CString web(L"https://www.pelmo-software.example/memotack");
    const struct {
        LPCWSTR name;
        DWORD type;
        std::vector<BYTE> data;
    } expected[] = {
        {L"DisplayName", REG_SZ, TextBytes(L"Memotack 8.0a")},
        {L"UninstallString", REG_SZ, TextBytes(L"C:\\windows\\uninstallmemotack.bat")},
        {L"HelpLink", REG_SZ, TextBytes(web)},
        {L"Contact", REG_SZ, TextBytes(L"Dax Quillon")},
        {L"Publisher", REG_SZ, TextBytes(L"Pelmo Software")},
        {L"URLInfoAbout", REG_SZ, TextBytes(web)},
        {L"Readme", REG_SZ, TextBytes(folder + L"\\memotack.chm")},
        {L"Comments", REG_SZ, TextBytes(L"Pelmo Software Memotack")},
        {L"InstallLocation", REG_SZ, TextBytes(folder)},
        {L"DisplayIcon", REG_SZ, TextBytes(folder + L"\\memotack.exe")},
        {L"NoRepair", REG_DWORD, NumberBytes(1)},
        {L"NoModify", REG_DWORD, NumberBytes(1)},
        {L"DisplayVersion", REG_SZ, TextBytes(L"8.0a")},
        {L"QuietUninstallString", REG_SZ, TextBytes(L"\"C:\\windows\\uninstallmemotack.bat\"")},
        {L"EstimatedSize", REG_DWORD, NumberBytes(3)},
        {L"InstallDate", REG_SZ, TextBytes(date)},
    };
    for (const auto& want : expected) {
        SCOPED_TRACE(testing::PrintToString(CString(want.name)));
        Value got = ReadValue(key.Get(), want.name);
        EXPECT_EQ(want.type, got.type);
        EXPECT_EQ(want.data, got.data);
    }
    DWORD valueCount = 0;
    ASSERT_EQ(ERROR_SUCCESS, ::RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                                &valueCount, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(16u, valueCount);
}

TEST_F(UninstallEntryTest, UninstallerIsEightBitTextWithCrLf) {
    CString script(
        L"\"C:\\Program Files (x86)\\Memotack\\memotack.exe\" -close\n"
        L"del \"C:\\Program Files (x86)\\Memotack\\memotack.chm\"\n");
    probe.dlg.CreateUninstaller(0, m_files, Uninstaller(), script);
    EXPECT_EQ(probe.Label(0), L"Create uninstaller");
    EXPECT_EQ(StepDone, probe.Status(0));

    std::string expected =
        "\"C:\\Program Files (x86)\\Memotack\\memotack.exe\" -close\r\n"
        "del \"C:\\Program Files (x86)\\Memotack\\memotack.chm\"\r\n"
        "if exist \"C:\\Program Files (x86)\\Memotack\\memotack.chm\" (echo Memotack could not be removed: a file is "
        "in use or administrator rights are missing& exit /b 1) else if exist \"C:\\Program Files "
        "(x86)\\Memotack\\memotack.exe\" (echo Memotack could not be removed: a file is in use or administrator "
        "rights are missing& exit /b 1)\r\n"
        ">\"%TEMP%\\delmtq.reg\" echo REGEDIT4\r\n"
        ">>\"%TEMP%\\delmtq.reg\" echo.\r\n"
        ">>\"%TEMP%\\delmtq.reg\" echo "
        "[-HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\PelmoMemotack]\r\n";
    if (IsWow64())
        expected +=
            ">>\"%TEMP%\\delmtq.reg\" echo "
            "[-HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
            "PelmoMemotack]\r\n";
    expected +=
        "regedit /s \"%TEMP%\\delmtq.reg\"\r\n"
        "del \"%TEMP%\\delmtq.reg\"\r\n"
        "rd \"C:\\Program Files (x86)\\Memotack\"\r\n"
        "del %0\r\n";
    EXPECT_EQ(expected, ReadFileBytes(Uninstaller()));
    EXPECT_EQ(FileNames(m_windowsFolder), std::vector<CString>{L"uninstallmemotack.bat"});
    // The script text the sequence holds has the closing lines too, with plain line feeds.
    EXPECT_EQ(L'\n', script[script.GetLength() - 1]);
    EXPECT_NE(-1, script.Find(L"del %0\n"));

    // A second install truncates the file rather than appending to it.
    CString second(L"x\n");
    probe.dlg.CreateUninstaller(1, m_files, Uninstaller(), second);
    EXPECT_EQ(0u, ReadFileBytes(Uninstaller()).find("x\r\nif exist "));
    EXPECT_EQ(std::string::npos, ReadFileBytes(Uninstaller()).find("-close"));
}

TEST_F(UninstallEntryTest, UninstallerThatCannotBeWrittenFailsTheRow) {
    CString script;
    probe.dlg.CreateUninstaller(0, m_files, m_windowsFolder + L"\\missing\\uninstallmemotack.bat", script);
    EXPECT_EQ(StepFailed, probe.Status(0));
    CString error = probe.Error(0);
    EXPECT_FALSE(error.IsEmpty());
    EXPECT_LE(error.GetLength(), 255);

    // A path that the OEM code page cannot hold and that has no short form (it does not exist):
    // the row names it, and the uninstaller of an earlier install stays as it was.
    WriteFileBytes(Uninstaller(), "earlier uninstaller\r\n");
    CString chinese(L"del \"C:\\\u5f20\u4f1f\\memotack.exe\"\n");
    probe.dlg.CreateUninstaller(1, m_files, Uninstaller(), chinese);
    EXPECT_EQ(StepFailed, probe.Status(1));
    EXPECT_EQ(probe.Error(1), L"Can't write into the uninstaller: C:\\\u5f20\u4f1f\\memotack.exe");
    EXPECT_EQ("earlier uninstaller\r\n", ReadFileBytes(Uninstaller()));

    // Failures once a file is open (a broken character outside the quoted paths) and when it is to
    // take the uninstaller's place (an uninstaller held open) leave no trace either.
    CString broken(L"echo \xd800\n"), replacing(L"x\n");
    probe.dlg.CreateUninstaller(2, m_files, Uninstaller(), broken);
    {
        UniqueHandle held(
            ::CreateFileW(Uninstaller(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        probe.dlg.CreateUninstaller(3, m_files, Uninstaller(), replacing);
    }
    for (int row : {2, 3}) EXPECT_EQ(StepFailed, probe.Status(row)) << row;
    EXPECT_EQ("earlier uninstaller\r\n", ReadFileBytes(Uninstaller()));
    EXPECT_EQ(FileNames(m_windowsFolder), std::vector<CString>{L"uninstallmemotack.bat"});
}

// An earlier install, as its entry and its uninstaller tell it.
TEST_F(UninstallEntryTest, EarlierInstallIsWhatItsEntryAndItsUninstallerSay) {
    EXPECT_FALSE(ReadEarlierEntry().exists);
    probe.dlg.CreateUninstallEntry(0, InstalledFiles(L"C:\\Apps\\Memotack"), Uninstaller());
    RegKey key;
    ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_SET_VALUE, key.Receive()));
    const DWORD number = 1;
    const std::wstring tooLong(MAX_PATH + 1, L'x');
    const struct {
        const wchar_t* what;
        DWORD type;  // REG_NONE: the value deleted
        const void* data;
        DWORD size;
        CString location;
        LONG status;
    } cases[] = {
        {L"as this program writes it", REG_SZ, nullptr, 0, L"C:\\Apps\\Memotack", ERROR_SUCCESS},
        {L"no InstallLocation", REG_NONE, nullptr, 0, L"", ERROR_SUCCESS},
        {L"a number", REG_DWORD, &number, sizeof number, L"", ERROR_INVALID_DATA},
        {L"longer than a path", REG_SZ, tooLong.c_str(), static_cast<DWORD>((tooLong.size() + 1) * 2), L"",
         ERROR_MORE_DATA},
        {L"without its terminator", REG_SZ, L"C:\\Old", 12, L"C:\\Old", ERROR_SUCCESS},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(CString(c.what)));
        if (c.type == REG_NONE) ::RegDeleteValueW(key.Get(), L"InstallLocation");
        if (c.data)
            ::RegSetValueExW(key.Get(), L"InstallLocation", 0, c.type, static_cast<const BYTE*>(c.data), c.size);
        EarlierEntry earlier = ReadEarlierEntry();
        EXPECT_TRUE(earlier.exists);
        EXPECT_EQ(earlier.location, c.location);
        EXPECT_EQ(earlier.status, c.status);
    }

    // What the earlier uninstaller removes goes into the new script once: its del and rd lines of
    // paths of their own, and the earlier folder's files and the folder in any case.
    WriteFileBytes(
        Uninstaller(),
        "\"C:\\Old\\memotack.exe\" -close\r\ndel \"C:\\Old\\memotack.chm\"\r\ndel \"C:\\Old\\memotack.exe\"\r\n"
        "del \"C:\\All\\Startup\\Memotack.lnk\"\r\n>\"%TEMP%\\delmtq.reg\" echo REGEDIT4\r\n"
        "regedit /s \"%TEMP%\\delmtq.reg\"\r\ndel \"%TEMP%\\delmtq.reg\"\r\ndel \"a\" \"b\"\r\nrd \"\"\r\n"
        "rd \"C:\\Old\"\r\nrd \"C:\\100%% Old\"\r\ndel %0\r\n");
    probe.dlg.m_strEarlierFolder = L"C:\\Old";
    CString script = L"\"C:\\New\\memotack.exe\" -close\ndel \"C:\\All\\Startup\\Memotack.lnk\"\n";
    {
        // Held open without sharing: it cannot be read, and the script stays as it is.
        UniqueHandle held(::CreateFileW(Uninstaller(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        const CString before = script;
        EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), probe.dlg.AddEarlierInstallLines(Uninstaller(), script));
        EXPECT_EQ(before, script);
    }
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), probe.dlg.AddEarlierInstallLines(Uninstaller(), script));
    EXPECT_EQ(script,
              L"\"C:\\New\\memotack.exe\" -close\ndel \"C:\\All\\Startup\\Memotack.lnk\"\n"
              L"del \"C:\\Old\\memotack.chm\"\ndel \"C:\\Old\\memotack.exe\"\nrd \"C:\\Old\"\nrd \"C:\\100%% Old\"\n");
    // Without the earlier uninstaller, the earlier folder alone.
    ::DeleteFileW(Uninstaller());
    script = L"x\n";
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), probe.dlg.AddEarlierInstallLines(Uninstaller(), script));
    EXPECT_EQ(script, L"x\ndel \"C:\\Old\\memotack.chm\"\ndel \"C:\\Old\\memotack.exe\"\nrd \"C:\\Old\"\n");
}

// An entry must never name an uninstaller that is missing or an earlier install's: when the
// uninstaller cannot be written, the entry is as it was before, or gone when there was none.
TEST_F(UninstallEntryTest, AnUninstallerThatCannotBeWrittenPutsTheEntryBack) {
    for (bool earlierInstall : {false, true}) {
        SCOPED_TRACE(earlierInstall ? "over an earlier install" : "no earlier install");
        ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kKey);
        if (earlierInstall) {
            RegKey key;
            ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyW(HKEY_LOCAL_MACHINE, kKey, key.Receive()));
            const CString folder = L"C:\\Earlier";
            ::RegSetValueExW(key.Get(), L"InstallLocation", 0, REG_SZ, TextBytes(folder).data(),
                             static_cast<DWORD>(TextBytes(folder).size()));
            // Names and data of sizes that do not fill whole words.
            ::RegSetValueExW(key.Get(), L"Note", 0, REG_BINARY, reinterpret_cast<const BYTE*>("\x01\x02\x03"), 3);
            ::RegSetValueExW(key.Get(), L"Size", 0, REG_DWORD, NumberBytes(7).data(), 4);
        }
        SavedKey earlier;
        const CString missing = m_windowsFolder + L"\\missing\\uninstallmemotack.bat";
        const int row = earlierInstall ? 2 : 0;
        probe.dlg.CreateUninstallEntry(row, m_files, missing, &earlier);
        ASSERT_EQ(StepDone, probe.Status(row));
        CString script;
        probe.dlg.CreateUninstaller(row + 1, m_files, missing, script, CString(), &earlier);
        EXPECT_EQ(StepFailed, probe.Status(row + 1));

        RegKey key;
        const LONG opened = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, key.Receive());
        if (!earlierInstall) {
            EXPECT_EQ(ERROR_FILE_NOT_FOUND, opened);
            continue;
        }
        ASSERT_EQ(ERROR_SUCCESS, opened);
        DWORD valueCount = 0;
        ::RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &valueCount, nullptr,
                           nullptr, nullptr, nullptr);
        EXPECT_EQ(3u, valueCount);
        EXPECT_EQ(TextBytes(L"C:\\Earlier"), ReadValue(key.Get(), L"InstallLocation").data);
        EXPECT_EQ(REG_BINARY, ReadValue(key.Get(), L"Note").type);
        EXPECT_EQ((std::vector<BYTE>{1, 2, 3}), ReadValue(key.Get(), L"Note").data);
        EXPECT_EQ(NumberBytes(7), ReadValue(key.Get(), L"Size").data);
    }
}

// The uninstaller is read by cmd in the OEM code page, which follows the system's language.
TEST_F(UninstallEntryTest, UninstallerIsInTheOemCodePage) {
    const struct {
        UINT codePage;
        LPCWSTR letter;
        char byte;
    } pages[] = {
        {437, L"\u00fc", '\x81'}, {850, L"\u00fc", '\x81'}, {852, L"\u0142", '\x88'}, {866, L"\u0436", '\xa6'}};
    for (const auto& page : pages) {
        if (page.codePage != ::GetOEMCP()) continue;
        CString script = CString(L"del \"C:\\m") + page.letter + L"\\x\"\n";
        probe.dlg.CreateUninstaller(0, m_files, Uninstaller(), script);
        EXPECT_EQ(StepDone, probe.Status(0));
        EXPECT_EQ(0u, ReadFileBytes(Uninstaller()).find(std::string("del \"C:\\m") + page.byte + "\\x\"\r\n"));
        return;
    }
    GTEST_SKIP() << "no sample letter for OEM code page " << ::GetOEMCP();
}

TEST(UninstallerScript, PathsAreWhatCmdReadsBack) {
    // cmd drops a lone % and expands %...% pairs; inside the quotes the rest is taken as it is.
    EXPECT_EQ(QuotedScriptPath(L"C:\\100% Notes\\%TEMP%\\Memotack"), L"\"C:\\100%% Notes\\%%TEMP%%\\Memotack\"");
    EXPECT_EQ(QuotedScriptPath(L"C:\\A & B ^ (x86) !' ,\\Memotack"), L"\"C:\\A & B ^ (x86) !' ,\\Memotack\"");

    // A folder that the OEM code page cannot hold goes in by its short form, the part below it
    // that does not exist yet as it is.
    TempFolder made(L"\u5f20\u4f1f 100%");
    const CString& folder = made.Path();
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(folder));
    CString quoted = QuotedScriptPath(folder + L"\\Memotack\\memotack.exe");
    EXPECT_TRUE(IsAscii(quoted)) << quoted;
    const CString tail = L"\\Memotack\\memotack.exe\"";
    ASSERT_GT(quoted.GetLength(), tail.GetLength() + 1);
    EXPECT_EQ(quoted.Mid(quoted.GetLength() - tail.GetLength()), tail);
    EXPECT_EQ(quoted[0], L'"');
    // What cmd reads back (each %% one %) names the folder.
    CString shortFolder;
    for (int i = 1; i < quoted.GetLength() - tail.GetLength(); ++i) {
        shortFolder += quoted[i];
        if (quoted[i] == L'%') ++i;
    }
    wchar_t longFolder[MAX_PATH] = {};
    ::GetLongPathNameW(shortFolder, longFolder, MAX_PATH);
    EXPECT_EQ(CString(longFolder), folder) << shortFolder;

    // Nothing of it exists: no short form, so the path stays as it is and the write refuses it.
    EXPECT_EQ(QuotedScriptPath(L"C:\\\u5f20\u4f1f\\x"), L"\"C:\\\u5f20\u4f1f\\x\"");
}
