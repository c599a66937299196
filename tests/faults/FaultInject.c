// fault_inject.dll: test tooling, never shipped. fault_run.exe loads it into memotack_setup.exe
// before the program's entry point runs. It replaces the program's import-table entries of the
// functions in kFunctions (and, through GetProcAddress and the shell link object's interfaces, of a
// few more), counts every call of each, and makes the calls chosen by MEMOTACK_FAULT fail the way
// the system fails them: the function's failure result and a real error code.
//
//   MEMOTACK_FAULT=NAME:N     the N-th call of NAME fails, the others work
//   MEMOTACK_FAULT=NAME:N+    the N-th call of NAME and every later one fail
//   MEMOTACK_FAULT_RECORD=F   appends one line per call (with MEMOTACK_FAULT, per call of NAME from N on) to
//                             the file F (a Windows path):
//                             CLASS TAB NAME TAB N TAB TARGET [TAB TEXT] [TAB "injected" CODE]
//                             TARGET is the file, key, value, resource or folder the call is for;
//                             TEXT is what a WriteFile wrote, for writes to MEMOTACK_FAULT_LOG.
#define COBJMACROS
#include <windows.h>
#include <aclapi.h>
#include <objbase.h>
#include <sddl.h>
#include <shlobj.h>

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

typedef struct {
    const char* dll;    // the import's DLL, as the program names it (compared without case)
    const char* name;   // the function
    const char* kind;   // its class in the record
    DWORD error;        // the error code a failure gives
    void* hook;         // the replacement
    void** real;        // receives the system's function
    LONG calls;
} Function;

static wchar_t g_failName[64];
static LONG g_failCall;
static BOOL g_failLater;
static HANDLE g_record = INVALID_HANDLE_VALUE;
static wchar_t g_logPath[MAX_PATH];

// What handles, keys and resources stand for, so that the record names the target of a call on them.
#define MAX_NAMES 256
static struct {
    void* handle;
    wchar_t name[MAX_PATH];
} g_names[MAX_NAMES];
static int g_nameCount;

static void Remember(void* handle, const wchar_t* name) {
    if (!handle || g_nameCount == MAX_NAMES) return;
    g_names[g_nameCount].handle = handle;
    lstrcpynW(g_names[g_nameCount++].name, name ? name : L"", MAX_PATH);
}

static const wchar_t* NameOf(void* handle) {
    for (int i = g_nameCount - 1; i >= 0; --i)
        if (g_names[i].handle == handle) return g_names[i].name;
    return L"?";
}

static const wchar_t* ResourceName(LPCWSTR name, wchar_t* buffer) {
    if (IS_INTRESOURCE(name))
        wsprintfW(buffer, L"#%u", (unsigned)(ULONG_PTR)name);
    else
        lstrcpynW(buffer, name, 64);
    return buffer;
}

static void RecordLine(const wchar_t* line) {
    char utf8[4096];
    int length = WideCharToMultiByte(CP_UTF8, 0, line, -1, utf8, sizeof utf8 - 1, NULL, NULL);
    if (length <= 0) return;
    utf8[length - 1] = '\n';
    DWORD written;
    WriteFile(g_record, utf8, (DWORD)length, &written, NULL);
}

// Counts the call and records it; TRUE when it is to fail, with the error code set.
static BOOL Fails(Function* function, const wchar_t* target, const wchar_t* text) {
    LONG call = ++function->calls;
    wchar_t name[64];
    MultiByteToWideChar(CP_ACP, 0, function->name, -1, name, 64);
    BOOL chosen = g_failCall > 0 && lstrcmpW(name, g_failName) == 0 && call >= g_failCall;
    BOOL fail = chosen && (call == g_failCall || g_failLater);
    // A run without a fault records every call; a run with one the chosen function's calls from the
    // one that fails on, which tells whether any came after it.
    if (g_record != INVALID_HANDLE_VALUE && (chosen || g_failCall == 0)) {
        wchar_t line[2048];
        wchar_t injected[24] = L"";
        if (fail) wsprintfW(injected, L"\tinjected %lu", function->error);
        _snwprintf(line, 2047, L"%hs\t%ls\t%ld\t%ls%ls%ls%ls", function->kind, name, call, target ? target : L"",
                   text ? L"\t" : L"", text ? text : L"", injected);
        line[2047] = 0;
        RecordLine(line);
    }
    if (fail) SetLastError(function->error);
    return fail;
}

#define FAILS(index, target) Fails(&kFunctions[index], target, NULL)
#define REAL(index, type) ((type)*kFunctions[index].real)

