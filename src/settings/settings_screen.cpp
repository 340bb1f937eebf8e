#include "settings/settings_screen.h"

#include <glibmm/main.h>

#include "settings/settings_frame.h"
#include "settings/settings_widgets.h"

namespace vesk {

SettingsScreen::SettingsScreen(VeskViewState& state, SettingsServices services)
    : state_(state), services_(std::move(services)) {
  set_policy(Gtk::POLICY_NEVER, Gtk::POLICY_AUTOMATIC);
  set_propagate_natural_height(false);
  set_vexpand(true);
  set_hexpand(true);
  addClasses(*this, {"vesk-settings"});

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

  // One button per tab, of equal width, on a framed strip, 4 points inside its outline.
  addClasses(stripFrame_, {"settings-tab-strip"});
  stripFrame_.set_margin_bottom(26);
  strip_.set_homogeneous(true);
  setMargins(strip_, 4);
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
    button->set_name(tabButtonName(tab));
    button->signal_clicked().connect([this, tab] { state_.chooseSettingsTab(tab); });
    tabButtons_[tab] = button;
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
  refreshes_.keep(
      state_.recorder.isRecording.observe([&model](const bool& recording) { model.setRecordingShortcut(recording); }));
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
  refreshes_.watch(model.globalKeysOffered);
  refreshes_.watch(model.desktopBindings);
  refreshes_.watch(model.theme);
  refreshes_.watch(model.panelWidth);
  refreshes_.watch(model.panelHeight);
  refreshes_.watch(model.pageZoom);
  refreshes_.watch(model.lessMemory);
  refreshes_.watch(model.permissions);

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
}

void SettingsScreen::refresh() {
  refreshes_.cancel();
  style_.refresh();
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
  content_->set_name(WidgetName::content);
  content_->set_spacing(contentSpacing(shownTab_));
  contentSlot_.pack_start(*content_, Gtk::PACK_SHRINK);
  content_->show_all();
  content_->refresh();
}

}  // namespace vesk
