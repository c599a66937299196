// Runs the built Memotack stand-in and checks what the installer and its uninstaller rely on:
// the window title, WM_CLOSE, "-close", the shell's "open" verb, and notes kept between runs.
#include <windows.h>

#include <gtest/gtest.h>
#include <knownfolders.h>
#include <shellapi.h>
#include <shlobj.h>

#include <fstream>
#include <iterator>
#include <string>

#include "../res/BuiltFile.h"
#include "built_product.h"

namespace {

const wchar_t kTitle[] = L"PelmoSoftwareMemotackMain";
// How long a copy may take to open its window or to end. Generous: these tests run beside others
// on a loaded machine, and what they check is that it happens, not how fast.
const DWORD kPatienceMs = 10000;

std::wstring NotesFolder() {
    PWSTR appData = nullptr;
    if (FAILED(::SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &appData))) return {};
    std::wstring folder = std::wstring(appData) + L"\\Pelmo Software\\Memotack";
    ::CoTaskMemFree(appData);
    return folder;
}

std::string Utf8(const std::wstring& text) {
    int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &bytes[0], size, nullptr, nullptr);
    bytes.pop_back();
    return bytes;
}

std::string ReadAll(const std::wstring& path) {
    HANDLE hFile = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) return "<missing>";
    std::string bytes(::GetFileSize(hFile, nullptr), '\0');
    DWORD read = 0;
    if (!bytes.empty()) ::ReadFile(hFile, &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr);
    ::CloseHandle(hFile);
    return bytes;
}

void WriteAll(const std::wstring& path, const std::string& bytes) {
    std::ofstream file(path.c_str(), std::ios::binary | std::ios::trunc);
    file << bytes;
}

BOOL CALLBACK CountTitled(HWND hWnd, LPARAM param) {
    wchar_t title[64] = L"";
    ::GetWindowTextW(hWnd, title, 64);
    if (::lstrcmpW(title, kTitle) == 0) ++*reinterpret_cast<int*>(param);
    return TRUE;
}

int WindowsTitled() {
    int count = 0;
    ::EnumWindows(CountTitled, reinterpret_cast<LPARAM>(&count));
    return count;
}

class MemotackApp : public testing::Test {
protected:
    void SetUp() override {
        CloseStrays();
        m_folder = NotesFolder();
        ASSERT_FALSE(m_folder.empty());
        m_notes = m_folder + L"\\notes.txt";
        ::DeleteFileW(m_notes.c_str());
        ::DeleteFileW((m_notes + L".tmp").c_str());
    }
    void TearDown() override {
        CloseStrays();
        ::DeleteFileW(m_notes.c_str());
        ::DeleteFileW((m_notes + L".tmp").c_str());
    }

    // Ends whatever copy an earlier failure left behind, so that no test sees another's window.
    static void CloseStrays() {
        for (int i = 0; i < 50; ++i) {
            HWND hWnd = ::FindWindowW(nullptr, kTitle);
            if (!hWnd) return;
            ::PostMessageW(hWnd, WM_CLOSE, 0, 0);
            ::Sleep(100);
        }
    }

