#include <gtest/gtest.h>

#include "model/link_site.h"
#include "model/url.h"

namespace vesk {
namespace {

struct NormalizeCase {
  const char* input;
  const char* expected;  // nullptr: rejected
};

class AddressNormalized : public ::testing::TestWithParam<NormalizeCase> {};

TEST_P(AddressNormalized, GivesTheCanonicalAddressOrRejects) {
  const auto& c = GetParam();
  auto result = Address::normalized(c.input);
  if (c.expected) {
    ASSERT_TRUE(result.has_value()) << "input: " << c.input;
    EXPECT_EQ(*result, c.expected);
  } else {
    EXPECT_FALSE(result.has_value()) << "input: " << c.input << " gave " << result.value_or("");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, AddressNormalized,
    ::testing::Values(
        // Bare hosts are trimmed and get https:// and nothing else.
        NormalizeCase{"  example.com  ", "https://example.com"}, NormalizeCase{"example.com\n", "https://example.com"},
        NormalizeCase{"\u00a0\u2003example.com\u2028", "https://example.com"},
        NormalizeCase{"example.com/path/to?q=1&r=2", "https://example.com/path/to?q=1&r=2"},
        // Existing schemes, ports, paths and case are kept as typed.
        NormalizeCase{"http://example.com:8080/a/b", "http://example.com:8080/a/b"},
        NormalizeCase{"HTTPS://EXAMPLE.COM/PATH", "HTTPS://EXAMPLE.COM/PATH"},
        NormalizeCase{"https://example.com/#frag", "https://example.com/#frag"},
        NormalizeCase{"https://user:pw@example.com/", "https://user:pw@example.com/"},
        NormalizeCase{"https://example.com/a%20b", "https://example.com/a%20b"},
        // localhost is the one host without a dot, in lower case only.
        NormalizeCase{"localhost:3000", "https://localhost:3000"}, NormalizeCase{"LOCALHOST:3000", nullptr},
        NormalizeCase{"intranet", nullptr}, NormalizeCase{"http://intranet/", nullptr},
        // Other schemes, empty and hostless texts are rejected.
        NormalizeCase{"ftp://example.com/file", nullptr}, NormalizeCase{"file:///etc/passwd", nullptr},
        NormalizeCase{"javascript://example.com/%0Aalert(1)", nullptr}, NormalizeCase{"", nullptr},
        NormalizeCase{"   \t\n ", nullptr}, NormalizeCase{"https://", nullptr}, NormalizeCase{"https:///path", nullptr},
        // "://" anywhere suppresses the prefix; such a text has no scheme and is rejected.
        NormalizeCase{"example.com/?next=https://other.org", nullptr},
        // Texts that are not URI references are rejected rather than altered.
        NormalizeCase{"exa mple.com", nullptr}, NormalizeCase{"https://example.com/a b", nullptr},
        NormalizeCase{"https://example.com:port/", nullptr}, NormalizeCase{"https://example.com/%zz", nullptr},
        NormalizeCase{"m\u00fcnchen.de", nullptr}));

TEST(LinkSiteHost, IsTheHostAloneOrTheWholeAddress) {
  EXPECT_EQ(LinkSite("A", "https://chat.example.com/c/123?x=1").host(), "chat.example.com");
  EXPECT_EQ(LinkSite("A", "http://Example.COM:8080/").host(), "Example.COM");
  EXPECT_EQ(LinkSite("A", "https://exa%41mple.com/").host(), "exa%41mple.com");
  // No host, or not parseable: the whole text.
  EXPECT_EQ(LinkSite("A", "not a url").host(), "not a url");
  EXPECT_EQ(LinkSite("A", "example.com/path").host(), "example.com/path");
  EXPECT_EQ(LinkSite("A", "").host(), "");
  EXPECT_FALSE(LinkSite("A", "not a url").url().has_value());
  EXPECT_EQ(LinkSite("A", "https://example.com/").url(), "https://example.com/");
}

struct UrlCase {
  const char* text;
  const char* scheme;  // nullptr: none
  const char* host;    // nullptr: none
  bool wellFormed;     // accepted by parseUrl, which then reads the same parts
};

// Both readers of an address (the lenient one for engine addresses, the checking one for typed
// ones) take the scheme and host out the same way; IP literals keep their brackets.
TEST(UrlParts, SchemeAndHostAsWritten) {
  const UrlCase cases[] = {
      {"HTTPS://User:Pw@Sub.Example.COM:8443/a?b#c", "https", "Sub.Example.COM", true},
      {"http://[::1]:8080/", "http", "[::1]", true},
      {"http://[::1]/", "http", "[::1]", true},
      {"https://u:p@[2001:DB8::1]:443/x", "https", "[2001:DB8::1]", true},
      {"https://accounts.example.com./", "https", "accounts.example.com.", true},
      {"https://x%41.example/", "https", "x%41.example", true},
      {"mailto:a@b.example", "mailto", nullptr, true},
      {"//host.example/path", nullptr, "host.example", true},
      {"https:///path", "https", nullptr, true},
      {"1http://x", nullptr, nullptr, true},  // a relative path, not a scheme
      {"https://a b.example/", "https", "a b.example", false},
  };
  for (const auto& c : cases) {
    auto opt = [](const char* s) { return s ? std::optional<std::string>(s) : std::nullopt; };
    ParsedUrl split = splitUrl(c.text);
    EXPECT_EQ(split.scheme, opt(c.scheme)) << c.text;
    EXPECT_EQ(split.host, opt(c.host)) << c.text;
    auto parsed = parseUrl(c.text);
    ASSERT_EQ(parsed.has_value(), c.wellFormed) << c.text;
    if (parsed) {
      EXPECT_TRUE(parsed->scheme == split.scheme && parsed->host == split.host) << c.text;
    }
  }
  EXPECT_EQ(LinkSite("A", "http://[::1]:8080/").host(), "[::1]");
  EXPECT_TRUE(isSameHost(*splitUrl("https://u@Accounts.Example.COM.:443/").host, "accounts.example.com"));
  EXPECT_FALSE(isSameHost(*splitUrl("http://[::1]/").host, "::1"));
}

}  // namespace
}  // namespace vesk
