#include "payload/Archive.h"

#include "TestArchives.h"
#include "TestResources.h"
#include "framework/Handles.h"

#include <gtest/gtest.h>
#include <string.h>

namespace {
// An archive opened from a test resource held in memory; closed at the end of the test.
class OpenArchive {
public:
    explicit OpenArchive(int resourceId) : m_data(LoadTestResource(resourceId)) {
        m_archive = ArchiveOpen(m_data.data(), static_cast<uint32_t>(m_data.size()), ArcIoMemory);
    }
    ~OpenArchive() {
        if (m_archive) ArchiveClose(m_archive);
    }
    ArchiveHandle Get() const { return m_archive; }
    const Bytes& Data() const { return m_data; }

private:
    Bytes m_data;
    ArchiveHandle m_archive;
};

ArchiveEntry Entry(ArchiveHandle archive, int32_t index) {
    ArchiveEntry entry = {};
    EXPECT_EQ(ArcOk, ArchiveGetEntry(archive, index, &entry)) << index;
    return entry;
}

int32_t Find(ArchiveHandle archive, LPCWSTR name, bool ignoreCase = false) {
    ArchiveEntry entry = {};
    int32_t index = -7;
    ArchiveResult result = ArchiveFindEntry(archive, name, ignoreCase, &index, &entry);
    if (result == ArcOk)
        EXPECT_EQ(index, entry.index);
    else
        EXPECT_EQ(-1, index);
    return index;
}

Bytes Extract(ArchiveHandle archive, int32_t index) {
    Bytes content;
    EXPECT_EQ(ArcOk, ExtractAll(archive, index, 4096, &content)) << index;
    return content;
}

// Entries of crafted.zip, in order.
enum Crafted {
    kReadme,
    kDirFile,
    kAccented,
    kUtModify,
    kUtAll,
    kUtShort,
    kUt1960,
    kName255,
    kName256,
    kName300,
    kEmpty,
    kBadCrc,
    kShort,
    kGoodDir,
    kClimbingDir,
    kAbsoluteDir,
    kDriveDir,
    kHiddenClimbDir,
    kUnixDir,
    kCraftedCount
};
}  // namespace

TEST(Archive, ReadsInfoZipArchivesWithTheirExtraFields) {
    OpenArchive zip(IDR_TEST_INFOZIP);
    ASSERT_NE(nullptr, zip.Get());
    EXPECT_EQ(4, Entry(zip.Get(), -1).index);

    int32_t readme = Find(zip.Get(), L"readme.txt");
    ASSERT_GE(readme, 0);
    ArchiveEntry entry = Entry(zip.Get(), readme);
    EXPECT_STREQ(L"readme.txt", entry.name);
    EXPECT_EQ(0x80u, entry.attributes);  // Unix 0644: writable, no DOS bits
    EXPECT_TRUE(SameTime(FileTimeOf(kUnixTime), entry.modifyTime));
    EXPECT_TRUE(SameTime(FileTimeOf(kUnixTime), entry.accessTime));
    EXPECT_TRUE(SameTime(DosFileTime(), entry.createTime));
    EXPECT_EQ(Readme(), Extract(zip.Get(), readme));

    int32_t folder = Find(zip.Get(), L"dir/");
    ASSERT_GE(folder, 0);
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_DIRECTORY),
              Entry(zip.Get(), folder).attributes & ~FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(Hello(), Extract(zip.Get(), Find(zip.Get(), L"dir/file.txt")));

    int32_t stored = Find(zip.Get(), L"stored.dat");
    ASSERT_GE(stored, 0);
    entry = Entry(zip.Get(), stored);
    EXPECT_EQ(entry.compressedSize, entry.uncompressedSize);
    EXPECT_EQ(3000, entry.uncompressedSize);
    EXPECT_EQ(0x81u, entry.attributes);  // Unix 0444: read-only
    EXPECT_EQ(Pattern(3000), Extract(zip.Get(), stored));
}

