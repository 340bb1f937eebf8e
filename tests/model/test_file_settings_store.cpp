#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <thread>
#include <type_traits>

#include "model/app_model.h"
#include "model/file_settings_store.h"

namespace fs = std::filesystem;

namespace vesk {
namespace {

// Two copies would own, and free, the same parsed file.
static_assert(!std::is_copy_constructible_v<FileSettingsStore> && !std::is_copy_assignable_v<FileSettingsStore>);

class FileSettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/vesk-store-XXXXXX";
    dir = mkdtemp(pattern);
    path = dir / "vesk" / "settings.ini";
  }
  void TearDown() override { fs::remove_all(dir); }
  std::string read(const fs::path& p) const {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  void writeRaw(const std::string& contents) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << contents;
  }
  std::vector<fs::path> filesNamed(const std::string& prefix) const {
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(path.parent_path())) {
      if (e.path().filename().string().rfind(prefix, 0) == 0) out.push_back(e.path());
    }
    return out;
  }
  fs::path dir, path;
};

TEST_F(FileSettingsStoreTest, ValuesSurviveReopeningInOneVeskGroup) {
  {
    FileSettingsStore store(path);
    EXPECT_FALSE(store.string("vesk.theme.v1"));
    EXPECT_EQ(store.doubleValue("vesk.panel.width.v1"), 0);
    store.setString("vesk.theme.v1", "midnight");
    store.setData("vesk.sites.v1", R"([{"id":"0F8FAD5B-D9CB-469F-A165-70867728950E","name":"A;b\n=c","address":"x"}])");
    store.setDouble("vesk.panel.width.v1", 501.25);
    store.setString("vesk.selected.v1", "temp");
    store.remove("vesk.selected.v1");
  }
  struct stat info {};
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  std::string text = read(path);
  EXPECT_EQ(text.rfind("[vesk]\n", 0), 0u) << text;
  EXPECT_NE(text.find("vesk.panel.width.v1=501.25"), std::string::npos);

  FileSettingsStore reopened(path);
  EXPECT_EQ(reopened.string("vesk.theme.v1"), "midnight");
  EXPECT_EQ(reopened.data("vesk.sites.v1"),
            R"([{"id":"0F8FAD5B-D9CB-469F-A165-70867728950E","name":"A;b\n=c","address":"x"}])");
  EXPECT_EQ(reopened.doubleValue("vesk.panel.width.v1"), 501.25);
  EXPECT_FALSE(reopened.string("vesk.selected.v1"));
  EXPECT_FALSE(reopened.setAsidePath());
}

// Doubles are written in the shortest text that reads back as the same value.
TEST_F(FileSettingsStoreTest, DoublesAreStoredInTheirShortestExactForm) {
  const struct {
    double value;
    const char* text;
  } cases[] = {{0.9, "0.9"},
               {1.1, "1.1"},
               {0.1 + 0.2, "0.30000000000000004"},
               {1.0 / 3, "0.3333333333333333"},
               {501.25, "501.25"},
               {680, "680"},
               {1e-7, "1e-07"},
               {-0.75, "-0.75"}};
  for (const auto& c : cases) {
    FileSettingsStore(path).setDouble("vesk.panel.zoom.v1", c.value);
    EXPECT_NE(read(path).find(std::string("vesk.panel.zoom.v1=") + c.text + "\n"), std::string::npos) << read(path);
    EXPECT_EQ(FileSettingsStore(path).doubleValue("vesk.panel.zoom.v1"), c.value) << c.text;
  }
}

TEST_F(FileSettingsStoreTest, DoublesThatAreNotNumbersReadAsZero) {
  writeRaw("[vesk]\nvesk.panel.width.v1=wide\nvesk.panel.height.v1=12abc\nvesk.panel.zoom.v1=nan\n");
  FileSettingsStore store(path);
  EXPECT_EQ(store.doubleValue("vesk.panel.width.v1"), 0);
  EXPECT_EQ(store.doubleValue("vesk.panel.height.v1"), 0);
  EXPECT_EQ(store.doubleValue("vesk.panel.zoom.v1"), 0);
}

TEST_F(FileSettingsStoreTest, AnUnparseableFileIsSetAsideBeforeAnyWrite) {
  std::string junk = "this is not\x01\xff an ini file\n[[[\n";
  writeRaw(junk);
  FileSettingsStore store(path);
  ASSERT_TRUE(store.setAsidePath());
  EXPECT_EQ(read(*store.setAsidePath()), junk);
  EXPECT_NE(store.setAsidePath()->filename().string().find("settings.ini.unreadable-"), std::string::npos);
  store.setString("vesk.theme.v1", "obsidian");
  store.flush();
  EXPECT_EQ(read(*store.setAsidePath()), junk);
  EXPECT_EQ(FileSettingsStore(path).string("vesk.theme.v1"), "obsidian");
}

