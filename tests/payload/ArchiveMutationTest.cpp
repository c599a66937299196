// Deterministic mutations of valid archives through every operation: whatever the input, no
// operation may crash, hang or read or write outside its buffers, and each answers with a result
// code. MEMOTACK_MUTATIONS in the environment asks for another count (default 10000).
#include "payload/Archive.h"

#include "TestArchives.h"
#include "TestResources.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

namespace {
class Random {
public:
    explicit Random(uint32_t seed) : m_state(seed ? seed : 1) {}
    uint32_t Next() {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return m_state;
    }
    uint32_t Below(uint32_t limit) { return limit ? Next() % limit : 0; }

private:
    uint32_t m_state;
};

bool IsResultCode(ArchiveResult result) {
    switch (result) {
        case ArcOk:
        case ArcNoDuplicate:
        case ArcNoFile:
        case ArcWriteFailed:
        case ArcNotFound:
        case ArcMore:
        case ArcCorrupt:
        case ArcReadFailed:
        case ArcBadArgs:
        case ArcWrongHandle:
        case ArcNotSeekable:
        case ArcInflateFailed:
            return true;
    }
    return false;
}

// Offsets of the length, size, count and offset fields of every record, found by signature.
std::vector<std::pair<size_t, int>> LengthFields(const Bytes& zip) {
    std::vector<std::pair<size_t, int>> fields;  // offset, width
    for (size_t i = 0; i + 4 <= zip.size(); ++i) {
        if (zip[i] != 'P' || zip[i + 1] != 'K') continue;
        uint16_t kind = static_cast<uint16_t>(zip[i + 2] | (zip[i + 3] << 8));
        if (kind == 0x0403) {  // local header: sizes, name and extra lengths
            for (auto f : {std::make_pair(18, 4), {22, 4}, {26, 2}, {28, 2}, {8, 2}, {6, 2}})
                fields.push_back({i + f.first, f.second});
        } else if (kind == 0x0201) {  // central record: sizes, lengths, attributes, offset
            for (auto f : {std::make_pair(20, 4), {24, 4}, {28, 2}, {30, 2}, {32, 2}, {38, 4}, {42, 4}, {10, 2}})
                fields.push_back({i + f.first, f.second});
        } else if (kind == 0x0605) {  // end record: counts, size, offset, comment length
            for (auto f : {std::make_pair(8, 2), {10, 2}, {12, 4}, {16, 4}, {20, 2}, {4, 2}})
                fields.push_back({i + f.first, f.second});
        } else if (kind == 0x5455 && i + 4 < zip.size()) {  // "UT" block size and flags
            fields.push_back({i + 2, 2});
            fields.push_back({i + 4, 1});
        }
    }
    return fields;
}

void Mutate(Bytes* zip, const std::vector<std::pair<size_t, int>>& fields, Random& random) {
    static const uint32_t kExtremes[] = {0,      1,          0x7F,       0xFF,       0x7FFF,
                                         0xFFFF, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0xFFFFFFFE};
    switch (random.Below(4)) {
        case 0: {  // flip a few bits
            uint32_t flips = 1 + random.Below(4);
            for (uint32_t i = 0; i < flips; ++i)
                (*zip)[random.Below(static_cast<uint32_t>(zip->size()))] ^= static_cast<BYTE>(1u << random.Below(8));
            break;
        }
        case 1:  // cut the end off
            zip->resize(random.Below(static_cast<uint32_t>(zip->size())));
            break;
        default: {  // a length field set to an extreme or moved by one
            if (fields.empty()) break;
            const auto& field = fields[random.Below(static_cast<uint32_t>(fields.size()))];
            uint32_t value = kExtremes[random.Below(sizeof kExtremes / sizeof kExtremes[0])];
            if (random.Below(3) == 0) {
                uint32_t old = 0;
                for (int b = 0; b < field.second; ++b) old |= static_cast<uint32_t>((*zip)[field.first + b]) << (8 * b);
                value = old + (random.Below(2) ? 1 : -1);
            }
            for (int b = 0; b < field.second && field.first + b < zip->size(); ++b)
                (*zip)[field.first + b] = static_cast<BYTE>(value >> (8 * b));
            break;
        }
    }
}

// Runs every operation over one archive image; fails the test on anything but result codes.
void Exercise(const Bytes& zip, const std::wstring& outFile, bool toFile) {
    // The block sits between guard bytes that no operation may touch.
    Bytes image(zip.size() + 64, 0xEE);
    memcpy(image.data() + 32, zip.data(), zip.size());
    ArchiveHandle archive = ArchiveOpen(image.data() + 32, static_cast<uint32_t>(zip.size()), ArcIoMemory);
    if (!archive) {
        ASSERT_TRUE(IsResultCode(g_lastArchiveResult));
        ASSERT_NE(ArcOk, g_lastArchiveResult);
        return;
    }
    ArchiveEntry entry = {};
    ASSERT_EQ(ArcOk, ArchiveGetEntry(archive, -1, &entry));
    int32_t count = entry.index;
    ASSERT_GE(count, 0);
    for (int32_t index : {0, 1, 2, count - 1}) {
        if (index < 0 || index >= count) continue;
        ArchiveResult result = ArchiveGetEntry(archive, index, &entry);
        ASSERT_TRUE(IsResultCode(result));
        if (result == ArcOk) {
            ASSERT_LT(wcslen(entry.name), 259u);
            int32_t found = -2;
            ArchiveEntry again = {};
            ASSERT_TRUE(IsResultCode(ArchiveFindEntry(archive, entry.name, index % 2 == 0, &found, &again)));
            ASSERT_GE(found, -1);
            ASSERT_LT(found, count);
        }
        Bytes block(1 + (index * 4099) % 70000, 0);
        block.push_back(0xEE);
        ArchiveResult extract = ArcMore;
        // Bounded: every ArcMore delivers at least one byte, and no entry here inflates past 64 MB.
        for (int calls = 0; extract == ArcMore; ++calls) {
            ASSERT_LT(calls, 64 * 1024 * 1024 / static_cast<int>(block.size() - 1) + 2);
            extract =
                ArchiveExtract(archive, index, block.data(), static_cast<uint32_t>(block.size() - 1), ArcIoMemory);
            ASSERT_TRUE(IsResultCode(extract));
        }
        ASSERT_EQ(0xEE, block.back());
        if (toFile) {
            ::SetFileAttributesW(outFile.c_str(), FILE_ATTRIBUTE_NORMAL);
            ASSERT_TRUE(
                IsResultCode(ArchiveExtract(archive, index, const_cast<wchar_t*>(outFile.c_str()), 0, ArcIoFileName)));
        }
    }
    ASSERT_TRUE(IsResultCode(ArchiveFindEntry(archive, L"readme.txt", true, nullptr, &entry)));
    ASSERT_EQ(ArcOk, ArchiveClose(archive));
    for (size_t i = 0; i < 32; ++i) {
        ASSERT_EQ(0xEE, image[i]);
        ASSERT_EQ(0xEE, image[image.size() - 1 - i]);
    }
}

int MutationCount() {
    const char* text = getenv("MEMOTACK_MUTATIONS");
    int count = text ? atoi(text) : 0;
    return count > 0 ? count : 10000;
}
}  // namespace

