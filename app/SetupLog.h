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
    // Creates path, replacing an old file. False when it cannot; the log then stays closed and
    // every other call does nothing.
    bool Open(const CString& path);
    bool IsOpen() const { return m_file.IsValid(); }

    // One line; line breaks inside text become spaces.
    void WriteLine(const CString& text);

    void RowStarted(const CString& label);
    void RowError(const CString& text);
    void RowEnded(bool failed);

    // Writes a row still waiting for its text, then "exit code N" as the last line, and closes.
    void Close(int exitCode);

private:
    enum class RowState { None, Running, FailedWithoutText };
    void WriteRow(bool failed);

    UniqueHandle m_file;
    RowState m_rowState = RowState::None;
    CString m_strRowLabel;
    CString m_strRowError;
};
