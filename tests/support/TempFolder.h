#pragma once
// Scratch places of the tests, all under the temporary folder (GetTempPathW's).
#include "framework/CString.h"

// name inside the temporary folder, for a file that a test removes itself.
CString TempPath(const wchar_t* name);

// A fresh, empty folder under the temporary folder, named after name, the process and a count, so
// that no two are the same. Removed with everything in it at destruction.
class TempFolder {
public:
    explicit TempFolder(const wchar_t* name);
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const CString& Path() const { return m_path; }

private:
    CString m_path;
};

// Deletes path and everything in it, read-only files included; what cannot be deleted stays.
void RemoveTree(const CString& path);
