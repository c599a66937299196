#include "app/FatalErrors.h"

#include "ui/SetupLog.h"
#include "ui/InstallerDlg.h"

#include <signal.h>
#include <stdlib.h>

#include <exception>

namespace {
const CSetupLog* g_log = nullptr;
LONG g_ending = 0;

// The first thread to fail writes the line and ends the process; one failing at the same time
// waits for that end. TerminateProcess rather than ExitProcess: the DLLs' detach code would run
// in a process whose heap or locks may be what failed, and could hang it.
[[noreturn]] void EndRun(const char* cause) {
    if (::InterlockedExchange(&g_ending, 1) == 0) {
        if (g_log) g_log->WriteFatalError(cause, ExitInstallFailed);
        ::TerminateProcess(::GetCurrentProcess(), ExitInstallFailed);
    }
    for (;;) ::Sleep(INFINITE);
}

void __cdecl OnAbort(int) { EndRun("abort"); }

void OnTerminate() { EndRun("std::terminate (an exception nobody caught, out of memory, or a pure virtual call)"); }

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* exception) {
    char cause[40];
    ::wsprintfA(cause, "unhandled exception 0x%08lX", exception->ExceptionRecord->ExceptionCode);
    EndRun(cause);
}
}  // namespace

void EndFatalErrorsQuietly(const CSetupLog* log) {
    g_log = log;
    ::SetErrorMode(::SetErrorMode(0) | SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    // To the standard error stream, which a windowed program does not have, instead of a message
    // box: abort() writes its message before it raises SIGABRT.
    _set_error_mode(_OUT_TO_STDERR);
    signal(SIGABRT, OnAbort);
    std::set_terminate(OnTerminate);
    ::SetUnhandledExceptionFilter(OnUnhandledException);
}

void ForgetFatalErrorLog() { g_log = nullptr; }
