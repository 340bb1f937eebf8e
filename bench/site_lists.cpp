// How long the two lists of all sites take to open with many saved sites, measured inside one
// process on the real widgets: the panel view with its settings screen, a model on the real
// settings file (in a private folder), and fake web pages (no page is loaded).
//   bench_site_lists dropdown <sites> [name-length]
//     the panel is shown on the browsing screen; the site drop-down is opened (as a click does)
//     and the time runs until the frame that shows it has been painted.
//   bench_site_lists websites <sites> [name-length]
//     the panel is shown; the Websites tab is opened (as the add button does) and the time runs
//     until the frame that shows it has been painted.
//   bench_site_lists general <sites>
//     the same for the settings screen's General tab, which lists no sites: the cost of the
//     settings screen itself.
// Every site is named "Site <n>"; with a name length, the first site's name is that many
// characters long. Prints "panel_show_ms=…" (building and painting the panel) and
// "<what>_open_ms=… cpu_ms=…" (wall time, and the processor time spent in it). Run it under a display (bench/run.sh
// does).
#include <gtkmm/main.h>
#include <gtkmm/settings.h>
#include <gtkmm/window.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <time.h>

#include "model/file_settings_store.h"
#include "panel/panel_fakes.h"
#include "panel/vesk_view.h"
#include "settings/fake_login_items.h"
#include "settings/settings_screen.h"
#include "support/named_widgets.h"

namespace {

double nowMs() { return static_cast<double>(g_get_monotonic_time()) / 1000.0; }

// Processor time of this process, which depends little on what else the machine runs.
double cpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// Runs the main loop until the window's frame clock has painted a frame after `condition` held.
void untilPainted(Gtk::Window& window, const std::function<bool()>& condition) {
  bool painted = false;
  GdkFrameClock* clock = nullptr;
  gulong handler = 0;
  while (!painted) {
    if (!clock && condition() && window.get_window()) {
      clock = gdk_window_get_frame_clock(window.get_window()->gobj());
      handler = g_signal_connect(clock, "after-paint",
                                 G_CALLBACK(+[](GdkFrameClock*, gpointer flag) { *static_cast<bool*>(flag) = true; }),
                                 &painted);
      gdk_frame_clock_request_phase(clock, GDK_FRAME_CLOCK_PHASE_PAINT);
    }
    g_main_context_iteration(nullptr, TRUE);
  }
  g_signal_handler_disconnect(clock, handler);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s dropdown|websites <sites> [name-length]\n", argv[0]);
    return 2;
  }
  const std::string what = argv[1];
  const int count = std::atoi(argv[2]);
  const int nameLength = argc > 3 ? std::atoi(argv[3]) : 0;
  if (!gtk_init_check(nullptr, nullptr)) return 1;
  Gtk::Main::init_gtkmm_internals();
  Gtk::Settings::get_default()->property_gtk_application_prefer_dark_theme() = true;

  char folder[] = "/tmp/vesk-bench-lists-XXXXXX";
  if (!mkdtemp(folder)) return 1;
  std::vector<vesk::LinkSite> sites;
  for (int i = 0; i < count; ++i) {
    std::string name = "Site " + std::to_string(i + 1);
    if (i == 0 && nameLength > 0) name = std::string(static_cast<std::size_t>(nameLength), 'W');
    sites.push_back(vesk::LinkSite(name, "https://site" + std::to_string(i + 1) + ".example.com/"));
  }
  vesk::FileSettingsStore store(std::filesystem::path(folder) / "settings.ini");
  store.setData(vesk::SettingsKey::sites, vesk::encodeSites(sites).value());
  vesk::AppModel model(store);
  vesk::testing::FakePageFactory pages;
  vesk::testing::FakeClipboard clipboard;
  vesk::testing::FakeWorkspace workspace;
  vesk::testing::FakeKeyMonitor keys;
  vesk::testing::FakeTimers timers;
  vesk::testing::FakeLoginItems login;

  double start = nowMs();
  Gtk::Window window;
  window.set_default_size(460, 640);
  auto* view = Gtk::manage(new vesk::VeskView(
      model, vesk::PanelServices{pages, clipboard, workspace, keys, timers.runAfter(), [] { return false; }}, [] {},
      [&](vesk::VeskViewState& state) {
        return Gtk::manage(new vesk::SettingsScreen(state, vesk::SettingsServices{login, [] {}}));
      }));
  window.add(*view);
  window.show_all();
  untilPainted(window, [&] { return view->get_mapped(); });
  std::printf("panel_show_ms=%.1f\n", nowMs() - start);
  for (int i = 0; i < 50 && g_main_context_pending(nullptr); ++i) g_main_context_iteration(nullptr, FALSE);

  start = nowMs();
  const double startCpu = cpuMs();
  if (what == "dropdown") {
    auto& button = vesk::testing::named<Gtk::MenuButton>(*view, vesk::SiteBar::WidgetName::menuButton);
    button.set_active(true);
    // The drop-down is a menu in a window of its own, or, for many sites, a pop-over drawn in
    // the panel's window: wait until it is mapped and has been painted.
    Gtk::Window* popup = nullptr;
    Gtk::Popover* popover = button.get_popover();
    while (!popup) {
      if (popover && popover->get_mapped()) popup = &window;
      for (Gtk::Window* toplevel : Gtk::Window::list_toplevels()) {
        if (toplevel != &window && toplevel->get_mapped() && toplevel->get_window()) popup = toplevel;
      }
      if (!popup) g_main_context_iteration(nullptr, TRUE);
    }
    untilPainted(*popup, [] { return true; });
  } else if (what == "general") {
    view->state().openSettings();
    view->render();
    untilPainted(window,
                 [&] { return vesk::testing::named(*view, vesk::VeskView::WidgetName::settingsScreen).get_mapped(); });
  } else {
    view->state().addWebsite();
    view->render();
    untilPainted(window,
                 [&] { return vesk::testing::named(*view, vesk::VeskView::WidgetName::settingsScreen).get_mapped(); });
  }
  std::printf("%s_open_ms=%.1f cpu_ms=%.1f\n", what.c_str(), nowMs() - start, cpuMs() - startCpu);
  std::filesystem::remove_all(folder);
  return 0;
}
