#include "browser/desktop_workspace.h"

#include <glib.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "model/constants.h"

namespace vesk {
namespace {

// An address opens in the desktop's default program for it, and that program does not inherit
// the switch Vesk sets for its own web engine. The program here is a private handler of a made-up
// scheme that writes down its environment. In a child process, so that GIO reads the private
// folders from its first look.
TEST(DesktopWorkspaceTest, TheOpenedProgramDoesNotInheritTheEngineSwitch) {
  char pattern[] = "/tmp/vesk-open-XXXXXX";
  const std::filesystem::path dir = mkdtemp(pattern);
  const std::filesystem::path seen = dir / "environment";
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::filesystem::create_directories(dir / "data" / "applications");
    std::filesystem::create_directories(dir / "config");
    std::ofstream(dir / "data" / "applications" / "vesk-test-opener.desktop")
        << "[Desktop Entry]\nType=Application\nName=Opener\nExec=sh -c 'env > " << seen.string() << ".part && mv "
        << seen.string() << ".part " << seen.string() << "' sh %u\nMimeType=x-scheme-handler/vesktest;\n";
    std::ofstream(dir / "config" / "mimeapps.list")
        << "[Default Applications]\nx-scheme-handler/vesktest=vesk-test-opener.desktop\n";
    g_setenv("XDG_DATA_HOME", (dir / "data").c_str(), TRUE);
    g_setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), TRUE);
    g_setenv("XDG_DATA_DIRS", (dir / "none").c_str(), TRUE);
    g_setenv("XDG_CONFIG_DIRS", (dir / "none").c_str(), TRUE);
    g_setenv("GIO_USE_PORTALS", "0", TRUE);
    g_setenv(webMemoryMonitorSwitch, "1", TRUE);
    g_setenv("VESK_TEST_MARK", "inherited", TRUE);
    DesktopWorkspace().openAddress("vesktest://page");
    const gint64 deadline = g_get_monotonic_time() + 20 * G_USEC_PER_SEC;
    while (g_get_monotonic_time() < deadline) {
      g_main_context_iteration(nullptr, FALSE);
      std::ifstream in(seen);
      std::stringstream text;
      text << in.rdbuf();
      if (text.str().find("VESK_TEST_MARK=") != std::string::npos) std::_Exit(0);
      g_usleep(20000);
    }
    std::_Exit(1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the handler never ran";
  std::ifstream in(seen);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_NE(text.str().find("VESK_TEST_MARK=inherited"), std::string::npos) << text.str();
  EXPECT_EQ(text.str().find(webMemoryMonitorSwitch), std::string::npos) << text.str();
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace vesk
