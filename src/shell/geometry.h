// Screen points and rectangles in the desktop's root coordinates (origin top left, y down).
#pragma once

#include <optional>

namespace vesk {

struct ScreenPoint {
  int x = 0;
  int y = 0;
  bool operator==(const ScreenPoint&) const = default;
};

struct ScreenSize {
  int width = 0;
  int height = 0;
  bool operator==(const ScreenSize&) const = default;
};

struct ScreenRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool contains(ScreenPoint p) const { return p.x >= x && p.x < x + width && p.y >= y && p.y < y + height; }
  bool operator==(const ScreenRect&) const = default;
};

}  // namespace vesk
