// The real main window in this process: its make-up, its message routing, and whole commands
// through the real dialogs and message boxes, which a timer on the window's thread answers from
// inside their modal loops.
#include "app/AppState.h"
#include "app/MapArtPicture.h"
#include "app/Texts.h"
#include "app/WindowLayout.h"
#include "win32/MainWindow.h"
#include "win32/Pictures.h"
#include "win32/WindowServices.h"
#include "convert/MapArt.h"
#include "convert/PictureImport.h"
#include "formats/SchematicWriter.h"
#include "palette/BlockChoice.h"
#include "win32/Text.h"
#include "tests/support/CsvCounts.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace tesselbox {
namespace {

namespace fs = std::filesystem;

constexpr int FILE_TYPE_BOX = 0x470;  // cmb1 of the common file dialogs
constexpr int FILE_NAME_BOX = 0x47c;  // cmb13

std::wstring TextOf(HWND window) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

// What the timer saw of one dialog or box, and how it answered.
struct Seen {
    bool fileDialog = false;
    HWND owner = nullptr;
    std::wstring fileType;  // file dialogs: the file type shown
    std::wstring fileName;  // file dialogs: the name box as it opened
    std::vector<std::wstring> fileTypes;  // file dialogs: the file type list
    std::wstring text;      // message boxes
};

struct Reply {
    int button;             // IDOK, IDCANCEL, IDYES, IDNO
    std::wstring fileName;  // typed into a file dialog before IDOK
    int filter = 0;         // file dialogs: the file type picked first (from 1), 0 for none
};

class DialogScript {
public:
    DialogScript() {
        current_ = this;
        timer_ = SetTimer(nullptr, 0, 50, Tick);
    }
    ~DialogScript() {
        KillTimer(nullptr, timer_);
        current_ = nullptr;
    }
    void Queue(Reply reply) { replies_.push_back(std::move(reply)); }
    const std::vector<Seen>& seen() const { return seen_; }
    bool Unexpected() const { return unexpected_; }

private:
    static BOOL CALLBACK FindOpen(HWND window, LPARAM found) {
        if (ClassOf(window) == L"#32770" && IsWindowVisible(window) && IsWindowEnabled(window)) {
            *reinterpret_cast<HWND*>(found) = window;
            return FALSE;
        }
        return TRUE;
    }
    static BOOL CALLBACK FindBoxText(HWND child, LPARAM text) {
        if (ClassOf(child) == L"Static" && !TextOf(child).empty()) {
            *reinterpret_cast<std::wstring*>(text) = TextOf(child);
            return FALSE;
        }
        return TRUE;
    }

    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        DialogScript* self = current_;
        HWND dialog = nullptr;
        EnumThreadWindows(GetCurrentThreadId(), FindOpen, reinterpret_cast<LPARAM>(&dialog));
        if (self == nullptr || dialog == nullptr || dialog == self->answered_) return;
        self->answered_ = dialog;  // its answer is on its way

        Seen seen;
        seen.owner = GetWindow(dialog, GW_OWNER);
        seen.fileDialog = GetDlgItem(dialog, FILE_TYPE_BOX) != nullptr;
        if (seen.fileDialog) {
            seen.fileType = TextOf(GetDlgItem(dialog, FILE_TYPE_BOX));
            seen.fileName = TextOf(GetDlgItem(dialog, FILE_NAME_BOX));
            HWND types = GetDlgItem(dialog, FILE_TYPE_BOX);
            const auto count = SendMessageW(types, CB_GETCOUNT, 0, 0);
            for (LRESULT i = 0; i < count; ++i) {
                wchar_t text[256] = {};
                SendMessageW(types, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
                seen.fileTypes.emplace_back(text);
            }
        } else {
            EnumChildWindows(dialog, FindBoxText, reinterpret_cast<LPARAM>(&seen.text));
        }
        self->seen_.push_back(seen);

        Reply reply{IDCANCEL, {}};
        if (self->replies_.empty()) {
            self->unexpected_ = true;
        } else {
            reply = self->replies_.front();
            self->replies_.pop_front();
        }
        if (reply.filter > 0) {  // as a pick in the list does: the selection, then its notice
            HWND types = GetDlgItem(dialog, FILE_TYPE_BOX);
            SendMessageW(types, CB_SETCURSEL, static_cast<WPARAM>(reply.filter - 1), 0);
            SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(FILE_TYPE_BOX, CBN_SELENDOK),
                         reinterpret_cast<LPARAM>(types));
        }
        if (!reply.fileName.empty()) SetDlgItemTextW(dialog, FILE_NAME_BOX, reply.fileName.c_str());
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(reply.button, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, reply.button)));
    }

    static inline DialogScript* current_ = nullptr;
    UINT_PTR timer_ = 0;
    HWND answered_ = nullptr;
    std::deque<Reply> replies_;
    std::vector<Seen> seen_;
    bool unexpected_ = false;
};

void PumpMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

// A 24-bit BMP of one color, bottom row first, rows padded to 4 bytes.
void WriteSolidBmp(const fs::path& path, int width, int height) {
    const int row = (width * 3 + 3) / 4 * 4;
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(row * height);
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    std::vector<char> pixels(static_cast<std::size_t>(row * height), '\x40');
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&info), sizeof info);
    out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        previousFolder_ = fs::current_path();
        fs::current_path(folder_.path());
        win32::RegisterMainClass(GetModuleHandleW(nullptr));
    }
    void TearDown() override {
        if (window_ != nullptr && IsWindow(window_)) DestroyWindow(window_);
        PumpMessages();  // also takes the quit message, which would end the next modal loop
        fs::current_path(previousFolder_);
    }
    void Open() {
        fs::copy_file(fs::path(TESSELBOX_SOURCE_DIR) / "Colors.txt", folder_ / "Colors.txt");
        window_ = win32::CreateMainWindow(GetModuleHandleW(nullptr), SW_SHOWNORMAL);
        ASSERT_NE(window_, nullptr);
        PumpMessages();
    }
    AppState& State() const { return win32::StateOf(window_); }
    // A 40 x 30 picture of 0x40 gray, between the table's entries, through the open dialog.
    void ImportGray() {
        const fs::path picture = folder_.path() / L"gray.bmp";
        WriteSolidBmp(picture, 40, 30);
        DialogScript script;
        script.Queue({IDOK, picture.wstring()});
        Command(0, layout::IDC_CHOOSE_PICTURE);
    }
    void Command(int notification, int controlId) {
        SendMessageW(window_, WM_COMMAND, MAKEWPARAM(controlId, notification), 0);
        PumpMessages();
    }

    testing::TempFolder folder_;
    fs::path previousFolder_;
    HWND window_ = nullptr;
};

TEST_F(MainWindowTest, HasTheClassStyleSizeAndControlsOfTheTesselboxWindow) {
    Open();
    EXPECT_EQ(ClassOf(window_), L"Tesselbox");
    EXPECT_EQ(TextOf(window_), L"Tesselbox");
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(window_, GWL_STYLE)), 0x16CA0000u);
    EXPECT_EQ(GetClassLongPtrW(window_, GCL_STYLE), 11u);
    EXPECT_EQ(GetClassLongPtrW(window_, GCLP_HBRBACKGROUND), 16u);
    // Icon group 101, one 64 x 64 image, serves as the large and the small icon.
    for (int which : {GCLP_HICON, GCLP_HICONSM}) {
        ICONINFO icon{};
        ASSERT_TRUE(GetIconInfo(reinterpret_cast<HICON>(GetClassLongPtrW(window_, which)), &icon));
        BITMAP colors{};
        GetObjectW(icon.hbmColor, sizeof colors, &colors);
        EXPECT_EQ(colors.bmWidth, GetSystemMetrics(SM_CXICON)) << "scaled from the one image";
        DeleteObject(icon.hbmColor);
        DeleteObject(icon.hbmMask);
    }
    RECT outer{};
    GetWindowRect(window_, &outer);
    EXPECT_EQ(outer.left, GetSystemMetrics(SM_CXSCREEN) / 2 - 327);
    EXPECT_EQ(outer.top, GetSystemMetrics(SM_CYSCREEN) / 2 - 206);
    EXPECT_EQ(outer.right - outer.left, 654);
    EXPECT_EQ(outer.bottom - outer.top, 413);

    const struct {
        int id;
        const wchar_t* className;
        std::wstring text;
        DWORD style;
        RECT rect;
    } children[] = {
        {1, L"Button", L"\u9009\u62e9\u56fe\u7247", 0x50010000, {216, 332, 316, 362}},
        {2, L"Button", L"\u751f\u6210", 0x50010000, {332, 332, 432, 362}},
        {3, L"Static", L"", 0x5000000D, {16, 16, 316, 316}},
        {4, L"Static", L"", 0x5000000D, {332, 16, 632, 316}},
    };
    for (const auto& c : children) {
        SCOPED_TRACE(c.id);
        HWND child = GetDlgItem(window_, c.id);
        ASSERT_NE(child, nullptr);
        EXPECT_EQ(ClassOf(child), c.className);
        EXPECT_EQ(TextOf(child), c.text);
        EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(child, GWL_STYLE)), c.style);
        RECT rect{};
        GetWindowRect(child, &rect);
        MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&rect), 2);
        EXPECT_EQ(rect.left, c.rect.left);
        EXPECT_EQ(rect.top, c.rect.top);
        EXPECT_EQ(rect.right, c.rect.right);
        EXPECT_EQ(rect.bottom, c.rect.bottom);
    }
}