TEST(Archive, ReadsPythonAndSevenZipArchives) {
    OpenArchive zip(IDR_TEST_PYTHON);
    ASSERT_NE(nullptr, zip.Get());
    ASSERT_EQ(4, Entry(zip.Get(), -1).index);
    ArchiveEntry stored = Entry(zip.Get(), 0);
    EXPECT_STREQ(L"stored.bin", stored.name);
    EXPECT_EQ(0xA0u, stored.attributes);  // 0644 in the upper half, 0x20 in the lower
    EXPECT_EQ(5000, stored.compressedSize);
    EXPECT_EQ(Pattern(5000), Extract(zip.Get(), 0));
    EXPECT_EQ(Hello(), Extract(zip.Get(), 1));
    ArchiveEntry dos = Entry(zip.Get(), 2);
    EXPECT_EQ(0xA1u, dos.attributes);  // made on DOS: always read-only
    EXPECT_TRUE(SameTime(DosFileTime(), dos.modifyTime));
    EXPECT_TRUE(SameTime(DosFileTime(), dos.accessTime));
    EXPECT_TRUE(SameTime(DosFileTime(), dos.createTime));
    EXPECT_EQ(Readme(), Extract(zip.Get(), 2));

    OpenArchive seven(IDR_TEST_SEVENZIP);
    if (seven.Data().empty()) GTEST_SKIP() << "7z was not available when the archives were made";
    ASSERT_NE(nullptr, seven.Get());
    EXPECT_EQ(4, Entry(seven.Get(), -1).index);
    EXPECT_EQ(Readme(), Extract(seven.Get(), Find(seven.Get(), L"readme.txt")));
    EXPECT_EQ(Hello(), Extract(seven.Get(), Find(seven.Get(), L"DIR/FILE.TXT", true)));
    EXPECT_EQ(Pattern(3000), Extract(seven.Get(), Find(seven.Get(), L"stored.dat")));
}

