#include "app/SetupLog.h"

#include <gtest/gtest.h>

#include <string>

namespace {
// A log file in the temporary folder, deleted before and after.
class SetupLogFile : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, temp);
        m_path.Format(L"%lsmemotack-log-test-%lu.log", temp, ::GetCurrentProcessId());
        ::DeleteFileW(m_path);
    }
    void TearDown() override { ::DeleteFileW(m_path); }

    // The file's bytes as they are now, read through a handle of its own.
    std::string Bytes() const {
        HANDLE file =
            ::CreateFileW(m_path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return "<missing>";
        std::string bytes(65536, '\0');
        DWORD read = 0;
        ::ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr);
        ::CloseHandle(file);
        bytes.resize(read);
        return bytes;
    }

    CString m_path;
};
}  // namespace

TEST_F(SetupLogFile, Utf8WithByteOrderMarkAndCrLfReplacingAnOldFileAndFlushedLineByLine) {
    {
        CSetupLog old;
        ASSERT_TRUE(old.Open(m_path));
        old.WriteLine(L"an old run's line that must go");
        old.Close(0);
    }
    CSetupLog log;
    ASSERT_TRUE(log.Open(m_path));
    EXPECT_TRUE(log.IsOpen());
    EXPECT_EQ("\xEF\xBB\xBF", Bytes());
    log.WriteLine(L"Folder: C:\\users\\M\u00fcller\\\u5f20\u4f1f");
    // On disk before the next line comes: a killed installer leaves every line written so far.
    EXPECT_EQ(
        "\xEF\xBB\xBF"
        "Folder: C:\\users\\M\xC3\xBCller\\\xE5\xBC\xA0\xE4\xBC\x9F\r\n",
        Bytes());
    log.WriteLine(L"two\r\nlines\nbecome one");
    log.Close(1603);
    EXPECT_FALSE(log.IsOpen());
    EXPECT_EQ(
        "\xEF\xBB\xBF"
        "Folder: C:\\users\\M\xC3\xBCller\\\xE5\xBC\xA0\xE4\xBC\x9F\r\n"
        "two  lines become one\r\nexit code 1603\r\n",
        Bytes());
}

TEST_F(SetupLogFile, OneLinePerRowWhicheverOrderItsErrorTextAndStatusCome) {
    CSetupLog log;
    ASSERT_TRUE(log.Open(m_path));
    log.RowStarted(L"Close Memotack");
    log.RowEnded(false);
    // Status first, then the text (the folder and copy steps).
    log.RowStarted(L"Create directory");
    log.RowEnded(true);
    EXPECT_EQ(std::string::npos, Bytes().find("Create directory")) << "written before its error text came";
    log.RowError(L"Access denied.");
    EXPECT_NE(std::string::npos, Bytes().find("Create directory: failed: Access denied.\r\n"))
        << "not written once complete";
    // Text first, then the status (the shortcut, registry and uninstaller steps).
    log.RowStarted(L"Create Startup shortcut");
    log.RowError(L"Can't create at: C:\\x\\Memotack.lnk");
    log.RowEnded(true);
    // A failed row that gets no text at all is written when the next row starts...
    log.RowStarted(L"Close Memotack");
    log.RowEnded(true);
    log.RowStarted(L"Create uninstaller");
    log.RowEnded(false);
    // ...or when the log ends.
    log.RowStarted(L"Run Memotack");
    log.RowEnded(true);
    // A status without a row, or a second one for the same row, adds nothing.
    log.RowEnded(false);
    log.Close(1603);
    EXPECT_EQ(
        "\xEF\xBB\xBF"
        "Close Memotack: done\r\n"
        "Create directory: failed: Access denied.\r\n"
        "Create Startup shortcut: failed: Can't create at: C:\\x\\Memotack.lnk\r\n"
        "Close Memotack: failed\r\n"
        "Create uninstaller: done\r\n"
        "Run Memotack: failed\r\n"
        "exit code 1603\r\n",
        Bytes());
}

TEST_F(SetupLogFile, ALogThatCannotBeOpenedStaysSilent) {
    CSetupLog log;
    CString missingFolder = m_path + L".missing\\setup.log";
    EXPECT_FALSE(log.Open(missingFolder));
    EXPECT_FALSE(log.IsOpen());
    log.WriteLine(L"nowhere");
    log.RowStarted(L"Create directory");
    log.RowEnded(true);
    log.Close(0);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(missingFolder));

    // A folder in the log's place.
    ASSERT_TRUE(::CreateDirectoryW(m_path, nullptr));
    EXPECT_FALSE(log.Open(m_path));
    log.Close(0);
    EXPECT_TRUE(::RemoveDirectoryW(m_path));
    EXPECT_FALSE(log.Open(L""));
}
