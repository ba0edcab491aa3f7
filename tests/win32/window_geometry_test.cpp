#include "ui/win32/window_geometry.h"

#include <gtest/gtest.h>

namespace ventrel::win32 {
namespace {

TEST(WindowGeometryTest, CentredInTheWorkAreaAndKeptInside) {
  const struct {
    RECT area;
    int width;
    int height;
    LONG x;
    LONG y;
  } cases[] = {
      {{0, 0, 1024, 768}, 275, 117, 512 - 137, 384 - 58},
      {{0, 0, 1024, 738}, 276, 118, 374, 310},              // a taskbar below
      {{0, 30, 1024, 768}, 100, 100, 462, 349},             // a taskbar above
      {{-1280, 0, 0, 1024}, 101, 51, -640 - 50, 512 - 25},  // left of the primary monitor's origin
      {{-3, -3, 0, 0}, 2, 2, -2, -2},                       // (-3 + 0) / 2 truncates toward zero
      {{0, 0, 200, 100}, 300, 150, 0, 0},                   // larger than the area: its corner
  };
  for (const auto& c : cases) {
    const POINT at = CentredPosition(c.area, c.width, c.height);
    EXPECT_EQ(at.x, c.x) << c.area.left << "," << c.area.right << " / " << c.width;
    EXPECT_EQ(at.y, c.y) << c.area.top << "," << c.area.bottom << " / " << c.height;
  }
}

TEST(WindowGeometryTest, MinimisedIconPosition) {
  const struct {
    RECT client;
    int cx;
    int cy;
    LONG x;
    LONG y;
  } cases[] = {
      {{0, 0, 160, 24}, 32, 32, 64, -3},  // (24 - 32 + 1) / 2 = -7 / 2 = -3, not -4
      {{0, 0, 32, 32}, 32, 32, 0, 0},
      {{0, 0, 33, 34}, 32, 32, 1, 1},
      {{0, 0, 0, 0}, 32, 32, -15, -15},
  };
  for (const auto& c : cases) {
    const POINT at = MinimisedIconPosition(c.client, c.cx, c.cy);
    EXPECT_EQ(at.x, c.x) << c.client.right << "x" << c.client.bottom;
    EXPECT_EQ(at.y, c.y) << c.client.right << "x" << c.client.bottom;
  }
}

}  // namespace
}  // namespace ventrel::win32
