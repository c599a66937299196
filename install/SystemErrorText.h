#pragma once
#include "framework/CString.h"

// The system's message for an error code from GetLastError(), without its trailing line break.
// Never fails: a code the system has no message for gives "Unknown error code %08x (%d)" with the
// whole code in hexadecimal and its low 16 bits in decimal. Insert sequences such as %1 stay in the
// text as they are, because no arguments exist to fill them.
CString GetSystemErrorText(DWORD code);
