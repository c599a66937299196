#include "app/SetupLog.h"

#include <memory>

bool CSetupLog::Open(const CString& path) {
    m_file.Reset();
    m_rowState = RowState::None;
    if (path.IsEmpty()) return false;
    // Readers may look at the log while the installer still writes it.
    m_file.Reset(
        ::CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!IsOpen()) return false;
    static const char kByteOrderMark[] = "\xEF\xBB\xBF";
    DWORD written = 0;
    if (!::WriteFile(m_file.Get(), kByteOrderMark, 3, &written, nullptr)) m_file.Reset();
    return IsOpen();
}

void CSetupLog::WriteLine(const CString& text) {
    if (!IsOpen()) return;
    CString line;
    for (int i = 0; i < text.GetLength(); ++i) line += (text[i] == L'\r' || text[i] == L'\n') ? L' ' : text[i];
    line += L"\r\n";
    // Not std::string: that alone would bring some 90 KB of the C++ library into the installer.
    int bytes = ::WideCharToMultiByte(CP_UTF8, 0, line, line.GetLength(), nullptr, 0, nullptr, nullptr);
    std::unique_ptr<char[]> utf8(new char[bytes > 0 ? bytes : 1]);
    bytes = ::WideCharToMultiByte(CP_UTF8, 0, line, line.GetLength(), utf8.get(), bytes, nullptr, nullptr);
    DWORD written = 0;
    // A write that fails (a full disk, a vanished share) ends the log, not the install.
    if (!::WriteFile(m_file.Get(), utf8.get(), static_cast<DWORD>(bytes), &written, nullptr)) {
        m_file.Reset();
        return;
    }
    ::FlushFileBuffers(m_file.Get());
}

void CSetupLog::RowStarted(const CString& label) {
    if (m_rowState == RowState::FailedWithoutText) WriteRow(true);
    m_strRowLabel = label;
    m_strRowError = L"";
    m_rowState = RowState::Running;
}

void CSetupLog::RowError(const CString& text) {
    m_strRowError = text;
    if (m_rowState == RowState::FailedWithoutText) WriteRow(true);
}

void CSetupLog::RowEnded(bool failed) {
    if (m_rowState != RowState::Running) return;
    if (failed && m_strRowError.IsEmpty()) {
        m_rowState = RowState::FailedWithoutText;
        return;
    }
    WriteRow(failed);
}

void CSetupLog::WriteRow(bool failed) {
    CString line = m_strRowLabel + (failed ? L": failed" : L": done");
    if (!m_strRowError.IsEmpty()) line += L": " + m_strRowError;
    WriteLine(line);
    m_rowState = RowState::None;
}

void CSetupLog::Close(int exitCode) {
    if (m_rowState == RowState::FailedWithoutText) WriteRow(true);
    CString line;
    line.Format(L"exit code %d", exitCode);
    WriteLine(line);
    m_file.Reset();
}