TEST_F(MainWindowTest, CommandsRunOnlyForNotificationZeroAndAKnownButton) {
    Open();
    const struct {
        int notification, controlId;
        int dialogs;  // dialogs opened (and cancelled)
        bool save;
    } cases[] = {
        {BN_DOUBLECLICKED, layout::IDC_CHOOSE_PICTURE, 0, false},
        {1, layout::IDC_GENERATE, 0, false},
        {0, layout::IDC_SOURCE_PANEL, 0, false},
        {0, 99, 0, false},
        {0, layout::IDC_CHOOSE_PICTURE, 1, false},
        {0, layout::IDC_GENERATE, 1, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.notification) + "/" + std::to_string(c.controlId));
        DialogScript script;
        if (c.dialogs > 0) script.Queue({IDCANCEL, {}});
        Command(c.notification, c.controlId);
        ASSERT_EQ(static_cast<int>(script.seen().size()), c.dialogs);
        EXPECT_FALSE(script.Unexpected());
        if (c.dialogs == 0) continue;
        const Seen& dialog = script.seen()[0];
        EXPECT_TRUE(dialog.fileDialog);
        EXPECT_EQ(dialog.owner, window_);
        EXPECT_EQ(dialog.fileName, L"");
        EXPECT_EQ(dialog.fileType, c.save ? L"schematic\u6587\u4ef6(*.schematic)"
                                          : L"\u56fe\u7247\u6587\u4ef6(*.jpg;*.png;*.bmp)");
        // A cancelled dialog writes nothing back; the save dialog was set to start on 1.
        EXPECT_EQ(State().fileDialog.filterIndex, c.save ? 1u : 0u);
    }
}

TEST_F(MainWindowTest, PaintsOnlyThePanelsWhenAskedToDrawAnItem) {
    Open();
    Pixel* bits = nullptr;
    const struct {
        UINT id;
        bool painted;
    } cases[] = {{3, true}, {4, true}, {1, false}, {5, false}};
    for (const auto& c : cases) {
        platform::SurfaceMemory* target = platform::CreateSurfaceMemory(300, 300, &bits);
        ASSERT_NE(target, nullptr);
        DRAWITEMSTRUCT item{};
        item.CtlID = c.id;
        item.hDC = target->dc;
        SendMessageW(window_, WM_DRAWITEM, c.id, reinterpret_cast<LPARAM>(&item));
        GdiFlush();
        EXPECT_EQ(bits[150 * 300 + 150] & 0xFFFFFFu, c.painted ? 0xFFFFFFu : 0u) << c.id;
        platform::ReleaseSurfaceMemory(target);
    }
}

