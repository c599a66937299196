#pragma once
// A buffered file for 8-bit text. In text mode (the default; typeBinary turns it off) every LF
// written becomes CR LF. Text is converted from UTF-16 under the C run-time's current locale;
// a character that the locale cannot represent makes the write fail with a CFileException*.
// Buffered data reaches the file when the buffer fills and on Close, which throws on failure.
#include "framework/ByteBuffer.h"
#include "framework/CFile.h"

class CStdioFile : public CFile {
public:
    CStdioFile() = default;
    // Opens the file and throws CFileException* when that fails.
    CStdioFile(LPCWSTR fileName, UINT openFlags);
    ~CStdioFile() override;

    BOOL Open(LPCWSTR fileName, UINT openFlags, CFileException* error = nullptr) override;
    // Raw bytes, kept in order with the text written before them.
    void Write(const void* data, UINT count) override;
    // Writes nothing when a character cannot be converted.
    virtual void WriteString(LPCWSTR text);
    void Flush();
    void Close() override;
    void Abort() override;

private:
    void Append(const char* data, size_t count);

    static constexpr size_t kBufferSize = 4096;
    ByteBuffer m_buffer;
    bool m_bText = true;
};
