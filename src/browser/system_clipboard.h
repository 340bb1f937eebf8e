// The CLIPBOARD selection of the GTK display behind the Clipboard interface.
#pragma once

#include "browser/clipboard.h"

namespace vesk {

// Needs an open GTK display at the time of each call (not at construction).
class SystemClipboard final : public Clipboard {
 public:
  void setText(const std::string& text) override;
  void requestText(std::function<void(std::optional<std::string>)> done) override;
};

}  // namespace vesk
