#include "panel/symbols.h"

#include <array>
#include <cmath>
#include <utility>

namespace vesk {

namespace {

constexpr std::array<std::pair<std::string_view, std::string_view>, 23> symbolTable{{
    {"link", "insert-link-symbolic"},
    {"chevron.down", "pan-down-symbolic"},
    {"chevron.left", "go-previous-symbolic"},
    {"chevron.right", "go-next-symbolic"},
    {"plus", "list-add-symbolic"},
    {"magnifyingglass", "system-search-symbolic"},
    {"gearshape", "emblem-system-symbolic"},
    {"arrow.left", "go-previous-symbolic"},
    {"xmark", "window-close-symbolic"},
    {"xmark.circle.fill", "edit-clear-symbolic"},
    {"checkmark", "object-select-symbolic"},
    {"globe", "web-browser-symbolic"},
    {"wifi.exclamationmark", "network-wireless-no-route-symbolic"},
    {"arrow.clockwise", "view-refresh-symbolic"},
    {"doc.on.doc", "edit-copy-symbolic"},
    {"doc.on.clipboard", "edit-paste-symbolic"},
    {"arrow.up.right.square", "send-to-symbolic"},
    {"return", "mail-reply-sender-symbolic"},
    {"square.and.arrow.up", "document-send-symbolic"},
    {"trash", "user-trash-symbolic"},
    {"arrow.up", "go-up-symbolic"},
    {"arrow.down", "go-down-symbolic"},
    {"pencil", "document-edit-symbolic"},
}};

}  // namespace

std::string_view symbolIconName(std::string_view symbol) {
  for (const auto& [name, icon] : symbolTable) {
    if (name == symbol) return icon;
  }
  return "image-missing";
}

int symbolPixelSize(double points) { return static_cast<int>(std::lround(points * 1.15)); }

}  // namespace vesk
