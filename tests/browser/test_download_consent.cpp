// A download's rules from the engine's events to the steps carried out: which downloads run, where
// they are saved, the free-space stop, and how each ends.
#include "browser/download_consent.h"

#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

namespace vesk {
namespace {

constexpr const char* page = "https://site.example/app";
constexpr const char* file = "https://site.example/report.pdf";
constexpr const char* folder = "/home/u/Downloads";
constexpr const char* saved = "/home/u/Downloads/report.pdf";
constexpr std::uint64_t plenty = minimumFreeSpace * 4;

// The engine's events, as the adapter feeds them.
struct Click {  // an allowed navigation of the page; the user's unless `gesture` is false
  std::string address = file;
  bool gesture = true;
  bool redirect = false;
};
struct Menu {};  // the context menu opened on `file`
struct Response {
  bool supported;
  std::string disposition;
};
struct NewWindowLoad {  // a new-window request for `file`, whose address the application loads
  bool gesture;
};
struct LoadStarted {};
struct Start {  // a new download of `file`
  bool fromPage = true;
};
struct Ask {};
struct PageAnswer {
  bool allowed;
};
struct Reserved {};
struct ReserveFailed {};
struct Data {
  std::uint64_t received;
};
struct Space {
  std::uint64_t free;
};
struct UserCancel {};
struct Failed {};
struct Finished {};
using Event = std::variant<Click, Menu, Response, NewWindowLoad, LoadStarted, Start, Ask, PageAnswer, Reserved,
                           ReserveFailed, Data, Space, UserCancel, Failed, Finished>;

struct Flow {
  DownloadConsent consent;
  DownloadLifecycle life;
  DownloadSteps steps;

