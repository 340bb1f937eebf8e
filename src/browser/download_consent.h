// Whether a download may run and what happens to it until it ends, as plain state machines: the
// web engine's adapter tells them what the engine reported and carries out the steps they return.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "browser/downloads.h"
#include "browser/web_page.h"

namespace vesk {

// The downloads the user asked for on one page. A download runs only when the navigation that
// produced it came from a user action on that very navigation (its own click or key, or a command
// of the context menu opened on it), never from a gesture spent elsewhere: a click on an unrelated
// link, a fragment or a frame, or a menu opened and closed, consents to nothing the page's own
// script started. Consents are bound to the address the user acted on (a redirect carries the
// gesture of the navigation it continues, so its target is bound too); each serves one download.
// One per page, living as long as the page.
class DownloadConsent {
 public:
  // At most this many consents wait for their download; the oldest goes first.
  static constexpr std::size_t limit = 16;

  // What the engine tells of a navigation the page's delegate has just decided.
  struct Navigation {
    std::optional<std::string> address;
    bool userGesture = false;  // the engine's own word on it
    bool redirect = false;     // it continues the navigation before it
    bool newWindow = false;    // a new-window request (its address loads through loadRequested)
    bool allowed = false;      // the delegate let it go on
    std::string pageAddress;   // the address the page shows, empty when none
  };

  // A main-frame load started: the next refused download is reported again.
  void loadStarted();
  // The page asks for a new window; the application loads its address into the page while the
  // request is handled, and that load carries the request's gesture.
  void newWindowRequested(bool userGesture);
  void newWindowHandled();
  // The application loads an address into the page (its own load, or a new window's address).
  void loadRequested();
  // The application loads an entry of a restored history: no user action.
  void historyRestored();
  // A navigation was decided. Its gesture, or that of the application's load it is, consents to a
  // download of its address when it was allowed.
  void navigationDecided(const Navigation& navigation);
  // The response for `address` arrived: one the engine shows in the page (a supported type, not
  // sent as an attachment, `disposition` being the Content-Disposition's type) ends its consent.
  void responseDecided(std::string_view address, bool mimeTypeSupported, std::string_view disposition);

  // The rules the events above apply, each on its own.
  // A navigation of the page or of one of its frames to `address` was allowed. When the user
  // started it, a download of `address` may run. `pageAddress` is the page's own address: a
  // navigation within it (only the fragment differs) loads nothing and consents to nothing.
  void navigationAllowed(std::string_view address, bool userGesture, std::string_view pageAddress = {});
  // The context menu opened on these addresses (the link, image or media under the pointer): the
  // menu's download commands may download them.
  void menuOpened(const std::vector<std::string>& addresses);
  // The response for `address` is shown in the page, so no download comes from that navigation.
  void responseShown(std::string_view address);
  // A download of `address` starts: whether the user asked for it. Uses up its consent.
  bool take(std::string_view address);
  // True for the first refused download since the page last started loading, so that a page that
  // tries many is reported once.
  bool firstRefusalOfThisLoad() { return !std::exchange(refusalReported_, true); }

 private:
  void grant(std::string_view address);

