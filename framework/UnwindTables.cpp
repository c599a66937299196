// Finds the unwind table entry of a code address for the C++ exception unwinder.
//
// The compiler's start-up objects register the executable's .eh_frame section (its DWARF call
// frame information) at start-up and the unwinder asks for the entry covering each frame it
// passes. The run-time's own version of these three functions sorts every entry on the first
// exception and keeps search trees, some 9 KB of code for a lookup that is not needed: this
// program throws rarely, on one thread, and carries a few dozen entries, so a walk through them
// is as good.
#include "framework/UnwindTables.h"

#include <stdint.h>
#include <string.h>

namespace {
// Pointer encodings (DW_EH_PE_*): the low four bits give the format, the next three what the
// value is relative to.
constexpr uint8_t kEncodingOmit = 0xff;
constexpr uint8_t kFormatMask = 0x0f;
constexpr uint8_t kAbsolute = 0x00, kUleb128 = 0x01, kUdata2 = 0x02, kUdata4 = 0x03, kUdata8 = 0x04;
constexpr uint8_t kSleb128 = 0x09, kSdata2 = 0x0a, kSdata4 = 0x0b, kSdata8 = 0x0c;
constexpr uint8_t kRelativeMask = 0x70, kPcRelative = 0x10;
constexpr uint8_t kIndirect = 0x80;

// The start-up objects hand over a block of their own for each registration; it is larger than
// this.
struct Registration {
    const uint8_t* begin;
    Registration* next;
};
Registration* g_registrations = nullptr;

uint32_t Read32(const uint8_t* p) {
    uint32_t value;
    memcpy(&value, p, sizeof value);
    return value;
}

// Reads a LEB128 number at *p and moves *p past it; a signed one takes the sign of the last
// byte's bit 6.
uintptr_t ReadLeb128(const uint8_t** p, bool isSigned) {
    uintptr_t value = 0;
    unsigned shift = 0;
    uint8_t byte;
    do {
        byte = *(*p)++;
        if (shift < 8 * sizeof value) value |= static_cast<uintptr_t>(byte & 0x7f) << shift;
        shift += 7;
    } while (byte & 0x80);
    if (isSigned && shift < 8 * sizeof value && (byte & 0x40)) value |= ~static_cast<uintptr_t>(0) << shift;
    return value;
}

// Reads a pointer of the given encoding at *p and moves *p past it. False for an encoding the
// compiler does not give this target (relative to text, data or function start, or aligned).
bool ReadEncoded(uint8_t encoding, const uint8_t** p, uintptr_t* value) {
    const uint8_t* start = *p;
    uintptr_t result;
    switch (encoding & kFormatMask) {
        case kAbsolute:
        case kUdata4:
        case kSdata4:
            result = Read32(*p);
            *p += 4;
            break;
        case kUdata8:
        case kSdata8:
            result = Read32(*p);  // the low half: addresses here have 32 bits
            *p += 8;
            break;
        case kUdata2:
            result = static_cast<uint16_t>((*p)[0] | ((*p)[1] << 8));
            *p += 2;
            break;
        case kSdata2:
            result = static_cast<uintptr_t>(static_cast<int16_t>((*p)[0] | ((*p)[1] << 8)));
            *p += 2;
            break;
        case kUleb128:
        case kSleb128:
            result = ReadLeb128(p, (encoding & kFormatMask) == kSleb128);
            break;
        default:
            return false;
    }
    switch (encoding & kRelativeMask) {
        case 0:
            break;
        case kPcRelative:
            result += reinterpret_cast<uintptr_t>(start);
            break;
        default:
            return false;
    }
    if (result && (encoding & kIndirect)) result = *reinterpret_cast<const uintptr_t*>(result);
    *value = result;
    return true;
}

// The pointer encoding of the addresses in the entries of a common information entry (CIE):
// given by the 'R' letter of its augmentation, absolute without one. kEncodingOmit for a CIE
// whose personality pointer this reader cannot step over.
uint8_t AddressEncoding(const uint8_t* cie) {
    const uint8_t* p = cie + 8;  // past the length and the CIE id
    uint8_t version = *p++;
    const char* augmentation = reinterpret_cast<const char*>(p);
    p += strlen(augmentation) + 1;
    if (version >= 4) {  // address and segment selector sizes
        if (p[0] != sizeof(void*) || p[1] != 0) return kEncodingOmit;
        p += 2;
    }
    ReadLeb128(&p, false);  // code alignment
    ReadLeb128(&p, true);   // data alignment
    if (version == 1) {
        ++p;  // return address register
    } else {
        ReadLeb128(&p, false);
    }
    if (augmentation[0] != 'z') return kAbsolute;
    ReadLeb128(&p, false);  // augmentation data length
    // The letters after 'z' name the data in order; the address encoding is 'R''s. Reading stops,
    // with absolute addresses, at the first letter it does not know, as the unwinder's does.
    for (const char* letter = augmentation + 1;; ++letter) {
        if (*letter == 'R') return *p;
        if (*letter == 'L') {
            ++p;  // the encoding of the language-specific data pointer
        } else if (*letter == 'P') {
            uint8_t encoding = *p++;
            uintptr_t personality;
            if (!ReadEncoded(static_cast<uint8_t>(encoding & ~kIndirect), &p, &personality)) return kEncodingOmit;
        } else {
            return kAbsolute;
        }
    }
}

// Walks the entries of one registered section up to its zero terminator.
// Each object file's entries share one CIE, so its encoding is read once for a run of them.
const void* FindInSection(const uint8_t* section, uintptr_t pc, DwarfEhBases* bases) {
    const uint8_t* lastCie = nullptr;
    uint8_t encoding = kEncodingOmit;
    for (const uint8_t* entry = section;;) {
        uint32_t length = Read32(entry);
        if (length == 0 || length == 0xffffffff) return nullptr;  // the end, or a 64-bit section
        uint32_t cieOffset = Read32(entry + 4);
        if (cieOffset != 0) {  // a frame description entry (FDE); 0 marks a CIE
            const uint8_t* cie = entry + 4 - cieOffset;
            if (cie != lastCie) {
                encoding = AddressEncoding(cie);
                lastCie = cie;
            }
            const uint8_t* p = entry + 8;
            uintptr_t begin, range;
            if (encoding != kEncodingOmit && ReadEncoded(encoding, &p, &begin) &&
                ReadEncoded(encoding & kFormatMask, &p, &range) && begin != 0 && pc - begin < range) {
                bases->tbase = nullptr;
                bases->dbase = nullptr;
                bases->func = reinterpret_cast<void*>(begin);
                return entry;
            }
        }
        entry += 4 + length;
    }
}
}  // namespace

extern "C" {
void __register_frame_info(const void* begin, void* object) {
    if (!begin || Read32(static_cast<const uint8_t*>(begin)) == 0) return;
    Registration* registration = static_cast<Registration*>(object);
    registration->begin = static_cast<const uint8_t*>(begin);
    registration->next = g_registrations;
    g_registrations = registration;
}

void* __deregister_frame_info(const void* begin) {
    for (Registration** link = &g_registrations; *link; link = &(*link)->next) {
        if ((*link)->begin == begin) {
            Registration* found = *link;
            *link = found->next;
            return found;
        }
    }
    return nullptr;
}

const void* _Unwind_Find_FDE(void* pc, DwarfEhBases* bases) {
    for (Registration* registration = g_registrations; registration; registration = registration->next) {
        const void* entry = FindInSection(registration->begin, reinterpret_cast<uintptr_t>(pc), bases);
        if (entry) return entry;
    }
    return nullptr;
}
}