enum {
    F_CreateFileW, F_WriteFile, F_FlushFileBuffers, F_SetEndOfFile, F_DeleteFileW, F_GetFileAttributesW,
    F_GetFullPathNameW, F_GetShortPathNameW, F_GetLongPathNameW, F_GetFileInformationByHandle, F_ReadFile,
    F_GetFileAttributesExW, F_MoveFileExW, F_CreateDirectoryW, F_SetNamedSecurityInfoW, F_GetNamedSecurityInfoW,
    F_GetSecurityInfo, F_ConvertStringSecurityDescriptorToSecurityDescriptorW, F_GetVolumeInformationW,
    F_GetVolumePathNameW, F_RegGetValueW, F_CreateMutexW, F_WaitForSingleObject, F_wmkdir, F_SHCreateDirectoryExW, F_RegCreateKeyW, F_RegSetValueExW, F_RegCloseKey,
    F_RegDeleteKeyW, F_RegOpenKeyExW, F_RegQueryInfoKeyW, F_RegEnumValueW, F_RegQueryValueExW, F_SHGetSpecialFolderPathW, F_CoInitialize, F_CoCreateInstance, F_FindResourceW,
    F_SizeofResource, F_LoadResource, F_LockResource, F_GetVersionExW, F_LoadLibraryW, F_GetProcAddress,
    F_GetFinalPathNameByHandleW, F_QueryInterface, F_SetPath, F_SetDescription, F_SetWorkingDirectory, F_Save,
    F_Count
};
static Function kFunctions[F_Count];

static HANDLE WINAPI Hook_CreateFileW(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                      DWORD disposition, DWORD flags, HANDLE templateFile) {
    if (FAILS(F_CreateFileW, name)) return INVALID_HANDLE_VALUE;
    HANDLE file = REAL(F_CreateFileW, HANDLE(WINAPI*)(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD,
                                                      HANDLE))(name, access, share, security, disposition, flags,
                                                               templateFile);
    if (file != INVALID_HANDLE_VALUE) Remember(file, name);
    return file;
}

static BOOL WINAPI Hook_WriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped) {
    const wchar_t* target = NameOf(file);
    wchar_t text[1024];
    const wchar_t* shown = NULL;
    if (g_logPath[0] && lstrcmpiW(target, g_logPath) == 0) {
        int length = MultiByteToWideChar(CP_UTF8, 0, data, (int)(size < 1000 ? size : 1000), text, 1023);
        text[length] = 0;
        for (wchar_t* c = text; *c; ++c)
            if (*c == L'\r' || *c == L'\n' || *c == L'\t') *c = L' ';
        shown = text;
    }
    if (Fails(&kFunctions[F_WriteFile], target, shown)) {
        if (written) *written = 0;
        return FALSE;
    }
    return REAL(F_WriteFile, BOOL(WINAPI*)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED))(file, data, size, written,
                                                                                         overlapped);
}

static BOOL WINAPI Hook_FlushFileBuffers(HANDLE file) {
    if (FAILS(F_FlushFileBuffers, NameOf(file))) return FALSE;
    return REAL(F_FlushFileBuffers, BOOL(WINAPI*)(HANDLE))(file);
}

static BOOL WINAPI Hook_SetEndOfFile(HANDLE file) {
    if (FAILS(F_SetEndOfFile, NameOf(file))) return FALSE;
    return REAL(F_SetEndOfFile, BOOL(WINAPI*)(HANDLE))(file);
}

static BOOL WINAPI Hook_DeleteFileW(LPCWSTR name) {
    if (FAILS(F_DeleteFileW, name)) return FALSE;
    return REAL(F_DeleteFileW, BOOL(WINAPI*)(LPCWSTR))(name);
}

static DWORD WINAPI Hook_GetFileAttributesW(LPCWSTR name) {
    if (FAILS(F_GetFileAttributesW, name)) return INVALID_FILE_ATTRIBUTES;
    return REAL(F_GetFileAttributesW, DWORD(WINAPI*)(LPCWSTR))(name);
}

static DWORD WINAPI Hook_GetFullPathNameW(LPCWSTR name, DWORD size, LPWSTR buffer, LPWSTR* part) {
    if (FAILS(F_GetFullPathNameW, name)) return 0;
    return REAL(F_GetFullPathNameW, DWORD(WINAPI*)(LPCWSTR, DWORD, LPWSTR, LPWSTR*))(name, size, buffer, part);
}

static DWORD WINAPI Hook_GetShortPathNameW(LPCWSTR name, LPWSTR buffer, DWORD size) {
    if (FAILS(F_GetShortPathNameW, name)) return 0;
    return REAL(F_GetShortPathNameW, DWORD(WINAPI*)(LPCWSTR, LPWSTR, DWORD))(name, buffer, size);
}

static DWORD WINAPI Hook_GetLongPathNameW(LPCWSTR name, LPWSTR buffer, DWORD size) {
    if (FAILS(F_GetLongPathNameW, name)) return 0;
    return REAL(F_GetLongPathNameW, DWORD(WINAPI*)(LPCWSTR, LPWSTR, DWORD))(name, buffer, size);
}

