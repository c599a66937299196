// Paths of build outputs the tests read, as Windows paths (Wine maps the Linux root to Z:).
#pragma once

#include <string>

inline std::wstring BuiltFile(const char* linuxPath) {
    std::wstring path = L"Z:";
    for (const char* p = linuxPath; *p; ++p) path += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
    return path;
}
