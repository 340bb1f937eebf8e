// Key combinations, the actions they trigger, and the panel's colour themes.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vesk {

// Modifier bits of a stored combination.
namespace ModifierMask {
inline constexpr std::uint32_t command = 0x100;
inline constexpr std::uint32_t shift = 0x200;
inline constexpr std::uint32_t option = 0x800;
inline constexpr std::uint32_t control = 0x1000;
}  // namespace ModifierMask

// Key codes of the stored numbering that the system refers to by value.
namespace KeyCode {
inline constexpr std::uint16_t space = 49;
inline constexpr std::uint16_t escape = 53;
inline constexpr std::uint16_t y = 16;
inline constexpr std::uint16_t z = 6;
}  // namespace KeyCode

// What Shortcut::from reads from a key press; the platform layer fills it.
struct KeyEventRecord {
  bool control = false;
  bool option = false;
  bool shift = false;
  bool command = false;
  std::uint16_t keyCode = 0;
  // The characters the key produces with at most shift applied; absent when the platform reports none.
  std::optional<std::string> charactersIgnoringModifiers;
};

struct Shortcut {
  std::uint32_t keyCode = 0;
  std::uint32_t modifiers = 0;
  std::string label;

  // Control + option + space, "⌃⌥ Space".
  static Shortcut standard();
  // The combination a key press makes, or absent when it holds none of control, option and command.
  static std::optional<Shortcut> from(const KeyEventRecord& event);

  // Compact JSON {"keyCode","modifiers","label"}; absent when the label is not valid UTF-8.
  std::optional<std::string> encode() const;
  static std::optional<Shortcut> decode(std::string_view json);

  // The combination as the desktop shows it: "Ctrl+Alt+Space", modifiers from the mask in the
  // order Ctrl, Alt, Shift, Super, then the key name from the label. A label not in the stored
  // form (edited by hand) is shown as it stands. The label itself is never changed.
  std::string displayText() const;

  bool operator==(const Shortcut& other) const;
};

enum class ShortcutAction : std::uint32_t { show = 1, nextSite = 2, previousSite = 3 };

inline constexpr std::array<ShortcutAction, 3> allShortcutActions{ShortcutAction::show, ShortcutAction::nextSite,
                                                                  ShortcutAction::previousSite};
inline constexpr std::uint32_t rawValue(ShortcutAction action) { return static_cast<std::uint32_t>(action); }
std::optional<ShortcutAction> shortcutActionFromRaw(std::uint32_t raw);
std::string_view title(ShortcutAction action);

enum class LinkTheme { graphite, midnight, obsidian };

inline constexpr std::array<LinkTheme, 3> allLinkThemes{LinkTheme::graphite, LinkTheme::midnight, LinkTheme::obsidian};
std::string_view rawValue(LinkTheme theme);
std::optional<LinkTheme> linkThemeFromRaw(std::string_view raw);
std::string title(LinkTheme theme);
std::string_view detail(LinkTheme theme);

}  // namespace vesk