    // Starts memotack.exe with arguments; the process handle is the caller's to close.
    static HANDLE Start(const std::wstring& arguments) {
        std::wstring commandLine = L"\"" + BuiltFile(MEMOTACK_EXE) + L"\" " + arguments;
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        if (!::CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                              &process))
            return nullptr;
        ::CloseHandle(process.hThread);
        return process.hProcess;
    }

    // The main window of the copy with this process id, once it is shown: on a slow machine it can
    // be found while it is still making its notes box.
    static HWND WaitForWindow(DWORD processId) {
        for (DWORD waited = 0; waited < kPatienceMs; waited += 20) {
            for (HWND hWnd = ::FindWindowW(nullptr, kTitle); hWnd;
                 hWnd = ::FindWindowExW(nullptr, hWnd, nullptr, kTitle)) {
                DWORD owner = 0;
                ::GetWindowThreadProcessId(hWnd, &owner);
                if (owner == processId && ::IsWindowVisible(hWnd)) return hWnd;
            }
            ::Sleep(20);
        }
        return nullptr;
    }

    static std::wstring EditText(HWND hMain) {
        HWND hEdit = ::FindWindowExW(hMain, nullptr, L"Edit", nullptr);
        wchar_t text[1024] = L"";
        ::SendMessageW(hEdit, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
        return text;
    }

    static void SetEditText(HWND hMain, const std::wstring& text) {
        HWND hEdit = ::FindWindowExW(hMain, nullptr, L"Edit", nullptr);
        ASSERT_NE(hEdit, nullptr);
        ::SendMessageW(hEdit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }

    std::wstring m_folder;
    std::wstring m_notes;
};

TEST_F(MemotackApp, ClosesOnWmCloseAndKeepsItsNotesBetweenRuns) {
    const std::wstring notes = L"Buy milk\r\nCall Ms Ma\u00f1ana \u2013 at 5 \u263a";
    HANDLE hFirst = Start(L"");
    ASSERT_NE(hFirst, nullptr);
    HWND hMain = WaitForWindow(::GetProcessId(hFirst));
    ASSERT_NE(hMain, nullptr);
    EXPECT_EQ(::GetAncestor(hMain, GA_ROOT), hMain);
    EXPECT_EQ(EditText(hMain), L"");
    SetEditText(hMain, notes);

    ::PostMessageW(hMain, WM_CLOSE, 0, 0);
    EXPECT_EQ(::WaitForSingleObject(hFirst, kPatienceMs), WAIT_OBJECT_0) << "still running after WM_CLOSE";
    DWORD exitCode = 1;
    ::GetExitCodeProcess(hFirst, &exitCode);
    EXPECT_EQ(exitCode, 0u);
    ::CloseHandle(hFirst);
    EXPECT_EQ(ReadAll(m_notes), Utf8(notes));
    EXPECT_EQ(::GetFileAttributesW((m_notes + L".tmp").c_str()), INVALID_FILE_ATTRIBUTES);

    HANDLE hSecond = Start(L"");
    ASSERT_NE(hSecond, nullptr);
    hMain = WaitForWindow(::GetProcessId(hSecond));
    ASSERT_NE(hMain, nullptr);
    EXPECT_EQ(EditText(hMain), notes);
    ::PostMessageW(hMain, WM_CLOSE, 0, 0);
    EXPECT_EQ(::WaitForSingleObject(hSecond, kPatienceMs), WAIT_OBJECT_0);
    ::CloseHandle(hSecond);
}

TEST_F(MemotackApp, CloseSwitchEndsTheRunningCopy) {
    HANDLE hRunning = Start(L"");
    ASSERT_NE(hRunning, nullptr);
    ASSERT_NE(WaitForWindow(::GetProcessId(hRunning)), nullptr);

    HANDLE hCloser = Start(L"-close");
    ASSERT_NE(hCloser, nullptr);
    EXPECT_EQ(::WaitForSingleObject(hRunning, kPatienceMs), WAIT_OBJECT_0) << "still running after -close";
    // The closer returns only once the copy has ended, so an uninstaller may delete it next.
    EXPECT_EQ(::WaitForSingleObject(hCloser, kPatienceMs), WAIT_OBJECT_0);
    DWORD exitCode = 1;
    ::GetExitCodeProcess(hCloser, &exitCode);
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(::FindWindowW(nullptr, kTitle), nullptr);
    ::CloseHandle(hCloser);
    ::CloseHandle(hRunning);

    // With nothing running, -close ends at once and opens no window.
    HANDLE hAlone = Start(L"-close");
    ASSERT_NE(hAlone, nullptr);
    EXPECT_EQ(::WaitForSingleObject(hAlone, kPatienceMs), WAIT_OBJECT_0);
    EXPECT_EQ(WindowsTitled(), 0);
    ::CloseHandle(hAlone);
}

TEST_F(MemotackApp, StartsByTheShellOpenVerbAsASingleCopy) {
    HINSTANCE result =
        ::ShellExecuteW(nullptr, L"open", BuiltFile(MEMOTACK_EXE).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    EXPECT_GT(reinterpret_cast<INT_PTR>(result), 32);
    HWND hMain = nullptr;
    for (DWORD waited = 0; waited < kPatienceMs && !hMain; waited += 20, ::Sleep(20)) hMain = ::FindWindowW(nullptr, kTitle);
    ASSERT_NE(hMain, nullptr);

    // A second start hands over to the running copy instead of opening another window on the
    // same notes.
    HANDLE hSecond = Start(L"");
    ASSERT_NE(hSecond, nullptr);
    EXPECT_EQ(::WaitForSingleObject(hSecond, kPatienceMs), WAIT_OBJECT_0);
    ::CloseHandle(hSecond);
    EXPECT_EQ(WindowsTitled(), 1);
}

TEST_F(MemotackApp, KilledCopyLeavesTheLastSavedNotes) {
    WriteAll(m_notes, "saved before");
    WriteAll(m_notes + L".tmp", "half-written leftovers");
    HANDLE hRunning = Start(L"");
    ASSERT_NE(hRunning, nullptr);
    HWND hMain = WaitForWindow(::GetProcessId(hRunning));
    ASSERT_NE(hMain, nullptr);
    EXPECT_EQ(EditText(hMain), L"saved before");
    SetEditText(hMain, L"never saved");
    ::TerminateProcess(hRunning, 3);
    ::WaitForSingleObject(hRunning, 5000);
    ::CloseHandle(hRunning);
    EXPECT_EQ(ReadAll(m_notes), "saved before");
}

TEST_F(MemotackApp, TypedNotesAreSavedWhileRunning) {
    HANDLE hRunning = Start(L"");
    ASSERT_NE(hRunning, nullptr);
    HWND hMain = WaitForWindow(::GetProcessId(hRunning));
    ASSERT_NE(hMain, nullptr);
    HWND hEdit = ::FindWindowExW(hMain, nullptr, L"Edit", nullptr);
    for (wchar_t c : std::wstring(L"typed")) ::PostMessageW(hEdit, WM_CHAR, c, 1);
    std::string saved;
    for (int i = 0; i < 100 && saved != "typed"; ++i, ::Sleep(100)) saved = ReadAll(m_notes);
    EXPECT_EQ(saved, "typed") << "typing is saved a moment later, before any close";
    ::TerminateProcess(hRunning, 3);
    ::WaitForSingleObject(hRunning, 5000);
    ::CloseHandle(hRunning);
}

TEST_F(MemotackApp, UnreadableNotesAreNeverOverwritten) {
    WriteAll(m_notes, "precious");
    HANDLE hLock = ::CreateFileW(m_notes.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(hLock, INVALID_HANDLE_VALUE);
    HANDLE hRunning = Start(L"");
    ASSERT_NE(hRunning, nullptr);
    HWND hMain = WaitForWindow(::GetProcessId(hRunning));
    ASSERT_NE(hMain, nullptr);
    HWND hWarning = nullptr;
    for (DWORD waited = 0; waited < kPatienceMs && !hWarning; waited += 20, ::Sleep(20)) hWarning = ::FindWindowW(L"#32770", L"Memotack");
    EXPECT_NE(hWarning, nullptr) << "the user is told that the notes cannot be read";
    ::CloseHandle(hLock);

    SetEditText(hMain, L"replacement");
    ::PostMessageW(hMain, WM_CLOSE, 0, 0);
    EXPECT_EQ(::WaitForSingleObject(hRunning, kPatienceMs), WAIT_OBJECT_0);
    ::CloseHandle(hRunning);
    EXPECT_EQ(ReadAll(m_notes), "precious");
}

}  // namespace