// Once the popup menu is up, reads its items ("*" before a checked one) and presses the down key
// `downs` times and Return (0 downs: Escape).
class MenuScript {
public:
    explicit MenuScript(int downs) : downs_(downs) {
        current_ = this;
        timer_ = SetTimer(nullptr, 0, 20, Tick);
    }
    ~MenuScript() {
        KillTimer(nullptr, timer_);
        current_ = nullptr;
    }
    const std::vector<std::wstring>& items() const { return items_; }

private:
    static BOOL CALLBACK FindMenu(HWND window, LPARAM found) {
        if (ClassOf(window) == L"#32768" && IsWindowVisible(window)) {
            *reinterpret_cast<HWND*>(found) = window;
            return FALSE;
        }
        return TRUE;
    }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        MenuScript* self = current_;
        HWND window = nullptr;
        EnumThreadWindows(GetCurrentThreadId(), FindMenu, reinterpret_cast<LPARAM>(&window));
        if (self == nullptr || window == nullptr || self->answered_) return;
        self->answered_ = true;
        const auto menu = reinterpret_cast<HMENU>(SendMessageW(window, MN_GETHMENU, 0, 0));
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            wchar_t text[64] = {};
            if (GetMenuStringW(menu, static_cast<UINT>(i), text, 64, MF_BYPOSITION) == 0) continue;
            const bool checked = (GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION) & MF_CHECKED) != 0;
            self->items_.push_back((checked ? L"*" : L"") + std::wstring(text));
        }
        for (int i = 0; i < self->downs_; ++i) PostMessageW(window, WM_KEYDOWN, VK_DOWN, 0);
        PostMessageW(window, WM_KEYDOWN, self->downs_ > 0 ? VK_RETURN : VK_ESCAPE, 0);
    }

    static inline MenuScript* current_ = nullptr;
    UINT_PTR timer_ = 0;
    int downs_;
    bool answered_ = false;
    std::vector<std::wstring> items_;
};

// A right-click on the preview panel opens the menu; a pick converts the picture again with no
// dialog, and the preview shows the new blocks. Elsewhere no menu opens.
TEST_F(MainWindowTest, PreviewPanelMenuConvertsThePictureAgain) {
    Open();
    ImportGray();
    const BlockGrid plain = State().picture.grid;
    const auto rightClick = [&](int x, int y) {
        POINT at{x, y};
        ClientToScreen(window_, &at);
        SendMessageW(window_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window_), MAKELPARAM(at.x, at.y));
        PumpMessages();
    };
    {
        MenuScript menu(4);  // RGB, 感知, 无, Floyd–Steinberg
        DialogScript dialogs;
        rightClick(layout::PREVIEW_PANEL.x + 150, layout::PREVIEW_PANEL.y + 150);
        EXPECT_EQ(menu.items(), (std::vector<std::wstring>{
                                    L"*\u989c\u8272\u5339\u914d\uff1aRGB", L"\u989c\u8272\u5339\u914d\uff1a\u611f\u77e5",
                                    L"*\u6296\u52a8\uff1a\u65e0", L"\u6296\u52a8\uff1aFloyd\u2013Steinberg",
                                    L"\u6296\u52a8\uff1a\u6709\u5e8f\uff08Bayer\uff09",
                                    L"*\u65b9\u5411\uff1a\u5730\u9762", L"\u65b9\u5411\uff1a\u5899\u9762",
                                    L"*" + win32::Widen(texts::MAP_NONE), win32::Widen(texts::MAP_FLAT),
                                    win32::Widen(texts::MAP_STAIRCASE), win32::Widen(texts::MAP_VALLEY),
                                    L"*" + win32::Widen(texts::MAPS_1X1), win32::Widen(texts::MAPS_1X2),
                                    win32::Widen(texts::MAPS_2X1), win32::Widen(texts::MAPS_2X2),
                                    win32::Widen(texts::MAPS_3X3), win32::Widen(texts::MAPS_4X4),
                                    L"\u65b9\u5757\u2026", L"\u6750\u6599\u6e05\u5355\u2026"}));
        EXPECT_TRUE(dialogs.seen().empty());
    }
    EXPECT_TRUE(State().choice == (ConversionChoice{MatchMode::Rgb, DitherMode::FloydSteinberg}));
    EXPECT_NE(State().picture.grid, plain);
    {
        // 方向：墙面, the seventh item: nothing converted again, the next file stands up.
        const BlockGrid dithered = State().picture.grid;
        MenuScript menu(7);
        rightClick(layout::PREVIEW_PANEL.x + 150, layout::PREVIEW_PANEL.y + 150);
        ASSERT_EQ(menu.items().size(), 19u);
        EXPECT_EQ(State().orientation, Orientation::Wall);
        EXPECT_EQ(State().picture.grid, dithered);
        const fs::path wall = folder_.path() / L"wall.schematic";
        DialogScript script;
        script.Queue({IDOK, wall.wstring()});
        Command(0, layout::IDC_GENERATE);
        const std::string bytes = testing::ReadBytes(wall);
        EXPECT_EQ(bytes.substr(12, 11), std::string("\x02\x00\x06Height\x00\x1e", 11));  // 30 rows high
        EXPECT_EQ(bytes.substr(23, 11), std::string("\x02\x00\x06Length\x00\x01", 11));
    }
    {
        MenuScript menu(0);
        rightClick(layout::SOURCE_PANEL.x + 150, layout::SOURCE_PANEL.y + 150);
        EXPECT_TRUE(menu.items().empty()) << "no menu over the source panel";
    }
}

