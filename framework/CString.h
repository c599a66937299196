#pragma once
// A UTF-16 string with the operations the installer uses. The buffer is always zero-terminated;
// an empty string points at a shared empty literal and owns nothing.
#include <windows.h>

class CString {
public:
    CString() = default;
    CString(LPCWSTR text);  // NOLINT: converts like a string literal does
    CString(LPCWSTR text, int length);
    CString(const CString& other);
    CString(CString&& other) noexcept;
    ~CString();

    CString& operator=(const CString& other);
    CString& operator=(CString&& other) noexcept;
    CString& operator=(LPCWSTR text);

    CString& operator+=(const CString& text) { return Append(text.m_pData, text.m_nLength); }
    CString& operator+=(LPCWSTR text);
    CString& operator+=(wchar_t ch) { return Append(&ch, 1); }

    int GetLength() const { return m_nLength; }
    bool IsEmpty() const { return m_nLength == 0; }
    void Empty();
    LPCWSTR GetString() const { return m_pData; }
    operator LPCWSTR() const { return m_pData; }
    wchar_t GetAt(int index) const { return m_pData[index]; }
    wchar_t operator[](int index) const { return m_pData[index]; }

    // Index of the first match at or after start, or -1.
    int Find(wchar_t ch, int start = 0) const;
    int Find(LPCWSTR sub, int start = 0) const;
    // Index of the last occurrence of ch, or -1.
    int ReverseFind(wchar_t ch) const;
    CString Left(int count) const;
    CString Mid(int first) const;
    CString Mid(int first, int count) const;
    // Shortens the string to at most length characters.
    void Truncate(int length);

    // printf-style formatting with the Windows CRT's wide conventions (%s takes a wide string).
    void Format(LPCWSTR format, ...);
    void FormatV(LPCWSTR format, va_list args);

    // Room for at least minLength characters plus the terminator, for APIs that fill a buffer.
    // ReleaseBuffer(-1) takes the length up to the first zero.
    LPWSTR GetBuffer(int minLength);
    void ReleaseBuffer(int newLength = -1);

    friend bool operator==(const CString& a, const CString& b);
    friend bool operator==(const CString& a, LPCWSTR b);
    friend bool operator!=(const CString& a, const CString& b) { return !(a == b); }
    friend bool operator!=(const CString& a, LPCWSTR b) { return !(a == b); }

private:
    CString& Append(LPCWSTR text, int length);
    void Reserve(int capacity);

    static wchar_t s_empty[1];
    wchar_t* m_pData = s_empty;
    int m_nLength = 0;
    int m_nCapacity = 0;  // characters, terminator excluded; 0 while pointing at s_empty
};

CString operator+(const CString& a, const CString& b);
CString operator+(const CString& a, LPCWSTR b);
CString operator+(LPCWSTR a, const CString& b);
