#include "ui/notify_placement.h"

#include <gtest/gtest.h>

namespace {
const ScreenRect kDesktop{0, 0, 1920, 1080};
const ScreenRect kWorkArea{0, 0, 1920, 1040};
const ScreenRect kDialog{100, 100, 450, 330};  // 350 x 230

struct PlacementCase {
    const char* name;
    bool hasTaskbar;
    ScreenRect taskbar;
    ScreenRect workArea;
    int32_t x;
    int32_t y;
};

class NotifyPlacementTest : public testing::TestWithParam<PlacementCase> {};

TEST_P(NotifyPlacementTest, PlacesTheWindow) {
    const PlacementCase& c = GetParam();
    const ScreenPoint at = PlaceNotification(c.hasTaskbar ? &c.taskbar : nullptr, kDialog, kDesktop, c.workArea);
    EXPECT_EQ(at.X, c.x);
    EXPECT_EQ(at.Y, c.y);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NotifyPlacementTest,
    testing::Values(
        // Above a bottom taskbar whose top is 1040, 5 pixels off both edges.
        PlacementCase{"bottom_taskbar", true, {0, 1040, 1920, 1080}, kWorkArea, 1565, 805},
        // A taller bottom taskbar moves the window up with it.
        PlacementCase{"tall_bottom_taskbar", true, {0, 1000, 1920, 1080}, {0, 0, 1920, 1000}, 1565, 765},
        // No taskbar: the work area's bottom right corner.
        PlacementCase{"no_taskbar", false, {}, kDesktop, 1565, 845},
        // Top taskbar: not above it (that would be off the screen) but the work area's corner.
        PlacementCase{"top_taskbar", true, {0, 0, 1920, 40}, {0, 40, 1920, 1080}, 1565, 845},
        // Right taskbar: the work area ends before it.
        PlacementCase{"right_taskbar", true, {1860, 0, 1920, 1080}, {0, 0, 1860, 1080}, 1505, 845},
        // Left taskbar reaching the bottom edge is still not a bottom taskbar.
        PlacementCase{"left_taskbar", true, {0, 0, 60, 1080}, {60, 0, 1920, 1080}, 1565, 845}),
    [](const testing::TestParamInfo<PlacementCase>& info) { return std::string(info.param.name); });
}  // namespace