// Once a dialog of ours with this title is up, does what a user would there, once.
class OurDialog {
public:
    OurDialog(std::wstring title, std::function<void(HWND)> action)
        : title_(std::move(title)), action_(std::move(action)) {
        current_ = this;
        timer_ = SetTimer(nullptr, 0, 30, Tick);
    }
    ~OurDialog() {
        KillTimer(nullptr, timer_);
        current_ = nullptr;
    }
    bool came = false;

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        OurDialog* self = current_;
        HWND dialog = nullptr;
        EnumThreadWindows(GetCurrentThreadId(), FindTitled, reinterpret_cast<LPARAM>(&dialog));
        if (self == nullptr || dialog == nullptr || self->came) return;
        self->came = true;
        self->action_(dialog);
    }
    static BOOL CALLBACK FindTitled(HWND window, LPARAM found) {
        if (ClassOf(window) == L"#32770" && IsWindowVisible(window) && TextOf(window) == current_->title_) {
            *reinterpret_cast<HWND*>(found) = window;
            return FALSE;
        }
        return TRUE;
    }

    static inline OurDialog* current_ = nullptr;
    UINT_PTR timer_ = 0;
    std::wstring title_;
    std::function<void(HWND)> action_;
};

std::wstring ListText(HWND list, int row, int column) {
    wchar_t text[256] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 256;
    SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return text;
}

