#include "install/PathRoot.h"

#include <wchar.h>

int PathRootEnd(const CString& path) {
    auto separatorAfter = [&path](int start) {
        int found = path.Find(L'\\', start);
        return found < 0 ? path.GetLength() : found;
    };
    int server;
    if (wcsncmp(path, L"\\\\?\\", 4) == 0 || wcsncmp(path, L"\\\\.\\", 4) == 0) {
        if (_wcsnicmp(path.GetString() + 4, L"UNC\\", 4) != 0) return separatorAfter(4);
        server = 8;
    } else if (wcsncmp(path, L"\\\\", 2) == 0) {
        server = 2;
    } else {
        return 3;
    }
    int share = separatorAfter(server);
    return share < path.GetLength() ? separatorAfter(share + 1) : share;
}
