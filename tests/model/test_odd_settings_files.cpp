// The settings file in odd places, with odd neighbours: what is not a regular file never holds
// Vesk up, Vesk's folder and file are made private at every start, hand-written addresses that
// are not web addresses are left out (and kept), and another program's edits are kept aside.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <optional>
#include <sstream>

#include "model/app_model.h"
#include "model/file_settings_store.h"

namespace fs = std::filesystem;

namespace vesk {
namespace {

constexpr const char* kMine = "0F8FAD5B-D9CB-469F-A165-70867728950E";

class OddSettingsFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/vesk-odd-XXXXXX";
    dir = mkdtemp(pattern);
    folder = dir / "vesk";
    path = folder / "settings.ini";
    fs::create_directories(folder);
  }
  void TearDown() override { fs::remove_all(dir); }

  static std::string read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  static void write(const fs::path& p, const std::string& contents) { std::ofstream(p, std::ios::binary) << contents; }
  std::vector<fs::path> named(const std::string& prefix) const {
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(folder))
      if (e.path().filename().string().rfind(prefix, 0) == 0) out.push_back(e.path());
    return out;
  }
  static unsigned mode(const fs::path& p) {
    struct stat info {};
    return stat(p.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
  }
  static std::string sites(const std::string& address) {
    return std::string(R"([{"id":")") + kMine + R"(","name":"Mine","address":")" + address + R"("}])";
  }

  // Opens the store on another thread and gives up after a minute, freeing a store stuck on a
  // named pipe by opening the pipe's other end: a store that waits fails the test, not the run.
  std::unique_ptr<FileSettingsStore> openWithoutWaiting(const fs::path& pipe) {
    auto opening = std::async(std::launch::async, [this] { return std::make_unique<FileSettingsStore>(path); });
    if (opening.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
      const int fd = open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
      ADD_FAILURE() << "opening the settings waited on " << pipe;
      if (fd >= 0) close(fd);
    }
    return opening.get();
  }

  fs::path dir, folder, path;
};

// What is not a regular file at the settings path is never read from and never waited on. At the
// path itself it is kept aside and a fresh file is written; reached through a link, it and the
// link stay as they are and nothing is written.
TEST_F(OddSettingsFiles, WhatIsNotARegularFileNeverBlocksAndIsKeptOrLeftAlone) {
  const fs::path elsewhere = dir / "elsewhere";
  auto makeSocket = [](const fs::path& p) {
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", p.c_str());
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0) << p;
    close(fd);
  };
  const struct {
    const char* name;
    std::function<void()> make;
    fs::path pipe;        // a named pipe the opening could wait on
    bool keptAside;       // moved aside (else left in place, and writes refused)
    fs::file_type kept;   // what stands aside, or still at the path's end
    const char* refusal;  // the write error when left in place
  } cases[] = {
      {"a named pipe", [&] { ASSERT_EQ(mkfifo(path.c_str(), 0644), 0); }, path, true, fs::file_type::fifo, ""},
      {"a socket", [&] { makeSocket(path); }, {}, true, fs::file_type::socket, ""},
      {"a link to a named pipe",
       [&] {
         ASSERT_EQ(mkfifo(elsewhere.c_str(), 0644), 0);
         fs::create_symlink(elsewhere, path);
       },
       elsewhere, false, fs::file_type::fifo, "is a named pipe, not a regular file"},
      {"a link to /dev/null",
       [&] { fs::create_symlink("/dev/null", path); },
       {},
       false,
       fs::file_type::character,
       "is a device, not a regular file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(folder);
    fs::remove_all(elsewhere);
    fs::create_directories(folder);
    c.make();
    auto store = openWithoutWaiting(c.pipe);
    AppModel model(*store);
    EXPECT_EQ(model.sites().size(), 3u);  // the defaults
    store->flush();
    if (c.keptAside) {
      ASSERT_TRUE(store->setAsidePath());
      EXPECT_EQ(fs::symlink_status(*store->setAsidePath()).type(), c.kept);
      EXPECT_NE(store->openProblem()->find("not a regular file"), std::string::npos) << *store->openProblem();
      EXPECT_FALSE(model.saveError()) << *model.saveError();
      EXPECT_EQ(fs::symlink_status(path).type(), fs::file_type::regular);
      EXPECT_EQ(mode(path), 0600u);
    } else {
      EXPECT_FALSE(store->setAsidePath());
      EXPECT_EQ(fs::symlink_status(path).type(), fs::file_type::symlink);
      EXPECT_EQ(fs::status(path).type(), c.kept);
      ASSERT_TRUE(model.saveError());
      EXPECT_EQ(*model.saveError(), "\u201c" + path.string() + "\u201d " + c.refusal);
    }
  }
  EXPECT_EQ(fs::status("/dev/null").type(), fs::file_type::character);
}

// A folder where the settings folder should be is named in the one message every write gives.
TEST_F(OddSettingsFiles, AFileWhereAFolderShouldBeIsNamed) {
  fs::remove_all(folder);
  write(folder, "in the way");
  for (const fs::path& where : {path, folder / "deeper" / "settings.ini"}) {
    FileSettingsStore store(where);
    AppModel model(store);
    store.flush();
    ASSERT_TRUE(model.saveError()) << where;
    EXPECT_EQ(*model.saveError(), "\u201c" + folder.string() + "\u201d is a file, not a folder");
  }
}

// Vesk's folder and file become private at every opening, whatever made them; the folder above
// (the user's config folder) is not Vesk's and keeps its mode.
TEST_F(OddSettingsFiles, OwnFolderAndFileAreMadePrivateAtEveryStart) {
  const struct {
    unsigned parent, folder, file;
  } cases[] = {{0755, 0755, 0644}, {0711, 0777, 0666}, {0700, 0700, 0600}, {0755, 0750, 0640}};
  for (const auto& c : cases) {
    write(path, "[vesk]\nvesk.theme.v1=midnight\n");
    chmod(dir.c_str(), c.parent);
    chmod(folder.c_str(), c.folder);
    chmod(path.c_str(), c.file);
    FileSettingsStore store(path);
    EXPECT_EQ(store.string("vesk.theme.v1"), "midnight");
    EXPECT_EQ(mode(folder), 0700u) << std::oct << c.folder;
    EXPECT_EQ(mode(path), 0600u) << std::oct << c.file;
    EXPECT_EQ(mode(dir), c.parent);
  }
}

// Stored addresses are checked as typed ones are: only http and https load. The list as it was is
// kept beside the file, the file is rewritten without the refused sites, and the user hears of it
// once (not again at the next start).
TEST_F(OddSettingsFiles, StoredAddressesThatAreNotWebAddressesAreLeftOutKeptAndToldOnce) {
  const struct {
    std::string address;
    std::optional<std::string> loaded;  // absent: refused
  } cases[] = {
      {"javascript:alert(document.cookie)", std::nullopt},
      {"JavaScript://example.org/%0Aalert(1)", std::nullopt},
      {"file:///etc/passwd", std::nullopt},
      {"data:text/html,<script>alert(1)</script>", std::nullopt},
      {"ftp://files.example.org/", std::nullopt},
      {"about:blank", std::nullopt},
      {"https://" + std::string(Address::maxLength, 'a') + ".org/", std::nullopt},
      {"https://mine.example.org/", "https://mine.example.org/"},
      {"HTTP://Mine.Example.org/path?q=1", "HTTP://Mine.Example.org/path?q=1"},
      {"mine.example.org", "https://mine.example.org"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.address.substr(0, 60));
    fs::remove_all(folder);
    fs::create_directories(folder);
    const std::string stored =
        "[" + sites(c.address).substr(1, sites(c.address).size() - 2) +
        R"(,{"id":"7C9E6679-7425-40DE-944B-E07FC1F90AE7","name":"Two","address":"https://two.example.org/"}])";
    write(path, "[vesk]\nvesk.sites.v1=" + stored + "\n");
    {
      FileSettingsStore store(path);
      AppModel model(store);
      ASSERT_EQ(model.sites().size(), c.loaded ? 2u : 1u);
      EXPECT_EQ(model.sites().back().address, "https://two.example.org/");
      if (c.loaded) {
        EXPECT_EQ(model.sites().front().address, *c.loaded);
      }
      const auto backups = named("vesk.sites.v1.unreadable-");
      if (c.loaded) {
        EXPECT_TRUE(backups.empty());
        EXPECT_FALSE(model.settingsNotice());
        continue;
      }
      ASSERT_EQ(backups.size(), 1u);
      EXPECT_EQ(read(backups[0]), stored);
      ASSERT_TRUE(model.settingsNotice());
      EXPECT_NE(model.settingsNotice()->find(backups[0].string()), std::string::npos) << *model.settingsNotice();
      EXPECT_EQ(model.selectedSite()->name, "Two");
    }
    FileSettingsStore again(path);
    AppModel reloaded(again);
    EXPECT_EQ(reloaded.sites().size(), 1u);
    EXPECT_FALSE(reloaded.settingsNotice());
    EXPECT_EQ(named("vesk.sites.v1.unreadable-").size(), 1u);
  }
}

// Another program changes settings.ini while Vesk runs: the next change keeps that version beside
// the file, byte for byte, before writing Vesk's state, and says so once; a change with nothing
// new on disk keeps nothing.
TEST_F(OddSettingsFiles, AnotherWritersVersionIsKeptAsideBeforeTheNextWrite) {
  const std::string theirs = "[vesk]\nvesk.theme.v1=obsidian\n# edited by hand\n";
  const struct {
    const char* name;
    std::function<void()> edit;
    bool kept;
  } cases[] = {
      {"replaced through a new file",
       [&] {
         write(dir / "new.ini", theirs);
         fs::rename(dir / "new.ini", path);
       },
       true},
      {"rewritten in place", [&] { write(path, theirs); }, true},
      {"appended to in place", [&] { std::ofstream(path, std::ios::binary | std::ios::app) << "# one more line\n"; },
       true},
      {"removed", [&] { fs::remove(path); }, false},
      {"left alone", [] {}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(folder);
    fs::create_directories(folder);
    write(path, "[vesk]\nvesk.sites.v1=" + sites("https://mine.example.org/") + "\n");
    FileSettingsStore store(path);
    AppModel model(store);
    model.changeTheme(LinkTheme::midnight);  // a write of Vesk's own before the other program
    store.flush();
    c.edit();
    const std::string onDisk = fs::exists(path) ? read(path) : "";
    model.changePageZoom(1.1);
    store.flush();
    const auto aside = named("settings.ini.changed-");
    if (!c.kept) {
      EXPECT_TRUE(aside.empty());
      EXPECT_FALSE(model.settingsNotice());
    } else {
      ASSERT_EQ(aside.size(), 1u);
      EXPECT_EQ(read(aside[0]), onDisk);
      ASSERT_TRUE(model.settingsNotice());
      EXPECT_NE(model.settingsNotice()->find(aside[0].string()), std::string::npos) << *model.settingsNotice();
    }
    const std::string ours = read(path);
    EXPECT_NE(ours.find("vesk.theme.v1=midnight"), std::string::npos) << ours;
    EXPECT_NE(ours.find("vesk.panel.zoom.v1=1.1"), std::string::npos) << ours;
    // Vesk's own writes since are not taken for another program's.
    model.settingsNotice.set(std::nullopt);
    model.changePageZoom(0.9);
    model.changeTheme(LinkTheme::graphite);
    store.flush();
    EXPECT_EQ(named("settings.ini.changed-").size(), aside.size());
    EXPECT_FALSE(model.settingsNotice());
  }
}

}  // namespace
}  // namespace vesk
