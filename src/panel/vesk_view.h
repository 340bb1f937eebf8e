// The panel's root view: the browsing screen (site bar, search, browser area and toolbar, or the
// search results) and the settings screen (header and the settings content).
#pragma once

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/image.h>
#include <gtkmm/label.h>

#include <functional>
#include <memory>
#include <vector>

#include "browser/web_services.h"
#include "model/app_model.h"
#include "model/glib_handles.h"
#include "model/idle_redraw.h"
#include "panel/browser_area.h"
#include "panel/download_list.h"
#include "panel/panel_services.h"
#include "panel/panel_style.h"
#include "panel/search_view.h"
#include "panel/site_bar.h"
#include "panel/vesk_view_state.h"

namespace vesk {

// Builds the settings content for the settings screen (the first time it is shown). The widget
// is owned by the view; it reads and changes the panel's state.
using SettingsContentFactory = std::function<Gtk::Widget*(VeskViewState& state)>;

// The real desktop services behind a panel view's PanelServices: the web engine and its page
// factory, the clipboard, the default browser and the window's key presses (see makeVeskView).
struct DesktopServices;

class VeskView : public Gtk::Box {
 public:
  // `services` must outlive the view; `close` hides the panel.
  VeskView(AppModel& model, PanelServices services, std::function<void()> close,
           SettingsContentFactory settingsContent = {});
  ~VeskView() override;

  VeskViewState& state() { return *state_; }

  // Renders now instead of on the next idle (tests, first show).
  void render();

  // The names of the settings header's parts and of the line under both screens while the
  // settings cannot be written (`Gtk::Widget::get_name`), for the inspector and for tests.
  struct WidgetName {
    static constexpr const char* browsingScreen = "browsing-screen";
    static constexpr const char* settingsScreen = "settings-screen";
    // Where the settings content goes.
    static constexpr const char* settingsSlot = "settings-slot";
    static constexpr const char* header = "settings-header";
    static constexpr const char* shortcutBadge = "settings-header-badge";
    static constexpr const char* backButton = "settings-header-back-button";
    static constexpr const char* closeButton = "settings-header-close-button";
    static constexpr const char* saveError = "save-error-line";
  };

  // Takes ownership of the real services behind `services` (they go after the view's state) and
  // hands them the key presses of the window the view is placed in.
  void ownDesktopServices(std::unique_ptr<DesktopServices> desktop);

 private:
  void buildHeader();
  void observe();
  void renderMark();
  // Moves keyboard focus where the state wants it, once per request, and again when what shows
  // in the browser area changes under a focus that was in it (an error card over the page).
  void placeFocus();
  bool focusInBrowserContent() const;

  // First, so it goes last: the state's pages and the key handler use the desktop services.
  std::unique_ptr<DesktopServices> desktop_;
  // Hands the window's key presses to the desktop services once the view is placed in one.
  SignalConnection placed_;
  // Before the widgets, which use it.
  std::unique_ptr<VeskViewState> state_;
  std::unique_ptr<PanelStyle> style_;
  SettingsContentFactory settingsContent_;
  bool settingsBuilt_ = false;

  Gtk::Box browsing_{Gtk::ORIENTATION_VERTICAL};
  SiteBar* siteBar_;
  SearchRow* searchRow_;
  Gtk::Box browserArea_{Gtk::ORIENTATION_VERTICAL};
  BrowserContent* content_;
  BrowserToolbar* toolbar_;
  SearchResults* results_;

  Gtk::Box settings_{Gtk::ORIENTATION_VERTICAL};
  Gtk::Box header_{Gtk::ORIENTATION_HORIZONTAL, 10};
  Gtk::Box mark_;
  Gtk::Image markSymbol_;
  Gtk::Label badge_;
  Gtk::Button* back_;
  Gtk::Button* close_;
  Gtk::Box settingsSlot_{Gtk::ORIENTATION_VERTICAL};
  Gtk::Box downloadsSlot_{Gtk::ORIENTATION_VERTICAL};
  DownloadList* downloads_;
  Gtk::Label saveError_;

  // Render once, on the next idle, after a burst of changes to what the view shows.
  // It runs before GTK's next frame: a site switch (or any other change) is drawn in the frame
  // that follows it. At the default idle priority a frame already asked for (the key press's own
  // redraw) went first and the new page waited for the one after, a whole frame interval later.
  IdleRedraw redraw_{[this] { render(); }, G_PRIORITY_HIGH_IDLE};
  bool restyle_ = false;
  bool focusAsked_ = false;  // a focus request waits to be carried out
  FocusTarget focusedTarget_ = FocusTarget::ownRule;
};

// The panel view on the real desktop services: the shared web engine, the clipboard, the default
// browser and the panel window's key presses. Returns a managed widget for the panel window.
// The web engine's services are asked of `requestWeb` at once and may arrive later: the view draws
// its chrome meanwhile and makes its first page when they are in.
// `loginItemEnabled` reports the login item's state when the view is made (absent: off).
Gtk::Widget* makeVeskView(AppModel& model, std::function<void()> close, const RequestWebServices& requestWeb,
                          SettingsContentFactory settingsContent = {}, std::function<bool()> loginItemEnabled = {});

}  // namespace vesk
