// The desktop services the panel's state works with, as interfaces so tests can supply fakes.
#pragma once

#include <chrono>
#include <functional>

#include "browser/clipboard.h"
#include "browser/web_page.h"
#include "browser/workspace.h"
#include "hotkeys/key_monitor.h"

namespace vesk {

// Runs `task` once on the main loop after `delay`.
using RunAfter = std::function<void(std::chrono::milliseconds delay, std::function<void()> task)>;

struct PanelServices {
  WebPageFactory& pages;   // web pages for the browser store
  Clipboard& clipboard;    // read by the paste button, written by "copy link"
  Workspace& workspace;    // opens saved addresses in the default browser
  KeyMonitor& keyMonitor;  // presses sent to the panel (Escape, shortcut recording)
  RunAfter runAfter;       // deferred focus of the search field
  // Whether the login item is enabled right now; read once when the panel is made. May be empty.
  std::function<bool()> loginItemEnabled;
};

}  // namespace vesk
