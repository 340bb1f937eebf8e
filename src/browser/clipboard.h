// The desktop clipboard as the browser store and the panel use it: plain text in and out.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace vesk {

class Clipboard {
 public:
  virtual ~Clipboard() = default;

  // Replaces the clipboard's content with `text`; the text stays available after Vesk exits
  // when the desktop runs a clipboard manager.
  virtual void setText(const std::string& text) = 0;
  // Reads the clipboard's text asynchronously; `done` gets absent when it holds no text.
  // `done` runs on the main thread, possibly after the caller has returned.
  virtual void requestText(std::function<void(std::optional<std::string>)> done) = 0;
};

}  // namespace vesk
