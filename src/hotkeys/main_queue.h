// The main-loop task queue: runs each task once, on the GLib main loop, after the current
// event has been handled.
#pragma once

#include "hotkeys/hotkey_manager.h"

namespace vesk {

// Tasks run in the order they were queued, from the default GLib main context.
MainQueue glibMainQueue();

}  // namespace vesk
