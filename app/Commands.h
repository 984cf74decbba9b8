// The program's start-up, shutdown and commands, written once over the window services.
#pragma once

#include "app/AppState.h"
#include "platform/WindowServices.h"

#include <cstdint>

namespace tesselbox {

// The main window is being created. Loads the color table; on failure shows "输入颜色失败！" and
// returns false: the platform then destroys the window before it is ever shown.
bool OnCreate(AppState& state);
// The main window is being destroyed: frees the picture and stops the picture services.
void OnDestroy(AppState& state);

void InitFileDialog(platform::FileDialogRecord& record);

// A button command: runs only for notification code 0.
void DispatchCommand(AppState& state, std::uint32_t notificationCode, int controlId);
// A panel needs painting; any other control identifier is ignored.
void DispatchDrawItem(const AppState& state, int controlId, platform::PanelCanvas& canvas);

void ImportPicture(AppState& state);
// What the window says when a picture cannot be made: too large, no memory, or unreadable.
const char* ImportFailureText(ImportStatus status);
void WriteSchematic(AppState& state);
void DrawSourcePanel(const AppState& state, platform::PanelCanvas& canvas);
void DrawPreviewPanel(const AppState& state, platform::PanelCanvas& canvas);

}  // namespace tesselbox