TEST(ArchiveMutation, SurvivesDamagedArchives) {
    std::vector<Bytes> seeds;
    for (int id : {IDR_TEST_INFOZIP, IDR_TEST_PYTHON, IDR_TEST_SEVENZIP, IDR_TEST_CRAFTED, IDR_PAYLOAD_TWO}) {
        Bytes zip = LoadTestResource(id);
        if (!zip.empty()) seeds.push_back(zip);
    }
    ASSERT_GE(seeds.size(), 4u);
    std::vector<std::vector<std::pair<size_t, int>>> fields;
    for (const Bytes& seed : seeds) fields.push_back(LengthFields(seed));

    ScratchFolder folder;
    folder.Enter();
    std::wstring outFile = folder / L"out.bin";
    int count = MutationCount();
    Random random(20240611);
    int opened = 0;
    for (int i = 0; i < count; ++i) {
        size_t which = random.Below(static_cast<uint32_t>(seeds.size()));
        Bytes zip = seeds[which];
        Mutate(&zip, fields[which], random);
        if (random.Below(3) == 0) Mutate(&zip, fields[which], random);
        // Files are slow to create under Wine: every eighth mutation also extracts to one.
        Exercise(zip, outFile, i % 8 == 0);
        if (HasFatalFailure()) {
            ADD_FAILURE() << "mutation " << i << " of seed " << which;
            return;
        }
        ArchiveHandle probe = ArchiveOpen(zip.data(), static_cast<uint32_t>(zip.size()), ArcIoMemory);
        if (probe) {
            ++opened;
            ArchiveClose(probe);
        }
    }
    printf("%d mutations, %d of them still opened as archives\n", count, opened);
    EXPECT_GT(opened, count / 10);  // the run reaches past the end record
}
