// The main window: its class, its creation and the window procedure that routes its messages to
// the commands of app/Commands.h.
#pragma once

#include "app/AppState.h"
#include "app/WindowLayout.h"

#include <windows.h>

namespace tesselbox::win32 {

inline constexpr wchar_t MAIN_CLASS[] = L"Tesselbox";
inline constexpr DWORD MAIN_STYLE = WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_CAPTION |
                                    WS_SYSMENU | WS_MINIMIZEBOX;  // fixed size, no maximize box
inline constexpr DWORD BUTTON_STYLE = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
inline constexpr DWORD PANEL_STYLE = WS_CHILD | WS_VISIBLE | SS_OWNERDRAW;
inline constexpr int ICON_ID = 101;

// The result of the registration is not needed: a failed one makes the creation fail.
void RegisterMainClass(HINSTANCE instance);
// Creates, shows and paints the main window, which owns its window services and the program's
// AppState. Null when no window came of it, also when it closed itself during creation (no color
// table).
HWND CreateMainWindow(HINSTANCE instance, int showCommand);
// The state a main window owns.
AppState& StateOf(HWND window);
// A control of the window or of one of its dialogs, in the GUI font where it shows a text.
HWND CreateChild(HWND parent, const wchar_t* className, const char* text, DWORD style, const layout::Rect& rect,
                 int controlId, DWORD extendedStyle = 0);

LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace tesselbox::win32
