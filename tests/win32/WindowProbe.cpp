// Reads what scripts/test-windows cannot see in a screenshot from the running program's windows
// and from its executable, and prints it as key=value lines (UTF-8).
//   window         the main window: its outer rectangle and its client origin on screen
//   box            the message box captioned Tesselbox: its text; whether a main window is shown
//   dialog         the open file dialog: owner, file type shown, file name box
//   resources EXE  the icon group 101 and the version record
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace {

void Print(std::string_view key, const std::wstring& value) {
    std::string line(key);
    line += '=';
    const int needed = WideCharToMultiByte(CP_UTF8, 0, value.data(), static_cast<int>(value.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(needed), '\0');
    WideCharToMultiByte(CP_UTF8, 0, value.data(), static_cast<int>(value.size()), utf8.data(),
                        needed, nullptr, nullptr);
    line += utf8 + '\n';
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()),
              &written, nullptr);
}

std::wstring TextOf(HWND window) {
    wchar_t text[512] = {};
    SendMessageW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
    return text;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

std::vector<HWND> VisibleDialogs() {
    std::vector<HWND> found;
    EnumWindows(
        [](HWND window, LPARAM list) -> BOOL {
            if (ClassOf(window) == L"#32770" && IsWindowVisible(window)) {
                reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

int Window() {
    HWND window = FindWindowW(L"Tesselbox", nullptr);
    if (window == nullptr) return 1;
    RECT outer{};
    GetWindowRect(window, &outer);
    POINT client{0, 0};
    ClientToScreen(window, &client);
    Print("outer", std::to_wstring(outer.left) + L"," + std::to_wstring(outer.top) + L"," +
                       std::to_wstring(outer.right - outer.left) + L"x" +
                       std::to_wstring(outer.bottom - outer.top));
    Print("client", std::to_wstring(client.x) + L"," + std::to_wstring(client.y));
    return 0;
}

int Box() {
    for (HWND box : VisibleDialogs()) {
        if (TextOf(box) != L"Tesselbox") continue;
        EnumChildWindows(
            box,
            [](HWND child, LPARAM) -> BOOL {
                if (ClassOf(child) == L"Static" && !TextOf(child).empty()) Print("text", TextOf(child));
                return TRUE;
            },
            0);
        HWND main = FindWindowW(L"Tesselbox", nullptr);
        Print("main", main == nullptr ? L"none" : IsWindowVisible(main) ? L"shown" : L"hidden");
        return 0;
    }
    return 1;
}

int Dialog() {
    constexpr int fileType = 0x470, fileName = 0x47c;  // cmb1 and cmb13
    for (HWND dialog : VisibleDialogs()) {
        if (GetDlgItem(dialog, fileType) == nullptr) continue;
        HWND owner = GetWindow(dialog, GW_OWNER);
        Print("owner", owner != nullptr ? ClassOf(owner) : L"");
        Print("type", TextOf(GetDlgItem(dialog, fileType)));
        Print("name", TextOf(GetDlgItem(dialog, fileName)));
        return 0;
    }
    return 1;
}

#pragma pack(push, 2)
struct IconGroupEntry {
    BYTE width, height, colors, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
struct IconGroup {
    WORD reserved, type, count;
    IconGroupEntry entries[1];
};
#pragma pack(pop)

int Resources(const wchar_t* exe) {
    HMODULE module = LoadLibraryExW(exe, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr) return 1;
    if (HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(101), RT_GROUP_ICON)) {
        const auto* group = static_cast<const IconGroup*>(LockResource(LoadResource(module, found)));
        std::wstring images;
        for (WORD i = 0; i < group->count; ++i) {
            const IconGroupEntry& entry = group->entries[i];
            if (!images.empty()) images += L";";
            images += std::to_wstring(entry.width ? entry.width : 256) + L"x" +
                      std::to_wstring(entry.height ? entry.height : 256) + L"x" +
                      std::to_wstring(entry.bitCount);
        }
        Print("icon101", images);
    }
    FreeLibrary(module);

    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(exe, &ignored);
    std::vector<BYTE> info(size);
    if (size == 0 || !GetFileVersionInfoW(exe, 0, size, info.data())) return 1;
    void* value = nullptr;
    UINT length = 0;
    if (VerQueryValueW(info.data(), L"\\StringFileInfo\\040904B0\\ProductName", &value, &length)) {
        Print("product", static_cast<const wchar_t*>(value));
    }
    if (VerQueryValueW(info.data(), L"\\", &value, &length)) {
        const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
        Print("version", std::to_wstring(HIWORD(fixed->dwFileVersionMS)) + L"." +
                             std::to_wstring(LOWORD(fixed->dwFileVersionMS)) + L"." +
                             std::to_wstring(HIWORD(fixed->dwFileVersionLS)) + L"." +
                             std::to_wstring(LOWORD(fixed->dwFileVersionLS)));
    }
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring what = argc > 1 ? argv[1] : L"";
    if (what == L"window") return Window();
    if (what == L"box") return Box();
    if (what == L"dialog") return Dialog();
    if (what == L"resources" && argc > 2) return Resources(argv[2]);
    return 2;
}
