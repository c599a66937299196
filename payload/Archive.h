#pragma once
// A handle-based reader of ZIP archives held in memory, in a file or behind an open Win32 handle.
// Every operation returns an ArchiveResult and also leaves it in g_lastArchiveResult. Entry names
// inside archives are 8-bit text in the ANSI code page; this API takes and gives UTF-16.
#include <windows.h>

#include <stdint.h>

// Kind of a source (ArchiveOpen) or destination (ArchiveExtract).
enum ArcIoKind : uint32_t {
    ArcIoHandle = 1,    // an open Win32 handle, used from its current position
    ArcIoFileName = 2,  // a UTF-16 file name
    ArcIoMemory = 3,    // a memory block and its length
};

enum ArchiveResult : uint32_t {
    ArcOk = 0,
    ArcNoDuplicate = 0x100,        // the source handle could not be duplicated
    ArcNoFile = 0x200,             // source file not opened, destination not created, or invalid handle
    ArcWriteFailed = 0x400,        // extraction to a file or handle stopped on a decompression or write error
    ArcNotFound = 0x500,           // no entry of that name
    ArcMore = 0x600,               // memory extraction delivered data: call again for the rest
    ArcCorrupt = 0x700,            // not a readable archive, or an entry's headers disagree
    ArcReadFailed = 0x800,         // the local extra field could not be read
    ArcBadArgs = 0x10000,          // null handle or argument, index out of range, unknown kind
    ArcWrongHandle = 0x80000,      // not an archive-reading handle
    ArcNotSeekable = 0x2000000,    // a handle source is not a disk file
    ArcInflateFailed = 0x5000000,  // memory extraction failed while decompressing or checking
};

extern ArchiveResult g_lastArchiveResult;

struct ArchiveEntry {
    int32_t index;  // for index -1: the number of entries
    wchar_t name[260];
    DWORD attributes;  // FILE_ATTRIBUTE_* bits
    FILETIME accessTime;
    FILETIME createTime;
    FILETIME modifyTime;
    int32_t compressedSize;
    int32_t uncompressedSize;
};

// The reader's own form of an entry: the name as stored, in the ANSI code page.
struct ArchiveEntryNarrow {
    int32_t index;
    char name[260];
    DWORD attributes;
    FILETIME accessTime;
    FILETIME createTime;
    FILETIME modifyTime;
    int32_t compressedSize;
    int32_t uncompressedSize;
};

struct ArchiveReader;

constexpr uint32_t kArchiveReadTag = 1;

struct ArchiveHandleData {
    uint32_t tag;  // kArchiveReadTag for an archive opened for reading
    ArchiveReader* reader;
};
typedef ArchiveHandleData* ArchiveHandle;

// source is a HANDLE, a UTF-16 file name or a memory block of length bytes, by kind. A memory
// block is read in place and must stay valid until ArchiveClose. Returns null on failure.
ArchiveHandle ArchiveOpen(const void* source, uint32_t length, ArcIoKind kind);
// index -1 gives the number of entries in entry->index. entry is written only on success.
ArchiveResult ArchiveGetEntry(ArchiveHandle archive, int32_t index, ArchiveEntry* entry);
// Finds the first entry named name ('/' and '\\' differ); ignoreCase folds ASCII letters only.
// index (may be null) gets the entry number, or -1 when not found; entry is written on success.
ArchiveResult ArchiveFindEntry(ArchiveHandle archive,
                               LPCWSTR name,
                               bool ignoreCase,
                               int32_t* index,
                               ArchiveEntry* entry);
// Memory: fills the block and returns ArcMore while data comes, ArcOk once the entry is complete
// and checked. Handle or file name: streams the whole entry; directory entries of a file-name
// extraction create their folders under the current directory of open time.
ArchiveResult ArchiveExtract(ArchiveHandle archive, int32_t index, void* destination, uint32_t length, ArcIoKind kind);
ArchiveResult ArchiveClose(ArchiveHandle archive);

// ANSI code page conversions into zero-filled buffers, always zero-terminated: a text that does
// not fit leaves the buffer empty. Both return the elements written with the terminator, or 0.
int WideToAnsi(LPCWSTR text, char* buffer, int bufferBytes);
int AnsiToWide(const char* text, wchar_t* buffer, int bufferChars);
// seconds since 1970-01-01 UTC, taken as signed (dates from 1901 to 2038).
bool UnixTimeToFileTime(int32_t seconds, FILETIME* fileTime);
// Creates root + each folder level of path ('/' or '\\' separated), ignoring folders that exist.
void MakeEntryDirectories(LPCWSTR root, LPCWSTR path);
// True for a path that is absolute or has a ".." part: such a path may leave its root folder.
bool PathLeavesRoot(LPCWSTR path);
