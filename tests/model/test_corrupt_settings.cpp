// Corrupted settings files: every one loads with the fallbacks, keeps the unreadable
// original aside and loses nothing that could still be read.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "model/app_model.h"
#include "model/file_settings_store.h"

namespace fs = std::filesystem;

namespace vesk {
namespace {

const std::string kSites =
    R"([{"id":"0F8FAD5B-D9CB-469F-A165-70867728950E","name":"Mine","address":"https://mine.example.org/"}])";

class CorruptSettings : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/vesk-corrupt-XXXXXX";
    dir = mkdtemp(pattern);
    path = dir / "settings.ini";
  }
  void TearDown() override { fs::remove_all(dir); }
  void write(const std::string& contents) { std::ofstream(path, std::ios::binary) << contents; }
  std::string read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::vector<fs::path> aside(const std::string& prefix) {
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(dir))
      if (e.path().filename().string().rfind(prefix, 0) == 0) out.push_back(e.path());
    return out;
  }
  void expectDefaults(const AppModel& model) {
    ASSERT_EQ(model.sites().size(), 3u);
    EXPECT_EQ(model.sites()[0].name, "ChatGPT");
    EXPECT_EQ(model.selectedID(), model.sites()[0].id);
  }
  fs::path dir, path;
};

TEST_F(CorruptSettings, WholeFileGarbageIsSetAsideAndDefaultsLoad) {
  std::mt19937 random(7);
  std::string binary(4096, '\0');
  for (auto& c : binary) c = static_cast<char>(random());
  std::string big(10 * 1024 * 1024, 'x');
  for (std::size_t i = 0; i < big.size(); i += 97) big[i] = '\n';
  for (const std::string& junk :
       {binary, big, std::string("[vesk\nvesk.sites.v1=[]\n"), std::string("\xef\xbb\xbf\xff")}) {
    fs::remove_all(dir);
    fs::create_directories(dir);
    write(junk);
    FileSettingsStore store(path);
    AppModel model(store);
    expectDefaults(model);
    auto kept = aside("settings.ini.unreadable-");
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(read(kept[0]).size(), junk.size());
    EXPECT_EQ(read(kept[0]), junk);
    // The new file is readable again.
    EXPECT_FALSE(FileSettingsStore(path).setAsidePath());
  }
}

TEST_F(CorruptSettings, ATruncatedSiteListIsBackedUpWhileOtherValuesSurvive) {
  write("[vesk]\nvesk.theme.v1=obsidian\nvesk.panel.width.v1=612\nvesk.sites.v1=" + kSites.substr(0, 40));
  FileSettingsStore store(path);
  AppModel model(store);
  expectDefaults(model);
  EXPECT_EQ(model.theme(), LinkTheme::obsidian);
  EXPECT_EQ(model.panelWidth(), 612);
  auto kept = aside("vesk.sites.v1.unreadable-");
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(read(kept[0]), kSites.substr(0, 40));
  FileSettingsStore reopened(path);
  EXPECT_EQ(reopened.string("vesk.theme.v1"), "obsidian");
  EXPECT_EQ(reopened.doubleValue("vesk.panel.width.v1"), 612);
}

