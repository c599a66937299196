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

// Loads the library on the first call and keeps it for the life of the process. A library or
// function that cannot be found ends the process with the status the loader ends it with for a
// missing import (STATUS_DLL_NOT_FOUND, STATUS_ENTRYPOINT_NOT_FOUND).
const CommonControlsApi& CommonControls();
