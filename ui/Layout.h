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

// The list, the bottom row of buttons and the status line, in pixels.
std::vector<ControlPlacement> MainWindowLayout(int clientWidth, int clientHeight);

// Width of the list's path column for a client width.
inline int PathColumnWidth(int clientWidth) { return clientWidth - 323; }