static BOOL WINAPI Hook_GetFileInformationByHandle(HANDLE file, LPBY_HANDLE_FILE_INFORMATION information) {
    if (FAILS(F_GetFileInformationByHandle, NameOf(file))) return FALSE;
    return REAL(F_GetFileInformationByHandle, BOOL(WINAPI*)(HANDLE, LPBY_HANDLE_FILE_INFORMATION))(file, information);
}

static BOOL WINAPI Hook_ReadFile(HANDLE file, LPVOID data, DWORD size, LPDWORD read, LPOVERLAPPED overlapped) {
    if (FAILS(F_ReadFile, NameOf(file))) {
        if (read) *read = 0;
        return FALSE;
    }
    return REAL(F_ReadFile, BOOL(WINAPI*)(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED))(file, data, size, read,
                                                                                       overlapped);
}

static BOOL WINAPI Hook_GetFileAttributesExW(LPCWSTR name, GET_FILEEX_INFO_LEVELS level, LPVOID information) {
    if (FAILS(F_GetFileAttributesExW, name)) return FALSE;
    return REAL(F_GetFileAttributesExW, BOOL(WINAPI*)(LPCWSTR, GET_FILEEX_INFO_LEVELS, LPVOID))(name, level,
                                                                                              information);
}

// The access-control functions return their error code rather than set it.
static DWORD WINAPI Hook_SetNamedSecurityInfoW(LPWSTR name, SE_OBJECT_TYPE type, SECURITY_INFORMATION what, PSID owner,
                                               PSID group, PACL dacl, PACL sacl) {
    if (FAILS(F_SetNamedSecurityInfoW, name)) return kFunctions[F_SetNamedSecurityInfoW].error;
    return REAL(F_SetNamedSecurityInfoW, DWORD(WINAPI*)(LPWSTR, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID, PSID, PACL,
                                                        PACL))(name, type, what, owner, group, dacl, sacl);
}

static DWORD WINAPI Hook_GetNamedSecurityInfoW(LPCWSTR name, SE_OBJECT_TYPE type, SECURITY_INFORMATION what,
                                               PSID* owner, PSID* group, PACL* dacl, PACL* sacl,
                                               PSECURITY_DESCRIPTOR* descriptor) {
    if (FAILS(F_GetNamedSecurityInfoW, name)) return kFunctions[F_GetNamedSecurityInfoW].error;
    return REAL(F_GetNamedSecurityInfoW, DWORD(WINAPI*)(LPCWSTR, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID*, PSID*,
                                                        PACL*, PACL*, PSECURITY_DESCRIPTOR*))(
        name, type, what, owner, group, dacl, sacl, descriptor);
}

static DWORD WINAPI Hook_GetSecurityInfo(HANDLE object, SE_OBJECT_TYPE type, SECURITY_INFORMATION what, PSID* owner,
                                         PSID* group, PACL* dacl, PACL* sacl, PSECURITY_DESCRIPTOR* descriptor) {
    if (FAILS(F_GetSecurityInfo, NameOf(object))) return kFunctions[F_GetSecurityInfo].error;
    return REAL(F_GetSecurityInfo, DWORD(WINAPI*)(HANDLE, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID*, PSID*, PACL*,
                                                  PACL*, PSECURITY_DESCRIPTOR*))(object, type, what, owner, group,
                                                                                 dacl, sacl, descriptor);
}

static BOOL WINAPI Hook_ConvertStringSecurityDescriptorToSecurityDescriptorW(LPCWSTR text, DWORD revision,
                                                                             PSECURITY_DESCRIPTOR* descriptor,
                                                                             PULONG size) {
    if (FAILS(F_ConvertStringSecurityDescriptorToSecurityDescriptorW, text)) return FALSE;
    return REAL(F_ConvertStringSecurityDescriptorToSecurityDescriptorW,
                BOOL(WINAPI*)(LPCWSTR, DWORD, PSECURITY_DESCRIPTOR*, PULONG))(text, revision, descriptor, size);
}

static BOOL WINAPI Hook_GetVolumeInformationW(LPCWSTR root, LPWSTR name, DWORD nameSize, LPDWORD serial,
                                              LPDWORD longest, LPDWORD flags, LPWSTR system, DWORD systemSize) {
    if (FAILS(F_GetVolumeInformationW, root)) return FALSE;
    return REAL(F_GetVolumeInformationW, BOOL(WINAPI*)(LPCWSTR, LPWSTR, DWORD, LPDWORD, LPDWORD, LPDWORD, LPWSTR,
                                                       DWORD))(root, name, nameSize, serial, longest, flags, system,
                                                               systemSize);
}

static BOOL WINAPI Hook_GetVolumePathNameW(LPCWSTR path, LPWSTR volume, DWORD size) {
    if (FAILS(F_GetVolumePathNameW, path)) return FALSE;
    return REAL(F_GetVolumePathNameW, BOOL(WINAPI*)(LPCWSTR, LPWSTR, DWORD))(path, volume, size);
}

