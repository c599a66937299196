#pragma once
// The exception the file classes throw. Like the framework it stands in for, it is thrown by
// pointer (throw new CFileException(...)); whoever catches it calls Delete().
#include "framework/CString.h"

class CFileException {
public:
    enum Cause {
        none = 0,
        genericException = 1,
        fileNotFound = 2,
        badPath = 3,
        tooManyOpenFiles = 4,
        accessDenied = 5,
        invalidFile = 6,
        removeCurrentDir = 7,
        directoryFull = 8,
        badSeek = 9,
        hardIO = 10,
        sharingViolation = 11,
        lockViolation = 12,
        diskFull = 13,
        endOfFile = 14
    };

    explicit CFileException(int cause = none, LONG osError = -1, LPCWSTR fileName = nullptr);
    virtual ~CFileException() = default;

    // The system's text for m_lOsError, without its trailing line break, cut to maxChars - 1
    // characters and always zero-terminated. FALSE (and an empty text) when there is no such text.
    virtual BOOL GetErrorMessage(LPWSTR text, UINT maxChars, PUINT helpContext = nullptr) const;
    // Frees an exception that was thrown by pointer.
    void Delete() { delete this; }

    // Maps a Win32 error code to the nearest cause.
    static int OsErrorToCause(LONG osError);
    // Throws a heap-allocated exception for the Win32 error code.
    [[noreturn]] static void ThrowOsError(LONG osError, LPCWSTR fileName = nullptr);

    int m_cause;
    LONG m_lOsError;
    CString m_strFileName;
};