void Press(HWND dialog, int id) {
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// 方块… from the preview panel's menu: leaving out the block the picture is made of and the
// falling ones, Cancel changes nothing and OK converts again; 另存为颜色表… refuses the table read
// and writes elsewhere. 材料清单… lists the blocks and saves the same counts as CSV.
TEST_F(MainWindowTest, BlockAndMaterialDialogsFromThePreviewMenu) {
    Open();
    ImportGray();
    const BlockGrid plain = State().picture.grid;
    const auto entry = static_cast<std::size_t>(plain[0]);
    const std::wstring block = L"  " + std::to_wstring(State().colorTable.blockIds[entry]) + L":" +
                               std::to_wstring(State().colorTable.blockData[entry]);
    const auto menu = [&](int downs) {
        MenuScript pick(downs);
        POINT at{layout::PREVIEW_PANEL.x + 150, layout::PREVIEW_PANEL.y + 150};
        ClientToScreen(window_, &at);
        SendMessageW(window_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window_), MAKELPARAM(at.x, at.y));
        PumpMessages();
        return pick.items().size();
    };
    std::wstring count;
    const auto leaveOut = [&](int button) {
        return [&, button](HWND dialog) {
            HWND list = GetDlgItem(dialog, win32::IDC_BLOCK_LIST);
            const int rows = ListView_GetItemCount(list);
            for (int row = 0; row < rows; ++row) {
                const std::wstring text = ListText(list, row, 0);
                if (text.size() > block.size() && text.ends_with(block)) ListView_SetCheckState(list, row, FALSE);
            }
            SendDlgItemMessageW(dialog, win32::IDC_QUICK_CHOICE + 3, BM_CLICK, 0, 0);  // 不要花纹复杂的方块
            count = TextOf(GetDlgItem(dialog, win32::IDC_BLOCK_COUNT));
            Press(dialog, button);
        };
    };
    {
        OurDialog dialog(L"\u65b9\u5757", leaveOut(IDCANCEL));
        EXPECT_EQ(menu(18), 19u);
        ASSERT_TRUE(dialog.came);
    }
    EXPECT_EQ(State().picture.grid, plain);
    EXPECT_EQ(State().chosenTable, nullptr);
    {
        OurDialog dialog(L"\u65b9\u5757", leaveOut(IDOK));
        menu(18);
        ASSERT_TRUE(dialog.came);
    }
    ASSERT_NE(State().chosenTable, nullptr);
    const ColorTable& chosen = *State().chosenTable;
    EXPECT_LT(chosen.count, State().colorTable.count - 1);
    EXPECT_EQ(count, L"\u5df2\u9009\u62e9 " + std::to_wstring(chosen.count) + L" / " +
                         std::to_wstring(State().colorTable.count) + L" \u4e2a\u65b9\u5757");
    const auto now = static_cast<std::size_t>(State().picture.grid[0]);
    EXPECT_NE(std::to_wstring(chosen.blockIds[now]) + L":" + std::to_wstring(chosen.blockData[now]),
              block.substr(2));

    const std::string colors = testing::ReadBytes(folder_ / "Colors.txt");
    const fs::path mine = folder_.path() / L"mine.txt";
    std::vector<Seen> seen;
    {
        OurDialog dialog(L"\u65b9\u5757", [&](HWND d) {
            DialogScript script;
            script.Queue({IDOK, (folder_.path() / L"Colors.txt").wstring()});
            script.Queue({IDYES, {}});  // the save dialog's own question
            script.Queue({IDOK, {}});   // the refusal
            script.Queue({IDOK, mine.wstring()});
            Press(d, win32::IDC_SAVE_COLOR_TABLE);
            Press(d, win32::IDC_SAVE_COLOR_TABLE);
            seen = script.seen();
            Press(d, IDCANCEL);
        });
        menu(18);
        ASSERT_TRUE(dialog.came);
    }
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0].fileTypes, std::vector<std::wstring>{L"\u989c\u8272\u8868\u6587\u4ef6(*.txt)"});
    EXPECT_EQ(seen[2].text, L"\u4e0d\u80fd\u8986\u76d6\u989c\u8272\u8868\uff01");
    EXPECT_EQ(testing::ReadBytes(folder_ / "Colors.txt"), colors);
    const std::string saved = testing::ReadBytes(mine);
    EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'), chosen.count);

    const fs::path csv = folder_.path() / L"list.csv";
    std::vector<std::string> shown;
    {
        OurDialog dialog(L"\u6750\u6599\u6e05\u5355", [&](HWND d) {
            HWND list = GetDlgItem(d, win32::IDC_MATERIAL_LIST);
            for (int row = 0; row < ListView_GetItemCount(list); ++row) {
                shown.push_back(fs::path(ListText(list, row, 0) + L"=" + ListText(list, row, 2)).string());
            }
            DialogScript script;
            script.Queue({IDOK, csv.wstring()});
            Press(d, win32::IDC_SAVE_CSV);
            Press(d, IDCANCEL);
        });
        EXPECT_EQ(menu(19), 19u);
        ASSERT_TRUE(dialog.came);
    }
    EXPECT_EQ(testing::CsvCounts(testing::ReadBytes(csv)), shown);
    EXPECT_EQ(shown.size(), 1u);
}

