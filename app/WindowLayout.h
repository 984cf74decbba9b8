// The main window's fixed geometry and control identifiers, the same on every platform.
#pragma once

namespace tesselbox::layout {

inline constexpr int IDC_CHOOSE_PICTURE = 1;
inline constexpr int IDC_GENERATE = 2;
inline constexpr int IDC_SOURCE_PANEL = 3;
inline constexpr int IDC_PREVIEW_PANEL = 4;

// The preview panel's menu items.
inline constexpr int IDM_MATCH_RGB = 101;
inline constexpr int IDM_MATCH_PERCEPTUAL = 102;
inline constexpr int IDM_DITHER_NONE = 201;
inline constexpr int IDM_DITHER_FLOYD_STEINBERG = 202;
inline constexpr int IDM_DITHER_ORDERED = 203;
inline constexpr int IDM_ORIENTATION_FLOOR = 301;
inline constexpr int IDM_ORIENTATION_WALL = 302;
inline constexpr int IDM_MAP_NONE = 501;
inline constexpr int IDM_MAP_FLAT = 502;
inline constexpr int IDM_MAP_STAIRCASE = 503;
inline constexpr int IDM_MAP_VALLEY = 504;
// W × H maps: 600 + 10 W + H.
inline constexpr int IDM_MAPS_1X1 = 611;
inline constexpr int IDM_MAPS_1X2 = 612;
inline constexpr int IDM_MAPS_2X1 = 621;
inline constexpr int IDM_MAPS_2X2 = 622;
inline constexpr int IDM_MAPS_3X3 = 633;
inline constexpr int IDM_MAPS_4X4 = 644;
inline constexpr int IDM_BLOCKS = 401;
inline constexpr int IDM_MATERIALS = 402;

// Outer size, frame and caption included, as created on Windows.
inline constexpr int WINDOW_WIDTH = 654;
inline constexpr int WINDOW_HEIGHT = 413;
// 16-pixel margins around two 300 × 300 panels, the buttons 16 pixels below them.
inline constexpr int CLIENT_WIDTH = 648;
inline constexpr int CLIENT_HEIGHT = 378;

struct Rect {
    int x, y, width, height;
};

inline constexpr Rect CHOOSE_BUTTON = {216, 332, 100, 30};
inline constexpr Rect GENERATE_BUTTON = {332, 332, 100, 30};
inline constexpr Rect SOURCE_PANEL = {16, 16, 300, 300};
inline constexpr Rect PREVIEW_PANEL = {332, 16, 300, 300};

// Centred with integer halves, nothing clamped (640 × 480 gives -7, 34).
inline constexpr int CenteredX(int screenWidth) { return screenWidth / 2 - WINDOW_WIDTH / 2; }
inline constexpr int CenteredY(int screenHeight) { return screenHeight / 2 - WINDOW_HEIGHT / 2; }

}  // namespace tesselbox::layout
