// The tray symbol: a tall rounded outline with a short bar in its lower half, drawn with cairo.
#pragma once

#include <cairomm/surface.h>
#include <gdkmm/pixbuf.h>

#include <cstdint>
#include <vector>

namespace vesk {

struct SymbolColor {
  double red = 0, green = 0, blue = 0, alpha = 1;
};

inline constexpr SymbolColor symbolBlack{0, 0, 0, 1};
// The tray glyph's colours: light for dark panels, dark for light ones.
inline constexpr SymbolColor symbolLight{0.93, 0.93, 0.93, 1};
inline constexpr SymbolColor symbolDark{0.13, 0.13, 0.13, 1};

// A new square ARGB32 image of ceil(size) pixels with the symbol drawn at `size`;
// everything but the symbol stays transparent.
Cairo::RefPtr<Cairo::ImageSurface> portalSymbol(double size, SymbolColor color = symbolBlack);

// The same drawing as a GdkPixbuf (straight, not premultiplied alpha).
Glib::RefPtr<Gdk::Pixbuf> portalSymbolPixbuf(double size, SymbolColor color = symbolBlack);

// The drawing as the tray protocol's pixmap: width * height pixels of ARGB32 in network byte order,
// not premultiplied.
std::vector<std::uint8_t> portalSymbolArgb(int size, SymbolColor color = symbolBlack);

}  // namespace vesk