// Values GLib's key file refuses as text (bytes that are not UTF-8, escapes it does not know) are
// present, not absent: a site list among them is backed up as the user had it before the defaults
// replace it, or loads as written when it still decodes.
TEST_F(CorruptSettings, SiteValuesTheKeyFileRefusesAsTextAreNotTakenForAbsent) {
  const std::string id = R"("id":"0F8FAD5B-D9CB-469F-A165-70867728950E")";
  struct Case {
    std::string stored;                     // the value as it stands in the file
    std::optional<std::string> backup;      // the kept copy, when the list cannot be read
    std::optional<std::string> loadedName;  // the one site's name, when it can
  } cases[] = {
      // A name in Latin-1, with a quoted word: the copy is the JSON the user had, unescaped.
      {"[{" + id + R"(,"name":"Caf)" + "\xe9" + R"( \\"x\\"","address":"https://cafe.example.org/"}])",
       "[{" + id + R"(,"name":"Caf)" + "\xe9" + R"( \"x\"","address":"https://cafe.example.org/"}])", std::nullopt},
      // Written by hand with a JSON escape, which the key file does not know.
      {"[{" + id + R"(,"name":"Caf\u00e9","address":"https://cafe.example.org/"}])", std::nullopt, "Café"},
  };
  for (const auto& c : cases) {
    fs::remove_all(dir);
    fs::create_directories(dir);
    write("[vesk]\nvesk.theme.v1=obsidian\nvesk.sites.v1=" + c.stored + "\n");
    FileSettingsStore store(path);
    AppModel model(store);
    EXPECT_EQ(model.theme(), LinkTheme::obsidian);
    auto kept = aside("vesk.sites.v1.unreadable-");
    if (c.backup) {
      expectDefaults(model);
      ASSERT_EQ(kept.size(), 1u) << c.stored;
      EXPECT_EQ(read(kept[0]), *c.backup);
      store.flush();
      EXPECT_EQ(FileSettingsStore(path).data("vesk.sites.v1"), encodeSites(model.sites()));
    } else {
      ASSERT_EQ(model.sites().size(), 1u) << c.stored;
      EXPECT_EQ(model.sites()[0].name, *c.loadedName);
      EXPECT_TRUE(kept.empty());
    }
  }
}

TEST_F(CorruptSettings, WrongTypesUnderEveryKeyFallBackOneByOne) {
  write(
      "[vesk]\n"
      "vesk.sites.v1=" +
      kSites +
      "\n"
      "vesk.selected.v1=42\n"
      "vesk.shortcut.v1=[49,6144]\n"
      "vesk.shortcut.next.v1={\"keyCode\":\"N\",\"modifiers\":1,\"label\":\"x\"}\n"
      "vesk.shortcut.previous.v1={\"keyCode\":44,\"modifiers\":6144,\"label\":\"⌃⌥ /\"}\n"
      "vesk.theme.v1=7\n"
      "vesk.panel.width.v1=[1,2]\n"
      "vesk.panel.height.v1=true\n"
      "vesk.panel.zoom.v1=\n");
  FileSettingsStore store(path);
  AppModel model(store);
  ASSERT_EQ(model.sites().size(), 1u);  // the readable list is kept
  EXPECT_EQ(model.sites()[0].name, "Mine");
  EXPECT_EQ(model.selectedID(), model.sites()[0].id);
  EXPECT_EQ(model.shortcut(), Shortcut::standard());
  EXPECT_FALSE(model.nextShortcut());
  EXPECT_EQ(model.previousShortcut(), (Shortcut{44, 6144, "⌃⌥ /"}));
  EXPECT_EQ(model.theme(), LinkTheme::graphite);
  EXPECT_EQ(model.panelWidth(), 500);
  EXPECT_EQ(model.panelHeight(), 700);
  EXPECT_EQ(model.pageZoom(), 1.0);
  EXPECT_TRUE(aside("vesk.sites.v1.unreadable-").empty());
  EXPECT_TRUE(aside("settings.ini.unreadable-").empty());
  // Nothing was rewritten: the file still holds exactly what it held.
  EXPECT_EQ(FileSettingsStore(path).string("vesk.selected.v1"), "42");
}

TEST_F(CorruptSettings, HugeValuesAreClampedOrRejected) {
  std::string hugeLabel(1 << 20, 'K');
  write(
      "[vesk]\n"
      "vesk.panel.width.v1=1e308\n"
      "vesk.panel.height.v1=-1e308\n"
      "vesk.panel.zoom.v1=1e400\n"
      "vesk.shortcut.v1={\"keyCode\":99999999999,\"modifiers\":6144,\"label\":\"x\"}\n"
      "vesk.shortcut.next.v1={\"keyCode\":45,\"modifiers\":6144,\"label\":\"" +
      hugeLabel + "\"}\n");
  FileSettingsStore store(path);
  AppModel model(store);
  EXPECT_EQ(model.panelWidth(), 680);
  EXPECT_EQ(model.panelHeight(), 700);
  EXPECT_EQ(model.pageZoom(), 1.25);
  EXPECT_EQ(model.shortcut(), Shortcut::standard());
  ASSERT_TRUE(model.nextShortcut());
  EXPECT_EQ(model.nextShortcut()->label.size(), hugeLabel.size());
}

}  // namespace
}  // namespace vesk