static LONG WINAPI Hook_RegGetValueW(HKEY key, LPCWSTR subkey, LPCWSTR name, DWORD flags, LPDWORD type, PVOID data,
                                     LPDWORD size) {
    if (FAILS(F_RegGetValueW, name)) return (LONG)kFunctions[F_RegGetValueW].error;
    return REAL(F_RegGetValueW, LONG(WINAPI*)(HKEY, LPCWSTR, LPCWSTR, DWORD, LPDWORD, PVOID, LPDWORD))(
        key, subkey, name, flags, type, data, size);
}

static HANDLE WINAPI Hook_CreateMutexW(LPSECURITY_ATTRIBUTES security, BOOL owned, LPCWSTR name) {
    if (FAILS(F_CreateMutexW, name)) return NULL;
    HANDLE mutex = REAL(F_CreateMutexW, HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, BOOL, LPCWSTR))(security, owned, name);
    Remember(mutex, name ? name : L"(unnamed mutex)");
    return mutex;
}

// Only waits on the program's own mutexes are counted: the run-time waits on objects of its own.
static DWORD WINAPI Hook_WaitForSingleObject(HANDLE object, DWORD milliseconds) {
    const wchar_t* name = NameOf(object);
    if (lstrcmpW(name, L"?") != 0 && FAILS(F_WaitForSingleObject, name)) return WAIT_FAILED;
    return REAL(F_WaitForSingleObject, DWORD(WINAPI*)(HANDLE, DWORD))(object, milliseconds);
}

static DWORD WINAPI Hook_GetFinalPathNameByHandleW(HANDLE file, LPWSTR buffer, DWORD size, DWORD flags) {
    if (FAILS(F_GetFinalPathNameByHandleW, NameOf(file))) return 0;
    return REAL(F_GetFinalPathNameByHandleW, DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD))(file, buffer, size, flags);
}

static BOOL WINAPI Hook_MoveFileExW(LPCWSTR from, LPCWSTR to, DWORD flags) {
    if (FAILS(F_MoveFileExW, to)) return FALSE;
    return REAL(F_MoveFileExW, BOOL(WINAPI*)(LPCWSTR, LPCWSTR, DWORD))(from, to, flags);
}

static BOOL WINAPI Hook_CreateDirectoryW(LPCWSTR name, LPSECURITY_ATTRIBUTES security) {
    if (FAILS(F_CreateDirectoryW, name)) return FALSE;
    return REAL(F_CreateDirectoryW, BOOL(WINAPI*)(LPCWSTR, LPSECURITY_ATTRIBUTES))(name, security);
}

static int __cdecl Hook_wmkdir(const wchar_t* name) {
    if (FAILS(F_wmkdir, name)) {
        *_errno() = EACCES;
        *__doserrno() = kFunctions[F_wmkdir].error;
        return -1;
    }
    return REAL(F_wmkdir, int(__cdecl*)(const wchar_t*))(name);
}

static int WINAPI Hook_SHCreateDirectoryExW(HWND owner, LPCWSTR name, const SECURITY_ATTRIBUTES* security) {
    if (FAILS(F_SHCreateDirectoryExW, name)) return (int)kFunctions[F_SHCreateDirectoryExW].error;
    return REAL(F_SHCreateDirectoryExW, int(WINAPI*)(HWND, LPCWSTR, const SECURITY_ATTRIBUTES*))(owner, name, security);
}

static LONG WINAPI Hook_RegCreateKeyW(HKEY parent, LPCWSTR name, PHKEY key) {
    if (FAILS(F_RegCreateKeyW, name)) return (LONG)kFunctions[F_RegCreateKeyW].error;
    LONG result = REAL(F_RegCreateKeyW, LONG(WINAPI*)(HKEY, LPCWSTR, PHKEY))(parent, name, key);
    if (result == ERROR_SUCCESS) Remember(*key, name);
    return result;
}

static LONG WINAPI Hook_RegSetValueExW(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data,
                                       DWORD size) {
    if (FAILS(F_RegSetValueExW, name)) return (LONG)kFunctions[F_RegSetValueExW].error;
    return REAL(F_RegSetValueExW, LONG(WINAPI*)(HKEY, LPCWSTR, DWORD, DWORD, const BYTE*, DWORD))(key, name, reserved,
                                                                                                 type, data, size);
}

static LONG WINAPI Hook_RegCloseKey(HKEY key) {
    if (FAILS(F_RegCloseKey, NameOf(key))) return (LONG)kFunctions[F_RegCloseKey].error;
    return REAL(F_RegCloseKey, LONG(WINAPI*)(HKEY))(key);
}

