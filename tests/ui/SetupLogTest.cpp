#include "ui/SetupLog.h"

#include "app/FatalErrors.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

namespace {
// A log file in the temporary folder, deleted before and after.
class SetupLogFile : public ::testing::Test {
protected:
    void SetUp() override {
        m_path.Format(L"memotack-log-test-%lu.log", ::GetCurrentProcessId());
        m_path = TempPath(m_path);
        ::DeleteFileW(m_path);
    }
    void TearDown() override { ::DeleteFileW(m_path); }

    // The file's bytes as they are now, read through a handle of its own.
    std::string Bytes(LPCWSTR path = nullptr) const {
        HANDLE file = ::CreateFileW(path ? path : m_path.GetString(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
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

TEST_F(SetupLogFile, ALogThatCannotBeOpenedOrIsRefusedStaysSilentAndLeavesTheFileAlone) {
    // A second name of another file, which must keep its content.
    const CString other = m_path + L".other";
    CSetupLog log;
    ASSERT_TRUE(log.Open(other));
    log.Close(0);
    ASSERT_TRUE(::CreateHardLinkW(m_path, other, nullptr));
    EXPECT_FALSE(log.Open(m_path));
    EXPECT_FALSE(log.IsOpen());
    log.WriteLine(L"nowhere");
    log.RowStarted(L"Create directory");
    log.RowEnded(true);
    log.Close(0);
    EXPECT_EQ(
        "\xEF\xBB\xBF"
        "exit code 0\r\n",
        Bytes(other));
    EXPECT_TRUE(::DeleteFileW(other));
    EXPECT_TRUE(::DeleteFileW(m_path));

    // A folder in the log's place.
    ASSERT_TRUE(::CreateDirectoryW(m_path, nullptr));
    EXPECT_FALSE(log.Open(m_path));
    log.Close(0);
    EXPECT_TRUE(::RemoveDirectoryW(m_path));
    EXPECT_FALSE(log.Open(L""));
}

TEST_F(SetupLogFile, ThePathIsMadeFullAndItsMissingFoldersAreCreated) {
    const CString folder = m_path + L".d";
    CSetupLog log;
    ASSERT_TRUE(log.Open(folder + L"\\skipped\\..\\deep\\setup.log"));
    EXPECT_STREQ(folder + L"\\deep\\setup.log", log.GetPath());
    log.Close(0);
    EXPECT_TRUE(::DeleteFileW(folder + L"\\deep\\setup.log"));
    EXPECT_TRUE(::RemoveDirectoryW(folder + L"\\deep"));
    EXPECT_TRUE(::RemoveDirectoryW(folder)) << "only the folders on the full path are made";
}

namespace {
// Kept, or the compiler drops the allocation.
char* volatile g_allocated;
// As in the dialog procedure, no exception may leave this function.
void AllocateTooMuch() noexcept {
    volatile size_t size = ~size_t(0) - 16;
    g_allocated = new char[size];
}
}  // namespace

TEST_F(SetupLogFile, AFatalErrorOfAnUnattendedRunEndsItWithALogLineAndExitCode1603) {
    // Named alike in the process that dies, which has an id of its own.
    m_path.Truncate(m_path.ReverseFind(L'-'));
    const struct {
        void (*fault)();
        const char* cause;
    } kFaults[] = {
        {[] { abort(); }, "abort"},
        {AllocateTooMuch, "std::terminate (an exception nobody caught, out of memory, or a pure virtual call)"},
        {[] { ::RaiseException(EXCEPTION_ACCESS_VIOLATION, 0, 0, nullptr); }, "unhandled exception 0xC0000005"},
    };
    for (const auto& fault : kFaults) {
        EXPECT_EXIT(
            {
                CSetupLog log;
                log.Open(m_path);
                EndFatalErrorsQuietly(&log);
                fault.fault();
            },
            ::testing::ExitedWithCode(1603), "")
            << fault.cause;
        EXPECT_EQ(std::string("\xEF\xBB\xBF"
                              "Fatal error: ") +
                      fault.cause + "\r\nexit code 1603\r\n",
                  Bytes());
    }
}
