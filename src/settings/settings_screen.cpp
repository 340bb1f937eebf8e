#include "settings/settings_screen.h"

#include <glibmm/main.h>
#include <gtkmm/image.h>
#include <gtkmm/stylecontext.h>

#include <sstream>

#include "panel/palette.h"
#include "panel/symbols.h"
#include "settings/settings_frame.h"
#include "settings/settings_widgets.h"

namespace vesk {

// ---- Shared building blocks ------------------------------------------------------------------

void setClass(Gtk::Widget& widget, const char* name, bool on) {
  auto context = widget.get_style_context();
  if (on) {
    context->add_class(name);
  } else {
    context->remove_class(name);
  }
}

void ellipsizeCaption(Gtk::Button& button) {
  if (auto* label = dynamic_cast<Gtk::Label*>(button.get_child())) label->set_ellipsize(Pango::ELLIPSIZE_END);
}

Gtk::Label* makeLabel(std::string_view text, std::initializer_list<const char*> classes, bool wraps) {
  auto* label = Gtk::manage(new Gtk::Label(std::string(text)));
  label->set_xalign(0);
  label->set_halign(Gtk::ALIGN_FILL);
  if (wraps) {
    label->set_line_wrap(true);
    label->set_line_wrap_mode(Pango::WRAP_WORD_CHAR);
    // Wrapping labels ask for little width, so the column decides their width.
    label->set_width_chars(1);
    label->set_max_width_chars(1);
  }
  addClasses(*label, classes);
  return label;
}

Gtk::Label* sectionLabel(std::string_view title) {
  auto* label = makeLabel(title, {"settings-section"});
  label->set_margin_bottom(9);
  return label;
}

Gtk::Image* settingsSymbol(std::string_view symbol, double points) {
  std::string_view icon = symbolIconName(symbol);
  if (icon == "image-missing") {
    // Symbols only the settings use.
    if (symbol == "arrow.up") icon = "go-up-symbolic";
    if (symbol == "arrow.down") icon = "go-down-symbolic";
    if (symbol == "pencil") icon = "document-edit-symbolic";
  }
  auto* image = Gtk::manage(new Gtk::Image());
  image->set_from_icon_name(std::string(icon), Gtk::ICON_SIZE_BUTTON);
  image->set_pixel_size(symbolPixelSize(points));
  return image;
}

Gtk::Box* settingsCard(Gtk::Widget* child, int padding) {
  auto* card = Gtk::manage(new Gtk::Box(Gtk::ORIENTATION_VERTICAL, 0));
  addClasses(*card, {"settings-card"});
  child->set_margin_top(padding);
  child->set_margin_bottom(padding);
  child->set_margin_start(padding);
  child->set_margin_end(padding);
  card->pack_start(*child, Gtk::PACK_SHRINK);
  return card;
}

Gtk::Button* iconButton(std::string_view symbol, std::string_view tooltip) {
  auto* button = Gtk::manage(new Gtk::Button());
  button->set_image(*settingsSymbol(symbol, IconButtonStyle::symbolPoints));
  button->set_always_show_image(true);
  button->set_tooltip_text(std::string(tooltip));
  IconButtonStyle::apply(*button);
  return button;
}

// ---- Style sheet -----------------------------------------------------------------------------

std::string settingsCss(const SettingsStore& store) {
  const std::string primary = Palette::primary().css();
  const std::string secondary = Palette::secondary().css();
  const std::string background = Palette::background(store).css();
  const std::string surface = Palette::surface(store).css();
  const std::string accent = Palette::accent(store).css();
  const std::string hairline = Palette::hairline().css();
  const std::string dimmed = Palette::secondary().withAlpha(0.35).css();
  // Text colours of messages: the login-item failure colour, and the usual dark-mode orange and red.
  const std::string loginError = Color{0.92, 0.55, 0.48, 1}.css();
  const std::string orange = Color{1.0, 0.624, 0.039, 1}.css();
  const std::string red = Color{1.0, 0.271, 0.227, 1}.css();

  std::ostringstream css;
  css << ".vesk-settings { background-color: " << background << "; color: " << primary << "; }\n"
      << ".vesk-settings label { color: inherit; }\n"
      << ".vesk-settings .settings-title { font-size: 21px; font-weight: 600; }\n"
      << ".vesk-settings .settings-subtitle { font-size: 12px; color: " << secondary << "; }\n"
      << ".vesk-settings .settings-section { font-size: 10px; font-weight: 600; letter-spacing: 1.1px; color: "
      << secondary << "; }\n"
      << ".vesk-settings .settings-card { background-color: " << surface << "; border-radius: 10px; }\n"
      << ".vesk-settings .settings-divider { background-color: " << hairline << "; min-height: 1px; }\n"
      << ".vesk-settings .settings-tab-strip { background-color: " << background
      << "; border-radius: 10px; border: 1px solid " << hairline << "; }\n"
      << ".vesk-settings button.settings-tab { background-image: none; background-color: transparent; border: none; "
         "box-shadow: none; text-shadow: none; border-radius: 7px; min-height: 31px; min-width: 0; padding: 0; "
         "font-size: 12px; font-weight: 500; color: "
      << secondary << "; }\n"
      << ".vesk-settings button.settings-tab.selected { background-color: " << surface
      << "; font-weight: 600; color: " << primary << "; }\n"
      << ".vesk-settings .settings-row-title { font-size: 13px; font-weight: 500; }\n"
      << ".vesk-settings .settings-form-title { font-size: 13px; font-weight: 600; }\n"
      << ".vesk-settings .settings-detail { font-size: 11px; color: " << secondary << "; }\n"
      << ".vesk-settings .settings-login-error { font-size: 11px; color: " << loginError << "; }\n"
      << ".vesk-settings .settings-shortcut-error { font-size: 11px; color: " << orange << "; }\n"
      << ".vesk-settings .settings-form-error { font-size: 11px; color: " << red << "; }\n"
      << ".vesk-settings .settings-value-row { font-size: 12px; font-weight: 400; }\n"
      << ".vesk-settings .settings-value { color: " << secondary << "; }\n"
      << ".vesk-settings .settings-accent { color: " << accent << "; }\n"
      << ".vesk-settings button.settings-plain { background-image: none; background-color: transparent; border: none; "
         "box-shadow: none; text-shadow: none; padding: 0; min-height: 0; min-width: 0; font-size: 11px; color: "
      << secondary << "; }\n"
      << ".vesk-settings button.settings-plain:hover { color: " << primary
      << "; }\n"
      // The site editor's "Cancel" is plain text in the body size.
      << ".vesk-settings button.settings-plain.settings-cancel { font-size: 13px; }\n"
      // Disabled row buttons take the usual dimmed look.
      << ".vesk-settings button.vesk-icon-button:disabled image { color: " << dimmed << "; }\n"
      << ".vesk-settings button.settings-prominent { background-image: none; background-color: " << accent
      << "; border-color: " << accent << "; box-shadow: none; text-shadow: none; color: " << background
      << "; font-weight: 500; }\n"
      << ".vesk-settings button.settings-prominent:hover { background-image: linear-gradient(rgba(255,255,255,0.1), "
         "rgba(255,255,255,0.1)); }\n"
      << ".vesk-settings button.settings-prominent:active { background-image: linear-gradient(rgba(0,0,0,0.12), "
         "rgba(0,0,0,0.12)); }\n"
      << ".vesk-settings button.settings-theme-card { background-image: none; background-color: " << surface
      << "; border: none; box-shadow: none; text-shadow: none; border-radius: 10px; padding: 11px; }\n"
      << ".vesk-settings button.settings-theme-card:hover { background-image: linear-gradient(rgba(255,255,255,0.03), "
         "rgba(255,255,255,0.03)); }\n"
      << ".vesk-settings entry.settings-field { background-image: none; background-color: " << background
      << "; border: none; box-shadow: none; border-radius: 7px; padding: 10px; min-height: 0; color: " << primary
      << "; caret-color: " << accent << "; }\n"
      << ".vesk-settings entry.settings-field selection { background-color: " << accent << "; color: " << background
      << "; }\n"
      << ".vesk-settings switch:checked { background-image: none; background-color: " << accent
      << "; border-color: " << accent << "; }\n"
      << ".vesk-settings scale.settings-slider highlight { background-image: none; background-color: " << accent
      << "; border-color: " << accent << "; }\n";
  return css.str();
}

// ---- The frame -------------------------------------------------------------------------------

SettingsScreen::SettingsScreen(VeskViewState& state, SettingsServices services)
    : state_(state), services_(std::move(services)) {
  set_policy(Gtk::POLICY_NEVER, Gtk::POLICY_AUTOMATIC);
  set_propagate_natural_height(false);
  set_vexpand(true);
  set_hexpand(true);
  addClasses(*this, {"vesk-settings"});

  css_ = Gtk::CssProvider::create();
  Gtk::StyleContext::add_provider_for_screen(Gdk::Screen::get_default(), css_, GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  updateStyle();

  column_.set_margin_top(19);
  column_.set_margin_bottom(19);
  column_.set_margin_start(19);
  column_.set_margin_end(19);

  title_.set_text(std::string(strings::settings()));
  title_.set_xalign(0);
  title_.set_margin_bottom(5);
  addClasses(title_, {"settings-title"});
  subtitle_.set_text(std::string(strings::settingsSubtitle()));
  subtitle_.set_xalign(0);
  subtitle_.set_margin_bottom(20);
  addClasses(subtitle_, {"settings-subtitle"});

  // Five buttons of equal width on a framed strip, 4 points inside its outline.
  addClasses(stripFrame_, {"settings-tab-strip"});
  stripFrame_.set_margin_bottom(26);
  strip_.set_homogeneous(true);
  for (auto margin : {&Gtk::Widget::set_margin_top, &Gtk::Widget::set_margin_bottom, &Gtk::Widget::set_margin_start,
                      &Gtk::Widget::set_margin_end}) {
    (strip_.*margin)(4);
  }
  stripFrame_.pack_start(strip_, Gtk::PACK_EXPAND_WIDGET);
  for (SettingsTab tab : allSettingsTabs) {
    auto* button = Gtk::manage(new Gtk::Button(std::string(rawValue(tab))));
    button->set_relief(Gtk::RELIEF_NONE);
    button->set_focus_on_click(false);
    button->set_size_request(-1, 31);
    // A title wider than its share of a narrow panel ends in an ellipsis instead of widening
    // the strip, and with it the panel.
    ellipsizeCaption(*button);
    addClasses(*button, {"settings-tab"});
    button->signal_clicked().connect(
        [this, tab] { chooseSettingsTab(state_.settingsTab, state_.recorder, state_.recordingAction, tab); });
    tabButtons_[static_cast<std::size_t>(tab)] = button;
    strip_.pack_start(*button, Gtk::PACK_EXPAND_WIDGET);
  }

  column_.pack_start(title_, Gtk::PACK_SHRINK);
  column_.pack_start(subtitle_, Gtk::PACK_SHRINK);
  column_.pack_start(stripFrame_, Gtk::PACK_SHRINK);
  column_.pack_start(contentSlot_, Gtk::PACK_SHRINK);
  add(column_);
  if (auto* viewport = get_child()) addClasses(*viewport, {"vesk-settings-viewport"});

  AppModel& model = state_.model;
  // The shell releases its global key combinations while a row records, so that pressing one of
  // them is seen here (and refused as a duplicate) instead of toggling the panel.
  refreshes_.keep(state_.recorder.isRecording.observe([&model](const bool& recording) {
    if (model.isRecordingShortcut() != recording) model.isRecordingShortcut.set(recording);
  }));
  refreshes_.watch(state_.settingsTab);
  refreshes_.watch(state_.recordingAction);
  refreshes_.watch(state_.recorder.isRecording);
  refreshes_.watch(state_.editing);
  refreshes_.watch(state_.isAdding);
  refreshes_.watch(state_.loginItemEnabled);
  refreshes_.watch(state_.loginItemError);
  refreshes_.watch(model.sites);
  refreshes_.watch(model.shortcut);
  refreshes_.watch(model.nextShortcut);
  refreshes_.watch(model.previousShortcut);
  refreshes_.watch(model.shortcutError);
  refreshes_.watch(model.theme);
  refreshes_.watch(model.panelWidth);
  refreshes_.watch(model.panelHeight);
  refreshes_.watch(model.pageZoom);

  // The form's typed text and the tab's transient state do not outlive the screen being shown.
  signal_unmap().connect([this] { stale_ = true; });
  signal_map().connect([this] {
    if (stale_) refreshes_.schedule();
  });

  show_all();
  refresh();
}

SettingsScreen::~SettingsScreen() {
  // Only this screen's rows record; a recording ends with it (and the shell's grabs come back).
  state_.recorder.stop();
  refreshes_.stop();
  Gtk::StyleContext::remove_provider_for_screen(Gdk::Screen::get_default(), css_);
}

void SettingsScreen::refresh() {
  refreshes_.cancel();
  updateStyle();
  const SettingsTab selected = state_.settingsTab();
  for (SettingsTab tab : allSettingsTabs) setClass(tabButton(tab), "selected", tab == selected);
  if (!content_ || selected != shownTab_ || (stale_ && get_mapped())) {
    rebuildContent();
  } else {
    content_->refresh();
  }
}

void SettingsScreen::rebuildContent() {
  stale_ = false;
  if (content_) {
    contentSlot_.remove(*content_);  // managed: destroyed with its children
    content_ = nullptr;
  }
  shownTab_ = state_.settingsTab();
  switch (shownTab_) {
    case SettingsTab::general:
      content_ = Gtk::manage(new GeneralTab(state_, services_));
      break;
    case SettingsTab::websites:
      content_ = Gtk::manage(new WebsitesTab(state_));
      break;
    case SettingsTab::keys:
      content_ = Gtk::manage(new KeysTab(state_));
      break;
    case SettingsTab::panel:
      content_ = Gtk::manage(new PanelTab(state_));
      break;
    case SettingsTab::appearance:
      content_ = Gtk::manage(new AppearanceTab(state_));
      break;
  }
  content_->set_spacing(contentSpacing(shownTab_));
  contentSlot_.pack_start(*content_, Gtk::PACK_SHRINK);
  content_->show_all();
  content_->refresh();
}

void SettingsScreen::updateStyle() {
  // Reloaded only when the colours changed since the last time.
  std::string css = settingsCss(state_.model.store());
  if (css == loadedCss_) return;
  loadedCss_ = css;
  try {
    css_->load_from_data(css);
  } catch (const Glib::Error&) {
    // The sheet is generated here; a parse failure leaves the previous colours in place.
  }
}

}  // namespace vesk