static LONG WINAPI Hook_RegDeleteKeyW(HKEY parent, LPCWSTR name) {
    if (FAILS(F_RegDeleteKeyW, name)) return (LONG)kFunctions[F_RegDeleteKeyW].error;
    return REAL(F_RegDeleteKeyW, LONG(WINAPI*)(HKEY, LPCWSTR))(parent, name);
}

static LONG WINAPI Hook_RegOpenKeyExW(HKEY parent, LPCWSTR name, DWORD options, REGSAM access, PHKEY key) {
    if (FAILS(F_RegOpenKeyExW, name)) return (LONG)kFunctions[F_RegOpenKeyExW].error;
    LONG result = REAL(F_RegOpenKeyExW, LONG(WINAPI*)(HKEY, LPCWSTR, DWORD, REGSAM, PHKEY))(parent, name, options,
                                                                                          access, key);
    if (result == ERROR_SUCCESS) Remember(*key, name);
    return result;
}

static LONG WINAPI Hook_RegQueryInfoKeyW(HKEY key, LPWSTR className, LPDWORD classLength, LPDWORD reserved,
                                         LPDWORD subkeys, LPDWORD longestSubkey, LPDWORD longestClass, LPDWORD values,
                                         LPDWORD longestValueName, LPDWORD longestValue, LPDWORD security,
                                         PFILETIME written) {
    if (FAILS(F_RegQueryInfoKeyW, NameOf(key))) return (LONG)kFunctions[F_RegQueryInfoKeyW].error;
    return REAL(F_RegQueryInfoKeyW, LONG(WINAPI*)(HKEY, LPWSTR, LPDWORD, LPDWORD, LPDWORD, LPDWORD, LPDWORD, LPDWORD,
                                                   LPDWORD, LPDWORD, LPDWORD, PFILETIME))(
        key, className, classLength, reserved, subkeys, longestSubkey, longestClass, values, longestValueName,
        longestValue, security, written);
}

static LONG WINAPI Hook_RegEnumValueW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameLength, LPDWORD reserved,
                                      LPDWORD type, LPBYTE data, LPDWORD size) {
    if (FAILS(F_RegEnumValueW, NameOf(key))) return (LONG)kFunctions[F_RegEnumValueW].error;
    return REAL(F_RegEnumValueW, LONG(WINAPI*)(HKEY, DWORD, LPWSTR, LPDWORD, LPDWORD, LPDWORD, LPBYTE, LPDWORD))(
        key, index, name, nameLength, reserved, type, data, size);
}

static LONG WINAPI Hook_RegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                         LPDWORD size) {
    if (FAILS(F_RegQueryValueExW, name)) return (LONG)kFunctions[F_RegQueryValueExW].error;
    return REAL(F_RegQueryValueExW, LONG(WINAPI*)(HKEY, LPCWSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD))(key, name, reserved,
                                                                                                   type, data, size);
}

static BOOL WINAPI Hook_SHGetSpecialFolderPathW(HWND owner, LPWSTR buffer, int folder, BOOL create) {
    wchar_t target[32];
    wsprintfW(target, L"CSIDL 0x%04x", folder);
    if (FAILS(F_SHGetSpecialFolderPathW, target)) return FALSE;
    return REAL(F_SHGetSpecialFolderPathW, BOOL(WINAPI*)(HWND, LPWSTR, int, BOOL))(owner, buffer, folder, create);
}

static HRESULT WINAPI Hook_CoInitialize(LPVOID reserved) {
    if (FAILS(F_CoInitialize, NULL)) return (HRESULT)kFunctions[F_CoInitialize].error;
    return REAL(F_CoInitialize, HRESULT(WINAPI*)(LPVOID))(reserved);
}

// The shell link object's methods: its vtable entries are replaced once the program has one.
static HRESULT STDMETHODCALLTYPE Hook_SetPath(IShellLinkW* link, LPCWSTR path) {
    if (FAILS(F_SetPath, path)) return (HRESULT)kFunctions[F_SetPath].error;
    return REAL(F_SetPath, HRESULT(STDMETHODCALLTYPE*)(IShellLinkW*, LPCWSTR))(link, path);
}

static HRESULT STDMETHODCALLTYPE Hook_SetDescription(IShellLinkW* link, LPCWSTR text) {
    if (FAILS(F_SetDescription, text)) return (HRESULT)kFunctions[F_SetDescription].error;
    return REAL(F_SetDescription, HRESULT(STDMETHODCALLTYPE*)(IShellLinkW*, LPCWSTR))(link, text);
}

static HRESULT STDMETHODCALLTYPE Hook_SetWorkingDirectory(IShellLinkW* link, LPCWSTR folder) {
    if (FAILS(F_SetWorkingDirectory, folder)) return (HRESULT)kFunctions[F_SetWorkingDirectory].error;
    return REAL(F_SetWorkingDirectory, HRESULT(STDMETHODCALLTYPE*)(IShellLinkW*, LPCWSTR))(link, folder);
}

