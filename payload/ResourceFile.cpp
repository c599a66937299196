#include "payload/ResourceFile.h"

#include <limits.h>
#include <stdlib.h>
#include <string.h>

#include <new>

namespace {
constexpr int kZeroTail = 16;
}  // namespace

CResourceFile::CResourceFile()
    : m_pData(nullptr), m_nSize(0), m_nPos(0), m_bAccessBlocked(FALSE), m_bOpen(FALSE), m_bBufferNotOwned(FALSE) {}

CResourceFile::~CResourceFile() { CResourceFile::Close(); }

void CResourceFile::Close() {
    m_bOpen = FALSE;
    if (m_pData && !m_bBufferNotOwned) delete[] m_pData;
    m_pData = nullptr;
    m_nSize = 0;
    m_nPos = 0;
}

BYTE* CResourceFile::TakeBuffer() {
    if (!m_bOpen || m_bAccessBlocked) return nullptr;
    m_bBufferNotOwned = TRUE;
    return m_pData;
}

BYTE* CResourceFile::CopyBuffer() {
    if (!m_bOpen || m_bAccessBlocked) return nullptr;
    size_t size = static_cast<size_t>(m_nSize) + 2;
    BYTE* copy = static_cast<BYTE*>(calloc(size, 1));
    if (!copy) return nullptr;
    if (m_pData && m_nSize > 0) memcpy(copy, m_pData, static_cast<size_t>(m_nSize));
    return copy;
}

BOOL CResourceFile::OpenResource(HINSTANCE module, LPCWSTR id, LPCWSTR type) {
    Close();
    if (!id || !type) return FALSE;
    HRSRC info = ::FindResourceW(module, id, type);
    if (!info) return FALSE;
    // Zero is also the size of an empty resource: only an error code tells the two apart.
    ::SetLastError(ERROR_SUCCESS);
    DWORD size = ::SizeofResource(module, info);
    if ((size == 0 && ::GetLastError() != ERROR_SUCCESS) || size > static_cast<DWORD>(INT_MAX - kZeroTail))
        return FALSE;
    HGLOBAL loaded = ::LoadResource(module, info);
    if (!loaded) return FALSE;
    const void* bytes = ::LockResource(loaded);
    if (!bytes) return FALSE;
    // The size comes from the executable: a copy that does not fit in memory fails the open.
    BYTE* buffer = new (std::nothrow) BYTE[size + kZeroTail];
    if (!buffer) return FALSE;
    memcpy(buffer, bytes, size);
    memset(buffer + size, 0, kZeroTail);
    m_pData = buffer;
    m_nSize = static_cast<int>(size);
    m_nPos = 0;
    m_bBufferNotOwned = FALSE;
    m_bOpen = TRUE;
    return TRUE;
}

int CResourceFile::Read(BYTE* destination, int maxCount) {
    if (destination) destination[0] = 0;
    if (!m_bOpen || !m_pData || m_bAccessBlocked || m_nPos >= m_nSize) return 0;
    int remaining = m_nSize - m_nPos;
    if (destination) {
        int copied = maxCount < remaining ? maxCount : remaining;
        if (copied > 0) memcpy(destination, m_pData + m_nPos, static_cast<size_t>(copied));
        m_nPos = m_nSize;
    }
    return remaining;
}

int CResourceFile::Seek(int offset, int origin) {
    if (!m_bOpen) return -1;
    long long position;
    switch (origin) {
        case 1:
            position = static_cast<long long>(m_nPos) + offset;
            break;
        case 2:
            m_nPos = m_nSize;
            return m_nSize;
        default:
            position = offset;
            break;
    }
    if (position > m_nSize || position < 0) return -1;
    m_nPos = static_cast<int>(position);
    return m_nPos;
}

int CResourceFile::Rewind() { return Seek(0, 0); }

int CResourceFile::MoveToEnd() { return Seek(0, 2); }

void CResourceFile::AttachBuffer(BYTE* data, DWORD size) {
    // A size beyond the signed range could not be read back through GetSize.
    if (!data || size == 0 || size > static_cast<DWORD>(INT_MAX)) return;
    m_nSize = static_cast<int>(size);
    m_pData = data;
    m_bAccessBlocked = FALSE;
    m_bBufferNotOwned = TRUE;
    m_bOpen = TRUE;
}