  void feed(const Event& event) {
    DownloadSteps now = std::visit([this](const auto& e) { return on(e); }, event);
    steps.insert(steps.end(), now.begin(), now.end());
  }
  DownloadSteps on(const Click& c) {
    consent.navigationDecided({c.address, c.gesture, c.redirect, false, true, page});
    return {};
  }
  DownloadSteps on(const Menu&) {
    consent.menuOpened({file});
    return {};
  }
  DownloadSteps on(const Response& r) {
    consent.responseDecided(file, r.supported, r.disposition);
    return {};
  }
  DownloadSteps on(const NewWindowLoad& n) {
    consent.newWindowRequested(n.gesture);
    consent.navigationDecided({file, n.gesture, false, true, true, page});
    consent.loadRequested();
    consent.newWindowHandled();
    consent.navigationDecided({file, false, false, false, true, page});
    return {};
  }
  DownloadSteps on(const LoadStarted&) {
    consent.loadStarted();
    return {};
  }
  DownloadSteps on(const Start& s) {
    life = DownloadLifecycle();
    return life.started(file, s.fromPage ? &consent : nullptr);
  }
  DownloadSteps on(const Ask&) { return life.destinationAsked("report.pdf", folder); }
  DownloadSteps on(const PageAnswer& a) { return life.pageAnswered(a.allowed); }
  DownloadSteps on(const Reserved&) { return life.fileReserved(saved); }
  DownloadSteps on(const ReserveFailed&) { return life.reserveFailed("Permission denied"); }
  DownloadSteps on(const Data& d) { return life.dataReceived(d.received, std::nullopt); }
  DownloadSteps on(const Space& s) { return life.freeSpaceAnswered(s.free); }
  DownloadSteps on(const UserCancel&) { return life.cancelRequested(); }
  DownloadSteps on(const Failed&) { return life.failed("Connection reset"); }
  DownloadSteps on(const Finished&) { return life.finished(); }
};

const std::string refusedLine = "vesk: refused a download the page started without a click.";
const std::string savedText = "\u201creport.pdf\u201d was saved in /home/u/Downloads.";
const std::string stoppedText = "Download stopped: less than 1 GB is free in /home/u/Downloads.";

DownloadReport report(bool succeeded, bool cancelled, std::string message, std::string path = saved) {
  return {std::move(path), succeeded, cancelled, std::move(message)};
}
DownloadStep progress(std::uint64_t received) {
  return download::Progress{DownloadProgress{"report.pdf", received, std::nullopt}};
}

// The steps up to a download being saved: the user's click, then the engine's questions answered.
const std::vector<Event> clickedAndSaving{Click{}, Start{}, Ask{}, PageAnswer{true}, Reserved{}};
const DownloadSteps savingSteps{download::Run{},       download::AskPage{"report.pdf"},
                                download::Adopt{},     download::ReserveFile{folder, "report.pdf"},
                                download::Save{saved}, download::CheckFreeSpace{folder}};

std::vector<Event> then(std::vector<Event> first, const std::vector<Event>& more) {
  first.insert(first.end(), more.begin(), more.end());
  return first;
}
DownloadSteps then(DownloadSteps first, const DownloadSteps& more) {
  first.insert(first.end(), more.begin(), more.end());
  return first;
}

TEST(DownloadLifecycleTest, FromTheEnginesEventsToTheStepsCarriedOut) {
  struct Case {
    const char* name;
    std::vector<Event> events;
    DownloadSteps steps;
  } cases[] = {
      // Whether it runs.
      {"a click on it runs once", {Click{}, Start{}, Start{}}, {download::Run{}, download::Refuse{refusedLine}}},
      {"the page's own script is refused", {Click{file, false}, Start{}}, {download::Refuse{refusedLine}}},
      {"a click redirected to it",
       {Click{"https://site.example/get"}, Click{file, true, true}, Start{}},
       {download::Run{}}},
      {"the page's own redirect to it",
       {NewWindowLoad{false}, Click{file, false, true}, Start{}},
       {download::Refuse{refusedLine}}},
      {"the menu opened on it", {Menu{}, Start{}}, {download::Run{}}},
      {"a click that ended in a page consents to nothing",
       {Click{}, Response{true, ""}, Start{}},
       {download::Refuse{refusedLine}}},
      {"an attachment keeps the consent", {Click{}, Response{true, "Attachment"}, Start{}}, {download::Run{}}},
      {"a type the engine cannot show keeps the consent", {Click{}, Response{false, ""}, Start{}}, {download::Run{}}},
      {"a new window the user asked for", {NewWindowLoad{true}, Start{}}, {download::Run{}}},
      {"a new window the page asked for", {NewWindowLoad{false}, Start{}}, {download::Refuse{refusedLine}}},
      {"refusals said once per page load",
       {Start{}, Start{}, LoadStarted{}, Start{}},
       {download::Refuse{refusedLine}, download::Refuse{}, download::Refuse{refusedLine}}},
      {"no page of ours",
       {Click{}, Start{false}, Start{false}},
       {download::Refuse{refusedLine}, download::Refuse{refusedLine}}},
      {"a refused download asks nothing and reports nothing",
       {Start{}, Ask{}, Failed{}, Finished{}},
       {download::Refuse{refusedLine}}},
      // Its life once it runs.
      {"the page refuses it: no file, no report",
       {Click{}, Start{}, Ask{}, PageAnswer{false}, Failed{}, Finished{}},
       {download::Run{}, download::AskPage{"report.pdf"}, download::Cancel{}}},
      {"finished: saved and notified", then(clickedAndSaving, {Space{plenty}, Data{10}, Finished{}}),
       then(savingSteps, {progress(10), download::Notify{"Download finished", savedText},
                          download::Report{report(true, false, savedText)}})},
      {"free space looked at again after the interval, one look-up at a time",
       then(clickedAndSaving, {Data{freeSpaceCheckInterval}, Space{plenty}, Data{freeSpaceCheckInterval},
                               Data{freeSpaceCheckInterval + 1}}),
       then(savingSteps, {progress(freeSpaceCheckInterval), download::CheckFreeSpace{folder},
                          progress(freeSpaceCheckInterval), progress(freeSpaceCheckInterval + 1)})},
      {"less than a gigabyte free: stopped, its file removed, said",
       then(clickedAndSaving, {Space{minimumFreeSpace - 1}, Data{5}, Failed{}, Finished{}}),
       then(savingSteps,
            {download::Cancel{}, download::RemoveFile{saved}, download::Notify{"Download stopped", stoppedText},
             download::Report{report(false, false, stoppedText)}})},
      {"failed: its reserved empty file removed, the reason said", then(clickedAndSaving, {Failed{}, Finished{}}),
       then(savingSteps,
            {download::RemoveFile{saved},
             download::Notify{"Download failed", "\u201creport.pdf\u201d could not be downloaded: Connection reset."},
             download::Report{
                 report(false, false, "\u201creport.pdf\u201d could not be downloaded: Connection reset.")}})},
      {"cancelled by the user: its file removed, nothing notified",
       then(clickedAndSaving, {UserCancel{}, Failed{}, Finished{}, UserCancel{}}),
       then(savingSteps, {download::Cancel{}, download::RemoveFile{saved}, download::Report{report(false, true, "")}})},
      {"no file could be reserved: nothing removed, the reason said",
       {Click{}, Start{}, Ask{}, PageAnswer{true}, ReserveFailed{}, Data{5}, Failed{}, Finished{}},
       {download::Run{}, download::AskPage{"report.pdf"}, download::Adopt{},
        download::ReserveFile{folder, "report.pdf"}, download::Cancel{},
        download::Notify{"Download failed", "\u201creport.pdf\u201d could not be downloaded: Permission denied."},
        download::Report{
            report(false, false, "\u201creport.pdf\u201d could not be downloaded: Permission denied.", saved)}}},
      {"cancelled while its file was being made: the file made afterwards removed",
       {Click{}, Start{}, Ask{}, PageAnswer{true}, UserCancel{}, Failed{}, Finished{}, Reserved{}},
       {download::Run{}, download::AskPage{"report.pdf"}, download::Adopt{},
        download::ReserveFile{folder, "report.pdf"}, download::Cancel{}, download::Report{report(false, true, "", "")},
        download::RemoveFile{saved}}},
      {"failed before any destination",
       {Click{}, Start{}, Failed{}, Finished{}, Finished{}},
       {download::Run{}, download::Notify{"Download failed", "The file could not be downloaded: Connection reset."},
        download::Report{report(false, false, "The file could not be downloaded: Connection reset.", "")}}},
  };
  for (const Case& c : cases) {
    Flow flow;
    for (const Event& event : c.events) flow.feed(event);
    EXPECT_EQ(flow.steps, c.steps) << c.name;
  }
}

}  // namespace
}  // namespace vesk
