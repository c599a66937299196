#include "tests/support/TempFolder.h"

CString TempPath(const wchar_t* name) {
    wchar_t folder[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, folder);
    return CString(folder) + name;
}

TempFolder::TempFolder(const wchar_t* name) {
    static int count = 0;
    m_path.Format(L"memotack-test-%ls-%lu-%d", name, ::GetCurrentProcessId(), ++count);
    m_path = TempPath(m_path);
    RemoveTree(m_path);
    ::CreateDirectoryW(m_path, nullptr);
}

TempFolder::~TempFolder() { RemoveTree(m_path); }

void RemoveTree(const CString& path) {
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW(path + L"\\*", &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            CString name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            CString child = path + L"\\" + name;
            ::SetFileAttributesW(child, FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else
                ::DeleteFileW(child);
        } while (::FindNextFileW(search, &found));
        ::FindClose(search);
    }
    ::RemoveDirectoryW(path);
}
