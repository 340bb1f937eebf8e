// The middle of the browsing screen: the selected site's web view (with the error card over it),
// the hand-off card or the empty state, and the toolbar below.
#pragma once

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/eventbox.h>
#include <gtkmm/label.h>
#include <gtkmm/overlay.h>
#include <gtkmm/spinner.h>

#include <functional>
#include <memory>
#include <optional>

#include "browser/browser_view.h"
#include "model/scoped_connection.h"
#include "panel/vesk_view_state.h"
#include "panel/widgets.h"

namespace vesk {

class BrowserContent : public Gtk::Box {
 public:
  explicit BrowserContent(VeskViewState& state);
  ~BrowserContent() override;

  // `onScreen` is false while the browser area is replaced (search results, settings): the web
  // view host is then let go so that it stops claiming its site.
  void render(bool onScreen);

  // The names of its parts (`Gtk::Widget::get_name`), for the inspector and for tests: the area
  // itself, the host of the selected site's page while one is placed, the cards over or instead of it.
  struct WidgetName {
    static constexpr const char* content = "browser-content";
    static constexpr const char* page = "browser-page";
    static constexpr const char* errorLayer = "error-layer";
    static constexpr const char* errorCard = "error-card";
    static constexpr const char* errorText = "error-text";
    static constexpr const char* tryAgainButton = "error-try-again-button";
    static constexpr const char* openInBrowserButton = "error-open-in-browser-button";
    static constexpr const char* handoffCard = "handoff-card";
    static constexpr const char* handoffOpenButton = "handoff-open-button";
    static constexpr const char* switchWebsiteButton = "handoff-switch-website-button";
    static constexpr const char* emptyState = "empty-state";
    static constexpr const char* addWebsiteButton = "empty-state-add-website-button";
    static constexpr const char* permissionBar = "permission-bar";
    static constexpr const char* permissionText = "permission-text";
    static constexpr const char* allowButton = "permission-allow-button";
    static constexpr const char* blockButton = "permission-block-button";
  };

  // The widget that takes keyboard focus for `target`: the page's own view, or the first button of
  // the error card, the hand-off card or the empty state, whichever is shown. Null while the page
  // is not in place yet (the web engine is still loading) and for the screens' own rule.
  Gtk::Widget* focusWidget(FocusTarget target) const;
  // Called each time a page is placed in the area, for focus that waited for it.
  std::function<void()> pagePlaced;

 private:
  void buildErrorLayer();
  void buildHandoffCard();
  void buildEmptyState();
  void buildPermissionBar();
  void placeHost(const LinkSite& site);
  void dropHost();

  VeskViewState& state_;
  // The page waits for the area's first drawing and for the web engine's services: loading the
  // engine and starting it (its display set-up, its context and first view) takes longer than
  // drawing the whole panel, so the first show draws the site bar and toolbar at once and the page
  // follows when both have happened.
  bool drawn_ = false;
  bool lastOnScreen_ = true;
  BrowserContentKind shownKind_ = BrowserContentKind::emptyState;

  Gtk::Overlay webLayer_;
  std::unique_ptr<BrowserView> host_;
  Gtk::EventBox errorLayer_;
  BoundedBox* errorCard_;
  Gtk::Label* errorText_;
  Gtk::Button* tryAgain_;
  Gtk::Button* openInBrowser_;

  Gtk::Box handoffFrame_;
  BoundedBox* handoffCard_;
  Gtk::Label* handoffText_;
  Gtk::Button* handoffOpen_;
  Gtk::Button* switchWebsite_;
  std::optional<LinkSite> handoffSite_;

  Gtk::Box emptyFrame_;
  Gtk::Button* addWebsite_;

  // Above the page: a permission its page asks for, with Block and Allow.
  Gtk::Box permissionBar_{Gtk::ORIENTATION_HORIZONTAL, 9};
  Gtk::Label* permissionText_;
  Gtk::Button* allow_;
  Gtk::Button* block_;

  // Last: they end before anything their handlers use goes.
  ScopedConnection firstDraw_;
  ScopedConnection afterFirstDraw_;
};

class BrowserToolbar : public Gtk::Box {
 public:
  explicit BrowserToolbar(VeskViewState& state);

  void render();

  // The names of its parts (`Gtk::Widget::get_name`), for the inspector and for tests.
  struct WidgetName {
    static constexpr const char* toolbar = "toolbar";
    static constexpr const char* backButton = "toolbar-back-button";
    static constexpr const char* forwardButton = "toolbar-forward-button";
    static constexpr const char* reloadButton = "toolbar-reload-button";
    static constexpr const char* spinner = "toolbar-spinner";
    static constexpr const char* host = "toolbar-host";
    static constexpr const char* copyButton = "toolbar-copy-button";
    static constexpr const char* openButton = "toolbar-open-button";
  };

 private:
  VeskViewState& state_;
  Gtk::Button* back_;
  Gtk::Button* forward_;
  Gtk::Button* reload_;
  Gtk::Spinner spinner_;
  Gtk::Label host_;
  Gtk::Button* copy_;
  Gtk::Button* open_;
  std::optional<LinkSite> site_;
};

}  // namespace vesk
