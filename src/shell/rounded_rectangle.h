// The one rounded-rectangle path of the tray symbol, the panel and the settings screen.
#pragma once

#include <cairomm/context.h>

namespace vesk {

// Adds a closed rounded rectangle as a new sub-path, in cairo's top-left, y-down space; the
// radius is clamped to half the shorter side, as rounded-rectangle paths of other toolkits do.
void roundedRectangle(const Cairo::RefPtr<Cairo::Context>& cr, double x, double y, double width, double height,
                      double radius);

}  // namespace vesk
