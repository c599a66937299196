#include "app/CommandLine.h"

#include <shellapi.h>
#include <string.h>
#include <wchar.h>

#include "framework/Handles.h"
#include "ui/InstallFolder.h"

namespace {
bool StartsWith(LPCWSTR text, LPCWSTR prefix) { return wcsncmp(text, prefix, wcslen(prefix)) == 0; }

// Plain case-sensitive substring tests in a fixed order; the first that matches wins.
RunMode ChooseRunMode(LPCWSTR text) {
    if (wcsstr(text, L"-silent")) return RunMode::Silent;
    if (wcsstr(text, L"-extract")) return RunMode::ExtractOnly;
    if (wcsstr(text, L"-?") || wcsstr(text, L"/?")) return RunMode::Usage;
    return RunMode::Interactive;
}

// The deployment switches, whole arguments: -everyone, -path= and -log=.
void ReadDeploymentSwitches(LPCWSTR text, CommandLine& commandLine) {
    // A stand-in program name first: CommandLineToArgvW reads its first argument by the rules for
    // program names, and for an empty text it returns the path of the running program.
    const CString line = CString(L"setup ") + text;
    int count = 0;
    LocalMemory memory;
    *memory.Receive() = ::CommandLineToArgvW(line, &count);
    LPWSTR* arguments = memory.As<LPWSTR>();
    if (!arguments) return;
    for (int i = 1; i < count; ++i) {
        LPCWSTR argument = arguments[i];
        if (wcscmp(argument, L"-everyone") == 0) {
            commandLine.everyone = true;
        } else if (StartsWith(argument, L"-path=")) {
            commandLine.pathGiven = true;
            commandLine.path = argument + wcslen(L"-path=");
        } else if (StartsWith(argument, L"-log=")) {
            commandLine.logPath = argument + wcslen(L"-log=");
        }
    }
}

}  // namespace

CommandLine ParseCommandLine(LPCWSTR text) {
    if (!text) text = L"";
    CommandLine commandLine;
    commandLine.text = text;
    commandLine.mode = ChooseRunMode(text);
    ReadDeploymentSwitches(text, commandLine);
    if (commandLine.pathGiven) commandLine.whyPathRefused = InstallFolderProblem(commandLine.path);
    return commandLine;
}
