// Registers the application's global key combinations and delivers their presses, one
// main-loop hop later, to one action with the id they were registered under.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "hotkeys/hotkey_service.h"
#include "model/lifetime.h"
#include "model/shortcut.h"
#include "model/strings.h"

namespace vesk {

// Runs a task on the main loop after the current event has been handled.
using MainQueue = std::function<void(std::function<void()>)>;

class HotkeyManager {
 public:
  HotkeyManager(HotkeyService& service, MainQueue mainQueue);
  // Releases every grab (except where the desktop keeps them after Vesk ends) and stops listening.
  ~HotkeyManager();
  HotkeyManager(const HotkeyManager&) = delete;
  HotkeyManager& operator=(const HotkeyManager&) = delete;

  // Absent on success, otherwise the refusal message, which names who refused. Any earlier
  // registration under `id` is removed first. Where the session offers no global keys at all,
  // nothing is refused: the combination is kept and grabbed once the session offers them.
  std::optional<std::string> registerShortcut(const Shortcut& shortcut, std::uint32_t id);
  void unregister(std::uint32_t id);

  // Releases every grab while keeping the registrations, so that presses of the application's
  // own combinations reach its focused window (while one is being recorded). Registering and
  // unregistering go on as usual meanwhile: a new combination is tried with the desktop, then
  // held back until resume().
  void pause();
  // Grabs every registration again. Returns the ids whose combination the desktop refused this
  // time (another application took it meanwhile); those are left without a hot key.
  std::vector<std::uint32_t> resume();
  bool isPaused() const { return paused_; }

  // False while the session offers no global key combinations (see HotkeyService).
  bool offersGlobalKeys() const { return service_.offersGlobalKeys(); }
  // The desktop's keyboard settings holding Vesk's combinations (see HotkeyService).
  std::optional<bool> desktopBindings() const { return service_.desktopBindings(); }
  std::optional<std::string> setDesktopBindings(bool on) { return service_.setDesktopBindings(on); }
  // Called on the main loop when the session's offer changes. When it begins, every kept
  // registration is grabbed (unless paused); `refused` are those the desktop refused, which are
  // left without a hot key.
  std::function<void(const std::vector<std::uint32_t>& refused)> offerChanged;

  // Called on the main loop with the id of each press; presses arriving while unset are dropped.
  // The press may hold the keyboard: the action calls releaseKeyboard() once the window that
  // takes what is typed next has the focus, or at once when there is none.
  std::function<void(std::uint32_t id)> action;
  void releaseKeyboard() { service_.releaseKeyboard(); }

 private:
  void serviceOfferChanged();

  HotkeyService& service_;
  MainQueue mainQueue_;
  struct Registration {
    std::uint32_t keyCode;
    std::uint32_t modifiers;
  };
  std::map<std::uint32_t, Registration> hotKeys_;
  bool paused_ = false;
  Lifetime<HotkeyManager> lifetime_{this};
};

}  // namespace vesk
