// Test doubles for the hot-key layer: a hot-key service that records grabs and can refuse
// chosen combinations, and a main queue that runs its tasks only when told.
#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "hotkeys/hotkey_manager.h"
#include "hotkeys/hotkey_service.h"

namespace vesk::testing {

class FakeHotkeyService final : public HotkeyService {
 public:
  struct Combination {
    std::uint32_t keyCode;
    std::uint32_t modifiers;
    auto operator<=>(const Combination&) const = default;
  };

  bool registerHotkey(std::uint32_t id, std::uint32_t keyCode, std::uint32_t modifiers) override {
    calls.push_back("register " + std::to_string(id));
    if (refused.contains({keyCode, modifiers})) return false;
    grabs[id] = {keyCode, modifiers};
    return true;
  }
  void unregisterHotkey(std::uint32_t id) override {
    calls.push_back("unregister " + std::to_string(id));
    grabs.erase(id);
  }

  // What the desktop does when a grabbed combination is pressed.
  void press(std::uint32_t id) {
    if (onPressed) onPressed(id);
  }

  std::map<std::uint32_t, Combination> grabs;
  std::set<Combination> refused;
  std::vector<std::string> calls;
};

class FakeMainQueue {
 public:
  MainQueue queue() {
    return [this](std::function<void()> task) { tasks_.push_back(std::move(task)); };
  }
  std::size_t pending() const { return tasks_.size(); }
  void runAll() {
    while (!tasks_.empty()) {
      auto task = std::move(tasks_.front());
      tasks_.pop_front();
      task();
    }
  }

 private:
  std::deque<std::function<void()>> tasks_;
};

}  // namespace vesk::testing
