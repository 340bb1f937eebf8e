// What a size slider drag costs the main loop per change: a model on a real settings file (in a
// private folder under $XDG_CONFIG_HOME, or /tmp), three sites, the panel width changed step by
// step as a drag does, one step every 16 ms. Each step's main-loop time is the change itself plus
// whatever the main loop then runs for the store (the outcome of a finished write).
//   bench_settings_writes [steps] [--wait-each]
// --wait-each waits in each step until its write is on disk, as every change did while the file
// was written on the main loop: the figure before the writer thread.
// Prints one "step_ms=…" line per step, then "slider_drag_ms median=… max=… steps=…".
#include <glib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "model/app_model.h"
#include "model/file_settings_store.h"

namespace {
double nowMs() { return static_cast<double>(g_get_monotonic_time()) / 1000.0; }
}  // namespace

int main(int argc, char** argv) {
  const int steps = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
  const bool waitEach = argc > 2 && std::strcmp(argv[2], "--wait-each") == 0;
  const char* base = g_getenv("XDG_CONFIG_HOME");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/vesk-bench-writes-XXXXXX";
  if (!g_mkdtemp(pattern.data())) {
    std::perror("bench_settings_writes: mkdtemp");
    return 1;
  }
  const std::filesystem::path folder = pattern;
  std::vector<double> costs;
  {
    vesk::FileSettingsStore store(folder / "settings.ini");
    vesk::AppModel model(store);  // writes the three default sites
    store.flush();
    for (int i = 0; i < steps; ++i) {
      const double start = nowMs();
      model.changePanelSize(vesk::PanelLimits::minWidth + (i % 280), std::nullopt);
      if (waitEach) store.flush();
      while (g_main_context_iteration(nullptr, FALSE)) {
      }
      costs.push_back(nowMs() - start);
      g_usleep(16000);
      // What arrived while the drag paused belongs to the main loop's time too.
      const double idleStart = nowMs();
      while (g_main_context_iteration(nullptr, FALSE)) {
      }
      costs.back() += nowMs() - idleStart;
      std::printf("step_ms=%.3f\n", costs.back());
    }
    if (model.saveError()) std::fprintf(stderr, "bench_settings_writes: %s\n", model.saveError()->c_str());
  }
  std::filesystem::remove_all(folder);
  std::vector<double> sorted = costs;
  std::sort(sorted.begin(), sorted.end());
  std::printf("slider_drag_ms median=%.3f max=%.3f steps=%d\n", sorted[sorted.size() / 2], sorted.back(), steps);
  return 0;
}
