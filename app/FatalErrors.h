#pragma once
// An unattended run (-silent, -extract) must never wait for a person. From EndFatalErrorsQuietly
// on, the system shows no critical-error or fault boxes, msvcrt.dll reports its run-time errors
// where nobody has to answer them, and abort(), std::terminate() (an exception nobody catches,
// std::bad_alloc from a failed new among them, or a pure virtual call) and an unhandled exception
// each end the process with exit code 1603, after a "Fatal error" line in the log when one is open.
// Interactive runs do not call it: their failures show as the system and run-time show them.
class CSetupLog;

// log may be null; it must outlive the process or be forgotten first.
void EndFatalErrorsQuietly(const CSetupLog* log);
void ForgetFatalErrorLog();
