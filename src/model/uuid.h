// A 128-bit UUID with the canonical 8-4-4-4-12 text form.
#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vesk {

class Uuid {
 public:
  Uuid() = default;  // the nil UUID

  // A fresh random (version 4) UUID.
  static Uuid random();
  // Parses the canonical 36-character form, in either letter case.
  static std::optional<Uuid> parse(std::string_view text);

  // The canonical form in upper case.
  std::string toString() const;

  auto operator<=>(const Uuid&) const = default;
  bool operator==(const Uuid&) const = default;

 private:
  std::array<std::uint8_t, 16> bytes_{};
};

}  // namespace vesk
