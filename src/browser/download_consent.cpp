#include "browser/download_consent.h"

#include <glib.h>

#include <algorithm>

#include "model/glib_handles.h"
#include "model/strings.h"

namespace vesk {

namespace {

std::string_view withoutFragment(std::string_view address) { return address.substr(0, address.find('#')); }

std::string displayName(const std::string& path) {
  GCharPtr base(g_path_get_basename(path.c_str()));
  return GCharPtr(g_filename_display_name(base.get())).get();
}

std::string displayFolder(const std::string& path) {
  GCharPtr folder(g_path_get_dirname(path.c_str()));
  return GCharPtr(g_filename_display_name(folder.get())).get();
}

}  // namespace

void DownloadConsent::grant(std::string_view address) {
  if (address.empty()) return;
  granted_.emplace_back(address);
  while (granted_.size() > limit) granted_.pop_front();
}

void DownloadConsent::navigationAllowed(std::string_view address, bool userGesture, std::string_view pageAddress) {
  if (!userGesture) return;
  // A fragment of the page itself scrolls the page: nothing is requested, nothing downloads.
  if (address.find('#') != std::string_view::npos && !pageAddress.empty() &&
      withoutFragment(address) == withoutFragment(pageAddress)) {
    return;
  }
  grant(address);
}

void DownloadConsent::menuOpened(const std::vector<std::string>& addresses) {
  for (const auto& address : addresses) grant(address);
}

void DownloadConsent::responseShown(std::string_view address) {
  // The user's navigation ended in a page, not a file: its consent is spent.
  if (auto found = std::find(granted_.begin(), granted_.end(), address); found != granted_.end()) {
    granted_.erase(found);
  }
}

bool DownloadConsent::take(std::string_view address) {
  auto found = std::find(granted_.begin(), granted_.end(), address);
  if (found == granted_.end()) return false;
  granted_.erase(found);
  return true;
}

void DownloadConsent::loadStarted() { refusalReported_ = false; }

void DownloadConsent::newWindowRequested(bool userGesture) { newWindowGesture_ = userGesture; }

void DownloadConsent::newWindowHandled() { newWindowGesture_ = false; }

// A new window's address loads here: the click that asked for it started this load.
void DownloadConsent::loadRequested() { loadGesture_ = newWindowGesture_; }

void DownloadConsent::historyRestored() { loadGesture_ = false; }

void DownloadConsent::navigationDecided(const Navigation& navigation) {
  // A redirect carries the gesture of the navigation it continues; the application's own load,
  // the gesture of the request that asked for it. The engine asks about that load first, so its
  // gesture is spent there, allowed or not.
  bool gesture = navigation.userGesture;
  if (!navigation.newWindow && !navigation.redirect) gesture = std::exchange(loadGesture_, false) || gesture;
  if (!navigation.allowed || navigation.newWindow || !navigation.address) return;
  navigationAllowed(*navigation.address, gesture, navigation.pageAddress);
}

void DownloadConsent::responseDecided(std::string_view address, bool mimeTypeSupported, std::string_view disposition) {
  // A file (an attachment, or a type the engine cannot show) goes on to download with the consent.
  bool attachment = g_ascii_strcasecmp(std::string(disposition).c_str(), "attachment") == 0;
  if (!attachment && mimeTypeSupported) responseShown(address);
}

DownloadSteps DownloadLifecycle::started(std::string_view address, DownloadConsent* page) {
  if (page && !address.empty() && page->take(address)) return {download::Run{}};
  // The page's own script (or no page at all) started it: nothing is saved and nothing is said
  // beyond one line per page load.
  phase_ = Phase::refused;
  download::Refuse refuse;
  if (!page || page->firstRefusalOfThisLoad()) refuse.errorLine = strings::errorLine(strings::downloadRefused());
  return {refuse};
}

DownloadSteps DownloadLifecycle::destinationAsked(std::string_view suggested, std::string folder) {
  if (phase_ != Phase::starting) return {};
  phase_ = Phase::asking;
  suggested_ = suggested;
  folder_ = std::move(folder);
  return {download::AskPage{safeFileName(suggested)}};
}

DownloadSteps DownloadLifecycle::pageAnswered(bool allowed) {
  if (phase_ != Phase::asking) return {};
  if (!allowed) {
    // Refused by the page (another download runs, or the page is gone): no file, no report.
    phase_ = Phase::refused;
    return {download::Cancel{}};
  }
  phase_ = Phase::reserving;
  adopted_ = true;
  return {download::Adopt{}, download::ReserveFile{folder_, suggested_}};
}

DownloadSteps DownloadLifecycle::fileReserved(std::string path, std::uint64_t received) {
  // Ended (cancelled, failed) while its file was being made: the empty file is nobody's.
  if (phase_ != Phase::reserving) return {download::RemoveFile{std::move(path)}};
  phase_ = Phase::saving;
  // The file was just created empty for this download alone.
  path_ = std::move(path);
  reserved_ = true;
  name_ = displayName(path_);
  DownloadSteps steps{download::Save{path_}};
  for (auto& step : checkFreeSpace(received)) steps.push_back(std::move(step));
  return steps;
}

DownloadSteps DownloadLifecycle::reserveFailed(std::string_view reason) {
  if (phase_ != Phase::reserving) return {};
  phase_ = Phase::saving;
  path_ = GCharPtr(g_build_filename(folder_.c_str(), safeFileName(suggested_).c_str(), nullptr)).get();
  failed_ = true;
  failure_ = reason;
  return {download::Cancel{}};
}

// At most one look-up at a time, and again after `freeSpaceCheckInterval` more bytes.
DownloadSteps DownloadLifecycle::checkFreeSpace(std::uint64_t received) {
  if (checkingSpace_ || folder_.empty()) return {};
  checkingSpace_ = true;
  nextSpaceCheck_ = received + freeSpaceCheckInterval;
  return {download::CheckFreeSpace{folder_}};
}

DownloadSteps DownloadLifecycle::dataReceived(std::uint64_t received, std::optional<std::uint64_t> total) {
  if (!adopted_ || failed_ || phase_ == Phase::ended) return {};
  DownloadSteps steps;
  if (received >= nextSpaceCheck_) steps = checkFreeSpace(received);
  steps.push_back(download::Progress{DownloadProgress{name_, received, total}});
  return steps;
}

DownloadSteps DownloadLifecycle::freeSpaceAnswered(std::optional<std::uint64_t> free) {
  checkingSpace_ = false;
  if (phase_ == Phase::ended || failed_ || !free || *free >= minimumFreeSpace) return {};
  // Stopped so that it never fills the disk; its file goes when it ends.
  stopped_ = strings::downloadStopped(displayFolder(path_));
  failed_ = true;
  return {download::Cancel{}};
}

DownloadSteps DownloadLifecycle::cancelRequested() {
  if (phase_ == Phase::ended || phase_ == Phase::refused) return {};
  cancelledByUser_ = true;
  return {download::Cancel{}};
}

DownloadSteps DownloadLifecycle::failed(std::string_view reason) {
  if (!failed_) failure_ = reason;
  failed_ = true;
  return {};
}

DownloadSteps DownloadLifecycle::finished() {
  if (phase_ == Phase::refused || phase_ == Phase::ended) return {};
  phase_ = Phase::ended;
  DownloadSteps steps;
  DownloadReport report;
  report.path = path_;
  report.succeeded = !failed_;
  report.cancelled = failed_ && cancelledByUser_;
  std::string name = path_.empty() ? std::string(strings::theFile()) : strings::quotedName(displayName(path_));
  if (report.succeeded) {
    report.message = strings::downloadSaved(name, displayFolder(path_));
    steps.push_back(download::Notify{std::string(strings::downloadFinished()), report.message});
  } else {
    if (reserved_) steps.push_back(download::RemoveFile{path_});
    if (!stopped_.empty()) {
      report.message = stopped_;
      steps.push_back(download::Notify{std::string(strings::downloadStoppedTitle()), report.message});
    } else if (!report.cancelled) {
      report.message =
          failure_.empty() ? strings::downloadNotSaved(name) : strings::downloadNotSavedBecause(name, failure_);
      if (report.message.back() != '.') report.message += ".";
      steps.push_back(download::Notify{std::string(strings::downloadFailed()), report.message});
    }
  }
  steps.push_back(download::Report{std::move(report)});
  return steps;
}

}  // namespace vesk
