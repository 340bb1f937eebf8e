// The tray icon as a StatusNotifierItem on the session bus: the item's properties and methods,
// its registration with every StatusNotifierWatcher that appears, and its menu exported over
// dbusmenu.
#pragma once

#include <gio/gio.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "model/glib_handles.h"
#include "shell/color_scheme.h"
#include "shell/tray_item.h"
#include "shell/tray_menu.h"

typedef struct _DbusmenuServer DbusmenuServer;

namespace vesk {

inline constexpr std::string_view trayIconName = "io.github.vesk.Vesk-symbolic";

class StatusNotifierItem {
 public:
  // What the item reports; each runs on the main loop.
  struct Events {
    // A host's Activate call from the bus name `sender`, at (x, y) as the host tells it.
    std::function<void(const std::string& sender, int x, int y)> activated;
    // A host's ContextMenu call: the item's own menu at (x, y).
    std::function<void(ScreenPoint point)> contextMenu;
    // An entry of the exported menu was chosen.
    std::function<void(TrayCommand command)> chosen;
    // The watcher appeared (and the item registers with it) or went away.
    std::function<void(bool present)> watcherChanged;
    // The watcher refused the item: no host shows it.
    std::function<void()> refused;
  };

  // Exports the item under `busName` on `connection`; `iconThemePath` is the folder holding
  // hicolor/…/io.github.vesk.Vesk-symbolic.svg (may be empty).
  StatusNotifierItem(GDBusConnection* connection, std::string busName, std::string iconThemePath, Events events);
  ~StatusNotifierItem();
  StatusNotifierItem(const StatusNotifierItem&) = delete;
  StatusNotifierItem& operator=(const StatusNotifierItem&) = delete;

  void setToolTip(const std::string& text);
  // Draws the unread dot into the pixmaps, or takes it away. While it is there the item names no
  // themed icon, so that hosts which prefer one draw the pixmaps with the dot.
  void setUnread(bool unread);
  // Whether a StatusNotifierWatcher is on the bus now.
  bool watcherPresent() const { return watcherPresent_; }
  // The kind of tray host behind the bus name `sender`, from the name of its process: known at
  // once for a host seen before, else `found` runs once the bus has said.
  void hostOf(const std::string& sender, std::function<void(TrayHost host)> found);

 private:
  void watcherAppeared(const char* owner);
  void registerWithWatcher();
  // Finds the name of the process behind a bus name and hands it to `found` (empty when unknown).
  void lookUpProcess(const std::string& busName, std::function<void(const std::string& process)> found);
  void buildMenu();
  GVariant* property(const char* name) const;
  GVariant* pixmaps() const;
  GVariant* toolTipVariant() const;
  void emitSignal(const char* name, GVariant* parameters = nullptr);

  static void onMethodCall(GDBusConnection*, const char*, const char*, const char*, const char* method,
                           GVariant* parameters, GDBusMethodInvocation* invocation, gpointer self);
  static GVariant* onGetProperty(GDBusConnection*, const char*, const char*, const char*, const char* name, GError**,
                                 gpointer self);

  GObjectPtr<GDBusConnection> connection_;
  std::string busName_;
  std::string iconThemePath_;
  Events events_;
  std::string toolTip_;
  bool unread_ = false;
  GDBusNodeInfoPtr introspection_;
  // The desktop's dark or light preference, which the pixmaps' colour follows.
  std::unique_ptr<DesktopColorScheme> colorScheme_;
  GObjectPtr<DbusmenuServer> menuServer_;
  // Whether the tray host opens the menu on a click and calls Activate only on a double click
  // (GNOME Shell's AppIndicator extension): the menu then starts with "Open Vesk".
  bool menuOnClick_ = false;
  std::vector<SignalConnection> menuSignals_;  // the exported entries' handlers
  // The tray hosts seen calling Activate, by bus name.
  std::map<std::string, TrayHost> hosts_;
  bool nameOwned_ = false;
  bool watcherPresent_ = false;
  // The menu fits the present watcher's host (see watcherAppeared): only then does the item
  // register, so that the host reads the menu it will show.
  bool menuFitsHost_ = false;
  // The bus's hold on `this`, released in the destructor before anything above goes.
  guint objectId_ = 0;
  guint ownerId_ = 0;
  guint watcherId_ = 0;
  CallGuard calls_;
  int registrationsLeft_ = 0;  // registrations left after a drop by the present watcher
  BusSubscription dropped_;    // the watcher's word that it dropped the item; ends first
};

}  // namespace vesk
