#pragma once
// Seconds from the performance counter, for the benchmark programs.
#include <windows.h>

inline double Now() {
    static LARGE_INTEGER frequency = {};
    if (!frequency.QuadPart) ::QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER counter;
    ::QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}
