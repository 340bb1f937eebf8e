#include "hotkeys/kglobalaccel_hotkey_service.h"

#include <X11/keysym.h>

#include <algorithm>
#include <memory>

#include "hotkeys/key_table.h"
#include "hotkeys/portal_hotkey_service.h"
#include "model/constants.h"
#include "model/shortcut.h"
#include "model/strings.h"

namespace vesk {

namespace {

constexpr const char* serviceName = "org.kde.kglobalaccel";
constexpr const char* servicePath = "/kglobalaccel";
constexpr const char* serviceInterface = "org.kde.KGlobalAccel";

// Qt's key codes and modifier bits, as kglobalaccel stores them.
namespace Qt {
constexpr int shift = 0x02000000, control = 0x04000000, alt = 0x08000000, meta = 0x10000000, keypad = 0x20000000;
constexpr int escape = 0x01000000, tab = 0x01000001, backspace = 0x01000003, enter = 0x01000004;
constexpr int keypadEnter = 0x01000005, insert = 0x01000006, deleteKey = 0x01000007, clear = 0x0100000b;
constexpr int home = 0x01000010, end = 0x01000011, left = 0x01000012, up = 0x01000013, right = 0x01000014;
constexpr int down = 0x01000015, pageUp = 0x01000016, pageDown = 0x01000017, f1 = 0x01000030;
}  // namespace Qt

std::optional<int> qtKey(unsigned long keysym) {
  // Printable ASCII: Qt's code is the character, letters upper case.
  if (keysym >= XK_space && keysym <= XK_asciitilde) {
    return keysym >= XK_a && keysym <= XK_z ? static_cast<int>(keysym - XK_a + 'A') : static_cast<int>(keysym);
  }
  if (keysym >= XK_F1 && keysym <= XK_F35) return Qt::f1 + static_cast<int>(keysym - XK_F1);
  if (keysym >= XK_KP_0 && keysym <= XK_KP_9) return Qt::keypad | static_cast<int>('0' + keysym - XK_KP_0);
  switch (keysym) {
    case XK_Return:
      return Qt::enter;
    case XK_Tab:
      return Qt::tab;
    case XK_BackSpace:
      return Qt::backspace;
    case XK_Escape:
      return Qt::escape;
    case XK_Insert:
      return Qt::insert;
    case XK_Delete:
      return Qt::deleteKey;
    case XK_Home:
      return Qt::home;
    case XK_End:
      return Qt::end;
    case XK_Prior:
      return Qt::pageUp;
    case XK_Next:
      return Qt::pageDown;
    case XK_Left:
      return Qt::left;
    case XK_Right:
      return Qt::right;
    case XK_Up:
      return Qt::up;
    case XK_Down:
      return Qt::down;
    case XK_Clear:
      return Qt::keypad | Qt::clear;
    case XK_KP_Enter:
      return Qt::keypad | Qt::keypadEnter;
    case XK_KP_Decimal:
      return Qt::keypad | '.';
    case XK_KP_Multiply:
      return Qt::keypad | '*';
    case XK_KP_Add:
      return Qt::keypad | '+';
    case XK_KP_Subtract:
      return Qt::keypad | '-';
    case XK_KP_Divide:
      return Qt::keypad | '/';
    case XK_KP_Equal:
      return Qt::keypad | '=';
    default:
      return std::nullopt;  // modifier keys alone and keys Qt has no code for
  }
}

// One key sequence per key, as kglobalaccel's a(ai): four keys, unused ones 0.
GVariant* keyList(std::optional<int> key) {
  GVariantBuilder list;
  g_variant_builder_init(&list, G_VARIANT_TYPE("a(ai)"));
  if (key) {
    const gint32 keys[4] = {*key, 0, 0, 0};
    g_variant_builder_add(&list, "(@ai)", g_variant_new_fixed_array(G_VARIANT_TYPE_INT32, keys, 4, sizeof(gint32)));
  }
  return g_variant_builder_end(&list);
}

// The first key of each sequence in an a(ai) reply.
std::vector<int> keysOf(GVariant* reply) {
  std::vector<int> keys;
  if (!reply || !g_variant_is_of_type(reply, G_VARIANT_TYPE("(a(ai))"))) return keys;
  GVariantPtr list(g_variant_get_child_value(reply, 0));
  for (gsize i = 0; i < g_variant_n_children(list.get()); ++i) {
    GVariantPtr sequence(g_variant_get_child_value(list.get(), i));
    GVariantPtr ints(g_variant_get_child_value(sequence.get(), 0));
    gsize count = 0;
    const auto* values = static_cast<const gint32*>(g_variant_get_fixed_array(ints.get(), &count, sizeof(gint32)));
    if (count > 0 && values[0] != 0) keys.push_back(values[0]);
  }
  return keys;
}

}  // namespace

std::optional<int> qtKeyCode(std::uint32_t keyCode, std::uint32_t modifiers) {
  auto keysym = keysymForKeyCode(keyCode);
  if (!keysym) return std::nullopt;
  auto key = qtKey(*keysym);
  if (!key) return std::nullopt;
  if (modifiers & ModifierMask::control) *key |= Qt::control;
  if (modifiers & ModifierMask::option) *key |= Qt::alt;
  if (modifiers & ModifierMask::shift) *key |= Qt::shift;
  if (modifiers & ModifierMask::command) *key |= Qt::meta;
  return key;
}

std::uint32_t kglobalaccelSetFlags(int wanted, const std::vector<int>& previousDefault) {
  const bool unchanged = previousDefault.size() == 1 && previousDefault.front() == wanted;
  return KGlobalAccelFlag::setPresent | (unchanged ? 0 : KGlobalAccelFlag::noAutoloading);
}

bool kglobalaccelHolds(std::uint32_t flags, int wanted, const std::vector<int>& keys) {
  if (!(flags & KGlobalAccelFlag::noAutoloading)) return true;
  return std::find(keys.begin(), keys.end(), wanted) != keys.end();
}

KGlobalAccelHotkeyService::KGlobalAccelHotkeyService() {
  calls_.connectSessionBus([this](GDBusConnection* connection) {
    if (connection) {
      connected(connection);
    } else {
      state_ = State::unavailable;
      if (auto changed = onOfferChanged) changed();
    }
  });
}

KGlobalAccelHotkeyService::KGlobalAccelHotkeyService(GDBusConnection* connection) { connected(connection); }

KGlobalAccelHotkeyService::~KGlobalAccelHotkeyService() {
  if (connection_) {
    if (state_ == State::ready && !wanted_.empty()) {
      for (const auto& [id, key] : wanted_) {
        g_dbus_connection_call(connection_.get(), serviceName, servicePath, serviceInterface, "setInactive",
                               g_variant_new("(@as)", actionId(id)), nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr,
                               nullptr, nullptr);
      }
      // Sent before the process ends, so the desktop does not keep the keys for a program gone.
      g_dbus_connection_flush_sync(connection_.get(), nullptr, nullptr);
    }
  }
  onPressed = nullptr;
  onOfferChanged = nullptr;
}

void KGlobalAccelHotkeyService::connected(GDBusConnection* connection) {
  connection_.reset(G_DBUS_CONNECTION(g_object_ref(connection)));
  // kglobalaccel answers a ping when it runs (or the bus starts it).
  calls_.callMethod(
      connection_.get(), serviceName, servicePath, "org.freedesktop.DBus.Peer", "Ping", nullptr, nullptr,
      [this](GVariant* reply, const GError*) {
        if (!reply) {
          state_ = State::unavailable;
          if (auto changed = onOfferChanged) changed();
          return;
        }
        pressedSubscription_ = BusSubscription(
            connection_.get(),
            g_dbus_connection_signal_subscribe(
                connection_.get(), serviceName, "org.kde.kglobalaccel.Component", "globalShortcutPressed", nullptr,
                std::string(applicationId).c_str(), G_DBUS_SIGNAL_FLAGS_NONE,
                [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant* parameters,
                   gpointer data) { static_cast<KGlobalAccelHotkeyService*>(data)->pressed(parameters); },
                this, nullptr));
        state_ = State::ready;
        if (auto changed = onOfferChanged) changed();
      });
}

GVariant* KGlobalAccelHotkeyService::actionId(std::uint32_t id) const {
  // Component and action, each by its unique and its shown name.
  const std::string component(applicationId), componentName(strings::appName());
  const std::string action = portalShortcutId(id).value_or("");
  const std::string actionName(hotkeyDescription(id));
  const gchar* fields[] = {component.c_str(), action.c_str(), componentName.c_str(), actionName.c_str()};
  return g_variant_new_strv(fields, 4);
}

bool KGlobalAccelHotkeyService::registerHotkey(std::uint32_t id, std::uint32_t keyCode, std::uint32_t modifiers) {
  unregisterHotkey(id);
  auto key = qtKeyCode(keyCode, modifiers);
  if (state_ != State::ready || !portalShortcutId(id) || !key) return false;
  // A refusal that arrived after this combination was accepted is reported here, once.
  if (refused_.erase({id, *key}) > 0) return false;
  for (const auto& [other, held] : wanted_) {
    if (held == *key) return false;  // one press must name one id
  }
  wanted_[id] = *key;
  set(id, *key);
  return true;
}

void KGlobalAccelHotkeyService::unregisterHotkey(std::uint32_t id) {
  ++generation_[id];
  if (wanted_.erase(id) == 0 || state_ != State::ready) return;
  // The action stays known to the desktop with its keys, but inactive: the keys reach the focused
  // program (the panel, while a combination is recorded) until Vesk registers it again.
  g_dbus_connection_call(connection_.get(), serviceName, servicePath, serviceInterface, "setInactive",
                         g_variant_new("(@as)", actionId(id)), nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr,
                         nullptr);
}

void KGlobalAccelHotkeyService::set(std::uint32_t id, int key) {
  const unsigned generation = generation_[id];
  g_dbus_connection_call(connection_.get(), serviceName, servicePath, serviceInterface, "doRegister",
                         g_variant_new("(@as)", actionId(id)), nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr,
                         nullptr);
  // The answers count only while no later registration of the same id was asked for; the guard
  // drops them once the service is gone.
  auto current = [this, id, generation] { return generation_[id] == generation; };
  calls_.callMethod(
      connection_.get(), serviceName, servicePath, serviceInterface, "defaultShortcutKeys",
      g_variant_new("(@as)", actionId(id)), G_VARIANT_TYPE("(a(ai))"),
      [this, id, key, current](GVariant* reply, const GError*) {
        if (!current()) return;
        const std::uint32_t flags = kglobalaccelSetFlags(key, keysOf(reply));
        g_dbus_connection_call(connection_.get(), serviceName, servicePath, serviceInterface, "setShortcutKeys",
                               g_variant_new("(@as@a(ai)u)", actionId(id), keyList(key), KGlobalAccelFlag::isDefault),
                               nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
        calls_.callMethod(connection_.get(), serviceName, servicePath, serviceInterface, "setShortcutKeys",
                          g_variant_new("(@as@a(ai)u)", actionId(id), keyList(key), flags), G_VARIANT_TYPE("(a(ai))"),
                          [this, id, key, flags, current](GVariant* reply, const GError*) {
                            if (!current()) return;
                            if (!reply || !kglobalaccelHolds(flags, key, keysOf(reply))) refused(id, key);
                          });
      });
}

void KGlobalAccelHotkeyService::refused(std::uint32_t id, int key) {
  wanted_.erase(id);
  ++generation_[id];
  refused_.insert({id, key});
  // Not the default either: the next start replaces the keys again instead of keeping none.
  g_dbus_connection_call(
      connection_.get(), serviceName, servicePath, serviceInterface, "setShortcutKeys",
      g_variant_new("(@as@a(ai)u)", actionId(id), keyList(std::nullopt), KGlobalAccelFlag::isDefault), nullptr,
      G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
  if (auto changed = onOfferChanged) changed();
}

void KGlobalAccelHotkeyService::pressed(GVariant* parameters) {
  if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(ssx)"))) return;
  const gchar* component = nullptr;
  const gchar* action = nullptr;
  g_variant_get(parameters, "(&s&sx)", &component, &action, nullptr);
  if (component != applicationId) return;
  auto id = idForPortalShortcut(action);
  if (!id || !wanted_.contains(*id)) return;
  if (auto press = onPressed) press(*id);
}

}  // namespace vesk
