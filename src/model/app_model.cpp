#include "model/app_model.h"
#include "model/strings.h"

#include <algorithm>

#include "model/constants.h"
#include "model/text.h"
#include "model/url.h"

namespace vesk {

namespace {
// Clamps into [low, high]; a value that is not a number falls to the lower bound.
double clamp(double value, double low, double high) {
  if (value != value) return low;
  return std::min(std::max(value, low), high);
}

std::string_view keyFor(ShortcutAction action) {
  switch (action) {
    case ShortcutAction::show:
      return SettingsKey::shortcut;
    case ShortcutAction::nextSite:
      return SettingsKey::nextShortcut;
    case ShortcutAction::previousSite:
      return SettingsKey::previousShortcut;
  }
  return SettingsKey::shortcut;
}
}  // namespace

LinkTheme storedTheme(const SettingsStore& store) {
  auto stored = store.string(SettingsKey::theme);
  return stored ? linkThemeFromRaw(*stored).value_or(LinkTheme::graphite) : LinkTheme::graphite;
}

AppModel::AppModel(SettingsStore& store) : store_(store) {
  // A store that writes in the background reports each outcome later, on the main loop.
  store_.setWriteOutcomeHandler([this] { noteWrite(); });
  load();
}

AppModel::~AppModel() { store_.setWriteOutcomeHandler(nullptr); }

void AppModel::load() {
  // Sites: a stored list that decodes is used as it is, even when empty.
  auto storedSites = store_.data(SettingsKey::sites);
  std::optional<std::vector<LinkSite>> decoded;
  if (storedSites) decoded = decodeSites(*storedSites);
  if (decoded) {
    // Only web addresses are loaded, as only they can be added: a hand-written "javascript:" or
    // "file:" address would otherwise run or open when its site is shown. The list as it was is
    // kept beside the file, the others load, and the user hears of it once.
    std::vector<LinkSite> accepted;
    for (auto& site : *decoded) {
      if (auto address = Address::normalized(site.address)) {
        site.address = std::move(*address);
        accepted.push_back(std::move(site));
      }
    }
    const std::size_t refused = decoded->size() - accepted.size();
    sites.set(std::move(accepted));
    if (refused > 0) {
      auto aside = store_.keepUnreadable(SettingsKey::sites, *storedSites);
      // Without a copy the stored list stays as it is; the refused sites are only left out here.
      if (aside) {
        saveSites();
        settingsNotice.set(strings::sitesRefused(refused, *aside));
      }
    }
  } else {
    // Never destroy what the user had: keep unreadable site data before the defaults replace it.
    if (storedSites) store_.keepUnreadable(SettingsKey::sites, *storedSites);
    std::vector<LinkSite> defaults;
    for (const auto& site : defaultSites) defaults.emplace_back(std::string(site.name), std::string(site.address));
    sites.set(std::move(defaults));
    saveSites();
  }

  // Selection: the stored id when it names a record, otherwise the first record.
  std::optional<Uuid> selection;
  if (auto text = store_.string(SettingsKey::selected)) {
    if (auto id = Uuid::parse(*text)) {
      bool known = std::any_of(sites().begin(), sites().end(), [&](const LinkSite& s) { return s.id == *id; });
      if (known) selection = id;
    }
  }
  if (!selection && !sites().empty()) selection = sites().front().id;
  selectedID.set(selection);

  if (auto data = store_.data(SettingsKey::shortcut)) {
    if (auto decodedShortcut = Shortcut::decode(*data)) shortcut.set(*decodedShortcut);
  }
  if (auto data = store_.data(SettingsKey::nextShortcut)) nextShortcut.set(Shortcut::decode(*data));
  if (auto data = store_.data(SettingsKey::previousShortcut)) previousShortcut.set(Shortcut::decode(*data));

  theme.set(storedTheme(store_));

  double width = store_.doubleValue(SettingsKey::panelWidth);
  double height = store_.doubleValue(SettingsKey::panelHeight);
  if (width > 0) panelWidth.set(clamp(width, PanelLimits::minWidth, PanelLimits::maxWidth));
  if (height > 0) panelHeight.set(clamp(height, PanelLimits::minHeight, PanelLimits::maxHeight));

  double zoom = store_.doubleValue(SettingsKey::pageZoom);
  if (zoom > 0) pageZoom.set(clamp(zoom, PanelLimits::minZoom, PanelLimits::maxZoom));

  // Only the two stored words count; anything else (hand-edited, unreadable) keeps the default.
  if (auto stored = store_.string(SettingsKey::lessMemory)) {
    if (*stored == "true") lessMemory.set(true);
    if (*stored == "false") lessMemory.set(false);
  }

  // Website permissions: unreadable answers are kept aside and the key is cleared, so that every
  // site asks again rather than a hand-edited file granting what it seems to.
  if (auto stored = store_.data(SettingsKey::permissions)) {
    if (auto parsed = SitePermissions::parse(*stored)) {
      permissions.set(std::move(*parsed));
    } else if (store_.keepUnreadable(SettingsKey::permissions, *stored)) {
      removeStored(SettingsKey::permissions);
    }
  }
}

void AppModel::saveSites() {
  if (auto json = encodeSites(sites())) {
    storeData(SettingsKey::sites, *json);
  } else {
    removeStored(SettingsKey::sites);
  }
}

void AppModel::savePermissions() {
  if (permissions().empty()) {
    removeStored(SettingsKey::permissions);
  } else {
    storeData(SettingsKey::permissions, permissions().serialize());
  }
}

void AppModel::rememberPermission(std::string_view origin, const std::vector<PermissionKind>& kinds,
                                  PermissionAnswer answer) {
  if (origin.empty() || kinds.empty()) return;
  SitePermissions next = permissions();
  next.remember(origin, kinds, answer);
  permissions.set(std::move(next));
  savePermissions();
}

void AppModel::resetPermissions(std::string_view origin) {
  SitePermissions next = permissions();
  if (!next.forget(origin)) return;
  permissions.set(std::move(next));
  savePermissions();
}

void AppModel::setPermission(std::string_view origin, std::string_view kind, std::optional<PermissionAnswer> answer) {
  SitePermissions next = permissions();
  if (!next.set(origin, kind, answer)) return;
  permissions.set(std::move(next));
  savePermissions();
}

void AppModel::forgetPermissionsOf(const LinkSite& removed) {
  if (auto origin = permissions().originLeftBy(removed, sites())) resetPermissions(*origin);
}

void AppModel::storeData(std::string_view key, std::string_view bytes) {
  store_.setData(key, bytes);
  noteWrite();
}

void AppModel::storeString(std::string_view key, std::string_view text) {
  store_.setString(key, text);
  noteWrite();
}

void AppModel::storeDouble(std::string_view key, double value) {
  store_.setDouble(key, value);
  noteWrite();
}

void AppModel::removeStored(std::string_view key) {
  store_.remove(key);
  noteWrite();
}

void AppModel::noteWrite() {
  // Only a change is published, so observers hear of a failure streak once, not at every write.
  const auto& error = store_.lastWriteError();
  if (error != saveError()) saveError.set(error);
  if (auto notice = store_.takeNotice()) settingsNotice.set(std::move(notice));
}

std::optional<LinkSite> AppModel::selectedSite() const {
  if (!selectedID()) return std::nullopt;
  for (const auto& site : sites()) {
    if (site.id == *selectedID()) return site;
  }
  return std::nullopt;
}

void AppModel::select(const LinkSite& site) {
  // `site` may be an element of the list, which an observer of the selection could replace.
  const Uuid id = site.id;
  selectedID.set(id);
  storeString(SettingsKey::selected, id.toString());
}

std::string AppModel::siteName(std::string_view name, const std::string& normalizedAddress) const {
  std::string trimmedName = text::trimmed(name);
  if (!trimmedName.empty()) return trimmedName;
  auto parsed = parseUrl(normalizedAddress);
  if (parsed && parsed->host) return *parsed->host;
  return std::string(strings::defaultSiteName());
}

std::optional<std::string> AppModel::add(std::string_view name, std::string_view address) {
  auto normalized = Address::normalized(address);
  if (!normalized) return std::string(strings::invalidAddress());
  for (const auto& site : sites()) {
    if (text::canonicallyEqual(site.address, *normalized)) {
      LinkSite existing = site;
      select(existing);
      return std::nullopt;
    }
  }
  LinkSite site(siteName(name, *normalized), *normalized);
  auto list = sites();
  list.push_back(site);
  sites.set(std::move(list));
  saveSites();
  select(site);
  return std::nullopt;
}

std::optional<std::string> AppModel::update(const LinkSite& site, std::string_view name, std::string_view address) {
  auto normalized = Address::normalized(address);
  if (!normalized) return std::string(strings::invalidAddress());
  auto it = std::find_if(sites().begin(), sites().end(), [&](const LinkSite& s) { return s.id == site.id; });
  if (it == sites().end()) return std::string(strings::siteNotFound());
  auto index = static_cast<std::size_t>(it - sites().begin());
  std::string newName = siteName(name, *normalized);

  auto list = sites();
  const LinkSite previous = list[index];
  list[index].name = std::move(newName);
  list[index].address = *normalized;
  sites.set(std::move(list));
  saveSites();
  // Answers belong to an origin: a site moved to another one leaves its old answers behind.
  if (originOf(previous.address) != originOf(*normalized)) forgetPermissionsOf(previous);
  return std::nullopt;
}

void AppModel::remove(const LinkSite& site) {
  // `site` may be an element of the list replaced below: keep what is needed of it first.
  const Uuid id = site.id;
  auto list = sites();
  std::optional<LinkSite> removed;
  for (const auto& s : list) {
    if (s.id == id) removed = s;
  }
  std::erase_if(list, [&](const LinkSite& s) { return s.id == id; });
  sites.set(std::move(list));
  if (selectedID() == id) {
    selectedID.set(sites().empty() ? std::nullopt : std::optional<Uuid>(sites().front().id));
  }
  saveSites();
  // The site's answers go with it, unless another saved site shares its origin.
  if (removed) forgetPermissionsOf(*removed);
  markRead(id);
}

void AppModel::markUnread(const Uuid& id) {
  if (unreadSites->count(id)) return;
  const auto& list = sites();
  if (std::none_of(list.begin(), list.end(), [&](const LinkSite& site) { return site.id == id; })) return;
  auto marked = unreadSites();
  marked.insert(id);
  unreadSites.set(std::move(marked));
}

void AppModel::markRead(const Uuid& id) {
  if (!unreadSites->count(id)) return;
  auto marked = unreadSites();
  marked.erase(id);
  unreadSites.set(std::move(marked));
}

void AppModel::move(const LinkSite& site, int by) {
  auto it = std::find_if(sites().begin(), sites().end(), [&](const LinkSite& s) { return s.id == site.id; });
  if (it == sites().end()) return;
  auto source = static_cast<long long>(it - sites().begin());
  long long target = source + by;
  if (target < 0 || target >= static_cast<long long>(sites().size())) return;
  auto list = sites();
  std::swap(list[static_cast<std::size_t>(source)], list[static_cast<std::size_t>(target)]);
  sites.set(std::move(list));
  saveSites();
}

void AppModel::cycleSite(int by) {
  if (sites().empty()) return;
  auto count = static_cast<long long>(sites().size());
  long long current = 0;
  if (selectedID()) {
    for (long long i = 0; i < count; ++i) {
      if (sites()[static_cast<std::size_t>(i)].id == *selectedID()) {
        current = i;
        break;
      }
    }
  }
  // Steps larger than the list wrap as many times as needed.
  long long next = ((current + by) % count + count) % count;
  LinkSite site = sites()[static_cast<std::size_t>(next)];
  select(site);
}

std::optional<Shortcut> AppModel::shortcutFor(ShortcutAction action) const {
  switch (action) {
    case ShortcutAction::show:
      return shortcut();
    case ShortcutAction::nextSite:
      return nextShortcut();
    case ShortcutAction::previousSite:
      return previousShortcut();
  }
  return std::nullopt;
}

Published<std::optional<Shortcut>, AppModel>* AppModel::optionalShortcutField(ShortcutAction action) {
  if (action == ShortcutAction::nextSite) return &nextShortcut;
  if (action == ShortcutAction::previousSite) return &previousShortcut;
  return nullptr;
}

void AppModel::changeShortcut(const Shortcut& newShortcut, ShortcutAction action) {
  for (auto other : allShortcutActions) {
    if (other == action) continue;
    auto existing = shortcutFor(other);
    if (existing && *existing == newShortcut) {
      shortcutError.set(std::string(strings::duplicateShortcut()));
      return;
    }
  }
  if (onShortcutChange) {
    if (auto message = onShortcutChange(action, newShortcut)) {
      shortcutError.set(std::move(message));
      return;
    }
  }
  if (auto* field = optionalShortcutField(action)) {
    field->set(newShortcut);
  } else {
    shortcut.set(newShortcut);
  }
  if (auto json = newShortcut.encode()) {
    storeData(keyFor(action), *json);
  } else {
    removeStored(keyFor(action));
  }
  shortcutError.set(std::nullopt);
}

void AppModel::removeShortcut(ShortcutAction action) {
  auto* field = optionalShortcutField(action);
  if (!field) return;  // the show-panel combination cannot be removed
  if (onShortcutRemoval) onShortcutRemoval(action);
  field->set(std::nullopt);
  removeStored(keyFor(action));
  shortcutError.set(std::nullopt);
}

void AppModel::changePanelSize(std::optional<double> width, std::optional<double> height) {
  if (width) {
    panelWidth.set(clamp(*width, PanelLimits::minWidth, PanelLimits::maxWidth));
    storeDouble(SettingsKey::panelWidth, panelWidth());
  }
  if (height) {
    panelHeight.set(clamp(*height, PanelLimits::minHeight, PanelLimits::maxHeight));
    storeDouble(SettingsKey::panelHeight, panelHeight());
  }
  if (onPanelSizeChange) onPanelSizeChange();
}

void AppModel::changePageZoom(double zoom) {
  pageZoom.set(clamp(zoom, PanelLimits::minZoom, PanelLimits::maxZoom));
  storeDouble(SettingsKey::pageZoom, pageZoom());
}

void AppModel::changeLessMemory(bool on) {
  lessMemory.set(on);
  storeString(SettingsKey::lessMemory, on ? "true" : "false");
}

void AppModel::setGlobalKeysOffered(bool offered) {
  if (offered != globalKeysOffered()) globalKeysOffered.set(offered);
}

void AppModel::setDesktopBindings(std::optional<bool> bindings) {
  if (bindings != desktopBindings()) desktopBindings.set(bindings);
}

void AppModel::changeDesktopBindings(bool on) {
  if (shortcutError()) shortcutError.set(std::nullopt);
  if (!onDesktopBindingsChange) return;
  if (auto error = onDesktopBindingsChange(on)) shortcutError.set(std::move(error));
}

void AppModel::setRecordingShortcut(bool recording) {
  if (recording != isRecordingShortcut()) isRecordingShortcut.set(recording);
}

void AppModel::changeTheme(LinkTheme newTheme) {
  storeString(SettingsKey::theme, rawValue(newTheme));
  theme.set(newTheme);
}

}  // namespace vesk
