// A saved website record and the normalisation of typed or pasted web addresses.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/uuid.h"

namespace vesk {

// How many characters of a name the lists show (and the longest name the site editor accepts).
inline constexpr std::size_t shownNameLength = 200;

struct LinkSite {
  Uuid id = Uuid::random();
  std::string name;
  std::string address;

  LinkSite() = default;
  LinkSite(std::string name, std::string address) : name(std::move(name)), address(std::move(address)) {}
  LinkSite(Uuid id, std::string name, std::string address)
      : id(id), name(std::move(name)), address(std::move(address)) {}

  // The address when it parses as an RFC 3986 reference.
  std::optional<std::string> url() const;
  // The address's host as written, or the whole address when it has none.
  std::string host() const;

  // The name as one line of a list: at most `shownNameLength` characters, then "…"; the stored
  // name stays as it is.
  std::string shownName() const;

  // Equal when id, name and address are equal (texts compared canonically).
  bool operator==(const LinkSite& other) const;
};

// Compact JSON array of {"id","name","address"} objects; absent when a text is not valid UTF-8.
std::optional<std::string> encodeSites(const std::vector<LinkSite>& sites);
// Strict decoding: a single bad element makes the whole array undecodable.
std::optional<std::vector<LinkSite>> decodeSites(std::string_view json);
std::optional<std::string> encodeSite(const LinkSite& site);
std::optional<LinkSite> decodeSite(std::string_view json);

namespace Address {
// The longest address accepted, in bytes: the length RFC 9110 asks every client and server to
// support at least (8000 octets). Longer texts are not taken for addresses, and search works on
// at most one character more (`searchQueryLimit`), so that a cut text is never taken for one.
inline constexpr std::size_t maxLength = 8000;
// Turns typed or pasted text into an http(s) address, or absent when it is not one (also when it
// is longer than `maxLength`).
std::optional<std::string> normalized(std::string_view text);
}  // namespace Address

}  // namespace vesk
