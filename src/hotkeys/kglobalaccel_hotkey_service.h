// Global hot keys through KDE Plasma's own shortcut service, kglobalaccel (on Wayland it lives
// in the compositor, which sees every key). Vesk registers its three actions under its
// application id as a component of the desktop's shortcuts, so they appear, and can be changed,
// in System Settings → Shortcuts, and survive restarts under the same names.
#pragma once

#include <gio/gio.h>

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "hotkeys/hotkey_service.h"
#include "model/glib_handles.h"
#include "model/lifetime.h"

namespace vesk {

// The combination as the single Qt key code kglobalaccel stores (key | modifier bits), or absent
// for a key code the key table does not know or Qt has no key for.
std::optional<int> qtKeyCode(std::uint32_t keyCode, std::uint32_t modifiers);

// kglobalaccel's flags for setting an action's keys.
namespace KGlobalAccelFlag {
inline constexpr std::uint32_t setPresent = 2;     // Vesk runs and takes the presses
inline constexpr std::uint32_t noAutoloading = 4;  // replace the keys kglobalaccel stored
inline constexpr std::uint32_t isDefault = 8;      // set the action's default keys
}  // namespace KGlobalAccelFlag

// How Vesk's combination is set. Each registration also makes it the action's default, so the
// default is the combination Vesk registered last. Equal to it: the keys kglobalaccel stored are
// kept, which may be what the user chose in System Settings since. Different (the first start,
// or a change in the Keys tab): Vesk's combination replaces them.
std::uint32_t kglobalaccelSetFlags(int wanted, const std::vector<int>& previousDefault);
// Whether Vesk holds the action after kglobalaccel answered with the keys it now has: a
// replacing combination must come back (kglobalaccel drops a key another component holds);
// kept keys count whatever they are.
bool kglobalaccelHolds(std::uint32_t flags, int wanted, const std::vector<int>& keys);

class KGlobalAccelHotkeyService : public HotkeyService {
 public:
  // Connects to the session bus and looks for kglobalaccel, both without waiting: until it
  // answers, no global keys are offered.
  KGlobalAccelHotkeyService();
  // Talks to kglobalaccel over `connection` (tests hand in their private bus).
  explicit KGlobalAccelHotkeyService(GDBusConnection* connection);
  ~KGlobalAccelHotkeyService() override;  // marks Vesk's actions inactive: their keys go to other programs
  KGlobalAccelHotkeyService(const KGlobalAccelHotkeyService&) = delete;
  KGlobalAccelHotkeyService& operator=(const KGlobalAccelHotkeyService&) = delete;

  // Accepted when kglobalaccel is there and no other id holds the combination; kglobalaccel is
  // asked at once. When it gives the key to another component, the id is dropped and
  // onOfferChanged says so: registering that combination again then returns false once.
  bool registerHotkey(std::uint32_t id, std::uint32_t keyCode, std::uint32_t modifiers) override;
  void unregisterHotkey(std::uint32_t id) override;
  bool offersGlobalKeys() const override { return state_ == State::ready; }

 private:
  enum class State { probing, ready, unavailable };

  void connected(GDBusConnection* connection);
  void set(std::uint32_t id, int key);
  void refused(std::uint32_t id, int key);
  void pressed(GVariant* parameters);
  GVariant* actionId(std::uint32_t id) const;  // floating

  GObjectPtr<GDBusConnection> connection_;
  GObjectPtr<GCancellable> cancellable_;
  State state_ = State::probing;
  std::map<std::uint32_t, int> wanted_;              // what Vesk holds now, as Qt keys
  std::set<std::pair<std::uint32_t, int>> refused_;  // refusals not yet reported through registerHotkey
  std::map<std::uint32_t, unsigned> generation_;     // answers to older registrations are ignored
  guint pressedSubscription_ = 0;
  Lifetime<KGlobalAccelHotkeyService> lifetime_{this};
};

}  // namespace vesk
