#include "framework/CStdioFile.h"

#include "framework/CFileException.h"

#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

CStdioFile::CStdioFile(LPCWSTR fileName, UINT openFlags) {
    CFileException error;
    if (!Open(fileName, openFlags, &error)) throw new CFileException(error.m_cause, error.m_lOsError, fileName);
}

// Data still buffered is written on a best-effort basis: a destructor has no way to report.
CStdioFile::~CStdioFile() {
    if (IsOpen()) {
        try {
            Flush();
        } catch (CFileException* error) {
            error->Delete();
        }
    }
    CStdioFile::Abort();
}

BOOL CStdioFile::Open(LPCWSTR fileName, UINT openFlags, CFileException* error) {
    Abort();
    m_bText = (openFlags & typeBinary) == 0;
    return CFile::Open(fileName, openFlags & ~(typeText | typeBinary), error);
}

void CStdioFile::Write(const void* data, UINT count) { Append(static_cast<const char*>(data), count); }

void CStdioFile::WriteString(LPCWSTR text) {
    if (!text) return;
    // The whole string is converted before any of it is buffered, so a failure writes nothing.
    ByteBuffer converted;
    char bytes[MB_LEN_MAX];
    mbstate_t state;
    memset(&state, 0, sizeof state);
    for (const wchar_t* p = text; *p; ++p) {
        if (*p == L'\n' && m_bText) converted.Append('\r');
        size_t length = wcrtomb(bytes, *p, &state);
        if (length == static_cast<size_t>(-1))
            CFileException::ThrowOsError(ERROR_NO_UNICODE_TRANSLATION, m_strFileName);
        converted.Append(bytes, length);
    }
    Append(converted.Data(), converted.Size());
}

void CStdioFile::Append(const char* data, size_t count) {
    if (!IsOpen()) CFileException::ThrowOsError(ERROR_INVALID_HANDLE, m_strFileName);
    m_buffer.Append(data, count);
    if (m_buffer.Size() >= kBufferSize) Flush();
}

void CStdioFile::Flush() {
    if (m_buffer.IsEmpty()) return;
    ByteBuffer pending;
    pending.Swap(m_buffer);
    CFile::Write(pending.Data(), static_cast<UINT>(pending.Size()));
}

void CStdioFile::Close() {
    if (!IsOpen()) return;
    try {
        Flush();
    } catch (CFileException*) {
        CFile::Abort();
        throw;
    }
    CFile::Close();
}

void CStdioFile::Abort() {
    m_buffer.Clear();
    CFile::Abort();
}