  std::deque<std::string> granted_;  // the oldest first
  bool refusalReported_ = false;
  bool newWindowGesture_ = false;  // while a new-window request is handled
  bool loadGesture_ = false;       // the application's next load was asked for by the user
};

// The steps a download's adapter carries out, in the order given.
namespace download {
// The user asked for it: let the engine go on and ask for a destination.
struct Run {
  bool operator==(const Run&) const = default;
};
// Not the user's: cancel it before any destination (and so any file) exists. `errorLine`, when
// present, goes to standard error.
struct Refuse {
  std::optional<std::string> errorLine;
  bool operator==(const Refuse&) const = default;
};
// Ask the page whether it may be saved as `name` (answer with pageAnswered).
struct AskPage {
  std::string name;
  bool operator==(const AskPage&) const = default;
};
// The page runs it from now on (it stops it when it closes) until Report.
struct Adopt {
  bool operator==(const Adopt&) const = default;
};
// Create a new empty file for `suggested` in `folder` (answer with fileReserved or reserveFailed).
struct ReserveFile {
  std::string folder;
  std::string suggested;
  bool operator==(const ReserveFile&) const = default;
};
// Save into `path`, the file reserved for it, overwriting it.
struct Save {
  std::string path;
  bool operator==(const Save&) const = default;
};
// Look up the free space in `folder` without waiting (answer with freeSpaceAnswered).
struct CheckFreeSpace {
  std::string folder;
  bool operator==(const CheckFreeSpace&) const = default;
};
// Tell the page how far it is.
struct Progress {
  DownloadProgress progress;
  bool operator==(const Progress&) const = default;
};
// Stop it in the engine; the engine then reports it failed and finished.
struct Cancel {
  bool operator==(const Cancel&) const = default;
};
// Remove the file reserved for it: a partial file is no use and, under its final name, looks complete.
struct RemoveFile {
  std::string path;
  bool operator==(const RemoveFile&) const = default;
};
// Show a desktop notification.
struct Notify {
  std::string title;
  std::string body;
  bool operator==(const Notify&) const = default;
};
// It ended: release it from its page and tell the page and the engine's listeners.
struct Report {
  DownloadReport report;
  bool operator==(const Report&) const = default;
};
}  // namespace download

using DownloadStep = std::variant<download::Run, download::Refuse, download::AskPage, download::Adopt,
                                  download::ReserveFile, download::Save, download::CheckFreeSpace, download::Progress,
                                  download::Cancel, download::RemoveFile, download::Notify, download::Report>;
using DownloadSteps = std::vector<DownloadStep>;

// One download from the moment the engine starts it until it ends: whether it runs, where it is
// saved, its progress, the stop for lack of free space, and how it ended. One per download; it may
// outlive its page, which cancels it when it closes.
class DownloadLifecycle {
 public:
  // The engine started a download of `address` from the page whose consents are `page` (null when
  // no page of ours started it).
  DownloadSteps started(std::string_view address, DownloadConsent* page);
  // The engine asks where to save it, suggesting a file name; `folder` is the Download folder.
  DownloadSteps destinationAsked(std::string_view suggested, std::string folder);
  // The page's answer to AskPage.
  DownloadSteps pageAnswered(bool allowed);
  // The answers to ReserveFile. `received` is what the download has received so far. A file made
  // after the download ended is removed again.
  DownloadSteps fileReserved(std::string path, std::uint64_t received = 0);
  DownloadSteps reserveFailed(std::string_view reason);
  // More data arrived.
  DownloadSteps dataReceived(std::uint64_t received, std::optional<std::uint64_t> total);
  // The answer to CheckFreeSpace, absent when the file system did not say.
  DownloadSteps freeSpaceAnswered(std::optional<std::uint64_t> free);
  // The user stopped it (in the panel, or by closing its page).
  DownloadSteps cancelRequested();
  // The engine reports it failed, with the engine's reason.
  DownloadSteps failed(std::string_view reason);
  // The engine is done with it, whether it succeeded or not.
  DownloadSteps finished();

 private:
  enum class Phase { starting, refused, asking, reserving, saving, ended };

  DownloadSteps checkFreeSpace(std::uint64_t received);

  Phase phase_ = Phase::starting;
  std::string suggested_;
  std::string folder_;
  std::string path_;
  std::string name_;     // the file's name as shown
  std::string failure_;  // the engine's or the file system's reason
  std::string stopped_;  // why it was stopped for lack of space
  bool failed_ = false;
  bool reserved_ = false;  // `path_` was created empty for this download
  bool adopted_ = false;   // its page runs it
  bool cancelledByUser_ = false;
  bool checkingSpace_ = false;
  std::uint64_t nextSpaceCheck_ = 0;  // received bytes at which free space is checked next
};

}  // namespace vesk
