#include <gtest/gtest.h>

#include "model/app_model.h"
#include "model/site_permissions.h"
#include "support/memory_settings_store.h"

namespace vesk {
namespace {

using Kinds = std::vector<PermissionKind>;
constexpr auto allow = PermissionAnswer::allow;
constexpr auto block = PermissionAnswer::block;

TEST(SitePermissions, OriginsStoredFormLookupAndRemoval) {
  // The origin of an address: scheme, host and a port only when it is not the scheme's default.
  const std::vector<std::pair<std::string, std::optional<std::string>>> origins{
      {"https://Mail.Example.com/inbox?x=1#y", "https://mail.example.com"},
      {"https://mail.example.com:443/", "https://mail.example.com"},
      {"http://127.0.0.1:8080/page", "http://127.0.0.1:8080"},
      {"http://example.com:80", "http://example.com"},
      {"https://example.com:80/", "https://example.com:80"},
      {"http://user:pw@[::1]:9000/", "http://[::1]:9000"},
      {"HTTP://EXAMPLE.COM", "http://example.com"},
      {"file:///etc/passwd", std::nullopt},
      {"about:blank", std::nullopt},
      {"data:text/html,hi", std::nullopt},
      {"example.com/no-scheme", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& [address, origin] : origins) EXPECT_EQ(originOf(address), origin) << address;

  // What the stored key may hold: unreadable values give nothing (the model keeps them aside);
  // unknown kind names survive a round trip.
  const std::vector<std::pair<std::string, bool>> stored{
      {R"({"https://a.com":{"notifications":"allow","microphone":"block"}})", true},
      {R"({"http://127.0.0.1:8080":{"camera":"allow","future-kind":"block"}})", true},
      {R"({})", true},
      {R"({"https://a.com":{}})", true},
      {R"([])", false},
      {R"({"https://a.com":"allow"})", false},
      {R"({"https://a.com":{"camera":"maybe"}})", false},
      {R"({"https://a.com":{"camera":true}})", false},
      {R"({"https://a.com":)", false},
      {"", false},
  };
  for (const auto& [json, readable] : stored) {
    auto parsed = SitePermissions::parse(json);
    EXPECT_EQ(parsed.has_value(), readable) << json;
    if (parsed) {
      EXPECT_EQ(SitePermissions::parse(parsed->serialize()), parsed) << json;
    }
  }
  auto kept = SitePermissions::parse(R"({"http://127.0.0.1:8080":{"camera":"allow","future-kind":"block"}})");
  EXPECT_EQ(kept->serialize(), R"({"http://127.0.0.1:8080":{"camera":"allow","future-kind":"block"}})");

  // Looking answers up: a request of two kinds is allowed only when both are, blocked when either is.
  SitePermissions permissions;
  permissions.remember("https://a.com", {PermissionKind::notifications}, allow);
  permissions.remember("https://a.com", {PermissionKind::microphone}, block);
  permissions.remember("https://b.com", {PermissionKind::microphone, PermissionKind::camera}, allow);
  const std::vector<std::tuple<std::string, Kinds, std::optional<PermissionAnswer>>> lookups{
      {"https://a.com", {PermissionKind::notifications}, allow},
      {"https://a.com", {PermissionKind::microphone}, block},
      {"https://a.com", {PermissionKind::camera}, std::nullopt},
      {"https://a.com", {PermissionKind::microphone, PermissionKind::camera}, block},
      {"https://b.com", {PermissionKind::microphone, PermissionKind::camera}, allow},
      {"https://b.com", {PermissionKind::camera}, allow},
      {"https://b.com:8443", {PermissionKind::camera}, std::nullopt},
      {"http://b.com", {PermissionKind::camera}, std::nullopt},
      {"https://c.com", {PermissionKind::location}, std::nullopt},
      {"https://a.com", {}, std::nullopt},
  };
  for (const auto& [origin, kinds, answer] : lookups) {
    EXPECT_EQ(permissions.answerFor(origin, kinds), answer) << origin << " " << kinds.size();
  }
  EXPECT_EQ(permissions.serialize(), R"({"https://a.com":{"microphone":"block","notifications":"allow"},)"
                                     R"("https://b.com":{"camera":"allow","microphone":"allow"}})");
  EXPECT_EQ(permissions.originsWith(PermissionKind::notifications, allow), std::vector<std::string>{"https://a.com"});
  EXPECT_EQ(SitePermissions::summary(permissions.answersOf("https://a.com")),
            "Allowed: notifications \u00b7 Blocked: microphone");
  EXPECT_EQ(SitePermissions::summary(permissions.answersOf("https://b.com")), "Allowed: microphone, camera");
  EXPECT_EQ(SitePermissions::summary(permissions.answersOf("https://c.com")), "");

  // A removed site takes its origin's answers, unless another remaining site shares the origin.
  LinkSite mail{"Mail", "https://a.com/mail"}, calendar{"Calendar", "https://a.com/calendar"};
  LinkSite other{"Other", "https://b.com"}, plain{"Plain", "https://c.com"};
  EXPECT_EQ(permissions.originLeftBy(mail, {calendar, other}), std::nullopt);
  EXPECT_EQ(permissions.originLeftBy(mail, {mail, other}), "https://a.com");
  EXPECT_EQ(permissions.originLeftBy(other, {mail}), "https://b.com");
  EXPECT_EQ(permissions.originLeftBy(plain, {}), std::nullopt);
  EXPECT_TRUE(permissions.forget("https://a.com"));
  EXPECT_FALSE(permissions.forget("https://a.com"));
  EXPECT_EQ(permissions.answerFor("https://a.com", {PermissionKind::notifications}), std::nullopt);
}

// The model keeps the answers under their key, keeps an unreadable value aside and lets a removed
// or moved site's answers go.
TEST(SitePermissions, ModelStoresKeepsAsideAndForgets) {
  testing::MemorySettingsStore store;
  LinkSite mail{"Mail", "https://a.com/mail"}, calendar{"Calendar", "https://a.com/calendar"};
  LinkSite chat{"Chat", "http://127.0.0.1:8080/"};
  store.seed("vesk.sites.v1", *encodeSites({mail, calendar, chat}));
  store.seed("vesk.permissions.v1", R"({"https://a.com":{"camera":"sometimes"}})");
  AppModel model(store);
  ASSERT_EQ(store.keptAside.size(), 1u);
  EXPECT_EQ(store.keptAside[0].first, "vesk.permissions.v1");
  EXPECT_FALSE(store.data("vesk.permissions.v1"));
  EXPECT_TRUE(model.permissions().empty());

  model.rememberPermission("https://a.com", {PermissionKind::microphone}, PermissionAnswer::block);
  model.rememberPermission("http://127.0.0.1:8080", {PermissionKind::notifications}, PermissionAnswer::allow);
  EXPECT_EQ(store.data("vesk.permissions.v1"),
            R"({"http://127.0.0.1:8080":{"notifications":"allow"},"https://a.com":{"microphone":"block"}})");
  EXPECT_EQ(AppModel(store).permissions(), model.permissions());

  model.remove(mail);  // the calendar keeps the origin's answers
  EXPECT_EQ(model.permissions().answersOf("https://a.com").size(), 1u);
  EXPECT_FALSE(model.update(chat, "Chat", "https://chat.example.com"));  // moved away: the old answers go
  EXPECT_TRUE(model.permissions().answersOf("http://127.0.0.1:8080").empty());
  model.remove(calendar);
  EXPECT_FALSE(store.data("vesk.permissions.v1"));
  model.rememberPermission("https://x.com", {PermissionKind::camera}, PermissionAnswer::allow);
  model.resetPermissions("https://x.com");
  EXPECT_FALSE(store.data("vesk.permissions.v1"));
}

}  // namespace
}  // namespace vesk
