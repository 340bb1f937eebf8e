#include "model/strings.h"

#include <libintl.h>

#include "model/site_permissions.h"

namespace vesk::strings {

namespace {
// Looks the English text up in Vesk's catalogue. The result is owned by gettext and lives as
// long as the program. `_` marks the texts for xgettext (`xgettext -k_`).
std::string_view translated(const char* text) { return dgettext(textDomain, text); }
#define _(text) translated(text)
}  // namespace

std::string format(std::string_view pattern,
                   std::initializer_list<std::pair<std::string_view, std::string_view>> values) {
  std::string out;
  out.reserve(pattern.size());
  std::size_t at = 0;
  while (at < pattern.size()) {
    std::size_t open = pattern.find('{', at);
    std::size_t close = open == std::string_view::npos ? open : pattern.find('}', open);
    if (close == std::string_view::npos) break;
    out.append(pattern.substr(at, open - at));
    std::string_view name = pattern.substr(open + 1, close - open - 1);
    bool known = false;
    for (const auto& [key, value] : values) {
      if (key == name) {
        out.append(value);
        known = true;
        break;
      }
    }
    if (!known) out.append(pattern.substr(open, close - open + 1));
    at = close + 1;
  }
  if (at < pattern.size()) out.append(pattern.substr(at));
  return out;
}

std::string_view appName() { return "Vesk"; }

// TRANSLATORS: the modifier and key names of a key combination, as the desktop shows them.
std::string_view keyControl() { return _("Ctrl"); }
std::string_view keyAlt() { return _("Alt"); }
std::string_view keyShift() { return _("Shift"); }
std::string_view keySuper() { return _("Super"); }
std::string_view keySpace() { return _("Space"); }
std::string keyCombination(std::string_view modifiers, std::string_view key) {
  // TRANSLATORS: one key combination, for example "Ctrl" and "Space".
  return format(_("{modifiers}+{key}"), {{"modifiers", modifiers}, {"key", key}});
}

std::string_view invalidAddress() { return _("Enter a valid web address."); }
std::string_view siteNotFound() { return _("Site not found."); }
std::string_view duplicateShortcut() { return _("Choose a different key combination for each action."); }
std::string_view defaultSiteName() { return _("Website"); }
std::string_view showVesk() { return _("Show Vesk"); }
std::string_view nextWebsite() { return _("Next website"); }
std::string_view previousWebsite() { return _("Previous website"); }
std::string_view themeGraphiteDetail() { return _("Soft charcoal"); }
std::string_view themeMidnightDetail() { return _("Cool blue-black"); }
std::string_view themeObsidianDetail() { return _("Deep near-black"); }
std::string createFolderFailed(std::string_view folder, std::string_view reason) {
  return format(_("Failed to create the folder \u201c{folder}\u201d: {reason}"),
                {{"folder", folder}, {"reason", reason}});
}
std::string followLinkFailed(std::string_view link, std::string_view reason) {
  return format(_("Failed to follow the link \u201c{link}\u201d: {reason}"), {{"link", link}, {"reason", reason}});
}
std::string_view writeFailed() { return _("write failed"); }
std::string writeFailedAt(std::string_view reason, std::string_view path) {
  return format(_("{reason} ({path})"), {{"reason", reason}, {"path", path}});
}
std::string_view kindFolder() { return _("a folder"); }
std::string_view kindPipe() { return _("a named pipe"); }
std::string_view kindSocket() { return _("a socket"); }
std::string_view kindDevice() { return _("a device"); }
std::string_view kindFile() { return _("a file"); }
std::string notAFolder(std::string_view path, std::string_view kind) {
  return format(_("\u201c{path}\u201d is {kind}, not a folder"), {{"path", path}, {"kind", kind}});
}
std::string notARegularFile(std::string_view path, std::string_view kind) {
  return format(_("\u201c{path}\u201d is {kind}, not a regular file"), {{"path", path}, {"kind", kind}});
}
std::string itIsNotARegularFile(std::string_view kind) {
  return format(_("it is {kind}, not a regular file"), {{"kind", kind}});
}
std::string sitesRefused(std::size_t count, std::string_view aside) {
  const std::string number = std::to_string(count);
  return format(dngettext(textDomain,
                          "{count} saved site was left out: its address is not a web address (http or https). The "
                          "site list as it was is kept in \u201c{aside}\u201d.",
                          "{count} saved sites were left out: their addresses are not web addresses (http or "
                          "https). The site list as it was is kept in \u201c{aside}\u201d.",
                          count),
                {{"count", number}, {"aside", aside}});
}
std::string settingsChangedElsewhere(std::string_view path, std::string_view aside) {
  return format(_("\u201c{path}\u201d was changed by another program while Vesk was running. That version was "
                  "kept as \u201c{aside}\u201d and Vesk's settings were saved."),
                {{"path", path}, {"aside", aside}});
}
std::string_view settingsNoticeTitle() { return _("Vesk settings"); }
std::string pagesCannotBeShown(std::string_view reason) {
  return format(_("Pages can't be shown: {reason}."), {{"reason", reason}});
}
std::string_view notSettingsFormat() { return _("not in the settings format"); }
std::string settingsKeptAside(std::string_view path, std::string_view reason, std::string_view aside) {
  return format(_("The settings file \u201c{path}\u201d could not be read ({reason}). It was kept as "
                  "\u201c{aside}\u201d and the default settings are used."),
                {{"path", path}, {"reason", reason}, {"aside", aside}});
}
std::string settingsLeftInPlace(std::string_view path, std::string_view reason, std::string_view moveReason) {
  return format(_("The settings file \u201c{path}\u201d could not be read ({reason}). It could not be moved aside "
                  "({moveReason}) and is left untouched; the default settings are used and changes are not saved."),
                {{"path", path}, {"reason", reason}, {"moveReason", moveReason}});
}
std::string settingsNotWrittenOver(std::string_view path, std::string_view moveReason) {
  return format(_("The unreadable settings file \u201c{path}\u201d could not be moved aside ({moveReason}), so it "
                  "is not written over"),
                {{"path", path}, {"moveReason", moveReason}});
}

std::string_view shortcutTaken() { return _("That shortcut is used by another app. Try a different one."); }
std::string globalKeysUnavailable() {
  // TRANSLATORS: the three commands are typed as they stand; keep it to one line.
  return format(_("Global keys aren't available on this desktop: bind {toggle}, {next} and {previous} in its "
                  "keyboard settings."),
                {{"toggle", "vesk --toggle"}, {"next", "vesk --next"}, {"previous", "vesk --previous"}});
}
std::string_view swayKeysNotice() {
  return _(
      "Global keys aren't available to apps on sway: add these lines to sway's config file "
      "(~/.config/sway/config), then reload sway.");
}
std::string_view copyLines() { return _("Copy"); }
std::string_view gnomeKeysSwitch() { return _("Use these keys in GNOME"); }
std::string_view gnomeKeysDetail() {
  return _(
      "GNOME doesn't give apps global keys. Adds Vesk's combinations to GNOME's keyboard shortcuts; "
      "turning it off removes them.");
}
std::string gnomeShortcutName(std::string_view action) {
  // TRANSLATORS: the name of a shortcut in GNOME's keyboard settings, for example "Vesk: Show or hide the panel".
  return format(_("{app}: {action}"), {{"app", appName()}, {"action", action}});
}
std::string gnomeShortcutsMissing(std::string_view schema) {
  return format(_("GNOME's keyboard shortcut settings ({schema}) aren't installed, so Vesk can't add its keys "
                  "there. Install gnome-settings-daemon, or bind the commands by hand."),
                {{"schema", schema}});
}
std::string actionError(std::string_view action, std::string_view message) {
  // TRANSLATORS: a refusal of one action's key combination, for example "Next website: …".
  return format(_("{action}: {message}"), {{"action", action}, {"message", message}});
}
std::string_view shortcutUpdateFailed() { return _("Could not update the shortcut."); }

std::string trayToolTip(std::string_view shortcut) {
  return format(_("Vesk \u2014 {shortcut} \u00b7 Double-click for options"), {{"shortcut", shortcut}});
}
std::string_view trayMenuOpen() { return _("Open Vesk"); }
std::string_view trayMenuSettings() { return _("Settings\u2026"); }
std::string_view quitVesk() { return _("Quit Vesk"); }
std::string saveErrorReport(std::string_view reason) {
  return format(_("vesk: settings can't be saved: {reason}"), {{"reason", reason}});
}

std::string_view findSiteOrPasteLink() { return _("Find a site or paste a link"); }
std::string_view addLinkFromClipboard() { return _("Add a link from your clipboard"); }
std::string_view clearSearch() { return _("Clear search"); }
std::string_view noMatchingSites() { return _("No matching sites"); }
std::string_view addAndOpenLink() { return _("Add and open this link"); }
std::string_view backToBrowser() { return _("Back to browser"); }
std::string_view closePanel() { return _("Close panel"); }
std::string_view chooseWebsite() { return _("Choose a website"); }
std::string_view switchWebsite() { return _("Switch website"); }
std::string_view addAWebsite() { return _("Add a website"); }
std::string_view settings() { return _("Settings"); }
std::string_view siteCouldNotLoad() { return _("This site couldn\u2019t load"); }
std::string_view tryAgain() { return _("Try again"); }
std::string_view openInBrowser() { return _("Open in browser"); }
std::string_view continueInBrowser() { return _("Continue in your browser"); }
std::string_view handoffDetail() {
  return _(
      "Google requires account sign-in outside embedded panels. This link stays saved here for one-click "
      "access.");
}
std::string_view open() { return _("Open"); }
std::string openSite(std::string_view name) { return format(_("Open {name}"), {{"name", name}}); }
std::string_view addSiteToGetStarted() { return _("Add a site to get started"); }
std::string_view addWebsite() { return _("Add website"); }
std::string_view addWebsiteMenuItem() { return _("Add website\u2026"); }
std::string_view back() { return _("Back"); }
std::string_view forward() { return _("Forward"); }
std::string_view reload() { return _("Reload"); }
std::string_view copyPageLink() { return _("Copy current page link"); }
std::string_view openInDefaultBrowser() { return _("Open in default browser if sign-in is blocked here"); }
std::string settingsCannotBeSaved(std::string_view reason) {
  return format(_("Settings can't be saved: {reason}"), {{"reason", reason}});
}

std::string_view downloadFinished() { return _("Download finished"); }
std::string_view downloadFailed() { return _("Download failed"); }
std::string_view theFile() { return _("The file"); }
std::string quotedName(std::string_view name) { return format(_("\u201c{name}\u201d"), {{"name", name}}); }
std::string downloadSaved(std::string_view file, std::string_view folder) {
  return format(_("{file} was saved in {folder}."), {{"file", file}, {"folder", folder}});
}
std::string downloadNotSaved(std::string_view file) {
  return format(_("{file} could not be downloaded."), {{"file", file}});
}
std::string downloadNotSavedBecause(std::string_view file, std::string_view reason) {
  return format(_("{file} could not be downloaded: {reason}"), {{"file", file}, {"reason", reason}});
}
std::string_view downloadStoppedTitle() { return _("Download stopped"); }
std::string downloadStopped(std::string_view folder) {
  return format(_("Download stopped: less than 1 GB is free in {folder}."), {{"folder", folder}});
}
std::string downloadBusy(std::string_view file) {
  return format(_("\u201c{file}\u201d was not downloaded: this website is already downloading a file. Wait for it or "
                  "cancel it first."),
                {{"file", file}});
}
std::string downloadProgress(std::string_view received, std::string_view total) {
  return format(_("{received} of {total}"), {{"received", received}, {"total", total}});
}
std::string_view cancelDownload() { return _("Cancel download"); }
std::string downloadFromSite(std::string_view file, std::string_view site) {
  return format(_("{file} \u2014 {site}"), {{"file", file}, {"site", site}});
}
std::string_view downloadRefused() { return _("refused a download the page started without a click."); }
std::string_view dismissNotice() { return _("Dismiss"); }
std::string_view tooManySameNames() { return _("Too many files with this name already exist."); }
std::string cannotMakePrivate(std::string_view path, std::string_view reason) {
  return format(_("vesk: cannot make {path} private ({reason})."), {{"path", path}, {"reason", reason}});
}
std::string cannotCreateDataFolder(std::string_view folder, std::string_view reason) {
  return format(_("vesk: cannot create the folder {folder} ({reason}); cookies and site data will not be kept."),
                {{"folder", folder}, {"reason", reason}});
}

std::string_view requestTimedOut() { return _("The request timed out."); }
std::string_view pageCrashed() { return _("The page stopped unexpectedly. Try again to reload it."); }
std::string_view pageNotResponding() { return _("The page is not responding. Try again to reload it."); }
std::string_view pageExceededMemory() {
  return _("The page used too much memory and was stopped. Try again to reload it.");
}

std::string_view tabGeneral() { return _("General"); }
std::string_view tabWebsites() { return _("Websites"); }
std::string_view tabKeys() { return _("Keys"); }
std::string_view tabPanel() { return _("Panel"); }
std::string_view tabAppearance() { return _("Appearance"); }
std::string_view settingsSubtitle() { return _("Make the tray panel yours."); }
std::string_view startupSection() { return _("STARTUP"); }
std::string_view launchAtLogin() { return _("Launch at login"); }
std::string_view launchAtLoginDetail() { return _("Keep Vesk ready in your tray."); }
std::string_view lockScreenNote() {
  return _(
      "Works while your computer is unlocked. The desktop does not show third-party panels on its lock "
      "screen.");
}
std::string_view approveLoginItem() { return _("Allow Vesk to start at login in your desktop's settings."); }
std::string loginSettingFailed(std::string_view reason) {
  return format(_("Could not change login setting: {reason}"), {{"reason", reason}});
}
std::string_view ownFileNotFound() { return _("The program's own file could not be found."); }
std::string couldNotCreateFolder(std::string_view folder, std::string_view reason) {
  return format(_("Could not create the folder \u201c{folder}\u201d: {reason}"),
                {{"folder", folder}, {"reason", reason}});
}
std::string couldNotWrite(std::string_view path) {
  return format(_("Could not write \u201c{path}\u201d."), {{"path", path}});
}
std::string couldNotRemove(std::string_view path, std::string_view reason) {
  return format(_("Could not remove \u201c{path}\u201d: {reason}"), {{"path", path}, {"reason", reason}});
}
std::string_view autostartComment() { return _("Your favourite websites in the tray"); }
std::string_view shortcutsSection() { return _("GLOBAL SHORTCUTS"); }
std::string_view pressKeys() { return _("Press keys\u2026"); }
std::string_view setKeys() { return _("Set keys"); }
std::string_view clearShortcut() { return _("Clear shortcut"); }
std::string_view keysHelp() {
  return _(
      "Set each key combination by pressing it. Next and previous can also reveal the panel while you work "
      "in another app.");
}
std::string_view showShortcutDetail() { return _("Open or close the tray panel."); }
std::string_view switchShortcutDetail() { return _("Switch through your saved websites."); }
std::string_view panelSizeSection() { return _("PANEL SIZE"); }
std::string_view panelWidth() { return _("Width"); }
std::string_view panelHeight() { return _("Height"); }
std::string_view websiteZoom() { return _("Website zoom"); }
std::string_view resetPanel() { return _("Reset panel"); }
std::string_view panelNote() {
  return _("The panel stays attached to the tray. Click outside or press Escape to close it.");
}
std::string_view memorySection() { return _("MEMORY"); }
std::string_view lessMemory() { return _("Use less memory"); }
std::string_view lessMemoryDetail() {
  return _("Sites share one web process: less memory, but one site's crash or hang affects the others.");
}
std::string_view websitesSection() { return _("YOUR WEBSITES"); }
std::string_view editWebsite() { return _("Edit website"); }
std::string_view addSite() { return _("Add site"); }
std::string_view siteNameTooLong() { return _("Enter a name of at most 200 characters."); }
std::string_view saveChanges() { return _("Save changes"); }
std::string_view cancel() { return _("Cancel"); }
std::string_view namePlaceholder() { return _("Name"); }
std::string_view addressPlaceholder() { return _("https://example.com"); }
std::string askNotifications(std::string_view host) {
  return format(_("{host} wants to show notifications"), {{"host", host}});
}
std::string askMicrophone(std::string_view host) {
  return format(_("{host} wants to use your microphone"), {{"host", host}});
}
std::string askCamera(std::string_view host) { return format(_("{host} wants to use your camera"), {{"host", host}}); }
std::string askMicrophoneAndCamera(std::string_view host) {
  return format(_("{host} wants to use your microphone and camera"), {{"host", host}});
}
std::string askLocation(std::string_view host) {
  return format(_("{host} wants to know your location"), {{"host", host}});
}
std::string askClipboard(std::string_view host) {
  return format(_("{host} wants to read your clipboard"), {{"host", host}});
}
std::string askPointerLock(std::string_view host) {
  return format(_("{host} wants to hide and take over your mouse pointer"), {{"host", host}});
}
std::string askMediaKeys(std::string_view host) {
  return format(_("{host} wants to play protected media"), {{"host", host}});
}
std::string askDeviceInfo(std::string_view host) {
  return format(_("{host} wants to see the names of your microphones and cameras"), {{"host", host}});
}
std::string askWebsiteData(std::string_view host) {
  return format(_("{host} wants to use its cookies and data on another website"), {{"host", host}});
}
std::string_view allowPermission() { return _("Allow"); }
std::string_view blockPermission() { return _("Block"); }
std::string_view permissionRequest() { return _("Permission request"); }
std::string_view permissionNotifications() { return _("notifications"); }
std::string_view permissionMicrophone() { return _("microphone"); }
std::string_view permissionCamera() { return _("camera"); }
std::string_view permissionLocation() { return _("location"); }
std::string_view permissionClipboard() { return _("clipboard"); }
std::string_view permissionPointerLock() { return _("mouse pointer"); }
std::string_view permissionMediaKeys() { return _("protected media"); }
std::string_view permissionDeviceInfo() { return _("device names"); }
std::string_view permissionWebsiteData() { return _("website data"); }
std::string allowedPermissions(std::string_view kinds) { return format(_("Allowed: {kinds}"), {{"kinds", kinds}}); }
std::string blockedPermissions(std::string_view kinds) { return format(_("Blocked: {kinds}"), {{"kinds", kinds}}); }
std::string_view permissionListSeparator() { return _(", "); }
std::string_view permissionGroupSeparator() { return _(" \u00b7 "); }
std::string_view resetPermissions() { return _("Reset permissions"); }
std::string_view permissionsSection() { return _("WEBSITE PERMISSIONS"); }
std::string_view permissionTitle(PermissionKind kind) {
  switch (kind) {
    case PermissionKind::notifications:
      return _("Notifications");
    case PermissionKind::microphone:
      return _("Microphone");
    case PermissionKind::camera:
      return _("Camera");
    case PermissionKind::location:
      return _("Location");
    case PermissionKind::clipboard:
      return _("Clipboard");
    case PermissionKind::pointerLock:
      return _("Mouse pointer");
    case PermissionKind::mediaKeys:
      return _("Protected media");
    case PermissionKind::deviceInfo:
      return _("Device names");
    case PermissionKind::websiteData:
      return _("Website data");
  }
  return {};
}
std::string_view sitePermissionsHeading() { return _("Permissions"); }
std::string_view askPermission() { return _("Ask"); }
std::string permissionChoiceName(std::string_view kind, std::string_view choice) {
  return format(_("{kind}: {choice}"), {{"kind", kind}, {"choice", choice}});
}
std::string resetPermissionsOf(std::string_view name) {
  return format(_("Reset the permissions of {name}"), {{"name", name}});
}
std::string_view moveUp() { return _("Move up"); }
std::string_view moveDown() { return _("Move down"); }
std::string_view websitesNote() {
  return _(
      "Sites open inside Vesk. Some providers block sign-in in embedded browsers; use the external button "
      "when needed.");
}
std::string editSite(std::string_view name) { return format(_("Edit {name}"), {{"name", name}}); }
std::string removeSite(std::string_view name) { return format(_("Remove {name}"), {{"name", name}}); }
std::string_view themesSection() { return _("DARK THEMES"); }
std::string_view themeNote() { return _("Theme changes are saved automatically."); }

std::string_view helpSummary() {
  return _(
      "Vesk keeps a short list of favourite websites in a panel under its tray icon.\n"
      "Without options, Vesk starts in the tray, or shows its panel when it is already running.\n"
      "The options act on the running Vesk (starting it first when needed), so desktops that cannot\n"
      "grab global keys (such as Wayland sessions) can bind them in their own keyboard settings.");
}
std::string_view optionToggle() { return _("Show or hide the panel"); }
std::string_view optionNext() { return _("Switch to the next website and show the panel"); }
std::string_view optionPrevious() { return _("Switch to the previous website and show the panel"); }
std::string_view optionSettings() { return _("Open the panel's settings"); }
std::string_view optionQuit() { return _("Quit the running Vesk"); }
std::string_view optionVersion() { return _("Print the version of Vesk and exit"); }
std::string errorLine(std::string_view message) { return format(_("vesk: {message}"), {{"message", message}}); }
std::string_view noGraphicalSession() {
  return _(
      "vesk: no graphical session (neither DISPLAY nor WAYLAND_DISPLAY is set); start Vesk from a desktop "
      "session.");
}
std::string cannotOpenDisplay(std::string_view display) {
  return format(_("vesk: cannot open the display {display}."), {{"display", display}});
}
std::string_view unexpectedError() { return _("stopped by an unexpected error"); }
std::string panelModuleNotLoaded(std::string_view module, std::string_view folder, std::string_view reason) {
  return format(_("{module} could not be loaded from {folder}: {reason}"),
                {{"module", module}, {"folder", folder}, {"reason", reason}});
}
std::string_view unknownError() { return _("unknown error"); }
std::string panelModuleMissing(std::string_view module, std::string_view folders) {
  return format(_("{module} is missing (looked in {folders})"), {{"module", module}, {"folders", folders}});
}
std::string bothOf(std::string_view first, std::string_view second) {
  return format(_("{first} and {second}"), {{"first", first}, {"second", second}});
}
std::string cannotShowPanel(std::string_view problem) {
  return format(_("vesk: cannot show the panel: {problem}"), {{"problem", problem}});
}
std::string cannotShowPages(std::string_view problem) {
  return format(_("vesk: cannot show web pages: {problem}"), {{"problem", problem}});
}
std::string_view noTrayHostReport() {
  return _(
      "vesk: no system tray was found, so Vesk has no icon. Open the panel with “vesk --toggle”: bind that "
      "command to a key in your desktop's keyboard settings.");
}
std::string_view noTrayHostTitle() { return _("Vesk has no tray icon"); }
std::string_view noTrayHostBody() {
  return _(
      "No system tray was found. Open the panel with “vesk --toggle” (and switch websites with “vesk "
      "--next” and “vesk --previous”): bind these commands to keys in your desktop's keyboard settings.");
}
std::string siteNoticeTitle(std::string_view siteName, std::string_view title) {
  if (title.empty()) return std::string(siteName);
  return format(_("{site} \u2014 {title}"), {{"site", siteName}, {"title", title}});
}
std::string_view showNotice() { return _("Show"); }
std::string_view unreadMark() { return _("unread"); }
std::string_view switchWebsiteUnread() { return _("Switch website; another website has something unread"); }
std::string_view panelUnavailableTitle() { return _("Vesk cannot show its panel"); }
std::string panelUnavailableDetail(std::string_view problem) {
  return format(_("{problem}. Reinstalling Vesk should bring it back."), {{"problem", problem}});
}

}  // namespace vesk::strings