// 地图画 and 地图 through the real menu: the maps are made of the picture's file as the core's
// road makes them, a .schematic is refused through a real box, and a plain name gets .litematic
// with one file per map and the guide.
TEST_F(MainWindowTest, MapArtFromThePreviewMenuWritesOneFilePerMap) {
    Open();
    ImportGray();
    const auto pick = [&](int downs) {
        MenuScript menu(downs);
        POINT at{layout::PREVIEW_PANEL.x + 150, layout::PREVIEW_PANEL.y + 150};
        ClientToScreen(window_, &at);
        SendMessageW(window_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window_), MAKELPARAM(at.x, at.y));
        PumpMessages();
        return menu.items();
    };
    pick(10);  // 地图画：阶梯
    const std::vector<std::wstring> shown = pick(14);  // 地图：2×1
    ASSERT_EQ(shown.size(), 19u);
    EXPECT_EQ(shown[9], L"*" + win32::Widen(texts::MAP_STAIRCASE));
    ASSERT_NE(State().mapPicture, nullptr);
    const MapPicture& made = *State().mapPicture;
    EXPECT_EQ(made.preview.width(), 256u);
    EXPECT_EQ(made.preview.height(), 128u);

    MapPaletteRequest request;
    request.mode = MapMode::Staircase;
    for (std::size_t i = 0; i < static_cast<std::size_t>(State().colorTable.count); ++i) {
        request.offered.push_back(BlockNameOf(State().colorTable, i));
    }
    MapPalette palette;
    ASSERT_FALSE(MakeMapPalette(request, palette));
    MapArt expected;
    ASSERT_TRUE(MakeMapArt(LoadPicture(folder_.path() / L"gray.bmp"), palette, {MapMode::Staircase, 2, 1, 0, nullptr}, {},
                           expected)
                    .ok());
    ASSERT_EQ(made.art.pieces.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(made.art.pieces[i].top, expected.pieces[i].top) << i;
        EXPECT_EQ(made.art.pieces[i].heights, expected.pieces[i].heights) << i;
    }

    {
        DialogScript script;
        script.Queue({IDOK, (folder_.path() / L"art.schematic").wstring()});
        script.Queue({IDOK, {}});  // the refusal
        script.Queue({IDOK, (folder_.path() / L"art").wstring()});
        Command(0, layout::IDC_GENERATE);
        Command(0, layout::IDC_GENERATE);
        ASSERT_EQ(script.seen().size(), 3u);
        EXPECT_EQ(script.seen()[0].fileTypes.front(), win32::Widen(texts::MAP_FILTERS[0].text));
        EXPECT_EQ(script.seen()[1].text, win32::Widen(texts::MAP_NOT_SCHEMATIC));
    }
    EXPECT_FALSE(fs::exists(folder_ / "art.schematic"));
    for (const char* name : {"art-map-1-1.litematic", "art-map-1-2.litematic", "art-maps.txt"}) {
        EXPECT_GT(fs::file_size(folder_ / name), 100u) << name;
    }
}

TEST_F(MainWindowTest, ImportsAsksToShrinkAndWritesThroughTheRealDialogs) {
    Open();
    const fs::path picture = folder_.path() / L"\u5927\u56fe 400x164.bmp";
    WriteSolidBmp(picture, 400, 164);

    const struct {
        int answer;
        std::uint32_t width, height;
    } cases[] = {{IDYES, 300, 122}, {IDNO, 400, 164}};
    for (const auto& c : cases) {
        DialogScript script;
        script.Queue({IDOK, picture.wstring()});
        script.Queue({c.answer, {}});
        Command(0, layout::IDC_CHOOSE_PICTURE);
        ASSERT_EQ(script.seen().size(), 2u);
        EXPECT_FALSE(script.Unexpected());
        EXPECT_EQ(script.seen()[1].text, L"\u662f\u5426\u7f29\u653e\u5230300x300\u5185\uff1f");
        EXPECT_EQ(script.seen()[1].owner, window_);
        EXPECT_EQ(State().picture.working, (PictureSize{c.width, c.height}));
        EXPECT_EQ(State().picture.display, (PictureSize{300, 122}));
        EXPECT_EQ(State().fileDialog.filterIndex, 1u);
    }

    // A name without extension gets ".schematic"; the second save asks before replacing.
    const fs::path written = folder_.path() / L"\u65b9\u5757.schematic";
    for (bool replacing : {false, true}) {
        DialogScript script;
        script.Queue({IDOK, (folder_.path() / L"\u65b9\u5757").wstring()});
        if (replacing) script.Queue({IDYES, {}});
        Command(0, layout::IDC_GENERATE);
        EXPECT_EQ(script.seen().size(), replacing ? 2u : 1u);
        EXPECT_FALSE(script.Unexpected());
        EXPECT_EQ(script.seen()[0].fileName, L"");
        ASSERT_TRUE(fs::exists(written));
        EXPECT_EQ(fs::file_size(written), SchematicFileSize(400, 164));
    }
}

