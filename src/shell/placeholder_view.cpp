#include "shell/placeholder_view.h"

#include <gdk/gdkkeysyms.h>
#include <glibmm/main.h>
#include <gtkmm/window.h>

namespace vesk {

PlaceholderView::PlaceholderView(AppModel& model, std::function<void()> close)
    : Gtk::Box(Gtk::ORIENTATION_VERTICAL), model_(model), close_(std::move(close)) {
  get_style_context()->add_class("vesk-placeholder");
  empty_.set_text("No website selected");
  empty_.set_vexpand(true);
  pack_start(empty_, Gtk::PACK_EXPAND_WIDGET);

  // Observers run before a new value is stored: read the model on the next idle instead.
  subscriptions_.push_back(model_.selectedID.observe([this](const auto&) { scheduleRefresh(); }));
  subscriptions_.push_back(model_.sites.observe([this](const auto&) { scheduleRefresh(); }));
  subscriptions_.push_back(model_.pageZoom.observe([this](double zoom) { store_.setZoom(zoom); }));
  store_.setZoom(model_.pageZoom());

  // Escape reaches the window before the page, which would otherwise take every key.
  signal_hierarchy_changed().connect([this](Gtk::Widget*) {
    keyConnection_.disconnect();
    if (auto* window = dynamic_cast<Gtk::Window*>(get_toplevel())) {
      keyConnection_ =
          window->signal_key_press_event().connect(sigc::mem_fun(*this, &PlaceholderView::keyPressed), false);
    }
  });
  refresh();
}

PlaceholderView::~PlaceholderView() {
  pendingRefresh_.disconnect();
  keyConnection_.disconnect();
  subscriptions_.clear();
  host_.reset();
}

void PlaceholderView::scheduleRefresh() {
  if (pendingRefresh_.connected()) return;
  pendingRefresh_ = Glib::signal_idle().connect([this] {
    refresh();
    return false;
  });
}

void PlaceholderView::refresh() {
  auto site = model_.selectedSite();
  if (!site) {
    host_.reset();
    empty_.show();
    return;
  }
  empty_.hide();
  if (!host_) {
    host_ = std::make_unique<BrowserView>(store_, *site);
    host_->set_vexpand(true);
    host_->set_hexpand(true);
    pack_start(*host_, Gtk::PACK_EXPAND_WIDGET);
    static_cast<Gtk::Widget&>(*host_).show();
  } else if (!(host_->site() == *site)) {
    host_->setSite(*site);
  }
}

bool PlaceholderView::keyPressed(GdkEventKey* event) {
  if (event->keyval == GDK_KEY_Escape && (event->state & gtk_accelerator_get_default_mod_mask()) == 0) {
    if (close_) close_();
    return true;
  }
  return false;
}

}  // namespace vesk
