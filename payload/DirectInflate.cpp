#include "payload/DirectInflate.h"

#include <string.h>

bool StartDirect(DirectEntry* direct,
                 const BYTE* data,
                 uint64_t compressedSize,
                 bool deflated,
                 uint64_t size,
                 uLong expectedCrc) {
    memset(direct, 0, sizeof *direct);
    direct->inflater.next_in = const_cast<BYTE*>(data);
    direct->inflater.avail_in = static_cast<uInt>(compressedSize);
    direct->deflated = deflated;
    if (deflated && inflateInit2(&direct->inflater, -MAX_WBITS) != Z_OK) return false;
    direct->restOut = size;
    direct->expectedCrc = expectedCrc;
    return true;
}

namespace {
// Output is inflated in pieces of this size, and the CRC-32 of each piece is taken right after it,
// while it is still in the cache.
constexpr uInt kCheckPiece = 512 * 1024;
}  // namespace

int ReadDirect(DirectEntry* direct, BYTE* destination, unsigned length) {
    uint32_t wanted = length < direct->restOut ? length : static_cast<uint32_t>(direct->restOut);
    z_stream& inflater = direct->inflater;
    uint32_t delivered = 0;
    int err = Z_OK;
    while (delivered < wanted && err == Z_OK) {
        uint32_t left = wanted - delivered;
        uInt piece = left < kCheckPiece ? left : kCheckPiece;
        BYTE* out = destination + delivered;
        if (!direct->deflated) {
            if (inflater.avail_in == 0) break;
            if (piece > inflater.avail_in) piece = inflater.avail_in;
            memcpy(out, inflater.next_in, piece);
            inflater.next_in += piece;
            inflater.avail_in -= piece;
        } else {
            inflater.next_out = out;
            inflater.avail_out = piece;
            err = inflate(&inflater, Z_SYNC_FLUSH);
            piece -= inflater.avail_out;
        }
        delivered += piece;
        direct->restOut -= piece;
        direct->crc = crc32(direct->crc, out, piece);
    }
    if (err != Z_OK && err != Z_STREAM_END) return err;
    return static_cast<int>(delivered);
}

bool EndDirect(DirectEntry* direct) {
    if (direct->deflated) inflateEnd(&direct->inflater);
    return direct->restOut == 0 && direct->crc == direct->expectedCrc;
}