// The save dialog starts on the .schematic each time, whichever filter the last dialog ended on.
// A plain name gets the extension of the file type picked, a typed one keeps its own; the file is
// written in the format of the final name and nothing else.
TEST_F(MainWindowTest, SaveFileTypesAndTheExtensionTheyGive) {
    Open();
    ImportGray();
    const std::vector<std::wstring> fileTypes = {
        L"schematic\u6587\u4ef6(*.schematic)", L"schem\u6587\u4ef6(*.schem)",
        L"litematic\u6587\u4ef6(*.litematic)", L"\u7ed3\u6784\u6587\u4ef6(*.nbt)",
        L"\u57fa\u5ca9\u7248\u7ed3\u6784\u6587\u4ef6(*.mcstructure)"};
    const std::string gzip("\x1f\x8b", 2), big("\x0a\x00\x09", 3), little("\x0a\x00\x00", 3);
    const struct {
        int filter;
        const wchar_t* typed;
        const wchar_t* written;
        std::string start;
    } cases[] = {
        {1, L"a", L"a.schematic", big},         {2, L"b", L"b.schem", gzip},
        {3, L"c", L"c.litematic", gzip},        {4, L"d", L"d.nbt", gzip},
        {5, L"e", L"e.mcstructure", little},    {1, L"f.nbt", L"f.nbt", gzip},
        {4, L"g.schematic", L"g.schematic", big}, {5, L"h.SCHEM", L"h.SCHEM", gzip},
    };
    const fs::path out = folder_.path() / L"out";
    fs::create_directory(out);
    std::size_t files = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(fs::path(c.typed).string());
        DialogScript script;
        script.Queue({IDOK, (out / c.typed).wstring(), c.filter});
        Command(0, layout::IDC_GENERATE);
        ASSERT_EQ(script.seen().size(), 1u);
        EXPECT_FALSE(script.Unexpected());
        EXPECT_EQ(script.seen()[0].fileTypes, fileTypes);
        EXPECT_EQ(script.seen()[0].fileType, fileTypes[0]);
        EXPECT_EQ(State().fileDialog.filterIndex, static_cast<std::uint32_t>(c.filter));
        EXPECT_EQ(testing::ReadBytes(out / c.written).substr(0, c.start.size()), c.start);
        EXPECT_EQ(static_cast<std::size_t>(std::distance(fs::directory_iterator(out), {})), ++files);
    }
}

TEST_F(MainWindowTest, ReportsAFileThatIsNoPictureAndKeepsThePreviousOne) {
    Open();
    const fs::path picture = folder_ / "small.bmp";
    const fs::path notPicture = folder_ / "notes.png";
    WriteSolidBmp(picture, 120, 80);
    testing::WriteBytes(notPicture, "not a picture");

    DialogScript script;
    script.Queue({IDOK, picture.wstring()});
    script.Queue({IDOK, notPicture.wstring()});
    script.Queue({IDOK, {}});
    Command(0, layout::IDC_CHOOSE_PICTURE);
    Command(0, layout::IDC_CHOOSE_PICTURE);
    ASSERT_EQ(script.seen().size(), 3u);
    EXPECT_FALSE(script.Unexpected());
    EXPECT_EQ(script.seen()[2].text, L"\u8bfb\u53d6\u56fe\u7247\u5931\u8d25\uff01");
    EXPECT_EQ(State().picture.working, (PictureSize{120, 80}));
}

TEST_F(MainWindowTest, WithoutAColorTableOnlyTheErrorBoxShowsAndTheLoopIsToldToEnd) {
    DialogScript script;
    script.Queue({IDOK, {}});
    EXPECT_EQ(win32::CreateMainWindow(GetModuleHandleW(nullptr), SW_SHOWNORMAL), nullptr);
    ASSERT_EQ(script.seen().size(), 1u);
    EXPECT_EQ(script.seen()[0].text, L"\u8f93\u5165\u989c\u8272\u5931\u8d25\uff01");
    EXPECT_EQ(script.seen()[0].owner, nullptr);
    MSG quit{};
    ASSERT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(quit.wParam, 0u);
}

}  // namespace
}  // namespace tesselbox
