// What a user action lets a page do: the download consents and the new-window rule.
#include "browser/gestures.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace vesk {
namespace {

constexpr const char* page = "https://site.example/app";
constexpr const char* file = "https://site.example/report.pdf";

TEST(DownloadConsentTest, OnlyTheNavigationTheUserStartedMayDownload) {
  struct Case {
    const char* name;
    std::function<void(DownloadConsent&)> happened;
    bool downloads;  // whether a download of `file` may then run
  } cases[] = {
      {"nothing", [](DownloadConsent&) {}, false},
      {"a click on it", [](DownloadConsent& c) { c.navigationAllowed(file, true, page); }, true},
      {"the page's own script", [](DownloadConsent& c) { c.navigationAllowed(file, false, page); }, false},
      {"a click elsewhere", [](DownloadConsent& c) { c.navigationAllowed("https://site.example/other", true, page); },
       false},
      {"a fragment of the page",
       [](DownloadConsent& c) { c.navigationAllowed(std::string(page) + "#top", true, page); }, false},
      {"a redirect of a click to it",
       [](DownloadConsent& c) {
         c.navigationAllowed("https://site.example/get", true, page);
         c.navigationAllowed(file, true, page);
       },
       true},
      {"the menu opened on it",
       [](DownloadConsent& c) {
         c.menuOpened({"https://site.example/img.png", file});
       },
       true},
      {"the menu opened elsewhere", [](DownloadConsent& c) { c.menuOpened({}); }, false},
      {"a click on it that ended in a page",
       [](DownloadConsent& c) {
         c.navigationAllowed(file, true, page);
         c.responseShown(file);
       },
       false},
      {"a click on it, then many others",
       [](DownloadConsent& c) {
         c.navigationAllowed(file, true, page);
         for (std::size_t i = 0; i < DownloadConsent::limit; ++i) {
           c.navigationAllowed("https://site.example/" + std::to_string(i), true, page);
         }
       },
       false},
  };
  for (const Case& c : cases) {
    DownloadConsent consent;
    c.happened(consent);
    EXPECT_EQ(consent.take(file), c.downloads) << c.name;
    EXPECT_FALSE(consent.take(file)) << c.name << ": one consent, one download";
  }
}

TEST(NewWindowRuleTest, OnlyTheUserOrThePagesOwnOriginReplacesThePage) {
  struct Case {
    const char* name;
    bool userGesture;
    std::optional<std::string> requester;
    std::optional<std::string> page;
    bool allowed;
  } cases[] = {
      {"the page's script", false, "https://site.example/app", page, true},
      {"a frame of the same origin", false, "https://site.example/frame?x", page, true},
      {"same origin, default port spelled", false, "https://SITE.example:443/frame", page, true},
      {"another origin's frame", false, "https://ads.example/", page, false},
      {"another port", false, "https://site.example:8443/", page, false},
      {"another scheme", false, "http://site.example/", page, false},
      {"a requester the engine does not name", false, std::nullopt, page, false},
      {"a page without address", false, "https://site.example/", std::nullopt, false},
      {"a local page", false, "file:///tmp/a.html", "file:///tmp/a.html", false},
      {"another origin's frame, clicked", true, "https://ads.example/", page, true},
      {"unnamed, clicked", true, std::nullopt, page, true},
  };
  for (const Case& c : cases) {
    NavigationRequest request;
    request.address = "https://elsewhere.example/";
    request.newWindow = true;
    request.userGesture = c.userGesture;
    request.requester = c.requester;
    EXPECT_EQ(newWindowAllowed(request, c.page), c.allowed) << c.name;
  }
}

}  // namespace
}  // namespace vesk
