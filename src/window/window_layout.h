#pragma once
// The window's designed layout in twips (15 twips to a pixel at the standard setting).

#include <QRect>
#include <array>
#include <string_view>

namespace gg::layout {

inline constexpr int kTwipsPerPixel = 15;

// To the nearest pixel: 7000 twips are 466.67 px, shown as 467.
constexpr int px(int twips) { return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel; }
constexpr QRect rectFromTwips(int left, int top, int width, int height)
{
    return QRect(px(left), px(top), px(width), px(height));
}

inline constexpr int kClientWidthTwips = 8040;
inline constexpr int kClientHeightTwips = 9960;
inline constexpr int kSourceColumnWidthTwips = 7000;

struct ControlPlace {
    std::string_view name;    // object name of the control
    std::string_view caption; // its caption or text, "" where it has none
    int left, top, width, height; // twips; inside a frame, relative to the frame
    int tabIndex;
};

// Visible controls, top to bottom. The object names are the old designer's ("PushButton6",
// "Text1") and stay so: a user's skin style sheet (x/o.cjs) may address the controls by them.
inline constexpr std::array<ControlPlace, 18> kVisibleControls{{
    {"ListView1", "", 120, 120, 7800, 2535, 14},
    {"PushButton4", "Add Folder and Subfolders", 120, 2750, 3840, 405, 15},
    {"PushButton7", "Load List Of Folders From File", 4080, 2750, 3840, 405, 22},
    {"PushButton5", "Clear List", 120, 3260, 3840, 405, 16},
    {"PushButton8", "Load Sample/Example Folders", 4080, 3260, 3840, 405, 23},
    {"PushButton6", "Start Extracting Icons", 120, 3770, 7800, 405, 17},
    {"Frame3", "View Icons Of", 120, 4215, 7800, 1050, 9},
    {"optFiles_0", "All Files", 225, 300, 1050, 255, 11},
    {"optFiles_1", "Application Files", 240, 650, 1740, 255, 12},
    {"Label1", "(ICO, ICL, EXE, CPL, DLL, OCX, VBX, DRV, SCR)", 2115, 645, 3930, 225, 13},
    {"Frame2", "Icons", 120, 5325, 7800, 2130, 0},
    {"lv", "", 240, 300, 7290, 1620, 1},
    {"Frame1", "Save Results To This Folder", 120, 7530, 7800, 800, 18},
    {"Text1", "", 240, 300, 6585, 345, 20},
    {"PushButton3", "...", 6960, 300, 615, 345, 19},
    {"PushButton1", "Start Saving Selected Icons", 120, 8430, 7800, 405, 3},
    {"PushButton2", "Start Saving All Icons", 120, 8940, 7800, 405, 5},
    {"ProgressBar1", "Progress Bar", 120, 9450, 7800, 405, 2},
}};

const ControlPlace& place(std::string_view name);

} // namespace gg::layout