TEST_F(FileSettingsStoreTest, ModelKeepsUnreadableSiteDataBesideTheFile) {
  writeRaw("[vesk]\nvesk.sites.v1=[{\"id\":\"broken\"}]\nvesk.theme.v1=midnight\n");
  {
    FileSettingsStore store(path);
    AppModel model(store);
    EXPECT_EQ(model.sites().size(), 3u);
    EXPECT_EQ(model.theme(), LinkTheme::midnight);
  }
  auto backups = filesNamed("vesk.sites.v1.unreadable-");
  ASSERT_EQ(backups.size(), 1u);
  EXPECT_EQ(read(backups[0]), R"([{"id":"broken"}])");
  // Other readable values are untouched by the rewrite.
  EXPECT_EQ(FileSettingsStore(path).string("vesk.theme.v1"), "midnight");
}

TEST_F(FileSettingsStoreTest, AnUnwritableDirectoryIsReportedNotFatal) {
  if (geteuid() == 0) {
    // root ignores permissions; make the parent a file instead so no directory can be made.
    fs::create_directories(dir);
    std::ofstream(dir / "blocked") << "x";
    FileSettingsStore store(dir / "blocked" / "settings.ini");
    store.setString("vesk.theme.v1", "midnight");
    store.flush();
    EXPECT_TRUE(store.lastWriteError());
    EXPECT_EQ(store.string("vesk.theme.v1"), "midnight");  // still served from memory
    return;
  }
  fs::create_directories(path.parent_path());
  fs::permissions(path.parent_path(), fs::perms::owner_read | fs::perms::owner_exec);
  FileSettingsStore store(path);
  store.setString("vesk.theme.v1", "midnight");
  store.flush();
  EXPECT_TRUE(store.lastWriteError());
  fs::permissions(path.parent_path(), fs::perms::owner_all);
}

// Whatever stands at settings.ini and cannot be opened is kept aside (a link as a link) and the
// defaults load; the first write then makes a readable file.
TEST_F(FileSettingsStoreTest, AFileThatCannotBeOpenedIsKeptAsideAndTheDefaultsLoad) {
  const struct {
    const char* name;
    std::function<void(const fs::path&)> make;
    fs::file_type kept;
  } cases[] = {
      {"a link to itself", [](const fs::path& p) { fs::create_symlink("settings.ini", p); }, fs::file_type::symlink},
      {"two links in a loop",
       [](const fs::path& p) {
         fs::create_symlink("other.ini", p);
         fs::create_symlink("settings.ini", p.parent_path() / "other.ini");
       },
       fs::file_type::symlink},
      {"a folder",
       [](const fs::path& p) {
         fs::create_directories(p);
         std::ofstream(p / "inside") << "x";
       },
       fs::file_type::directory},
  };
  for (const auto& c : cases) {
    fs::remove_all(path.parent_path());
    fs::create_directories(path.parent_path());
    c.make(path);
    std::optional<FileSettingsStore> store;
    ASSERT_NO_THROW(store.emplace(path)) << c.name;
    ASSERT_TRUE(store->setAsidePath()) << c.name;
    EXPECT_EQ(fs::symlink_status(*store->setAsidePath()).type(), c.kept) << c.name;
    ASSERT_TRUE(store->openProblem()) << c.name;
    EXPECT_NE(store->openProblem()->find(store->setAsidePath()->string()), std::string::npos) << *store->openProblem();
    AppModel model(*store);
    EXPECT_EQ(model.sites().size(), 3u) << c.name;
    store->flush();
    EXPECT_FALSE(store->lastWriteError()) << c.name << ": " << *store->lastWriteError();
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(path))) << c.name;
    FileSettingsStore reopened(path);
    EXPECT_FALSE(reopened.openProblem()) << c.name;
    EXPECT_EQ(reopened.data("vesk.sites.v1"), encodeSites(model.sites())) << c.name;
  }
}

