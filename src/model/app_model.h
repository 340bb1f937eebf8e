// The application's one observable state: saved sites, selection, key combinations,
// theme, panel size and zoom. Loads everything at construction and writes every change
// to the settings store inside the operation that makes it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "model/desktop_notification.h"
#include "model/link_site.h"
#include "model/published.h"
#include "model/settings_store.h"
#include "model/shortcut.h"
#include "model/site_permissions.h"
#include "model/strings.h"
#include "model/uuid.h"

namespace vesk {

namespace SettingsKey {
inline constexpr std::string_view sites = "vesk.sites.v1";
inline constexpr std::string_view selected = "vesk.selected.v1";
inline constexpr std::string_view shortcut = "vesk.shortcut.v1";
inline constexpr std::string_view nextShortcut = "vesk.shortcut.next.v1";
inline constexpr std::string_view previousShortcut = "vesk.shortcut.previous.v1";
inline constexpr std::string_view theme = "vesk.theme.v1";
inline constexpr std::string_view panelWidth = "vesk.panel.width.v1";
inline constexpr std::string_view panelHeight = "vesk.panel.height.v1";
inline constexpr std::string_view pageZoom = "vesk.panel.zoom.v1";
inline constexpr std::string_view lessMemory = "vesk.panel.lessMemory.v1";
inline constexpr std::string_view permissions = "vesk.permissions.v1";
}  // namespace SettingsKey

namespace PanelLimits {
inline constexpr double minWidth = 400, maxWidth = 680, defaultWidth = 500;
inline constexpr double minHeight = 500, maxHeight = 900, defaultHeight = 700;
inline constexpr double minZoom = 0.75, maxZoom = 1.25, defaultZoom = 1.0;
}  // namespace PanelLimits

// Whether the sites' pages share one web process ("Use less memory") when the user never chose.
// Sharing saves most of a web process per site beyond the first, at the cost of isolation: one
// site's crash or hang then reaches every site (figures in bench/README.md).
inline constexpr bool defaultLessMemory = true;

// The theme stored in `store`: the "vesk.theme.v1" value when it is one of the theme names as
// written (no trimming, no case folding), graphite when it is missing or anything else. The model loads it once; the
// panel's colours read it again at every use.
LinkTheme storedTheme(const SettingsStore& store);

// A notification a site's page asks to show on the desktop.
struct SiteNotice {
  Uuid site;
  std::string pageKey;  // the page's own name for it: a later one under the same name replaces it
  std::string title;    // as shown: the site's name and the notification's title
  std::string body;
  std::optional<NoticeImage> icon;  // the site's icon, when the page has one
  // The name it goes under on the desktop: unique across sites.
  std::string desktopKey() const { return site.toString() + "/" + pageKey; }
};

class AppModel {
 public:
  // Loads every stored value; may write the default site list once.
  explicit AppModel(SettingsStore& store);
  ~AppModel();
  AppModel(const AppModel&) = delete;
  AppModel& operator=(const AppModel&) = delete;

  // Every field is written by the model's own actions below; the rest of the program reads and
  // observes them.
  Published<std::vector<LinkSite>, AppModel> sites;
  Published<std::optional<Uuid>, AppModel> selectedID;
  Published<Shortcut, AppModel> shortcut{Shortcut::standard()};
  Published<std::optional<Shortcut>, AppModel> nextShortcut;
  Published<std::optional<Shortcut>, AppModel> previousShortcut;
  Published<std::optional<std::string>, AppModel> shortcutError;
  // True while the panel records a key combination: the shell then releases its global key
  // combinations so that their presses reach the recorder. Never stored.
  Published<bool, AppModel> isRecordingShortcut{false};
  // False while the desktop session offers no global key combinations: they are still recorded
  // and stored, and the Keys tab says how to bind the commands instead. Set by the shell; never
  // stored.
  Published<bool, AppModel> globalKeysOffered{true};
  // Where the session's own keyboard settings can be given Vesk's combinations on the user's word
  // (GNOME's custom shortcuts): whether they are. Absent elsewhere. Set by the shell, which reads
  // it back from the desktop; never stored.
  Published<std::optional<bool>, AppModel> desktopBindings;
  Published<LinkTheme, AppModel> theme{LinkTheme::graphite};
  Published<double, AppModel> panelWidth{PanelLimits::defaultWidth};
  Published<double, AppModel> panelHeight{PanelLimits::defaultHeight};
  Published<double, AppModel> pageZoom{PanelLimits::defaultZoom};
  // The sites' pages share one web process ("Use less memory").
  Published<bool, AppModel> lessMemory{defaultLessMemory};
  // The answers the user gave websites that asked for a permission, per origin.
  Published<SitePermissions, AppModel> permissions;
  // Why the settings could not be written, from the first failed write until one succeeds.
  // Changes made meanwhile stay in memory and are written by the next write. Never stored.
  Published<std::optional<std::string>, AppModel> saveError;
  // Something about the settings file the user should hear of once (stored sites that were left
  // out, a file another program changed and that was kept aside); each new one is published
  // once. Never stored.
  Published<std::optional<std::string>, AppModel> settingsNotice;

