// Clicks on the compositor's bars while the panel of a Vesk that uses X11 through Xwayland is
// shown on sway. Neither X11 nor the keyboard focus tells of them: X11 sees no click on a Wayland
// surface, and a bar takes no keyboard. Over each strip of the output that lies outside the work
// area sway reports, a transparent layer surface on Vesk's own Wayland connection catches the
// click. It exists only while the panel is shown.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "shell/geometry.h"

namespace vesk {

// One strip along an edge of the output: the edges it is anchored to (top 1, bottom 2, left 4,
// right 8, as layer surfaces count them) and its thickness across the edge.
struct BarStrip {
  std::uint32_t anchor = 0;
  int thickness = 0;
  bool operator==(const BarStrip&) const = default;
};

// The strips of `output` outside `workArea`: one per edge where the work area leaves room.
std::vector<BarStrip> barStrips(const ScreenRect& output, const ScreenRect& workArea);

class BarClickCatcher {
 public:
  // `clicked` runs on the main loop, after the event that caused it has been handled.
  explicit BarClickCatcher(std::function<void()> clicked);
  ~BarClickCatcher();
  BarClickCatcher(const BarClickCatcher&) = delete;
  BarClickCatcher& operator=(const BarClickCatcher&) = delete;

  // Covers the strips of `output` outside `workArea` (replacing what was covered). Does nothing
  // where there is no Wayland display or it offers no layer surfaces.
  void cover(const ScreenRect& output, const ScreenRect& workArea);
  // Removes the strips and closes the connection.
  void uncover();
  // Whether strips are on screen, for tests.
  bool covering() const;

 private:
  struct Connection;
  std::function<void()> clicked_;
  std::unique_ptr<Connection> connection_;
};

}  // namespace vesk