TEST(Archive, OpensArchivesThatStartAfterOtherBytes) {
    OpenArchive prepended(IDR_TEST_PREPENDED);
    ASSERT_NE(nullptr, prepended.Get());
    EXPECT_EQ(Hello(), Extract(prepended.Get(), 1));
    EXPECT_EQ(0xA0u, Entry(prepended.Get(), 0).attributes);

    ScratchFolder folder;
    Bytes zip = LoadTestResource(IDR_TEST_PYTHON);
    Bytes file = RepeatText("junk", 125);  // 500 bytes before the archive
    file.insert(file.end(), zip.begin(), zip.end());
    std::wstring path = folder / L"offset.bin";
    ASSERT_TRUE(WriteFileBytes(path, file));

    ArchiveHandle byName = ArchiveOpen(path.c_str(), 0, ArcIoFileName);
    ASSERT_NE(nullptr, byName);
    EXPECT_EQ(Pattern(5000), Extract(byName, 0));
    EXPECT_EQ(ArcOk, ArchiveClose(byName));

    // A handle standing at the archive's first byte, and one standing at the file's start.
    for (LONG start : {500L, 0L}) {
        UniqueHandle handle(
            ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(handle.IsValid());
        ::SetFilePointer(handle.Get(), start, nullptr, FILE_BEGIN);
        ArchiveHandle byHandle = ArchiveOpen(handle.Get(), 0, ArcIoHandle);
        ASSERT_NE(nullptr, byHandle) << start;
        EXPECT_EQ(Readme(), Extract(byHandle, 2));
        EXPECT_EQ(0xA1u, Entry(byHandle, 2).attributes);
        EXPECT_EQ(ArcOk, ArchiveClose(byHandle));
    }

    // Timestamp blocks are read where the reader itself places the local extra field, which
    // counts the bytes before the archive (minizip's own reading of the field does not).
    Bytes shifted = RepeatText("junk", 250);
    Bytes crafted = LoadTestResource(IDR_TEST_CRAFTED);
    shifted.insert(shifted.end(), crafted.begin(), crafted.end());
    ArchiveHandle behind = ArchiveOpen(shifted.data(), static_cast<uint32_t>(shifted.size()), ArcIoMemory);
    ASSERT_NE(nullptr, behind);
    ArchiveEntry entry = Entry(behind, kUtAll);
    EXPECT_TRUE(SameTime(FileTimeOf(kUnixTime), entry.modifyTime));
    EXPECT_TRUE(SameTime(FileTimeOf(kUnixTime + 60), entry.accessTime));
    EXPECT_TRUE(SameTime(FileTimeOf(kUnixTime + 120), entry.createTime));
    EXPECT_TRUE(SameTime(FileTimeOf(kUnixTime), Entry(behind, kUtModify).modifyTime));
    EXPECT_EQ(ArcOk, ArchiveClose(behind));
}

TEST(Archive, OpenRefusesWhatItCannotRead) {
    BYTE text[] = "no archive here, just text that goes on for a while............";
    EXPECT_EQ(nullptr, ArchiveOpen(text, sizeof text, ArcIoMemory));
    EXPECT_EQ(ArcCorrupt, g_lastArchiveResult);
    EXPECT_EQ(nullptr, ArchiveOpen(text, 0, ArcIoMemory));
    EXPECT_EQ(ArcCorrupt, g_lastArchiveResult);
    EXPECT_EQ(nullptr, ArchiveOpen(text, sizeof text, static_cast<ArcIoKind>(4)));
    EXPECT_EQ(ArcBadArgs, g_lastArchiveResult);
    EXPECT_EQ(nullptr, ArchiveOpen(L"C:\\no such folder\\none.zip", 0, ArcIoFileName));
    EXPECT_EQ(ArcNoFile, g_lastArchiveResult);

    HANDLE readEnd = nullptr, writeEnd = nullptr;
    ASSERT_TRUE(::CreatePipe(&readEnd, &writeEnd, nullptr, 0));
    UniqueHandle pipeRead(readEnd), pipeWrite(writeEnd);
    EXPECT_EQ(nullptr, ArchiveOpen(readEnd, 0, ArcIoHandle));
    EXPECT_EQ(ArcNotSeekable, g_lastArchiveResult);
}

TEST(Archive, RefusesNullAndForeignHandles) {
    ArchiveEntry entry = {};
    BYTE block[4];
    EXPECT_EQ(ArcBadArgs, ArchiveGetEntry(nullptr, 0, &entry));
    EXPECT_EQ(ArcBadArgs, ArchiveFindEntry(nullptr, L"x", false, nullptr, &entry));
    EXPECT_EQ(ArcBadArgs, ArchiveExtract(nullptr, 0, block, 4, ArcIoMemory));
    EXPECT_EQ(ArcBadArgs, ArchiveClose(nullptr));
    EXPECT_EQ(ArcBadArgs, g_lastArchiveResult);

    ArchiveHandleData foreign = {2, nullptr};
    EXPECT_EQ(ArcWrongHandle, ArchiveGetEntry(&foreign, 0, &entry));
    EXPECT_EQ(ArcWrongHandle, ArchiveFindEntry(&foreign, L"x", true, nullptr, &entry));
    EXPECT_EQ(ArcWrongHandle, ArchiveExtract(&foreign, 0, block, 4, ArcIoMemory));
    EXPECT_EQ(ArcWrongHandle, ArchiveClose(&foreign));
    EXPECT_EQ(ArcWrongHandle, g_lastArchiveResult);

    OpenArchive zip(IDR_TEST_PYTHON);
    EXPECT_EQ(ArcBadArgs, ArchiveExtract(zip.Get(), 0, block, 4, static_cast<ArcIoKind>(0)));
    EXPECT_EQ(ArcBadArgs, ArchiveExtract(zip.Get(), 4, block, 4, ArcIoMemory));
    EXPECT_EQ(ArcBadArgs, ArchiveExtract(zip.Get(), -1, block, 4, ArcIoMemory));
    EXPECT_EQ(ArcBadArgs, ArchiveExtract(zip.Get(), 0, nullptr, 4, ArcIoMemory));
}

TEST(Archive, GetEntryCountsChecksRangeAndCaches) {
    OpenArchive zip(IDR_TEST_PYTHON);
    ArchiveEntry count;
    memset(&count, 0x5A, sizeof count);
    ASSERT_EQ(ArcOk, ArchiveGetEntry(zip.Get(), -1, &count));
    ArchiveEntry expected = {};
    expected.index = 4;
    EXPECT_EQ(0, memcmp(&expected, &count, sizeof count));

    ArchiveEntry first = Entry(zip.Get(), 1);
    ArchiveEntry again = Entry(zip.Get(), 1);
    EXPECT_EQ(0, memcmp(&first, &again, sizeof first));
    Entry(zip.Get(), 3);
    again = Entry(zip.Get(), 1);
    EXPECT_EQ(0, memcmp(&first, &again, sizeof first));

    // Out-of-range gets change nothing, not even an entry half read into memory.
    Bytes readme = Readme();
    Bytes half(readme.size() / 2);
    ASSERT_EQ(ArcMore, ArchiveExtract(zip.Get(), 2, half.data(), static_cast<uint32_t>(half.size()), ArcIoMemory));
    EXPECT_EQ(Bytes(readme.begin(), readme.begin() + half.size()), half);
    ArchiveEntry untouched = first;
    EXPECT_EQ(ArcBadArgs, ArchiveGetEntry(zip.Get(), 4, &untouched));
    EXPECT_EQ(ArcBadArgs, ArchiveGetEntry(zip.Get(), -2, &untouched));
    EXPECT_EQ(0, memcmp(&first, &untouched, sizeof first));
    ASSERT_EQ(ArcMore, ArchiveExtract(zip.Get(), 2, half.data(), static_cast<uint32_t>(half.size()), ArcIoMemory));
    EXPECT_EQ(Bytes(readme.begin() + half.size(), readme.end()), half);
    EXPECT_EQ(ArcOk, ArchiveExtract(zip.Get(), 2, half.data(), static_cast<uint32_t>(half.size()), ArcIoMemory));
}

TEST(Archive, FindsNamesByteForByteOrWithAsciiCaseFolding) {
    OpenArchive zip(IDR_TEST_CRAFTED);
    ASSERT_NE(nullptr, zip.Get());
    ASSERT_EQ(kCraftedCount, Entry(zip.Get(), -1).index);
    EXPECT_EQ(kReadme, Find(zip.Get(), L"README.TXT", true));
    EXPECT_EQ(-1, Find(zip.Get(), L"README.TXT", false));
    EXPECT_EQ(kDirFile, Find(zip.Get(), L"dir/file"));
    EXPECT_EQ(-1, Find(zip.Get(), L"dir\\file", true));
    EXPECT_EQ(kName255, Find(zip.Get(), std::wstring(255, L'N').c_str()));
    EXPECT_EQ(-1, Find(zip.Get(), std::wstring(256, L'M').c_str()));
    EXPECT_EQ(-1, Find(zip.Get(), std::wstring(300, L'L').c_str(), true));

    ArchiveEntry record;
    memset(&record, 0x33, sizeof record);
    ArchiveEntry before = record;
    int32_t index = 5;
    EXPECT_EQ(ArcNotFound, ArchiveFindEntry(zip.Get(), L"missing.txt", true, &index, &record));
    EXPECT_EQ(ArcNotFound, g_lastArchiveResult);
    EXPECT_EQ(-1, index);
    EXPECT_EQ(0, memcmp(&before, &record, sizeof record));
    EXPECT_EQ(ArcNotFound, ArchiveFindEntry(zip.Get(), L"missing.txt", false, nullptr, &record));

    if (::GetACP() != 1252) GTEST_SKIP() << "accented names need code page 1252, this system has " << ::GetACP();
    EXPECT_EQ(kAccented, Find(zip.Get(), L"\u00e9t\u00e9.txt"));
    EXPECT_EQ(kAccented, Find(zip.Get(), L"\u00e9T\u00e9.TXT", true));
    EXPECT_EQ(-1, Find(zip.Get(), L"\u00c9T\u00c9.TXT", true));
    EXPECT_STREQ(L"\u00e9t\u00e9.txt", Entry(zip.Get(), kAccented).name);
}

TEST(Archive, CutsOverlongNamesAndReadsTimestampBlocks) {
    OpenArchive zip(IDR_TEST_CRAFTED);
    ArchiveEntry entry = Entry(zip.Get(), kName300);
    EXPECT_EQ(std::wstring(258, L'L'), entry.name);
    EXPECT_EQ(std::wstring(256, L'M'), Entry(zip.Get(), kName256).name);

    entry = Entry(zip.Get(), kUtModify);  // behind another block; flags 1
    EXPECT_TRUE(SameTime(FileTimeOf(kUnixTime), entry.modifyTime));
    EXPECT_TRUE(SameTime(DosFileTime(), entry.accessTime));
    EXPECT_TRUE(SameTime(DosFileTime(), entry.createTime));
    entry = Entry(zip.Get(), kUtAll);
    EXPECT_TRUE(SameTime(FileTimeOf(kUnixTime), entry.modifyTime));
    EXPECT_TRUE(SameTime(FileTimeOf(kUnixTime + 60), entry.accessTime));
    EXPECT_TRUE(SameTime(FileTimeOf(kUnixTime + 120), entry.createTime));
    entry = Entry(zip.Get(), kUtShort);  // flags 7, but room for one time only
    EXPECT_TRUE(SameTime(FileTimeOf(kUnixTime), entry.modifyTime));
    EXPECT_TRUE(SameTime(DosFileTime(), entry.accessTime));
    EXPECT_TRUE(SameTime(DosFileTime(), entry.createTime));
    EXPECT_TRUE(SameTime(FileTimeOf(-315619200), Entry(zip.Get(), kUt1960).modifyTime));
    EXPECT_EQ(0xA1u, Entry(zip.Get(), kReadme).attributes);
    EXPECT_EQ(0x91u, Entry(zip.Get(), kGoodDir).attributes);
    EXPECT_EQ(0x90u, Entry(zip.Get(), kUnixDir).attributes);
}

TEST(Archive, ExtractsIntoMemoryBlockByBlock) {
    OpenArchive zip(IDR_TEST_CRAFTED);
    Bytes readme = Readme();
    Bytes block(readme.size());
    uint32_t size = static_cast<uint32_t>(block.size());
    EXPECT_EQ(ArcMore, ArchiveExtract(zip.Get(), kReadme, block.data(), size, ArcIoMemory));
    EXPECT_EQ(readme, block);
    EXPECT_EQ(ArcOk, ArchiveExtract(zip.Get(), kReadme, block.data(), size, ArcIoMemory));

    EXPECT_EQ(ArcMore, ArchiveExtract(zip.Get(), kReadme, block.data(), size / 2, ArcIoMemory));
    EXPECT_EQ(ArcMore, ArchiveExtract(zip.Get(), kReadme, block.data(), size / 2, ArcIoMemory));
    EXPECT_EQ(ArcOk, ArchiveExtract(zip.Get(), kReadme, block.data(), size / 2, ArcIoMemory));

    EXPECT_EQ(ArcOk, ArchiveExtract(zip.Get(), kEmpty, block.data(), size, ArcIoMemory));

    // Damaged entries end in a failure, never in ArcOk.
    Bytes content;
    EXPECT_EQ(ArcInflateFailed, ExtractAll(zip.Get(), kBadCrc, 1000, &content));
    EXPECT_EQ(ArcInflateFailed, ExtractAll(zip.Get(), kShort, 100000, &content));
    EXPECT_EQ(Hello(), Bytes(content.begin(), content.begin() + Hello().size()));

    // An entry several read chunks long, in blocks that end inside chunks and across them, and in
    // one block of more than a megabyte.
    OpenArchive large(IDR_PAYLOAD_LARGE);
    EXPECT_EQ(ArcOk, ExtractAll(large.Get(), 0, 100000, &content));
    EXPECT_EQ(Large(), content);
    Bytes whole(Large().size());
    size = static_cast<uint32_t>(whole.size());
    EXPECT_EQ(ArcMore, ArchiveExtract(large.Get(), 0, whole.data(), size, ArcIoMemory));
    EXPECT_EQ(Large(), whole);
    EXPECT_EQ(ArcOk, ArchiveExtract(large.Get(), 0, whole.data(), size, ArcIoMemory));
    OpenArchive largeBadCrc(IDR_PAYLOAD_LARGE_BADCRC);
    EXPECT_EQ(ArcInflateFailed, ExtractAll(largeBadCrc.Get(), 0, 100000, &content));
    EXPECT_EQ(ArcInflateFailed, ExtractAll(largeBadCrc.Get(), 0, whole.size(), &content));
    EXPECT_EQ(Large(), content);

    OpenArchive reads(IDR_TEST_MEMORY_READS);
    EXPECT_EQ(ArcOk, ExtractAll(reads.Get(), 0, whole.size() + 1, &content));
    EXPECT_EQ(Large(), content);
    // Compressed data that the block does not hold fails as it is read, even when what the block
    // holds would inflate to the recorded entry.
    EXPECT_EQ(ArcInflateFailed, ExtractAll(reads.Get(), 1, whole.size(), &content));
}

TEST(Archive, ExtractsToFilesAndHandles) {
    ScratchFolder folder;
    folder.Enter();
    OpenArchive infozip(IDR_TEST_INFOZIP);
    OpenArchive crafted(IDR_TEST_CRAFTED);

    int32_t readme = Find(infozip.Get(), L"readme.txt");
    EXPECT_EQ(ArcOk, ArchiveExtract(infozip.Get(), readme, const_cast<wchar_t*>(L"sub/x.txt"), 0, ArcIoFileName));
    EXPECT_EQ(Readme(), ReadFileBytes(folder / L"sub\\x.txt"));
    UniqueHandle written(::CreateFileW((folder / L"sub\\x.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
    FILETIME created, accessed, modified;
    ASSERT_TRUE(::GetFileTime(written.Get(), &created, &accessed, &modified));
    EXPECT_TRUE(SameTime(FileTimeOf(kUnixTime), modified));
    written.Reset();

    EXPECT_EQ(ArcOk, ArchiveExtract(crafted.Get(), kReadme, const_cast<wchar_t*>(L"dos.txt"), 0, ArcIoFileName));
    EXPECT_TRUE(::GetFileAttributesW((folder / L"dos.txt").c_str()) & FILE_ATTRIBUTE_READONLY);

    // Destinations that are absolute or climb out create no folders.
    EXPECT_EQ(ArcNoFile, ArchiveExtract(crafted.Get(), kReadme, const_cast<wchar_t*>(L"C:\\x-payload-test\\y.txt"), 0,
                                        ArcIoFileName));
    EXPECT_FALSE(Exists(L"C:\\x-payload-test"));
    EXPECT_EQ(ArcNoFile,
              ArchiveExtract(crafted.Get(), kReadme, const_cast<wchar_t*>(L"../climbed/y.txt"), 0, ArcIoFileName));
    EXPECT_FALSE(Exists(folder.Path() + L"\\..\\climbed"));

    EXPECT_EQ(ArcWriteFailed,
              ArchiveExtract(crafted.Get(), kBadCrc, const_cast<wchar_t*>(L"bad.txt"), 0, ArcIoFileName));
    EXPECT_EQ(ArcWriteFailed,
              ArchiveExtract(crafted.Get(), kShort, const_cast<wchar_t*>(L"short.txt"), 0, ArcIoFileName));

    // A caller's handle is written from its position and stays open.
    UniqueHandle out(::CreateFileW((folder / L"handle.bin").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                   CREATE_ALWAYS, 0, nullptr));
    DWORD done = 0;
    ASSERT_TRUE(::WriteFile(out.Get(), "HEAD", 4, &done, nullptr));
    EXPECT_EQ(ArcOk, ArchiveExtract(crafted.Get(), kDirFile, out.Get(), 0, ArcIoHandle));
    EXPECT_TRUE(::WriteFile(out.Get(), "TAIL", 4, &done, nullptr));
    out.Reset();
    Bytes expected = RepeatText("HEAD", 1);
    Bytes hello = Hello();
    expected.insert(expected.end(), hello.begin(), hello.end());
    expected.insert(expected.end(), {'T', 'A', 'I', 'L'});
    EXPECT_EQ(expected, ReadFileBytes(folder / L"handle.bin"));
    EXPECT_EQ(ArcNoFile, ArchiveExtract(crafted.Get(), kDirFile, INVALID_HANDLE_VALUE, 0, ArcIoHandle));
}

TEST(Archive, DirectoryEntriesStayInsideTheRootFolder) {
    ScratchFolder outer;
    std::wstring root = outer / L"root";
    ASSERT_TRUE(::CreateDirectoryW(root.c_str(), nullptr));
    outer.Enter();
    ASSERT_TRUE(::SetCurrentDirectoryW(root.c_str()));
    OpenArchive zip(IDR_TEST_CRAFTED);
    ASSERT_NE(nullptr, zip.Get());
    ::SetCurrentDirectoryW(outer.Path().c_str());

    wchar_t unused[] = L"unused";
    EXPECT_EQ(ArcOk, ArchiveExtract(zip.Get(), kGoodDir, unused, 0, ArcIoFileName));
    EXPECT_TRUE(Exists(root + L"\\good\\sub"));
    EXPECT_EQ(ArcOk, ArchiveExtract(zip.Get(), kUnixDir, unused, 0, ArcIoFileName));
    EXPECT_TRUE(Exists(root + L"\\unix-dir"));
    EXPECT_EQ(ArcOk, ArchiveExtract(zip.Get(), kGoodDir, unused, 0, ArcIoHandle));
    for (int index : {kClimbingDir, kAbsoluteDir, kDriveDir, kHiddenClimbDir})
        EXPECT_EQ(ArcNoFile, ArchiveExtract(zip.Get(), index, unused, 0, ArcIoFileName)) << index;
    EXPECT_FALSE(Exists(outer / L"escape"));
    EXPECT_FALSE(Exists(outer / L"up"));
    EXPECT_FALSE(Exists(root + L"\\sub"));
    EXPECT_FALSE(Exists(L"C:\\absolute"));
    EXPECT_FALSE(Exists(L"C:\\drive"));
}

TEST(Archive, ConvertsNamesTimesAndFolders) {
    char narrow[8];
    memset(narrow, 'X', sizeof narrow);
    EXPECT_EQ(0, WideToAnsi(L"abcdefgh", narrow, 4));
    EXPECT_EQ(0, narrow[0]);
    EXPECT_EQ('X', narrow[4]);
    EXPECT_EQ(4, WideToAnsi(L"abc", narrow, 4));
    EXPECT_STREQ("abc", narrow);
    wchar_t wide[8];
    wmemset(wide, L'X', 8);
    EXPECT_EQ(0, AnsiToWide("abcdefgh", wide, 4));
    EXPECT_EQ(L'X', wide[4]);
    EXPECT_EQ(3, AnsiToWide("ab", wide, 4));
    EXPECT_STREQ(L"ab", wide);

    for (int64_t seconds : {0LL, static_cast<long long>(kUnixTime), -315619200LL, -2147483648LL, 2147483647LL}) {
        FILETIME time;
        ASSERT_TRUE(UnixTimeToFileTime(static_cast<int32_t>(seconds), &time)) << seconds;
        EXPECT_TRUE(SameTime(FileTimeOf(seconds), time)) << seconds;
    }

    ScratchFolder folder;
    std::wstring root = folder.Path() + L"\\";
    MakeEntryDirectories(root.c_str(), L"a/b\\c");
    EXPECT_TRUE(Exists(folder / L"a\\b\\c"));
    MakeEntryDirectories(root.c_str(), std::wstring(300, L'd').c_str());
    MakeEntryDirectories(root.c_str(), L"");
    EXPECT_TRUE(PathLeavesRoot(L"..\\x"));
    EXPECT_TRUE(PathLeavesRoot(L"a/../../x"));
    EXPECT_TRUE(PathLeavesRoot(L"a/.."));
    EXPECT_FALSE(PathLeavesRoot(L"a/..b/c"));
    EXPECT_FALSE(PathLeavesRoot(L"a/b"));
}
