// The archive API's conversion, time and folder routines (payload/Archive.h).
#include "payload/Archive.h"

#include <string.h>
#include <wchar.h>

int WideToAnsi(LPCWSTR text, char* buffer, int bufferBytes) {
    if (!buffer || bufferBytes <= 0) return 0;
    memset(buffer, 0, static_cast<size_t>(bufferBytes));
    if (!text) return 0;
    int written = ::WideCharToMultiByte(CP_ACP, 0, text, -1, buffer, bufferBytes, nullptr, nullptr);
    if (written == 0) memset(buffer, 0, static_cast<size_t>(bufferBytes));
    return written;
}

int AnsiToWide(const char* text, wchar_t* buffer, int bufferChars) {
    if (!buffer || bufferChars <= 0) return 0;
    wmemset(buffer, 0, static_cast<size_t>(bufferChars));
    if (!text) return 0;
    int written = ::MultiByteToWideChar(CP_ACP, 0, text, -1, buffer, bufferChars);
    if (written == 0) wmemset(buffer, 0, static_cast<size_t>(bufferChars));
    return written;
}

bool UnixTimeToFileTime(int32_t seconds, FILETIME* fileTime) {
    // Whole days since 1970-01-01, rounded towards the past, and the second of that day. Every
    // value below fits 32 bits (days stay within 24,856 of 1970), which keeps 64-bit division and
    // its run-time helpers out of the program.
    int32_t days = seconds / 86400;
    int32_t secondOfDay = seconds % 86400;
    if (secondOfDay < 0) {
        secondOfDay += 86400;
        --days;
    }
    // Days to a civil date (proleptic Gregorian calendar).
    days += 719468;
    int32_t era = (days >= 0 ? days : days - 146096) / 146097;
    int32_t dayOfEra = days - era * 146097;
    int32_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    int32_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    int32_t monthIndex = (5 * dayOfYear + 2) / 153;
    int32_t day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    int32_t month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    int32_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);

    SYSTEMTIME time = {};
    time.wYear = static_cast<WORD>(year);
    time.wMonth = static_cast<WORD>(month);
    time.wDay = static_cast<WORD>(day);
    time.wHour = static_cast<WORD>(secondOfDay / 3600);
    time.wMinute = static_cast<WORD>(secondOfDay / 60 % 60);
    time.wSecond = static_cast<WORD>(secondOfDay % 60);
    return ::SystemTimeToFileTime(&time, fileTime) != FALSE;
}

void MakeEntryDirectories(LPCWSTR root, LPCWSTR path) {
    if (!root || !path || !*path) return;
    size_t length = wcslen(path);
    size_t split = length;
    while (split > 0 && path[split - 1] != L'/' && path[split - 1] != L'\\') --split;
    if (split > 0) {
        size_t parentLength = split - 1;
        if (parentLength >= MAX_PATH) return;
        wchar_t parent[MAX_PATH] = {};
        wmemcpy(parent, path, parentLength);
        MakeEntryDirectories(root, parent);
    }
    size_t rootLength = wcslen(root);
    if (rootLength + length >= MAX_PATH) return;
    wchar_t folder[MAX_PATH];
    wmemcpy(folder, root, rootLength);
    wmemcpy(folder + rootLength, path, length);
    folder[rootLength + length] = 0;
    ::CreateDirectoryW(folder, nullptr);
}

bool PathLeavesRoot(LPCWSTR path) {
    if (!path || !*path) return false;
    if (path[0] == L'/' || path[0] == L'\\' || path[1] == L':') return true;
    for (const wchar_t* part = path; *part;) {
        const wchar_t* end = part;
        while (*end && *end != L'/' && *end != L'\\') ++end;
        if (end - part == 2 && part[0] == L'.' && part[1] == L'.') return true;
        part = *end ? end + 1 : end;
    }
    return false;
}
