#include "panel/vesk_view.h"

#include <glibmm/main.h>
#include <gtkmm/window.h>

#include "browser/desktop_workspace.h"
#include "browser/late_web_services.h"
#include "browser/system_clipboard.h"
#include "hotkeys/gtk_key_monitor.h"
#include "model/strings.h"
#include "panel/palette.h"
#include "panel/widgets.h"
#include "shell/portal_symbol.h"

namespace vesk {

// Nothing here loads or starts the web engine: its services arrive through `web`.
struct DesktopServices {
  explicit DesktopServices(const RequestWebServices& requestWeb) : web(requestWeb) {}
  LateWebServices web;
  SystemClipboard clipboard;
  DesktopWorkspace workspace;
  GtkKeyMonitor keys;
};

VeskView::VeskView(AppModel& model, PanelServices services, std::function<void()> close,
                   SettingsContentFactory settingsContent)
    : Gtk::Box(Gtk::ORIENTATION_VERTICAL),
      state_(std::make_unique<VeskViewState>(model, std::move(services), std::move(close))),
      style_(std::make_unique<PanelStyle>(model.store())),
      settingsContent_(std::move(settingsContent)) {
  addClasses(*this, {"vesk-panel"});
  set_hexpand(true);
  set_vexpand(true);

  // Browsing screen.
  siteBar_ = Gtk::make_managed<SiteBar>(*state_);
  searchRow_ = Gtk::make_managed<SearchRow>(*state_);
  content_ = Gtk::make_managed<BrowserContent>(*state_);
  toolbar_ = Gtk::make_managed<BrowserToolbar>(*state_);
  results_ = Gtk::make_managed<SearchResults>(*state_);
  results_->set_vexpand(true);
  browserArea_.pack_start(*content_, Gtk::PACK_EXPAND_WIDGET);
  browserArea_.pack_start(*toolbar_, Gtk::PACK_SHRINK);
  browsing_.set_name(WidgetName::browsingScreen);
  browsing_.pack_start(*siteBar_, Gtk::PACK_SHRINK);
  browsing_.pack_start(*divider(), Gtk::PACK_SHRINK);
  browsing_.pack_start(*searchRow_, Gtk::PACK_SHRINK);
  browsing_.pack_start(browserArea_, Gtk::PACK_EXPAND_WIDGET);
  browsing_.pack_start(*results_, Gtk::PACK_EXPAND_WIDGET);
  pack_start(browsing_, Gtk::PACK_EXPAND_WIDGET);

  // Settings screen.
  buildHeader();
  settings_.set_name(WidgetName::settingsScreen);
  settingsSlot_.set_name(WidgetName::settingsSlot);
  settings_.pack_start(header_, Gtk::PACK_SHRINK);
  settings_.pack_start(*divider(), Gtk::PACK_SHRINK);
  settingsSlot_.set_vexpand(true);
  settings_.pack_start(settingsSlot_, Gtk::PACK_EXPAND_WIDGET);
  pack_start(settings_, Gtk::PACK_EXPAND_WIDGET);

  // Inside a box of the view's own, so that the view takes the list down before its state goes.
  downloads_ = Gtk::make_managed<DownloadList>(*state_);
  downloadsSlot_.pack_start(*downloads_, Gtk::PACK_SHRINK);
  pack_start(downloadsSlot_, Gtk::PACK_SHRINK);

  // Below both screens, so it stays in sight until a write succeeds: one line, cut at the end,
  // the whole text in its tooltip.
  addClasses(saveError_, {"vesk-save-error"});
  saveError_.set_name(WidgetName::saveError);
  saveError_.set_xalign(0);
  saveError_.set_ellipsize(Pango::ELLIPSIZE_END);
  saveError_.set_single_line_mode(true);
  pack_start(saveError_, Gtk::PACK_SHRINK);

  show_all();
  observe();
  content_->pagePlaced = [this] { placeFocus(); };

  signal_map().connect([this] {
    state_->appeared();
    render();
  });
  signal_unmap().connect([this] { state_->disappeared(); });
  render();
}

// The members go in reverse order: the redraw, the boxes with the children that use the state,
// the state, then the desktop services that the state's pages and key handler use.
VeskView::~VeskView() = default;

void VeskView::ownDesktopServices(std::unique_ptr<DesktopServices> desktop) {
  desktop_ = std::move(desktop);
  // A focused web page answers a key press before the panel does: WebKit sends it to the web
  // process and, once the page has left it unhandled, delivers it to the window again.
  desktop_->keys.answerFirst(
      [this](GtkWidget* focus) { return desktop_->web.answersKeysFirst(focus) && state_->pageAnswersKeys(); });
  // The first page waits for the engine's module: show it once the services are in.
  redraw_.keep(desktop_->web.arrived.connect([this] { redraw_.schedule(); }));
  // Key presses reach the panel through its window once the view is placed in one.
  placed_ =
      SignalConnection::connect(gobj(), "hierarchy-changed", G_CALLBACK(+[](GtkWidget*, GtkWidget*, gpointer self) {
                                  auto* view = static_cast<VeskView*>(self);
                                  if (auto* window = dynamic_cast<Gtk::Window*>(view->get_toplevel()))
                                    view->desktop_->keys.attach(*window);
                                }),
                                this);
}

void VeskView::buildHeader() {
  addClasses(header_, {"vesk-settings-header"});
  header_.set_name(WidgetName::header);
  header_.set_size_request(-1, 51);

  // Product mark: the tray symbol in the accent colour on a faint accent square.
  addClasses(mark_, {"vesk-mark"});
  mark_.set_size_request(26, 26);
  mark_.set_valign(Gtk::ALIGN_CENTER);
  markSymbol_.set_halign(Gtk::ALIGN_CENTER);
  markSymbol_.set_valign(Gtk::ALIGN_CENTER);
  mark_.pack_start(markSymbol_, Gtk::PACK_EXPAND_WIDGET);
  renderMark();
  header_.pack_start(mark_, Gtk::PACK_SHRINK);

  header_.pack_start(*styledLabel(strings::appName(), {"vesk-product-name"}), Gtk::PACK_SHRINK);
  auto* spacer = Gtk::make_managed<Gtk::Box>();
  spacer->set_hexpand(true);
  header_.pack_start(*spacer, Gtk::PACK_EXPAND_WIDGET);

  addClasses(badge_, {"vesk-badge"});
  badge_.set_name(WidgetName::shortcutBadge);
  badge_.set_valign(Gtk::ALIGN_CENTER);
  badge_.set_no_show_all(true);  // shown by render() where the combination works
  header_.pack_start(badge_, Gtk::PACK_SHRINK);

  back_ = IconButtonStyle::make("arrow.left", strings::backToBrowser());
  close_ = IconButtonStyle::make("xmark", strings::closePanel());
  back_->set_name(WidgetName::backButton);
  close_->set_name(WidgetName::closeButton);
  header_.pack_start(*back_, Gtk::PACK_SHRINK);
  header_.pack_start(*close_, Gtk::PACK_SHRINK);
  back_->signal_clicked().connect([this] { state_->backToBrowser(); });
  close_->signal_clicked().connect([this] { state_->close(); });
}

void VeskView::renderMark() {
  const Color accent = Palette::accent(state_->model.store());
  markSymbol_.set(portalSymbolPixbuf(16, SymbolColor{accent.red, accent.green, accent.blue, accent.alpha}));
}

void VeskView::observe() {
  AppModel& model = state_->model;
  redraw_.watch(model.sites);
  redraw_.watch(model.selectedID);
  redraw_.watch(model.unreadSites);
  redraw_.watch(model.shortcut);
  redraw_.watch(model.globalKeysOffered);
  redraw_.watch(model.saveError);
  redraw_.keep(model.theme.observe([this](const LinkTheme&) {
    restyle_ = true;
    redraw_.schedule();
  }));
  BrowserStore& browser = state_->browser;
  redraw_.watch(browser.canGoBack);
  redraw_.watch(browser.canGoForward);
  redraw_.watch(browser.isLoading);
  redraw_.watch(browser.errorText);
  redraw_.watch(browser.requiresExternalSignIn);
  redraw_.watch(browser.currentAddress);
  redraw_.watch(browser.permissionPrompt);
  VeskViewState& s = *state_;
  redraw_.watch(s.query);
  redraw_.watch(s.showSettings);
  redraw_.watch(s.showSearch);
  redraw_.watch(s.searchFocused);
  redraw_.watch(s.isAdding);
  redraw_.watch(s.editing);
  redraw_.watch(s.settingsTab);
  redraw_.keep(s.focusRequested.connect([this] {
    focusAsked_ = true;
    redraw_.schedule();
  }));
}

void VeskView::render() {
  redraw_.cancel();
  if (restyle_) {
    restyle_ = false;
    style_->refresh();
    renderMark();
  }
  VeskViewState& s = *state_;
  const bool settings = s.screen() == PanelScreen::settings;
  browsing_.set_visible(!settings);
  settings_.set_visible(settings);

  if (settings) {
    if (!settingsBuilt_ && settingsContent_) {
      settingsBuilt_ = true;
      if (Gtk::Widget* content = settingsContent_(s)) {
        content->set_vexpand(true);
        settingsSlot_.pack_start(*content, Gtk::PACK_EXPAND_WIDGET);
        content->show();
      }
    }
    const auto label = s.headerShortcut();
    badge_.set_visible(label.has_value());
    if (label && badge_.get_text() != *label) badge_.set_text(*label);
  }

  const auto saveError = s.saveErrorLine();
  saveError_.set_visible(saveError.has_value());
  if (saveError && saveError_.get_text() != *saveError) {
    saveError_.set_text(*saveError);
    saveError_.set_tooltip_text(*saveError);
  }

  downloads_->render();
  siteBar_->render();
  searchRow_->set_visible(s.showSearch());
  searchRow_->render();
  const bool results = s.showsResults();
  browserArea_.set_visible(!results);
  results_->set_visible(results);
  if (results) results_->render();
  content_->render(s.showsBrowserArea());
  toolbar_->render();
  placeFocus();
}

bool VeskView::focusInBrowserContent() const {
  auto* window = dynamic_cast<const Gtk::Window*>(get_toplevel());
  const Gtk::Widget* focus = window ? window->get_focus() : nullptr;
  return focus == nullptr || focus == content_ || focus->is_ancestor(*content_);
}

void VeskView::placeFocus() {
  VeskViewState& s = *state_;
  const FocusTarget target = s.focusTarget();
  const bool asked = focusAsked_;
  if (!asked && (target == focusedTarget_ || !focusInBrowserContent())) return;
  auto* window = dynamic_cast<Gtk::Window*>(get_toplevel());
  if (!window) return;
  if (target == FocusTarget::ownRule) {
    focusAsked_ = false;
    focusedTarget_ = target;
    return;
  }
  Gtk::Widget* widget = content_->focusWidget(target);
  if (!widget) {
    // The page is not in place yet: no control holds the focus meanwhile (Space on the site
    // drop-down would open it), and the request waits for the page.
    if (window->get_focus()) window->unset_focus();
    return;
  }
  focusAsked_ = false;
  focusedTarget_ = target;
  if (!widget->has_focus()) widget->grab_focus();
}

Gtk::Widget* makeVeskView(AppModel& model, std::function<void()> close, const RequestWebServices& requestWeb,
                          SettingsContentFactory settingsContent, std::function<bool()> loginItemEnabled) {
  auto desktop = std::make_unique<DesktopServices>(requestWeb);
  RunAfter runAfter = [](std::chrono::milliseconds delay, std::function<void()> task) {
    Glib::signal_timeout().connect_once(std::move(task), static_cast<unsigned>(delay.count()));
  };
  PanelServices services{desktop->web,  desktop->clipboard,  desktop->workspace,
                         desktop->keys, std::move(runAfter), std::move(loginItemEnabled)};
  auto* view = Gtk::make_managed<VeskView>(model, services, std::move(close), std::move(settingsContent));
  view->ownDesktopServices(std::move(desktop));
  return view;
}

}  // namespace vesk
