#include <glib.h>
#include <glib/gstdio.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "settings/autostart_login_items.h"

namespace vesk {
namespace {

std::string readFile(const std::string& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

void removeTree(const std::string& path) {
  std::string command = "rm -rf '" + path + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
}

class AutostartLoginItemsTest : public ::testing::Test {
 protected:
  // GLib reads XDG_CONFIG_HOME once per process, so every test shares one temporary folder.
  static void SetUpTestSuite() {
    char pattern[] = "/tmp/vesk-autostart-XXXXXX";
    configHome = g_mkdtemp(pattern);
    g_setenv("XDG_CONFIG_HOME", configHome.c_str(), TRUE);
  }
  static void TearDownTestSuite() { removeTree(configHome); }
  void SetUp() override { removeTree(configHome + "/autostart"); }

  std::string entryPath() const { return configHome + "/autostart/io.github.vesk.Vesk.desktop"; }

  static std::string configHome;
};
std::string AutostartLoginItemsTest::configHome;

TEST_F(AutostartLoginItemsTest, EnableWritesAValidEntryForTheRunningBinary) {
  AutostartLoginItems items;
  EXPECT_EQ(items.entryPath(), entryPath());
  EXPECT_EQ(items.status(), LoginItemStatus::notRegistered);
  EXPECT_EQ(items.registerItem(), std::nullopt);
  EXPECT_EQ(items.status(), LoginItemStatus::enabled);

  std::string command = "desktop-file-validate '" + entryPath() + "' 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char buffer[256];
  while (fgets(buffer, sizeof buffer, pipe)) output += buffer;
  EXPECT_EQ(pclose(pipe), 0) << output;
  EXPECT_EQ(output, "");

  GKeyFile* file = g_key_file_new();
  ASSERT_TRUE(g_key_file_load_from_file(file, entryPath().c_str(), G_KEY_FILE_NONE, nullptr));
  auto value = [&](const char* key) {
    char* text = g_key_file_get_string(file, "Desktop Entry", key, nullptr);
    std::string result = text ? text : "";
    g_free(text);
    return result;
  };
  char* self = g_file_read_link("/proc/self/exe", nullptr);
  ASSERT_NE(self, nullptr);
  EXPECT_EQ(value("Exec"), desktopExecArgument(self));
  EXPECT_TRUE(g_path_is_absolute(value("Exec").c_str()));
  g_free(self);
  EXPECT_EQ(value("Type"), "Application");
  EXPECT_EQ(value("Name"), "Vesk");
  EXPECT_EQ(value("Icon"), "io.github.vesk.Vesk");
  EXPECT_EQ(value("X-GNOME-Autostart-enabled"), "true");
  EXPECT_EQ(value("NoDisplay"), "false");
  g_key_file_free(file);
}

TEST_F(AutostartLoginItemsTest, DisableRemovesTheEntryAndMissingEntryIsNoFailure) {
  AutostartLoginItems items;
  ASSERT_EQ(items.registerItem(), std::nullopt);
  EXPECT_EQ(items.unregisterItem(), std::nullopt);
  EXPECT_FALSE(g_file_test(entryPath().c_str(), G_FILE_TEST_EXISTS));
  EXPECT_EQ(items.status(), LoginItemStatus::notRegistered);
  EXPECT_EQ(items.unregisterItem(), std::nullopt);
}

TEST_F(AutostartLoginItemsTest, EntriesTheDesktopSkipsReadAsNotEnabled) {
  AutostartLoginItems items;
  ASSERT_EQ(items.registerItem(), std::nullopt);
  std::string entry = readFile(entryPath());

  writeFile(entryPath(), entry + "Hidden=true\n");
  EXPECT_EQ(items.status(), LoginItemStatus::notRegistered);
  writeFile(entryPath(), entry + "Hidden=false\n");
  EXPECT_EQ(items.status(), LoginItemStatus::enabled);

  std::string off = entry;
  off.replace(off.find("X-GNOME-Autostart-enabled=true"), 30, "X-GNOME-Autostart-enabled=false");
  writeFile(entryPath(), off);
  EXPECT_EQ(items.status(), LoginItemStatus::notRegistered);

  writeFile(entryPath(), "this is not a desktop entry");
  EXPECT_EQ(items.status(), LoginItemStatus::notRegistered);
  // Enabling again replaces whatever was there.
  EXPECT_EQ(items.registerItem(), std::nullopt);
  EXPECT_EQ(items.status(), LoginItemStatus::enabled);
}

TEST_F(AutostartLoginItemsTest, UnwritableFolderFailsWithAReadableMessage) {
  // Root ignores permissions, so block the folder by putting a file where it should be.
  writeFile(configHome + "/autostart", "in the way");
  AutostartLoginItems items;
  auto failure = items.registerItem();
  ASSERT_TRUE(failure);
  EXPECT_NE(failure->find("autostart"), std::string::npos) << *failure;
  EXPECT_NE(failure->find(g_strerror(ENOTDIR)), std::string::npos) << *failure;
  EXPECT_EQ(items.status(), LoginItemStatus::notRegistered);
  g_remove((configHome + "/autostart").c_str());
}

TEST_F(AutostartLoginItemsTest, RemovalThatFailsSaysWhy) {
  // A non-empty folder under the entry's name cannot be removed as a file.
  ASSERT_EQ(g_mkdir_with_parents((entryPath() + "/inside").c_str(), 0700), 0);
  AutostartLoginItems items;
  auto failure = items.unregisterItem();
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->rfind("Could not remove “", 0), 0u) << *failure;
}

TEST(DesktopExecArgument, QuotesReservedCharactersAndDoublesPercent) {
  EXPECT_EQ(desktopExecArgument("/usr/bin/vesk"), "/usr/bin/vesk");
  EXPECT_EQ(desktopExecArgument("/opt/My Apps/vesk"), "\"/opt/My Apps/vesk\"");
  EXPECT_EQ(desktopExecArgument("/opt/100%/vesk"), "/opt/100%%/vesk");
  EXPECT_EQ(desktopExecArgument("/opt/a\"b$c/vesk"), "\"/opt/a\\\"b\\$c/vesk\"");
  // The quoted form reads back as the one original argument.
  char** argv = nullptr;
  ASSERT_TRUE(g_shell_parse_argv(desktopExecArgument("/opt/My Apps/a'b/vesk").c_str(), nullptr, &argv, nullptr));
  EXPECT_STREQ(argv[0], "/opt/My Apps/a'b/vesk");
  EXPECT_EQ(argv[1], nullptr);
  g_strfreev(argv);
}

}  // namespace
}  // namespace vesk
