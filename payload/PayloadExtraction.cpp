#include "ui/InstallerDlg.h"

#include "framework/CFile.h"
#include "framework/CFileException.h"
#include "payload/Archive.h"
#include "payload/ResourceFile.h"

#include <stdint.h>
#include <wchar.h>

#include <memory>
#include <new>

namespace {
// Closes an archive handle on every path out of the extraction.
class ArchiveCloser {
public:
    explicit ArchiveCloser(ArchiveHandle archive) : m_archive(archive) {}
    ~ArchiveCloser() {
        if (m_archive) ArchiveClose(m_archive);
    }
    ArchiveCloser(const ArchiveCloser&) = delete;
    ArchiveCloser& operator=(const ArchiveCloser&) = delete;

private:
    ArchiveHandle m_archive;
};

// Deflate yields at most 258 bytes for each two bits it reads.
constexpr int64_t kDeflateMostBytesPerByte = 1032;

// The recorded sizes are read from the executable before anything is allocated: an entry is only
// unpacked when its compressed data can hold its recorded size and that size is within what the
// installer holds in memory (MEMOTACK_PAYLOAD_LIMIT, the packer's limit too).
bool PlausibleSize(const ArchiveEntry& entry) {
    if (entry.uncompressedSize < 0 || entry.compressedSize < 0) return false;
    if (entry.uncompressedSize > MEMOTACK_PAYLOAD_LIMIT) return false;
    return entry.uncompressedSize <= static_cast<int64_t>(entry.compressedSize) * kDeflateMostBytesPerByte;
}

// Decompresses the first entry of the archive in data into *content. False unless the entry
// delivered exactly its recorded size and its CRC-32 matched.
bool UnpackFirstEntry(const BYTE* data, int size, std::unique_ptr<BYTE[]>* content, int* contentSize) {
    ArchiveHandle archive = ArchiveOpen(data, static_cast<uint32_t>(size), ArcIoMemory);
    if (!archive) return false;
    ArchiveCloser closer(archive);

    ArchiveEntry entry = {};
    if (ArchiveGetEntry(archive, 0, &entry) != ArcOk) return false;
    int32_t index = -1;
    if (ArchiveFindEntry(archive, entry.name, true, &index, &entry) != ArcOk) return false;
    if (!PlausibleSize(entry)) return false;

    std::unique_ptr<BYTE[]> buffer(new (std::nothrow) BYTE[entry.uncompressedSize > 0 ? entry.uncompressedSize : 1]);
    if (!buffer) return false;
    uint32_t length = static_cast<uint32_t>(entry.uncompressedSize);
    // A block of exactly the recorded size takes the whole entry in one call; the second call
    // must then find the end, which is where the size and the CRC-32 are checked.
    ArchiveResult result = ArchiveExtract(archive, index, buffer.get(), length, ArcIoMemory);
    if (result == ArcMore) result = ArchiveExtract(archive, index, buffer.get(), length, ArcIoMemory);
    if (result != ArcOk) return false;

    *content = std::move(buffer);
    *contentSize = entry.uncompressedSize;
    return true;
}
}  // namespace

bool CInstallerDlg::ExtractPayload(WORD resourceId, CString destination) {
    CResourceFile resource;
    if (!resource.OpenResource(nullptr, MAKEINTRESOURCEW(resourceId), L"BINARY")) {
        m_strError.Format(L"Resource %i not found in installer", resourceId);
        return false;
    }
    if (!resource.GetByteBuffer()) {
        m_strError.Format(L"GetByteBuffer() failed for resource %i", resourceId);
        return false;
    }
    // Nothing is written unless the whole file decompressed and checked out, so a damaged payload
    // leaves an existing file untouched.
    std::unique_ptr<BYTE[]> content;
    int contentSize = 0;
    if (!UnpackFirstEntry(resource.GetByteBuffer(), resource.GetSize(), &content, &contentSize)) {
        m_strError.Format(L"Resource %i in installer is damaged and cannot be unpacked", resourceId);
        return false;
    }

    // The copy of the resource is no longer read: its memory goes back before the file is written.
    resource.Close();
    CFile file;
    try {
        if (!file.Open(destination, CFile::modeCreate | CFile::modeWrite)) {
            m_strError = L"Could not open file for writing";
            return false;
        }
        file.Write(content.get(), static_cast<UINT>(contentSize));
        file.Close();
        return true;
    } catch (CFileException* error) {
        wchar_t text[MAX_PATH] = {};
        if (!error->GetErrorMessage(text, MAX_PATH)) wcscpy(text, L"Could not write file");
        error->Delete();
        m_strError = text;
        // The file was truncated when it was opened: a partial copy is worth less than none.
        file.Abort();
        ::DeleteFileW(destination);
        return false;
    }
}
