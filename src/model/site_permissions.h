// What the user answered when a website asked for a permission (notifications, the microphone,
// the camera, the location, ...), kept per origin: reading an address's origin, the stored JSON
// form, looking an answer up and what a removed site takes with it.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/link_site.h"

namespace vesk {

// What a page may ask for. The microphone and the camera asked together are two kinds answered at
// once.
enum class PermissionKind {
  notifications,
  microphone,
  camera,
  location,
  clipboard,    // reading the clipboard from the page's script
  pointerLock,  // hiding the mouse pointer and taking its movements (games, remote desktops)
  mediaKeys,    // a key system for protected media
  deviceInfo,   // the names of the microphones and cameras
  websiteData,  // cookies and data of another site while this one is shown
};

enum class PermissionAnswer { allow, block };

// The kind's name in the stored form ("notifications", "microphone", "pointer-lock", ...).
std::string_view permissionName(PermissionKind kind);
std::optional<PermissionKind> permissionKindNamed(std::string_view name);
std::string_view answerName(PermissionAnswer answer);

// The origin of an http or https address as answers are kept under it: "scheme://host", with
// ":port" only when the port is not the scheme's default; scheme and host lower-case, an IPv6 host
// in brackets. Absent for other schemes and for texts that are not absolute addresses: such pages
// are refused without asking.
std::optional<std::string> originOf(std::string_view address);

// The question a page's request puts to the user: "<host> wants to use your microphone".
std::string permissionQuestion(const std::vector<PermissionKind>& kinds, std::string_view host);

class SitePermissions {
 public:
  // Kind name → answer. Names this version does not know are kept as they were stored.
  using Answers = std::map<std::string, PermissionAnswer>;

  // Reads the stored JSON object {"origin": {"kind": "allow" | "block"}}; absent when the text is
  // not such an object (the caller keeps it aside).
  static std::optional<SitePermissions> parse(std::string_view json);
  std::string serialize() const;

  bool empty() const { return origins_.empty(); }
  // The stored answer for a request of every kind in `kinds`: block when any of them is blocked,
  // allow when all are allowed, absent (ask) otherwise.
  std::optional<PermissionAnswer> answerFor(std::string_view origin, const std::vector<PermissionKind>& kinds) const;
  // The origin's answers, empty when there are none.
  Answers answersOf(std::string_view origin) const;
  // The origins that have `answer` for `kind`.
  std::vector<std::string> originsWith(PermissionKind kind, PermissionAnswer answer) const;

  void remember(std::string_view origin, const std::vector<PermissionKind>& kinds, PermissionAnswer answer);
  // Forgets every answer of `origin`; false when it had none.
  bool forget(std::string_view origin);
  // Sets the answer of one kind, named as stored ("notifications"); absent forgets it, so the site
  // asks again, and an origin left without answers goes. False when nothing changed.
  bool set(std::string_view origin, std::string_view kind, std::optional<PermissionAnswer> answer);

  // The origin whose answers go when `removed` leaves the list and `remaining` stays: the removed
  // site's own origin, unless another remaining site shares it (their answers are that site's
  // too). Absent when nothing goes.
  std::optional<std::string> originLeftBy(const LinkSite& removed, const std::vector<LinkSite>& remaining) const;

  // One line listing an origin's answers, "Allowed: notifications · Blocked: microphone"; empty
  // without answers. Kinds this version does not know are listed by their stored names.
  static std::string summary(const Answers& answers);

  bool operator==(const SitePermissions&) const = default;

 private:
  std::map<std::string, Answers, std::less<>> origins_;
};

}  // namespace vesk
