// Global hot keys on X11: passive key grabs on the root window, presses read from GDK's
// event stream before GTK sees them.
#pragma once

#include <gdk/gdk.h>

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include "hotkeys/hotkey_service.h"
#include "model/glib_handles.h"

typedef union _XEvent XEvent;

namespace vesk {

class X11HotkeyService : public HotkeyService {
 public:
  // Uses GDK's default display. Nothing is grabbed or listened to until the first registration.
  X11HotkeyService();
  explicit X11HotkeyService(GdkDisplay* display);
  ~X11HotkeyService() override;  // releases every grab and stops listening
  X11HotkeyService(const X11HotkeyService&) = delete;
  X11HotkeyService& operator=(const X11HotkeyService&) = delete;

  // False when the display is not an X11 display (Wayland), the keyboard has no key for the
  // key code, the combination is already held here under another id, or another client holds
  // the combination in any lock state.
  bool registerHotkey(std::uint32_t id, std::uint32_t keyCode, std::uint32_t modifiers) override;
  void unregisterHotkey(std::uint32_t id) override;
  // True on an X11 display (also Xwayland); false on a Wayland session without one.
  bool offersGlobalKeys() const override { return isX11(); }
  // Each combination is grabbed so that its press freezes the keyboard: the X server keeps what
  // is typed next until this thaws it.
  void releaseKeyboard() override;

 private:
  struct Grab {
    std::uint32_t keyCode = 0;                // in the stored numbering
    unsigned int keycode = 0;                 // the X keycode grabbed; 0 while not grabbed
    unsigned int modifiers = 0;               // X modifier state without lock bits
    unsigned int numLock = 0;                 // the NumLock modifier when grabbed
    std::vector<unsigned int> grabbedStates;  // the modifier states actually grabbed
  };

  bool isX11() const;
  unsigned int numLockMask() const;
  std::optional<unsigned int> keycodeFor(std::uint32_t keyCode) const;
  bool grab(Grab& grab);
  void ungrab(Grab& grab);
  void keysChanged();
  void startListening();
  void stopListening();
  static GdkFilterReturn filter(GdkXEvent* xevent, GdkEvent* event, gpointer data);
  void handle(const XEvent& xevent);

  GdkDisplay* display_;
  std::map<std::uint32_t, Grab> grabs_;
  bool listening_ = false;
  SignalConnection keysChanged_;
  SourceGuard keyboardHold_;         // thaws a keyboard left frozen for `keyboardHoldLimit`
  std::set<unsigned int> keysDown_;  // grabbed keys pressed and not yet released
  unsigned int lastReleaseKeycode_ = 0;
  unsigned long lastReleaseTime_ = 0;
};

}  // namespace vesk
