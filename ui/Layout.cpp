#include "Layout.h"

#include <cmath>

#include "resource.h"

namespace {

// The bottom row: control, left edge, width. Each starts 8 pixels right of
// the one before it.
struct BottomButton {
    int id, x, width;
};
constexpr BottomButton kBottomRow[] = {
    {IDC_BTN_CHECK_ALL, 3, 45},
    {IDC_BTN_INVERT, 56, 48},
    {IDC_BTN_DELETE, 112, 45},
    {IDC_BTN_SUPPORT, 165, 65},
};

int Scaled(int pixels, double factor) { return static_cast<int>(std::lround(pixels * factor)); }

}  // namespace

std::vector<ControlPlacement> MainWindowLayout(int w, int h, LayoutScale s) {
    std::vector<ControlPlacement> out;
    out.push_back({IDC_LIST_RESULT, Scaled(3, s.x), Scaled(75, s.y), w - Scaled(6, s.x), h - Scaled(115, s.y)});
    for (const BottomButton& b : kBottomRow)
        out.push_back({b.id, Scaled(b.x, s.x), h - Scaled(32, s.y), Scaled(b.width, s.x), -1});
    out.push_back({IDC_STATIC_NOTICE, Scaled(235, s.x), h - Scaled(29, s.y), w - Scaled(243, s.x), -1});
    return out;
}
