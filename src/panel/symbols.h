// The one table that maps the symbol names of the panel and the settings screen to symbolic
// icons of the icon theme.
#pragma once

#include <string_view>

namespace vesk {

// The icon-theme name for one of the panel's symbols ("link", "globe", "chevron.down", …);
// an unknown name gives "image-missing".
std::string_view symbolIconName(std::string_view symbol);

// The pixel size of a symbol set in a font of `points` (symbols are a little taller than the
// font's size, like glyphs with ascenders).
int symbolPixelSize(double points);

}  // namespace vesk
