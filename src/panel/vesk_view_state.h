// The panel's transient interface state and every action of the browsing screen, free of any
// widget so it runs without a display. The widgets render it and call its actions.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "browser/browser_store.h"
#include "hotkeys/shortcut_recorder.h"
#include "model/app_model.h"
#include "model/lifetime.h"
#include "panel/panel_services.h"
#include "panel/settings_tab.h"

namespace vesk {

// The most characters the search field and its query hold: one more than the longest address,
// so that a text that was cut is never taken for an address (and never added cut short). Matching
// and laying out a text this long is instant; a pasted book is not.
inline constexpr std::size_t searchQueryLimit = Address::maxLength + 1;

// The search field takes keyboard focus this long after the search row opens.
inline constexpr std::chrono::milliseconds searchFocusDelay{80};

// Keys typed for a page that cannot take them yet are held for it at most this long.
inline constexpr std::chrono::seconds typingHoldLimit{5};

enum class PanelScreen { browsing, settings };

// One running download as the panel lists it.
struct DownloadRow {
  Uuid site;
  std::string name;                // the file's name
  std::string siteName;            // the name of the site it comes from, empty when unknown
  std::string progressText;        // "3.1 MB of 10.0 MB", or "3.1 MB" while the size is unknown
  std::optional<double> fraction;  // 0 to 1, absent while the size is unknown
};

// What the browser area shows for the selected site.
enum class BrowserContentKind { emptyState, handoff, webView };

// Where keyboard focus belongs on the panel as it stands. `ownRule`: the screen places it itself
// (the search row focuses its field, the settings screen its controls).
enum class FocusTarget { ownRule, page, cardButton };

// The editing command a key press asks a page for (Ctrl+Z undo, Ctrl+Shift+Z and Ctrl+Y redo),
// or absent for any other press.
std::optional<EditingCommand> editingCommandFor(const KeyEventRecord& key);

// The toolbar's state for one redraw. With no page on screen it shows nothing of the page that
// was active last: nothing enabled, nothing loading.
struct ToolbarState {
  bool backEnabled = false;
  bool forwardEnabled = false;
  bool reloadEnabled = false;
  bool spinner = false;
  // The selected site: its host text and its copy and open buttons are shown only with one.
  std::optional<LinkSite> site;
  std::string hostText;
};

// The browser content for `site` given the store's state: the hand-off card for the hand-off host
// (its host compared lower-cased) or for the active site after a refused sign-in, else the web view.
BrowserContentKind browserContentKind(const std::optional<LinkSite>& site, bool requiresExternalSignIn,
                                      const std::optional<Uuid>& activeID);

class VeskViewState {
 public:
  // Services must outlive the state. `close` hides the panel.
  VeskViewState(AppModel& model, PanelServices services, std::function<void()> close);
  VeskViewState(const VeskViewState&) = delete;
  VeskViewState& operator=(const VeskViewState&) = delete;

  AppModel& model;
  BrowserStore browser;
  ShortcutRecorder recorder;

  // Anyone reads and observes these; only the state's actions below change them.
  template <class T>
  using Field = Published<T, VeskViewState>;
  Field<std::string> query;
  Field<std::optional<LinkSite>> editing;  // the site open in the site editor
  Field<bool> isAdding{false};             // the site editor is open for a new site
  Field<bool> showSettings{false};
  Field<bool> showSearch{false};
  Field<SettingsTab> settingsTab{SettingsTab::general};
  Field<bool> loginItemEnabled{false};
  Field<std::optional<std::string>> loginItemError;
  Field<std::optional<ShortcutAction>> recordingAction;  // the Keys row that asked for the recording
  Field<bool> searchFocused{false};
  // Keyboard focus must move to focusTarget(): the panel was shown, another site selected, the
  // search row or the settings screen closed. The view places it on its next redraw.
  Event<VeskViewState> focusRequested;

  Workspace& workspace() const { return services_.workspace; }
  Clipboard& clipboard() const { return services_.clipboard; }
  // Whether the web engine can make pages yet, and why it never will (empty unless so).
  bool webReady() const { return services_.pages.ready(); }
  std::string webProblem() const { return services_.pages.problem(); }

  // Screens.
  PanelScreen screen() const { return showSettings() ? PanelScreen::settings : PanelScreen::browsing; }
  // The results list replaces the browser area while the search row holds any text.
  bool showsResults() const { return showSearch() && !query().empty(); }
  bool showsBrowserArea() const { return !showSettings() && !showsResults(); }
  // The settings header's combination for showing the panel, only where pressing it works (the
  // session offers global keys, or the desktop's keyboard settings hold Vesk's combinations).
  std::optional<std::string> headerShortcut() const {
    if (!model.globalKeysOffered()) return std::nullopt;
    return model.shortcut().displayText();
  }
  // The line both screens show while the settings cannot be written.
  std::optional<std::string> saveErrorLine() const {
    if (!model.saveError()) return std::nullopt;
    return strings::settingsCannotBeSaved(*model.saveError());
  }

  // Lifecycle of the panel's view: shown on the screen, taken off it.
  void appeared();
  void disappeared();

  // Whether the site is on screen: the panel shown on the browsing screen with the site's page in
  // its browser area. A site on screen shows no notification on the desktop and gets no unread
  // mark; showing a site clears its mark.
  bool siteOnScreen(const Uuid& site) const;

