#include "framework/CString.h"

#include <gtest/gtest.h>

#include "tests/support/Printing.h"

TEST(CString, BuildsAndComparesText) {
    CString empty;
    EXPECT_TRUE(empty.IsEmpty());
    EXPECT_STREQ(L"", empty.GetString());

    CString path = CString(L"C:\\Program Files") + L"\\Memotack";
    EXPECT_EQ(path, L"C:\\Program Files\\Memotack");
    EXPECT_EQ(25, path.GetLength());
    path += L'\\';
    EXPECT_EQ(L'\\', path[path.GetLength() - 1]);

    CString copy(path);
    copy += copy;  // appending to itself must not read a freed buffer
    EXPECT_EQ(copy, CString(L"C:\\Program Files\\Memotack\\C:\\Program Files\\Memotack\\"));
}

TEST(CString, FindsAndCuts) {
    CString text(L"a\\bc\\d");
    EXPECT_EQ(1, text.Find(L'\\'));
    EXPECT_EQ(4, text.Find(L'\\', 2));
    EXPECT_EQ(-1, text.Find(L'x'));
    EXPECT_EQ(4, text.ReverseFind(L'\\'));
    EXPECT_EQ(2, text.Find(L"bc"));
    EXPECT_EQ(-1, text.Find(L"bc", 3));
    EXPECT_EQ(text.Left(4), L"a\\bc");
    EXPECT_EQ(text.Mid(5), L"d");
    EXPECT_EQ(text.Mid(2, 2), L"bc");
    EXPECT_EQ(text.Mid(10), L"");
    text.Truncate(1);
    EXPECT_EQ(text, L"a");
}

TEST(CString, FormatsLongTextAndNumbers) {
    CString text;
    text.Format(L"Resource %i not found in installer", 999);
    EXPECT_EQ(text, L"Resource 999 not found in installer");
    text.Format(L"Unknown error code %08x (%d)", 0x12345678u, 0x5678);
    EXPECT_EQ(text, L"Unknown error code 12345678 (22136)");

    CString longText;
    for (int i = 0; i < 100; ++i) longText += L"0123456789";
    text.Format(L"<%s>", longText.GetString());
    EXPECT_EQ(1002, text.GetLength());
}

TEST(CString, FillsBuffersForSystemCalls) {
    CString folder;
    UINT length = ::GetWindowsDirectoryW(folder.GetBuffer(MAX_PATH), MAX_PATH);
    folder.ReleaseBuffer();
    EXPECT_EQ(static_cast<int>(length), folder.GetLength());
    EXPECT_GT(folder.GetLength(), 2);
}
