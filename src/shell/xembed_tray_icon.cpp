#include "shell/xembed_tray_icon.h"

#include <gtk/gtk.h>

#include <utility>

#include "model/constants.h"
#include "model/strings.h"
#include "shell/portal_symbol.h"

// GtkStatusIcon is deprecated, but it is GTK 3's XEmbed tray icon and the only way to reach
// desktops whose tray has no StatusNotifierWatcher.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace vesk {

XEmbedTrayIcon::XEmbedTrayIcon(const std::string& toolTip, std::function<bool(GdkEventButton*)> pressed)
    : icon_(gtk_status_icon_new()), pressed_(std::move(pressed)) {
  gtk_status_icon_set_name(icon_.get(), std::string(applicationId).c_str());
  gtk_status_icon_set_title(icon_.get(), std::string(strings::appName()).c_str());
  gtk_status_icon_set_tooltip_text(icon_.get(), toolTip.c_str());
  sizeChanged(22);
  sizeChanged_ = SignalConnection::connect(icon_.get(), "size-changed",
                                           G_CALLBACK(+[](GtkStatusIcon*, int size, gpointer self) -> gboolean {
                                             static_cast<XEmbedTrayIcon*>(self)->sizeChanged(size);
                                             return TRUE;
                                           }),
                                           this);
  buttonPressed_ =
      SignalConnection::connect(icon_.get(), "button-press-event",
                                G_CALLBACK(+[](GtkStatusIcon*, GdkEventButton* event, gpointer self) -> gboolean {
                                  auto* icon = static_cast<XEmbedTrayIcon*>(self);
                                  return icon->pressed_ && icon->pressed_(event);
                                }),
                                this);
  gtk_status_icon_set_visible(icon_.get(), TRUE);
}

XEmbedTrayIcon::~XEmbedTrayIcon() { gtk_status_icon_set_visible(icon_.get(), FALSE); }

void XEmbedTrayIcon::setToolTip(const std::string& text) {
  gtk_status_icon_set_tooltip_text(icon_.get(), text.c_str());
}

bool XEmbedTrayIcon::embedded() const { return gtk_status_icon_is_embedded(icon_.get()); }

std::optional<ScreenRect> XEmbedTrayIcon::area() const {
  if (!embedded()) return std::nullopt;
  GdkRectangle area{};
  if (!gtk_status_icon_get_geometry(icon_.get(), nullptr, &area, nullptr) || area.width <= 0) return std::nullopt;
  return ScreenRect{area.x, area.y, area.width, area.height};
}

void XEmbedTrayIcon::setUnread(bool unread) {
  if (unread == unread_) return;
  unread_ = unread;
  sizeChanged(size_);
}

void XEmbedTrayIcon::sizeChanged(int size) {
  if (size <= 0) return;
  size_ = size;
  // XEmbed trays do not tint icons and may be light or dark: the light symbol with a dark outline
  // reads on both.
  auto surface = outlinedPortalSymbol(size, symbolLight, symbolOutlineDark, unread_);
  GObjectPtr<GdkPixbuf> pixbuf(gdk_pixbuf_get_from_surface(surface->cobj(), 0, 0, size, size));
  gtk_status_icon_set_from_pixbuf(icon_.get(), pixbuf.get());
}

}  // namespace vesk

#pragma GCC diagnostic pop
