// read_rows: prints what the running installer's dialog shows after its options page, for the
// end-to-end tests. First line "button=" and the Install/Finish button's text, then one line per
// progress row: "index|label|status image|error text", UTF-8. Exits 1 when there is no dialog.
// read_rows --options prints the options page instead: "folder=" and the folder box's text, the
// check states (0 or 1) of "everyone=", "justme=", "run=" and "help=", and "focus=" with the id of
// the control that has the keyboard focus.
//
// read_rows -install FOLDER everyone|justme: first fills in the options page as a user would
// (the folder typed into the folder box, the audience chosen, both after-install options
// cleared) and presses Install; once the install has run, prints as above and presses Finish.
//
// The list view belongs to another process, so the item and its text buffer are placed in that
// process's memory, where the list view writes them.
#include <windows.h>

#include <commctrl.h>

#include <string>

namespace {

const int kProgressList = 1016;
const int kInstallButton = 1000;
const int kRunAfter = 1005;
const int kForJustMe = 1007;
const int kForEveryone = 1008;
const int kFolderBox = 1011;
const int kShowHelp = 1014;
const int kTextChars = 1024;

void Print(const std::wstring& text) {
    int bytes =
        ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &utf8[0], bytes, nullptr, nullptr);
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

struct RemoteItem {
    LVITEMW item;
    wchar_t text[kTextChars];
};

// Reads one cell; image receives the row's image index when subItem is 0.
std::wstring ReadCell(HWND list, HANDLE process, RemoteItem* remote, int row, int subItem, int* image) {
    RemoteItem local = {};
    local.item.mask = LVIF_TEXT | (subItem == 0 ? LVIF_IMAGE : 0);
    local.item.iItem = row;
    local.item.iSubItem = subItem;
    local.item.pszText = remote->text;
    local.item.cchTextMax = kTextChars;
    SIZE_T done = 0;
    if (!::WriteProcessMemory(process, remote, &local, sizeof local, &done)) return L"?";
    ::SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&remote->item));
    if (!::ReadProcessMemory(process, remote, &local, sizeof local, &done)) return L"?";
    local.text[kTextChars - 1] = 0;
    if (image) *image = local.item.iImage;
    return local.text;
}

void PrintOptions(HWND dialog) {
    wchar_t folder[kTextChars] = {};
    ::SendDlgItemMessageW(dialog, kFolderBox, WM_GETTEXT, kTextChars, reinterpret_cast<LPARAM>(folder));
    Print(std::wstring(L"folder=") + folder + L"\n");
    const struct {
        const wchar_t* name;
        int id;
    } checks[] = {{L"everyone", kForEveryone}, {L"justme", kForJustMe}, {L"run", kRunAfter}, {L"help", kShowHelp}};
    for (const auto& check : checks) {
        LRESULT state = ::SendDlgItemMessageW(dialog, check.id, BM_GETCHECK, 0, 0);
        Print(std::wstring(check.name) + L"=" + std::to_wstring(state) + L"\n");
    }
    GUITHREADINFO thread = {};
    thread.cbSize = sizeof thread;
    ::GetGUIThreadInfo(::GetWindowThreadProcessId(dialog, nullptr), &thread);
    Print(L"focus=" + std::to_wstring(thread.hwndFocus ? ::GetDlgCtrlID(thread.hwndFocus) : 0) + L"\n");
}

// Sends a message that may take as long as the whole install (Install runs it synchronously).
LRESULT Send(HWND dialog, int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(::GetDlgItem(dialog, id), message, wParam, lParam, SMTO_NORMAL, 120000, &result);
    return static_cast<LRESULT>(result);
}

void Install(HWND dialog, LPCWSTR folder, bool everyone) {
    Send(dialog, kFolderBox, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(folder));
    Send(dialog, kForEveryone, BM_SETCHECK, everyone ? BST_CHECKED : BST_UNCHECKED);
    Send(dialog, kForJustMe, BM_SETCHECK, everyone ? BST_UNCHECKED : BST_CHECKED);
    Send(dialog, kRunAfter, BM_SETCHECK, BST_UNCHECKED);
    Send(dialog, kShowHelp, BM_SETCHECK, BST_UNCHECKED);
    Send(dialog, kInstallButton, BM_CLICK);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const bool install = argc == 4 && std::wstring(argv[1]) == L"-install";
    HWND dialog = nullptr;
    // The installer may still be starting.
    for (int wait = 0; !dialog && wait < (install ? 600 : 1); ++wait) {
        dialog = ::FindWindowW(nullptr, L"Memotack Installer");
        if (!dialog || !::IsWindowVisible(dialog)) {
            dialog = nullptr;
            if (install) ::Sleep(100);
        }
    }
    if (!dialog) return 1;
    if (argc > 1 && std::wstring(argv[1]) == L"--options") {
        PrintOptions(dialog);
        return 0;
    }
    if (install) Install(dialog, argv[2], std::wstring(argv[3]) == L"everyone");
    wchar_t caption[256] = {};
    ::GetWindowTextW(::GetDlgItem(dialog, kInstallButton), caption, 256);
    Print(std::wstring(L"button=") + caption + L"\n");

    HWND list = ::GetDlgItem(dialog, kProgressList);
    DWORD processId = 0;
    ::GetWindowThreadProcessId(list, &processId);
    HANDLE process = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
    if (!process) return 1;
    auto* remote = static_cast<RemoteItem*>(
        ::VirtualAllocEx(process, nullptr, sizeof(RemoteItem), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    int count = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        int image = -1;
        std::wstring label = ReadCell(list, process, remote, row, 0, &image);
        std::wstring error = ReadCell(list, process, remote, row, 1, nullptr);
        Print(std::to_wstring(row) + L"|" + label + L"|" + std::to_wstring(image) + L"|" + error + L"\n");
    }
    ::VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    ::CloseHandle(process);
    // Finish ends the dialog; posted, as the dialog's process ends before it could answer.
    if (install) ::PostMessageW(::GetDlgItem(dialog, kInstallButton), BM_CLICK, 0, 0);
    return 0;
}
