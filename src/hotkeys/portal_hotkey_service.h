// Global hot keys through the desktop portal's GlobalShortcuts interface (Wayland sessions:
// KDE Plasma, GNOME 48+, Hyprland). The desktop owns the keys: Vesk proposes its three actions
// with their combinations as preferred triggers, the desktop binds them (often after asking the
// user) and reports each activation on the bus.
#pragma once

#include <gio/gio.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "hotkeys/hotkey_service.h"
#include "model/glib_handles.h"

namespace vesk {

// The combination in the XDG shortcuts format the portal takes as a preferred trigger, for
// example "CTRL+ALT+space"; absent for a key code the key table does not know.
std::optional<std::string> portalTrigger(std::uint32_t keyCode, std::uint32_t modifiers);

// The shortcut id the portal knows an action by ("toggle", "next", "previous": the command-line
// options that do the same), and back; absent for an id or name that is not an action's.
std::optional<std::string> portalShortcutId(std::uint32_t id);
std::optional<std::uint32_t> idForPortalShortcut(std::string_view shortcutId);
// What the desktop shows for an action's shortcut ("Show or hide the panel", …).
std::string_view hotkeyDescription(std::uint32_t id);

// The session's token: the same at every start, because desktops name what they remember of a
// session's shortcuts after it (Plasma's component name is the application id, empty for a
// program that is not sandboxed, followed by this token), so keys the user assigned there are
// found again after a restart.
inline constexpr std::string_view portalSessionToken = "vesk";

// The shortcut ids a BindShortcuts answer lists, absent when it lists none in the documented form.
std::optional<std::set<std::string>> portalBoundIds(GVariant* results);
// Whether the desktop bound what it was asked: a success that lists every id asked for. Some
// desktops answer with success and fewer shortcuts or none at all (KDE Plasma 5.27 binds nothing
// through the portal and only opens its Shortcuts settings): those keys would never fire.
bool portalBindingHolds(std::uint32_t response, const std::set<std::string>& asked,
                        const std::optional<std::set<std::string>>& bound);

class PortalHotkeyService : public HotkeyService {
 public:
  // Connects to the session bus and asks whether the portal offers GlobalShortcuts, both without
  // waiting: until the portal answers, no global keys are offered.
  PortalHotkeyService();
  // Talks to the portal over `connection` (tests hand in their private bus).
  explicit PortalHotkeyService(GDBusConnection* connection);
  ~PortalHotkeyService() override;  // closes the session, so the desktop releases the keys
  PortalHotkeyService(const PortalHotkeyService&) = delete;
  PortalHotkeyService& operator=(const PortalHotkeyService&) = delete;

  // Accepted when the portal is there and no other id holds the combination; the desktop is
  // asked on the next main-loop turn, with every registration at once. A refusal by the desktop
  // (it answers a request with anything but success) arrives later: the service then offers no
  // global keys any more and says so through onOfferChanged.
  bool registerHotkey(std::uint32_t id, std::uint32_t keyCode, std::uint32_t modifiers) override;
  void unregisterHotkey(std::uint32_t id) override;
  bool offersGlobalKeys() const override { return state_ == State::ready; }
  // The portal (or its GlobalShortcuts) is missing, or it refused.
  bool isUnavailable() const { return state_ == State::unavailable; }

 private:
  enum class State { probing, ready, unavailable };
  struct Combination {
    std::uint32_t keyCode;
    std::uint32_t modifiers;
    bool operator==(const Combination&) const = default;
  };
  using Combinations = std::map<std::uint32_t, Combination>;

  void connected(GDBusConnection* connection);
  void probe();
  void becomeUnavailable();
  void scheduleBind();
  void bind();
  // Calls a portal method that answers through a Request object: `answered` gets the response
  // code and results, or code 2 when the call itself failed.
  void request(const char* method, GVariant* parameters, const std::string& token,
               std::function<void(std::uint32_t code, GVariant* results)> answered);
  // Listens for the Response of the request object at `path`, which goes to `answered` once.
  void awaitResponse(const std::string& path, std::function<void(std::uint32_t code, GVariant* results)> answered);
  void responded(const std::string& path, std::uint32_t code, GVariant* results);
  void sessionCreated(std::uint32_t code, GVariant* results);
  void sendBinding();
  std::string nextRequestToken();
  void closeSession();
  void activated(GVariant* parameters);

  // A request to the portal, until its Response arrives.
  struct PendingRequest {
    std::function<void(std::uint32_t code, GVariant* results)> answered;
    BusSubscription response;
  };

  GObjectPtr<GDBusConnection> connection_;
  State state_ = State::probing;
  Combinations wanted_;  // what Vesk holds now
  Combinations bound_;   // what the desktop was last asked to bind in the current session
  std::string session_;  // the session's object path; empty while there is none
  bool busy_ = false;    // a session is being created or bound
  std::uint32_t tokens_ = 0;
  // What reaches `this` from the main loop and the bus, ended before the state above goes: the
  // binding asked for on the next turn, shortcut presses, the requests' answers by their object
  // paths, and the calls under way.
  SourceGuard bindSource_;
  BusSubscription activatedSubscription_;
  std::map<std::string, PendingRequest> requests_;
  CallGuard calls_;
};

}  // namespace vesk
