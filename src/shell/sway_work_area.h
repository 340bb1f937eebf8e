// The usable area of sway's focused output, as sway reports it over its IPC socket: the
// rectangle of the focused workspace, which sway keeps clear of the bars. An X11 client of sway
// (through Xwayland) learns nothing of the bars otherwise: Xwayland's screen has no work area, so
// a menu placed at the top of the screen would open behind the bar.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "shell/geometry.h"

typedef struct _GCancellable GCancellable;

namespace vesk {

// The `rect` of the workspace marked `focused` in sway's answer to GET_WORKSPACES (a JSON array);
// absent when the answer cannot be read or names no focused workspace with a usable rectangle.
std::optional<ScreenRect> focusedWorkspaceRect(std::string_view getWorkspacesReply);

// Asks the sway at `socketPath` (the session's SWAYSOCK) for the focused workspace's rectangle
// without blocking. `done` runs on the main loop with the area, or absent when sway does not
// answer or answers nothing usable; it never runs once `cancellable` is cancelled.
void askSwayWorkArea(const std::string& socketPath, GCancellable* cancellable,
                     std::function<void(std::optional<ScreenRect>)> done);

}  // namespace vesk
