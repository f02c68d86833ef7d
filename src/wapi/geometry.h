#pragma once
#include <cstdint>

#include <windows.h>

namespace wapi {

// Right and bottom are inclusive: a 200 by 100 window at (10, 10) is (10, 10, 209, 109).
struct RRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = -1;
    int32_t bottom = -1;

    int32_t width() const { return right - left + 1 > 0 ? right - left + 1 : 0; }
    int32_t height() const { return bottom - top + 1 > 0 ? bottom - top + 1 : 0; }

    // The system's rectangles exclude right and bottom.
    static RRect from_system(const RECT& r) { return RRect{r.left, r.top, r.right - 1, r.bottom - 1}; }
    RECT to_system() const { return RECT{left, top, right + 1, bottom + 1}; }

    bool operator==(const RRect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
    bool operator!=(const RRect& o) const { return !(*this == o); }
};

struct RPoint {
    int32_t x = 0;
    int32_t y = 0;
};

struct RSize {
    int32_t width = 0;
    int32_t height = 0;
};

// Edge flags of dock and attach.
enum : int { EDGE_TOP = 1, EDGE_RIGHT = 2, EDGE_BOTTOM = 4, EDGE_LEFT = 8 };

} // namespace wapi
