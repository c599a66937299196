#pragma once
// Shared helpers of the payload tests: the generated archives, their expected contents and a
// scratch folder that is removed with everything in it.
#include "payload/Archive.h"
#include "tests/support/TempFolder.h"

#include <string>
#include <vector>

typedef std::vector<BYTE> Bytes;

// The bytes of a "BINARY" resource of the test executable (empty when missing).
Bytes LoadTestResource(int id);
// The contents make_test_archives.py stores.
Bytes Pattern(size_t size);
Bytes Noise(size_t size);  // letters A to P in a fixed pseudo-random order
Bytes Large();             // the entry of payload_large.zip, several read chunks deflated
Bytes RepeatText(const char* line, int times);
Bytes Readme();
Bytes Hello();

constexpr int32_t kUnixTime = 1577934245;  // 2020-01-02 03:04:05 UTC
FILETIME FileTimeOf(int64_t unixSeconds);
FILETIME DosFileTime();  // 2020-01-02 03:04:06, the DOS time of every generated entry
bool SameTime(const FILETIME& a, const FILETIME& b);

// Extracts entry index into memory through the ArcMore loop, blockSize bytes per call.
// Returns the final result; *content gets what was delivered, cut to the recorded size.
ArchiveResult ExtractAll(ArchiveHandle archive, int32_t index, size_t blockSize, Bytes* content);

Bytes ReadFileBytes(const std::wstring& path);
bool WriteFileBytes(const std::wstring& path, const Bytes& data);
bool Exists(const std::wstring& path);

// A TempFolder for std::wstring paths; the destructor also restores the current directory if Enter
// changed it, before the folder goes.
class ScratchFolder {
public:
    ~ScratchFolder();

    const std::wstring& Path() const { return m_path; }
    std::wstring operator/(const std::wstring& name) const { return m_path + L"\\" + name; }
    // Makes this folder the current directory until destruction.
    void Enter();

private:
    TempFolder m_folder{L"payload"};
    std::wstring m_path = m_folder.Path().GetString();
    std::wstring m_previousDirectory;
};
