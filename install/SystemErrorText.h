#pragma once
#include "framework/CString.h"

// The system's message for an error code from GetLastError(), without its trailing line break.
// Never fails: a code the system has no message for gives "Unknown error code %08x (%d)" with the
// whole code in hexadecimal and its low 16 bits in decimal. Insert sequences such as %1 stay in the
// text as they are, because no arguments exist to fill them.
CString GetSystemErrorText(DWORD code);

// What the log says of a failed call: "system error 5: " and the system's message. code is a Win32
// error code, or an HRESULT (which has its top bit set; it is shown in hexadecimal, with the
// message of the Win32 code inside it where it carries one).
CString DescribeSystemError(DWORD code);
// text with "(system error ...)" after it; text alone when code is 0, the description alone when
// text is empty.
CString WithSystemError(const CString& text, DWORD code);
