#include <glib.h>
#include <gtest/gtest.h>

#include <vector>

#include "hotkeys/hotkey_manager.h"
#include "hotkeys/main_queue.h"
#include "hotkeys/x11_hotkey_service.h"

namespace vesk {
namespace {

TEST(GlibMainQueue, RunsTasksLaterInTheOrderQueued) {
  auto queue = glibMainQueue();
  std::vector<int> ran;
  queue([&] { ran.push_back(1); });
  queue([&] {
    ran.push_back(2);
    queue([&] { ran.push_back(4); });  // queued from a task: runs after those already waiting
  });
  queue([&] { ran.push_back(3); });
  queue(nullptr);
  EXPECT_TRUE(ran.empty());
  while (ran.size() < 4) g_main_context_iteration(nullptr, TRUE);
  EXPECT_EQ(ran, (std::vector<int>{1, 2, 3, 4}));
}

TEST(X11HotkeyService, WithoutAnX11DisplayEveryCombinationIsRefusedAsTheSessions) {
  X11HotkeyService service(nullptr);
  EXPECT_FALSE(service.registerHotkey(1, 49, 0x1800));
  EXPECT_FALSE(service.offersGlobalKeys());
  service.unregisterHotkey(1);
  HotkeyManager manager(service, glibMainQueue());
  // Not another application's refusal: the combination is kept, and the Keys tab says why.
  EXPECT_EQ(manager.registerShortcut(Shortcut::standard(), 1), std::nullopt);
}

}  // namespace
}  // namespace vesk
