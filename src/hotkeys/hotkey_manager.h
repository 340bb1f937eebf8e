// Registers the application's global key combinations and delivers their presses, one
// main-loop hop later, to one action with the id they were registered under.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "hotkeys/hotkey_service.h"
#include "model/shortcut.h"

namespace vesk {

// Runs a task on the main loop after the current event has been handled.
using MainQueue = std::function<void(std::function<void()>)>;

inline constexpr std::string_view hotkeyRefusedMessage =
    "That shortcut is used by macOS or another app. Try a different one.";

class HotkeyManager {
 public:
  HotkeyManager(HotkeyService& service, MainQueue mainQueue);
  ~HotkeyManager();  // releases every grab and stops listening
  HotkeyManager(const HotkeyManager&) = delete;
  HotkeyManager& operator=(const HotkeyManager&) = delete;

  // Absent on success, otherwise the refusal message. Any earlier registration under `id` is removed first.
  std::optional<std::string> registerShortcut(const Shortcut& shortcut, std::uint32_t id);
  void unregister(std::uint32_t id);

  // Called on the main loop with the id of each press; presses arriving while unset are dropped.
  std::function<void(std::uint32_t id)> action;

 private:
  HotkeyService& service_;
  MainQueue mainQueue_;
  std::map<std::uint32_t, bool> hotKeys_;
  std::shared_ptr<HotkeyManager*> alive_;
};

}  // namespace vesk
