#include "hotkeys/main_queue.h"

#include <glib.h>

#include <utility>

namespace vesk {

MainQueue glibMainQueue() {
  return [](std::function<void()> task) {
    if (!task) return;
    auto* boxed = new std::function<void()>(std::move(task));
    // Default priority, so a queued task is not held back behind redraws and layout.
    g_idle_add_full(
        G_PRIORITY_DEFAULT,
        [](gpointer data) -> gboolean {
          (*static_cast<std::function<void()>*>(data))();
          return G_SOURCE_REMOVE;
        },
        boxed, [](gpointer data) { delete static_cast<std::function<void()>*>(data); });
  };
}

}  // namespace vesk
