#include "framework/CommonControls.h"

#include <string.h>

namespace {
constexpr UINT kStatusDllNotFound = 0xC0000135;
constexpr UINT kStatusEntryPointNotFound = 0xC0000139;

// The exported names, in the order of CommonControlsApi's members.
const char* const kNames[] = {
    "InitCommonControlsEx", "ImageList_Create",  "ImageList_Add",        "ImageList_GetImageCount",
    "ImageList_Destroy",    "SetWindowSubclass", "RemoveWindowSubclass", "DefSubclassProc",
};
static_assert(sizeof kNames / sizeof *kNames * sizeof(FARPROC) == sizeof(CommonControlsApi), "one name per member");

void Load(CommonControlsApi& api) {
    HMODULE library = ::LoadLibraryW(L"comctl32.dll");
    if (!library) ::ExitProcess(kStatusDllNotFound);
    // Member by member, in order; the last one, DefSubclassProc, marks the table as loaded.
    for (size_t i = 0; i < sizeof kNames / sizeof *kNames; ++i) {
        FARPROC function = ::GetProcAddress(library, kNames[i]);
        if (!function) ::ExitProcess(kStatusEntryPointNotFound);
        memcpy(reinterpret_cast<char*>(&api) + i * sizeof function, &function, sizeof function);
    }
}
}  // namespace

const CommonControlsApi& CommonControls() {
    // Constant-initialised, so no guard: the program's windows all live on one thread.
    static CommonControlsApi api;
    if (!api.DefSubclassProc) Load(api);
    return api;
}
