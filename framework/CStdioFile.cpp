#include "framework/CStdioFile.h"

#include "framework/CFileException.h"

#include <wchar.h>

#include <memory>

CStdioFile::CStdioFile(LPCWSTR fileName, UINT openFlags, UINT codePage) : m_nCodePage(codePage) {
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
    // Line by line: the line feeds stay single bytes whatever the code page.
    ByteBuffer converted;
    for (const wchar_t* line = text; *line;) {
        const wchar_t* end = wcschr(line, L'\n');
        int length = static_cast<int>(end ? end - line : wcslen(line));
        if (!Encode(line, length, m_nCodePage, converted))
            CFileException::ThrowOsError(ERROR_NO_UNICODE_TRANSLATION, m_strFileName);
        if (!end) break;
        converted.Append(m_bText ? "\r\n" : "\n", m_bText ? 2 : 1);
        line = end + 1;
    }
    Append(converted.Data(), converted.Size());
}

bool CStdioFile::Encode(LPCWSTR text, int length, UINT codePage, ByteBuffer& bytes) {
    if (length == 0) return true;
    if (codePage == CP_OEMCP) codePage = ::GetOEMCP();
    if (codePage == CP_ACP) codePage = ::GetACP();
    // A system set to UTF-8 holds every character; that page takes neither the flag nor the
    // default-character report, only the refusal of broken surrogates.
    const bool utf8 = codePage == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    int size = ::WideCharToMultiByte(codePage, flags, text, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return false;
    std::unique_ptr<char[]> converted(new char[size]);
    BOOL usedDefault = FALSE;
    if (::WideCharToMultiByte(codePage, flags, text, length, converted.get(), size, nullptr,
                              utf8 ? nullptr : &usedDefault) != size ||
        usedDefault)
        return false;
    bytes.Append(converted.get(), static_cast<size_t>(size));
    return true;
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