static HRESULT STDMETHODCALLTYPE Hook_Save(IPersistFile* file, LPCOLESTR name, BOOL remember) {
    if (FAILS(F_Save, name)) return (HRESULT)kFunctions[F_Save].error;
    return REAL(F_Save, HRESULT(STDMETHODCALLTYPE*)(IPersistFile*, LPCOLESTR, BOOL))(file, name, remember);
}

// Replaces *slot with hook, keeping the first value found there as the real function.
static void Patch(void** slot, void* hook, void** real) {
    if (*slot == hook) return;
    DWORD old;
    if (!VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old)) return;
    if (!*real) *real = *slot;
    *slot = hook;
    VirtualProtect(slot, sizeof *slot, old, &old);
}

static HRESULT STDMETHODCALLTYPE Hook_QueryInterface(IShellLinkW* link, REFIID iid, void** object) {
    wchar_t target[40];
    StringFromGUID2(iid, target, 40);
    if (FAILS(F_QueryInterface, target)) {
        *object = NULL;
        return (HRESULT)kFunctions[F_QueryInterface].error;
    }
    HRESULT hr = REAL(F_QueryInterface, HRESULT(STDMETHODCALLTYPE*)(IShellLinkW*, REFIID, void**))(link, iid, object);
    if (SUCCEEDED(hr) && IsEqualIID(iid, &IID_IPersistFile)) {
        IPersistFile* file = *object;
        Patch((void**)&file->lpVtbl->Save, (void*)Hook_Save, kFunctions[F_Save].real);
    }
    return hr;
}

static HRESULT WINAPI Hook_CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid, LPVOID* object) {
    wchar_t target[40];
    StringFromGUID2(clsid, target, 40);
    if (FAILS(F_CoCreateInstance, target)) {
        *object = NULL;
        return (HRESULT)kFunctions[F_CoCreateInstance].error;
    }
    HRESULT hr = REAL(F_CoCreateInstance, HRESULT(WINAPI*)(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID*))(
        clsid, outer, context, iid, object);
    if (SUCCEEDED(hr) && IsEqualIID(iid, &IID_IShellLinkW)) {
        IShellLinkWVtbl* table = ((IShellLinkW*)*object)->lpVtbl;
        Patch((void**)&table->QueryInterface, (void*)Hook_QueryInterface, kFunctions[F_QueryInterface].real);
        Patch((void**)&table->SetPath, (void*)Hook_SetPath, kFunctions[F_SetPath].real);
        Patch((void**)&table->SetDescription, (void*)Hook_SetDescription, kFunctions[F_SetDescription].real);
        Patch((void**)&table->SetWorkingDirectory, (void*)Hook_SetWorkingDirectory,
              kFunctions[F_SetWorkingDirectory].real);
    }
    return hr;
}

static HRSRC WINAPI Hook_FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type) {
    wchar_t target[140], typeName[70], itemName[70];
    wsprintfW(target, L"%ls/%ls", ResourceName(type, typeName), ResourceName(name, itemName));
    if (FAILS(F_FindResourceW, target)) return NULL;
    HRSRC found = REAL(F_FindResourceW, HRSRC(WINAPI*)(HMODULE, LPCWSTR, LPCWSTR))(module, name, type);
    Remember(found, target);
    return found;
}

static DWORD WINAPI Hook_SizeofResource(HMODULE module, HRSRC resource) {
    if (FAILS(F_SizeofResource, NameOf(resource))) return 0;
    return REAL(F_SizeofResource, DWORD(WINAPI*)(HMODULE, HRSRC))(module, resource);
}

static HGLOBAL WINAPI Hook_LoadResource(HMODULE module, HRSRC resource) {
    const wchar_t* target = NameOf(resource);
    if (FAILS(F_LoadResource, target)) return NULL;
    HGLOBAL loaded = REAL(F_LoadResource, HGLOBAL(WINAPI*)(HMODULE, HRSRC))(module, resource);
    Remember(loaded, target);
    return loaded;
}

static LPVOID WINAPI Hook_LockResource(HGLOBAL resource) {
    if (FAILS(F_LockResource, NameOf(resource))) return NULL;
    return REAL(F_LockResource, LPVOID(WINAPI*)(HGLOBAL))(resource);
}

static BOOL WINAPI Hook_GetVersionExW(LPOSVERSIONINFOW info) {
    wchar_t target[16];
    wsprintfW(target, L"size %lu", info ? info->dwOSVersionInfoSize : 0);
    if (FAILS(F_GetVersionExW, target)) return FALSE;
    return REAL(F_GetVersionExW, BOOL(WINAPI*)(LPOSVERSIONINFOW))(info);
}

static HMODULE WINAPI Hook_LoadLibraryW(LPCWSTR name) {
    if (FAILS(F_LoadLibraryW, name)) return NULL;
    return REAL(F_LoadLibraryW, HMODULE(WINAPI*)(LPCWSTR))(name);
}

