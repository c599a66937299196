// Reads the resources of the built memotack_setup.exe back through the Win32 resource API.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "BuiltFile.h"
#include "built_files.h"

namespace {

const WORD kEnglishUk = 2057;
const WORD kEnglishUs = 1033;

struct Resource {
    std::wstring type;  // "BINARY" or "#<number>"
    std::wstring name;  // "#<number>"
    WORD language;
    DWORD size;
    bool operator==(const Resource& other) const {
        return std::tie(type, name, language, size) == std::tie(other.type, other.name, other.language, other.size);
    }
};

std::wstring Key(LPCWSTR id) {
    return IS_INTRESOURCE(id) ? L"#" + std::to_wstring(reinterpret_cast<ULONG_PTR>(id)) : std::wstring(id);
}

std::ostream& operator<<(std::ostream& out, const std::wstring& text) {
    for (wchar_t c : text) out << static_cast<char>(c);
    return out;
}

void PrintTo(const Resource& r, std::ostream* out) {
    *out << r.type << " " << r.name << " lang " << r.language << " size " << r.size;
}

std::vector<char> ReadFile(const char* path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

class SetupResources : public testing::Test {
protected:
    static void SetUpTestSuite() {
        s_hModule = ::LoadLibraryExW(BuiltFile(MEMOTACK_SETUP_EXE).c_str(), nullptr,
                                     LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    }
    static void TearDownTestSuite() {
        if (s_hModule) ::FreeLibrary(s_hModule);
        s_hModule = nullptr;
    }
    void SetUp() override { ASSERT_NE(s_hModule, nullptr) << "cannot load " << MEMOTACK_SETUP_EXE; }

    // The resource's bytes, found by type, id and language.
    static std::vector<BYTE> Data(LPCWSTR type, WORD id, WORD language) {
        HRSRC hInfo = ::FindResourceExW(s_hModule, type, MAKEINTRESOURCEW(id), language);
        if (!hInfo) return {};
        auto* bytes = static_cast<const BYTE*>(::LockResource(::LoadResource(s_hModule, hInfo)));
        return std::vector<BYTE>(bytes, bytes + ::SizeofResource(s_hModule, hInfo));
    }

    static HMODULE s_hModule;
};
HMODULE SetupResources::s_hModule = nullptr;

BOOL CALLBACK CollectLanguage(HMODULE hModule, LPCWSTR type, LPCWSTR name, WORD language, LONG_PTR param) {
    HRSRC hInfo = ::FindResourceExW(hModule, type, name, language);
    reinterpret_cast<std::vector<Resource>*>(param)->push_back(
        {Key(type), Key(name), language, hInfo ? ::SizeofResource(hModule, hInfo) : 0});
    return TRUE;
}

BOOL CALLBACK CollectName(HMODULE hModule, LPCWSTR type, LPWSTR name, LONG_PTR param) {
    ::EnumResourceLanguagesW(hModule, type, name, CollectLanguage, param);
    return TRUE;
}

BOOL CALLBACK CollectType(HMODULE hModule, LPWSTR type, LONG_PTR param) {
    ::EnumResourceNamesW(hModule, type, CollectName, param);
    return TRUE;
}

TEST_F(SetupResources, TableHoldsEveryResourceWithItsLanguageAndSize) {
    std::vector<Resource> found;
    ASSERT_TRUE(::EnumResourceTypesW(s_hModule, CollectType, reinterpret_cast<LONG_PTR>(&found)));
    for (const Resource& r : found) {
        std::cout << "resource ";
        PrintTo(r, &std::cout);
        std::cout << "\n";
    }
    const DWORD exeArchive = static_cast<DWORD>(ReadFile(MEMOTACK_PAYLOAD_EXE_ARCHIVE).size());
    const DWORD chmArchive = static_cast<DWORD>(ReadFile(MEMOTACK_PAYLOAD_CHM_ARCHIVE).size());
    ASSERT_GT(exeArchive, 122u);
    ASSERT_GT(chmArchive, 122u);
    // Named types come before numbered ones, each in ascending order, as the resource directory
    // keeps them; so the main icon group 128 is the first icon group.
    const std::vector<Resource> expected = {
        {L"BINARY", L"#134", kEnglishUk, exeArchive},
        {L"BINARY", L"#135", kEnglishUk, chmArchive},
        {L"#2", L"#138", kEnglishUk, 6184},
        {L"#2", L"#139", kEnglishUk, 304},
        {L"#3", L"#1", kEnglishUk, 296},
        {L"#3", L"#2", kEnglishUk, 744},
        {L"#3", L"#3", kEnglishUk, 296},
        {L"#3", L"#4", kEnglishUk, 2216},
        {L"#3", L"#5", kEnglishUk, 1128},
        {L"#5", L"#102", kEnglishUs, 916},
        {L"#14", L"#128", kEnglishUk, 34},
        {L"#14", L"#133", kEnglishUk, 48},
        {L"#16", L"#1", kEnglishUs, 828},
    };
    ASSERT_EQ(found.size(), expected.size() + 1);
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(found[i], expected[i]) << "row " << i;
    const Resource& manifest = found.back();
    EXPECT_EQ(manifest.type, L"#24");
    EXPECT_EQ(manifest.name, L"#1");
    EXPECT_EQ(manifest.language, kEnglishUk);
}

TEST_F(SetupResources, PayloadsAreThePackedArchives) {
    const std::pair<WORD, const char*> payloads[] = {{134, MEMOTACK_PAYLOAD_EXE_ARCHIVE},
                                                     {135, MEMOTACK_PAYLOAD_CHM_ARCHIVE}};
    for (const auto& [id, path] : payloads) {
        std::vector<BYTE> data = Data(L"BINARY", id, kEnglishUk);
        std::vector<char> file = ReadFile(path);
        ASSERT_EQ(data.size(), file.size()) << id;
        EXPECT_EQ(std::memcmp(data.data(), file.data(), data.size()), 0) << id;
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(data.data()), 4), "PK\x03\x04") << id;
        std::string name(reinterpret_cast<const char*>(data.data()) + 30, 12);
        EXPECT_EQ(name, id == 134 ? "memotack.exe" : "memotack.chm");
    }
}

BITMAPINFOHEADER Header(const std::vector<BYTE>& data) {
    BITMAPINFOHEADER header{};
    if (data.size() >= sizeof header) std::memcpy(&header, data.data(), sizeof header);
    return header;
}

// Reads a dialog template field by field: numbers little-endian, texts UTF-16 ending in a zero.
class TemplateReader {
public:
    explicit TemplateReader(const std::vector<BYTE>& data) : m_data(data) {}
    size_t Position() const { return m_at; }
    bool Overrun() const { return m_at > m_data.size(); }
    BYTE Byte() {
        BYTE value = m_at < m_data.size() ? m_data[m_at] : 0;
        ++m_at;
        return value;
    }
    WORD Word() {
        BYTE low = Byte();
        return static_cast<WORD>(low | (Byte() << 8));
    }
    DWORD Dword() {
        WORD low = Word();
        return low | (static_cast<DWORD>(Word()) << 16);
    }
    std::wstring Text() {
        std::wstring text;
        for (WORD c = Word(); c != 0 && !Overrun(); c = Word()) text += static_cast<wchar_t>(c);
        return text;
    }
    // A name or number field: "" when absent, "#<number>" for a number, else the text.
    std::wstring NameOrNumber() {
        WORD first = Word();
        if (first == 0) return L"";
        if (first == 0xFFFF) return L"#" + std::to_wstring(Word());
        return static_cast<wchar_t>(first) + Text();
    }
    void AlignToDword() { m_at = (m_at + 3) & ~size_t(3); }

private:
    const std::vector<BYTE>& m_data;
    size_t m_at = 0;
};

struct TemplateControl {
    int id;
    std::wstring className;  // the predefined classes' numbers as their names
    std::wstring text;
    DWORD style;
    short x, y, cx, cy;
    bool operator==(const TemplateControl& o) const {
        return std::tie(id, className, text, style, x, y, cx, cy) ==
               std::tie(o.id, o.className, o.text, o.style, o.x, o.y, o.cx, o.cy);
    }
};

void PrintTo(const TemplateControl& c, std::ostream* out) {
    *out << c.id << " " << c.className << " \"" << c.text << "\" style 0x" << std::hex << c.style << std::dec << " "
         << c.x << "," << c.y << "," << c.cx << "," << c.cy;
}

TEST_F(SetupResources, DialogTemplateHoldsTheControlsInTabOrder) {
    std::vector<BYTE> data = Data(RT_DIALOG, 102, kEnglishUs);
    ASSERT_FALSE(data.empty());
    TemplateReader in(data);
    EXPECT_EQ(1, in.Word()) << "extended template version";
    EXPECT_EQ(0xFFFF, in.Word());
    EXPECT_EQ(0u, in.Dword()) << "help id";
    EXPECT_EQ(static_cast<DWORD>(WS_EX_APPWINDOW), in.Dword());
    EXPECT_EQ(static_cast<DWORD>(WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME |
                                 DS_SETFONT),
              in.Dword());
    WORD count = in.Word();
    short frame[4];
    for (short& value : frame) value = static_cast<short>(in.Word());
    EXPECT_EQ(std::vector<short>({0, 0, 355, 207}), std::vector<short>(frame, frame + 4));
    EXPECT_EQ(L"", in.NameOrNumber()) << "menu";
    EXPECT_EQ(L"", in.NameOrNumber()) << "window class";
    EXPECT_EQ(L"Memotack Installer", in.Text());
    EXPECT_EQ(8, in.Word()) << "points";
    EXPECT_EQ(0, in.Word()) << "weight";
    EXPECT_EQ(0, in.Byte()) << "italic";
    EXPECT_EQ(1, in.Byte()) << "character set";
    EXPECT_EQ(L"Tahoma", in.Text());

    const DWORD shown = WS_CHILD | WS_VISIBLE;
    const std::vector<TemplateControl> expected = {
        {1008, L"BUTTON", L"Install for &Everyone", BS_AUTORADIOBUTTON | shown, 51, 43, 135, 10},
        {1007, L"BUTTON", L"Install for &Just me", BS_AUTORADIOBUTTON | shown, 51, 56, 135, 10},
        {1011, L"EDIT", L"", WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL | shown, 51, 86, 282, 14},
        {1006, L"BUTTON", L"Bro&wse...", BS_PUSHBUTTON | WS_TABSTOP | shown, 283, 103, 50, 14},
        {1005, L"BUTTON", L"Run &Memotack", BS_AUTOCHECKBOX | WS_TABSTOP | shown, 51, 145, 132, 10},
        {1014, L"BUTTON", L"Show &help file", BS_AUTOCHECKBOX | WS_TABSTOP | shown, 51, 158, 132, 10},
        {1013, L"BUTTON", L"Cancel", BS_PUSHBUTTON | WS_TABSTOP | shown, 42, 186, 50, 14},
        {1000, L"BUTTON", L"&Install", BS_DEFPUSHBUTTON | WS_TABSTOP | shown, 298, 186, 50, 14},
        {1019, L"STATIC", L"Install path:", SS_LEFT | WS_GROUP | shown, 49, 75, 40, 8},
        {1018, L"BUTTON", L" After install ", BS_GROUPBOX | shown, 41, 131, 307, 45},
        {1017, L"BUTTON", L" Install options ", BS_GROUPBOX | shown, 41, 26, 307, 101},
        {-1, L"STATIC", L"#133", SS_ICON | shown, 7, 7, 20, 20},
        {1016, L"SysListView32", L"List1",
         LVS_REPORT | LVS_SINGLESEL | LVS_NOCOLUMNHEADER | WS_BORDER | WS_TABSTOP | WS_CHILD, 7, 63, 20, 57},
        {-1, L"STATIC", L"Installer ver 2.1 02.07.14", SS_LEFT | WS_GROUP | shown, 7, 173, 30, 26},
    };
    ASSERT_EQ(expected.size(), count);
    for (size_t i = 0; i < expected.size(); ++i) {
        in.AlignToDword();
        EXPECT_EQ(0u, in.Dword()) << "help id, control " << i;
        EXPECT_EQ(0u, in.Dword()) << "extended style, control " << i;
        TemplateControl control = {};
        control.style = in.Dword();
        control.x = static_cast<short>(in.Word());
        control.y = static_cast<short>(in.Word());
        control.cx = static_cast<short>(in.Word());
        control.cy = static_cast<short>(in.Word());
        control.id = static_cast<int>(in.Dword());
        control.className = in.NameOrNumber();
        for (const auto& [number, name] : {std::pair{L"#128", L"BUTTON"}, {L"#129", L"EDIT"}, {L"#130", L"STATIC"}})
            if (control.className == number) control.className = name;
        // Class names count without regard to case, as for the window manager (windres writes
        // them in capitals).
        if (_wcsicmp(control.className.c_str(), expected[i].className.c_str()) == 0)
            control.className = expected[i].className;
        control.text = in.NameOrNumber();
        EXPECT_EQ(0, in.Word()) << "creation data, control " << i;
        EXPECT_EQ(expected[i], control) << "control " << i;
    }
    EXPECT_EQ(data.size(), in.Position()) << "nothing after the last control";
}

TEST_F(SetupResources, StatusBitmapsHaveTheirFormats) {
    std::vector<BYTE> strip = Data(RT_BITMAP, 138, kEnglishUk);
    BITMAPINFOHEADER s = Header(strip);
    EXPECT_EQ(s.biSize, 40u);
    EXPECT_EQ(s.biWidth, 128);
    EXPECT_EQ(s.biHeight, 16);
    EXPECT_EQ(s.biPlanes, 1);
    EXPECT_EQ(s.biBitCount, 24);
    EXPECT_EQ(s.biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_EQ(s.biXPelsPerMeter, 2833);
    EXPECT_EQ(s.biYPelsPerMeter, 2833);
    EXPECT_EQ(s.biClrUsed, 0u);
    EXPECT_EQ(strip.size(), 40u + 16 * 384);

    std::vector<BYTE> mask = Data(RT_BITMAP, 139, kEnglishUk);
    BITMAPINFOHEADER m = Header(mask);
    EXPECT_EQ(m.biSize, 40u);
    EXPECT_EQ(m.biWidth, 128);
    EXPECT_EQ(m.biHeight, 16);
    EXPECT_EQ(m.biBitCount, 1);
    EXPECT_EQ(m.biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_EQ(m.biXPelsPerMeter, 2834);
    EXPECT_EQ(m.biYPelsPerMeter, 2834);
    EXPECT_TRUE(m.biClrUsed == 0 || m.biClrUsed == 2);
    ASSERT_EQ(mask.size(), 40u + 8 + 16 * 16);
    const BYTE table[8] = {0, 0, 0, 0, 255, 255, 255, 0};
    EXPECT_EQ(std::memcmp(mask.data() + 40, table, 8), 0);
}

// Pixel (x, y), y counted from the top, of the strip (as RGB) and of the mask (true: transparent).
struct StatusStrip {
    const BYTE* colour;
    const BYTE* mask;
    COLORREF Colour(int x, int y) const {
        const BYTE* p = colour + (15 - y) * 384 + 3 * x;
        return RGB(p[2], p[1], p[0]);
    }
    bool Transparent(int x, int y) const { return (mask[(15 - y) * 16 + x / 8] >> (7 - x % 8)) & 1; }
};

TEST_F(SetupResources, MaskHidesExactlyTheSurroundingsOfEachPicture) {
    std::vector<BYTE> strip = Data(RT_BITMAP, 138, kEnglishUk);
    std::vector<BYTE> mask = Data(RT_BITMAP, 139, kEnglishUk);
    ASSERT_EQ(strip.size(), 6184u);
    ASSERT_EQ(mask.size(), 304u);
    StatusStrip pixels{strip.data() + 40, mask.data() + 48};
    const COLORREF pureGreen = RGB(0, 255, 0);
    for (int image = 0; image < 8; ++image) {
        int opaque = 0;
        for (int y = 0; y < 16; ++y) {
            for (int x = 16 * image; x < 16 * image + 16; ++x) {
                COLORREF c = pixels.Colour(x, y);
                bool nearWhite = GetRValue(c) >= 240 && GetGValue(c) >= 240 && GetBValue(c) >= 240;
                if (pixels.Transparent(x, y)) {
                    EXPECT_TRUE(nearWhite || (image == 3 && c == pureGreen))
                        << "image " << image << " masks a visible colour at " << x << "," << y;
                } else {
                    ++opaque;
                    EXPECT_NE(c, pureGreen) << "image " << image << " shows green at " << x << "," << y;
                }
            }
        }
        EXPECT_TRUE(pixels.Transparent(16 * image, 0) && pixels.Transparent(16 * image + 15, 15))
            << "image " << image << " has no transparent surroundings";
        EXPECT_GT(opaque, 30) << "image " << image;
        EXPECT_LT(opaque, 200) << "image " << image;
    }
    // Image 3, the failure mark: red disc around a white cross, on green.
    EXPECT_EQ(pixels.Colour(48, 0), pureGreen);
    EXPECT_EQ(pixels.Colour(48 + 8, 8), RGB(255, 255, 255));
    EXPECT_FALSE(pixels.Transparent(48 + 8, 8));
    COLORREF disc = pixels.Colour(48 + 8, 2);
    EXPECT_GT(GetRValue(disc), 150);
    EXPECT_LT(GetGValue(disc), 80);
}

TEST_F(SetupResources, ImageListShowsTheRedCrossWithoutItsGreen) {
    HBITMAP hStrip = ::LoadBitmapW(s_hModule, MAKEINTRESOURCEW(138));
    HBITMAP hMask = ::LoadBitmapW(s_hModule, MAKEINTRESOURCEW(139));
    ASSERT_TRUE(hStrip && hMask);
    HIMAGELIST hList = ::ImageList_Create(16, 16, ILC_COLOR16 | ILC_MASK, 0, 8);
    ASSERT_NE(hList, nullptr);
    EXPECT_EQ(::ImageList_Add(hList, hStrip, hMask), 0);
    EXPECT_EQ(::ImageList_GetImageCount(hList), 8);

    HDC hScreen = ::GetDC(nullptr);
    HDC hDC = ::CreateCompatibleDC(hScreen);
    HBITMAP hTarget = ::CreateCompatibleBitmap(hScreen, 16, 16);
    ::ReleaseDC(nullptr, hScreen);
    HGDIOBJ hOld = ::SelectObject(hDC, hTarget);
    RECT all = {0, 0, 16, 16};
    HBRUSH hBlue = ::CreateSolidBrush(RGB(0, 0, 255));
    ::FillRect(hDC, &all, hBlue);
    EXPECT_TRUE(::ImageList_Draw(hList, 3, hDC, 0, 0, ILD_NORMAL));
    COLORREF corner = ::GetPixel(hDC, 0, 0);
    COLORREF centre = ::GetPixel(hDC, 8, 8);
    COLORREF disc = ::GetPixel(hDC, 8, 2);
    ::SelectObject(hDC, hOld);
    ::DeleteObject(hBlue);
    ::DeleteObject(hTarget);
    ::DeleteDC(hDC);
    ::ImageList_Destroy(hList);
    ::DeleteObject(hStrip);
    ::DeleteObject(hMask);

    EXPECT_EQ(corner, RGB(0, 0, 255)) << "the green surroundings show";
    EXPECT_GT(GetRValue(centre), 200);
    EXPECT_GT(GetGValue(centre), 200);
    EXPECT_GT(GetRValue(disc), 150);
    EXPECT_LT(GetBValue(disc), 80);
}

#pragma pack(push, 2)
struct GroupEntry {
    BYTE width, height, colourCount, reserved;
    WORD planes, bitCount;
    DWORD bytesInRes;
    WORD id;
};
#pragma pack(pop)

struct IconSpec {
    BYTE size;
    BYTE colourCount;
    WORD bitCount;
    DWORD bytes;
    WORD id;
};

TEST_F(SetupResources, IconGroupsListTheirImages) {
    const std::pair<WORD, std::vector<IconSpec>> groups[] = {
        {128, {{16, 16, 4, 296, 1}, {32, 16, 4, 744, 2}}},
        {133, {{16, 16, 4, 296, 3}, {32, 0, 8, 2216, 4}, {16, 0, 32, 1128, 5}}},
    };
    for (const auto& [groupId, icons] : groups) {
        SCOPED_TRACE(groupId);
        std::vector<BYTE> group = Data(RT_GROUP_ICON, groupId, kEnglishUk);
        ASSERT_EQ(group.size(), 6 + 14 * icons.size());
        WORD header[3];
        std::memcpy(header, group.data(), sizeof header);
        EXPECT_EQ(header[0], 0);
        EXPECT_EQ(header[1], 1);
        ASSERT_EQ(header[2], icons.size());
        for (size_t i = 0; i < icons.size(); ++i) {
            GroupEntry entry;
            std::memcpy(&entry, group.data() + 6 + 14 * i, sizeof entry);
            const IconSpec& spec = icons[i];
            EXPECT_EQ(entry.width, spec.size);
            EXPECT_EQ(entry.height, spec.size);
            EXPECT_EQ(entry.colourCount, spec.colourCount);
            EXPECT_EQ(entry.planes, 1);
            EXPECT_EQ(entry.bitCount, spec.bitCount);
            EXPECT_EQ(entry.bytesInRes, spec.bytes);
            EXPECT_EQ(entry.id, spec.id);

            std::vector<BYTE> icon = Data(RT_ICON, spec.id, kEnglishUk);
            ASSERT_EQ(icon.size(), spec.bytes);
            BITMAPINFOHEADER image = Header(icon);
            EXPECT_EQ(image.biWidth, spec.size);
            EXPECT_EQ(image.biHeight, 2 * spec.size);
            EXPECT_EQ(image.biBitCount, spec.bitCount);
            HICON hIcon = ::CreateIconFromResourceEx(icon.data(), static_cast<DWORD>(icon.size()), TRUE, 0x00030000,
                                                     spec.size, spec.size, LR_DEFAULTCOLOR);
            EXPECT_NE(hIcon, nullptr) << "icon " << spec.id;
            if (hIcon) ::DestroyIcon(hIcon);
        }
    }
    // Icon 5 has soft edges: some pixels are neither opaque nor transparent.
    std::vector<BYTE> soft = Data(RT_ICON, 5, kEnglishUk);
    ASSERT_EQ(soft.size(), 1128u);
    int partial = 0;
    for (int i = 0; i < 256; ++i) {
        BYTE alpha = soft[40 + 4 * i + 3];
        partial += alpha > 0 && alpha < 255;
    }
    EXPECT_GT(partial, 5);
    EXPECT_NE(::LoadIconW(s_hModule, MAKEINTRESOURCEW(128)), nullptr);
}

TEST_F(SetupResources, ManifestIsOneLineWithItsItemsInOrder) {
    std::vector<BYTE> data = Data(RT_MANIFEST, 1, kEnglishUk);
    std::string xml(data.begin(), data.end());
    ASSERT_FALSE(xml.empty());
    EXPECT_EQ(xml.find_first_of("\r\n"), std::string::npos);
    EXPECT_NE(xml.rfind("<?xml", 0), 0u) << "no XML declaration";
    EXPECT_EQ(xml.rfind("<assembly ", 0), 0u);
    EXPECT_EQ(xml.substr(xml.size() - 11), "</assembly>");
    const char* items[] = {
        R"(<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">)",
        R"(<assemblyIdentity version="1.0.0.0" processorArchitecture="X86" name="Pelmo.Memotack.Installer" type="win32")",
        "<description>Memotack - note taking software - installer</description>",
        R"(<dependency><dependentAssembly><assemblyIdentity name="Microsoft.Windows.Common-Controls" version="6.0.0.0" )"
        R"(processorArchitecture="X86" publicKeyToken="6595b64144ccf1df" language="*" type="win32")",
        R"(<trustInfo xmlns="urn:schemas-microsoft-com:asm.v3"><security><requestedPrivileges>)"
        R"(<requestedExecutionLevel level="requireAdministrator" uiAccess="false")",
    };
    size_t previous = 0;
    for (const char* item : items) {
        size_t at = xml.find(item);
        ASSERT_NE(at, std::string::npos) << item;
        EXPECT_GE(at, previous) << item;
        previous = at;
    }
    EXPECT_EQ(xml.find("VC90"), std::string::npos) << "a static build binds no run-time assemblies";
}

std::wstring VersionString(const std::vector<BYTE>& block, const wchar_t* key) {
    std::wstring path = std::wstring(L"\\StringFileInfo\\040904b0\\") + key;
    void* value = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(block.data(), path.c_str(), &value, &length) || !value) return L"<missing>";
    return std::wstring(static_cast<const wchar_t*>(value));
}

TEST_F(SetupResources, VersionInformationHasItsFixedPartAndStrings) {
    const std::wstring path = BuiltFile(MEMOTACK_SETUP_EXE);
    DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), nullptr);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(::GetFileVersionInfoW(path.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->dwFileFlagsMask, 0x3Fu);
    EXPECT_EQ(fixed->dwFileFlags, 0u);
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS__WINDOWS32));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
    EXPECT_EQ(fixed->dwFileSubtype, 0u);
    EXPECT_EQ(fixed->dwFileDateMS, 0u);
    EXPECT_EQ(fixed->dwFileDateLS, 0u);

    WORD* translation = nullptr;
    ASSERT_TRUE(
        ::VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 0x04B0);

    EXPECT_EQ(VersionString(block, L"Comments"), L"This application installs Memotack");
    EXPECT_EQ(VersionString(block, L"CompanyName"), L"Pelmo Software");
    EXPECT_EQ(VersionString(block, L"FileDescription"), L"Memotack Setup");
    EXPECT_EQ(VersionString(block, L"FileVersion"), L"1, 0, 0, 1");
    EXPECT_EQ(VersionString(block, L"InternalName"), L"installer");
    EXPECT_EQ(VersionString(block, L"OriginalFilename"), L"installer.exe");
    EXPECT_EQ(VersionString(block, L"ProductName"), L"Memotack Setup");
    EXPECT_EQ(VersionString(block, L"ProductVersion"), L"1, 0, 0, 1");
    std::wstring legal = VersionString(block, L"LegalCopyright");
    EXPECT_FALSE(legal.empty());
    EXPECT_NE(legal, L"<missing>");

    // The table's keys in their order, the legal notice between InternalName and OriginalFilename.
    std::vector<BYTE> raw = Data(RT_VERSION, 1, kEnglishUs);
    std::wstring text(reinterpret_cast<const wchar_t*>(raw.data()), raw.size() / 2);
    const wchar_t* keys[] = {L"040904b0",    L"Comments",       L"CompanyName",    L"FileDescription",
                             L"FileVersion", L"InternalName",   L"LegalCopyright", L"OriginalFilename",
                             L"ProductName", L"ProductVersion", L"VarFileInfo",    L"Translation"};
    size_t previous = 0;
    for (const wchar_t* key : keys) {
        size_t at = text.find(key);
        ASSERT_NE(at, std::wstring::npos);
        EXPECT_GT(at, previous);
        previous = at;
    }
}

}  // namespace
