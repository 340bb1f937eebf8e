#include "hotkeys/portal_hotkey_service.h"

#include <gdk/gdk.h>

#include <algorithm>
#include <array>
#include <utility>

#include "hotkeys/key_table.h"
#include "model/strings.h"

namespace vesk {

namespace {

constexpr const char* portalName = "org.freedesktop.portal.Desktop";
constexpr const char* portalPath = "/org/freedesktop/portal/desktop";
constexpr const char* shortcutsInterface = "org.freedesktop.portal.GlobalShortcuts";

struct PortalAction {
  std::uint32_t id;
  std::string_view name;
};
constexpr std::array<PortalAction, 3> portalActions{{{rawValue(ShortcutAction::show), "toggle"},
                                                     {rawValue(ShortcutAction::nextSite), "next"},
                                                     {rawValue(ShortcutAction::previousSite), "previous"}}};

// The bus name a portal puts into request and session paths: the unique name without its
// colon, dots as underscores.
std::string senderElement(GDBusConnection* connection) {
  std::string name = g_dbus_connection_get_unique_name(connection) ? g_dbus_connection_get_unique_name(connection) : "";
  if (!name.empty() && name.front() == ':') name.erase(0, 1);
  for (char& c : name) {
    if (c == '.') c = '_';
  }
  return name;
}

}  // namespace

std::string_view hotkeyDescription(std::uint32_t id) {
  switch (shortcutActionFromRaw(id).value_or(ShortcutAction::show)) {
    case ShortcutAction::nextSite:
      return strings::optionNext();
    case ShortcutAction::previousSite:
      return strings::optionPrevious();
    case ShortcutAction::show:
      break;
  }
  return strings::optionToggle();
}

std::optional<std::set<std::string>> portalBoundIds(GVariant* results) {
  if (results == nullptr) return std::nullopt;
  GVariantPtr list(g_variant_lookup_value(results, "shortcuts", G_VARIANT_TYPE("a(sa{sv})")));
  if (!list) return std::nullopt;
  std::set<std::string> ids;
  for (gsize i = 0; i < g_variant_n_children(list.get()); ++i) {
    const gchar* id = nullptr;
    g_variant_get_child(list.get(), i, "(&sa{sv})", &id, nullptr);
    ids.insert(id);
  }
  return ids;
}

bool portalBindingHolds(std::uint32_t response, const std::set<std::string>& asked,
                        const std::optional<std::set<std::string>>& bound) {
  if (response != 0 || !bound) return false;
  return std::includes(bound->begin(), bound->end(), asked.begin(), asked.end());
}

std::optional<std::string> portalTrigger(std::uint32_t keyCode, std::uint32_t modifiers) {
  auto keysym = keysymForKeyCode(keyCode);
  const char* name = keysym ? gdk_keyval_name(static_cast<guint>(*keysym)) : nullptr;
  if (name == nullptr) return std::nullopt;
  std::string trigger;
  if (modifiers & ModifierMask::control) trigger += "CTRL+";
  if (modifiers & ModifierMask::option) trigger += "ALT+";
  if (modifiers & ModifierMask::shift) trigger += "SHIFT+";
  if (modifiers & ModifierMask::command) trigger += "LOGO+";
  return trigger + name;
}

std::optional<std::string> portalShortcutId(std::uint32_t id) {
  for (const auto& action : portalActions) {
    if (action.id == id) return std::string(action.name);
  }
  return std::nullopt;
}

std::optional<std::uint32_t> idForPortalShortcut(std::string_view shortcutId) {
  for (const auto& action : portalActions) {
    if (action.name == shortcutId) return action.id;
  }
  return std::nullopt;
}

PortalHotkeyService::PortalHotkeyService() {
  calls_.connectSessionBus([this](GDBusConnection* connection) {
    if (connection) {
      connected(connection);
    } else {
      becomeUnavailable();
    }
  });
}

PortalHotkeyService::PortalHotkeyService(GDBusConnection* connection) { connected(connection); }

PortalHotkeyService::~PortalHotkeyService() {
  if (connection_) closeSession();
  onPressed = nullptr;
  onOfferChanged = nullptr;
}

void PortalHotkeyService::connected(GDBusConnection* connection) {
  connection_.reset(G_DBUS_CONNECTION(g_object_ref(connection)));
  probe();
}

void PortalHotkeyService::probe() {
  // Asking for the interface's version tells whether the portal (and a backend implementing
  // GlobalShortcuts) is there; the portal may be started by the bus for this call.
  calls_.callMethod(connection_.get(), portalName, portalPath, "org.freedesktop.DBus.Properties", "Get",
                    g_variant_new("(ss)", shortcutsInterface, "version"), G_VARIANT_TYPE("(v)"),
                    [this](GVariant* reply, const GError*) {
                      guint32 version = 0;
                      if (reply) {
                        GVariant* boxed = nullptr;
                        g_variant_get(reply, "(v)", &boxed);
                        GVariantPtr value(boxed);
                        if (g_variant_is_of_type(value.get(), G_VARIANT_TYPE_UINT32))
                          version = g_variant_get_uint32(value.get());
                      }
                      if (version == 0) {
                        becomeUnavailable();
                        return;
                      }
                      activatedSubscription_ = BusSubscription(
                          connection_.get(), g_dbus_connection_signal_subscribe(
                                                 connection_.get(), portalName, shortcutsInterface, "Activated",
                                                 portalPath, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
                                                 [](GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                                    const gchar*, GVariant* parameters, gpointer data) {
                                                   static_cast<PortalHotkeyService*>(data)->activated(parameters);
                                                 },
                                                 this, nullptr));
                      state_ = State::ready;
                      if (auto changed = onOfferChanged) changed();
                    });
}

void PortalHotkeyService::becomeUnavailable() {
  closeSession();
  state_ = State::unavailable;
  wanted_.clear();
  if (auto changed = onOfferChanged) changed();
}

bool PortalHotkeyService::registerHotkey(std::uint32_t id, std::uint32_t keyCode, std::uint32_t modifiers) {
  unregisterHotkey(id);
  if (state_ != State::ready || !portalShortcutId(id) || !portalTrigger(keyCode, modifiers)) return false;
  // One press must name one id: a combination held under another id is not proposed twice.
  for (const auto& [other, combination] : wanted_) {
    if (combination == Combination{keyCode, modifiers}) return false;
  }
  wanted_[id] = Combination{keyCode, modifiers};
  scheduleBind();
  return true;
}

void PortalHotkeyService::unregisterHotkey(std::uint32_t id) {
  // The desktop keeps what it was last asked to bind until a new binding replaces it; presses of
  // an id Vesk no longer holds are dropped. Only a new or changed combination is worth a new
  // binding (and the dialog a desktop may show for it): releasing every key while a combination
  // is recorded and taking them back after costs nothing.
  wanted_.erase(id);
}

void PortalHotkeyService::scheduleBind() {
  if (bindSource_.pending()) return;
  bindSource_.idle([this] { bind(); }, G_PRIORITY_DEFAULT);
}

void PortalHotkeyService::bind() {
  if (state_ != State::ready || busy_) return;  // a binding under way looks again when it ends
  bool covered = true;
  for (const auto& [id, combination] : wanted_) {
    auto it = bound_.find(id);
    covered = covered && it != bound_.end() && it->second == combination;
  }
  if (covered) return;
  // A session's shortcuts are bound once: a new set goes to a new session.
  closeSession();
  busy_ = true;
  const std::string token = nextRequestToken();
  GVariantBuilder options;
  g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
  g_variant_builder_add(&options, "{sv}", "handle_token", g_variant_new_string(token.c_str()));
  g_variant_builder_add(&options, "{sv}", "session_handle_token",
                        g_variant_new_string(std::string(portalSessionToken).c_str()));
  request("CreateSession", g_variant_new("(a{sv})", &options), token,
          [this](std::uint32_t code, GVariant* results) { sessionCreated(code, results); });
}

void PortalHotkeyService::sessionCreated(std::uint32_t code, GVariant* results) {
  // The handle is documented as a string; some portals send an object path.
  GVariantPtr value(code == 0 && results != nullptr ? g_variant_lookup_value(results, "session_handle", nullptr)
                                                    : nullptr);
  const gchar* handle = nullptr;
  if (value && (g_variant_is_of_type(value.get(), G_VARIANT_TYPE_STRING) ||
                g_variant_is_of_type(value.get(), G_VARIANT_TYPE_OBJECT_PATH))) {
    handle = g_variant_get_string(value.get(), nullptr);
  }
  if (handle == nullptr || !g_variant_is_object_path(handle)) {
    busy_ = false;
    becomeUnavailable();
    return;
  }
  session_ = handle;
  sendBinding();
}

void PortalHotkeyService::sendBinding() {
  Combinations sent = wanted_;
  GVariantBuilder shortcuts;
  g_variant_builder_init(&shortcuts, G_VARIANT_TYPE("a(sa{sv})"));
  for (const auto& [id, combination] : sent) {
    GVariantBuilder properties;
    g_variant_builder_init(&properties, G_VARIANT_TYPE_VARDICT);
    g_variant_builder_add(&properties, "{sv}", "description",
                          g_variant_new_string(std::string(hotkeyDescription(id)).c_str()));
    if (auto trigger = portalTrigger(combination.keyCode, combination.modifiers)) {
      g_variant_builder_add(&properties, "{sv}", "preferred_trigger", g_variant_new_string(trigger->c_str()));
    }
    g_variant_builder_add(&shortcuts, "(sa{sv})", portalShortcutId(id)->c_str(), &properties);
  }
  const std::string token = nextRequestToken();
  GVariantBuilder options;
  g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
  g_variant_builder_add(&options, "{sv}", "handle_token", g_variant_new_string(token.c_str()));
  std::set<std::string> asked;
  for (const auto& [id, combination] : sent) asked.insert(*portalShortcutId(id));
  request("BindShortcuts", g_variant_new("(oa(sa{sv})sa{sv})", session_.c_str(), &shortcuts, "", &options), token,
          [this, sent, asked](std::uint32_t code, GVariant* results) {
            busy_ = false;
            if (!portalBindingHolds(code, asked, portalBoundIds(results))) {
              // The user declined, or the desktop bound less than asked: no global keys this
              // run, and the Keys tab says how to bind the commands instead.
              becomeUnavailable();
              return;
            }
            bound_ = sent;
            bind();  // combinations changed while the desktop was asked
          });
}

void PortalHotkeyService::request(const char* method, GVariant* parameters, const std::string& token,
                                  std::function<void(std::uint32_t code, GVariant* results)> answered) {
  // The answer comes as a Response signal on the request's object, whose path is known before
  // the call: listening first means a quick answer cannot be missed.
  const std::string expected = std::string(portalPath) + "/request/" + senderElement(connection_.get()) + "/" + token;
  awaitResponse(expected, std::move(answered));

  calls_.callMethod(connection_.get(), portalName, portalPath, shortcutsInterface, method, parameters,
                    G_VARIANT_TYPE("(o)"), [this, expected](GVariant* reply, const GError*) {
                      if (!reply) {
                        responded(expected, 2, nullptr);
                        return;
                      }
                      const gchar* handle = nullptr;
                      g_variant_get(reply, "(&o)", &handle);
                      // Portals older than the handle_token option answer on a path of their own choosing.
                      if (handle == nullptr || expected == handle) return;
                      auto pending = requests_.find(expected);
                      if (pending == requests_.end()) return;  // already answered
                      auto answered = std::move(pending->second.answered);
                      requests_.erase(pending);
                      awaitResponse(handle, std::move(answered));
                    });
}

void PortalHotkeyService::awaitResponse(const std::string& path,
                                        std::function<void(std::uint32_t code, GVariant* results)> answered) {
  auto onResponse = [](GDBusConnection*, const gchar*, const gchar* path, const gchar*, const gchar*,
                       GVariant* parameters, gpointer data) {
    guint32 code = 2;
    GVariant* raw = nullptr;
    if (g_variant_is_of_type(parameters, G_VARIANT_TYPE("(ua{sv})")))
      g_variant_get(parameters, "(u@a{sv})", &code, &raw);
    GVariantPtr results(raw);
    static_cast<PortalHotkeyService*>(data)->responded(path, code, results.get());
  };
  PendingRequest& pending = requests_[path];
  pending.answered = std::move(answered);
  pending.response = BusSubscription(
      connection_.get(),
      g_dbus_connection_signal_subscribe(connection_.get(), portalName, "org.freedesktop.portal.Request", "Response",
                                         path.c_str(), nullptr, G_DBUS_SIGNAL_FLAGS_NONE, onResponse, this, nullptr));
}

void PortalHotkeyService::responded(const std::string& path, std::uint32_t code, GVariant* results) {
  auto pending = requests_.find(path);
  if (pending == requests_.end()) return;  // answered already (a failed call and a late signal)
  auto answered = std::move(pending->second.answered);
  requests_.erase(pending);  // ends the subscription
  answered(code, results);
}

std::string PortalHotkeyService::nextRequestToken() {
  // Unique per request within this process; request paths carry the connection's name, so other
  // Vesk processes on the same bus cannot collide.
  return "vesk_request" + std::to_string(++tokens_);
}

void PortalHotkeyService::closeSession() {
  if (session_.empty()) return;
  g_dbus_connection_call(connection_.get(), portalName, session_.c_str(), "org.freedesktop.portal.Session", "Close",
                         nullptr, nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
  session_.clear();
  bound_.clear();
}

void PortalHotkeyService::activated(GVariant* parameters) {
  if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(osta{sv})"))) return;
  const gchar* session = nullptr;
  const gchar* shortcut = nullptr;
  g_variant_get(parameters, "(&o&sta{sv})", &session, &shortcut, nullptr, nullptr);
  // Only this session's shortcuts, and only those Vesk holds now (none while one is recorded).
  if (session_.empty() || session != session_) return;
  auto id = idForPortalShortcut(shortcut);
  if (!id || !wanted_.contains(*id)) return;
  if (auto pressed = onPressed) pressed(*id);
}

}  // namespace vesk
