#include "install/UninstallerScript.h"

#include "framework/ByteBuffer.h"
#include "framework/CStdioFile.h"

namespace {
bool FitsScript(LPCWSTR text, int length) {
    ByteBuffer bytes;
    return CStdioFile::Encode(text, length, kScriptCodePage, bytes);
}

bool FitsScript(const CString& text) { return FitsScript(text, text.GetLength()); }

// path with its longest leading part that exists in short form and the rest as it is, or path
// itself when no part of it below the root exists.
CString ShortenedPath(const CString& path) {
    CString head = path;
    for (;;) {
        DWORD size = ::GetShortPathNameW(head, nullptr, 0);
        if (size > 0) {
            CString shortHead;
            DWORD length = ::GetShortPathNameW(head, shortHead.GetBuffer(static_cast<int>(size)), size);
            shortHead.ReleaseBuffer(length > 0 && length < size ? static_cast<int>(length) : 0);
            if (!shortHead.IsEmpty()) return shortHead + path.Mid(head.GetLength());
        }
        // A drive ("C:") or an empty text would name the current folder, not a part of path.
        int separator = head.ReverseFind(L'\\');
        if (separator < 3) return path;
        head = head.Left(separator);
    }
}

CString DoublePercents(const CString& text) {
    CString doubled;
    for (int i = 0; i < text.GetLength(); ++i) {
        if (text[i] == L'%') doubled += L'%';
        doubled += text[i];
    }
    return doubled;
}
}  // namespace

bool IsAscii(const CString& text) {
    for (int i = 0; i < text.GetLength(); ++i)
        if (text[i] > 0x7F) return false;
    return true;
}

bool IsWow64() {
    BOOL wow64 = FALSE;
    return ::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64;
}

CString QuotedScriptPath(const CString& path) {
    const CString shortened = IsAscii(path) ? path : ShortenedPath(path);
    if (IsAscii(shortened)) return L"\"" + DoublePercents(shortened) + L"\"";
    if (FitsScript(path)) return L"\"" + DoublePercents(path) + L"\"";
    if (FitsScript(shortened)) return L"\"" + DoublePercents(shortened) + L"\"";
    return L"\"" + path + L"\"";
}

CString UnwritablePath(const CString& script) {
    for (int open = script.Find(L'"'); open >= 0;) {
        int close = script.Find(L'"', open + 1);
        if (close < 0) break;
        if (!FitsScript(script.GetString() + open + 1, close - open - 1)) return script.Mid(open + 1, close - open - 1);
        open = script.Find(L'"', close + 1);
    }
    return CString();
}
