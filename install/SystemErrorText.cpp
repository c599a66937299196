#include "install/SystemErrorText.h"

CString GetSystemErrorText(DWORD code) {
    // FORMAT_MESSAGE_IGNORE_INSERTS: without it a message with %1 would make the system read
    // arguments that were never passed.
    LPWSTR buffer = nullptr;
    DWORD length =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, code, 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    CString text;
    if (length != 0 && buffer) {
        text = CString(buffer, static_cast<int>(length));
        ::LocalFree(buffer);
        int lastReturn = text.ReverseFind(L'\r');
        if (lastReturn >= 0) text.Truncate(lastReturn);
        return text;
    }
    if (buffer) ::LocalFree(buffer);
    text.Format(L"Unknown error code %08x (%d)", static_cast<unsigned>(code), static_cast<int>(code & 0xFFFF));
    return text;
}

CString DescribeSystemError(DWORD code) {
    CString text;
    if (code & 0x80000000) {
        const HRESULT hr = static_cast<HRESULT>(code);
        text.Format(L"system error 0x%08X: ", static_cast<unsigned>(code));
        return text + GetSystemErrorText(HRESULT_FACILITY(hr) == FACILITY_WIN32 ? HRESULT_CODE(hr) : code);
    }
    text.Format(L"system error %lu: ", code);
    return text + GetSystemErrorText(code);
}

CString WithSystemError(const CString& text, DWORD code) {
    if (code == 0) return text;
    if (text.IsEmpty()) return DescribeSystemError(code);
    return text + L" (" + DescribeSystemError(code) + L")";
}
