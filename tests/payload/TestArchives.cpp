#include "TestArchives.h"

#include "framework/Handles.h"
#include "payload/ResourceFile.h"

#include <string.h>

Bytes LoadTestResource(int id) {
    CResourceFile file;
    if (!file.OpenResource(nullptr, MAKEINTRESOURCEW(id), L"BINARY")) return Bytes();
    return Bytes(file.GetByteBuffer(), file.GetByteBuffer() + file.GetSize());
}

Bytes Pattern(size_t size) {
    Bytes data(size);
    for (size_t i = 0; i < size; ++i) data[i] = static_cast<BYTE>((i * 31 + (i >> 8)) & 0xFF);
    return data;
}

Bytes Noise(size_t size) {
    Bytes data(size);
    uint32_t x = 0x2545F491;
    for (size_t i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        data[i] = static_cast<BYTE>(0x41 + (x & 0x0F));
    }
    return data;
}

Bytes Large() { return Noise(1200000); }

Bytes RepeatText(const char* line, int times) {
    Bytes data;
    for (int i = 0; i < times; ++i) data.insert(data.end(), line, line + strlen(line));
    return data;
}

Bytes Readme() { return RepeatText("Read me first.\n", 40); }
Bytes Hello() { return RepeatText("Hello from a deflated entry.\n", 200); }

FILETIME FileTimeOf(int64_t unixSeconds) {
    ULARGE_INTEGER value;
    value.QuadPart = static_cast<ULONGLONG>((unixSeconds + 11644473600LL) * 10000000LL);
    FILETIME time;
    time.dwLowDateTime = value.LowPart;
    time.dwHighDateTime = value.HighPart;
    return time;
}

FILETIME DosFileTime() {
    FILETIME time = {0, 0};
    ::DosDateTimeToFileTime(static_cast<WORD>(((2020 - 1980) << 9) | (1 << 5) | 2),
                            static_cast<WORD>((3 << 11) | (4 << 5) | 3), &time);
    return time;
}

bool SameTime(const FILETIME& a, const FILETIME& b) {
    return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

ArchiveResult ExtractAll(ArchiveHandle archive, int32_t index, size_t blockSize, Bytes* content) {
    content->clear();
    // The API does not say how much of the last block was used: the recorded size does.
    ArchiveEntry entry = {};
    size_t recorded = ArchiveGetEntry(archive, index, &entry) == ArcOk && entry.uncompressedSize >= 0
                          ? static_cast<size_t>(entry.uncompressedSize)
                          : static_cast<size_t>(-1);
    Bytes block(blockSize);
    for (int calls = 0; calls < 1000000; ++calls) {
        memset(block.data(), 0, block.size());
        ArchiveResult result =
            ArchiveExtract(archive, index, block.data(), static_cast<uint32_t>(block.size()), ArcIoMemory);
        if (result != ArcMore) {
            if (content->size() > recorded) content->resize(recorded);
            return result;
        }
        content->insert(content->end(), block.begin(), block.end());
    }
    return ArcMore;
}

Bytes ReadFileBytes(const std::wstring& path) {
    UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file.IsValid()) return Bytes();
    Bytes data(::GetFileSize(file.Get(), nullptr));
    DWORD read = 0;
    if (!data.empty()) ::ReadFile(file.Get(), data.data(), static_cast<DWORD>(data.size()), &read, nullptr);
    data.resize(read);
    return data;
}

bool WriteFileBytes(const std::wstring& path, const Bytes& data) {
    UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (!file.IsValid()) return false;
    DWORD written = 0;
    return data.empty() || (::WriteFile(file.Get(), data.data(), static_cast<DWORD>(data.size()), &written, nullptr) &&
                            written == data.size());
}

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

ScratchFolder::~ScratchFolder() {
    if (!m_previousDirectory.empty()) ::SetCurrentDirectoryW(m_previousDirectory.c_str());
}

void ScratchFolder::Enter() {
    wchar_t current[MAX_PATH];
    ::GetCurrentDirectoryW(MAX_PATH, current);
    if (m_previousDirectory.empty()) m_previousDirectory = current;
    ::SetCurrentDirectoryW(m_path.c_str());
}
