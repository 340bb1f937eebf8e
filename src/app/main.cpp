// Program entry: one Vesk per desktop session. The first launch puts the icon in the tray; later
// launches hand their command line to it (no options: show the panel).
#include <gdk/gdk.h>
#include <giomm/application.h>
#include <giomm/init.h>
#include <glib-unix.h>
#include <glibmm/exception.h>
#include <glibmm/main.h>
#include <glibmm/markup.h>
#include <gmodule.h>
#include <gtk/gtk.h>
#include <gtkmm/box.h>
#include <gtkmm/label.h>
#include <gtkmm/main.h>
#include <libintl.h>
#include <signal.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/entry.h"
#include "app/panel_module.h"
#include "hotkeys/main_queue.h"
#include "hotkeys/session_hotkeys.h"
#include "model/constants.h"
#include "model/desktop_notification.h"
#include "model/desktop_session.h"
#include "model/file_settings_store.h"
#include "model/own_paths.h"
#include "model/scoped_connection.h"
#include "model/strings.h"
#include "shell/app_delegate.h"
#include "shell/click_monitor.h"
#include "shell/display_session.h"
#include "shell/gtk_panel_window.h"
#include "shell/panel_dialogs.h"
#include "shell/system_tray_item.h"

// Last: its macros clash with names in the gtkmm headers.
#include <X11/Xlib.h>

namespace {

struct Running {
  bool failed = false;  // starting failed: the run ends with an error status
  std::unique_ptr<vesk::FileSettingsStore> store;
  std::unique_ptr<vesk::HotkeyService> hotkeys;
  std::unique_ptr<vesk::AppDelegate> delegate;
  vesk::GtkPanelWindow* panel = nullptr;
  // The panel's dialogs (a page's file chooser, print dialog): fitted to the screen, above the panel.
  std::unique_ptr<vesk::PanelDialogs> dialogs;
};

// The settings store while Vesk runs, for the ways out that skip the usual shutdown.
vesk::FileSettingsStore* liveStore = nullptr;
int (*gdkIoErrorHandler)(Display*) = nullptr;

// The display went away (the session ended, or the X server stopped): GDK's handler ends the
// process at once, so the settings still being written are finished first.
// Screen readers announce an application by the name of its accessible root, which GTK gives
// the program name (the application id here, which desktops match windows by and which stays).
// The root is named after the product instead.
void nameAccessibleApplication() {
  AtkObject* root = atk_get_root();
  if (!root) return;
  const std::string name(vesk::strings::appName());
  atk_object_set_name(root, name.c_str());
  if (g_strcmp0(atk_object_get_name(root), name.c_str()) == 0) return;
  // GTK's root answers with the program name whatever name it was given: let it answer with its
  // given name. The root is the one object of its class.
  ATK_OBJECT_GET_CLASS(root)->get_name = +[](AtkObject* object) -> const gchar* { return object->name; };
}

int onDisplayLost(Display* display) {
  if (liveStore) {
    // Nothing may draw any more: the outcome is not passed on to the panel.
    liveStore->setWriteOutcomeHandler(nullptr);
    liveStore->flush();
  }
  return gdkIoErrorHandler ? gdkIoErrorHandler(display) : 0;
}

// SIGTERM (a session ending, `kill`, the session bus closing), SIGINT and SIGHUP end Vesk as its
// Quit item does, so that the settings file is complete when the process is gone. A second signal
// while quitting ends it at once.
void quitOnSignals(Gio::Application& app) {
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    g_unix_signal_add(
        signal,
        [](gpointer application) -> gboolean {
          static_cast<Gio::Application*>(application)->quit();
          return G_SOURCE_REMOVE;
        },
        &app);
  }
}

bool hasIcon(const std::filesystem::path& dir) {
  std::error_code error;
  return std::filesystem::exists(dir / "hicolor/symbolic/apps" / (std::string(vesk::trayIconName) + ".svg"), error);
}

// The icon folder the tray host reads our symbolic icon from: the installed one next to the
// binary's prefix, else the build tree's copy.
std::string iconThemePath() {
  std::error_code error;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (!error) {
    auto installed = exe.parent_path().parent_path() / "share" / "icons";
    if (hasIcon(installed)) return installed.string();
  }
  if (hasIcon(VESK_BUILD_ICON_DIR)) return VESK_BUILD_ICON_DIR;
  return {};
}

