#include "framework/CommonControls.h"

namespace {
constexpr UINT kStatusDllNotFound = 0xC0000135;
constexpr UINT kStatusEntryPointNotFound = 0xC0000139;

template <typename Function>
void Bind(HMODULE library, const char* name, Function& slot) {
    slot = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(library, name)));
    if (!slot) ::ExitProcess(kStatusEntryPointNotFound);
}

void Load(CommonControlsApi& api) {
    HMODULE library = ::LoadLibraryW(L"comctl32.dll");
    if (!library) ::ExitProcess(kStatusDllNotFound);
    Bind(library, "InitCommonControlsEx", api.InitCommonControlsEx);
    Bind(library, "ImageList_Create", api.ImageList_Create);
    Bind(library, "ImageList_Add", api.ImageList_Add);
    Bind(library, "ImageList_GetImageCount", api.ImageList_GetImageCount);
    Bind(library, "ImageList_Destroy", api.ImageList_Destroy);
    Bind(library, "SetWindowSubclass", api.SetWindowSubclass);
    Bind(library, "RemoveWindowSubclass", api.RemoveWindowSubclass);
    // Bound last: the table counts as loaded once this one is set.
    Bind(library, "DefSubclassProc", api.DefSubclassProc);
}
}  // namespace

const CommonControlsApi& CommonControls() {
    // Constant-initialised, so no guard: the program's windows all live on one thread.
    static CommonControlsApi api;
    if (!api.DefSubclassProc) Load(api);
    return api;
}
