// Every text the window shows, in UTF-8; the platforms convert as their APIs need.
#pragma once

#include "platform/WindowServices.h"

#include <array>

namespace tesselbox::texts {

inline constexpr const char* APP_NAME = "Tesselbox";
inline constexpr const char* CHOOSE_PICTURE = "选择图片";
inline constexpr const char* GENERATE = "生成";

inline constexpr const char* COLORS_FAILED = "输入颜色失败！";
inline constexpr const char* ASK_SHRINK = "是否缩放到300x300内？";
inline constexpr const char* OPEN_FILE_FAILED = "打开文件失败！";
inline constexpr const char* WRITE_FILE_FAILED = "写入文件失败！";
inline constexpr const char* READ_PICTURE_FAILED = "读取图片失败！";
inline constexpr const char* PICTURE_TOO_LARGE = "图片太大！";
// A color table block that has no name in today's game: only a .schematic can hold it.
inline constexpr const char* NO_MODERN_BLOCK_NAME = "颜色表中有方块在新版本中没有名称，只能保存为.schematic文件！";
// A block the color table names that today's game does not have.
inline constexpr const char* UNKNOWN_BLOCK_NAME = "颜色表中有方块名称在新版本中不存在！";
// A color table line that names its block: a .schematic has no number for it.
inline constexpr const char* NO_NUMERIC_BLOCK_ID = "颜色表中有方块没有数字编号，只能保存为.schem、.litematic或.nbt文件！";
// A picture fitted to a width or length of 0: the modern files cannot hold it.
inline constexpr const char* EMPTY_MODERN_FILE = "图片的宽或长为0，只能保存为.schematic文件！";
// The save dialog named the color table the window reads.
inline constexpr const char* OVERWRITE_COLOR_TABLE = "不能覆盖颜色表！";
inline constexpr const char* OUT_OF_MEMORY = "内存不足！";
// Map art names its blocks and stands at several heights.
inline constexpr const char* MAP_NOT_SCHEMATIC = "地图画不能保存为.schematic文件，请选择.litematic、.schem、.nbt或.mcstructure！";
inline constexpr const char* NO_MAP_COLOR = "选择的方块中没有能在地图上显示颜色的方块！";
inline constexpr const char* MAP_TOO_TALL = "地图画太高，超过了游戏的建筑高度！";

// The preview panel's menu.
inline constexpr const char* MATCH_RGB = "颜色匹配：RGB";
inline constexpr const char* MATCH_PERCEPTUAL = "颜色匹配：感知";
inline constexpr const char* DITHER_NONE = "抖动：无";
inline constexpr const char* DITHER_FLOYD_STEINBERG = "抖动：Floyd–Steinberg";
inline constexpr const char* DITHER_ORDERED = "抖动：有序（Bayer）";
inline constexpr const char* ORIENTATION_FLOOR = "方向：地面";
inline constexpr const char* ORIENTATION_WALL = "方向：墙面";
inline constexpr const char* MAP_NONE = "地图画：无";
inline constexpr const char* MAP_FLAT = "地图画：平面";
inline constexpr const char* MAP_STAIRCASE = "地图画：阶梯";
inline constexpr const char* MAP_VALLEY = "地图画：山谷阶梯";
inline constexpr const char* MAPS_1X1 = "地图：1×1";
inline constexpr const char* MAPS_1X2 = "地图：1×2";
inline constexpr const char* MAPS_2X1 = "地图：2×1";
inline constexpr const char* MAPS_2X2 = "地图：2×2";
inline constexpr const char* MAPS_3X3 = "地图：3×3";
inline constexpr const char* MAPS_4X4 = "地图：4×4";
inline constexpr const char* MENU_BLOCKS = "方块…";
inline constexpr const char* MENU_MATERIALS = "材料清单…";

// The blocks dialog.
inline constexpr const char* BLOCKS_TITLE = "方块";
inline constexpr const char* TABLE_WORKING_FOLDER = "工作文件夹中的Colors.txt";
inline constexpr const char* TABLE_MODERN = "内置的新版方块表";
inline constexpr const char* NO_FALLING_BLOCKS = "不要下落的方块";
inline constexpr const char* NO_SUPPORTED_BLOCKS = "不要需要支撑的方块";
inline constexpr const char* NO_CHANGING_BLOCKS = "不要会变化的方块";
inline constexpr const char* NO_BUSY_BLOCKS = "不要花纹复杂的方块";
inline constexpr const char* SURVIVAL_BLOCKS_ONLY = "只要生存可得的方块";
// "已选择 12 / 120 个方块"
inline constexpr const char* CHOSEN_BEFORE = "已选择 ";
inline constexpr const char* CHOSEN_AFTER = " 个方块";
inline constexpr const char* SAVE_AS_COLOR_TABLE = "另存为颜色表…";
inline constexpr const char* OK = "确定";
inline constexpr const char* CANCEL = "取消";

// The material list.
inline constexpr const char* MATERIALS_TITLE = "材料清单";
inline constexpr const char* SAVE_AS_CSV = "另存为CSV…";
inline constexpr const char* CLOSE = "关闭";
// "共 5000 个方块，12 种；30 处没有方块"
inline constexpr const char* TOTAL_BEFORE = "共 ";
inline constexpr const char* TOTAL_KINDS = " 个方块，";
inline constexpr const char* TOTAL_EMPTY = " 种；";
inline constexpr const char* TOTAL_AFTER = " 处没有方块";
// Map art: the row before the blocks that hold the art up and stand north of it.
inline constexpr const char* SUPPORT_BLOCKS = "支撑和参照方块：";
inline constexpr std::array<const char*, 7> MATERIALS_HEADINGS = {
    "方块", "名称", "数量", "组（64个）", "余数", "潜影盒（27组）", "盒外的组"};

inline constexpr std::array<platform::FileFilter, 2> PICTURE_FILTERS = {{
    {"图片文件(*.jpg;*.png;*.bmp)", "*.jpg;*.png;*.bmp"},
    {"所有文件(*.*)", "*.*"},
}};
inline constexpr const char* PICTURE_EXTENSION = "jpg";

// The first stays the default; the others let a user find the formats a typed extension chooses.
inline constexpr std::array<platform::FileFilter, 5> SCHEMATIC_FILTERS = {{
    {"schematic文件(*.schematic)", "*.schematic"},
    {"schem文件(*.schem)", "*.schem"},
    {"litematic文件(*.litematic)", "*.litematic"},
    {"结构文件(*.nbt)", "*.nbt"},
    {"基岩版结构文件(*.mcstructure)", "*.mcstructure"},
}};
inline constexpr const char* SCHEMATIC_EXTENSION = "schematic";
// Map art cannot be a .schematic: the formats it can be, the first the default.
inline constexpr std::array<platform::FileFilter, 4> MAP_FILTERS = {{
    {"litematic文件(*.litematic)", "*.litematic"},
    {"schem文件(*.schem)", "*.schem"},
    {"结构文件(*.nbt)", "*.nbt"},
    {"基岩版结构文件(*.mcstructure)", "*.mcstructure"},
}};
inline constexpr const char* MAP_EXTENSION = "litematic";

inline constexpr std::array<platform::FileFilter, 1> COLOR_TABLE_FILTERS = {{{"颜色表文件(*.txt)", "*.txt"}}};
inline constexpr const char* COLOR_TABLE_EXTENSION = "txt";
inline constexpr std::array<platform::FileFilter, 1> CSV_FILTERS = {{{"CSV文件(*.csv)", "*.csv"}}};
inline constexpr const char* CSV_EXTENSION = "csv";

}  // namespace tesselbox::texts