// A module's entry point, or why the module could not be loaded.
struct LoadedModule {
  void* entry = nullptr;
  std::string problem;  // what is missing, when `entry` is absent
};

// Loads one of Vesk's modules: beside the executable in a build tree, or in <libdir>/vesk when
// installed, and keeps it resident. Safe on any thread: it touches nothing but the loader.
LoadedModule loadModule(const char* name, const char* entryName) {
  LoadedModule loaded;
  std::error_code error;
  const auto folders = vesk::panelModuleFolders(std::filesystem::read_symlink("/proc/self/exe", error),
                                                VESK_MODULE_DIR_FROM_BINDIR, VESK_MODULE_DIR);
  for (const auto& folder : folders) {
    const auto candidate = folder / name;
    if (!std::filesystem::exists(candidate, error)) continue;
    GModule* handle = g_module_open(candidate.c_str(), G_MODULE_BIND_LAZY);
    gpointer symbol = nullptr;
    if (handle && g_module_symbol(handle, entryName, &symbol) && symbol) {
      g_module_make_resident(handle);
      loaded.entry = symbol;
      return loaded;
    }
    const char* why = g_module_error();
    loaded.problem = vesk::strings::panelModuleNotLoaded(name, folder.string(),
                                                         why ? std::string_view(why) : vesk::strings::unknownError());
    if (handle) g_module_close(handle);
  }
  if (loaded.problem.empty()) {
    std::string looked;
    for (const auto& folder : folders)
      looked = looked.empty() ? folder.string() : vesk::strings::bothOf(looked, folder.string());
    loaded.problem = vesk::strings::panelModuleMissing(name, looked);
  }
  return loaded;
}

template <class Function>
Function entryAs(const LoadedModule& module) {
  Function function = nullptr;
  std::memcpy(&function, &module.entry, sizeof function);
  return function;
}

// The panel module, loaded on first use on the main loop. When it cannot be loaded, says what is
// missing in one line on standard error.
const LoadedModule& loadPanelModule() {
  static const LoadedModule module = [] {
    LoadedModule loaded = loadModule(vesk::panelModuleName, vesk::panelModuleEntry);
    if (!loaded.entry) std::cerr << vesk::strings::cannotShowPanel(loaded.problem) << "\n";
    return loaded;
  }();
  return module;
}

// The web module (WebKit and the engine on it), loaded on a thread of its own once the panel has
// been drawn: loading and relocating WebKit's libraries is the longest part of a first show, and
// the main loop stays free meanwhile. Its services are handed out on the main loop once it is in.
class WebModule {
 public:
  // Starts loading once `content` has been drawn for the first time: while the module is being
  // loaded the dynamic loader is held, and the panel's first frame would wait for it wherever GTK
  // starts a thread or loads a module of its own (fonts, icons).
  void startAfterFirstDrawing(Gtk::Widget& content) {
    firstDrawing_ = content.signal_draw().connect(
        [this](const Cairo::RefPtr<Cairo::Context>&) {
          firstDrawing_.disconnect();
          Glib::signal_idle().connect_once([this] { start(); });
          return false;
        },
        true);
  }

  // Hands `receive` the services on the main loop once the module is loaded.
  void request(vesk::WebServicesReceiver receive) {
    waiting_.push_back(std::move(receive));
    if (loaded_) deliver();
  }

 private:
  // Starts loading, once. Called after the panel module is loaded: the web module takes the
  // browser layer from it.
  void start() {
    if (started_) return;
    started_ = true;
    g_thread_unref(g_thread_new("vesk-load-web", &WebModule::load, this));
  }

  static gpointer load(gpointer data) {
    auto* self = static_cast<WebModule*>(data);
    self->module_ = loadModule(vesk::webModuleName, vesk::webModuleEntry);
    // The main loop reads the result only after this hop.
    g_idle_add_full(
        G_PRIORITY_DEFAULT,
        [](gpointer data) -> gboolean {
          auto* self = static_cast<WebModule*>(data);
          self->loaded_ = true;
          if (!self->module_.entry) std::cerr << vesk::strings::cannotShowPages(self->module_.problem) << "\n";
          self->deliver();
          return G_SOURCE_REMOVE;
        },
        self, nullptr);
    return nullptr;
  }

