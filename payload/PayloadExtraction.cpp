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
    CString text;
    if (!resource.OpenResource(nullptr, MAKEINTRESOURCEW(resourceId), L"BINARY")) {
        text.Format(L"Resource %i not found in installer", resourceId);
        return SetError(text, ::GetLastError());
    }
    if (!resource.GetByteBuffer()) {
        text.Format(L"GetByteBuffer() failed for resource %i", resourceId);
        return SetError(text, 0);
    }
    // Nothing is written unless the whole file decompressed and checked out, so a damaged payload
    // leaves an existing file untouched.
    std::unique_ptr<BYTE[]> content;
    int contentSize = 0;
    if (!UnpackFirstEntry(resource.GetByteBuffer(), resource.GetSize(), &content, &contentSize)) {
        text.Format(L"Resource %i in installer is damaged and cannot be unpacked", resourceId);
        return SetError(text, 0);
    }

    // The copy of the resource is no longer read: its memory goes back before the file is written.
    resource.Close();
    return ReplaceFile(destination, content.get(), static_cast<UINT>(contentSize));
}

// Writes the whole content to a new file beside destination, puts it on the disk and only then
// moves it over destination: a failure, or an end of the process at any point, leaves an earlier
// file as it was. The new file has a name of its own (CREATE_NEW): nothing else writes through it.
bool CInstallerDlg::ReplaceFile(const CString& destination, const BYTE* content, UINT size) {
    CString temporary;
    HANDLE handle = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100 && handle == INVALID_HANDLE_VALUE; ++attempt) {
        temporary.Format(L"%ls.%d.new", destination.GetString(), attempt);
        handle = ::CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS) break;
    }
    // A file that cannot be opened and one that cannot be replaced read alike to the user: the
    // log names the system's reason.
    if (handle == INVALID_HANDLE_VALUE) return SetError(L"Could not open file for writing", ::GetLastError());
    CFile file(handle);
    try {
        file.Write(content, size);
        file.Flush();
        file.Close();
    } catch (CFileException* error) {
        wchar_t text[MAX_PATH] = {};
        if (!error->GetErrorMessage(text, MAX_PATH)) wcscpy(text, L"Could not write file");
        const DWORD code = static_cast<DWORD>(error->m_lOsError);
        error->Delete();
        file.Abort();
        ::DeleteFileW(temporary);
        return SetError(text, code);
    }
    if (!::MoveFileExW(temporary, destination, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD code = ::GetLastError();
        ::DeleteFileW(temporary);
        return SetError(L"Could not open file for writing", code);
    }
    return true;
}
