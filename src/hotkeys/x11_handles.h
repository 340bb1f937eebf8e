// Owning pointers for Xlib handles, freed with the call Xlib documents for each.
#pragma once

#include <X11/Xlib.h>

#include <memory>

namespace vesk {

struct XFreeModifiermapDeleter {
  void operator()(XModifierKeymap* map) const { XFreeModifiermap(map); }
};

using XModifierKeymapPtr = std::unique_ptr<XModifierKeymap, XFreeModifiermapDeleter>;

}  // namespace vesk
