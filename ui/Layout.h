// Where the resizable controls of the main window go for a client size.
#pragma once

#include <vector>

struct ControlPlacement {
    int id;
    int x, y;
    int width;   // -1: keep the current width
    int height;  // -1: keep the current height
};

constexpr int kMinWindowWidth = 600;
constexpr int kMinWindowHeight = 400;

// The layout's numbers are pixels for the template's font (宋体 9 pt) at 96
// dots per inch, whose dialog base units are 6 x 12. Where the font or the
// display scaling makes the template larger, the numbers grow with it, or the
// list would cover the check boxes and the buttons would be cut off.
struct LayoutScale {
    double x = 1.0;
    double y = 1.0;
};
constexpr int kDesignBaseUnitX = 6;
constexpr int kDesignBaseUnitY = 12;

// From the dialog's base units (MapDialogRect of 4 x 8 dialog units).
inline LayoutScale ScaleForBaseUnits(int baseX, int baseY) {
    return {static_cast<double>(baseX) / kDesignBaseUnitX, static_cast<double>(baseY) / kDesignBaseUnitY};
}

// Pixels at 96 dots per inch, for the display's scaling.
inline int ScaledForDpi(int pixelsAt96, int dpi) { return (pixelsAt96 * dpi + 48) / 96; }

// The smallest window: the design's size scaled from 96 dots per inch to the
// display's, and never narrower than the template's top row needs (its width
// in pixels, frame included), which the layout does not move.
constexpr int kTopRowRightDlu = 394;  // right edge of IDD_MAIN's group box
struct WindowSize {
    int width, height;
};
inline WindowSize MinimumWindowSize(int dpiX, int dpiY, int topRowWindowWidth) {
    int width = ScaledForDpi(kMinWindowWidth, dpiX);
    int height = ScaledForDpi(kMinWindowHeight, dpiY);
    return {width > topRowWindowWidth ? width : topRowWindowWidth, height};
}

// The list, the bottom row of buttons and the status line, in pixels.
std::vector<ControlPlacement> MainWindowLayout(int clientWidth, int clientHeight, LayoutScale scale = {});

// The list's columns, widths in pixels at 96 dots per inch. The path column
// takes what the others leave of the list's width (never less than its
// width here), so no column runs past the list's edge.
struct ListColumnSpec {
    const char* heading;
    int widthAt96;
};
constexpr int kPathColumn = 0;
constexpr int kPathColumnMinAt96 = 120;
// After the five columns: this Windows' verdict on the row's plain path and why it is listed.
constexpr int kWhyListedColumn = 5;
