#pragma once
// An entry of a ZIP archive that is all in memory, read straight from the block: its compressed
// bytes go to inflate (or are copied, when stored) in place, without the ZIP reader's copy into its
// read buffer.
#include <windows.h>

#include <stdint.h>
#include <zlib.h>

struct DirectEntry {
    z_stream inflater;  // initialised for deflated entries only
    bool deflated;
    uint64_t restOut;  // bytes still to deliver by the recorded size
    uLong crc;
    uLong expectedCrc;
};

// Starts reading the compressedSize bytes at data (deflated, or else stored) as an entry of size
// bytes with the CRC-32 expectedCrc. False when inflate cannot start; there is then nothing to end.
bool StartDirect(DirectEntry* direct,
                 const BYTE* data,
                 uint64_t compressedSize,
                 bool deflated,
                 uint64_t size,
                 uLong expectedCrc);
// Delivers at most length bytes of the entry, never past its recorded size: the count delivered,
// 0 at the end of the data, or a negative zlib error.
int ReadDirect(DirectEntry* direct, BYTE* destination, unsigned length);
// Ends the entry; true when it delivered its recorded size and its CRC-32 matched.
bool EndDirect(DirectEntry* direct);
