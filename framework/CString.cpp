#include "framework/CString.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <wchar.h>

wchar_t CString::s_empty[1] = {0};

CString::CString(LPCWSTR text) {
    if (text) Append(text, static_cast<int>(wcslen(text)));
}

CString::CString(LPCWSTR text, int length) {
    if (text && length > 0) Append(text, length);
}

CString::CString(const CString& other) { Append(other.m_pData, other.m_nLength); }

CString::CString(CString&& other) noexcept
    : m_pData(other.m_pData), m_nLength(other.m_nLength), m_nCapacity(other.m_nCapacity) {
    other.m_pData = s_empty;
    other.m_nLength = 0;
    other.m_nCapacity = 0;
}

CString::~CString() {
    if (m_nCapacity) delete[] m_pData;
}

CString& CString::operator=(const CString& other) {
    if (this != &other) {
        m_nLength = 0;
        if (m_nCapacity) m_pData[0] = 0;
        Append(other.m_pData, other.m_nLength);
    }
    return *this;
}

CString& CString::operator=(CString&& other) noexcept {
    if (this != &other) {
        if (m_nCapacity) delete[] m_pData;
        m_pData = other.m_pData;
        m_nLength = other.m_nLength;
        m_nCapacity = other.m_nCapacity;
        other.m_pData = s_empty;
        other.m_nLength = 0;
        other.m_nCapacity = 0;
    }
    return *this;
}

CString& CString::operator=(LPCWSTR text) {
    CString copy(text);  // text may point into this string
    return *this = static_cast<CString&&>(copy);
}

CString& CString::operator+=(LPCWSTR text) {
    return text ? Append(text, static_cast<int>(wcslen(text))) : *this;
}

void CString::Empty() {
    m_nLength = 0;
    if (m_nCapacity) m_pData[0] = 0;
}

void CString::Reserve(int capacity) {
    if (capacity <= m_nCapacity) return;
    int grown = m_nCapacity + m_nCapacity / 2;
    if (grown > capacity) capacity = grown;
    wchar_t* data = new wchar_t[capacity + 1];
    wmemcpy(data, m_pData, m_nLength + 1);
    if (m_nCapacity) delete[] m_pData;
    m_pData = data;
    m_nCapacity = capacity;
}

CString& CString::Append(LPCWSTR text, int length) {
    if (length <= 0) return *this;
    if (m_nLength + length > m_nCapacity) {
        // text may point into our own buffer, which Reserve is about to free.
        CString keep;
        if (text >= m_pData && text <= m_pData + m_nLength) {
            keep = CString(text, length);
            text = keep.m_pData;
        }
        Reserve(m_nLength + length);
        wmemcpy(m_pData + m_nLength, text, length);
    } else {
        wmemmove(m_pData + m_nLength, text, length);
    }
    m_nLength += length;
    m_pData[m_nLength] = 0;
    return *this;
}

int CString::Find(wchar_t ch, int start) const {
    if (start < 0) start = 0;
    for (int i = start; i < m_nLength; ++i)
        if (m_pData[i] == ch) return i;
    return -1;
}

int CString::Find(LPCWSTR sub, int start) const {
    if (start < 0) start = 0;
    if (!sub || start > m_nLength) return -1;
    const wchar_t* found = wcsstr(m_pData + start, sub);
    return found ? static_cast<int>(found - m_pData) : -1;
}

int CString::ReverseFind(wchar_t ch) const {
    for (int i = m_nLength - 1; i >= 0; --i)
        if (m_pData[i] == ch) return i;
    return -1;
}

CString CString::Left(int count) const {
    if (count < 0) count = 0;
    if (count > m_nLength) count = m_nLength;
    return CString(m_pData, count);
}

CString CString::Mid(int first) const { return Mid(first, m_nLength); }

CString CString::Mid(int first, int count) const {
    if (first < 0) first = 0;
    if (first > m_nLength) first = m_nLength;
    if (count < 0) count = 0;
    if (count > m_nLength - first) count = m_nLength - first;
    return CString(m_pData + first, count);
}

void CString::Truncate(int length) {
    if (length >= 0 && length < m_nLength) {
        m_nLength = length;
        m_pData[length] = 0;
    }
}

void CString::Format(LPCWSTR format, ...) {
    va_list args;
    va_start(args, format);
    FormatV(format, args);
    va_end(args);
}

void CString::FormatV(LPCWSTR format, va_list args) {
    int capacity = 128;
    for (;;) {
        Reserve(capacity);
        va_list copy;
        va_copy(copy, args);
        // _vsnwprintf returns -1 when the text does not fit (and then may leave it unterminated).
        int written = _vsnwprintf(m_pData, m_nCapacity, format, copy);
        va_end(copy);
        if (written >= 0 && written < m_nCapacity) {
            m_nLength = written;
            m_pData[written] = 0;
            return;
        }
        capacity = m_nCapacity * 2;
    }
}

LPWSTR CString::GetBuffer(int minLength) {
    Reserve(minLength > m_nLength ? minLength : (m_nLength > 0 ? m_nLength : 1));
    return m_pData;
}

void CString::ReleaseBuffer(int newLength) {
    if (!m_nCapacity) return;
    if (newLength < 0) newLength = static_cast<int>(wcsnlen(m_pData, m_nCapacity));
    if (newLength > m_nCapacity) newLength = m_nCapacity;
    m_nLength = newLength;
    m_pData[newLength] = 0;
}

bool operator==(const CString& a, const CString& b) {
    return a.m_nLength == b.m_nLength && wmemcmp(a.m_pData, b.m_pData, a.m_nLength) == 0;
}

bool operator==(const CString& a, LPCWSTR b) { return wcscmp(a.m_pData, b ? b : L"") == 0; }

CString operator+(const CString& a, const CString& b) {
    CString result(a);
    result += b;
    return result;
}

CString operator+(const CString& a, LPCWSTR b) {
    CString result(a);
    result += b;
    return result;
}

CString operator+(LPCWSTR a, const CString& b) {
    CString result(a);
    result += b;
    return result;
}
