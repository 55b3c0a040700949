#include "Layout.h"

namespace {

constexpr int kList = 1009;
constexpr int kNotice = 1015;

// The bottom row: control, left edge, width. Each starts 8 pixels right of
// the one before it.
struct BottomButton {
    int id, x, width;
};
constexpr BottomButton kBottomRow[] = {
    {1010, 3, 45},
    {1018, 56, 48},
    {1012, 112, 45},
    {1013, 165, 65},
};

}  // namespace

std::vector<ControlPlacement> MainWindowLayout(int w, int h) {
    std::vector<ControlPlacement> out;
    out.push_back({kList, 3, 75, w - 6, h - 115});
    for (const BottomButton& b : kBottomRow) out.push_back({b.id, b.x, h - 32, b.width, -1});
    out.push_back({kNotice, 235, h - 29, w - 243, -1});
    return out;
}
