#include "ui/SetupLog.h"

#include <shlobj.h>
#include <wchar.h>

#include <memory>

namespace {
// Calls query(buffer, size) the way the path functions of Win32 are called: a result below size
// is the length written, a larger one the size needed, 0 a failure. Empty on failure.
template <class Query>
CString QueryPath(Query query) {
    CString path;
    DWORD size = MAX_PATH;
    for (int attempt = 0; attempt < 3; ++attempt) {
        DWORD length = query(path.GetBuffer(static_cast<int>(size)), size);
        if (length < size) {
            path.ReleaseBuffer(static_cast<int>(length));
            return path;
        }
        path.ReleaseBuffer(0);
        size = length;
    }
    return CString();
}

// A path as it compares with another: without the "\\?\" prefix of final paths ("\\?\UNC\s\x"
// is "\\s\x"), in upper case as the file system folds names.
CString ComparablePath(const CString& path) {
    CString plain = path;
    if (wcsncmp(path, L"\\\\?\\UNC\\", 8) == 0)
        plain = L"\\\\" + path.Mid(8);
    else if (wcsncmp(path, L"\\\\?\\", 4) == 0)
        plain = path.Mid(4);
    const int length = plain.GetLength();
    ::CharUpperBuffW(plain.GetBuffer(length), static_cast<DWORD>(length));
    plain.ReleaseBuffer(length);
    return plain;
}

// Whether the open file is the one at path and nothing else: no reparse point, no second name,
// and found by the system at path itself rather than through a link or junction on the way. The
// path check needs Windows Vista; before it, the other two decide.
bool IsPlainFileAt(HANDLE file, const CString& path) {
    BY_HANDLE_FILE_INFORMATION information;
    if (!::GetFileInformationByHandle(file, &information)) return false;
    if ((information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || information.nNumberOfLinks != 1) return false;
    // Looked up rather than imported: an import the system lacks would stop the program loading.
    using GetFinalPathFn = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);
    auto getFinalPath = reinterpret_cast<GetFinalPathFn>(reinterpret_cast<void (*)()>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "GetFinalPathNameByHandleW")));
    if (!getFinalPath) return true;
    CString finalPath = QueryPath([&](LPWSTR buffer, DWORD size) {
        return getFinalPath(file, buffer, size, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    });
    // The final path has the long form of every name: so must the path asked for (%TEMP% is
    // often given in short names).
    CString longPath = QueryPath([&](LPWSTR buffer, DWORD size) { return ::GetLongPathNameW(path, buffer, size); });
    return !finalPath.IsEmpty() && ComparablePath(finalPath) == ComparablePath(longPath.IsEmpty() ? path : longPath);
}
}  // namespace

bool CSetupLog::Open(const CString& path) {
    m_file.Reset();
    m_strPath.Empty();
    m_rowState = RowState::None;
    if (path.IsEmpty()) return false;
    CString fullPath =
        QueryPath([&](LPWSTR buffer, DWORD size) { return ::GetFullPathNameW(path, size, buffer, nullptr); });
    const int folderEnd = fullPath.ReverseFind(L'\\');
    if (folderEnd <= 0) return false;
    // A folder that cannot be made is reported by the open that follows.
    ::SHCreateDirectoryExW(nullptr, fullPath.Left(folderEnd), nullptr);
    // Opened without following a reparse point and without emptying an existing file: the checks
    // come first, on this handle. Readers may look at the log while the installer still writes it;
    // nobody may rename or delete it meanwhile.
    m_file.Reset(::CreateFileW(fullPath, GENERIC_WRITE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!IsOpen()) return false;
    static const char kByteOrderMark[] = "\xEF\xBB\xBF";
    DWORD written = 0;
    if (!IsPlainFileAt(m_file.Get(), fullPath) || !::SetEndOfFile(m_file.Get()) ||
        !::WriteFile(m_file.Get(), kByteOrderMark, 3, &written, nullptr)) {
        m_file.Reset();
        return false;
    }
    m_strPath = fullPath;
    return true;
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
    m_strPath.Empty();
}

void CSetupLog::WriteFatalError(const char* cause, int exitCode) const {
    if (!IsOpen()) return;
    char text[256];
    int length = ::wsprintfA(text, "Fatal error: %.160s\r\nexit code %d\r\n", cause, exitCode);
    DWORD written = 0;
    ::WriteFile(m_file.Get(), text, static_cast<DWORD>(length), &written, nullptr);
    ::FlushFileBuffers(m_file.Get());
}
