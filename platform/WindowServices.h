// What the window's commands need of the platform: message boxes, file dialogs, painting the two
// panels and busy work. One implementation per platform (qt/, win32/) and a fake in tests/; no
// toolkit shows here. All text is UTF-8.
#pragma once

#include "platform/PictureServices.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>

namespace tesselbox::platform {

enum class MessageKind { Error, Question };  // error: icon and OK; question: icon, Yes and No
enum class Answer { Ok, Yes, No };

// A modal box with the caption "Tesselbox", owned by the main window once it exists.
Answer ShowMessage(const std::string& text, MessageKind kind);

struct FileFilter {
    const char* text;     // shown in the file type box, "图片文件(*.jpg;*.png;*.bmp)"
    const char* pattern;  // "*.jpg;*.png;*.bmp"
};

// The one record the open and the save dialog share. filterIndex is the number (from 1) of the
// filter shown when the last dialog ended with a chosen file, 0 before; it carries over.
struct FileDialogRecord {
    bool prepared = false;
    std::uint32_t filterIndex = 0;
};

// Each dialog opens with an empty file name and appends to a typed name that has no extension the
// one of the filter shown (a filter of one "*.ext" pattern), or else defaultExtension. Open: only an existing file. Save: asks before replacing one. nullopt on cancel or failure.
std::optional<std::filesystem::path> ChooseOpenFile(FileDialogRecord& record,
                                                     std::span<const FileFilter> filters,
                                                     const char* defaultExtension);
std::optional<std::filesystem::path> ChooseSaveFile(FileDialogRecord& record,
                                                     std::span<const FileFilter> filters,
                                                     const char* defaultExtension);

struct PanelCanvas;  // a panel's drawing target during one paint, origin at its top-left corner

void FillPanelWhite(PanelCanvas& canvas, int width, int height);
// Blends source (sourceWidth × sourceHeight) over the panel at (0, 0), scaled to destination size,
// as premultiplied source-over with per-pixel alpha.
void BlendSurface(PanelCanvas& canvas, const SurfaceMemory& source, std::uint32_t sourceWidth,
                  std::uint32_t sourceHeight, std::uint32_t destinationWidth,
                  std::uint32_t destinationHeight);
// A one-pixel black line along the inside of (0, 0, width, height).
void FramePanelBlack(PanelCanvas& canvas, int width, int height);

// Asks the panel with that control identifier to repaint later.
void InvalidatePanel(int controlId);

// Runs work on a second thread while the window goes on painting, takes no input, cannot be
// closed and shows that it is busy; returns once work has, passing on what it threw. For work
// that may take a noticeable time.
void RunBusy(const std::function<void()>& work);

}  // namespace tesselbox::platform
