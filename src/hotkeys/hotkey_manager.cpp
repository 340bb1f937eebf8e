#include "hotkeys/hotkey_manager.h"

#include <utility>

namespace vesk {

HotkeyManager::HotkeyManager(HotkeyService& service, MainQueue mainQueue)
    : service_(service), mainQueue_(std::move(mainQueue)), alive_(std::make_shared<HotkeyManager*>(this)) {
  std::weak_ptr<HotkeyManager*> weak = alive_;
  service_.onPressed = [weak](std::uint32_t id) {
    auto alive = weak.lock();
    if (!alive) return;
    // Never call the action from inside the desktop's event dispatch: one hop on the main loop.
    (*alive)->mainQueue_([weak, id] {
      auto manager = weak.lock();
      if (manager && (*manager)->action) {
        auto action = (*manager)->action;  // the action may replace itself while it runs
        action(id);
      }
    });
  };
}

HotkeyManager::~HotkeyManager() {
  for (const auto& [id, registered] : hotKeys_) service_.unregisterHotkey(id);
  hotKeys_.clear();
  service_.onPressed = nullptr;
  alive_.reset();
}

std::optional<std::string> HotkeyManager::registerShortcut(const Shortcut& shortcut, std::uint32_t id) {
  unregister(id);
  if (!service_.registerHotkey(id, shortcut.keyCode, shortcut.modifiers)) {
    return std::string(hotkeyRefusedMessage);
  }
  hotKeys_[id] = true;
  return std::nullopt;
}

void HotkeyManager::unregister(std::uint32_t id) {
  auto it = hotKeys_.find(id);
  if (it == hotKeys_.end()) return;
  hotKeys_.erase(it);
  service_.unregisterHotkey(id);
}

}  // namespace vesk
