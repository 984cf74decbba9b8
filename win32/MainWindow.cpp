// The main window and its four child controls, and the seam's window half that needs them:
// message boxes and panel repaints.
#include "win32/MainWindow.h"

#include "app/AppState.h"
#include "app/Commands.h"
#include "app/ConversionMenu.h"
#include "app/Texts.h"
#include "app/WindowLayout.h"
#include "win32/Win32Platform.h"

#include <exception>
#include <memory>
#include <optional>
#include <system_error>
#include <thread>

namespace tesselbox::win32 {
namespace {

// The one main window. The window services are free functions that the commands call without a
// window at hand; the boxes, dialogs and panels they reach belong to this one.
HWND mainWindow = nullptr;

// Set on the main window while RunBusy waits for its work, which writes into the window's state.
constexpr const wchar_t* BUSY_PROPERTY = L"Tesselbox.BusyWork";

bool BusyWork(HWND window) { return GetPropW(window, BUSY_PROPERTY) != nullptr; }

AppState* StateOf(HWND window) {
    return reinterpret_cast<AppState*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

void CreateChild(HWND parent, const wchar_t* className, const char* text, DWORD style,
                 const layout::Rect& rect, int controlId) {
    const std::wstring wideText = text ? Widen(text) : std::wstring();
    HWND child = CreateWindowExW(0, className, text ? wideText.c_str() : nullptr, style, rect.x,
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

void SetMainWindow(HWND window) { mainWindow = window; }

HWND MainWindow() { return mainWindow; }

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

bool CreateMainWindow(HINSTANCE instance, int showCommand) {
    // WM_CREATE runs inside CreateWindowExW: no owner for its boxes yet.
    SetMainWindow(nullptr);
    auto state = std::make_unique<AppState>();  // handed to the window on WM_NCCREATE
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const std::wstring title = Widen(texts::APP_NAME);
    HWND window = CreateWindowExW(0, MAIN_CLASS, title.c_str(), MAIN_STYLE,
                                  layout::CenteredX(screenWidth), layout::CenteredY(screenHeight),
                                  layout::WINDOW_WIDTH, layout::WINDOW_HEIGHT, nullptr, nullptr,
                                  instance, &state);
    SetMainWindow(window);
    if (window == nullptr) return false;
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    return true;
}

LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        auto* owner = static_cast<std::unique_ptr<AppState>*>(creation->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner->release()));
        return DefWindowProcW(window, message, wParam, lParam);
    }
    AppState* state = StateOf(window);
    if (state == nullptr) return DefWindowProcW(window, message, wParam, lParam);

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
            delete state;
            return DefWindowProcW(window, message, wParam, lParam);
        case WM_CLOSE:
            if (!BusyWork(window)) DestroyWindow(window);  // the work under way writes into the state
            return 0;
        case WM_SETCURSOR:
            if (!BusyWork(window)) return DefWindowProcW(window, message, wParam, lParam);
            SetCursor(LoadCursorW(nullptr, IDC_WAIT));
            return TRUE;
        case WM_DRAWITEM: {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            platform::PanelCanvas canvas{item->hDC};
            DispatchDrawItem(*state, static_cast<int>(item->CtlID), canvas);
            return TRUE;
        }
        case WM_COMMAND:
            DispatchCommand(*state, HIWORD(wParam), LOWORD(wParam));
            return 0;
        case WM_CONTEXTMENU:
            // The panels let mouse messages through to the window, which asks for the menu itself.
            if (const auto at = OverPreviewPanel(window, lParam); at && !BusyWork(window)) {
                ShowConversionMenu(window, *state, *at);
                return 0;
            }
            return DefWindowProcW(window, message, wParam, lParam);
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace tesselbox::win32

namespace tesselbox::platform {

Answer ShowMessage(const std::string& text, MessageKind kind) {
    const std::wstring wideText = win32::Widen(text);
    const std::wstring caption = win32::Widen(texts::APP_NAME);
    const UINT style = kind == MessageKind::Question ? MB_ICONQUESTION | MB_YESNO
                                                     : MB_ICONERROR | MB_OK;
    const int answer = MessageBoxW(win32::MainWindow(), wideText.c_str(), caption.c_str(), style);
    if (kind == MessageKind::Error) return Answer::Ok;
    return answer == IDYES ? Answer::Yes : Answer::No;  // a failed box counts as a refusal
}

void RunBusy(const std::function<void()>& work) {
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::exception_ptr failure;
    std::thread worker;
    if (done != nullptr) {
        try {
            worker = std::thread([&] {
                try {
                    work();
                } catch (...) {
                    failure = std::current_exception();
                }
                SetEvent(done);
            });
        } catch (const std::system_error&) {  // no thread to be had: the window waits
        }
    }
    if (!worker.joinable()) {
        if (done != nullptr) CloseHandle(done);
        work();
        return;
    }
    // The window keeps painting but takes no input, and shows the wait cursor, until the work
    // is done; a quit message that comes meanwhile is posted again afterwards.
    HWND window = win32::MainWindow();
    const bool enabled = window != nullptr && !EnableWindow(window, FALSE);
    if (window != nullptr) SetPropW(window, win32::BUSY_PROPERTY, window);
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    std::optional<int> quitCode;
    for (;;) {
        const DWORD woken = MsgWaitForMultipleObjects(1, &done, FALSE, INFINITE, QS_ALLINPUT);
        if (woken != WAIT_OBJECT_0 + 1) break;  // done, or waiting failed: join below
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                quitCode = static_cast<int>(message.wParam);
                continue;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    worker.join();
    CloseHandle(done);
    if (window != nullptr) RemovePropW(window, win32::BUSY_PROPERTY);
    if (enabled) EnableWindow(window, TRUE);
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    if (quitCode) PostQuitMessage(*quitCode);
    if (failure) std::rethrow_exception(failure);
}

void InvalidatePanel(int controlId) {
    // A null window would invalidate every window on the desktop.
    if (win32::MainWindow() == nullptr) return;
    HWND panel = GetDlgItem(win32::MainWindow(), controlId);
    if (panel != nullptr) InvalidateRect(panel, nullptr, TRUE);
}

}  // namespace tesselbox::platform