// A settings.ini kept elsewhere (a dotfiles folder) through a link: every write replaces the file
// the link points to, atomically and private to the user, and the link stays as it was.
TEST_F(FileSettingsStoreTest, WritesThroughALinkReplaceTheFileItPointsTo) {
  const struct {
    const char* name;
    std::vector<std::pair<std::string, std::string>> links;  // link (in the settings folder) -> target
    std::string target;                                      // relative to `dir`
    std::string before;                                      // what the target holds first; none when empty
  } cases[] = {
      {"relative", {{"settings.ini", "../dotfiles/vesk.ini"}}, "dotfiles/vesk.ini", "[vesk]\nvesk.theme.v1=midnight\n"},
      {"a chain of two",
       {{"settings.ini", "middle.ini"}, {"middle.ini", "../dotfiles/vesk.ini"}},
       "dotfiles/vesk.ini",
       "[vesk]\nvesk.theme.v1=midnight\n"},
      {"to a file not made yet", {{"settings.ini", "../dotfiles/vesk.ini"}}, "dotfiles/vesk.ini", ""},
      {"to an unreadable file", {{"settings.ini", "../dotfiles/vesk.ini"}}, "dotfiles/vesk.ini", "\x01\xff[[[\n"},
  };
  for (const auto& c : cases) {
    fs::remove_all(dir / "dotfiles");
    fs::remove_all(path.parent_path());
    fs::create_directories(path.parent_path());
    fs::create_directories(dir / "dotfiles");
    for (const auto& [link, target] : c.links) fs::create_symlink(target, path.parent_path() / link);
    if (!c.before.empty()) std::ofstream(dir / c.target, std::ios::binary) << c.before;
    {
      FileSettingsStore store(path);
      store.setString("vesk.selected.v1", "chosen");
      EXPECT_FALSE(store.lastWriteError()) << c.name << ": " << *store.lastWriteError();
      if (c.before.rfind("[vesk]", 0) == 0) {
        EXPECT_EQ(store.string("vesk.theme.v1"), "midnight") << c.name;
      }
      if (store.setAsidePath()) {
        EXPECT_TRUE(fs::equivalent(store.setAsidePath()->parent_path(), dir / "dotfiles")) << c.name;
        EXPECT_EQ(read(*store.setAsidePath()), c.before) << c.name;
      }
    }
    for (const auto& [link, target] : c.links) EXPECT_EQ(fs::read_symlink(path.parent_path() / link), target) << c.name;
    EXPECT_NE(read(dir / c.target).find("vesk.selected.v1=chosen\n"), std::string::npos) << c.name;
    struct stat info {};
    ASSERT_EQ(stat((dir / c.target).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u) << c.name;
    // The target, and the unreadable one set aside: no temporary file is left.
    auto files = std::distance(fs::directory_iterator(dir / "dotfiles"), fs::directory_iterator());
    EXPECT_EQ(files, c.before.empty() || c.before[0] == '[' ? 1 : 2) << c.name;
  }
}

// The settings folder holds the site list: it is made private, with any missing parent.
TEST_F(FileSettingsStoreTest, TheSettingsFolderIsCreatedPrivate) {
  const fs::path nested = dir / "config" / "vesk" / "settings.ini";
  FileSettingsStore store(nested);
  store.setString("vesk.theme.v1", "midnight");
  store.flush();
  ASSERT_FALSE(store.lastWriteError()) << *store.lastWriteError();
  for (const auto& folder : {dir / "config", dir / "config" / "vesk"}) {
    struct stat info {};
    ASSERT_EQ(stat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u) << folder;
  }
}

// An unreadable file that cannot be moved aside (here: immutable) is never written over, and
// every write says why it failed.
TEST_F(FileSettingsStoreTest, AnUnreadableFileThatCannotBeMovedIsNeverWrittenOver) {
  writeRaw("\x01\xff not settings\n");
  if (std::system(("chattr +i '" + path.string() + "' 2>/dev/null").c_str()) != 0) {
    GTEST_SKIP() << "this file system cannot make a file immutable here";
  }
  struct Mutable {
    std::string command;
    ~Mutable() { EXPECT_EQ(std::system(command.c_str()), 0); }
  } undo{"chattr -i '" + path.string() + "'"};
  {
    FileSettingsStore store(path);
    EXPECT_FALSE(store.setAsidePath());
    ASSERT_TRUE(store.openProblem());
    EXPECT_NE(store.openProblem()->find("not saved"), std::string::npos) << *store.openProblem();
    store.setString("vesk.theme.v1", "midnight");
    ASSERT_TRUE(store.lastWriteError());
    EXPECT_NE(store.lastWriteError()->find(path.string()), std::string::npos) << *store.lastWriteError();
    EXPECT_EQ(store.string("vesk.theme.v1"), "midnight");
  }
  EXPECT_EQ(read(path), "\x01\xff not settings\n");
}

// Works as root too: a plain file where the settings folder should be stops every write.
TEST_F(FileSettingsStoreTest, AFailedSaveIsReportedKeptInMemoryAndWrittenByTheNextChange) {
  fs::create_directories(dir);
  std::ofstream(dir / "vesk") << "in the way";
  FileSettingsStore store(path);
  AppModel model(store);
  store.flush();
  ASSERT_TRUE(model.saveError()) << "the default sites could not be written";
  EXPECT_EQ(model.saveError(), "\u201c" + (dir / "vesk").string() + "\u201d is a file, not a folder");
  model.add("News", "news.example.com");
  store.flush();
  EXPECT_TRUE(model.saveError());
  EXPECT_EQ(model.sites().size(), 4u);

  fs::remove(dir / "vesk");
  model.changeTheme(LinkTheme::midnight);
  store.flush();
  EXPECT_EQ(model.saveError(), std::nullopt);
  FileSettingsStore reopened(path);
  EXPECT_NE(reopened.data("vesk.sites.v1")->find("https://news.example.com"), std::string::npos);
  EXPECT_EQ(reopened.string("vesk.theme.v1"), "midnight");
}

// A full disk: the settings folder on a 64 KB tmpfs, mounted in a mount namespace of a child's own
// (skipped where namespaces are not allowed). The old file stays as it was, the failure is
// published, and once space is free the next change writes everything.
TEST_F(FileSettingsStoreTest, AFullDiskKeepsTheOldFileAndTheNextChangeAfterwardsSavesAll) {
  fs::create_directories(path.parent_path());
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    auto fail = [](const std::string& what) {
      std::fprintf(stderr, "full disk: %s\n", what.c_str());
      std::_Exit(1);
    };
    if (unshare(CLONE_NEWNS) != 0 || mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("tmpfs", path.parent_path().c_str(), "tmpfs", 0, "size=64k") != 0) {
      std::_Exit(77);
    }
    FileSettingsStore store(path);
    AppModel model(store);
    store.flush();
    if (model.saveError()) fail("the first write failed: " + *model.saveError());
    const std::string before = read(path);
    {
      std::ofstream filler(path.parent_path() / "filler", std::ios::binary);
      const std::string block(4096, 'x');
      while (filler.write(block.data(), block.size())) {
      }
    }
    model.add("News", "news.example.com");
    store.flush();
    if (model.saveError() != "No space left on device (" + path.string() + ")") {
      fail("published: " + model.saveError().value_or("nothing"));
    }
    if (read(path) != before) fail("the old file changed");
    if (model.sites().size() != 4) fail("the new site is not kept in memory");
    fs::remove(path.parent_path() / "filler");
    model.changeTheme(LinkTheme::midnight);
    store.flush();
    if (model.saveError()) fail("still failing: " + *model.saveError());
    FileSettingsStore reopened(path);
    if (reopened.data("vesk.sites.v1").value_or("").find("news.example.com") == std::string::npos) {
      fail("the site added while the disk was full was not written");
    }
    if (reopened.string("vesk.theme.v1") != "midnight") fail("the theme was not written");
    std::_Exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "no mount namespace here";
  EXPECT_EQ(WEXITSTATUS(status), 0) << "see the child's message above";
}

// Changes return at once; the writer thread stores them behind the caller. A reader watching the
// file sees the widths only grow (order kept, states in between may be skipped), flush() waits for
// the latest, and the store's end writes whatever is still pending.
TEST_F(FileSettingsStoreTest, BackgroundWritesKeepTheirOrderAndEndAtTheLatest) {
  const char* key = "vesk.panel.width.v1";
  auto widthOnDisk = [&]() -> double {
    GKeyFilePtr file(g_key_file_new());
    if (!g_key_file_load_from_file(file.get(), path.c_str(), G_KEY_FILE_NONE, nullptr)) return -1;
    GCharPtr value(g_key_file_get_value(file.get(), "vesk", key, nullptr));
    return value ? g_ascii_strtod(value.get(), nullptr) : -1;
  };
  std::atomic<bool> done{false};
  std::vector<double> seen;
  std::thread reader([&] {
    while (!done) {
      const double width = widthOnDisk();
      if (width >= 0 && (seen.empty() || seen.back() != width)) seen.push_back(width);
    }
  });
  {
    FileSettingsStore store(path);
    for (int i = 1; i <= 300; ++i) store.setDouble(key, i);
    store.flush();
    EXPECT_EQ(widthOnDisk(), 300);
    for (int i = 301; i <= 600; ++i) store.setDouble(key, i);
  }
  EXPECT_EQ(widthOnDisk(), 600) << "the store ended before its last change was written";
  done = true;
  reader.join();
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
  EXPECT_TRUE(filesNamed("settings.ini.unreadable-").empty());
}

// A write that fails on the writer thread reaches the model on the main loop, without flush(),
// and so does the next one that succeeds.
TEST_F(FileSettingsStoreTest, ABackgroundWriteFailureIsPublishedOnTheMainLoop) {
  fs::create_directories(dir);
  std::ofstream(dir / "vesk") << "in the way";
  FileSettingsStore store(path);
  AppModel model(store);
  std::vector<std::thread::id> heardOn;
  auto subscription = model.saveError.observe([&](const auto&) { heardOn.push_back(std::this_thread::get_id()); });
  auto runUntil = [](const std::function<bool()>& reached) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!reached() && std::chrono::steady_clock::now() < deadline) g_main_context_iteration(nullptr, FALSE);
    return reached();
  };
  ASSERT_TRUE(runUntil([&] { return model.saveError().has_value(); })) << "the failure was never published";
  EXPECT_EQ(model.saveError(), "\u201c" + (dir / "vesk").string() + "\u201d is a file, not a folder");
  fs::remove(dir / "vesk");
  model.changeTheme(LinkTheme::midnight);
  ASSERT_TRUE(runUntil([&] { return !model.saveError(); })) << "the success was never published";
  ASSERT_EQ(heardOn.size(), 2u);
  for (auto id : heardOn) EXPECT_EQ(id, std::this_thread::get_id());
  EXPECT_EQ(FileSettingsStore(path).string("vesk.theme.v1"), "midnight");
}

