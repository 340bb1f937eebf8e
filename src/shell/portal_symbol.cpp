#include "shell/portal_symbol.h"

#include <cairomm/context.h>
#include <gdk/gdk.h>

#include <algorithm>
#include <cmath>

#include "shell/rounded_rectangle.h"

namespace vesk {

namespace {

Cairo::RefPtr<Cairo::ImageSurface> newSymbolSurface(double size) {
  const int pixels = std::max(1, static_cast<int>(std::ceil(size)));
  return Cairo::ImageSurface::create(Cairo::FORMAT_ARGB32, pixels, pixels);
}

// Draws the symbol in `color`, every edge moved out by `grow` (0 for the symbol itself).
void drawSymbol(const Cairo::RefPtr<Cairo::Context>& cr, double size, SymbolColor color, double grow) {
  const double u = size / 18.0;
  // The geometry is defined with the origin at the bottom left and y growing upwards; cairo's
  // origin is the top left, so a rectangle (x, y, w, h) lands at (x, size - y - h, w, h).
  auto flipY = [size](double y, double height) { return size - y - height; };

  cr->set_source_rgba(color.red, color.green, color.blue, color.alpha);
  roundedRectangle(cr, 4 * u, flipY(2 * u, 14 * u), 10 * u, 14 * u, 5 * u);
  cr->set_line_width(1.8 * u + 2 * grow);
  cr->stroke();

  roundedRectangle(cr, 7 * u, flipY(5 * u, 1.6 * u), 4 * u, 1.6 * u, 0.8 * u);
  if (grow > 0) {
    // A stroke centred on the bar's edge reaches `grow` beyond it.
    cr->fill_preserve();
    cr->set_line_width(2 * grow);
    cr->stroke();
  } else {
    cr->fill();
  }
}

// The unread dot at the top right: a clear gap around it, the dark ring, the red dot.
void drawUnreadDot(const Cairo::RefPtr<Cairo::Context>& cr, double size) {
  // The ring is wider than the glyph's outline: on a mid-grey panel it alone sets the dot apart.
  const double u = size / 18.0, x = 13.5 * u, y = 4.4 * u, radius = 3 * u, ring = 1.5 * symbolOutlineWidth(size);
  cr->set_operator(Cairo::OPERATOR_CLEAR);
  cr->arc(x, y, radius + ring + symbolOutlineWidth(size), 0, 2 * M_PI);
  cr->fill();
  cr->set_operator(Cairo::OPERATOR_SOURCE);
  cr->set_source_rgba(unreadRingColor.red, unreadRingColor.green, unreadRingColor.blue, unreadRingColor.alpha);
  cr->arc(x, y, radius + ring, 0, 2 * M_PI);
  cr->fill();
  cr->set_source_rgba(unreadDotColor.red, unreadDotColor.green, unreadDotColor.blue, unreadDotColor.alpha);
  cr->arc(x, y, radius, 0, 2 * M_PI);
  cr->fill();
}

std::vector<std::uint8_t> straightArgb(const Cairo::RefPtr<Cairo::ImageSurface>& surface) {
  const int width = surface->get_width(), height = surface->get_height(), stride = surface->get_stride();
  const unsigned char* data = surface->get_data();
  std::vector<std::uint8_t> out;
  out.reserve(static_cast<std::size_t>(width) * height * 4);
  for (int y = 0; y < height; ++y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(data + y * stride);
    for (int x = 0; x < width; ++x) {
      const std::uint32_t pixel = row[x];  // premultiplied, native byte order
      const std::uint32_t a = pixel >> 24;
      auto channel = [&](int shift) -> std::uint8_t {
        const std::uint32_t c = (pixel >> shift) & 0xff;
        return a == 0 ? 0 : static_cast<std::uint8_t>(std::min<std::uint32_t>(255, (c * 255 + a / 2) / a));
      };
      out.push_back(static_cast<std::uint8_t>(a));
      out.push_back(channel(16));
      out.push_back(channel(8));
      out.push_back(channel(0));
    }
  }
  return out;
}

}  // namespace

Cairo::RefPtr<Cairo::ImageSurface> portalSymbol(double size, SymbolColor color) {
  auto surface = newSymbolSurface(size);
  drawSymbol(Cairo::Context::create(surface), size, color, 0);
  surface->flush();
  return surface;
}

double symbolOutlineWidth(double size) { return std::max(1.0, size / 22.0); }

Cairo::RefPtr<Cairo::ImageSurface> outlinedPortalSymbol(double size, SymbolColor glyph, SymbolColor outline,
                                                        bool unread) {
  auto surface = newSymbolSurface(size);
  auto cr = Cairo::Context::create(surface);
  drawSymbol(cr, size, outline, symbolOutlineWidth(size));
  // The glyph replaces the outline where they overlap, so a translucent outline never tints it.
  cr->set_operator(Cairo::OPERATOR_SOURCE);
  drawSymbol(cr, size, glyph, 0);
  if (unread) drawUnreadDot(cr, size);
  surface->flush();
  return surface;
}

Glib::RefPtr<Gdk::Pixbuf> portalSymbolPixbuf(double size, SymbolColor color) {
  auto surface = portalSymbol(size, color);
  GdkPixbuf* pixbuf = gdk_pixbuf_get_from_surface(surface->cobj(), 0, 0, surface->get_width(), surface->get_height());
  return Glib::wrap(pixbuf);
}

std::vector<std::uint8_t> portalSymbolArgb(int size, SymbolColor color) {
  return straightArgb(portalSymbol(size, color));
}

std::vector<std::uint8_t> outlinedPortalSymbolArgb(int size, SymbolColor glyph, SymbolColor outline, bool unread) {
  return straightArgb(outlinedPortalSymbol(size, glyph, outline, unread));
}

}  // namespace vesk
