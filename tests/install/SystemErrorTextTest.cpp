#include "install/SystemErrorText.h"

#include <gtest/gtest.h>

TEST(SystemErrorText, KnownCodeGivesTheSystemMessageWithoutItsLineBreak) {
    CString text = GetSystemErrorText(ERROR_ACCESS_DENIED);
    ASSERT_FALSE(text.IsEmpty());
    EXPECT_EQ(text.Find(L"Unknown error code"), -1);
    wchar_t last = text[text.GetLength() - 1];
    EXPECT_NE(last, L'\r');
    EXPECT_NE(last, L'\n');
}

TEST(SystemErrorText, CodesWithoutMessageShowTheWholeCodeAndItsLow16BitsInDecimal) {
    EXPECT_STREQ(GetSystemErrorText(0x12345678), L"Unknown error code 12345678 (22136)");
    EXPECT_STREQ(GetSystemErrorText(0xABCD1234), L"Unknown error code abcd1234 (4660)");
    // The low word is zero-extended: 0xFFFF is 65535, not -1.
    EXPECT_STREQ(GetSystemErrorText(0x2000FFFF), L"Unknown error code 2000ffff (65535)");
    EXPECT_STREQ(GetSystemErrorText(0x20000001), L"Unknown error code 20000001 (1)");
}

TEST(SystemErrorText, InsertSequencesStayUnexpanded) {
    // Find a system message with an insert; asking for it without arguments must neither read
    // arguments nor expand the sequence.
    DWORD withInsert = 0;
    for (DWORD code = 1; code < 16000 && !withInsert; ++code) {
        LPWSTR buffer = nullptr;
        if (::FormatMessageW(
                FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                code, 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr)) {
            if (wcsstr(buffer, L"%1")) withInsert = code;
            ::LocalFree(buffer);
        }
    }
    if (!withInsert) GTEST_SKIP() << "this system has no message with an insert sequence";
    EXPECT_NE(GetSystemErrorText(withInsert).Find(L"%1"), -1) << "code " << withInsert;
}