  void deliver() {
    auto waiting = std::exchange(waiting_, {});
    for (auto& receive : waiting) {
      if (auto make = entryAs<vesk::MakeWebServicesFunction>(module_))
        receive(std::unique_ptr<vesk::WebServices>(make()), {});
      else
        receive(nullptr, module_.problem);
    }
  }

  bool started_ = false;
  bool loaded_ = false;
  LoadedModule module_;  // written by the loading thread before `loaded_` is set on the main loop
  std::vector<vesk::WebServicesReceiver> waiting_;
  vesk::ScopedConnection firstDrawing_;
};

// Lives as long as the process: the loading thread may still be running when Vesk quits.
WebModule& webModule() {
  static auto* module = new WebModule();
  return *module;
}

// What the panel shows when its module cannot be loaded: what is missing, instead of nothing.
Gtk::Widget* panelUnavailableNotice(const std::string& problem) {
  auto* box = Gtk::make_managed<Gtk::Box>(Gtk::ORIENTATION_VERTICAL, 8);
  box->set_valign(Gtk::ALIGN_CENTER);
  box->set_margin_start(24);
  box->set_margin_end(24);
  auto* title = Gtk::make_managed<Gtk::Label>();
  title->set_markup("<b>" + Glib::Markup::escape_text(std::string(vesk::strings::panelUnavailableTitle())) + "</b>");
  auto* detail = Gtk::make_managed<Gtk::Label>(vesk::strings::panelUnavailableDetail(problem));
  detail->set_line_wrap(true);
  detail->set_line_wrap_mode(Pango::WRAP_WORD_CHAR);
  detail->set_max_width_chars(40);
  detail->set_justify(Gtk::JUSTIFY_CENTER);
  box->pack_start(*title, Gtk::PACK_SHRINK);
  box->pack_start(*detail, Gtk::PACK_SHRINK);
  box->show_all();
  return box;
}

void start(Gio::Application& app, Running& running) {
  app.hold();  // no main window keeps the application alive: the tray icon does

  // Vesk's own data and cache folders are private at every start, also when an older release made
  // them readable by others: they hold cookies, local storage and IndexedDB of signed-in sites.
  // (The settings folder is the store's; the engine makes its own folders beneath when it starts.)
  for (const char* base : {g_get_user_data_dir(), g_get_user_cache_dir()}) {
    if (auto failed = vesk::tightenFolder(std::filesystem::path(base) / "vesk")) std::cerr << *failed << "\n";
  }
  running.store = std::make_unique<vesk::FileSettingsStore>(vesk::FileSettingsStore::defaultPath());
  if (const auto& problem = running.store->openProblem()) std::cerr << vesk::strings::errorLine(*problem) << "\n";
  liveStore = running.store.get();
  quitOnSignals(app);
  running.hotkeys = vesk::makeSessionHotkeyService();

  vesk::ShellPlatform platform;
  const std::string icons = iconThemePath();
  platform.makeTrayItem = [icons] { return std::make_unique<vesk::SystemTrayItem>(icons); };
  platform.makePanelWindow = [&running] {
    Gtk::Main::init_gtkmm_internals();
    auto panel = std::make_unique<vesk::GtkPanelWindow>();
    running.panel = panel.get();
    running.dialogs = std::make_unique<vesk::PanelDialogs>(panel->window().gobj());
    running.dialogs->onDialogsOpen = [window = panel.get()](bool open) { window->makeWayForDialogs(open); };
    return panel;
  };
  platform.clickMonitors = vesk::makeX11ClickMonitors(
      [&running]() -> void* { return running.panel ? running.panel->window().gobj() : nullptr; });
  platform.makePanelContent = [&running](vesk::AppModel& model, std::function<void()> close) -> Gtk::Widget* {
    const LoadedModule& module = loadPanelModule();
    auto make = entryAs<vesk::MakePanelContentFunction>(module);
    if (!make) return panelUnavailableNotice(module.problem);
    vesk::PanelModuleArguments arguments;
    arguments.model = &model;
    arguments.close = std::move(close);
    arguments.quit = [&running] {
      if (running.delegate) running.delegate->quitVesk();
    };
    arguments.requestWeb = [](vesk::WebServicesReceiver receive) { webModule().request(std::move(receive)); };
    Gtk::Widget* content = make(arguments);
    webModule().startAfterFirstDrawing(*content);
    return content;
  };
  platform.mainQueue = vesk::glibMainQueue();
  platform.quit = [&app] { app.quit(); };
  platform.notify = [](const std::string& title, const std::string& body) {
    vesk::notifyDesktop(title, body, std::string(vesk::trayIconName));
  };
  platform.notices = std::make_unique<vesk::FreedesktopNotices>(std::string(vesk::strings::appName()),
                                                                std::string(vesk::applicationId));

  running.delegate = std::make_unique<vesk::AppDelegate>(*running.store, *running.hotkeys, std::move(platform));
  running.delegate->applicationDidFinishLaunching();
}

