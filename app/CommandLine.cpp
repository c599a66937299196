#include "app/CommandLine.h"

#include <shellapi.h>
#include <string.h>
#include <wchar.h>

#include "framework/Handles.h"

namespace {
bool StartsWith(LPCWSTR text, LPCWSTR prefix) { return wcsncmp(text, prefix, wcslen(prefix)) == 0; }

}  // namespace

CommandLineOptions ParseCommandLineOptions(LPCWSTR commandLine) {
    CommandLineOptions options;
    // A stand-in program name first: CommandLineToArgvW reads its first argument by the rules for
    // program names, and for an empty text it returns the path of the running program.
    const CString line = CString(L"setup ") + (commandLine ? commandLine : L"");
    int count = 0;
    LocalMemory memory;
    *memory.Receive() = ::CommandLineToArgvW(line, &count);
    LPWSTR* arguments = memory.As<LPWSTR>();
    if (!arguments) return options;
    for (int i = 1; i < count; ++i) {
        LPCWSTR argument = arguments[i];
        if (wcscmp(argument, L"-everyone") == 0) {
            options.everyone = true;
        } else if (StartsWith(argument, L"-path=")) {
            options.pathGiven = true;
            options.path = argument + wcslen(L"-path=");
        } else if (StartsWith(argument, L"-log=")) {
            options.logPath = argument + wcslen(L"-log=");
        }
    }
    return options;
}
