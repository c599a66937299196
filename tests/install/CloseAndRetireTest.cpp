#include "tests/install/StepRowProbe.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

const wchar_t kAppTitle[] = L"PelmoSoftwareMemotackMain";

// How the stand-in for a running Memotack answers WM_CLOSE.
enum class Answer {
    ClosesAtOnce,
    ClosesAfterTwoAndAHalfSeconds,
    NeverCloses,
    Hung,  // its thread takes no messages for several seconds
};

// A window with the application's title, run by a thread of its own as another process's window
// would be. The destructor takes the window down and waits for the thread.
class RunningCopy {
public:
    explicit RunningCopy(Answer answer) : m_answer(answer) {
        HANDLE created = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        m_thread = std::thread([this, created] { Run(created); });
        ::WaitForSingleObject(created, 10000);
        ::CloseHandle(created);
    }
    ~RunningCopy() {
        ::PostMessageW(m_window, WM_APP, 0, 0);
        m_thread.join();
    }
    RunningCopy(const RunningCopy&) = delete;
    RunningCopy& operator=(const RunningCopy&) = delete;

private:
    void Run(HANDLE created) {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = &RunningCopy::WindowProc;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"MemotackCloseFixture";
        ::RegisterClassW(&windowClass);
        m_window = ::CreateWindowExW(0, windowClass.lpszClassName, kAppTitle, WS_OVERLAPPED, 0, 0, 100, 100, nullptr,
                                     nullptr, windowClass.hInstance, nullptr);
        ::SetWindowLongPtrW(m_window, GWLP_USERDATA, static_cast<LONG_PTR>(m_answer));
        ::SetEvent(created);
        if (m_answer == Answer::Hung) ::Sleep(7000);
        MSG message;
        while (::GetMessageW(&message, nullptr, 0, 0) > 0) ::DispatchMessageW(&message);
    }

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto answer = static_cast<Answer>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        switch (message) {
            case WM_CLOSE:
                if (answer == Answer::ClosesAtOnce) ::DestroyWindow(window);
                if (answer == Answer::ClosesAfterTwoAndAHalfSeconds) ::SetTimer(window, 1, 2500, nullptr);
                return 0;
            case WM_TIMER:
            case WM_APP:
                ::DestroyWindow(window);
                return 0;
            case WM_DESTROY:
                ::PostQuitMessage(0);
                return 0;
        }
        return ::DefWindowProcW(window, message, wParam, lParam);
    }

    Answer m_answer;
    HWND m_window = nullptr;
    std::thread m_thread;
};

// Runs CloseRunningApp and gives its result and how long it took in milliseconds.
bool TimedClose(CInstallerDlg& dlg, ULONGLONG& elapsed) {
    ULONGLONG start = ::GetTickCount64();
    bool closed = dlg.CloseRunningApp();
    elapsed = ::GetTickCount64() - start;
    return closed;
}

}  // namespace

// The waits are the behaviour here: 2 s after the request, then checks a second apart, 5 s in all.
TEST(CloseRunningApp, WaitsOnlyAsLongAsTheRunningCopyNeeds) {
    StepRowProbe probe;
    ASSERT_EQ(nullptr, ::FindWindowW(nullptr, kAppTitle));
    ULONGLONG elapsed = 0;
    {
        SCOPED_TRACE("no running copy: no wait");
        EXPECT_TRUE(TimedClose(probe.dlg, elapsed));
        EXPECT_LT(elapsed, 500u);
    }
    {
        SCOPED_TRACE("closes at once: the first check after 2 s sees it gone");
        RunningCopy copy(Answer::ClosesAtOnce);
        EXPECT_TRUE(TimedClose(probe.dlg, elapsed));
        EXPECT_GE(elapsed, 1900u);
        EXPECT_LT(elapsed, 2900u);
    }
    {
        SCOPED_TRACE("closes after 2.5 s: the second check sees it gone");
        RunningCopy copy(Answer::ClosesAfterTwoAndAHalfSeconds);
        EXPECT_TRUE(TimedClose(probe.dlg, elapsed));
        EXPECT_GE(elapsed, 2900u);
        EXPECT_LT(elapsed, 3900u);
    }
    {
        SCOPED_TRACE("never closes: fails after 5 s");
        RunningCopy copy(Answer::NeverCloses);
        EXPECT_FALSE(TimedClose(probe.dlg, elapsed));
        EXPECT_GE(elapsed, 4900u);
        EXPECT_LT(elapsed, 5900u);
    }
}

TEST(CloseRunningApp, HungCopyCannotHoldTheInstall) {
    StepRowProbe probe;
    RunningCopy copy(Answer::Hung);
    ULONGLONG elapsed = 0;
    EXPECT_FALSE(TimedClose(probe.dlg, elapsed));
    EXPECT_LT(elapsed, 6000u);
}

TEST(DeleteOldUninstallKeys, DeletesTheTwelveOldEntriesAndNothingElse) {
    const CString uninstall(L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\");
    const wchar_t* const oldVersions[] = {L"4.0a", L"4.5a", L"4.5b", L"5.0a", L"5.1a", L"5.2a",
                                          L"5.2b", L"6.0a", L"6.0b", L"6.0c", L"6.5a", L"6.7a"};
    const CString kept[] = {uninstall + L"Memotack 7.0a", uninstall + L"PelmoMemotack"};
    for (const wchar_t* version : oldVersions) {
        RegKey key;
        ASSERT_EQ(ERROR_SUCCESS,
                  ::RegCreateKeyW(HKEY_LOCAL_MACHINE, uninstall + L"Memotack " + version, key.Receive()));
    }
    for (const CString& name : kept) {
        RegKey key;
        ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyW(HKEY_LOCAL_MACHINE, name, key.Receive()));
    }

    StepRowProbe probe;
    probe.dlg.DeleteOldUninstallKeys();

    for (const wchar_t* version : oldVersions) {
        RegKey key;
        EXPECT_EQ(ERROR_FILE_NOT_FOUND,
                  ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, uninstall + L"Memotack " + version, 0, KEY_READ, key.Receive()))
            << "Memotack " << testing::PrintToString(CString(version));
    }
    for (const CString& name : kept) {
        RegKey key;
        EXPECT_EQ(ERROR_SUCCESS, ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, name, 0, KEY_READ, key.Receive()));
        ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, name);
    }
    // Nothing to delete is no error anyone hears of.
    probe.dlg.DeleteOldUninstallKeys();
    EXPECT_EQ(0, probe.Count());
}