int commandLine(const Glib::RefPtr<Gio::ApplicationCommandLine>& commandLine, Running& running) {
  if (!running.delegate) return 1;
  auto options = commandLine->get_options_dict();
  auto delegate = running.delegate.get();
  bool acted = false;
  auto flag = [&](const char* name) {
    bool set = false;
    const bool present = options->lookup_value(name, set) && set;
    acted |= present;
    return present;
  };
  if (flag("quit")) {
    delegate->quitVesk();
    return 0;
  }
  if (flag("toggle")) delegate->performAction(vesk::rawValue(vesk::ShortcutAction::show));
  if (flag("next")) delegate->performAction(vesk::rawValue(vesk::ShortcutAction::nextSite));
  if (flag("previous")) delegate->performAction(vesk::rawValue(vesk::ShortcutAction::previousSite));
  if (flag("settings")) delegate->openSettings();
  // Launching Vesk again while it runs shows its panel.
  if (!acted && commandLine->is_remote()) delegate->reveal();
  return 0;
}

// The options every Vesk launch understands; they act on the running instance.
void addOptions(Gio::Application& app) {
  app.set_option_context_summary(std::string(vesk::strings::helpSummary()));
  app.add_main_option_entry(Gio::Application::OPTION_TYPE_BOOL, "toggle", '\0',
                            std::string(vesk::strings::optionToggle()));
  app.add_main_option_entry(Gio::Application::OPTION_TYPE_BOOL, "next", '\0', std::string(vesk::strings::optionNext()));
  app.add_main_option_entry(Gio::Application::OPTION_TYPE_BOOL, "previous", '\0',
                            std::string(vesk::strings::optionPrevious()));
  app.add_main_option_entry(Gio::Application::OPTION_TYPE_BOOL, "settings", '\0',
                            std::string(vesk::strings::optionSettings()));
  app.add_main_option_entry(Gio::Application::OPTION_TYPE_BOOL, "quit", '\0', std::string(vesk::strings::optionQuit()));
  // Answered before the application starts (see runVesk); listed here so that help shows it.
  app.add_main_option_entry(Gio::Application::OPTION_TYPE_BOOL, "version", '\0',
                            std::string(vesk::strings::optionVersion()));
}

// What the exception being handled says.
std::string currentError() {
  try {
    throw;
  } catch (const std::exception& error) {
    return error.what();
  } catch (const Glib::Exception& error) {
    return error.what();
  } catch (...) {
    return std::string(vesk::strings::unexpectedError());
  }
}

}  // namespace