// A child keeps changing settings through the model; it is killed at random moments.
// Every time, the file must parse and hold exactly a state that the child wrote.
// VESK_SOAK_ROUNDS sets the number of kills (the long soak uses 1000).
TEST_F(FileSettingsStoreTest, SigkillDuringWritesNeverLeavesATornOrLostFile) {
  const char* env = std::getenv("VESK_SOAK_ROUNDS");
  const int rounds = env ? std::atoi(env) : 30;
  std::mt19937 random(12345);
  int checked = 0;
  std::string previousTheme = "graphite";  // what the file held when this round's child started
  {
    // Start from a file that already holds a site list and a theme, so a kill before the
    // child's first writes leaves a state that was written.
    FileSettingsStore store(path);
    AppModel model(store);
    model.changeTheme(LinkTheme::graphite);
  }
  for (int round = 0; round < rounds; ++round) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      FileSettingsStore store(path);
      AppModel model(store);
      // Step i writes width 400 + i mod 279, then theme i mod 3, so a width names its step's
      // theme (or the previous step's, between the two writes).
      for (int i = 0;; ++i) {
        model.changePanelSize(400 + (i % 279), std::nullopt);
        model.changeTheme(allLinkThemes[static_cast<std::size_t>(i) % 3]);
        if (i % 7 == 0) model.add("", "site" + std::to_string(i % 50) + ".example.com");
      }
    }
    std::this_thread::sleep_for(std::chrono::microseconds(2000 + random() % 30000));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);

    FileSettingsStore reopened(path);
    ASSERT_FALSE(reopened.setAsidePath()) << "round " << round << ": the file did not parse";
    auto sites = reopened.data("vesk.sites.v1");
    ASSERT_TRUE(sites) << "round " << round << ": the site list was lost";
    EXPECT_TRUE(decodeSites(*sites)) << "round " << round;
    double width = reopened.doubleValue("vesk.panel.width.v1");
    auto theme = reopened.string("vesk.theme.v1");
    if (width == 0) continue;  // killed before the first size change of this round's file
    ASSERT_TRUE(theme) << "round " << round;
    int step = static_cast<int>(width) - 400;
    ASSERT_EQ(width, 400 + step);
    ASSERT_TRUE(step >= 0 && step < 279) << width;
    auto index = static_cast<std::size_t>(step % 3);
    bool written = *theme == rawValue(allLinkThemes[index]) || *theme == rawValue(allLinkThemes[(index + 2) % 3]) ||
                   (step == 0 && *theme == previousTheme);
    EXPECT_TRUE(written) << "round " << round << ": width " << width << " with theme " << *theme;
    previousTheme = *theme;
    ++checked;
  }
  EXPECT_GT(checked, rounds / 2);
  EXPECT_TRUE(filesNamed("vesk.sites.v1.unreadable-").empty());
  EXPECT_TRUE(filesNamed("settings.ini.unreadable-").empty());
}

}  // namespace
}  // namespace vesk
