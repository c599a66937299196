#pragma once
// Drives code that runs modal loops (DoModal, message boxes) from inside the test: the action runs
// on the test's own thread, from a thread timer that the modal loop dispatches.
#include "framework/CString.h"
#include "tests/support/Printing.h"

#include <functional>

// Calls action once, delayMs after the next modal loop (or any message loop) starts pumping.
void RunDuringModalLoop(std::function<void()> action, UINT delayMs = 100);

// Waits, pumping messages, until predicate() holds or timeoutMs passes; returns the last answer.
bool PumpUntil(const std::function<bool()>& predicate, DWORD timeoutMs);

// A visible top-level window of this thread with the given title, or null.
HWND FindThreadWindow(LPCWSTR title);
CString WindowText(HWND window);
CString DialogItemText(HWND dialog, int id);
// The message text of a message box: its longest static text.
CString MessageBoxText(HWND box);
