#include "browser/browser_view.h"

#include <gtk/gtk.h>

namespace vesk {

void updateBrowserHost(PageHolder& holder, const LinkSite& site, BrowserStore& store) {
  // A removed site's page is closed for good; a host still placed for it must not bring it back.
  if (store.isForgotten(site.id)) return;
  WebPage& page = store.view(site);
  if (!holder.isShowing(page)) holder.show(page);
  if (store.activeID() != site.id) store.activate(site);
}

BrowserView::BrowserView(BrowserStore& store, LinkSite site) : store_(store), site_(std::move(site)) {
  set_visible_window(false);
  // The page's widget belongs to the store: hand it back before GTK destroys this container's
  // children (a window being destroyed destroys everything inside it), and stop updating.
  destroyHandler_ = SignalConnection::connect(
      gobj(), "destroy", G_CALLBACK(+[](GtkWidget*, gpointer self) { static_cast<BrowserView*>(self)->detach(); }),
      this);
  updates_.watch(store_.canGoBack);
  updates_.watch(store_.canGoForward);
  updates_.watch(store_.isLoading);
  updates_.watch(store_.errorText);
  updates_.watch(store_.requiresExternalSignIn);
  updates_.watch(store_.currentAddress);
  update();
}

// GTK destroys the widget only after this destructor has run; by then `destroyHandler_` has gone
// with the members, so the handler never reaches this object.
BrowserView::~BrowserView() { detach(); }

void BrowserView::detach() {
  updates_.stop();
  releaseChild();
}

// gtkmm's Container::remove() takes an extra reference on a child whose wrapper it did not make
// (it counts such a widget as managed and keeps it alive for reuse). The page's widget is made and
// owned by its page, so it moves between containers with GTK's own calls: a reference left behind
// here would keep a released page's view, and with it its web process's sandbox helpers and
// descriptors, alive for the rest of the run.
namespace {
void takeOut(GtkWidget* child) {
  if (GtkWidget* parent = gtk_widget_get_parent(child)) gtk_container_remove(GTK_CONTAINER(parent), child);
}
}  // namespace

void BrowserView::releaseChild() {
  if (gobj()) {
    if (GtkWidget* child = gtk_bin_get_child(GTK_BIN(gobj()))) takeOut(child);
  }
  shown_ = nullptr;
}

void BrowserView::setSite(LinkSite site) {
  site_ = std::move(site);
  update();
}

void BrowserView::update() {
  updates_.cancel();
  updateBrowserHost(*this, site_, store_);
}

bool BrowserView::isShowing(const WebPage& page) const {
  if (shown_ != &page) return false;
  // Another host may have taken the widget since.
  return get_child() == page.widget();
}

void BrowserView::show(WebPage& page) {
  releaseChild();
  if (Gtk::Widget* widget = page.widget()) {
    takeOut(widget->gobj());
    gtk_container_add(GTK_CONTAINER(gobj()), widget->gobj());
    widget->show();
  }
  shown_ = &page;
}

}  // namespace vesk
