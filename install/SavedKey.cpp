#include "install/SavedKey.h"

#include "framework/Handles.h"

#include <memory>
#include <new>

namespace {
void AppendNumber(ByteBuffer& buffer, DWORD number) { buffer.Append(reinterpret_cast<const char*>(&number), 4); }

DWORD ReadNumber(const char*& cursor) {
    DWORD number;
    memcpy(&number, cursor, 4);
    cursor += 4;
    return number;
}
}  // namespace

void SavedKey::Save(HKEY root, LPCWSTR subkey) {
    m_values.Clear();
    m_state = State::Unknown;
    RegKey key;
    LONG status = ::RegOpenKeyExW(root, subkey, 0, KEY_QUERY_VALUE, key.Receive());
    if (status == ERROR_FILE_NOT_FOUND) m_state = State::Absent;
    if (status != ERROR_SUCCESS) return;
    DWORD count = 0, longestName = 0, largestData = 0;
    if (::RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &longestName,
                           &largestData, nullptr, nullptr) != ERROR_SUCCESS)
        return;
    std::unique_ptr<wchar_t[]> name(new (std::nothrow) wchar_t[longestName + 1]);
    std::unique_ptr<BYTE[]> data(new (std::nothrow) BYTE[largestData + 1]);
    if (!name || !data) return;
    for (DWORD index = 0; index < count; ++index) {
        DWORD nameLength = longestName + 1, size = largestData, type = 0;
        if (::RegEnumValueW(key.Get(), index, name.get(), &nameLength, nullptr, &type, data.get(), &size) !=
            ERROR_SUCCESS)
            return;
        AppendNumber(m_values, (nameLength + 1) * sizeof(wchar_t));
        m_values.Append(reinterpret_cast<const char*>(name.get()), (nameLength + 1) * sizeof(wchar_t));
        AppendNumber(m_values, type);
        AppendNumber(m_values, size);
        m_values.Append(reinterpret_cast<const char*>(data.get()), size);
        // Padded, so that the next name starts at a 4-byte boundary.
        while (m_values.Size() % 4) m_values.Append('\0');
    }
    m_state = State::Saved;
}

LONG SavedKey::Restore(HKEY root, LPCWSTR subkey) const {
    LONG status = ::RegDeleteKeyW(root, subkey);
    if (status == ERROR_FILE_NOT_FOUND) status = ERROR_SUCCESS;
    if (m_state != State::Saved) return status;
    RegKey key;
    LONG result = ::RegCreateKeyW(root, subkey, key.Receive());
    if (status == ERROR_SUCCESS) status = result;
    for (const char* cursor = m_values.Data(); result == ERROR_SUCCESS && cursor < m_values.Data() + m_values.Size();) {
        const DWORD nameBytes = ReadNumber(cursor);
        const wchar_t* name = reinterpret_cast<const wchar_t*>(cursor);
        cursor += nameBytes;
        const DWORD type = ReadNumber(cursor);
        const DWORD size = ReadNumber(cursor);
        LONG written = ::RegSetValueExW(key.Get(), name, 0, type, reinterpret_cast<const BYTE*>(cursor), size);
        if (status == ERROR_SUCCESS) status = written;
        cursor += size;
        while ((cursor - m_values.Data()) % 4) ++cursor;
    }
    // A key that could not be put back whole is better gone than half there.
    if (status != ERROR_SUCCESS) {
        key.Close();
        ::RegDeleteKeyW(root, subkey);
    }
    return status;
}
