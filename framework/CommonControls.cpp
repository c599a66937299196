#include "framework/CommonControls.h"

#include <stdlib.h>
#include <string.h>

namespace {
// The exported names, in the order of CommonControlsApi's members.
const char* const kNames[] = {
    "InitCommonControlsEx", "ImageList_Create",  "ImageList_Add",        "ImageList_GetImageCount",
    "ImageList_Destroy",    "SetWindowSubclass", "RemoveWindowSubclass", "DefSubclassProc",
};
static_assert(sizeof kNames / sizeof *kNames * sizeof(FARPROC) == sizeof(CommonControlsApi), "one name per member");

// Constant-initialised, so no guard: the program's windows all live on one thread. Set only once
// every function was found, so a non-null member means the table is loaded.
CommonControlsApi g_api;

bool Load() {
    HMODULE library = ::LoadLibraryW(L"comctl32.dll");
    if (!library) return false;
    CommonControlsApi api;
    for (size_t i = 0; i < sizeof kNames / sizeof *kNames; ++i) {
        FARPROC function = ::GetProcAddress(library, kNames[i]);
        if (!function) return false;
        memcpy(reinterpret_cast<char*>(&api) + i * sizeof function, &function, sizeof function);
    }
    INITCOMMONCONTROLSEX controls;
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES;
    api.InitCommonControlsEx(&controls);
    g_api = api;
    return true;
}
}  // namespace

const CommonControlsApi* LoadCommonControls() { return g_api.DefSubclassProc || Load() ? &g_api : nullptr; }

const CommonControlsApi& CommonControls() {
    if (!LoadCommonControls()) abort();
    return g_api;
}
