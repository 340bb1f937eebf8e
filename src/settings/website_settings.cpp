#include "settings/website_settings.h"

#include <map>

#include "model/text.h"

namespace vesk {
namespace {

std::optional<Uuid> idOf(const std::optional<LinkSite>& site) {
  if (!site) return std::nullopt;
  return site->id;
}

}  // namespace

std::string siteRowHost(const LinkSite& site) {
  auto host = site.host();
  return host.empty() ? site.address : host;
}

bool isFirstSite(const AppModel& model, const LinkSite& site) {
  return !model.sites->empty() && model.sites->front().id == site.id;
}

bool isLastSite(const AppModel& model, const LinkSite& site) {
  return !model.sites->empty() && model.sites->back().id == site.id;
}

std::string editTooltip(const LinkSite& site) { return strings::editSite(site.shownName()); }
std::string removeTooltip(const LinkSite& site) { return strings::removeSite(site.shownName()); }

bool nameTooLong(std::string_view name) { return text::codePointCount(text::trimmed(name)) > maxSiteNameLength; }

void SiteEditorState::appear() {
  name = existing_ ? existing_->name : std::string();
  address = existing_ ? existing_->address : std::string();
}

void SiteEditorState::setExisting(std::optional<LinkSite> existing) {
  bool changed = idOf(existing) != idOf(existing_);
  existing_ = std::move(existing);
  if (!changed) return;
  appear();
  error.reset();
}

bool SiteEditorState::save() {
  if (nameTooLong(name)) {
    error = std::string(strings::siteNameTooLong());
    return false;
  }
  error = existing_ ? model_.update(*existing_, name, address) : model_.add(name, address);
  return !error.has_value();
}

std::vector<SitePermissionChoice> sitePermissionChoices(const AppModel& model, const LinkSite& site) {
  auto origin = originOf(site.address);
  if (!origin) return {};
  const std::string notifications(permissionName(PermissionKind::notifications));
  std::map<std::string, std::optional<PermissionAnswer>> answers{{notifications, std::nullopt}};
  for (const auto& [kind, answer] : model.permissions().answersOf(*origin)) answers[kind] = answer;
  std::vector<SitePermissionChoice> choices;
  for (const auto& [kind, answer] : answers) {
    auto known = permissionKindNamed(kind);
    SitePermissionChoice choice{kind, known ? std::string(strings::permissionTitle(*known)) : kind, answer};
    // Notifications first, the rest in the stored order.
    choices.insert(kind == notifications ? choices.begin() : choices.end(), std::move(choice));
  }
  return choices;
}

std::vector<SitePermissionChoice> SiteEditorState::permissionChoices() const {
  return existing_ ? sitePermissionChoices(model_, *existing_) : std::vector<SitePermissionChoice>{};
}

void SiteEditorState::choosePermission(const std::string& kind, std::optional<PermissionAnswer> answer) {
  if (!existing_) return;
  if (auto origin = originOf(existing_->address)) model_.setPermission(*origin, kind, answer);
}

std::vector<SitePermissionLine> sitePermissionLines(const AppModel& model) {
  std::vector<SitePermissionLine> lines;
  for (const auto& site : model.sites()) {
    auto origin = originOf(site.address);
    if (!origin) continue;
    auto answers = model.permissions().answersOf(*origin);
    if (answers.empty()) continue;
    lines.push_back({site, *origin, SitePermissions::summary(answers)});
  }
  return lines;
}

}  // namespace vesk
