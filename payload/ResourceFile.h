#pragma once
// A read-only file in memory holding a copy of one resource of a module. The object owns the
// buffer that OpenResource loads (m_nSize + 16 bytes, the 16 after the data zero) until Close,
// unless TakeBuffer has handed it over; an attached buffer always stays the caller's.
#include <windows.h>

class CResourceFile {
public:
    CResourceFile();
    virtual ~CResourceFile();
    CResourceFile(const CResourceFile&) = delete;
    CResourceFile& operator=(const CResourceFile&) = delete;

    // The slots below are in a fixed order; new operations go after AttachBuffer.
    virtual void Close();
    // Hands the loaded buffer to the caller (release with delete[]); null when closed or blocked.
    virtual BYTE* TakeBuffer();
    // A malloc'ed copy of the data followed by two zero bytes (release with free); null when
    // closed, blocked or out of memory.
    virtual BYTE* CopyBuffer();
    // module null: the running executable. id and type are integer resource names or strings.
    virtual BOOL OpenResource(HINSTANCE module, LPCWSTR id, LPCWSTR type);
    // Consumes everything from the position to the end and returns that count; copies at most
    // maxCount bytes of it. A null destination only counts and leaves the position alone.
    virtual int Read(BYTE* destination, int maxCount);
    // origin 0 from the start, 1 from the position, 2 to the end (offset ignored). Returns the
    // new position, or -1 (position unchanged) when closed or out of range.
    virtual int Seek(int offset, int origin);
    virtual int Rewind();
    virtual int MoveToEnd();
    // Reads a caller's buffer in place; never releases it. Ignored for null data or size 0.
    virtual void AttachBuffer(BYTE* data, DWORD size);

    BYTE* GetByteBuffer() const { return m_pData; }
    int GetSize() const { return m_nSize; }

protected:
    BYTE* m_pData;
    int m_nSize;
    int m_nPos;
    BOOL m_bAccessBlocked;
    BOOL m_bOpen;
    BOOL m_bBufferNotOwned;
};
