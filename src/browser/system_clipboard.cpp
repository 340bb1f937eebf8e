#include "browser/system_clipboard.h"

#include <gtkmm/clipboard.h>

#include <memory>

namespace vesk {

void SystemClipboard::setText(const std::string& text) {
  auto clipboard = Gtk::Clipboard::get(GDK_SELECTION_CLIPBOARD);
  clipboard->set_text(text);
  // Hands the text to the desktop's clipboard manager, if one runs, so it outlives Vesk.
  clipboard->store();
}

void SystemClipboard::requestText(std::function<void(std::optional<std::string>)> done) {
  auto clipboard = Gtk::Clipboard::get(GDK_SELECTION_CLIPBOARD);
  // gtkmm cannot tell "no text" from an empty text; the C call can.
  auto* callback = new std::function<void(std::optional<std::string>)>(std::move(done));
  gtk_clipboard_request_text(
      clipboard->gobj(),
      +[](GtkClipboard*, const gchar* text, gpointer data) {
        std::unique_ptr<std::function<void(std::optional<std::string>)>> callback(
            static_cast<std::function<void(std::optional<std::string>)>*>(data));
        (*callback)(text ? std::optional<std::string>(text) : std::nullopt);
      },
      callback);
}

}  // namespace vesk
