#include "framework/CFile.h"

#include "framework/CFileException.h"

const HANDLE CFile::hFileNull = INVALID_HANDLE_VALUE;

CFile::CFile() : m_hFile(hFileNull) {}

CFile::CFile(HANDLE file) : m_hFile(file) {}

CFile::~CFile() { CFile::Abort(); }

BOOL CFile::Open(LPCWSTR fileName, UINT openFlags, CFileException* error) {
    Abort();
    DWORD access = 0;
    switch (openFlags & 3) {
        case modeRead:
            access = GENERIC_READ;
            break;
        case modeWrite:
            access = GENERIC_WRITE;
            break;
        default:
            access = GENERIC_READ | GENERIC_WRITE;
            break;
    }
    DWORD share = 0;
    switch (openFlags & 0x70) {
        case shareDenyWrite:
            share = FILE_SHARE_READ;
            break;
        case shareDenyRead:
            share = FILE_SHARE_WRITE;
            break;
        case shareDenyNone:
            share = FILE_SHARE_READ | FILE_SHARE_WRITE;
            break;
        default:
            break;
    }
    DWORD creation = OPEN_EXISTING;
    if (openFlags & modeCreate) creation = (openFlags & modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;

    HANDLE file = fileName ? ::CreateFileW(fileName, access, share, nullptr, creation, FILE_ATTRIBUTE_NORMAL, nullptr)
                           : INVALID_HANDLE_VALUE;
    if (file == INVALID_HANDLE_VALUE) {
        LONG osError = fileName ? static_cast<LONG>(::GetLastError()) : ERROR_INVALID_NAME;
        if (error) {
            error->m_lOsError = osError;
            error->m_cause = CFileException::OsErrorToCause(osError);
            error->m_strFileName = fileName;
        }
        return FALSE;
    }
    m_hFile = file;
    m_strFileName = fileName;
    return TRUE;
}

void CFile::Write(const void* data, UINT count) {
    if (count == 0) return;
    if (!IsOpen()) CFileException::ThrowOsError(ERROR_INVALID_HANDLE, m_strFileName);
    DWORD written = 0;
    if (!::WriteFile(m_hFile, data, count, &written, nullptr))
        CFileException::ThrowOsError(static_cast<LONG>(::GetLastError()), m_strFileName);
    // A synchronous write that returns short has run out of room.
    if (written != count) CFileException::ThrowOsError(ERROR_DISK_FULL, m_strFileName);
}

void CFile::Flush() {
    if (!IsOpen()) return;
    if (!::FlushFileBuffers(m_hFile)) CFileException::ThrowOsError(static_cast<LONG>(::GetLastError()), m_strFileName);
}

void CFile::Close() {
    if (!IsOpen()) return;
    HANDLE file = m_hFile;
    m_hFile = hFileNull;
    if (!::CloseHandle(file)) CFileException::ThrowOsError(static_cast<LONG>(::GetLastError()), m_strFileName);
}

void CFile::Abort() {
    if (!IsOpen()) return;
    ::CloseHandle(m_hFile);
    m_hFile = hFileNull;
}