static FARPROC WINAPI Hook_GetProcAddress(HMODULE module, LPCSTR name) {
    wchar_t target[128];
    if (IS_INTRESOURCE(name))
        wsprintfW(target, L"#%u", (unsigned)(ULONG_PTR)name);
    else
        MultiByteToWideChar(CP_ACP, 0, name, -1, target, 128);
    if (FAILS(F_GetProcAddress, target)) return NULL;
    FARPROC found = REAL(F_GetProcAddress, FARPROC(WINAPI*)(HMODULE, LPCSTR))(module, name);
    // A function looked up at run time is counted like an imported one.
    if (found && !IS_INTRESOURCE(name) && strcmp(name, "GetFinalPathNameByHandleW") == 0) {
        *kFunctions[F_GetFinalPathNameByHandleW].real = (void*)found;
        return (FARPROC)Hook_GetFinalPathNameByHandleW;
    }
    return found;
}

static void* g_real[F_Count];

#define FUNCTION(dll, name, kind, error) {dll, #name, kind, error, (void*)Hook_##name, &g_real[F_##name], 0}
static Function kFunctions[F_Count] = {
    FUNCTION("kernel32.dll", CreateFileW, "file", ERROR_SHARING_VIOLATION),
    FUNCTION("kernel32.dll", WriteFile, "file", ERROR_DISK_FULL),
    FUNCTION("kernel32.dll", FlushFileBuffers, "file", ERROR_DISK_FULL),
    FUNCTION("kernel32.dll", SetEndOfFile, "file", ERROR_DISK_FULL),
    FUNCTION("kernel32.dll", DeleteFileW, "file", ERROR_ACCESS_DENIED),
    FUNCTION("kernel32.dll", GetFileAttributesW, "file", ERROR_ACCESS_DENIED),
    FUNCTION("kernel32.dll", GetFullPathNameW, "file", ERROR_NOT_ENOUGH_MEMORY),
    FUNCTION("kernel32.dll", GetShortPathNameW, "file", ERROR_ACCESS_DENIED),
    FUNCTION("kernel32.dll", GetLongPathNameW, "file", ERROR_ACCESS_DENIED),
    FUNCTION("kernel32.dll", GetFileInformationByHandle, "file", ERROR_ACCESS_DENIED),
    FUNCTION("kernel32.dll", ReadFile, "file", ERROR_SHARING_VIOLATION),
    FUNCTION("kernel32.dll", GetFileAttributesExW, "file", ERROR_ACCESS_DENIED),
    FUNCTION("kernel32.dll", MoveFileExW, "move", ERROR_SHARING_VIOLATION),
    FUNCTION("kernel32.dll", CreateDirectoryW, "folder", ERROR_ACCESS_DENIED),
    FUNCTION("advapi32.dll", SetNamedSecurityInfoW, "folder", ERROR_ACCESS_DENIED),
    FUNCTION("advapi32.dll", GetNamedSecurityInfoW, "folder", ERROR_ACCESS_DENIED),
    FUNCTION("advapi32.dll", GetSecurityInfo, "folder", ERROR_ACCESS_DENIED),
    FUNCTION("advapi32.dll", ConvertStringSecurityDescriptorToSecurityDescriptorW, "folder", ERROR_NOT_ENOUGH_MEMORY),
    FUNCTION("kernel32.dll", GetVolumeInformationW, "folder", ERROR_ACCESS_DENIED),
    FUNCTION("kernel32.dll", GetVolumePathNameW, "folder", ERROR_ACCESS_DENIED),
    FUNCTION("advapi32.dll", RegGetValueW, "registry", ERROR_ACCESS_DENIED),
    FUNCTION("kernel32.dll", CreateMutexW, "lock", ERROR_ACCESS_DENIED),
    FUNCTION("kernel32.dll", WaitForSingleObject, "lock", ERROR_INVALID_HANDLE),
    {"msvcrt.dll", "_wmkdir", "folder", ERROR_ACCESS_DENIED, (void*)Hook_wmkdir, &g_real[F_wmkdir], 0},
    FUNCTION("shell32.dll", SHCreateDirectoryExW, "folder", ERROR_ACCESS_DENIED),
    FUNCTION("advapi32.dll", RegCreateKeyW, "registry", ERROR_ACCESS_DENIED),
    FUNCTION("advapi32.dll", RegSetValueExW, "registry", ERROR_ACCESS_DENIED),
    FUNCTION("advapi32.dll", RegCloseKey, "registry", ERROR_INVALID_HANDLE),
    FUNCTION("advapi32.dll", RegDeleteKeyW, "registry", ERROR_ACCESS_DENIED),
    FUNCTION("advapi32.dll", RegOpenKeyExW, "registry", ERROR_ACCESS_DENIED),
    FUNCTION("advapi32.dll", RegQueryInfoKeyW, "registry", ERROR_ACCESS_DENIED),
    FUNCTION("advapi32.dll", RegEnumValueW, "registry", ERROR_ACCESS_DENIED),
    FUNCTION("advapi32.dll", RegQueryValueExW, "registry", ERROR_ACCESS_DENIED),
    FUNCTION("shell32.dll", SHGetSpecialFolderPathW, "shell", ERROR_ACCESS_DENIED),
    FUNCTION("ole32.dll", CoInitialize, "com", (DWORD)E_OUTOFMEMORY),
    FUNCTION("ole32.dll", CoCreateInstance, "com", (DWORD)E_OUTOFMEMORY),
    FUNCTION("kernel32.dll", FindResourceW, "resource", ERROR_RESOURCE_DATA_NOT_FOUND),
    FUNCTION("kernel32.dll", SizeofResource, "resource", ERROR_RESOURCE_DATA_NOT_FOUND),
    FUNCTION("kernel32.dll", LoadResource, "resource", ERROR_NOT_ENOUGH_MEMORY),
    FUNCTION("kernel32.dll", LockResource, "resource", ERROR_NOT_ENOUGH_MEMORY),
    FUNCTION("kernel32.dll", GetVersionExW, "version", ERROR_INVALID_PARAMETER),
    FUNCTION("kernel32.dll", LoadLibraryW, "library", ERROR_MOD_NOT_FOUND),
    FUNCTION("kernel32.dll", GetProcAddress, "library", ERROR_PROC_NOT_FOUND),
    // Reached through GetProcAddress and the shell link object, not the import table.
    {"", "GetFinalPathNameByHandleW", "file", ERROR_ACCESS_DENIED, NULL, &g_real[F_GetFinalPathNameByHandleW], 0},
    {"", "QueryInterface", "com", (DWORD)E_NOINTERFACE, NULL, &g_real[F_QueryInterface], 0},
    {"", "SetPath", "com", (DWORD)E_OUTOFMEMORY, NULL, &g_real[F_SetPath], 0},
    {"", "SetDescription", "com", (DWORD)E_OUTOFMEMORY, NULL, &g_real[F_SetDescription], 0},
    {"", "SetWorkingDirectory", "com", (DWORD)E_OUTOFMEMORY, NULL, &g_real[F_SetWorkingDirectory], 0},
    {"", "Save", "com", (DWORD)HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED), NULL, &g_real[F_Save], 0},
};

