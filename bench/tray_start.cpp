// Cold-start benchmark: launches a program again and again and times each launch until the
// StatusNotifierWatcher announces its tray item (StatusNotifierItemRegistered).
//   bench_tray_start <runs> <program> [args...]
// Prints one line per run and summary lines "tray_start_ms median=… min=… max=…" and the
// processor time the program used ("tray_start_cpu_ms").
#include <gio/gio.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

struct Run {
  GMainLoop* loop = nullptr;
  GPid pid = 0;
  bool registered = false;
  bool exited = false;
  gint64 registeredAt = 0;
};

void itemRegistered(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant* parameters,
                    gpointer data) {
  auto* run = static_cast<Run*>(data);
  const gchar* service = nullptr;
  g_variant_get(parameters, "(&s)", &service);
  // Only the program we just launched registers items on this private desktop.
  if (run->pid != 0 && !run->registered) {
    run->registeredAt = g_get_monotonic_time();
    std::printf("  registered %s\n", service);
    run->registered = true;
    g_main_loop_quit(run->loop);
  }
}

gboolean timedOut(gpointer data) {
  g_main_loop_quit(static_cast<GMainLoop*>(data));
  return G_SOURCE_REMOVE;
}

bool nameHasOwner(GDBusConnection* bus, const char* name) {
  GVariant* reply = g_dbus_connection_call_sync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                "org.freedesktop.DBus", "NameHasOwner", g_variant_new("(s)", name),
                                                G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
  if (!reply) return false;
  gboolean owned = FALSE;
  g_variant_get(reply, "(b)", &owned);
  g_variant_unref(reply);
  return owned;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: bench_tray_start <runs> <program> [args...]\n");
    return 2;
  }
  const int runs = std::atoi(argv[1]);
  const char* uniqueName = std::getenv("BENCH_APP_ID");  // the single-instance bus name to wait for
  GError* error = nullptr;
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
  if (!bus) {
    std::fprintf(stderr, "bench_tray_start: no session bus: %s\n", error->message);
    return 1;
  }
  std::vector<double> times, cpu;
  for (int i = 0; i < runs; ++i) {
    Run run;
    run.loop = g_main_loop_new(nullptr, FALSE);
    guint subscription = g_dbus_connection_signal_subscribe(
        bus, nullptr, "org.kde.StatusNotifierWatcher", "StatusNotifierItemRegistered", "/StatusNotifierWatcher",
        nullptr, G_DBUS_SIGNAL_FLAGS_NONE, itemRegistered, &run, nullptr);
    // Make sure the subscription reached the bus before the program starts.
    nameHasOwner(bus, "org.kde.StatusNotifierWatcher");

    const gint64 start = g_get_monotonic_time();
    if (!g_spawn_async(nullptr, argv + 2, nullptr,
                       static_cast<GSpawnFlags>(G_SPAWN_DO_NOT_REAP_CHILD | G_SPAWN_STDOUT_TO_DEV_NULL), nullptr,
                       nullptr, &run.pid, &error)) {
      std::fprintf(stderr, "bench_tray_start: cannot start %s: %s\n", argv[2], error->message);
      return 1;
    }
    guint timeout = g_timeout_add_seconds(30, timedOut, run.loop);
    g_main_loop_run(run.loop);
    if (run.registered) g_source_remove(timeout);
    g_dbus_connection_signal_unsubscribe(bus, subscription);

    // End this instance and wait until it is gone from the bus before the next launch.
    kill(run.pid, SIGTERM);
    int status = 0;
    rusage usage{};
    wait4(run.pid, &status, 0, &usage);
    g_spawn_close_pid(run.pid);
    for (int wait = 0; uniqueName && nameHasOwner(bus, uniqueName) && wait < 500; ++wait) g_usleep(10000);
    g_main_loop_unref(run.loop);

    if (!run.registered) {
      std::fprintf(stderr, "bench_tray_start: run %d: no item registered within 30 s\n", i + 1);
      return 1;
    }
    const double ms = static_cast<double>(run.registeredAt - start) / 1000.0;
    // The processor time the program used (it idles once its item is registered): unlike the
    // wall-clock figure it hardly depends on what else the machine is doing.
    const double cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
                         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
    times.push_back(ms);
    cpu.push_back(cpuMs);
    std::printf("run %d: %.1f ms (cpu %.1f ms)\n", i + 1, ms, cpuMs);
    std::fflush(stdout);
    g_usleep(300000);  // let the tray host settle after the item left
  }
  std::printf("tray_start_ms median=%.1f min=%.1f max=%.1f runs=%zu\n", median(times),
              *std::min_element(times.begin(), times.end()), *std::max_element(times.begin(), times.end()),
              times.size());
  std::printf("tray_start_cpu_ms median=%.1f\n", median(cpu));
  g_object_unref(bus);
  return 0;
}
