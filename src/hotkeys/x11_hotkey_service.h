// Global hot keys on X11: passive key grabs on the root window, presses read from GDK's
// event stream before GTK sees them.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include "hotkeys/hotkey_service.h"

typedef struct _GdkDisplay GdkDisplay;
typedef union _XEvent XEvent;
typedef union _GdkEvent GdkEvent;

namespace vesk {

class X11HotkeyService : public HotkeyService {
 public:
  // Uses GDK's default display. Nothing is grabbed or listened to until the first registration.
  X11HotkeyService();
  explicit X11HotkeyService(GdkDisplay* display);
  ~X11HotkeyService() override;  // releases every grab and stops listening
  X11HotkeyService(const X11HotkeyService&) = delete;
  X11HotkeyService& operator=(const X11HotkeyService&) = delete;

  // False when the display is not an X11 display, the key has no key on the keyboard, the
  // combination is already held under another id, or another client holds any lock variant.
  bool registerHotkey(std::uint32_t id, std::uint32_t keyCode, std::uint32_t modifiers) override;
  void unregisterHotkey(std::uint32_t id) override;

 private:
  struct Grab {
    unsigned int keycode = 0;
    unsigned int modifiers = 0;               // X modifier state without lock bits
    std::vector<unsigned int> grabbedStates;  // the modifier states actually grabbed
  };

  bool isX11() const;
  unsigned int numLockMask() const;
  std::optional<unsigned int> keycodeFor(std::uint32_t keyCode) const;
  void ungrab(const Grab& grab);
  void installFilter();
  void removeFilter();
  static int filter(XEvent* xevent, GdkEvent* event, void* data);
  void handle(const XEvent& xevent);

  GdkDisplay* display_;
  std::map<std::uint32_t, Grab> grabs_;
  bool filterInstalled_ = false;
  std::set<unsigned int> keysDown_;  // grabbed keys pressed and not yet released
  unsigned int lastReleaseKeycode_ = 0;
  unsigned long lastReleaseTime_ = 0;
};

}  // namespace vesk
