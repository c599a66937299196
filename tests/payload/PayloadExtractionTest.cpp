#include "ui/InstallerDlg.h"

#include "TestArchives.h"
#include "TestResources.h"
#include "framework/Handles.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <new>

// The extraction allocates its buffers with the non-throwing array new; this executable's own
// version of it records the largest size asked for. Both array deletes go to the same heap.
namespace {
size_t g_largestArrayRequest = 0;
}  // namespace

void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    if (size > g_largestArrayRequest) g_largestArrayRequest = size;
    return malloc(size ? size : 1);
}
void operator delete[](void* block) noexcept { free(block); }
void operator delete[](void* block, size_t) noexcept { free(block); }

namespace {
const wchar_t kUntouched[] = L"(untouched)";

class ExtractPayloadTest : public testing::Test {
protected:
    void SetUp() override { dialog.m_strError = kUntouched; }
    bool Extract(WORD id, const std::wstring& path) { return dialog.ExtractPayload(id, CString(path.c_str())); }

    CInstallerDlg dialog;
    ScratchFolder folder;
};
}  // namespace

TEST_F(ExtractPayloadTest, WritesTheFirstEntryUnderTheCallersName) {
    std::wstring path = folder / L"memotack.exe";
    ASSERT_TRUE(Extract(IDR_PAYLOAD_OK, path));
    EXPECT_EQ(Pattern(200000), ReadFileBytes(path));
    EXPECT_EQ(dialog.m_strError, kUntouched);
    EXPECT_EQ(0u, ::GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_READONLY);

    ASSERT_TRUE(Extract(IDR_PAYLOAD_TWO, folder / L"two.bin"));  // the second entry is ignored
    EXPECT_EQ(Readme(), ReadFileBytes(folder / L"two.bin"));
    ASSERT_TRUE(Extract(IDR_PAYLOAD_STORED, folder / L"stored.bin"));  // another name, stored
    EXPECT_EQ(Hello(), ReadFileBytes(folder / L"stored.bin"));
    EXPECT_FALSE(Exists(folder / L"Some Other Name.DAT"));
    ASSERT_TRUE(Extract(IDR_PAYLOAD_LARGE, folder / L"large.bin"));  // several read chunks
    EXPECT_EQ(Large(), ReadFileBytes(folder / L"large.bin"));
    ASSERT_TRUE(Extract(IDR_TEST_MEMORY_READS, folder / L"stored.bin"));  // a resource of over a megabyte
    EXPECT_EQ(Large(), ReadFileBytes(folder / L"stored.bin"));
    EXPECT_EQ(dialog.m_strError, kUntouched);
}

TEST_F(ExtractPayloadTest, AnEmptyFirstEntryGivesAnEmptyFile) {
    std::wstring path = folder / L"memotack.chm";
    ASSERT_TRUE(WriteFileBytes(path, Readme()));
    ASSERT_TRUE(Extract(IDR_PAYLOAD_EMPTY, path));
    EXPECT_TRUE(Exists(path));
    EXPECT_TRUE(ReadFileBytes(path).empty());
}

TEST_F(ExtractPayloadTest, ReplacesAnExistingFileCompletely) {
    std::wstring path = folder / L"memotack.exe";
    ASSERT_TRUE(WriteFileBytes(path, Pattern(300000)));
    ASSERT_TRUE(Extract(IDR_PAYLOAD_TWO, path));
    EXPECT_EQ(Readme(), ReadFileBytes(path));
}

TEST_F(ExtractPayloadTest, ReportsAMissingResource) {
    EXPECT_FALSE(Extract(999, folder / L"x.exe"));
    EXPECT_EQ(dialog.m_strError, L"Resource 999 not found in installer");
    EXPECT_FALSE(Exists(folder / L"x.exe"));
}

TEST_F(ExtractPayloadTest, ReportsADestinationThatCannotBeOpened) {
    EXPECT_FALSE(Extract(IDR_PAYLOAD_OK, folder / L"missing\\memotack.exe"));
    EXPECT_EQ(dialog.m_strError, L"Could not open file for writing");
    EXPECT_FALSE(Exists(folder / L"missing"));

    std::wstring path = folder / L"busy.exe";
    UniqueHandle holder(
        ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(holder.IsValid());
    dialog.m_strError = kUntouched;
    EXPECT_FALSE(Extract(IDR_PAYLOAD_OK, path));
    EXPECT_EQ(dialog.m_strError, L"Could not open file for writing");
    // The new file was written beside it and could not take its place: it is gone again, and the
    // log learns why.
    // (Windows says sharing violation, Wine access denied.)
    EXPECT_TRUE(dialog.m_nSystemError == ERROR_SHARING_VIOLATION || dialog.m_nSystemError == ERROR_ACCESS_DENIED)
        << dialog.m_nSystemError;
    std::wstring names;
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW((folder / L"busy.exe*").c_str(), &found);
    for (bool more = search != INVALID_HANDLE_VALUE; more; more = ::FindNextFileW(search, &found))
        names += found.cFileName + std::wstring(L" ");
    ::FindClose(search);
    EXPECT_EQ(names, L"busy.exe ");
}

TEST_F(ExtractPayloadTest, RefusesDamagedPayloadsAndKeepsTheOldFile) {
    std::wstring path = folder / L"memotack.exe";
    // HUGE claims 1.5 GiB in a few bytes of deflate data; OVERLIMIT decompresses to one byte more than
    // the installer holds in memory.
    for (WORD id : {IDR_PAYLOAD_NOTZIP, IDR_PAYLOAD_BADCRC, IDR_PAYLOAD_BADSIZE, IDR_PAYLOAD_TRUNCATED, IDR_TEST_ZERO,
                    IDR_PAYLOAD_HUGE, IDR_PAYLOAD_OVERLIMIT, IDR_PAYLOAD_LARGE_BADCRC}) {
        ASSERT_TRUE(WriteFileBytes(path, Readme()));
        dialog.m_strError = kUntouched;
        EXPECT_FALSE(Extract(id, path)) << id;
        CString expected;
        expected.Format(L"Resource %i in installer is damaged and cannot be unpacked", id);
        EXPECT_EQ(dialog.m_strError, expected) << id;
        EXPECT_EQ(Readme(), ReadFileBytes(path)) << id;
    }
}

// A recorded size that the compressed data cannot hold is refused before a buffer for it is asked
// for: the largest array that the extraction requests stays far below that size.
TEST_F(ExtractPayloadTest, ImplausibleSizeIsRefusedWithoutAllocatingIt) {
    g_largestArrayRequest = 0;
    EXPECT_FALSE(Extract(IDR_PAYLOAD_CLAIMED, folder / L"memotack.exe"));
    EXPECT_LT(g_largestArrayRequest, size_t(MEMOTACK_PAYLOAD_LIMIT / 2));
    g_largestArrayRequest = 0;
    EXPECT_TRUE(Extract(IDR_PAYLOAD_OK, folder / L"memotack.exe"));
    EXPECT_GE(g_largestArrayRequest, size_t(200000)) << "the whole-entry buffer is seen here";
}
