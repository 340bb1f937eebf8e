// The Websites tab in plain C++: the list rows' rules and the site editor's own state with its
// refill and save rules. Whether the editor is open, and for which site, is the panel state's
// (`VeskViewState::openSiteEditor`).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/app_model.h"
#include "model/strings.h"

namespace vesk {

// The second line of a site row: the address's host, or the whole address when it has none.
std::string siteRowHost(const LinkSite& site);
bool isFirstSite(const AppModel& model, const LinkSite& site);
bool isLastSite(const AppModel& model, const LinkSite& site);
std::string editTooltip(const LinkSite& site);
// The longest name the editor accepts, in Unicode code points after trimming (what the model
// would store); the lists show no more than this of any name.
inline constexpr std::size_t maxSiteNameLength = shownNameLength;
bool nameTooLong(std::string_view name);
std::string removeTooltip(const LinkSite& site);

// A saved site whose origin has stored permission answers, as the Websites tab lists it.
struct SitePermissionLine {
  LinkSite site;
  std::string origin;
  std::string summary;  // "Allowed: notifications · Blocked: microphone"
};
// The lines for every saved site with answers, in list order. Sites that share an origin share
// its answers, and each lists them.
std::vector<SitePermissionLine> sitePermissionLines(const AppModel& model);

// One kind of a site's stored answers as its editor offers it: Allow, Block or Ask (no answer).
struct SitePermissionChoice {
  std::string kind;   // as stored: "notifications"
  std::string title;  // "Notifications"; a kind this version does not know shows its stored name
  std::optional<PermissionAnswer> answer;
  bool operator==(const SitePermissionChoice&) const = default;
};
// Each kind the site's origin has an answer for, and notifications always: a site refused them
// once often never asks again, so the user can allow them here. Empty for an address without an
// origin.
std::vector<SitePermissionChoice> sitePermissionChoices(const AppModel& model, const LinkSite& site);

// The form's own state. It lives only while the form is on screen.
class SiteEditorState {
 public:
  SiteEditorState(AppModel& model, std::optional<LinkSite> existing) : model_(model), existing_(std::move(existing)) {}

  // When the form appears: the fields take the site's stored name and address, or stay empty.
  void appear();
  // The site open in the form changed (another site, or add mode): refill and drop the message.
  // Nothing happens when the identity is the same.
  void setExisting(std::optional<LinkSite> existing);

  // Adds or updates with the texts exactly as typed; the model's message, if any, is kept.
  // Returns true when the model accepted them.
  bool save();

  // The stored site's answers, and changing one: stored at once, not on save (a site that gave up
  // asking learns it when its page next loads).
  std::vector<SitePermissionChoice> permissionChoices() const;
  void choosePermission(const std::string& kind, std::optional<PermissionAnswer> answer);

  const std::optional<LinkSite>& existing() const { return existing_; }
  std::string_view title() const { return existing_ ? strings::editWebsite() : strings::addWebsite(); }
  std::string_view saveCaption() const { return existing_ ? strings::saveChanges() : strings::addSite(); }

  std::string name;
  std::string address;
  std::optional<std::string> error;

 private:
  AppModel& model_;
  std::optional<LinkSite> existing_;
};

}  // namespace vesk
