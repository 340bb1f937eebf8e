// The running downloads, one line each (name, progress, cancel), and the last word on a refused
// or stopped download, under both of the panel's screens.
#pragma once

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/label.h>
#include <gtkmm/progressbar.h>

#include <memory>
#include <vector>

#include "model/idle_redraw.h"
#include "panel/vesk_view_state.h"

namespace vesk {

class DownloadList : public Gtk::Box {
 public:
  explicit DownloadList(VeskViewState& state);
  ~DownloadList() override;

  // Brings the lines up to date with the state now. Changes of the state are drawn at most once
  // per main-loop idle, and only while the list is on screen.
  void render();

  struct Line {
    Uuid site;
    Gtk::Box box{Gtk::ORIENTATION_HORIZONTAL, 8};
    Gtk::Label name;
    Gtk::ProgressBar bar;
    Gtk::Label progress;
    Gtk::Button* cancel = nullptr;
  };
  // The names of its parts (`Gtk::Widget::get_name`), for the inspector and for tests: one
  // `line` per running download, each with its own name, bar, progress and cancel button.
  struct WidgetName {
    static constexpr const char* list = "downloads";
    static constexpr const char* line = "download-line";
    static constexpr const char* name = "download-name";
    static constexpr const char* bar = "download-bar";
    static constexpr const char* progress = "download-progress";
    static constexpr const char* cancelButton = "download-cancel-button";
    static constexpr const char* notice = "download-notice";
    static constexpr const char* noticeText = "download-notice-text";
    static constexpr const char* dismissButton = "download-notice-dismiss-button";
  };

 private:
  VeskViewState& state_;
  std::vector<std::unique_ptr<Line>> lines_;
  Gtk::Box notice_{Gtk::ORIENTATION_HORIZONTAL, 8};
  Gtk::Label noticeText_;
  Gtk::Button* dismiss_;
  // Received data arrives many times a second: draw once per idle, and not at all while the panel
  // is hidden (the list itself is hidden while empty). The panel renders everything when it shows.
  IdleRedraw redraw_{[this] { render(); }, G_PRIORITY_DEFAULT_IDLE,
                     [this] {
                       Gtk::Widget* slot = get_parent();
                       return slot && slot->get_mapped();
                     }};
};

}  // namespace vesk
