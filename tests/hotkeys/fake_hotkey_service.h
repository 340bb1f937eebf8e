// Test doubles for the hot-key layer: a hot-key service that records grabs and can refuse
// chosen combinations, and a main queue that runs its tasks only when told.
#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "hotkeys/hotkey_manager.h"
#include "hotkeys/hotkey_service.h"

namespace vesk::testing {

// A journal of calls shared by several fakes, so tests can check the order across services.
using Journal = std::vector<std::string>;

class FakeHotkeyService final : public HotkeyService {
 public:
  struct Combination {
    std::uint32_t keyCode;
    std::uint32_t modifiers;
    auto operator<=>(const Combination&) const = default;
  };

  FakeHotkeyService() = default;
  // Also writes each call to `journal`.
  explicit FakeHotkeyService(Journal& journal) : journal_(&journal) {}

  bool registerHotkey(std::uint32_t id, std::uint32_t keyCode, std::uint32_t modifiers) override {
    record("register " + std::to_string(id));
    if (beforeRegister) beforeRegister(id);
    if (!offers || refused.contains({keyCode, modifiers}) || refusedKeys.contains(keyCode)) return false;
    grabs[id] = {keyCode, modifiers};
    return true;
  }
  void unregisterHotkey(std::uint32_t id) override {
    record("unregister " + std::to_string(id));
    grabs.erase(id);
  }

  bool offersGlobalKeys() const override { return offers; }
  // The session begins or stops offering global keys (a desktop portal answering late).
  void changeOffer(bool now) {
    offers = now;
    if (onOfferChanged) onOfferChanged();
  }

  // What the desktop does when a grabbed combination is pressed.
  void press(std::uint32_t id) {
    if (onPressed) onPressed(id);
  }

  std::map<std::uint32_t, Combination> grabs;
  std::set<Combination> refused;
  std::set<std::uint32_t> refusedKeys;  // key codes refused with any modifiers
  bool offers = true;                   // while false, every registration is refused
  std::vector<std::string> calls;
  std::function<void(std::uint32_t)> beforeRegister;

 private:
  void record(std::string call) {
    if (journal_) journal_->push_back(call);
    calls.push_back(std::move(call));
  }

  Journal* journal_ = nullptr;
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
