// The container that shows one site's page from the browser store and makes that site active.
#pragma once

#include <gtkmm/eventbox.h>

#include <vector>

#include "browser/browser_store.h"
#include "model/glib_handles.h"
#include "model/idle_redraw.h"
#include "model/link_site.h"
#include "model/published.h"

namespace vesk {

// What a host update needs from the container it fills.
class PageHolder {
 public:
  virtual ~PageHolder() = default;
  // Whether the container's only child is this page's widget.
  virtual bool isShowing(const WebPage& page) const = 0;
  // Empties the container, takes the page's widget out of any other container and adds it so
  // that it fills this container and follows its size.
  virtual void show(WebPage& page) = 0;
};

// One host update: asks the store for the site's page (creating, loading or reloading it as
// needed), puts it into the holder unless it is already there, and activates the site unless it
// already is the active one (so updates caused by the store's own state changes do not loop).
// A site whose page the store closed because it was removed is left alone.
void updateBrowserHost(PageHolder& holder, const LinkSite& site, BrowserStore& store);

// A GTK container whose single child is the site's page widget. It owns nothing: the page stays in
// the store when the container goes away, and a later host for the same site takes the widget over.
// It updates when created, when given another site, and (on the next idle) after any change of the
// store's published state. Keep one host per place on screen and destroy hosts that are no longer
// shown (Gtk::manage it so its parent destroys it, or delete it): a host that is merely removed
// keeps observing the store and would take its site back on the next update.
class BrowserView final : public Gtk::EventBox, private PageHolder {
 public:
  // The store must outlive the view.
  BrowserView(BrowserStore& store, LinkSite site);
  ~BrowserView() override;

  const LinkSite& site() const { return site_; }
  // Shows another site (or the same site with an edited address) at once.
  void setSite(LinkSite site);
  // Runs one host update now.
  void update();

 private:
  bool isShowing(const WebPage& page) const override;
  void show(WebPage& page) override;
  void releaseChild();
  void detach();

  BrowserStore& store_;
  LinkSite site_;
  const WebPage* shown_ = nullptr;
  // Any change of the store's published fields: one update on the next idle, after the burst.
  IdleRedraw updates_{[this] { update(); }};
  SignalConnection destroyHandler_;  // the container's "destroy": hands the page back
};

}  // namespace vesk