// Replaces the program's import-table entries of the functions above.
static void PatchImports(HMODULE program) {
    BYTE* base = (BYTE*)program;
    IMAGE_NT_HEADERS* headers = (IMAGE_NT_HEADERS*)(base + ((IMAGE_DOS_HEADER*)base)->e_lfanew);
    IMAGE_DATA_DIRECTORY* directory = &headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (IMAGE_IMPORT_DESCRIPTOR* import = (IMAGE_IMPORT_DESCRIPTOR*)(base + directory->VirtualAddress);
         directory->VirtualAddress && import->Name; ++import) {
        const char* dll = (const char*)(base + import->Name);
        IMAGE_THUNK_DATA* names = (IMAGE_THUNK_DATA*)(base + import->OriginalFirstThunk);
        IMAGE_THUNK_DATA* slots = (IMAGE_THUNK_DATA*)(base + import->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const char* name = (const char*)((IMAGE_IMPORT_BY_NAME*)(base + names->u1.AddressOfData))->Name;
            for (int i = 0; i < F_Count; ++i) {
                if (kFunctions[i].hook && _stricmp(kFunctions[i].dll, dll) == 0 && strcmp(kFunctions[i].name, name) == 0)
                    Patch((void**)&slots->u1.Function, kFunctions[i].hook, kFunctions[i].real);
            }
        }
    }
}

static void ReadSettings(void) {
    wchar_t value[MAX_PATH];
    if (GetEnvironmentVariableW(L"MEMOTACK_FAULT", value, MAX_PATH) - 1 < MAX_PATH - 1) {
        wchar_t* colon = wcschr(value, L':');
        if (colon) {
            *colon = 0;
            lstrcpynW(g_failName, value, 64);
            g_failCall = wcstol(colon + 1, NULL, 10);
            g_failLater = wcschr(colon + 1, L'+') != NULL;
        }
    }
    if (GetEnvironmentVariableW(L"MEMOTACK_FAULT_LOG", value, MAX_PATH) - 1 < MAX_PATH - 1) lstrcpynW(g_logPath, value, MAX_PATH);
    if (GetEnvironmentVariableW(L"MEMOTACK_FAULT_RECORD", value, MAX_PATH) - 1 < MAX_PATH - 1)
        g_record = CreateFileW(value, FILE_APPEND_DATA, FILE_SHARE_READ, NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance;
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        ReadSettings();
        PatchImports(GetModuleHandleW(NULL));
    }
    return TRUE;
}
