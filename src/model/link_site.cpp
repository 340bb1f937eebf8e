#include "model/link_site.h"

#include <nlohmann/json.hpp>

#include "model/text.h"
#include "model/url.h"

namespace vesk {

using nlohmann::json;
using nlohmann::ordered_json;

std::optional<std::string> LinkSite::url() const {
  if (!parseUrl(address)) return std::nullopt;
  return address;
}

std::string LinkSite::host() const {
  auto parsed = parseUrl(address);
  if (parsed && parsed->host) return *parsed->host;
  return address;
}

std::string LinkSite::shownName() const { return text::shownOnOneLine(name, shownNameLength); }

bool LinkSite::operator==(const LinkSite& other) const {
  return id == other.id && text::canonicallyEqual(name, other.name) && text::canonicallyEqual(address, other.address);
}

namespace {

ordered_json toJson(const LinkSite& site) {
  ordered_json object = ordered_json::object();
  object["id"] = site.id.toString();
  object["name"] = site.name;
  object["address"] = site.address;
  return object;
}

std::optional<LinkSite> fromJson(const json& value) {
  if (!value.is_object()) return std::nullopt;
  auto id = value.find("id");
  auto name = value.find("name");
  auto address = value.find("address");
  if (id == value.end() || name == value.end() || address == value.end()) return std::nullopt;
  if (!id->is_string() || !name->is_string() || !address->is_string()) return std::nullopt;
  auto uuid = Uuid::parse(id->get_ref<const std::string&>());
  if (!uuid) return std::nullopt;
  return LinkSite(*uuid, name->get<std::string>(), address->get<std::string>());
}

std::optional<std::string> dump(const ordered_json& value) {
  try {
    return value.dump();
  } catch (const json::exception&) {
    return std::nullopt;  // a text that is not valid UTF-8
  }
}

}  // namespace

std::optional<std::string> encodeSites(const std::vector<LinkSite>& sites) {
  ordered_json array = ordered_json::array();
  for (const auto& site : sites) array.push_back(toJson(site));
  return dump(array);
}

std::optional<std::vector<LinkSite>> decodeSites(std::string_view text) {
  json value = json::parse(text.begin(), text.end(), nullptr, false);
  if (value.is_discarded() || !value.is_array()) return std::nullopt;
  std::vector<LinkSite> sites;
  sites.reserve(value.size());
  for (const auto& element : value) {
    auto site = fromJson(element);
    if (!site) return std::nullopt;
    sites.push_back(std::move(*site));
  }
  return sites;
}

std::optional<std::string> encodeSite(const LinkSite& site) { return dump(toJson(site)); }

std::optional<LinkSite> decodeSite(std::string_view text) {
  json value = json::parse(text.begin(), text.end(), nullptr, false);
  if (value.is_discarded()) return std::nullopt;
  return fromJson(value);
}

std::optional<std::string> Address::normalized(std::string_view input) {
  std::string candidate = text::trimmed(input);
  if (candidate.empty() || candidate.size() > maxLength) return std::nullopt;
  if (candidate.find("://") == std::string::npos) candidate = "https://" + candidate;
  auto parsed = parseUrl(candidate);
  if (!parsed) return std::nullopt;
  if (parsed->scheme != "https" && parsed->scheme != "http") return std::nullopt;
  if (!parsed->host) return std::nullopt;
  if (parsed->host->find('.') == std::string::npos && *parsed->host != "localhost") return std::nullopt;
  // Components are kept exactly as typed, so the accepted text is the address itself.
  return candidate;
}

}  // namespace vesk
