// The main window and its four child controls.
#include "win32/MainWindow.h"

#include "app/AppState.h"
#include "app/Commands.h"
#include "app/ConversionMenu.h"
#include "app/Texts.h"
#include "app/WindowLayout.h"
#include "win32/Panels.h"
#include "win32/Text.h"
#include "win32/WindowServices.h"

#include <memory>
#include <optional>

namespace tesselbox::win32 {
namespace {

// What the main window owns: its services, and the program's state that the commands are handed.
struct WindowData {
    WindowServices services;
    AppState state{services};
};

WindowData* DataOf(HWND window) {
    return reinterpret_cast<WindowData*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

void CreateControls(HWND window) {
    CreateChild(window, L"Button", texts::CHOOSE_PICTURE, BUTTON_STYLE, layout::CHOOSE_BUTTON,
                layout::IDC_CHOOSE_PICTURE);
    CreateChild(window, L"Button", texts::GENERATE, BUTTON_STYLE, layout::GENERATE_BUTTON,
                layout::IDC_GENERATE);
    CreateChild(window, L"Static", nullptr, PANEL_STYLE, layout::SOURCE_PANEL,
                layout::IDC_SOURCE_PANEL);
    CreateChild(window, L"Static", nullptr, PANEL_STYLE, layout::PREVIEW_PANEL,
                layout::IDC_PREVIEW_PANEL);
}

// The preview panel's menu at a point on the screen; the pick converts the picture again.
void ShowConversionMenu(HWND window, AppState& state, POINT at) {
    HMENU menu = CreatePopupMenu();
    if (menu == nullptr) return;
    for (const ConversionMenuItem& item : ConversionMenu(state)) {
        if (item.startsGroup) AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        const std::wstring text = Widen(item.text);
        AppendMenuW(menu, MF_STRING | (item.checked ? MF_CHECKED : MF_UNCHECKED),
                    static_cast<UINT_PTR>(item.id), text.c_str());
    }
    const int picked = static_cast<int>(TrackPopupMenu(
        menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON, at.x, at.y, 0, window, nullptr));
    DestroyMenu(menu);
    ChooseConversion(state, picked);
}

// Where a context menu was asked for, on the screen, when it is over the preview panel; a menu
// asked for from the keyboard opens at the panel's corner.
std::optional<POINT> OverPreviewPanel(HWND window, LPARAM lParam) {
    const layout::Rect& panel = layout::PREVIEW_PANEL;
    if (lParam == -1) {
        POINT corner{panel.x, panel.y};
        ClientToScreen(window, &corner);
        return corner;
    }
    const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    POINT inside = at;
    ScreenToClient(window, &inside);
    if (inside.x < panel.x || inside.y < panel.y || inside.x >= panel.x + panel.width ||
        inside.y >= panel.y + panel.height) {
        return std::nullopt;
    }
    return at;
}

}  // namespace

HWND CreateChild(HWND parent, const wchar_t* className, const char* text, DWORD style, const layout::Rect& rect,
                 int controlId, DWORD extendedStyle) {
    const std::wstring wideText = text ? Widen(text) : std::wstring();
    HWND child = CreateWindowExW(extendedStyle, className, text ? wideText.c_str() : nullptr, style, rect.x,
                                 rect.y, rect.width, rect.height, parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId)),
                                 reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE)),
                                 nullptr);
    // A new control's own font, the bitmap System font, has no Chinese outside a Chinese Windows;
    // the GUI font links to the system's CJK fonts on every language.
    if (child != nullptr && text != nullptr) {
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
                     FALSE);
    }
    return child;
}

AppState& StateOf(HWND window) { return DataOf(window)->state; }

void RegisterMainClass(HINSTANCE instance) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(WNDCLASSEXW);
    windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    windowClass.lpfnWndProc = WndProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(ICON_ID));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    windowClass.lpszClassName = MAIN_CLASS;
    windowClass.hIconSm = LoadIconW(instance, MAKEINTRESOURCEW(ICON_ID));
    RegisterClassExW(&windowClass);
}

HWND CreateMainWindow(HINSTANCE instance, int showCommand) {
    // Handed to the window on WM_NCCREATE. WM_CREATE runs inside CreateWindowExW: its boxes have
    // no owner yet.
    auto data = std::make_unique<WindowData>();
    WindowServices& services = data->services;
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const std::wstring title = Widen(texts::APP_NAME);
    HWND window = CreateWindowExW(0, MAIN_CLASS, title.c_str(), MAIN_STYLE,
                                  layout::CenteredX(screenWidth), layout::CenteredY(screenHeight),
                                  layout::WINDOW_WIDTH, layout::WINDOW_HEIGHT, nullptr, nullptr,
                                  instance, &data);
    if (window == nullptr) return nullptr;
    services.SetOwner(window);
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    return window;
}

LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        auto* owner = static_cast<std::unique_ptr<WindowData>*>(creation->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner->release()));
        return DefWindowProcW(window, message, wParam, lParam);
    }
    WindowData* data = DataOf(window);
    if (data == nullptr) return DefWindowProcW(window, message, wParam, lParam);
    AppState* state = &data->state;
    const bool busy = data->services.Busy();

    switch (message) {
        case WM_CREATE:
            if (!OnCreate(*state)) {
                DestroyWindow(window);  // never shown; WM_DESTROY ends the message loop
                return 0;
            }
            CreateControls(window);
            return 0;
        case WM_DESTROY:
            OnDestroy(*state);
            PostQuitMessage(0);
            return 0;
        case WM_NCDESTROY:
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            delete data;
            return DefWindowProcW(window, message, wParam, lParam);
        case WM_CLOSE:
            if (!busy) DestroyWindow(window);  // the work under way writes into the state
            return 0;
        case WM_SETCURSOR:
            if (!busy) return DefWindowProcW(window, message, wParam, lParam);
            SetCursor(LoadCursorW(nullptr, IDC_WAIT));
            return TRUE;
        case WM_DRAWITEM: {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            PanelPainter canvas(item->hDC);
            DispatchDrawItem(*state, static_cast<int>(item->CtlID), canvas);
            return TRUE;
        }
        case WM_COMMAND:
            DispatchCommand(*state, HIWORD(wParam), LOWORD(wParam));
            return 0;
        case WM_CONTEXTMENU:
            // The panels let mouse messages through to the window, which asks for the menu itself.
            if (const auto at = OverPreviewPanel(window, lParam); at && !busy) {
                ShowConversionMenu(window, *state, *at);
                return 0;
            }
            return DefWindowProcW(window, message, wParam, lParam);
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace tesselbox::win32

