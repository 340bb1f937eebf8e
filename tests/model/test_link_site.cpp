#include <gtest/gtest.h>

#include "model/link_site.h"

namespace vesk {
namespace {

const char* kId = "0F8FAD5B-D9CB-469F-A165-70867728950E";

// Lists show a name on one line and at most 200 characters long; the record keeps what it has.
TEST(LinkSite, ShownNameIsOneLineAndCutAfterTwoHundredCharacters) {
  const std::string a200(200, 'a');
  std::string e201;
  for (int i = 0; i < 201; ++i) e201 += "\u00e9";
  const struct {
    std::string name, shown;
  } cases[] = {
      {"Docs", "Docs"},
      {"", ""},
      {"Two\nlines\r\nand\ttab\u2028", "Two lines  and tab "},
      {a200, a200},
      {a200 + "b", a200 + "\u2026"},
      {std::string(100000, 'x'), std::string(200, 'x') + "\u2026"},
      {e201, e201.substr(0, 400) + "\u2026"},
      {"bad \xff byte", "bad \ufffd byte"},
  };
  for (const auto& c : cases) {
    LinkSite site(c.name, "https://example.com/");
    EXPECT_EQ(site.shownName(), c.shown) << c.name.substr(0, 40);
    EXPECT_EQ(site.name, c.name);
  }
}

TEST(LinkSiteJson, EncodesCompactWithMembersInOrderAndUpperCaseId) {
  LinkSite site(*Uuid::parse(kId), "Docs \"Main\"", "https://example.com/a");
  EXPECT_EQ(encodeSite(site), std::string(R"({"id":"0F8FAD5B-D9CB-469F-A165-70867728950E","name":"Docs \"Main\"",)") +
                                  R"("address":"https://example.com/a"})");
  EXPECT_EQ(encodeSites({}), "[]");
}

TEST(LinkSiteJson, RoundTripsAListKeepingOrderAndUnicode) {
  std::vector<LinkSite> sites{LinkSite("Café ☕", "https://café.example/"), LinkSite("", ""),
                              LinkSite("Ünïcödé", "https://x.org/?q=ä")};
  auto json = encodeSites(sites);
  ASSERT_TRUE(json);
  auto back = decodeSites(*json);
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, sites);
}

TEST(LinkSiteJson, AcceptsLowerCaseIdsAnyOrderExtraMembersEscapedSlashesAndWhitespace) {
  auto site = decodeSite(
      R"( { "address" : "https:\/\/example.com\/" , "extra": [1,2], "name":"N", "id":"0f8fad5b-d9cb-469f-a165-70867728950e" } )");
  ASSERT_TRUE(site);
  EXPECT_EQ(site->id, *Uuid::parse(kId));
  EXPECT_EQ(site->address, "https://example.com/");
  EXPECT_EQ(site->id.toString(), kId);
  EXPECT_NE(encodeSite(*site)->find(kId), std::string::npos);
}

TEST(LinkSiteJson, RejectsEveryMalformedRecord) {
  const char* bad[] = {
      R"({"name":"N","address":"a"})",                                   // id missing
      R"({"id":"0F8FAD5B-D9CB-469F-A165-70867728950E","address":"a"})",  // name missing
      R"({"id":"0F8FAD5B-D9CB-469F-A165-70867728950E","name":"N"})",     // address missing
      R"({"id":42,"name":"N","address":"a"})",
      R"({"id":"0F8FAD5B-D9CB-469F-A165-70867728950E","name":null,"address":"a"})",
      R"({"id":"0F8FAD5B-D9CB-469F-A165-70867728950E","name":"N","address":["a"]})",
      R"({"id":"not-a-uuid","name":"N","address":"a"})",
      R"({"id":"0F8FAD5BD9CB469FA16570867728950E","name":"N","address":"a"})",
      R"({"id":"0F8FAD5B-D9CB-469F-A165-70867728950G","name":"N","address":"a"})",
      R"({"id":"{0F8FAD5B-D9CB-469F-A165-70867728950E}","name":"N","address":"a"})",
      R"(["0F8FAD5B-D9CB-469F-A165-70867728950E","N","a"])",
      "",
      "{",
      "\xff\xfe",
  };
  for (const char* text : bad) EXPECT_FALSE(decodeSite(text)) << text;
}

TEST(LinkSiteJson, OneBadElementMakesTheWholeListUndecodable) {
  std::string good = *encodeSite(LinkSite("A", "https://a.com"));
  EXPECT_TRUE(decodeSites("[" + good + "," + good + "]"));
  EXPECT_FALSE(decodeSites("[" + good + R"(,{"id":"x","name":"B","address":"b"}])"));
  EXPECT_FALSE(decodeSites(good));  // an object, not an array
  EXPECT_FALSE(decodeSites("[1]"));
  EXPECT_FALSE(decodeSites("[" + good + "] trailing"));
  ASSERT_TRUE(decodeSites("[]"));
  EXPECT_TRUE(decodeSites("[]")->empty());
}

TEST(LinkSiteEquality, ComparesAllFieldsCanonically) {
  Uuid id = Uuid::random();
  EXPECT_EQ(LinkSite(id, "Caf\u00e9", "https://a.com"), LinkSite(id, "Cafe\u0301", "https://a.com"));
  EXPECT_NE(LinkSite(id, "A", "https://a.com"), LinkSite(id, "A", "https://a.com/"));
  EXPECT_NE(LinkSite("A", "https://a.com"), LinkSite("A", "https://a.com"));  // different ids
}

TEST(UuidText, ParsesEitherCaseAndRejectsMalformedText) {
  auto upper = Uuid::parse(kId);
  auto lower = Uuid::parse("0f8fad5b-d9cb-469f-a165-70867728950e");
  ASSERT_TRUE(upper && lower);
  EXPECT_EQ(*upper, *lower);
  EXPECT_FALSE(Uuid::parse("0F8FAD5B-D9CB-469F-A165-70867728950"));
  EXPECT_FALSE(Uuid::parse("0F8FAD5B+D9CB-469F-A165-70867728950E"));
  EXPECT_FALSE(Uuid::parse("0F8FAD5-BD9CB-469F-A165-70867728950E"));
  Uuid a = Uuid::random(), b = Uuid::random();
  EXPECT_NE(a, b);
  EXPECT_EQ(a.toString()[14], '4');  // version 4
  EXPECT_EQ(Uuid::parse(a.toString()), a);
}

}  // namespace
}  // namespace vesk
