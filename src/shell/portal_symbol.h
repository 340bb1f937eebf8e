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
// The outlines around them, a little translucent so that they read as an edge, not a second shape.
inline constexpr SymbolColor symbolOutlineDark{0.1, 0.1, 0.1, 0.85};
inline constexpr SymbolColor symbolOutlineLight{0.98, 0.98, 0.98, 0.85};

// A new square ARGB32 image of ceil(size) pixels with the symbol drawn at `size`;
// everything but the symbol stays transparent.
Cairo::RefPtr<Cairo::ImageSurface> portalSymbol(double size, SymbolColor color = symbolBlack);

// The same drawing as a GdkPixbuf (straight, not premultiplied alpha).
Glib::RefPtr<Gdk::Pixbuf> portalSymbolPixbuf(double size, SymbolColor color = symbolBlack);

// The drawing as the tray protocol's pixmap: width * height pixels of ARGB32 in network byte order,
// not premultiplied.
std::vector<std::uint8_t> portalSymbolArgb(int size, SymbolColor color = symbolBlack);

// The unread mark's dot: a warm red that reads on dark panels, in a dark ring that reads on light ones.
inline constexpr SymbolColor unreadDotColor{0.94, 0.38, 0.25, 1};
inline constexpr SymbolColor unreadRingColor{0.1, 0.1, 0.1, 1};

// The tray icon: the symbol in `glyph` over a thin band of `outline` around its every edge. Tray
// hosts do not say what colour their panel is, and a desktop's colour scheme does not tell either
// (Plasma's light panel under a dark scheme, GNOME's dark top bar under a light one): with a light
// glyph and a dark outline, or the reverse, one of the two contrasts with any panel. With `unread`,
// a dot at the top right, set apart from the glyph by a clear gap.
Cairo::RefPtr<Cairo::ImageSurface> outlinedPortalSymbol(double size, SymbolColor glyph, SymbolColor outline,
                                                        bool unread = false);

// How wide the outline is at `size`: one pixel at the usual tray sizes, growing with the symbol.
double symbolOutlineWidth(double size);

// The outlined symbol as the tray protocol's pixmap (as `portalSymbolArgb`).
std::vector<std::uint8_t> outlinedPortalSymbolArgb(int size, SymbolColor glyph, SymbolColor outline,
                                                   bool unread = false);

}  // namespace vesk
