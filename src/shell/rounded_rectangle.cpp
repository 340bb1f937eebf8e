#include "shell/rounded_rectangle.h"

#include <algorithm>
#include <numbers>

namespace vesk {

void roundedRectangle(const Cairo::RefPtr<Cairo::Context>& cr, double x, double y, double width, double height,
                      double radius) {
  radius = std::min({radius, width / 2, height / 2});
  constexpr double quarter = std::numbers::pi / 2;
  cr->begin_new_sub_path();
  cr->arc(x + width - radius, y + radius, radius, -quarter, 0);
  cr->arc(x + width - radius, y + height - radius, radius, 0, quarter);
  cr->arc(x + radius, y + height - radius, radius, quarter, 2 * quarter);
  cr->arc(x + radius, y + radius, radius, 2 * quarter, 3 * quarter);
  cr->close_path();
}

}  // namespace vesk
