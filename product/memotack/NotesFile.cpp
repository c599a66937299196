#include "NotesFile.h"

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include <vector>

namespace memotack {
namespace {

class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : m_h(handle) {}
    ~FileHandle() {
        if (valid()) ::CloseHandle(m_h);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    bool valid() const { return m_h != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return m_h; }

private:
    HANDLE m_h;
};

std::string ToUtf8(const std::wstring& text) {
    if (text.empty()) return {};
    int size =
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], size, nullptr, nullptr);
    return bytes;
}

std::wstring FromUtf8(const std::vector<char>& bytes) {
    if (bytes.empty()) return {};
    int size = ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), &text[0], size);
    return text;
}

// Creates or truncates path, writes bytes and flushes them to the disk.
bool WriteDurably(const std::wstring& path, const std::string& bytes) {
    FileHandle file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return false;
    DWORD written = 0;
    if (!bytes.empty() &&
        (!::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
         written != bytes.size()))
        return false;
    return ::FlushFileBuffers(file.get()) != FALSE;
}

}  // namespace

std::wstring NotesPath() {
    PWSTR appData = nullptr;
    if (FAILED(::SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_CREATE, nullptr, &appData))) return {};
    std::wstring folder = appData;
    ::CoTaskMemFree(appData);
    folder += L"\\Pelmo Software";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    folder += L"\\Memotack";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    return folder + L"\\notes.txt";
}

bool LoadNotes(const std::wstring& path, std::wstring& text) {
    text.clear();
    FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return ::GetLastError() == ERROR_FILE_NOT_FOUND;
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart > 64 * 1024 * 1024) return false;
    std::vector<char> bytes(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!bytes.empty() && (!::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
                           read != bytes.size()))
        return false;
    text = FromUtf8(bytes);
    return true;
}

bool SaveNotes(const std::wstring& path, const std::wstring& text) {
    const std::wstring temp = path + L".tmp";
    if (WriteDurably(temp, ToUtf8(text)) &&
        ::MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    ::DeleteFileW(temp.c_str());
    return false;
}

}  // namespace memotack
