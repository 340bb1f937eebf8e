// The desktop's global hot-key service: grabs key combinations system-wide and reports presses.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace vesk {

// The longest a press holds the keyboard (see HotkeyService::releaseKeyboard), should the window
// shown for it never take the focus.
inline constexpr std::chrono::milliseconds keyboardHoldLimit{1000};

class HotkeyService {
 public:
  virtual ~HotkeyService() = default;

  // Grabs the combination (key code and modifier mask in the stored numbering) under `id`.
  // Returns false when the desktop refuses it (another client holds it, or grabs are impossible).
  virtual bool registerHotkey(std::uint32_t id, std::uint32_t keyCode, std::uint32_t modifiers) = 0;
  virtual void unregisterHotkey(std::uint32_t id) = 0;
  // False when this session offers no global key combinations at all, so that every refusal is
  // the session's and not another application's.
  virtual bool offersGlobalKeys() const { return true; }
  // True while the desktop itself holds the combinations and runs Vesk's commands on a press:
  // they work also while Vesk is not running, so they are not released when it ends.
  virtual bool keepsKeysAfterExit() const { return false; }

  // Where the session offers no global keys of its own but its keyboard settings can be given
  // Vesk's combinations on the user's word (GNOME's custom shortcuts): whether they are. Absent
  // elsewhere.
  virtual std::optional<bool> desktopBindings() const { return std::nullopt; }
  // Gives the desktop Vesk's combinations, or takes them back; the offer changes through
  // onOfferChanged. Returns why it cannot be done.
  virtual std::optional<std::string> setDesktopBindings(bool /*on*/) { return std::nullopt; }

  // Ends the hold on the keyboard that a reported press begins where the desktop allows it: what
  // is typed after the press waits in the desktop's queue, in order, until this is called (or
  // `keyboardHoldLimit` has passed), and then goes to the window that has the focus by then. So a
  // window shown for the press gets the keys typed while it appears. Nothing where none is held.
  virtual void releaseKeyboard() {}

  // Called from the desktop's event dispatch with the id of every pressed combination.
  // Auto-repeat and key releases are not reported.
  std::function<void(std::uint32_t id)> onPressed;
  // Called from the main loop when offersGlobalKeys() may have changed: a desktop service that
  // answers later (the portal) is found, refuses, or goes away.
  std::function<void()> onOfferChanged;
};

}  // namespace vesk
