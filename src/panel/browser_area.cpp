#include "panel/browser_area.h"

#include <glibmm/main.h>

#include "model/site_permissions.h"
#include "model/strings.h"

namespace vesk {

namespace {

Gtk::Button* textButton(std::string_view text, std::initializer_list<const char*> classes) {
  auto* button = Gtk::make_managed<Gtk::Button>(std::string(text));
  button->set_focus_on_click(false);
  addClasses(*button, classes);
  return button;
}

// A card's centred, wrapping text.
Gtk::Label* cardText(std::string_view text, std::initializer_list<const char*> classes) {
  auto* label = styledLabel(text, classes);
  label->set_line_wrap(true);
  label->set_line_wrap_mode(Pango::WRAP_WORD_CHAR);
  label->set_justify(Gtk::JUSTIFY_CENTER);
  // Asks for a wide line; the card's maximum width makes it wrap.
  label->set_max_width_chars(200);
  return label;
}

// A frame that fills the area and centres `child`.
void centreIn(Gtk::Box& frame, Gtk::Widget& child) {
  frame.set_hexpand(true);
  frame.set_vexpand(true);
  child.set_halign(Gtk::ALIGN_CENTER);
  child.set_valign(Gtk::ALIGN_CENTER);
  child.set_vexpand(true);
  frame.pack_start(child, Gtk::PACK_EXPAND_WIDGET);
}

}  // namespace

BrowserContent::BrowserContent(VeskViewState& state) : Gtk::Box(Gtk::ORIENTATION_VERTICAL), state_(state) {
  set_name(WidgetName::content);
  set_vexpand(true);
  webLayer_.set_vexpand(true);
  webLayer_.set_hexpand(true);
  pack_start(webLayer_, Gtk::PACK_EXPAND_WIDGET);
  buildErrorLayer();
  buildHandoffCard();
  buildEmptyState();
  buildPermissionBar();
  show_all();
  firstDraw_ = signal_draw().connect(
      [this](const Cairo::RefPtr<Cairo::Context>&) {
        firstDraw_.disconnect();
        drawn_ = true;
        afterFirstDraw_ = Glib::signal_idle().connect([this] {
          render(lastOnScreen_);
          return false;
        });
        return false;
      },
      true);
  render(true);
}

BrowserContent::~BrowserContent() { dropHost(); }

void BrowserContent::buildErrorLayer() {
  addClasses(errorLayer_, {"vesk-error-layer"});
  errorLayer_.set_name(WidgetName::errorLayer);
  errorLayer_.set_halign(Gtk::ALIGN_FILL);
  errorLayer_.set_valign(Gtk::ALIGN_FILL);
  auto* card = errorCard_ = Gtk::make_managed<BoundedBox>(360, 11);
  addClasses(*card, {"vesk-card", "vesk-error-card"});
  card->set_name(WidgetName::errorCard);
  card->set_halign(Gtk::ALIGN_CENTER);
  card->set_valign(Gtk::ALIGN_CENTER);

  card->pack_start(*symbolImage("wifi.exclamationmark", 24), Gtk::PACK_SHRINK);
  card->pack_start(*styledLabel(strings::siteCouldNotLoad(), {"vesk-error-title"}), Gtk::PACK_SHRINK);
  errorText_ = cardText("", {"vesk-error-text"});
  errorText_->set_name(WidgetName::errorText);
  card->pack_start(*errorText_, Gtk::PACK_SHRINK);

  auto* buttons = Gtk::make_managed<Gtk::Box>(Gtk::ORIENTATION_HORIZONTAL, 9);
  buttons->set_halign(Gtk::ALIGN_CENTER);
  tryAgain_ = textButton(strings::tryAgain(), {"vesk-bordered"});
  openInBrowser_ = textButton(strings::openInBrowser(), {"vesk-prominent"});
  tryAgain_->set_name(WidgetName::tryAgainButton);
  openInBrowser_->set_name(WidgetName::openInBrowserButton);
  buttons->pack_start(*tryAgain_, Gtk::PACK_SHRINK);
  buttons->pack_start(*openInBrowser_, Gtk::PACK_SHRINK);
  card->pack_start(*buttons, Gtk::PACK_SHRINK);
  tryAgain_->signal_clicked().connect([this] { state_.browser.reload(); });
  openInBrowser_->signal_clicked().connect([this] {
    if (auto site = state_.model.selectedSite()) state_.openExternally(*site);
  });

  errorLayer_.add(*card);
  webLayer_.add_overlay(errorLayer_);
}

void BrowserContent::buildHandoffCard() {
  auto* card = handoffCard_ = Gtk::make_managed<BoundedBox>(350, 12);
  addClasses(*card, {"vesk-card", "vesk-handoff-card"});
  card->set_name(WidgetName::handoffCard);
  card->pack_start(*symbolImage("globe", 28, {"vesk-accent"}), Gtk::PACK_SHRINK);
  card->pack_start(*styledLabel(strings::continueInBrowser(), {"vesk-handoff-title"}), Gtk::PACK_SHRINK);
  handoffText_ = cardText(strings::handoffDetail(), {"vesk-handoff-text"});
  card->pack_start(*handoffText_, Gtk::PACK_SHRINK);

  handoffOpen_ = textButton(strings::open(), {"vesk-prominent"});
  handoffOpen_->set_name(WidgetName::handoffOpenButton);
  handoffOpen_->set_halign(Gtk::ALIGN_CENTER);
  handoffOpen_->signal_clicked().connect([this] {
    if (handoffSite_) state_.openExternally(*handoffSite_);
  });
  card->pack_start(*handoffOpen_, Gtk::PACK_SHRINK);

  switchWebsite_ = textButton(strings::switchWebsite(), {"vesk-plain-button", "vesk-switch-button"});
  switchWebsite_->set_name(WidgetName::switchWebsiteButton);
  switchWebsite_->set_relief(Gtk::RELIEF_NONE);
  switchWebsite_->set_halign(Gtk::ALIGN_CENTER);
  switchWebsite_->signal_clicked().connect([this] { state_.switchWebsite(); });
  card->pack_start(*switchWebsite_, Gtk::PACK_SHRINK);

  centreIn(handoffFrame_, *card);
  pack_start(handoffFrame_, Gtk::PACK_EXPAND_WIDGET);
}

void BrowserContent::buildEmptyState() {
  auto* stack = Gtk::make_managed<Gtk::Box>(Gtk::ORIENTATION_VERTICAL, 9);
  stack->pack_start(*symbolImage("link", 25, {"vesk-secondary"}), Gtk::PACK_SHRINK);
  stack->pack_start(*styledLabel(strings::addSiteToGetStarted(), {"vesk-empty-title"}), Gtk::PACK_SHRINK);
  addWebsite_ = textButton(strings::addWebsite(), {"vesk-bordered"});
  addWebsite_->set_name(WidgetName::addWebsiteButton);
  addWebsite_->set_halign(Gtk::ALIGN_CENTER);
  addWebsite_->signal_clicked().connect([this] { state_.addFirstWebsite(); });
  stack->pack_start(*addWebsite_, Gtk::PACK_SHRINK);
  emptyFrame_.set_name(WidgetName::emptyState);
  centreIn(emptyFrame_, *stack);
  pack_start(emptyFrame_, Gtk::PACK_EXPAND_WIDGET);
}

void BrowserContent::buildPermissionBar() {
  addClasses(permissionBar_, {"vesk-permission-bar"});
  permissionBar_.set_name(WidgetName::permissionBar);
  setAccessibleName(permissionBar_, strings::permissionRequest());
  atk_object_set_role(gtk_widget_get_accessible(GTK_WIDGET(permissionBar_.gobj())), ATK_ROLE_NOTIFICATION);
  permissionText_ = styledLabel("", {"vesk-permission-text"});
  permissionText_->set_name(WidgetName::permissionText);
  permissionText_->set_xalign(0);
  permissionText_->set_hexpand(true);
  permissionText_->set_line_wrap(true);
  permissionText_->set_line_wrap_mode(Pango::WRAP_WORD_CHAR);
  // Asks for no width of its own: the bar is as wide as the panel and the text wraps in it.
  permissionText_->set_width_chars(1);
  permissionText_->set_max_width_chars(1);
  block_ = textButton(strings::blockPermission(), {"vesk-bordered"});
  allow_ = textButton(strings::allowPermission(), {"vesk-prominent"});
  block_->set_name(WidgetName::blockButton);
  allow_->set_name(WidgetName::allowButton);
  for (Gtk::Button* button : {block_, allow_}) {
    button->set_valign(Gtk::ALIGN_CENTER);
    // The bar never takes the typing from the page; its buttons are still reached with Tab.
    button->set_focus_on_click(false);
  }
  block_->signal_clicked().connect([this] { state_.answerPermission(PermissionAnswer::block); });
  allow_->signal_clicked().connect([this] { state_.answerPermission(PermissionAnswer::allow); });
  permissionBar_.pack_start(*permissionText_, Gtk::PACK_EXPAND_WIDGET);
  permissionBar_.pack_start(*block_, Gtk::PACK_SHRINK);
  permissionBar_.pack_start(*allow_, Gtk::PACK_SHRINK);
  permissionBar_.show_all();
  permissionBar_.set_no_show_all(true);
  permissionBar_.hide();
  pack_start(permissionBar_, Gtk::PACK_SHRINK);
  reorder_child(permissionBar_, 0);
}

void BrowserContent::render(bool onScreen) {
  const auto site = state_.model.selectedSite();
  shownKind_ = state_.browserContent();
  const bool web = shownKind_ == BrowserContentKind::webView;

  webLayer_.set_visible(web);
  handoffFrame_.set_visible(shownKind_ == BrowserContentKind::handoff);
  emptyFrame_.set_visible(shownKind_ == BrowserContentKind::emptyState);

  lastOnScreen_ = onScreen;
  if (web && onScreen && site) {
    if (drawn_ && state_.webReady()) placeHost(*site);
  } else {
    // The hand-off site never gets a web view from here; a hidden area holds none either.
    dropHost();
  }

  // A web engine that could not be loaded is said where the page would be; the site can still be
  // opened in the browser from the card.
  const std::string engineProblem = state_.webProblem();
  const auto& pageError = state_.browser.errorText();
  const std::optional<std::string> error = engineProblem.empty() ? pageError : std::optional(engineProblem);
  errorLayer_.set_visible(web && error.has_value());
  if (error && errorText_->get_text() != *error) errorText_->set_text(*error);

  // The question waits while its page is off screen (another site, search results, settings).
  const auto prompt = onScreen ? state_.permissionPrompt() : std::nullopt;
  if (prompt) {
    const std::string question = permissionQuestion(prompt->kinds, prompt->host);
    if (permissionText_->get_text() != question) permissionText_->set_text(question);
    setAccessibleDescription(permissionBar_, question);
  }
  permissionBar_.set_visible(prompt.has_value());

  if (shownKind_ == BrowserContentKind::handoff && site) {
    handoffSite_ = site;
    const std::string title = strings::openSite(site->name);
    if (handoffOpen_->get_label() != title) handoffOpen_->set_label(title);
  } else {
    handoffSite_.reset();
  }
}

Gtk::Widget* BrowserContent::focusWidget(FocusTarget target) const {
  switch (target) {
    case FocusTarget::page:
      return host_ && shownKind_ == BrowserContentKind::webView ? host_->get_child() : nullptr;
    case FocusTarget::cardButton:
      if (shownKind_ == BrowserContentKind::handoff) return handoffOpen_;
      if (shownKind_ == BrowserContentKind::emptyState) return addWebsite_;
      return errorLayer_.get_visible() ? tryAgain_ : nullptr;
    case FocusTarget::ownRule:
      break;
  }
  return nullptr;
}

void BrowserContent::placeHost(const LinkSite& site) {
  if (host_ && host_->site().id == site.id) {
    // Same identity: an edited address or name is given to the same host.
    if (host_->site().address != site.address || host_->site().name != site.name) host_->setSite(site);
    return;
  }
  // A new selection gets a new host rather than an updated one.
  dropHost();
  host_ = std::make_unique<BrowserView>(state_.browser, site);
  host_->set_name(WidgetName::page);
  host_->set_hexpand(true);
  host_->set_vexpand(true);
  webLayer_.add(*host_);
  static_cast<Gtk::Widget&>(*host_).show();
  if (pagePlaced) pagePlaced();
}

void BrowserContent::dropHost() {
  if (!host_) return;
  webLayer_.remove();
  host_.reset();
}

BrowserToolbar::BrowserToolbar(VeskViewState& state) : Gtk::Box(Gtk::ORIENTATION_HORIZONTAL, 13), state_(state) {
  addClasses(*this, {"vesk-toolbar"});
  set_name(WidgetName::toolbar);
  set_size_request(-1, 40);

  back_ = IconButtonStyle::make("chevron.left", {}, strings::back());
  forward_ = IconButtonStyle::make("chevron.right", {}, strings::forward());
  reload_ = IconButtonStyle::make("arrow.clockwise", {}, strings::reload());
  back_->set_name(WidgetName::backButton);
  forward_->set_name(WidgetName::forwardButton);
  reload_->set_name(WidgetName::reloadButton);
  for (Gtk::Button* button : {back_, forward_, reload_}) pack_start(*button, Gtk::PACK_SHRINK);
  back_->signal_clicked().connect([this] { state_.goBack(); });
  forward_->signal_clicked().connect([this] { state_.goForward(); });
  reload_->signal_clicked().connect([this] { state_.reload(); });

  auto* spacer = Gtk::make_managed<Gtk::Box>();
  spacer->set_hexpand(true);
  pack_start(*spacer, Gtk::PACK_EXPAND_WIDGET);

  spinner_.set_name(WidgetName::spinner);
  spinner_.set_size_request(12, 12);
  spinner_.set_valign(Gtk::ALIGN_CENTER);
  pack_start(spinner_, Gtk::PACK_SHRINK);

  host_.set_name(WidgetName::host);
  addClasses(host_, {"vesk-host-text"});
  host_.set_single_line_mode(true);
  host_.set_ellipsize(Pango::ELLIPSIZE_END);
  pack_start(host_, Gtk::PACK_SHRINK);

  copy_ = IconButtonStyle::make("doc.on.doc", strings::copyPageLink());
  open_ = IconButtonStyle::make("arrow.up.right.square", strings::openInDefaultBrowser());
  copy_->set_name(WidgetName::copyButton);
  open_->set_name(WidgetName::openButton);
  pack_start(*copy_, Gtk::PACK_SHRINK);
  pack_start(*open_, Gtk::PACK_SHRINK);
  copy_->signal_clicked().connect([this] {
    if (site_) state_.copyLink(*site_);
  });
  open_->signal_clicked().connect([this] {
    if (site_) state_.openExternally(*site_);
  });

  show_all();
  render();
}

void BrowserToolbar::render() {
  const ToolbarState toolbar = state_.toolbar();
  back_->set_sensitive(toolbar.backEnabled);
  forward_->set_sensitive(toolbar.forwardEnabled);
  reload_->set_sensitive(toolbar.reloadEnabled);
  spinner_.set_visible(toolbar.spinner);
  if (toolbar.spinner) {
    spinner_.start();
  } else {
    spinner_.stop();
  }
  site_ = toolbar.site;
  host_.set_visible(site_.has_value());
  copy_->set_visible(site_.has_value());
  open_->set_visible(site_.has_value());
  if (host_.get_text() != toolbar.hostText) host_.set_text(toolbar.hostText);
}

}  // namespace vesk
