// The Windows program's entry: register the class, create the window, run the message loop.
#include "win32/MainWindow.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    tesselbox::win32::RegisterMainClass(instance);
    if (tesselbox::win32::CreateMainWindow(instance, showCommand) == nullptr) return 0;
    MSG message{};
    // No dialog-message handling: Tab does not move between the buttons.
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
