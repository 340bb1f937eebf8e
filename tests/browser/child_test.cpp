#include "browser/child_test.h"

#include <signal.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include "support/gtk_test_support.h"

namespace vesk::test {

int runChildTest(const std::string& testFilter, const std::map<std::string, std::string>& environment) {
  gchar* self = g_file_read_link("/proc/self/exe", nullptr);
  std::string filter = "--gtest_filter=" + testFilter;
  gchar* argv[] = {self, filter.data(), nullptr};
  gchar** env = g_get_environ();
  for (const auto& [name, value] : environment) env = g_environ_setenv(env, name.c_str(), value.c_str(), TRUE);
  GPid pid = 0;
  GError* error = nullptr;
  bool spawned = g_spawn_async(nullptr, argv, env, G_SPAWN_DO_NOT_REAP_CHILD, nullptr, nullptr, &pid, &error);
  g_strfreev(env);
  g_free(self);
  if (!spawned) {
    ADD_FAILURE() << error->message;
    g_clear_error(&error);
    return -1;
  }
  int status = -1;
  bool ended = false;
  guint watch = g_child_watch_add_full(
      G_PRIORITY_DEFAULT, pid,
      +[](GPid, gint waitStatus, gpointer data) {
        auto* result = static_cast<std::pair<int*, bool*>*>(data);
        *result->first = WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1;
        *result->second = true;
      },
      new std::pair<int*, bool*>(&status, &ended),
      [](gpointer data) { delete static_cast<std::pair<int*, bool*>*>(data); });
  if (!testing::waitFor([&] { return ended; }, 120)) {
    g_source_remove(watch);
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
  }
  g_spawn_close_pid(pid);
  return status;
}

}  // namespace vesk::test
