// The application shell: owns the model and the hot-key registry, puts the icon in the tray and
// decides when the panel is shown, resized and closed (icon clicks, global key combinations,
// clicks outside the panel, the panel's own close request).
#pragma once

#include <chrono>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "hotkeys/hotkey_manager.h"
#include "model/app_model.h"
#include "model/desktop_notification.h"
#include "model/lifetime.h"
#include "shell/click_monitor.h"
#include "shell/panel_window.h"
#include "shell/tray_item.h"

namespace vesk {

// "Vesk — Ctrl+Alt+Space · Double-click for options"
std::string trayToolTip(const Shortcut& showShortcut);

// Builds the panel's content (the first time the panel is shown); `close` hides the panel.
using PanelContentFactory = std::function<Gtk::Widget*(AppModel& model, std::function<void()> close)>;

// The desktop services the shell runs on.
struct ShellPlatform {
  std::function<std::unique_ptr<TrayItem>()> makeTrayItem;
  std::function<std::unique_ptr<PanelWindow>()> makePanelWindow;
  std::unique_ptr<ClickMonitors> clickMonitors;
  PanelContentFactory makePanelContent;
  MainQueue mainQueue;
  std::function<void()> quit;
  std::function<std::chrono::steady_clock::time_point()> now = [] { return std::chrono::steady_clock::now(); };
  // Says one line on standard error.
  std::function<void(const std::string&)> report = [](const std::string& line) { std::cerr << line << "\n"; };
  // Shows a desktop notification with a title and a body, where the desktop has a notification
  // service; nothing otherwise.
  std::function<void(const std::string& title, const std::string& body)> notify;
  // The sites' own notifications, which can be replaced, taken back and clicked. May be null.
  std::unique_ptr<DesktopNotices> notices;
};

class AppDelegate {
 public:
  // The panel size used when no screen is known.
  static constexpr int fallbackScreenWidth = 1000, fallbackScreenHeight = 800;
  // A click on the tray icon reaches the outside-click monitor a moment before the tray reports
  // it; an activation this soon after the monitor closed the panel at the icon is that same click
  // (generous, as a busy desktop may deliver the activation late).
  static constexpr std::chrono::milliseconds iconClickWindow{1000};

  AppDelegate(SettingsStore& store, HotkeyService& hotkeyService, ShellPlatform platform);
  ~AppDelegate();
  AppDelegate(const AppDelegate&) = delete;
  AppDelegate& operator=(const AppDelegate&) = delete;

  void applicationDidFinishLaunching();

  // The tray icon's click action.
  void toggleFromMenuBar(const TrayClick& click);
  void openSettings();
  void quitVesk();
  // The hot-key action; also used by the command line (--toggle, --next, --previous).
  void performAction(std::uint32_t id);
  // Shows the panel unless it is shown already (a second launch of the program).
  void reveal();

  bool isPanelShown() const;
  AppModel& model() { return model_; }
  HotkeyManager& hotkey() { return hotkey_; }

 private:
  // A global key's press: its action, then the keyboard it holds goes on to the panel it showed,
  // once the panel has the focus, or at once.
  void hotkeyPressed(std::uint32_t id);
  void releaseKeyboard();
  // The panel window, made on first use.
  PanelWindow* panelWindow();
  void show();
  void hide();
  void updatePopoverSize();
  void beginOutsideClickMonitoring();
  // Ends the panel's shown state with its window, whoever hides it.
  void followPanelWindow(Gtk::Widget& content);
  std::optional<std::string> shortcutChanged(ShortcutAction action, const Shortcut& shortcut);
  void recordingChanged(bool recording);
  void reportRefused(const std::vector<std::uint32_t>& refused);
  void panelLostFocus();
  void noTrayHost();
  void followSiteNotices();
  // The user clicked the site notification shown under `key`: its site is shown, its page told.
  void openSiteNotice(const std::string& key);

  AppModel model_;
  HotkeyManager hotkey_;
  ShellPlatform platform_;
  std::unique_ptr<TrayItem> statusItem_;
  std::unique_ptr<PanelWindow> popover_;
  // A global key showed the panel and holds the keyboard until the panel has the focus.
  bool keyboardWaitsForPanel_ = false;
  std::unique_ptr<ClickMonitorToken> outsideClickMonitor_;
  std::unique_ptr<ClickMonitorToken> localClickMonitor_;

  // Where and when the outside-click monitor last closed the panel.
  struct OutsideClose {
    ScreenPoint point;
    std::chrono::steady_clock::time_point time;
  };
  std::optional<OutsideClose> lastOutsideClose_;
  Subscription recording_;
  Subscription saveFailures_;
  Subscription settingsNotices_;
  bool saidNoTrayHost_ = false;
  // The sites' notifications on the desktop, by their key there: the site and the page's key.
  std::map<std::string, std::pair<Uuid, std::string>> siteNotices_;
  std::vector<Subscription> siteNoticeEvents_;
  Subscription unreadSites_;

  // Last, so it ends first: deferred callbacks never reach a member on its way out.
  Lifetime<AppDelegate> lifetime_{this};
};

}  // namespace vesk
