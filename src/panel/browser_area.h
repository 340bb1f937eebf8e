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

  BrowserContentKind shownKind() const { return shownKind_; }
  BrowserView* host() const { return host_.get(); }
  Gtk::Widget& errorLayer() { return errorLayer_; }
  Gtk::Widget& errorCard() { return *errorCard_; }
  Gtk::Label& errorText() { return *errorText_; }
  Gtk::Button& tryAgainButton() { return *tryAgain_; }
  Gtk::Button& openInBrowserButton() { return *openInBrowser_; }
  Gtk::Widget& handoffCard() { return *handoffCard_; }
  Gtk::Button& handoffOpenButton() { return *handoffOpen_; }
  Gtk::Button& switchWebsiteButton() { return *switchWebsite_; }
  Gtk::Widget& emptyState() { return emptyFrame_; }
  Gtk::Button& addWebsiteButton() { return *addWebsite_; }

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
  void placeHost(const LinkSite& site);
  void dropHost();

  VeskViewState& state_;
  // The page waits for the area's first drawing and for the web engine's services: loading the
  // engine and starting it (its display set-up, its context and first view) takes longer than
  // drawing the whole panel, so the first show draws the site bar and toolbar at once and the page
  // follows when both have happened.
  bool drawn_ = false;
  bool lastOnScreen_ = true;
  sigc::connection firstDraw_;
  sigc::connection afterFirstDraw_;
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
};

class BrowserToolbar : public Gtk::Box {
 public:
  explicit BrowserToolbar(VeskViewState& state);

  void render();

  Gtk::Button& backButton() { return *back_; }
  Gtk::Button& forwardButton() { return *forward_; }
  Gtk::Button& reloadButton() { return *reload_; }
  Gtk::Spinner& spinner() { return spinner_; }
  Gtk::Label& hostLabel() { return host_; }
  Gtk::Button& copyButton() { return *copy_; }
  Gtk::Button& openButton() { return *open_; }

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
