#include "framework/CFile.h"
#include "framework/CFileException.h"
#include "framework/CStdioFile.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>
#include <string>

namespace {
std::string ReadAll(const std::wstring& path) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    std::string data(::GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    if (!data.empty()) ::ReadFile(file, &data[0], static_cast<DWORD>(data.size()), &read, nullptr);
    ::CloseHandle(file);
    data.resize(read);
    return data;
}
}  // namespace

TEST(File, CreatesTruncatesAndRefusesSharing) {
    std::wstring path = TempPath(L"cfile-test.bin").GetString();
    {
        CFile file;
        ASSERT_TRUE(file.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite));
        file.Write("0123456789", 10);
        file.Close();
        EXPECT_FALSE(file.IsOpen());
    }
    CFile file;
    ASSERT_TRUE(file.Open(path.c_str(), 0x1001));
    // Opened without sharing: nobody else gets in while it is open.
    CFile other;
    CFileException error;
    EXPECT_FALSE(other.Open(path.c_str(), CFile::modeRead | CFile::shareDenyNone, &error));
    EXPECT_EQ(ERROR_SHARING_VIOLATION, error.m_lOsError);
    EXPECT_EQ(CFileException::sharingViolation, error.m_cause);
    file.Write("ab", 2);
    file.Close();
    EXPECT_EQ("ab", ReadAll(path));

    EXPECT_FALSE(other.Open(TempPath(L"no such folder\\x.bin"), 0x1001));
    EXPECT_FALSE(other.Open(TempPath(L"no such folder\\x.bin"), 0x1001, &error));
    EXPECT_EQ(ERROR_PATH_NOT_FOUND, error.m_lOsError);
    ::DeleteFileW(path.c_str());
}

TEST(File, ThrowsOnFailedWritesWithTheSystemsText) {
    std::wstring path = TempPath(L"cfile-readonly.bin").GetString();
    CFile reader;
    {
        CFile create;
        ASSERT_TRUE(create.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite));
    }
    ASSERT_TRUE(reader.Open(path.c_str(), CFile::modeRead));
    bool thrown = false;
    try {
        reader.Write("x", 1);
    } catch (CFileException* error) {
        thrown = true;
        wchar_t text[260];
        EXPECT_TRUE(error->GetErrorMessage(text, 260));
        std::wstring message = text;
        EXPECT_FALSE(message.empty());
        EXPECT_NE(L'\n', message.back());
        wchar_t tiny[4];
        error->GetErrorMessage(tiny, 4);
        EXPECT_EQ(3u, wcslen(tiny));
        error->Delete();
    }
    EXPECT_TRUE(thrown);
    reader.Close();
    ::DeleteFileW(path.c_str());
}

TEST(StdioFile, WritesTextWithCrLfAndThrowsOnOpenFailure) {
    std::wstring path = TempPath(L"stdio-test.bat").GetString();
    {
        CStdioFile file(path.c_str(), CFile::modeCreate | CFile::modeWrite | CFile::typeText);
        file.WriteString(L"@echo off\n");
        std::wstring longLine(5000, L'x');
        file.WriteString(longLine.c_str());
        file.WriteString(L"\ndel %0\n");
        file.Close();
    }
    std::string expected = "@echo off\r\n" + std::string(5000, 'x') + "\r\ndel %0\r\n";
    EXPECT_EQ(expected, ReadAll(path));

    bool thrown = false;
    try {
        CStdioFile missing(TempPath(L"no such folder\\x.bat"), CFile::modeCreate | CFile::modeWrite);
    } catch (CFileException* error) {
        thrown = true;
        EXPECT_EQ(ERROR_PATH_NOT_FOUND, error->m_lOsError);
        error->Delete();
    }
    EXPECT_TRUE(thrown);
    ::DeleteFileW(path.c_str());
}

TEST(StdioFile, ConvertsToItsCodePageAndRefusesWhatItCannot) {
    std::wstring path = TempPath(L"stdio-codepage.txt").GetString();
    {
        CStdioFile file(path.c_str(), CFile::modeCreate | CFile::modeWrite, 437);
        file.WriteString(L"m\u00fcller\n");
        // No look-alike: a best-fit conversion would write "l" for "\u0142".
        for (LPCWSTR refused : {L"\u0141ukasz", L"\u5f20\u4f1f", L"\u20ac"}) {
            bool thrown = false;
            try {
                file.WriteString(refused);
            } catch (CFileException* error) {
                thrown = true;
                EXPECT_EQ(ERROR_NO_UNICODE_TRANSLATION, error->m_lOsError);
                error->Delete();
            }
            EXPECT_TRUE(thrown) << testing::PrintToString(std::wstring(refused));
        }
        file.WriteString(L"end");
        file.Close();
    }
    EXPECT_EQ("m\x81ller\r\nend", ReadAll(path));
    {
        CStdioFile file(path.c_str(), CFile::modeCreate | CFile::modeWrite | CFile::typeBinary, 1252);
        file.WriteString(L"\u20ac\n");
    }  // the destructor writes what is buffered
    EXPECT_EQ("\x80\n", ReadAll(path));
    ::DeleteFileW(path.c_str());
}
