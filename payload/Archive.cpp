#include "payload/Archive.h"

#include "payload/ArchiveStream.h"
#include "payload/DirectInflate.h"

#include <limits.h>
#include <string.h>
#include <wchar.h>
#include <memory>
#include <new>

ArchiveResult g_lastArchiveResult = ArcOk;

struct ArchiveReader {
    unzFile core;
    int32_t openEntry;  // entry open for memory extraction, -1 for none
    bool openDirect;    // the open entry is read through direct, with nothing open in the core
    DirectEntry direct;
    ArchiveEntryNarrow cachedEntry;
    int32_t cachedIndex;
    wchar_t rootDir[MAX_PATH];
    // Owned by core, which closes it with the archive; kept to read local extra fields.
    ArchiveStream* stream;
};

namespace {
// Stored names are cut to this many bytes, so that the wide name always fits with its terminator.
constexpr unsigned kMaxNameBytes = 258;
// Longest name that find compares, in bytes or UTF-16 code units.
constexpr size_t kMaxFindName = 255;
constexpr DWORD kCopyChunk = 16384;

ArchiveResult Finish(ArchiveResult result) {
    g_lastArchiveResult = result;
    return result;
}

ArchiveResult CheckHandle(ArchiveHandle archive) {
    if (!archive) return ArcBadArgs;
    if (archive->tag != kArchiveReadTag || !archive->reader || !archive->reader->core) return ArcWrongHandle;
    return ArcOk;
}

int32_t EntryCount(const ArchiveReader* reader) {
    unz_global_info64 info;
    if (unzGetGlobalInfo64(reader->core, &info) != UNZ_OK) return 0;
    return info.number_entry > INT32_MAX ? INT32_MAX : static_cast<int32_t>(info.number_entry);
}

// The core's current entry number, or -1 when it stands on none.
int32_t CurrentEntry(const ArchiveReader* reader) {
    unz64_file_pos position;
    if (unzGetFilePos64(reader->core, &position) != UNZ_OK) return -1;
    return position.num_of_file > INT32_MAX ? -1 : static_cast<int32_t>(position.num_of_file);
}

// Ends the entry being read, in the core or direct; true when it delivered its recorded size and
// its CRC-32 matched.
bool EndEntry(ArchiveReader* reader) {
    if (!reader->openDirect) {
        bool complete = unzeof(reader->core) == 1;
        bool crcMatches = unzCloseCurrentFile(reader->core) == UNZ_OK;
        return complete && crcMatches;
    }
    reader->openDirect = false;
    return EndDirect(&reader->direct);
}

void CloseOpenEntry(ArchiveReader* reader) {
    if (reader->openEntry != -1) EndEntry(reader);
    reader->openEntry = -1;
}

bool PositionCore(ArchiveReader* reader, int32_t index) {
    int32_t current = CurrentEntry(reader);
    if (current < 0 || index < current) {
        if (unzGoToFirstFile(reader->core) != UNZ_OK) return false;
        current = 0;
    }
    for (; current < index; ++current) {
        if (unzGoToNextFile(reader->core) != UNZ_OK) return false;
    }
    return true;
}

DWORD AttributesFromExternal(uint32_t external) {
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;
    if ((external & 0x40000000u) || (external & FILE_ATTRIBUTE_DIRECTORY))
        attributes = FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_DIRECTORY;
    if (external & 0x20u) attributes |= FILE_ATTRIBUTE_ARCHIVE;
    if (external & 0x2u) attributes |= FILE_ATTRIBUTE_HIDDEN;
    if (!(external & 0x800000u) || (external & 0x1u)) attributes |= FILE_ATTRIBUTE_READONLY;
    if (external & 0x4u) attributes |= FILE_ATTRIBUTE_SYSTEM;
    return attributes;
}

uint16_t ReadLe16(const BYTE* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t ReadLe32(const BYTE* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

// Applies the first extended-timestamp ("UT") block of a local extra field. A time is taken only
// when its four bytes lie inside both the block and the field.
void ApplyExtendedTimestamps(const BYTE* extra, size_t length, ArchiveEntryNarrow* entry) {
    size_t position = 0;
    while (position + 4 < length) {
        uint16_t tag = ReadLe16(extra + position);
        size_t size = ReadLe16(extra + position + 2);
        if (tag != 0x5455) {
            position += 4 + size;
            continue;
        }
        size_t end = position + 4 + size;
        if (end > length) end = length;
        size_t at = position + 4;
        BYTE flags = extra[at++];
        FILETIME* targets[3] = {&entry->modifyTime, &entry->accessTime, &entry->createTime};
        for (int bit = 0; bit < 3; ++bit) {
            if (!(flags & (1 << bit))) continue;
            if (at + 4 > end) break;
            FILETIME time;
            if (UnixTimeToFileTime(static_cast<int32_t>(ReadLe32(extra + at)), &time)) *targets[bit] = time;
            at += 4;
        }
        return;
    }
}

// Opens the current entry (which checks its local header against the central directory) to learn
// where its local extra field lies, and reads that field through the stream. minizip's own
// unzGetLocalExtrafield does not allow for bytes before the archive, so it is not used.
ArchiveResult ReadLocalExtraField(ArchiveReader* reader, std::unique_ptr<BYTE[]>* extra, size_t* length) {
    if (unzOpenCurrentFile(reader->core) != UNZ_OK) {
        unzCloseCurrentFile(reader->core);
        return ArcCorrupt;
    }
    int size = unzGetLocalExtrafield(reader->core, nullptr, 0);
    ZPOS64_T dataPosition = unzGetCurrentFileZStreamPos64(reader->core);
    unzCloseCurrentFile(reader->core);
    if (size < 0 || dataPosition < static_cast<ZPOS64_T>(size)) return ArcCorrupt;
    ZPOS64_T fieldPosition = dataPosition - static_cast<ZPOS64_T>(size);
    if (fieldPosition > 0xFFFFFFFFu) return ArcReadFailed;
    extra->reset(new (std::nothrow) BYTE[static_cast<size_t>(size) + 1]);
    if (!*extra) return ArcReadFailed;
    if (StreamSeek(reader->stream, static_cast<uint32_t>(fieldPosition), 0) != 0) return ArcReadFailed;
    if (size > 0 &&
        StreamRead(reader->stream, extra->get(), 1, static_cast<uint32_t>(size)) != static_cast<uint32_t>(size))
        return ArcReadFailed;
    *length = static_cast<size_t>(size);
    return ArcOk;
}

// The get-entry step: builds the record of entry index (>= 0) into the cache.
ArchiveResult BuildEntry(ArchiveReader* reader, int32_t index) {
    if (index == reader->cachedIndex) return ArcOk;
    if (!PositionCore(reader, index)) return ArcCorrupt;

    ArchiveEntryNarrow entry;
    memset(&entry, 0, sizeof entry);
    unz_file_info64 info;
    if (unzGetCurrentFileInfo64(reader->core, &info, entry.name, kMaxNameBytes, nullptr, 0, nullptr, 0) != UNZ_OK)
        return ArcCorrupt;

    std::unique_ptr<BYTE[]> extra;
    size_t extraLength = 0;
    ArchiveResult result = ReadLocalExtraField(reader, &extra, &extraLength);
    if (result != ArcOk) return result;

    entry.index = CurrentEntry(reader);
    entry.attributes = AttributesFromExternal(static_cast<uint32_t>(info.external_fa));
    FILETIME dosTime = {0, 0};
    ::DosDateTimeToFileTime(HIWORD(info.dosDate), LOWORD(info.dosDate), &dosTime);
    entry.accessTime = entry.createTime = entry.modifyTime = dosTime;
    ApplyExtendedTimestamps(extra.get(), extraLength, &entry);
    entry.compressedSize = static_cast<int32_t>(static_cast<uint32_t>(info.compressed_size));
    entry.uncompressedSize = static_cast<int32_t>(static_cast<uint32_t>(info.uncompressed_size));

    reader->cachedEntry = entry;
    reader->cachedIndex = index;
    return ArcOk;
}

void ToWideEntry(const ArchiveEntryNarrow& narrow, ArchiveEntry* wide) {
    ArchiveEntry entry;
    memset(&entry, 0, sizeof entry);
    entry.index = narrow.index;
    AnsiToWide(narrow.name, entry.name, MAX_PATH - 1);
    entry.attributes = narrow.attributes;
    entry.accessTime = narrow.accessTime;
    entry.createTime = narrow.createTime;
    entry.modifyTime = narrow.modifyTime;
    entry.compressedSize = narrow.compressedSize;
    entry.uncompressedSize = narrow.uncompressedSize;
    *wide = entry;
}

ArchiveResult GetEntry(ArchiveReader* reader, int32_t index, ArchiveEntry* entry) {
    if (index < -1 || index >= EntryCount(reader)) return ArcBadArgs;
    CloseOpenEntry(reader);
    if (index == -1) {
        ArchiveEntry count;
        memset(&count, 0, sizeof count);
        count.index = EntryCount(reader);
        *entry = count;
        return ArcOk;
    }
    ArchiveResult result = BuildEntry(reader, index);
    if (result == ArcOk) ToWideEntry(reader->cachedEntry, entry);
    return result;
}

int CompareNames(const char* a, const char* b, bool ignoreCase) {
    for (;; ++a, ++b) {
        char ca = *a, cb = *b;
        if (ignoreCase) {
            if (ca >= 'a' && ca <= 'z') ca = static_cast<char>(ca - 'a' + 'A');
            if (cb >= 'a' && cb <= 'z') cb = static_cast<char>(cb - 'a' + 'A');
        }
        if (ca != cb) return ca < cb ? -1 : 1;
        if (!ca) return 0;
    }
}

// Walks the entries from the first for name; on a miss the core goes back where it stood.
bool LocateEntry(ArchiveReader* reader, const char* name, bool ignoreCase) {
    unz64_file_pos saved;
    bool haveSaved = unzGetFilePos64(reader->core, &saved) == UNZ_OK;
    int err = unzGoToFirstFile(reader->core);
    while (err == UNZ_OK) {
        char current[kMaxFindName + 2] = {};
        unz_file_info64 info;
        err = unzGetCurrentFileInfo64(reader->core, &info, current, kMaxFindName + 1, nullptr, 0, nullptr, 0);
        if (err != UNZ_OK) break;
        if (info.size_filename <= kMaxFindName && CompareNames(current, name, ignoreCase) == 0) return true;
        err = unzGoToNextFile(reader->core);
    }
    if (haveSaved) unzGoToFilePos64(reader->core, &saved);
    return false;
}

ArchiveResult FindEntry(ArchiveReader* reader, LPCWSTR name, bool ignoreCase, int32_t* index, ArchiveEntry* entry) {
    char narrow[259];
    bool searchable =
        wcslen(name) <= kMaxFindName && WideToAnsi(name, narrow, sizeof narrow) != 0 && strlen(narrow) <= kMaxFindName;
    if (!searchable || !LocateEntry(reader, narrow, ignoreCase)) {
        if (index) *index = -1;
        return ArcNotFound;
    }
    CloseOpenEntry(reader);
    int32_t found = CurrentEntry(reader);
    if (index) *index = found;
    if (found < 0) return ArcNotFound;
    ArchiveResult result = BuildEntry(reader, found);
    if (result == ArcOk) ToWideEntry(reader->cachedEntry, entry);
    return result;
}

// Only stored and deflated entries without encryption can be decompressed here; minizip would
// hand out other methods' data raw. info (may be null) gets the entry's record.
bool CurrentEntryIsReadable(ArchiveReader* reader, unz_file_info64* info = nullptr) {
    unz_file_info64 own;
    if (!info) info = &own;
    if (unzGetCurrentFileInfo64(reader->core, info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) return false;
    return (info->compression_method == 0 || info->compression_method == Z_DEFLATED) && !(info->flag & 1);
}

// Moves the entry just opened in the core to direct reading, when the source is a memory block
// that holds all of its compressed bytes; otherwise (or when inflate cannot start) the entry
// stays open in the core. The core's open has checked the local header.
void OpenDirect(ArchiveReader* reader, const unz_file_info64& info) {
    const ArchiveStream* stream = reader->stream;
    ZPOS64_T position = unzGetCurrentFileZStreamPos64(reader->core);
    if (stream->isHandle || position > stream->length || info.compressed_size > stream->length - position) return;
    if (!StartDirect(&reader->direct, stream->data + position, info.compressed_size,
                     info.compression_method == Z_DEFLATED, info.uncompressed_size, info.crc))
        return;
    unzCloseCurrentFile(reader->core);
    reader->openDirect = true;
}

ArchiveResult ExtractToMemory(ArchiveReader* reader, int32_t index, void* destination, uint32_t length) {
    if (!destination && length > 0) return ArcBadArgs;
    if (index != reader->openEntry) {
        CloseOpenEntry(reader);
        if (index >= EntryCount(reader)) return ArcBadArgs;
        if (!PositionCore(reader, index)) return ArcCorrupt;
        unz_file_info64 info;
        if (!CurrentEntryIsReadable(reader, &info) || unzOpenCurrentFile(reader->core) != UNZ_OK) {
            unzCloseCurrentFile(reader->core);
            return ArcInflateFailed;
        }
        OpenDirect(reader, info);
        reader->openEntry = index;
    }
    unsigned wanted = length > static_cast<uint32_t>(INT_MAX) ? static_cast<unsigned>(INT_MAX) : length;
    int read = reader->openDirect ? ReadDirect(&reader->direct, static_cast<BYTE*>(destination), wanted)
                                  : unzReadCurrentFile(reader->core, destination, wanted);
    if (read > 0) return ArcMore;
    reader->openEntry = -1;
    bool complete = EndEntry(reader);
    if (read < 0) return ArcInflateFailed;
    if (wanted == 0) return ArcOk;
    return complete ? ArcOk : ArcInflateFailed;
}

bool WriteAll(HANDLE handle, const BYTE* data, DWORD count) {
    while (count > 0) {
        DWORD written = 0;
        if (!::WriteFile(handle, data, count, &written, nullptr) || written == 0) return false;
        data += written;
        count -= written;
    }
    return true;
}

// Streams the current entry into handle; false on a decompression, check or write error.
bool CopyEntry(ArchiveReader* reader, HANDLE handle) {
    if (!CurrentEntryIsReadable(reader) || unzOpenCurrentFile(reader->core) != UNZ_OK) {
        unzCloseCurrentFile(reader->core);
        return false;
    }
    std::unique_ptr<BYTE[]> buffer(new (std::nothrow) BYTE[kCopyChunk]);
    bool ok = buffer != nullptr;
    while (ok) {
        int read = unzReadCurrentFile(reader->core, buffer.get(), kCopyChunk);
        if (read < 0) ok = false;
        if (read <= 0) break;
        ok = WriteAll(handle, buffer.get(), static_cast<DWORD>(read));
    }
    if (!ok) {
        unzCloseCurrentFile(reader->core);
        return false;
    }
    return EndEntry(reader);
}

ArchiveResult ExtractToFile(ArchiveReader* reader, int32_t index, void* destination, ArcIoKind kind) {
    CloseOpenEntry(reader);
    if (index >= EntryCount(reader)) return ArcBadArgs;
    ArchiveResult built = BuildEntry(reader, index);
    if (built != ArcOk) return built;
    // BuildEntry may answer from its cache without moving the core.
    if (!PositionCore(reader, index)) return ArcCorrupt;
    const ArchiveEntryNarrow& entry = reader->cachedEntry;

    if (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (kind != ArcIoFileName) return ArcOk;
        wchar_t name[MAX_PATH];
        AnsiToWide(entry.name, name, MAX_PATH - 1);
        if (PathLeavesRoot(name)) return ArcNoFile;
        MakeEntryDirectories(reader->rootDir, name);
        return ArcOk;
    }

    HANDLE handle;
    if (kind == ArcIoFileName) {
        if (!destination) return ArcNoFile;
        LPCWSTR fileName = static_cast<LPCWSTR>(destination);
        const wchar_t* slash = wcsrchr(fileName, L'/');
        const wchar_t* backslash = wcsrchr(fileName, L'\\');
        const wchar_t* last = slash > backslash ? slash : backslash;
        if (last && last - fileName < MAX_PATH) {
            wchar_t folder[MAX_PATH] = {};
            wmemcpy(folder, fileName, static_cast<size_t>(last - fileName));
            if (!PathLeavesRoot(folder)) MakeEntryDirectories(reader->rootDir, folder);
        }
        handle = ::CreateFileW(fileName, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, entry.attributes, nullptr);
    } else {
        handle = static_cast<HANDLE>(destination);
    }
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr) return ArcNoFile;

    bool ok = CopyEntry(reader, handle);
    if (ok && ::GetFileType(handle) == FILE_TYPE_DISK)
        ::SetFileTime(handle, &entry.createTime, &entry.accessTime, &entry.modifyTime);
    if (kind == ArcIoFileName) ::CloseHandle(handle);
    return ok ? ArcOk : ArcWriteFailed;
}
}  // namespace

ArchiveHandle ArchiveOpen(const void* source, uint32_t length, ArcIoKind kind) {
    std::unique_ptr<ArchiveReader> reader(new (std::nothrow) ArchiveReader());
    if (!reader) {
        Finish(ArcReadFailed);
        return nullptr;
    }
    reader->core = nullptr;
    reader->openEntry = -1;
    reader->openDirect = false;
    reader->cachedIndex = -1;
    DWORD folderLength = ::GetCurrentDirectoryW(MAX_PATH, reader->rootDir);
    if (folderLength == 0 || folderLength >= MAX_PATH - 1)
        reader->rootDir[0] = 0;
    else
        wcscat(reader->rootDir, L"\\");

    if (kind == ArcIoHandle && ::GetFileType(const_cast<HANDLE>(source)) != FILE_TYPE_DISK) {
        Finish(ArcNotSeekable);
        return nullptr;
    }
    ArchiveResult result = ArcOk;
    ArchiveStream* stream = StreamOpen(source, length, kind, &result);
    if (!stream) {
        Finish(result);
        return nullptr;
    }
    zlib_filefunc_def functions;
    FillArchiveStreamFunctions(&functions);
    // On failure minizip has already closed (and so freed) the stream.
    reader->core = unzOpen2(reinterpret_cast<const char*>(stream), &functions);
    if (!reader->core) {
        Finish(ArcCorrupt);
        return nullptr;
    }
    reader->stream = stream;
    ArchiveHandle archive = new (std::nothrow) ArchiveHandleData{kArchiveReadTag, reader.get()};
    if (!archive) {
        unzClose(reader->core);
        Finish(ArcReadFailed);
        return nullptr;
    }
    reader.release();
    Finish(ArcOk);
    return archive;
}

ArchiveResult ArchiveGetEntry(ArchiveHandle archive, int32_t index, ArchiveEntry* entry) {
    ArchiveResult result = CheckHandle(archive);
    if (result != ArcOk) return Finish(result);
    if (!entry) return Finish(ArcBadArgs);
    return Finish(GetEntry(archive->reader, index, entry));
}

ArchiveResult ArchiveFindEntry(ArchiveHandle archive,
                               LPCWSTR name,
                               bool ignoreCase,
                               int32_t* index,
                               ArchiveEntry* entry) {
    ArchiveResult result = CheckHandle(archive);
    if (result != ArcOk) return Finish(result);
    if (!name || !entry) return Finish(ArcBadArgs);
    return Finish(FindEntry(archive->reader, name, ignoreCase, index, entry));
}

ArchiveResult ArchiveExtract(ArchiveHandle archive, int32_t index, void* destination, uint32_t length, ArcIoKind kind) {
    ArchiveResult result = CheckHandle(archive);
    if (result != ArcOk) return Finish(result);
    if (index < 0) return Finish(ArcBadArgs);
    switch (kind) {
        case ArcIoMemory:
            return Finish(ExtractToMemory(archive->reader, index, destination, length));
        case ArcIoHandle:
        case ArcIoFileName:
            return Finish(ExtractToFile(archive->reader, index, destination, kind));
        default:
            return Finish(ArcBadArgs);
    }
}

ArchiveResult ArchiveClose(ArchiveHandle archive) {
    ArchiveResult result = CheckHandle(archive);
    if (result != ArcOk) return Finish(result);
    ArchiveReader* reader = archive->reader;
    CloseOpenEntry(reader);
    unzClose(reader->core);
    reader->core = nullptr;
    delete reader;
    archive->tag = 0;
    archive->reader = nullptr;
    delete archive;
    return Finish(ArcOk);
}
