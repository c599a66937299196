#include "runtime/SystemDllSearch.h"

#include <windows.h>

namespace {
constexpr IMAGE_LOAD_CONFIG_DIRECTORY32 DependentLoadsFromSystem() {
    IMAGE_LOAD_CONFIG_DIRECTORY32 config{};
    config.Size = sizeof config;
    config.Reserved1 = LOAD_LIBRARY_SEARCH_SYSTEM32;  // DependentLoadFlags in newer headers
    return config;
}
}  // namespace

// The image's load configuration. Its DependentLoadFlags make the loader of Windows 10 1607 and
// later look for the executable's static imports in the system folder only. Newer GNU linkers
// point the Load Config directory at this symbol by its name; with ours, tools/pe_load_config.py
// does it after linking.
extern "C" const IMAGE_LOAD_CONFIG_DIRECTORY32 _load_config_used = DependentLoadsFromSystem();

void RestrictDllSearchToSystem() {
    // Looked up rather than imported: an import the system lacks would stop the program loading.
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void (*)()>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
    // The flags are read from the load configuration, which keeps the structure in the image
    // (nothing else refers to it) and the two searches the same.
    const volatile WORD& flags = _load_config_used.Reserved1;
    if (setDefault && setDefault(flags)) {
        // System DLLs resolve some imports late, by name: the theme library takes its alpha
        // blending from msimg32.dll when it first draws. Wine's loader looks for such a late
        // import along the old search path, beside the program first; loaded now, from the
        // system folder, it is found already loaded.
        ::LoadLibraryW(L"msimg32.dll");
    }
    ::SetDllDirectoryW(L"");
}
