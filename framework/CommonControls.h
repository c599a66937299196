#pragma once
// The common controls library, loaded at run time rather than imported. It is not one of the
// system's known DLLs, and what it loads in turn (the theme library among them) would be looked
// for beside the program first while the static imports are resolved; loaded after
// RestrictDllSearchToSystem, it and its dependencies come from the system alone. The manifest's
// dependency binds the load to version 6.
#include <windows.h>

#include <commctrl.h>

// The functions of the library that the program calls, typed as commctrl.h declares them.
struct CommonControlsApi {
    decltype(&::InitCommonControlsEx) InitCommonControlsEx;
    decltype(&::ImageList_Create) ImageList_Create;
    decltype(&::ImageList_Add) ImageList_Add;
    decltype(&::ImageList_GetImageCount) ImageList_GetImageCount;
    decltype(&::ImageList_Destroy) ImageList_Destroy;
    decltype(&::SetWindowSubclass) SetWindowSubclass;
    decltype(&::RemoveWindowSubclass) RemoveWindowSubclass;
    decltype(&::DefSubclassProc) DefSubclassProc;
};

// Loads the library, registers its list view and standard classes, and keeps it for the life of
// the process. Null when the library or one of its functions cannot be found (the system's error
// code is then left for GetLastError); a later call tries again.
const CommonControlsApi* LoadCommonControls();
// The loaded library. A program checks LoadCommonControls at start-up: one that did not, and
// runs where the library cannot be loaded, ends here with abort().
const CommonControlsApi& CommonControls();
