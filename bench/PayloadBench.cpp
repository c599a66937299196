// Times ExtractPayload on a multi-megabyte payload and on the installer's own program payload
// against a plain zlib inflate of the same deflate stream, in one run on one machine, and prints the
// throughput ratios of each (target: 0.9 or more against a plain inflate that writes the same file). The baseline
// inflates into a buffer it has already touched; ExtractPayload takes fresh memory for its copy of the resource and for
// the entry, whose first touch the benchmark times apart to show what that costs on this machine.
#include "bench/BenchClock.h"
#include "framework/CFile.h"
#include "framework/CWinApp.h"
#include "payload/Archive.h"
#include "payload/ResourceFile.h"
#include "ui/InstallerDlg.h"

#include <stdio.h>
#include <string.h>
#include <zlib.h>

#include <memory>

namespace {
constexpr WORD kBenchPayload = 4001;
constexpr WORD kProductPayload = 4002;

uint32_t Le32(const BYTE* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }

// The baseline: the entry's raw deflate stream inflated in one go into a buffer of its size.
bool PlainInflate(const BYTE* zip, BYTE* out, uint32_t outSize) {
    uint32_t packedSize = Le32(zip + 18);
    const BYTE* packed = zip + 30 + (zip[26] | (zip[27] << 8)) + (zip[28] | (zip[29] << 8));
    z_stream stream = {};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return false;
    stream.next_in = const_cast<BYTE*>(packed);
    stream.avail_in = packedSize;
    stream.next_out = out;
    stream.avail_out = outSize;
    int result = inflate(&stream, Z_FINISH);
    inflateEnd(&stream);
    return result == Z_STREAM_END && stream.total_out == outSize;
}

// Prints the figures of one payload, each line led by name; false when a step failed.
bool Measure(WORD payload, const char* name) {
    CResourceFile resource;
    if (!resource.OpenResource(nullptr, MAKEINTRESOURCEW(payload), L"BINARY")) {
        fprintf(stderr, "%s payload missing\n", name);
        return false;
    }
    uint32_t size = Le32(resource.GetByteBuffer() + 22);
    std::unique_ptr<BYTE[]> out(new BYTE[size]);

    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    CString destination = CString(temp) + L"payload-bench.bin";
    CInstallerDlg dialog;

    // Best of many rounds: the build machine is shared, and the best round is the least disturbed.
    // The small payload extracts in about a millisecond, and gets more of them.
    const int kRounds = size < 1048576 ? 101 : 15;
    double bestInflate = 1e9, bestExtract = 1e9, bestMemory = 1e9, bestCrc = 1e9, bestWrite = 1e9, bestFresh = 1e9;
    for (int round = 0; round < kRounds; ++round) {
        double start = Now();
        if (!PlainInflate(resource.GetByteBuffer(), out.get(), size)) {
            fprintf(stderr, "plain inflate failed\n");
            return false;
        }
        double inflateTime = Now() - start;
        start = Now();
        volatile uLong crc = crc32(0L, out.get(), size);
        (void)crc;
        double crcTime = Now() - start;
        if (crcTime < bestCrc) bestCrc = crcTime;
        // Each write makes a new file, as an install does.
        ::DeleteFileW(destination);
        start = Now();
        if (!dialog.ExtractPayload(payload, destination)) {
            fprintf(stderr, "ExtractPayload failed: %ls\n", dialog.m_strError.GetString());
            return false;
        }
        double extractTime = Now() - start;
        // The archive layer alone: the resource already in memory, the entry into a ready buffer.
        start = Now();
        ArchiveHandle archive = ArchiveOpen(resource.GetByteBuffer(), resource.GetSize(), ArcIoMemory);
        ArchiveResult result = ArchiveExtract(archive, 0, out.get(), size, ArcIoMemory);
        if (result == ArcMore) result = ArchiveExtract(archive, 0, out.get(), size, ArcIoMemory);
        ArchiveClose(archive);
        double memoryTime = Now() - start;
        if (result != ArcOk) {
            fprintf(stderr, "memory extraction failed: %x\n", result);
            return false;
        }
        if (memoryTime < bestMemory) bestMemory = memoryTime;
        // The file part alone: what ExtractPayload does after decompressing.
        ::DeleteFileW(destination);
        start = Now();
        CFile file;
        if (!file.Open(destination, CFile::modeCreate | CFile::modeWrite)) return false;
        file.Write(out.get(), size);
        file.Close();
        double writeTime = Now() - start;
        if (writeTime < bestWrite) bestWrite = writeTime;
        // Fresh memory of the resource's and the entry's size, each page touched once: the writing
        // of the bytes themselves the baseline pays as well.
        start = Now();
        const uint32_t lengths[] = {static_cast<uint32_t>(resource.GetSize()), size};
        for (uint32_t length : lengths) {
            std::unique_ptr<BYTE[]> fresh(new BYTE[length]);
            volatile BYTE* page = fresh.get();
            for (uint32_t at = 0; at < length; at += 4096) page[at] = 1;
        }
        double freshTime = Now() - start;
        if (freshTime < bestFresh) bestFresh = freshTime;
        if (inflateTime < bestInflate) bestInflate = inflateTime;
        if (extractTime < bestExtract) bestExtract = extractTime;
    }
    ::DeleteFileW(destination);
    double megabytes = size / 1048576.0;
    printf("%s payload, entry: %.1f MB uncompressed, %.1f MB compressed; best of %d rounds\n", name, megabytes,
           resource.GetSize() / 1048576.0, kRounds);
    printf("%s payload, plain zlib inflate:        %7.1f MB/s (%.1f ms)\n", name, megabytes / bestInflate,
           bestInflate * 1000);
    printf("%s payload, ExtractPayload to a file:  %7.1f MB/s (%.1f ms)\n", name, megabytes / bestExtract,
           bestExtract * 1000);
    printf("%s payload, zlib crc32 of the output:  %7.1f MB/s (%.1f ms)\n", name, megabytes / bestCrc, bestCrc * 1000);
    printf("%s payload, writing the file alone:    %7.1f MB/s (%.1f ms)\n", name, megabytes / bestWrite,
           bestWrite * 1000);
    printf("%s payload, archive layer into memory: %7.1f MB/s (%.1f ms)\n", name, megabytes / bestMemory,
           bestMemory * 1000);
    printf("%s payload, first touch of fresh memory for the resource copy and the entry: %.1f ms\n", name,
           bestFresh * 1000);
    printf("%s payload, ratio (archive layer / inflate throughput): %.2f\n", name, bestInflate / bestMemory);
    printf("%s payload, ratio (ExtractPayload / inflate throughput): %.2f\n", name, bestInflate / bestExtract);
    // Both end with the file on disk: the fair baseline for the whole job inflates and writes it.
    printf("%s payload, ratio (ExtractPayload / inflate-and-write throughput): %.2f\n", name,
           (bestInflate + bestWrite) / bestExtract);
    // The same, with the baseline also paying for the fresh memory the extraction must take.
    printf("%s payload, ratio (ExtractPayload / inflate-and-write with fresh memory throughput): %.2f\n", name,
           (bestInflate + bestWrite + bestFresh) / bestExtract);
    return true;
}
}  // namespace

int main() {
    CWinApp app;
    return Measure(kBenchPayload, "bench") && Measure(kProductPayload, "product") ? 0 : 1;
}
