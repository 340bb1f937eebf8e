// Every text Vesk shows, in one place and ready for translation with gettext (text domain
// "vesk"). Each function returns the text in the user's language, or the English text when no
// translation is installed. Texts with parts are templates with named placeholders, so that a
// translation may put the parts in any order.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

namespace vesk {
enum class PermissionKind;  // model/site_permissions.h
}  // namespace vesk

namespace vesk::strings {

// The gettext text domain of every text here.
inline constexpr const char* textDomain = "vesk";

// The product's name, never translated.
std::string_view appName();

// Key combinations as the desktop shows them ("Ctrl+Alt+Space").
std::string_view keyControl();
std::string_view keyAlt();
std::string_view keyShift();
std::string_view keySuper();
std::string_view keySpace();
// Joins the parts of one combination: "Ctrl" and "Space" give "Ctrl+Space".
std::string keyCombination(std::string_view modifiers, std::string_view key);

// Messages of the model.
std::string_view invalidAddress();
std::string_view siteNotFound();
std::string_view duplicateShortcut();
std::string_view defaultSiteName();
std::string_view showVesk();
std::string_view nextWebsite();
std::string_view previousWebsite();
std::string_view themeGraphiteDetail();
std::string_view themeMidnightDetail();
std::string_view themeObsidianDetail();
std::string createFolderFailed(std::string_view folder, std::string_view reason);
std::string followLinkFailed(std::string_view link, std::string_view reason);
std::string_view writeFailed();
std::string writeFailedAt(std::string_view reason, std::string_view path);
std::string_view notSettingsFormat();
std::string settingsKeptAside(std::string_view path, std::string_view reason, std::string_view aside);
std::string settingsLeftInPlace(std::string_view path, std::string_view reason, std::string_view moveReason);
std::string settingsNotWrittenOver(std::string_view path, std::string_view moveReason);
// What stands where a folder or a regular file is needed, as a phrase: "a named pipe".
std::string_view kindFolder();
std::string_view kindPipe();
std::string_view kindSocket();
std::string_view kindDevice();
std::string_view kindFile();
// "“/home/u/.config” is a file, not a folder"
std::string notAFolder(std::string_view path, std::string_view kind);
// "“/home/u/.config/vesk/settings.ini” is a named pipe, not a regular file"
std::string notARegularFile(std::string_view path, std::string_view kind);
// "it is a named pipe, not a regular file"
std::string itIsNotARegularFile(std::string_view kind);
// Said once: stored sites whose address is not a web address were left out.
std::string sitesRefused(std::size_t count, std::string_view aside);
// Said once: another program changed the settings file while Vesk ran; its version was kept.
std::string settingsChangedElsewhere(std::string_view path, std::string_view aside);
std::string_view settingsNoticeTitle();
// The page area when the web engine cannot start: "Pages can't be shown: <reason>."
std::string pagesCannotBeShown(std::string_view reason);

// Global key combinations.
// Another application holds the combination.
std::string_view shortcutTaken();
// The Keys tab's one line where the session offers no global key combinations at all: the
// commands to bind in the desktop's own keyboard settings instead.
std::string globalKeysUnavailable();
// Where sway runs: the lines below it go into sway's config.
std::string_view swayKeysNotice();
// Copies the lines shown under the notice.
std::string_view copyLines();
// GNOME's custom shortcuts: the switch, its detail, the name of each entry ("Vesk: …") and why
// the switch cannot work here.
std::string_view gnomeKeysSwitch();
std::string_view gnomeKeysDetail();
std::string gnomeShortcutName(std::string_view action);
std::string gnomeShortcutsMissing(std::string_view schema);
// A refusal of one action's combination: "Next website: <message>".
std::string actionError(std::string_view action, std::string_view message);
std::string_view shortcutUpdateFailed();

// The tray.
std::string trayToolTip(std::string_view shortcut);
// The first item of the tray menu where a click on the icon opens the menu (GNOME Shell).
std::string_view trayMenuOpen();
std::string_view trayMenuSettings();
std::string_view quitVesk();
std::string saveErrorReport(std::string_view reason);

// The panel.
std::string_view findSiteOrPasteLink();
std::string_view addLinkFromClipboard();
std::string_view clearSearch();
std::string_view noMatchingSites();
std::string_view addAndOpenLink();
std::string_view backToBrowser();
std::string_view closePanel();
std::string_view chooseWebsite();
std::string_view switchWebsite();
std::string_view addAWebsite();
std::string_view settings();
std::string_view siteCouldNotLoad();
std::string_view tryAgain();
std::string_view openInBrowser();
std::string_view continueInBrowser();
std::string_view handoffDetail();
std::string_view open();
std::string openSite(std::string_view name);
std::string_view addSiteToGetStarted();
std::string_view addWebsite();
// The drop-down's last item, which opens the site editor.
std::string_view addWebsiteMenuItem();
std::string_view back();
std::string_view forward();
std::string_view reload();
std::string_view copyPageLink();
std::string_view openInDefaultBrowser();
std::string settingsCannotBeSaved(std::string_view reason);

// Downloads.
std::string_view downloadFinished();
std::string_view downloadFailed();
std::string_view theFile();
// A file name in quotation marks.
std::string quotedName(std::string_view name);
std::string downloadSaved(std::string_view file, std::string_view folder);
std::string downloadNotSaved(std::string_view file);
std::string downloadNotSavedBecause(std::string_view file, std::string_view reason);
std::string_view downloadStoppedTitle();
std::string downloadStopped(std::string_view folder);
// A site asked for a second download while one runs.
std::string downloadBusy(std::string_view file);
// "3.1 MB of 10.0 MB".
std::string downloadProgress(std::string_view received, std::string_view total);
std::string_view cancelDownload();
// A running download's tooltip: "<file> — <site>".
std::string downloadFromSite(std::string_view file, std::string_view site);
// Said once per page load on standard error.
std::string_view downloadRefused();
std::string_view dismissNotice();
std::string_view tooManySameNames();
std::string cannotMakePrivate(std::string_view path, std::string_view reason);
std::string cannotCreateDataFolder(std::string_view folder, std::string_view reason);

// A website asks for a permission (the bar above its page): "<host> wants to ...".
std::string askNotifications(std::string_view host);
std::string askMicrophone(std::string_view host);
std::string askCamera(std::string_view host);
std::string askMicrophoneAndCamera(std::string_view host);
std::string askLocation(std::string_view host);
std::string askClipboard(std::string_view host);
std::string askPointerLock(std::string_view host);
std::string askMediaKeys(std::string_view host);
std::string askDeviceInfo(std::string_view host);
std::string askWebsiteData(std::string_view host);
std::string_view allowPermission();
std::string_view blockPermission();
// The bar's accessible name.
std::string_view permissionRequest();
// The kinds as the Websites tab lists a site's answers.
std::string_view permissionNotifications();
std::string_view permissionMicrophone();
std::string_view permissionCamera();
std::string_view permissionLocation();
std::string_view permissionClipboard();
std::string_view permissionPointerLock();
std::string_view permissionMediaKeys();
std::string_view permissionDeviceInfo();
std::string_view permissionWebsiteData();
// "Allowed: notifications, camera", "Blocked: microphone"; `kinds` is already a list.
std::string allowedPermissions(std::string_view kinds);
std::string blockedPermissions(std::string_view kinds);
// Joins the kinds of one list, and the two lists into one line.
std::string_view permissionListSeparator();
std::string_view permissionGroupSeparator();
std::string_view resetPermissions();
std::string_view permissionsSection();
std::string resetPermissionsOf(std::string_view name);
// The site editor's answers, one row per kind: "Notifications" with Allow, Block and Ask (no
// stored answer: the site asks). The kind's row title; empty for a kind this version does not know.
std::string_view permissionTitle(PermissionKind kind);
std::string_view sitePermissionsHeading();
std::string_view askPermission();
// The accessible name of one choice: "Notifications: Allow".
std::string permissionChoiceName(std::string_view kind, std::string_view choice);

// The web pages.
std::string_view requestTimedOut();
std::string_view pageCrashed();
std::string_view pageNotResponding();
std::string_view pageExceededMemory();

// The settings screen.
std::string_view tabGeneral();
std::string_view tabWebsites();
std::string_view tabKeys();
std::string_view tabPanel();
std::string_view tabAppearance();
std::string_view settingsSubtitle();
std::string_view startupSection();
std::string_view launchAtLogin();
std::string_view launchAtLoginDetail();
std::string_view lockScreenNote();
std::string_view approveLoginItem();
std::string loginSettingFailed(std::string_view reason);
std::string_view ownFileNotFound();
std::string couldNotCreateFolder(std::string_view folder, std::string_view reason);
std::string couldNotWrite(std::string_view path);
std::string couldNotRemove(std::string_view path, std::string_view reason);
std::string_view autostartComment();
std::string_view shortcutsSection();
std::string_view pressKeys();
std::string_view setKeys();
std::string_view clearShortcut();
std::string_view keysHelp();
std::string_view showShortcutDetail();
std::string_view switchShortcutDetail();
std::string_view panelSizeSection();
std::string_view panelWidth();
std::string_view panelHeight();
std::string_view websiteZoom();
std::string_view resetPanel();
std::string_view panelNote();
std::string_view memorySection();
std::string_view lessMemory();
std::string_view lessMemoryDetail();
std::string_view websitesSection();
std::string_view editWebsite();
std::string_view addSite();
// The editor refuses a longer name; the limit is in the text.
std::string_view siteNameTooLong();
std::string_view saveChanges();
std::string_view cancel();
std::string_view namePlaceholder();
std::string_view addressPlaceholder();
std::string_view moveUp();
std::string_view moveDown();
std::string_view websitesNote();
std::string editSite(std::string_view name);
std::string removeSite(std::string_view name);
std::string_view themesSection();
std::string_view themeNote();

// The program's command line and start-up.
std::string_view helpSummary();
std::string_view optionToggle();
std::string_view optionNext();
std::string_view optionPrevious();
std::string_view optionSettings();
std::string_view optionQuit();
std::string_view optionVersion();
// One line on standard error: "vesk: <message>".
std::string errorLine(std::string_view message);
std::string_view noGraphicalSession();
std::string cannotOpenDisplay(std::string_view display);
std::string_view unexpectedError();
std::string panelModuleNotLoaded(std::string_view module, std::string_view folder, std::string_view reason);
std::string_view unknownError();
std::string panelModuleMissing(std::string_view module, std::string_view folders);
// Two items of a list: "<first> and <second>".
std::string bothOf(std::string_view first, std::string_view second);
std::string cannotShowPanel(std::string_view problem);
std::string cannotShowPages(std::string_view problem);
// Said once, on standard error and in a desktop notification, when the desktop has no tray.
std::string_view noTrayHostReport();
std::string_view noTrayHostTitle();
std::string_view noTrayHostBody();
// A site's own notification on the desktop: "<site> — <title>", the site's name alone without a
// title; its click action, where the desktop shows it as a button.
std::string siteNoticeTitle(std::string_view siteName, std::string_view title);
std::string_view showNotice();
// What a screen reader says of a site with an unread mark in the site drop-down, and of the
// drop-down while another site has one.
std::string_view unreadMark();
std::string_view switchWebsiteUnread();
std::string_view panelUnavailableTitle();
std::string panelUnavailableDetail(std::string_view problem);

// Replaces each "{name}" in `pattern` with its value; unknown names stay as written.
std::string format(std::string_view pattern,
                   std::initializer_list<std::pair<std::string_view, std::string_view>> values);

}  // namespace vesk::strings
