#pragma once
// What the installer's own pieces of the C++ exception run-time (ExceptionRuntime.cpp) promise.
#include <stddef.h>

// The room kept in front of each thrown object for the run-time's record of it: at least the
// run-time's reference count and exception header (96 bytes with this compiler), with room to
// spare. The run-time finds its record at a fixed distance in front of the object.
constexpr size_t kThrownObjectHeader = 128;
