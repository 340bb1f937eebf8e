#include "panel/download_list.h"

#include "model/strings.h"
#include "panel/widgets.h"

namespace vesk {

DownloadList::DownloadList(VeskViewState& state) : Gtk::Box(Gtk::ORIENTATION_VERTICAL), state_(state) {
  set_name(WidgetName::list);
  addClasses(notice_, {"vesk-download-notice"});
  notice_.set_name(WidgetName::notice);
  noticeText_.set_name(WidgetName::noticeText);
  noticeText_.set_xalign(0);
  noticeText_.set_hexpand(true);
  // The notice says why a download did not run or stopped: it wraps (up to three lines) so the
  // reason is read, not cut, and asks for no width of its own.
  noticeText_.set_line_wrap(true);
  noticeText_.set_line_wrap_mode(Pango::WRAP_WORD_CHAR);
  noticeText_.set_lines(3);
  noticeText_.set_ellipsize(Pango::ELLIPSIZE_END);
  noticeText_.set_width_chars(1);
  noticeText_.set_max_width_chars(1);
  dismiss_ = IconButtonStyle::make("xmark", std::string(strings::dismissNotice()));
  dismiss_->set_name(WidgetName::dismissButton);
  dismiss_->signal_clicked().connect([this] { state_.dismissDownloadNotice(); });
  notice_.pack_start(noticeText_, Gtk::PACK_EXPAND_WIDGET);
  notice_.pack_start(*dismiss_, Gtk::PACK_SHRINK);
  notice_.show_all();
  notice_.set_no_show_all(true);
  notice_.hide();
  pack_end(notice_, Gtk::PACK_SHRINK);

  redraw_.watch(state_.browser.downloads);
  redraw_.watch(state_.browser.downloadNotice);
  render();
}

DownloadList::~DownloadList() { redraw_.stop(); }

void DownloadList::render() {
  redraw_.cancel();
  const std::vector<DownloadRow> rows = state_.downloadRows();
  bool sameSites = rows.size() == lines_.size();
  for (std::size_t i = 0; sameSites && i < rows.size(); ++i) sameSites = rows[i].site == lines_[i]->site;
  if (!sameSites) {
    for (auto& line : lines_) remove(line->box);
    lines_.clear();
    for (const auto& row : rows) {
      auto line = std::make_unique<Line>();
      line->site = row.site;
      addClasses(line->box, {"vesk-download"});
      line->box.set_name(WidgetName::line);
      line->name.set_name(WidgetName::name);
      line->bar.set_name(WidgetName::bar);
      line->progress.set_name(WidgetName::progress);
      // One line, cut in the middle so the extension stays in sight.
      line->name.set_xalign(0);
      line->name.set_hexpand(true);
      line->name.set_ellipsize(Pango::ELLIPSIZE_MIDDLE);
      line->name.set_single_line_mode(true);
      line->bar.set_valign(Gtk::ALIGN_CENTER);
      line->bar.set_size_request(60, -1);
      addClasses(line->progress, {"vesk-download-progress"});
      line->cancel = IconButtonStyle::make("xmark", std::string(strings::cancelDownload()));
      line->cancel->set_name(WidgetName::cancelButton);
      Uuid site = row.site;
      line->cancel->signal_clicked().connect([this, site] { state_.cancelDownload(site); });
      line->box.pack_start(line->name, Gtk::PACK_EXPAND_WIDGET);
      line->box.pack_start(line->bar, Gtk::PACK_SHRINK);
      line->box.pack_start(line->progress, Gtk::PACK_SHRINK);
      line->box.pack_start(*line->cancel, Gtk::PACK_SHRINK);
      line->box.show_all();
      pack_start(line->box, Gtk::PACK_SHRINK);
      lines_.push_back(std::move(line));
    }
  }
  for (std::size_t i = 0; i < rows.size(); ++i) {
    Line& line = *lines_[i];
    const DownloadRow& row = rows[i];
    if (line.name.get_text() != row.name) {
      line.name.set_text(row.name);
      line.name.set_tooltip_text(row.siteName.empty() ? row.name : strings::downloadFromSite(row.name, row.siteName));
    }
    if (line.progress.get_text() != row.progressText) line.progress.set_text(row.progressText);
    line.bar.set_visible(row.fraction.has_value());
    if (row.fraction) line.bar.set_fraction(*row.fraction);
  }
  const auto& notice = state_.downloadNotice();
  notice_.set_visible(notice.has_value());
  if (notice && noticeText_.get_text() != *notice) {
    noticeText_.set_text(*notice);
    noticeText_.set_tooltip_text(*notice);
  }
  set_visible(!rows.empty() || notice.has_value());
}

}  // namespace vesk
