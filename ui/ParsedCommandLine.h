#pragma once
// What the command line asks for. The application reads the command line once, at start-up
// (ParseCommandLine in app/CommandLine.h), and hands this value to the dialog, which works from it
// alone: nothing reads the command line's text again.
#include "framework/CString.h"

// How the program was asked to run.
enum class RunMode { Silent, ExtractOnly, Usage, Interactive };

struct CommandLine {
    // The whole text as it was given, for the log's header.
    CString text;
    // -silent, -extract, then -? or /?: plain case-sensitive substrings of the whole text, anywhere
    // in it; the first of them in that order wins. None of them: the dialog.
    RunMode mode = RunMode::Interactive;

    // The switches for unattended deployment. Unlike the run-mode switches, these are whole
    // arguments, split the way Windows splits a command line (CommandLineToArgvW), so that
    // -path="C:\My Apps\Memotack" is one argument. Case-sensitive like the others; when one is
    // given twice, the last one counts.
    bool everyone = false;   // -everyone
    bool pathGiven = false;  // -path=FOLDER, FOLDER possibly empty
    CString path;
    CString logPath;  // -log=FILE; empty: no log

    // What was refused, with its reason: why FOLDER of -path= cannot be the install folder
    // (InstallFolderProblem). Empty when -path= was not given or its folder can be the install folder.
    CString whyPathRefused;
};
