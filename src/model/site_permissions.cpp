#include "model/site_permissions.h"

#include <glib.h>

#include <algorithm>
#include <array>
#include <nlohmann/json.hpp>
#include <utility>

#include "model/glib_handles.h"
#include "model/strings.h"
#include "model/text.h"

namespace vesk {

namespace {

constexpr std::array<std::pair<PermissionKind, std::string_view>, 9> kindNames{{
    {PermissionKind::notifications, "notifications"},
    {PermissionKind::microphone, "microphone"},
    {PermissionKind::camera, "camera"},
    {PermissionKind::location, "location"},
    {PermissionKind::clipboard, "clipboard"},
    {PermissionKind::pointerLock, "pointer-lock"},
    {PermissionKind::mediaKeys, "media-keys"},
    {PermissionKind::deviceInfo, "device-info"},
    {PermissionKind::websiteData, "website-data"},
}};

std::optional<PermissionAnswer> answerNamed(std::string_view name) {
  if (name == "allow") return PermissionAnswer::allow;
  if (name == "block") return PermissionAnswer::block;
  return std::nullopt;
}

std::string_view kindLabel(const std::string& name) {
  auto kind = permissionKindNamed(name);
  if (!kind) return name;
  switch (*kind) {
    case PermissionKind::notifications:
      return strings::permissionNotifications();
    case PermissionKind::microphone:
      return strings::permissionMicrophone();
    case PermissionKind::camera:
      return strings::permissionCamera();
    case PermissionKind::location:
      return strings::permissionLocation();
    case PermissionKind::clipboard:
      return strings::permissionClipboard();
    case PermissionKind::pointerLock:
      return strings::permissionPointerLock();
    case PermissionKind::mediaKeys:
      return strings::permissionMediaKeys();
    case PermissionKind::deviceInfo:
      return strings::permissionDeviceInfo();
    case PermissionKind::websiteData:
      return strings::permissionWebsiteData();
  }
  return name;
}

}  // namespace

std::string permissionQuestion(const std::vector<PermissionKind>& kinds, std::string_view host) {
  const bool microphone = std::find(kinds.begin(), kinds.end(), PermissionKind::microphone) != kinds.end();
  const bool camera = std::find(kinds.begin(), kinds.end(), PermissionKind::camera) != kinds.end();
  if (microphone && camera) return strings::askMicrophoneAndCamera(host);
  switch (kinds.empty() ? PermissionKind::notifications : kinds.front()) {
    case PermissionKind::notifications:
      return strings::askNotifications(host);
    case PermissionKind::microphone:
      return strings::askMicrophone(host);
    case PermissionKind::camera:
      return strings::askCamera(host);
    case PermissionKind::location:
      return strings::askLocation(host);
    case PermissionKind::clipboard:
      return strings::askClipboard(host);
    case PermissionKind::pointerLock:
      return strings::askPointerLock(host);
    case PermissionKind::mediaKeys:
      return strings::askMediaKeys(host);
    case PermissionKind::deviceInfo:
      return strings::askDeviceInfo(host);
    case PermissionKind::websiteData:
      return strings::askWebsiteData(host);
  }
  return strings::askNotifications(host);
}

std::string SitePermissions::summary(const Answers& answers) {
  std::string allowed, blocked;
  // In the order of the kinds, then the unknown names.
  std::vector<std::string> names;
  for (const auto& [kind, name] : kindNames) names.emplace_back(name);
  for (const auto& [name, answer] : answers) {
    if (!permissionKindNamed(name)) names.push_back(name);
  }
  for (const auto& name : names) {
    auto found = answers.find(name);
    if (found == answers.end()) continue;
    std::string& list = found->second == PermissionAnswer::allow ? allowed : blocked;
    if (!list.empty()) list += strings::permissionListSeparator();
    list += kindLabel(name);
  }
  std::string line;
  if (!allowed.empty()) line = strings::allowedPermissions(allowed);
  if (!blocked.empty()) {
    if (!line.empty()) line += strings::permissionGroupSeparator();
    line += strings::blockedPermissions(blocked);
  }
  return line;
}

std::string_view permissionName(PermissionKind kind) {
  for (const auto& [known, name] : kindNames) {
    if (known == kind) return name;
  }
  return {};
}

std::optional<PermissionKind> permissionKindNamed(std::string_view name) {
  for (const auto& [kind, known] : kindNames) {
    if (known == name) return kind;
  }
  return std::nullopt;
}

std::string_view answerName(PermissionAnswer answer) { return answer == PermissionAnswer::allow ? "allow" : "block"; }

std::optional<std::string> originOf(std::string_view address) {
  const std::string text(address);
  GError* raw = nullptr;
  GUri* parsed = g_uri_parse(text.c_str(), G_URI_FLAGS_ENCODED, &raw);
  GErrorPtr error(raw);
  if (!parsed) return std::nullopt;
  std::unique_ptr<GUri, decltype(&g_uri_unref)> uri(parsed, &g_uri_unref);
  const std::string scheme = text::asciiLowercased(g_uri_get_scheme(uri.get()));
  const char* host = g_uri_get_host(uri.get());
  if ((scheme != "http" && scheme != "https") || !host || !*host) return std::nullopt;
  std::string origin = scheme + "://";
  // GLib gives an IPv6 literal without its brackets; the origin writes them, as browsers do.
  const bool ipv6 = std::string_view(host).find(':') != std::string_view::npos;
  origin += ipv6 ? "[" + text::asciiLowercased(host) + "]" : text::asciiLowercased(host);
  const int port = g_uri_get_port(uri.get());
  const int standard = scheme == "https" ? 443 : 80;
  if (port > 0 && port != standard) origin += ":" + std::to_string(port);
  return origin;
}

std::optional<SitePermissions> SitePermissions::parse(std::string_view json) {
  nlohmann::json root = nlohmann::json::parse(json, nullptr, false);
  if (root.is_discarded() || !root.is_object()) return std::nullopt;
  SitePermissions permissions;
  for (const auto& [origin, kinds] : root.items()) {
    if (!kinds.is_object()) return std::nullopt;
    Answers answers;
    for (const auto& [kind, answer] : kinds.items()) {
      if (!answer.is_string()) return std::nullopt;
      auto known = answerNamed(answer.get<std::string>());
      if (!known) return std::nullopt;
      answers[kind] = *known;
    }
    if (!answers.empty()) permissions.origins_[origin] = std::move(answers);
  }
  return permissions;
}

std::string SitePermissions::serialize() const {
  nlohmann::json root = nlohmann::json::object();
  for (const auto& [origin, answers] : origins_) {
    nlohmann::json kinds = nlohmann::json::object();
    for (const auto& [kind, answer] : answers) kinds[kind] = answerName(answer);
    root[origin] = std::move(kinds);
  }
  // Origins and kind names may hold any text a hand-edited file gave them.
  return root.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::optional<PermissionAnswer> SitePermissions::answerFor(std::string_view origin,
                                                           const std::vector<PermissionKind>& kinds) const {
  auto found = origins_.find(origin);
  if (found == origins_.end() || kinds.empty()) return std::nullopt;
  bool allAllowed = true;
  for (PermissionKind kind : kinds) {
    auto answer = found->second.find(std::string(permissionName(kind)));
    if (answer == found->second.end()) {
      allAllowed = false;
    } else if (answer->second == PermissionAnswer::block) {
      return PermissionAnswer::block;
    }
  }
  return allAllowed ? std::optional(PermissionAnswer::allow) : std::nullopt;
}

SitePermissions::Answers SitePermissions::answersOf(std::string_view origin) const {
  auto found = origins_.find(origin);
  return found == origins_.end() ? Answers{} : found->second;
}

std::vector<std::string> SitePermissions::originsWith(PermissionKind kind, PermissionAnswer answer) const {
  std::vector<std::string> origins;
  const std::string name(permissionName(kind));
  for (const auto& [origin, answers] : origins_) {
    auto found = answers.find(name);
    if (found != answers.end() && found->second == answer) origins.push_back(origin);
  }
  return origins;
}

void SitePermissions::remember(std::string_view origin, const std::vector<PermissionKind>& kinds,
                               PermissionAnswer answer) {
  if (origin.empty() || kinds.empty()) return;
  auto& answers = origins_[std::string(origin)];
  for (PermissionKind kind : kinds) answers[std::string(permissionName(kind))] = answer;
}

bool SitePermissions::set(std::string_view origin, std::string_view kind, std::optional<PermissionAnswer> answer) {
  if (origin.empty() || kind.empty()) return false;
  auto found = origins_.find(origin);
  if (!answer) {
    if (found == origins_.end() || found->second.erase(std::string(kind)) == 0) return false;
    if (found->second.empty()) origins_.erase(found);
    return true;
  }
  auto& answers = origins_[std::string(origin)];
  auto [at, added] = answers.try_emplace(std::string(kind), *answer);
  if (added || at->second == *answer) return added;
  at->second = *answer;
  return true;
}

bool SitePermissions::forget(std::string_view origin) {
  auto found = origins_.find(origin);
  if (found == origins_.end()) return false;
  origins_.erase(found);
  return true;
}

std::optional<std::string> SitePermissions::originLeftBy(const LinkSite& removed,
                                                         const std::vector<LinkSite>& remaining) const {
  auto origin = originOf(removed.address);
  if (!origin || !origins_.count(*origin)) return std::nullopt;
  const bool shared = std::any_of(remaining.begin(), remaining.end(), [&](const LinkSite& site) {
    return site.id != removed.id && originOf(site.address) == origin;
  });
  if (shared) return std::nullopt;
  return origin;
}

}  // namespace vesk