static int runVesk(int argc, char** argv) {
  // Texts in the user's language, from the catalogues installed with Vesk (help included).
  std::setlocale(LC_ALL, "");
  bindtextdomain(vesk::strings::textDomain, VESK_LOCALE_DIR);
  bind_textdomain_codeset(vesk::strings::textDomain, "UTF-8");
  if (vesk::asksForHelp(argc, argv)) {
    // Help needs no display: a plain application object prints it and exits.
    Gio::init();
    auto helper = Gio::Application::create(std::string(vesk::applicationId), Gio::APPLICATION_NON_UNIQUE);
    addOptions(*helper.get());
    return helper->run(argc, argv);
  }
  if (vesk::asksForVersion(argc, argv)) {
    std::cout << "vesk " << VESK_VERSION << "\n";
    return 0;
  }
  // The web engine's memory-pressure monitor wakes Vesk every 5 s (every second when memory runs
  // short) for as long as it runs, also while the panel is hidden and its pages idle: a thread
  // that reads /proc each time, at a rate nothing configures. It is the one steady wake-up of a
  // hidden panel, so the engine runs without it. Set here, before any thread exists; a value the
  // user set (e.g. 0, to keep the monitor) is kept.
  g_setenv(vesk::webMemoryMonitorSwitch, "1", FALSE);
  {
    const vesk::SessionEnvironment environment = vesk::sessionEnvironment();
    if (!environment.hasX11() && !environment.hasWayland()) {
      std::cerr << vesk::strings::noGraphicalSession() << "\n";
      return 1;
    }
    // One id everywhere a desktop looks: the Wayland app_id and the X11 WM_CLASS of every window
    // come from the program name, which must be set before GTK starts, and the program class set
    // just after. Help (above) keeps the command's own name in its usage line.
    g_set_prgname(std::string(vesk::applicationId).c_str());
    // Global key grabs and placing the panel under the icon need X11 (also through Xwayland),
    // except where the compositor ignores X11 placement but offers layer surfaces.
    const bool hasX11 = environment.hasX11(), hasWayland = environment.hasWayland();
    const vesk::WaylandCompositor compositor =
        hasX11 && hasWayland ? vesk::probeWaylandCompositor() : vesk::WaylandCompositor{};
    gdk_set_allowed_backends(vesk::preferredBackends(hasX11, hasWayland, compositor).c_str());
    if (!gtk_init_check(nullptr, nullptr)) {
      std::cerr << vesk::strings::cannotOpenDisplay(hasX11 ? environment.x11Display : environment.waylandDisplay)
                << "\n";
      return 1;
    }
    // GTK's start-up derives the class from the name, capitalised; no window exists yet.
    gdk_set_program_class(std::string(vesk::applicationId).c_str());
    // The name people read: screen readers announce the application by it, not by the id above.
    g_set_application_name(std::string(vesk::strings::appName()).c_str());
    nameAccessibleApplication();
    gdkIoErrorHandler = XSetIOErrorHandler(onDisplayLost);
  }

  // A plain application object: GTK's own would load the icon theme at start-up, and with it the
  // whole widget theme, which only the panel needs (it is loaded when the panel is first shown).
  // gtkmm's wrappers, which GTK's application object would set up, are set up with the panel's
  // window: nothing before it uses them, and setting them up reads in much of gtkmm.
  Gio::init();
  auto app = Gio::Application::create(std::string(vesk::applicationId), Gio::APPLICATION_HANDLES_COMMAND_LINE);
  addOptions(*app.get());

  Running running;
  // An exception cannot cross GLib's signal emission: each handler stops it and ends the run with a
  // message instead.
  auto fatal = [&](const std::string& what) {
    std::cerr << vesk::strings::errorLine(what) << "\n";
    running.failed = true;
    app->quit();
  };
  app->signal_startup().connect([&] {
    try {
      start(*app.get(), running);
    } catch (...) {
      fatal(currentError());
    }
  });
  app->signal_command_line().connect(
      [&](const Glib::RefPtr<Gio::ApplicationCommandLine>& line) {
        try {
          return commandLine(line, running);
        } catch (...) {
          fatal(currentError());
          return 1;
        }
      },
      false);
  app->signal_shutdown().connect([&] {
    running.delegate.reset();
    running.hotkeys.reset();
    if (running.store) running.store->flush();
  });
  const int status = app->run(argc, argv);
  liveStore = nullptr;
  return running.failed ? 1 : status;
}

int main(int argc, char** argv) {
  try {
    return runVesk(argc, argv);
  } catch (...) {
    std::cerr << vesk::strings::errorLine(currentError()) << "\n";
    return 1;
  }
}
