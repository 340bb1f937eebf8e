#include "model/shortcut.h"

#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>

#include "model/strings.h"
#include "model/text.h"

namespace vesk {

using nlohmann::json;
using nlohmann::ordered_json;

Shortcut Shortcut::standard() {
  return Shortcut{KeyCode::space, ModifierMask::control | ModifierMask::option, "⌃⌥ Space"};
}

std::optional<Shortcut> Shortcut::from(const KeyEventRecord& event) {
  std::uint32_t mask = 0;
  std::string symbols;
  if (event.control) mask |= ModifierMask::control, symbols += "⌃";
  if (event.option) mask |= ModifierMask::option, symbols += "⌥";
  if (event.shift) mask |= ModifierMask::shift, symbols += "⇧";
  if (event.command) mask |= ModifierMask::command, symbols += "⌘";
  if (!event.control && !event.option && !event.command) return std::nullopt;

  std::string keyName;
  if (event.keyCode == KeyCode::space) {
    keyName = "Space";
  } else if (event.charactersIgnoringModifiers) {
    keyName = text::uppercased(*event.charactersIgnoringModifiers);
  } else {
    keyName = "Key";
  }
  if (keyName.empty()) return std::nullopt;
  return Shortcut{event.keyCode, mask, symbols + " " + keyName};
}

namespace {
// The stored label's modifier symbols, in their stored order.
constexpr std::string_view modifierSymbols[] = {"⌃", "⌥", "⇧", "⌘"};

// The key name of a label in the stored form (modifier symbols, one blank, the key name).
std::optional<std::string_view> storedKeyName(std::string_view label) {
  std::string_view rest = label;
  for (bool found = true; found;) {
    found = false;
    for (std::string_view symbol : modifierSymbols) {
      if (rest.starts_with(symbol)) {
        rest.remove_prefix(symbol.size());
        found = true;
      }
    }
  }
  if (!rest.starts_with(' ') || rest.size() < 2) return std::nullopt;
  return rest.substr(1);
}
}  // namespace

std::string Shortcut::displayText() const {
  auto keyName = storedKeyName(label);
  if (!keyName) return label;
  std::string key(*keyName);
  if (keyCode == KeyCode::space && key == "Space") key = strings::keySpace();
  const std::pair<std::uint32_t, std::string_view> names[] = {
      {ModifierMask::control, strings::keyControl()},
      {ModifierMask::option, strings::keyAlt()},
      {ModifierMask::shift, strings::keyShift()},
      {ModifierMask::command, strings::keySuper()},
  };
  // Built from the key outwards so each join is one translatable combination.
  std::string shown = key;
  for (auto it = std::rbegin(names); it != std::rend(names); ++it) {
    if (modifiers & it->first) shown = strings::keyCombination(it->second, shown);
  }
  return shown;
}

std::optional<std::string> Shortcut::encode() const {
  ordered_json object = ordered_json::object();
  object["keyCode"] = keyCode;
  object["modifiers"] = modifiers;
  object["label"] = label;
  try {
    return object.dump();
  } catch (const json::exception&) {
    return std::nullopt;
  }
}

namespace {
// A JSON number that is a whole value in the unsigned 32-bit range.
std::optional<std::uint32_t> uint32Member(const json& object, const char* key) {
  auto it = object.find(key);
  if (it == object.end()) return std::nullopt;
  constexpr auto max = std::numeric_limits<std::uint32_t>::max();
  if (it->is_number_unsigned()) {
    auto value = it->get<std::uint64_t>();
    if (value > max) return std::nullopt;
    return static_cast<std::uint32_t>(value);
  }
  if (it->is_number_integer()) {
    auto value = it->get<std::int64_t>();
    if (value < 0 || value > static_cast<std::int64_t>(max)) return std::nullopt;
    return static_cast<std::uint32_t>(value);
  }
  if (it->is_number_float()) {
    double value = it->get<double>();
    if (!(value >= 0 && value <= max) || std::floor(value) != value) return std::nullopt;
    return static_cast<std::uint32_t>(value);
  }
  return std::nullopt;
}
}  // namespace

std::optional<Shortcut> Shortcut::decode(std::string_view text) {
  json value = json::parse(text.begin(), text.end(), nullptr, false);
  if (value.is_discarded() || !value.is_object()) return std::nullopt;
  auto keyCode = uint32Member(value, "keyCode");
  auto modifiers = uint32Member(value, "modifiers");
  auto label = value.find("label");
  if (!keyCode || !modifiers || label == value.end() || !label->is_string()) return std::nullopt;
  return Shortcut{*keyCode, *modifiers, label->get<std::string>()};
}

bool Shortcut::operator==(const Shortcut& other) const {
  return keyCode == other.keyCode && modifiers == other.modifiers && text::canonicallyEqual(label, other.label);
}

std::optional<ShortcutAction> shortcutActionFromRaw(std::uint32_t raw) {
  for (auto action : allShortcutActions) {
    if (rawValue(action) == raw) return action;
  }
  return std::nullopt;
}

std::string_view title(ShortcutAction action) {
  switch (action) {
    case ShortcutAction::show:
      return strings::showVesk();
    case ShortcutAction::nextSite:
      return strings::nextWebsite();
    case ShortcutAction::previousSite:
      return strings::previousWebsite();
  }
  return "";
}

std::string_view rawValue(LinkTheme theme) {
  switch (theme) {
    case LinkTheme::graphite:
      return "graphite";
    case LinkTheme::midnight:
      return "midnight";
    case LinkTheme::obsidian:
      return "obsidian";
  }
  return "graphite";
}

std::optional<LinkTheme> linkThemeFromRaw(std::string_view raw) {
  for (auto theme : allLinkThemes) {
    if (text::canonicallyEqual(rawValue(theme), raw)) return theme;
  }
  return std::nullopt;
}

std::string title(LinkTheme theme) {
  // The raw value capitalised: first letter of each word upper case, the rest lower case.
  std::string out(rawValue(theme));
  bool startOfWord = true;
  for (char& c : out) {
    if (c == ' ') {
      startOfWord = true;
      continue;
    }
    c = startOfWord ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : text::asciiLowercased(c);
    startOfWord = false;
  }
  return out;
}

std::string_view detail(LinkTheme theme) {
  switch (theme) {
    case LinkTheme::graphite:
      return strings::themeGraphiteDetail();
    case LinkTheme::midnight:
      return strings::themeMidnightDetail();
    case LinkTheme::obsidian:
      return strings::themeObsidianDetail();
  }
  return "";
}

}  // namespace vesk
