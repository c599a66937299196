#pragma once
// The log that -log=FILE asks for: UTF-8 with a byte-order mark and CR LF line ends, so that
// Notepad shows it. Each line goes to the file as it is written and is flushed at once, so that a
// log survives a crash or a kill of the installer. A log that cannot be opened or written stays
// silent: it never changes what is installed or the exit code.
//
// Progress rows: steps set a failed row's error text before or after its status, so a failed row
// without its text waits until the text, the next row or the end of the log.
#include "framework/CString.h"
#include "framework/Handles.h"

class CSetupLog {
public:
    // Opens path, made a full path first, for a new log, creating the folders it lacks. A file
    // already there is replaced only when it is a plain file (no reparse point), has no other name
    // (one hard link) and the system finds it at that very path (no link or junction on the way);
    // it is checked on the handle the log writes through and emptied only once accepted. False
    // when the log cannot be opened or is refused; it then stays closed and every other call does
    // nothing.
    bool Open(const CString& path);
    bool IsOpen() const { return m_file.IsValid(); }
    // The full path of the open log; empty while closed.
    const CString& GetPath() const { return m_strPath; }

    // One line; line breaks inside text become spaces.
    void WriteLine(const CString& text);

    void RowStarted(const CString& label);
    void RowError(const CString& text);
    void RowEnded(bool failed);

    // Writes a row still waiting for its text, then "exit code N" as the last line, and closes.
    void Close(int exitCode);

    // For a process about to end on a fatal error: "Fatal error: CAUSE" and "exit code N" written
    // straight to the file, with no memory allocated. The log stays open.
    void WriteFatalError(const char* cause, int exitCode) const;

private:
    enum class RowState { None, Running, FailedWithoutText };
    void WriteRow(bool failed);

    UniqueHandle m_file;
    CString m_strPath;
    RowState m_rowState = RowState::None;
    CString m_strRowLabel;
    CString m_strRowError;
};
