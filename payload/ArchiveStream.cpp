#include "payload/ArchiveStream.h"

#include <string.h>
#include <new>

namespace {
bool IsDiskFile(HANDLE handle) { return ::GetFileType(handle) == FILE_TYPE_DISK; }

// Seek results handed to minizip; anything but 0 is a failure to it.
constexpr int kSeekNotSeekable = 29;
constexpr int kSeekBadOrigin = 19;
constexpr int kSeekFailed = -1;

bool MoveHandle(HANDLE handle, LONGLONG distance, DWORD method) {
    LARGE_INTEGER move;
    move.QuadPart = distance;
    return ::SetFilePointerEx(handle, move, nullptr, method) != FALSE;
}

LONGLONG HandlePosition(HANDLE handle) {
    LARGE_INTEGER zero, position;
    zero.QuadPart = 0;
    if (!::SetFilePointerEx(handle, zero, &position, FILE_CURRENT)) return -1;
    return position.QuadPart;
}
}  // namespace

ArchiveStream* StreamOpen(const void* source, uint32_t length, ArcIoKind kind, ArchiveResult* result) {
    if (kind != ArcIoHandle && kind != ArcIoFileName && kind != ArcIoMemory) {
        *result = ArcBadArgs;
        return nullptr;
    }
    if (!source && kind != ArcIoMemory) {
        *result = kind == ArcIoHandle ? ArcNoDuplicate : ArcNoFile;
        return nullptr;
    }
    ArchiveStream* stream = new (std::nothrow) ArchiveStream();
    if (!stream) {
        *result = ArcReadFailed;
        return nullptr;
    }
    stream->handle = INVALID_HANDLE_VALUE;
    if (kind == ArcIoMemory) {
        stream->data = static_cast<const BYTE*>(source);
        stream->length = source ? length : 0;
        stream->canSeek = true;
        *result = ArcOk;
        return stream;
    }

    stream->isHandle = true;
    if (kind == ArcIoHandle) {
        HANDLE process = ::GetCurrentProcess();
        if (!::DuplicateHandle(process, const_cast<HANDLE>(source), process, &stream->handle, 0, FALSE,
                               DUPLICATE_SAME_ACCESS)) {
            delete stream;
            *result = ArcNoDuplicate;
            return nullptr;
        }
    } else {
        stream->handle = ::CreateFileW(static_cast<LPCWSTR>(source), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (stream->handle == INVALID_HANDLE_VALUE) {
            delete stream;
            *result = ArcNoFile;
            return nullptr;
        }
    }
    stream->canSeek = IsDiskFile(stream->handle);
    if (stream->canSeek) {
        LONGLONG position = HandlePosition(stream->handle);
        // Offsets inside the archive are 32-bit: an archive that starts beyond that is unreadable.
        stream->initialOffset = (position >= 0 && position <= 0xFFFFFFFFLL) ? static_cast<uint32_t>(position) : 0;
    }
    *result = ArcOk;
    return stream;
}

uint32_t StreamRead(ArchiveStream* stream, void* destination, uint32_t size, uint32_t count) {
    if (size == 0) return 0;
    uint64_t wanted64 = static_cast<uint64_t>(size) * count;
    uint32_t wanted = wanted64 > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(wanted64);
    if (stream->isHandle) {
        DWORD read = 0;
        if (!::ReadFile(stream->handle, destination, wanted, &read, nullptr)) {
            stream->hadError = true;
            read = 0;
        }
        return read / size;
    }
    uint32_t available = stream->position < stream->length ? stream->length - stream->position : 0;
    uint32_t copied = wanted < available ? wanted : available;
    if (copied) memcpy(destination, stream->data + stream->position, copied);
    stream->position += copied;
    return copied / size;
}

int StreamSeek(ArchiveStream* stream, uint32_t offset, int origin) {
    if (stream->isHandle) {
        if (!stream->canSeek) return kSeekNotSeekable;
        bool moved;
        switch (origin) {
            case 0:
                moved = MoveHandle(stream->handle, static_cast<LONGLONG>(stream->initialOffset) + offset, FILE_BEGIN);
                break;
            case 1:
                moved = MoveHandle(stream->handle, static_cast<int32_t>(offset), FILE_CURRENT);
                break;
            case 2:
                moved = MoveHandle(stream->handle, static_cast<int32_t>(offset), FILE_END);
                break;
            default:
                return kSeekBadOrigin;
        }
        // A move before the start of the file fails; going on would read from the wrong place.
        return moved ? 0 : kSeekFailed;
    }
    switch (origin) {
        case 0:
            stream->position = offset;
            break;
        case 1:
            stream->position += offset;
            break;
        case 2:
            stream->position = stream->length + offset;
            break;
        default:
            break;
    }
    return 0;
}

uint32_t StreamTell(ArchiveStream* stream) {
    if (!stream->isHandle) return stream->position;
    if (!stream->canSeek) return 0;
    LONGLONG position = HandlePosition(stream->handle);
    if (position < static_cast<LONGLONG>(stream->initialOffset)) return 0;
    return static_cast<uint32_t>(position - stream->initialOffset);
}

bool StreamError(ArchiveStream* stream) { return stream->isHandle && stream->hadError; }

void StreamClose(ArchiveStream* stream) {
    if (!stream) return;
    if (stream->isHandle && stream->handle != INVALID_HANDLE_VALUE) ::CloseHandle(stream->handle);
    delete stream;
}

namespace {
voidpf ZCALLBACK OpenCallback(voidpf, const char* source, int) { return const_cast<char*>(source); }

uLong ZCALLBACK ReadCallback(voidpf, voidpf stream, void* buffer, uLong size) {
    return StreamRead(static_cast<ArchiveStream*>(stream), buffer, 1, size);
}

uLong ZCALLBACK WriteCallback(voidpf, voidpf, const void*, uLong) { return 0; }

long ZCALLBACK TellCallback(voidpf, voidpf stream) {
    return static_cast<long>(StreamTell(static_cast<ArchiveStream*>(stream)));
}

long ZCALLBACK SeekCallback(voidpf, voidpf stream, uLong offset, int origin) {
    return StreamSeek(static_cast<ArchiveStream*>(stream), offset, origin);
}

int ZCALLBACK CloseCallback(voidpf, voidpf stream) {
    StreamClose(static_cast<ArchiveStream*>(stream));
    return 0;
}

int ZCALLBACK ErrorCallback(voidpf, voidpf stream) { return StreamError(static_cast<ArchiveStream*>(stream)) ? 1 : 0; }
}  // namespace

void FillArchiveStreamFunctions(zlib_filefunc_def* functions) {
    functions->zopen_file = OpenCallback;
    functions->zread_file = ReadCallback;
    functions->zwrite_file = WriteCallback;
    functions->ztell_file = TellCallback;
    functions->zseek_file = SeekCallback;
    functions->zclose_file = CloseCallback;
    functions->zerror_file = ErrorCallback;
    functions->opaque = nullptr;
}
