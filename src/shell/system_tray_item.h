// The tray icon on the Linux desktop: a StatusNotifierItem on the session bus with its menu
// exported over dbusmenu, or an XEmbed icon when no StatusNotifierWatcher is running.
#pragma once

#include <gio/gio.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "model/glib_handles.h"
#include "shell/color_scheme.h"
#include "shell/layer_keyboard.h"
#include "shell/tray_item.h"

typedef struct _DbusmenuServer DbusmenuServer;
typedef struct _DbusmenuMenuitem DbusmenuMenuitem;
typedef struct _GtkStatusIcon GtkStatusIcon;
typedef struct _GtkWidget GtkWidget;
typedef union _GdkEvent GdkEvent;
typedef struct _GdkEventButton GdkEventButton;

namespace vesk {

inline constexpr std::string_view trayIconName = "io.github.vesk.Vesk-symbolic";

class SystemTrayItem final : public TrayItem {
 public:
  // How long the desktop has after start (or after its tray host left) to bring a tray host
  // before Vesk says that it has no icon: a session may start Vesk before its panel.
  static constexpr std::chrono::seconds trayHostGrace{10};

  // `iconThemePath` is the folder holding hicolor/…/io.github.vesk.Vesk-symbolic.svg (may be empty).
  explicit SystemTrayItem(std::string iconThemePath);
  ~SystemTrayItem() override;
  SystemTrayItem(const SystemTrayItem&) = delete;
  SystemTrayItem& operator=(const SystemTrayItem&) = delete;

  void setToolTip(const std::string& text) override;
  void popUpMenu() override;
  std::optional<ScreenRect> iconArea() const override;

  // The bus name the item is exported under ("org.kde.StatusNotifierItem-<pid>-1").
  const std::string& busName() const { return busName_; }
  // Whether the XEmbed fallback icon is in use.
  bool usesFallbackIcon() const { return statusIcon_ != nullptr; }
  // Whether that icon sits in an XEmbed tray.
  bool isFallbackIconEmbedded() const;

 private:
  void exportItem();
  void registerWithWatcher();
  void watcherAppeared(const char* owner);
  // Finds the name of the process behind a bus name and hands it to `found` (empty when unknown).
  void lookUpProcess(const std::string& busName, std::function<void(const std::string& process)> found);
  void watcherVanished();
  // An Activate call from the bus name `sender`, and the click it reports once the host is known.
  void activatedBy(const char* sender, int x, int y);
  void activated(int count, int x, int y, TrayHost host);
  void popUpMenuAt(ScreenPoint point);
  // At the top right of `area`, or of the primary monitor's work area without one.
  void popUpMenuAtTopRight(std::optional<ScreenRect> area);
  void popUpMenuOnLayer();
  void openMenuFromParent();
  GVariant* property(const char* name) const;
  GVariant* pixmaps() const;
  GVariant* toolTipVariant() const;
  void emitSignal(const char* name, GVariant* parameters = nullptr);
  void buildDbusMenu();
  GtkWidget* menu();
  void showFallbackIcon();
  void hideFallbackIcon();
  bool fallbackButtonPressed(GdkEventButton* event);
  void fallbackSizeChanged(int size);
  // Looks for a tray host once the grace time has passed, unless one appears first.
  void expectTrayHost();
  DisplayKind displayKind() const;

  static void onMethodCall(GDBusConnection*, const char*, const char*, const char*, const char* method,
                           GVariant* parameters, GDBusMethodInvocation* invocation, gpointer self);
  static GVariant* onGetProperty(GDBusConnection*, const char*, const char*, const char*, const char* name, GError**,
                                 gpointer self);

  // Destroys the menu (and the window GTK keeps it in), then drops our reference to it.
  struct MenuDestroy {
    void operator()(GtkWidget* menu) const;
  };

  std::string iconThemePath_;
  // The desktop's dark or light preference, which the pixmaps' colour follows.
  std::unique_ptr<DesktopColorScheme> colorScheme_;
  std::string toolTip_;
  std::string busName_;
  GObjectPtr<GDBusConnection> connection_;
  GDBusNodeInfoPtr introspection_;
  guint objectId_ = 0;
  guint ownerId_ = 0;
  guint watcherId_ = 0;
  bool nameOwned_ = false;
  bool watcherPresent_ = false;
  GObjectPtr<GCancellable> cancellable_;
  GObjectPtr<DbusmenuServer> menuServer_;
  std::unique_ptr<GtkWidget, MenuDestroy> menu_;
  // On Wayland a menu needs a window of ours to open from: a dot of a layer surface at the top
  // right, shown while the menu is open.
  std::unique_ptr<GtkWidget, MenuDestroy> menuParent_;
  std::unique_ptr<LayerKeyboardClaim> menuParentKeyboard_;
  GObjectPtr<GtkStatusIcon> statusIcon_;
  ClickCounter counter_{std::chrono::milliseconds(400)};
  // The XEmbed icon's presses: the server time of the last one and the clicks counted so far.
  std::optional<guint32> lastPressTime_;
  int pressCount_ = 0;
  // Whether the tray host opens the menu on a click and calls Activate only on a double click
  // (GNOME Shell's AppIndicator extension): the menu then starts with "Open Vesk".
  bool menuOnClick_ = false;
  // The tray hosts seen calling Activate, by bus name.
  std::map<std::string, TrayHost> hosts_;
  std::optional<ScreenPoint> lastClick_;
  std::optional<ScreenRect> lastArea_;
  guint trayHostCheck_ = 0;
  bool saidNoTrayHost_ = false;
};

}  // namespace vesk
