#include "hotkeys/x11_hotkey_service.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <gdk/gdkx.h>

#include <algorithm>
#include <memory>

#include "hotkeys/key_table.h"
#include "hotkeys/x11_handles.h"
#include "model/glib_handles.h"

namespace vesk {

namespace {

constexpr unsigned int combinationModifiers = ControlMask | ShiftMask | Mod1Mask | Mod4Mask;

Display* xdisplayOf(GdkDisplay* display) { return GDK_DISPLAY_XDISPLAY(display); }

Window rootOf(GdkDisplay* display) { return DefaultRootWindow(xdisplayOf(display)); }

GdkWindow* gdkRootOf(GdkDisplay* display) {
  return gdk_screen_get_root_window(gdk_display_get_default_screen(display));
}

}  // namespace

X11HotkeyService::X11HotkeyService() : X11HotkeyService(gdk_display_get_default()) {}

X11HotkeyService::X11HotkeyService(GdkDisplay* display) : display_(display) {}

X11HotkeyService::~X11HotkeyService() {
  if (keyboardHold_.pending()) releaseKeyboard();
  for (auto& [id, grab] : grabs_) ungrab(grab);
  grabs_.clear();
  stopListening();
  onPressed = nullptr;
}

bool X11HotkeyService::isX11() const { return display_ != nullptr && GDK_IS_X11_DISPLAY(display_); }

unsigned int X11HotkeyService::numLockMask() const {
  Display* xdisplay = xdisplayOf(display_);
  ::KeyCode numLock = XKeysymToKeycode(xdisplay, XK_Num_Lock);
  if (numLock == 0) return 0;
  XModifierKeymapPtr map(XGetModifierMapping(xdisplay));
  if (map == nullptr) return 0;
  unsigned int mask = 0;
  for (int modifier = 0; modifier < 8 && mask == 0; ++modifier) {
    for (int i = 0; i < map->max_keypermod; ++i) {
      if (map->modifiermap[modifier * map->max_keypermod + i] == numLock) {
        mask = 1u << modifier;
        break;
      }
    }
  }
  return mask;
}

std::optional<unsigned int> X11HotkeyService::keycodeFor(std::uint32_t keyCode) const {
  auto keysym = keysymForKeyCode(keyCode);
  if (!keysym) return std::nullopt;
  unsigned long alternative = 0;
  for (const auto& entry : keyTable()) {
    if (entry.keyCode == keyCode) alternative = entry.levelZeroKeysym;
  }
  // The key that gives the symbol unmodified in the first layout: the same key the key code
  // is read from when a combination is recorded.
  GdkKeymap* keymap = gdk_keymap_get_for_display(display_);
  for (unsigned long symbol : {*keysym, alternative}) {
    if (symbol == 0) continue;
    GdkKeymapKey* raw = nullptr;
    gint count = 0;
    if (!gdk_keymap_get_entries_for_keyval(keymap, static_cast<guint>(symbol), &raw, &count)) continue;
    std::unique_ptr<GdkKeymapKey[], GFreeDeleter> keys(raw);
    std::optional<unsigned int> found;
    for (gint i = 0; i < count && !found; ++i) {
      if (keys[i].group == 0 && keys[i].level == 0) found = keys[i].keycode;
    }
    if (found) return found;
  }
  return std::nullopt;
}

bool X11HotkeyService::registerHotkey(std::uint32_t id, std::uint32_t keyCode, std::uint32_t modifiers) {
  unregisterHotkey(id);
  if (!isX11()) return false;
  auto keycode = keycodeFor(keyCode);
  if (!keycode) return false;

  Grab entry;
  entry.keyCode = keyCode;
  entry.keycode = *keycode;
  entry.modifiers = xModifiersForMask(modifiers);
  // One press must name one id: a combination this service already holds is not shared.
  for (const auto& [otherId, other] : grabs_) {
    if (other.keycode == entry.keycode && other.modifiers == entry.modifiers) return false;
  }
  if (!grab(entry)) return false;
  startListening();
  grabs_[id] = std::move(entry);
  return true;
}

void X11HotkeyService::unregisterHotkey(std::uint32_t id) {
  auto it = grabs_.find(id);
  if (it == grabs_.end()) return;
  Grab entry = std::move(it->second);
  grabs_.erase(it);
  ungrab(entry);
  if (grabs_.empty()) stopListening();
}

bool X11HotkeyService::grab(Grab& entry) {
  // Grabs match the modifier state exactly, so the combination is grabbed once more for each
  // combination of the lock modifiers, to keep working with CapsLock or NumLock on.
  entry.numLock = numLockMask();
  std::vector<unsigned int> lockStates{0, LockMask};
  if (entry.numLock != 0 && entry.numLock != LockMask && (entry.numLock & entry.modifiers) == 0) {
    lockStates.push_back(entry.numLock);
    lockStates.push_back(entry.numLock | LockMask);
  }

  Display* xdisplay = xdisplayOf(display_);
  Window root = rootOf(display_);
  for (unsigned int lockState : lockStates) {
    unsigned int state = entry.modifiers | lockState;
    gdk_x11_display_error_trap_push(display_);
    XGrabKey(xdisplay, static_cast<int>(entry.keycode), state, root, False, GrabModeAsync, GrabModeSync);
    if (gdk_x11_display_error_trap_pop(display_) != 0) {
      // BadAccess: another client holds this variant. Release the variants already taken so
      // a refusal leaves nothing behind.
      ungrab(entry);
      return false;
    }
    entry.grabbedStates.push_back(state);
  }
  return true;
}

void X11HotkeyService::ungrab(Grab& entry) {
  if (!entry.grabbedStates.empty() && isX11()) {
    Display* xdisplay = xdisplayOf(display_);
    Window root = rootOf(display_);
    gdk_x11_display_error_trap_push(display_);
    for (unsigned int state : entry.grabbedStates) {
      XUngrabKey(xdisplay, static_cast<int>(entry.keycode), state, root);
    }
    gdk_x11_display_error_trap_pop_ignored(display_);
    // Wait until the server has released the keys, so another client can take them at once.
    XSync(xdisplay, False);
  }
  entry.grabbedStates.clear();
  bool keyStillGrabbed = std::any_of(grabs_.begin(), grabs_.end(), [&](const auto& other) {
    return &other.second != &entry && other.second.keycode == entry.keycode && !other.second.grabbedStates.empty();
  });
  if (!keyStillGrabbed) keysDown_.erase(entry.keycode);
}

void X11HotkeyService::keysChanged() {
  // A new keyboard layout can move a symbol to another key or NumLock to another modifier:
  // grab each combination again where its key now is. A combination that cannot be grabbed
  // any more stays listed and is tried again at the next change.
  unsigned int numLock = numLockMask();
  for (auto& [id, entry] : grabs_) {
    auto keycode = keycodeFor(entry.keyCode);
    bool unchanged = keycode && *keycode == entry.keycode && numLock == entry.numLock;
    if (unchanged && !entry.grabbedStates.empty()) continue;
    ungrab(entry);
    entry.keycode = keycode.value_or(0);
    bool taken = std::any_of(grabs_.begin(), grabs_.end(), [&](const auto& other) {
      return other.first != id && !other.second.grabbedStates.empty() && other.second.keycode == entry.keycode &&
             other.second.modifiers == entry.modifiers;
    });
    if (entry.keycode != 0 && !taken) grab(entry);
  }
}

void X11HotkeyService::startListening() {
  if (listening_) return;
  // Auto-repeat then arrives as presses without releases in between, which handle() skips.
  Bool supported = False;
  XkbSetDetectableAutoRepeat(xdisplayOf(display_), True, &supported);
  gdk_window_add_filter(gdkRootOf(display_), &X11HotkeyService::filter, this);
  GdkKeymap* keymap = gdk_keymap_get_for_display(display_);
  keysChanged_ = SignalConnection(
      keymap, g_signal_connect_swapped(keymap, "keys-changed",
                                       G_CALLBACK(+[](X11HotkeyService* self) { self->keysChanged(); }), this));
  listening_ = true;
}

void X11HotkeyService::stopListening() {
  if (!listening_) return;
  gdk_window_remove_filter(gdkRootOf(display_), &X11HotkeyService::filter, this);
  keysChanged_.disconnect();
  listening_ = false;
  keysDown_.clear();
}

GdkFilterReturn X11HotkeyService::filter(GdkXEvent* gdkXEvent, GdkEvent*, gpointer data) {
  auto* xevent = static_cast<XEvent*>(gdkXEvent);
  if (xevent == nullptr || (xevent->type != KeyPress && xevent->type != KeyRelease)) return GDK_FILTER_CONTINUE;
  auto* self = static_cast<X11HotkeyService*>(data);
  if (xevent->xkey.window != rootOf(self->display_)) return GDK_FILTER_CONTINUE;
  self->handle(*xevent);
  return GDK_FILTER_REMOVE;
}

void X11HotkeyService::handle(const XEvent& xevent) {
  const XKeyEvent& key = xevent.xkey;
  if (xevent.type == KeyRelease) {
    if (keysDown_.erase(key.keycode) != 0) {
      lastReleaseKeycode_ = key.keycode;
      lastReleaseTime_ = key.time;
    }
    return;
  }

  // Every press that starts one of our grabs froze the keyboard; only a press reported onwards
  // keeps it frozen, until whoever handles it thaws it (releaseKeyboard) or the limit passes.
  bool grabbedKey = std::any_of(grabs_.begin(), grabs_.end(), [&](const auto& entry) {
    return entry.second.keycode == key.keycode && !entry.second.grabbedStates.empty();
  });
  // A repeat is a press of a key that is still down or, where the server cannot report
  // repeats that way, a press stamped with the same time as the release just before it.
  bool repeat = keysDown_.contains(key.keycode) || (key.keycode == lastReleaseKeycode_ && key.time == lastReleaseTime_);
  // Another key pressed while one of ours holds the keyboard, or a repeat.
  if (grabbedKey) keysDown_.insert(key.keycode);
  if (!grabbedKey || repeat) {
    releaseKeyboard();
    return;
  }

  unsigned int state = key.state & combinationModifiers;
  for (const auto& [id, entry] : grabs_) {
    if (entry.keycode == key.keycode && entry.modifiers == state && !entry.grabbedStates.empty()) {
      if (auto pressed = onPressed) {
        keyboardHold_.timeout(keyboardHoldLimit, [this] { releaseKeyboard(); });
        pressed(id);
        return;
      }
      break;
    }
  }
  releaseKeyboard();
}

void X11HotkeyService::releaseKeyboard() {
  keyboardHold_.remove();
  if (!isX11()) return;
  XAllowEvents(xdisplayOf(display_), AsyncKeyboard, CurrentTime);
  XFlush(xdisplayOf(display_));
}

}  // namespace vesk
