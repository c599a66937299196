#pragma once
// The byte source minizip reads an archive through: a Win32 handle (a duplicate of the caller's,
// or a file opened by name) or a memory block read in place. A handle source may start anywhere
// in its file: positions are measured from where the handle stood when the stream was opened.
#include "payload/Archive.h"

#include <unzip.h>

struct ArchiveStream {
    bool isHandle;
    bool canSeek;
    HANDLE handle;
    bool hadError;
    uint32_t initialOffset;
    const BYTE* data;
    uint32_t length;
    uint32_t position;
};

// Returns a new stream, or null with the reason in *result (ArcBadArgs, ArcNoDuplicate, ArcNoFile,
// ArcReadFailed when out of memory).
ArchiveStream* StreamOpen(const void* source, uint32_t length, ArcIoKind kind, ArchiveResult* result);
// Reads size * count bytes at most; returns the number of whole items read.
uint32_t StreamRead(ArchiveStream* stream, void* destination, uint32_t size, uint32_t count);
// origin 0 from the archive's start, 1 from the position, 2 from the end. 0 when moved.
int StreamSeek(ArchiveStream* stream, uint32_t offset, int origin);
uint32_t StreamTell(ArchiveStream* stream);
// True after a failed handle read: tells an error from the end of the data.
bool StreamError(ArchiveStream* stream);
// Closes a handle source's handle and frees the stream.
void StreamClose(ArchiveStream* stream);

// minizip's I/O definition over ArchiveStream. The "file name" given to unzOpen2 is the
// ArchiveStream itself, opened beforehand; minizip closes (and so frees) it with the archive.
void FillArchiveStreamFunctions(zlib_filefunc_def* functions);
