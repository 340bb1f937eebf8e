// The key monitor for GTK windows: reads key presses on attached toplevels before their
// focused widget does, unless that widget answers presses first (see answerFirst). Presses of
// modifier keys alone are not key presses and are not shown.
#pragma once

#include <gtkmm/window.h>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "hotkeys/key_monitor.h"
#include "model/lifetime.h"
#include "model/scoped_connection.h"

namespace vesk {

class GtkKeyMonitor : public KeyMonitor, public sigc::trackable {
 public:
  GtkKeyMonitor() = default;
  ~GtkKeyMonitor() override = default;
  GtkKeyMonitor(const GtkKeyMonitor&) = delete;
  GtkKeyMonitor& operator=(const GtkKeyMonitor&) = delete;

  // Presses sent to `window` pass through the installed handlers first. A window that is
  // destroyed drops out by itself.
  void attach(Gtk::Window& window);
  void detach(Gtk::Window& window);

  Token install(Handler handler) override;
  void remove(Token token) override;
  void holdKeys() override { holding_ = true; }
  void releaseHeldKeys() override;
  void dropHeldKeys() override;
  bool holdingKeys() const override { return holding_; }

  // Tells which focused widgets see a press before the handlers: widgets that answer presses
  // themselves and hand the ones they leave unhandled back through their window (a web page
  // does so once its web process has answered). While such a widget has focus, the handlers
  // see only the presses it hands back; otherwise they see every press first.
  using AnswersFirst = std::function<bool(GtkWidget* focus)>;
  void answerFirst(AnswersFirst test) { answersFirst_ = std::move(test); }

 private:
  bool focusAnswersFirst(Gtk::Window& window) const;
  bool beforeWidgets(Gtk::Window& window, GdkEventKey* event);
  bool afterWidgets(Gtk::Window& window, GdkEventKey* event);
  bool runHandlers(GdkEventKey* event, bool leftByFocus);
  bool hold(GdkEventKey* event);

  struct Attached {
    Gtk::Window* window;
    ScopedConnection keyPress;
    ScopedConnection unhandledKeyPress;
    ScopedConnection keyRelease;
  };
  struct EventFree {
    void operator()(GdkEvent* event) const { gdk_event_free(event); }
  };
  // At most this many key events are held; a hand that types on beyond it loses the rest.
  static constexpr std::size_t heldKeyLimit = 1024;
  std::vector<Attached> windows_;
  std::vector<std::pair<Token, std::shared_ptr<Handler>>> handlers_;
  Token nextToken_ = 0;
  AnswersFirst answersFirst_;
  bool holding_ = false;
  std::vector<std::unique_ptr<GdkEvent, EventFree>> held_;
  Lifetime<GtkKeyMonitor> lifetime_{this};
};

}  // namespace vesk
