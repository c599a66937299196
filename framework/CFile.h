#pragma once
// A Win32 file opened for unbuffered binary access. Open reports failure by its result (and
// fills the caller's exception object, if one is given); Write and Close throw CFileException*.
// The destructor closes an open file and never throws.
#include "framework/CString.h"

class CFileException;

class CFile {
public:
    enum OpenFlags : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareCompat = 0x0000,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
        typeText = 0x4000,
        typeBinary = 0x8000,
    };
    static const HANDLE hFileNull;

    CFile();
    // Takes over a handle that the caller opened; the object closes it.
    explicit CFile(HANDLE file);
    virtual ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // modeCreate creates the file or truncates it (keeps it with modeNoTruncate); without it the
    // file must exist. shareCompat and shareExclusive both mean no sharing.
    virtual BOOL Open(LPCWSTR fileName, UINT openFlags, CFileException* error = nullptr);
    // Writes all count bytes or throws.
    virtual void Write(const void* data, UINT count);
    // Writes the system's buffers for the file to the disk or throws.
    virtual void Flush();
    // Closes the file; throws when the system reports a failure. Does nothing when not open.
    virtual void Close();
    // Closes the file, ignoring every failure.
    virtual void Abort();

    bool IsOpen() const { return m_hFile != hFileNull; }
    const CString& GetFilePath() const { return m_strFileName; }

    HANDLE m_hFile;

protected:
    CString m_strFileName;
};
