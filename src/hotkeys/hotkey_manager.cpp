#include "hotkeys/hotkey_manager.h"

#include <utility>

namespace vesk {

HotkeyManager::HotkeyManager(HotkeyService& service, MainQueue mainQueue)
    : service_(service), mainQueue_(std::move(mainQueue)) {
  service_.onPressed = [weak = lifetime_.handle()](std::uint32_t id) {
    HotkeyManager* self = weak.get();
    if (!self) return;
    // Never call the action from inside the desktop's event dispatch: one hop on the main loop.
    self->mainQueue_([weak, id] {
      HotkeyManager* manager = weak.get();
      if (!manager) return;
      if (!manager->action) {
        manager->releaseKeyboard();
        return;
      }
      auto action = manager->action;  // the action may replace itself while it runs
      action(id);
    });
  };
  service_.onOfferChanged = [weak = lifetime_.handle()] {
    if (HotkeyManager* self = weak.get()) self->serviceOfferChanged();
  };
}

HotkeyManager::~HotkeyManager() {
  if (service_.keepsKeysAfterExit()) {
    // The desktop runs Vesk's commands, which start it again: what a recording released comes back.
    resume();
  } else if (!paused_) {
    for (const auto& [id, registration] : hotKeys_) service_.unregisterHotkey(id);
  }
  hotKeys_.clear();
  service_.onPressed = nullptr;
  service_.onOfferChanged = nullptr;
}

std::optional<std::string> HotkeyManager::registerShortcut(const Shortcut& shortcut, std::uint32_t id) {
  unregister(id);
  if (paused_) {
    // The desktop holds none of the other combinations now, so it cannot tell that one press
    // would name two ids: that is refused here, as the desktop would.
    for (const auto& [other, registration] : hotKeys_) {
      if (registration.keyCode == shortcut.keyCode && registration.modifiers == shortcut.modifiers) {
        return std::string(strings::shortcutTaken());
      }
    }
  }
  if (!service_.registerHotkey(id, shortcut.keyCode, shortcut.modifiers)) {
    if (service_.offersGlobalKeys()) return std::string(strings::shortcutTaken());
    // Nothing can be grabbed in this session: kept for the day it can.
    hotKeys_[id] = Registration{shortcut.keyCode, shortcut.modifiers};
    return std::nullopt;
  }
  // While paused the desktop has only been asked whether it accepts the combination.
  if (paused_) service_.unregisterHotkey(id);
  hotKeys_[id] = Registration{shortcut.keyCode, shortcut.modifiers};
  return std::nullopt;
}

void HotkeyManager::serviceOfferChanged() {
  std::vector<std::uint32_t> refused;
  if (!paused_ && service_.offersGlobalKeys()) {
    paused_ = true;  // nothing is held now: resume() grabs every registration
    refused = resume();
  }
  if (auto changed = offerChanged) changed(refused);
}

void HotkeyManager::unregister(std::uint32_t id) {
  auto it = hotKeys_.find(id);
  if (it == hotKeys_.end()) return;
  hotKeys_.erase(it);
  if (!paused_) service_.unregisterHotkey(id);
}

void HotkeyManager::pause() {
  if (paused_) return;
  paused_ = true;
  for (const auto& [id, registration] : hotKeys_) service_.unregisterHotkey(id);
}

std::vector<std::uint32_t> HotkeyManager::resume() {
  std::vector<std::uint32_t> refused;
  if (!paused_) return refused;
  paused_ = false;
  for (auto it = hotKeys_.begin(); it != hotKeys_.end();) {
    if (service_.registerHotkey(it->first, it->second.keyCode, it->second.modifiers) || !service_.offersGlobalKeys()) {
      ++it;
    } else {
      refused.push_back(it->first);
      it = hotKeys_.erase(it);
    }
  }
  return refused;
}

}  // namespace vesk