  // Escape: closes the search row, else leaves settings, else hides the panel.
  void escape();
  void close();

  // Settings header.
  void backToBrowser();
  // Settings: closes the settings screen (a saved site editor does), keeping the search as it is.
  void leaveSettings() { showSettings.set(false); }
  // Settings: the login item's state after a change was asked for, and the reason it failed.
  void loginItemChanged(bool enabled, std::optional<std::string> error);
  // Settings: a tab button (also the tab already shown); it ends any recording.
  void chooseSettingsTab(SettingsTab tab);
  // Keys tab: records the next combination pressed for `action` (ending any other recording); a
  // combination captured is handed to the model, which checks and stores it.
  void recordShortcut(ShortcutAction action);
  void stopRecordingShortcut();
  // Websites tab: the site editor opens empty for a new site, or filled from a copy of `site`.
  void openSiteEditor(std::optional<LinkSite> site);
  bool siteEditorOpen() const { return isAdding() || editing().has_value(); }
  // Cancel: the editor closes; the settings screen stays.
  void closeSiteEditor();
  // After a successful save: the editor and the settings screen close.
  void siteSaved();

  // Site bar.
  // The page's address while its web view is on screen, else the selected site's name.
  std::string siteMenuTitle() const;
  // The page on screen is loading (the site bar's spinner).
  bool pageLoading() const;
  void chooseSite(const LinkSite& site);
  void addWebsite();
  void toggleSearch();
  void openSettings();

  // Search row and results. The query keeps at most `searchQueryLimit` characters of `text`.
  void setQuery(std::string text);
  // The search field gained or lost the keyboard focus.
  void setSearchFocused(bool focused);
  void clearQuery();
  std::vector<LinkSite> matches() const;
  bool offersQuickAdd() const;  // the query is a valid address
  bool showsNoMatches() const;  // nothing matches and the query is not an address
  void chooseResult(const LinkSite& site);
  void openFirstResult();
  void pasteClipboardLink();
  void addPastedLink();

  // Browser area and toolbar.
  BrowserContentKind browserContent() const;
  // The selected site's web view is the browser content (it may be covered by the error card). The
  // hand-off card and the empty state show no page, even while the store still has an active one.
  bool showsPage() const { return browserContent() == BrowserContentKind::webView; }
  // Key presses go to the page before the panel only while the page is there to answer them: on
  // screen and not behind the error card (a page whose web process ended answers nothing).
  bool pageAnswersKeys() const { return showsPage() && !browser.errorText(); }
  // Where keyboard focus goes now: into the selected site's page, to the first button of the card
  // or empty state shown instead of it (an error card over the page too), or left to the search
  // row or the settings screen while they are open.
  FocusTarget focusTarget() const;
  void addFirstWebsite();
  void switchWebsite();
  ToolbarState toolbar() const;
  // The toolbar's page commands: they reach the active page only while it is on screen.
  void goBack();
  void goForward();
  void reload();
  void openExternally(const LinkSite& site);
  void copyLink(const LinkSite& site);
  // The bar above the page: the active page's permission request waiting for an answer, while its
  // page is on screen.
  std::optional<PermissionPrompt> permissionPrompt() const {
    const auto& prompt = browser.permissionPrompt();
    return showsPage() && prompt && prompt->site == model.selectedID() ? prompt : std::nullopt;
  }
  // The user's answer to the request the bar shows: given to the page and remembered for its origin.
  void answerPermission(PermissionAnswer answer);

  // Downloads. Every running download is listed, whichever site is shown: a download goes on
  // while another site is on screen, and it stays in sight and can be cancelled from anywhere.
  std::vector<DownloadRow> downloadRows() const;
  const std::optional<std::string>& downloadNotice() const { return browser.downloadNotice(); }
  void cancelDownload(const Uuid& site) { browser.cancelDownload(site); }
  void dismissDownloadNotice() { browser.dismissDownloadNotice(); }

 private:
  void finishSearch();
  void requestFocus() { focusRequested.emit(); }
  void siteNotified(const Uuid& site, const PageNotification& notification);
  void siteRetitled(const Uuid& site, const std::string& title);
  void markShownSiteRead();
  // What is typed while the selected page cannot take keys yet (just made, its document not there)
  // is held for it and handed to it once it can; dropped when the panel hides, another site or
  // screen takes its place, its load fails, or after `typingHoldLimit`.
  void holdTypingForPage();
  void dropHeldTyping();

  PanelServices services_;
  std::function<void()> close_;
  bool panelVisible_ = false;
  // The count each site's page title starts with, for the sites whose title has one.
  std::map<Uuid, unsigned> titleCounts_;
  // Counts the holds of typing, so that the time limit of one ends that hold only.
  std::uint64_t typingHolds_ = 0;
  // What reaches the state from outside, ended in reverse order before anything above goes:
  // observations of the model and of its own fields, the key handlers, and (last, so it ends
  // first) the lifetime the deferred tasks and the clipboard's answer ask for the state.
  std::vector<Subscription> subscriptions_;
  std::optional<InstalledKeyHandler> escapeHandler_;
  std::optional<InstalledKeyHandler> editingHandler_;
  Lifetime<VeskViewState> lifetime_{this};
};

}  // namespace vesk