  // Sites with something new the user has not seen yet (a notification, or a new count in the
  // page's title, while the site was not on screen), until the site is shown. Never stored.
  Published<std::set<Uuid>, AppModel> unreadSites;

  // The shell has just shown the panel.
  Event<AppModel> panelShown;
  // The settings screen was asked for (the tray menu's Settings item), after the panel is shown.
  Event<AppModel> settingsRequested;

  // A site's notification to show on the desktop, one to take back (the page closed or replaced
  // it: the site and the page's key), and one the user clicked on the desktop (after the shell
  // selected its site and showed the panel). The panel raises the first two, the shell the last.
  Event<AppModel, const SiteNotice&> siteNoticePosted;
  Event<AppModel, const Uuid&, const std::string&> siteNoticeWithdrawn;
  Event<AppModel, const Uuid&, const std::string&> siteNoticeOpened;

  // Installed by the application shell once launching finishes.
  std::function<std::optional<std::string>(ShortcutAction, const Shortcut&)> onShortcutChange;
  std::function<void(ShortcutAction)> onShortcutRemoval;
  // Gives the desktop's keyboard settings Vesk's combinations, or takes them back; returns why not.
  std::function<std::optional<std::string>(bool on)> onDesktopBindingsChange;
  std::function<void()> onPanelSizeChange;

  // Sites and selection.
  std::optional<LinkSite> selectedSite() const;
  void select(const LinkSite& site);
  std::optional<std::string> add(std::string_view name, std::string_view address);
  std::optional<std::string> update(const LinkSite& site, std::string_view name, std::string_view address);
  void remove(const LinkSite& site);
  void move(const LinkSite& site, int by);
  void cycleSite(int by);
  // The unread mark of a saved site (a site not in the list is never marked).
  void markUnread(const Uuid& id);
  void markRead(const Uuid& id);

  // Key combinations, panel size, zoom and theme.
  std::optional<Shortcut> shortcutFor(ShortcutAction action) const;
  void changeShortcut(const Shortcut& newShortcut, ShortcutAction action);
  void removeShortcut(ShortcutAction action);
  // The user's word on the desktop's keyboard settings holding Vesk's combinations: a refusal
  // (of the whole, or of a combination another shortcut holds) goes to shortcutError.
  void changeDesktopBindings(bool on);
  void changePanelSize(std::optional<double> width, std::optional<double> height);
  void changePageZoom(double zoom);
  void changeTheme(LinkTheme newTheme);
  // Stored as "true" or "false"; the pages follow through the published field.
  void changeLessMemory(bool on);

  // Website permissions: the user's answer for `origin` (see originOf), for every kind in `kinds`.
  void rememberPermission(std::string_view origin, const std::vector<PermissionKind>& kinds, PermissionAnswer answer);
  // Forgets every answer of `origin`; the engine is told through the published field.
  void resetPermissions(std::string_view origin);
  // One kind of `origin`'s answers, named as stored, as the user sets it by hand: allow, block,
  // or absent to forget it (the site asks again).
  void setPermission(std::string_view origin, std::string_view kind, std::optional<PermissionAnswer> answer);

  // The shell's reports: the panel shown, settings asked for, the state of global keys.
  void notePanelShown() { panelShown.emit(); }
  void requestSettings() { settingsRequested.emit(); }
  // A key combination that could not be registered; nullopt clears the message.
  void reportShortcutError(std::optional<std::string> message) { shortcutError.set(std::move(message)); }
  void setGlobalKeysOffered(bool offered);
  void setDesktopBindings(std::optional<bool> bindings);
  void setRecordingShortcut(bool recording);
  // A site's desktop notification: shown, taken back, clicked.
  void postSiteNotice(const SiteNotice& notice) { siteNoticePosted.emit(notice); }
  void withdrawSiteNotice(const Uuid& site, const std::string& pageKey) { siteNoticeWithdrawn.emit(site, pageKey); }
  void noteSiteNoticeOpened(const Uuid& site, const std::string& pageKey) { siteNoticeOpened.emit(site, pageKey); }

  SettingsStore& store() const { return store_; }

 private:
  void load();
  void saveSites();
  void savePermissions();
  // Forgets the answers of `removed`'s origin when no site in the list shares it.
  void forgetPermissionsOf(const LinkSite& removed);
  // The store's writes, each followed by taking over its outcome into `saveError`.
  void storeData(std::string_view key, std::string_view bytes);
  void storeString(std::string_view key, std::string_view text);
  void storeDouble(std::string_view key, double value);
  void removeStored(std::string_view key);
  void noteWrite();
  std::string siteName(std::string_view name, const std::string& normalizedAddress) const;
  Published<std::optional<Shortcut>, AppModel>* optionalShortcutField(ShortcutAction action);

  SettingsStore& store_;
};

}  // namespace vesk
