#include "payload/ResourceFile.h"

#include "TestArchives.h"
#include "TestResources.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

namespace {
class BlockableResourceFile : public CResourceFile {
public:
    void Block() { m_bAccessBlocked = TRUE; }
    int Position() const { return m_nPos; }
};
}  // namespace

TEST(ResourceFile, LoadsAResourceWithAZeroTail) {
    BlockableResourceFile file;
    EXPECT_EQ(nullptr, file.GetByteBuffer());
    EXPECT_EQ(0, file.Read(nullptr, 0));
    EXPECT_EQ(-1, file.Seek(0, 0));

    ASSERT_TRUE(file.OpenResource(nullptr, MAKEINTRESOURCEW(IDR_TEST_HUNDRED), L"BINARY"));
    ASSERT_EQ(100, file.GetSize());
    for (int i = 0; i < 100; ++i) ASSERT_EQ(i, file.GetByteBuffer()[i]);
    for (int i = 100; i < 116; ++i) EXPECT_EQ(0, file.GetByteBuffer()[i]);

    BlockableResourceFile empty;
    ASSERT_TRUE(empty.OpenResource(nullptr, MAKEINTRESOURCEW(IDR_TEST_ZERO), L"BINARY"));
    EXPECT_EQ(0, empty.GetSize());
    ASSERT_NE(nullptr, empty.GetByteBuffer());
    for (int i = 0; i < 16; ++i) EXPECT_EQ(0, empty.GetByteBuffer()[i]);
    BYTE byte = 0x55;
    EXPECT_EQ(0, empty.Read(&byte, 1));

    // A copy of more than a megabyte is shared between two threads, chunk by chunk.
    BlockableResourceFile large;
    ASSERT_TRUE(large.OpenResource(nullptr, MAKEINTRESOURCEW(IDR_TEST_MEMORY_READS), L"BINARY"));
    HRSRC info = ::FindResourceW(nullptr, MAKEINTRESOURCEW(IDR_TEST_MEMORY_READS), L"BINARY");
    ASSERT_NE(nullptr, info);
    DWORD size = ::SizeofResource(nullptr, info);
    const BYTE* original = static_cast<const BYTE*>(::LockResource(::LoadResource(nullptr, info)));
    ASSERT_GT(size, 1024u * 1024u);
    ASSERT_EQ(static_cast<int>(size), large.GetSize());
    EXPECT_EQ(0, memcmp(original, large.GetByteBuffer(), size));
    for (DWORD i = size; i < size + 16; ++i) EXPECT_EQ(0, large.GetByteBuffer()[i]);
}

TEST(ResourceFile, RefusesMissingNamesAndResourcesAndEndsClosed) {
    CResourceFile file;
    ASSERT_TRUE(file.OpenResource(nullptr, MAKEINTRESOURCEW(IDR_TEST_HUNDRED), L"BINARY"));
    EXPECT_FALSE(file.OpenResource(nullptr, MAKEINTRESOURCEW(999), L"BINARY"));
    EXPECT_EQ(nullptr, file.GetByteBuffer());
    EXPECT_EQ(0, file.GetSize());
    EXPECT_FALSE(file.OpenResource(nullptr, nullptr, L"BINARY"));
    EXPECT_FALSE(file.OpenResource(nullptr, MAKEINTRESOURCEW(IDR_TEST_HUNDRED), nullptr));
    EXPECT_FALSE(file.OpenResource(nullptr, MAKEINTRESOURCEW(IDR_TEST_HUNDRED), L"OTHER"));
    EXPECT_EQ(-1, file.Seek(0, 0));
}

TEST(ResourceFile, ReadConsumesTheRestAndCountsIt) {
    BlockableResourceFile file;
    ASSERT_TRUE(file.OpenResource(nullptr, MAKEINTRESOURCEW(IDR_TEST_HUNDRED), L"BINARY"));
    BYTE buffer[16] = {};
    EXPECT_EQ(10, file.Seek(10, 0));
    EXPECT_EQ(90, file.Read(nullptr, 0));
    EXPECT_EQ(10, file.Position());
    EXPECT_EQ(90, file.Read(buffer, 4));
    EXPECT_EQ(10, buffer[0]);
    EXPECT_EQ(13, buffer[3]);
    EXPECT_EQ(0, buffer[4]);
    EXPECT_EQ(100, file.Position());
    buffer[0] = 0x77;
    EXPECT_EQ(0, file.Read(buffer, 16));
    EXPECT_EQ(0, buffer[0]);  // the first byte is always cleared

    file.Rewind();
    file.Block();
    EXPECT_EQ(0, file.Read(buffer, 16));
    EXPECT_EQ(nullptr, file.TakeBuffer());
    EXPECT_EQ(nullptr, file.CopyBuffer());
}

TEST(ResourceFile, SeeksWithinTheDataOnly) {
    CResourceFile file;
    ASSERT_TRUE(file.OpenResource(nullptr, MAKEINTRESOURCEW(IDR_TEST_HUNDRED), L"BINARY"));
    EXPECT_EQ(100, file.Seek(0, 2));
    EXPECT_EQ(100, file.Seek(5, 2));
    EXPECT_EQ(100, file.MoveToEnd());
    EXPECT_EQ(0, file.Rewind());
    EXPECT_EQ(40, file.Seek(40, 0));
    EXPECT_EQ(-1, file.Seek(101, 0));
    EXPECT_EQ(-1, file.Seek(-1, 0));
    EXPECT_EQ(50, file.Seek(10, 1));
    EXPECT_EQ(-1, file.Seek(51, 1));
    EXPECT_EQ(-1, file.Seek(0x7FFFFFFF, 1));  // no overflow into a valid position
    EXPECT_EQ(0, file.Seek(-50, 1));
    EXPECT_EQ(100, file.Seek(100, 7));  // unknown origins count from the start
}

TEST(ResourceFile, HandsOverAndCopiesBuffers) {
    BYTE* taken = nullptr;
    {
        CResourceFile file;
        ASSERT_TRUE(file.OpenResource(nullptr, MAKEINTRESOURCEW(IDR_TEST_HUNDRED), L"BINARY"));
        BYTE* copy = file.CopyBuffer();
        ASSERT_NE(nullptr, copy);
        EXPECT_NE(file.GetByteBuffer(), copy);
        EXPECT_EQ(99, copy[99]);
        EXPECT_EQ(0, copy[100]);
        EXPECT_EQ(0, copy[101]);
        free(copy);
        taken = file.TakeBuffer();
        EXPECT_EQ(file.GetByteBuffer(), taken);
    }
    // Still ours after the object is gone.
    EXPECT_EQ(42, taken[42]);
    delete[] taken;
}

TEST(ResourceFile, AttachesCallersBuffersWithoutOwningThem) {
    BYTE data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    {
        CResourceFile file;
        file.AttachBuffer(nullptr, 8);
        EXPECT_EQ(nullptr, file.GetByteBuffer());
        file.AttachBuffer(data, 0);
        EXPECT_EQ(nullptr, file.GetByteBuffer());
        EXPECT_EQ(-1, file.Seek(0, 0));

        file.AttachBuffer(data, 8);
        EXPECT_EQ(data, file.GetByteBuffer());
        EXPECT_EQ(8, file.GetSize());
        EXPECT_EQ(6, file.Seek(6, 0));
        BYTE out[4] = {};
        EXPECT_EQ(2, file.Read(out, 4));
        EXPECT_EQ(7, out[0]);
        file.Close();
        EXPECT_EQ(nullptr, file.GetByteBuffer());
    }
    EXPECT_EQ(1, data[0]);  // not freed, not touched
}
