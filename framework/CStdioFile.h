#pragma once
// A buffered file for 8-bit text. In text mode (the default; typeBinary turns it off) every LF
// written becomes CR LF. Text is converted from UTF-16 to the code page given when the file is
// made (the ANSI one unless said otherwise), with no best-fit substitutes: a character that the
// page cannot hold makes the write fail with a CFileException*.
// Buffered data reaches the file when the buffer fills and on Close, which throws on failure.
#include "framework/ByteBuffer.h"
#include "framework/CFile.h"

class CStdioFile : public CFile {
public:
    explicit CStdioFile(UINT codePage = CP_ACP) : m_nCodePage(codePage) {}
    // Opens the file and throws CFileException* when that fails.
    CStdioFile(LPCWSTR fileName, UINT openFlags, UINT codePage = CP_ACP);
    ~CStdioFile() override;

    BOOL Open(LPCWSTR fileName, UINT openFlags, CFileException* error = nullptr) override;
    // Raw bytes, kept in order with the text written before them.
    void Write(const void* data, UINT count) override;
    // Writes nothing when a character cannot be converted.
    virtual void WriteString(LPCWSTR text);
    void Flush() override;
    void Close() override;
    void Abort() override;

    // Appends length characters of text, converted to codePage, to bytes. False when a character
    // has no form in that page (what was appended is then unspecified); a character is never
    // replaced by a look-alike or a default character.
    static bool Encode(LPCWSTR text, int length, UINT codePage, ByteBuffer& bytes);

private:
    void Append(const char* data, size_t count);

    static constexpr size_t kBufferSize = 4096;
    ByteBuffer m_buffer;
    UINT m_nCodePage = CP_ACP;
    bool m_bText = true;
};
