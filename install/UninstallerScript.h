#pragma once
// How the uninstaller's lines name paths. The uninstaller is a batch file: the command processor
// reads it in the console's code page (the OEM one), expands %...% pairs and drops a lone %.
#include "framework/CString.h"

// The uninstaller's code page: the one the command processor reads a batch file in.
constexpr UINT kScriptCodePage = CP_OEMCP;

// Whether text is all ASCII, which reads the same in every code page.
bool IsAscii(const CString& text);

// A 32-bit program on 64-bit Windows: the uninstaller then names the entry's key in both registry
// views (see CInstallerDlg::CreateUninstaller).
bool IsWow64();

// path in double quotes, in the form a line of the uninstaller holds it so that the command
// processor reads the path back: every % doubled, and a path beyond ASCII named by the short form
// of the longest part of it that exists, followed by the rest, where that form is ASCII. ASCII
// reads the same in every console code page, the OEM one and one chosen with chcp alike. Where it
// is not (a volume without short names, a part that does not exist yet), the path as the OEM code
// page holds it, or else that short form. A path with neither comes back quoted as given; writing
// the uninstaller then fails and names it (see CInstallerDlg::CreateUninstaller).
CString QuotedScriptPath(const CString& path);

// The first path in script that the uninstaller's code page cannot hold, or an empty text. Every
// line names its paths in double quotes, and the rest of the script is ASCII.
CString UnwritablePath(const CString& script);
