// Test doubles for the browser layer's services: web pages without an engine, whose state the
// test sets and whose events the test fires, and a clipboard and workspace that record what
// they are given.
#pragma once

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "browser/browser_store.h"
#include "browser/clipboard.h"
#include "browser/web_page.h"
#include "browser/workspace.h"

namespace vesk::testing {

// A page whose state the test sets and whose events the test fires.
class FakeWebPage final : public WebPage {
 public:
  explicit FakeWebPage(WebPageDelegate& delegate) : delegate(delegate) {}
  ~FakeWebPage() override {
    if (closed) closed->insert(this);
  }

  void load(const std::string& address) override {
    loads.push_back(address);
    if (onLoad) onLoad(address);
  }
  void goBack() override { ++backCount; }
  void goForward() override { ++forwardCount; }
  void reload() override { ++reloadCount; }
  void setZoom(double value) override { zoom = value; }
  void runEditingCommand(EditingCommand command) override { edits.push_back(command); }
  std::optional<std::string> currentAddress() const override { return address; }
  bool canGoBack() const override { return back; }
  bool canGoForward() const override { return forward; }
  bool isLoading() const override { return loading; }
  std::optional<LoadError> processFailure() const override { return ended; }
  bool responding() const override { return answers; }
  bool guardsSignInHost() const override { return guardsSignIn; }
  void cancelDownload() override { ++downloadCancels; }
  std::string savedHistory() const override { return history; }
  bool restoreHistory(const std::string& saved) override {
    restored.push_back(saved);
    if (saved.empty()) return false;
    history = saved;
    return true;
  }
  std::string title() const override { return pageTitle; }
  bool takesTyping() const override { return typing; }
  void notificationClicked(const std::string& key) override { clickedNotifications.push_back(key); }
  Gtk::Widget* widget() const override { return nullptr; }

  // Engine events.
  void retitle(std::string text) {
    pageTitle = std::move(text);
    delegate.pageTitleChanged(*this, pageTitle);
  }
  void notify(PageNotification notification) { delegate.pageShowsNotification(*this, notification); }
  void closeNotification(const std::string& key) { delegate.pageClosedNotification(*this, key); }
  void start() { delegate.pageDidStartLoading(*this); }
  void focusField() {
    typing = true;
    delegate.pageTakesTyping(*this);
  }
  void finish() { delegate.pageDidFinishLoading(*this); }
  void fail(std::string domain, int code, std::string message) {
    delegate.pageDidFailLoading(*this, LoadError{std::move(domain), code, std::move(message)});
  }
  PolicyDecision navigate(std::optional<std::string> target, bool userGesture = true,
                          NavigationFrame frame = NavigationFrame::main) {
    return delegate.pageDecidePolicy(*this,
                                     NavigationRequest{std::move(target), userGesture, false, frame, std::nullopt});
  }
  // Asked by the page itself unless another requester is given.
  void requestNewWindow(const std::string& target, bool userGesture = false,
                        std::optional<std::string> requester = std::nullopt) {
    if (!requester) requester = address;
    delegate.pageRequestsNewWindow(*this,
                                   NavigationRequest{target, userGesture, true, NavigationFrame::main, requester});
  }

  WebPageDelegate& delegate;
  int downloadCancels = 0;
  std::vector<std::string> loads;
  std::string history;                // what savedHistory() gives
  std::vector<std::string> restored;  // every history given to restoreHistory()
  std::function<void(const std::string&)> onLoad;
  int backCount = 0, forwardCount = 0, reloadCount = 0;
  std::optional<double> zoom;
  std::vector<EditingCommand> edits;
  std::optional<std::string> address;
  bool back = false, forward = false, loading = false;
  std::optional<LoadError> ended;
  bool answers = true;  // what responding() gives
  bool guardsSignIn = false;
  bool typing = true;  // what takesTyping() gives
  std::string pageTitle;
  std::vector<std::string> clickedNotifications;
  std::set<const FakeWebPage*>* closed = nullptr;  // the page adds itself when destroyed
};

class FakePageFactory final : public WebPageFactory {
 public:
  std::unique_ptr<WebPage> createPage(WebPageDelegate& delegate) override {
    auto page = std::make_unique<FakeWebPage>(delegate);
    page->closed = &closed;
    pages.push_back(page.get());
    if (onCreate) onCreate(*page);
    return page;
  }
  void setSharedWebProcess(bool shared) override { sharing.push_back(shared); }
  bool isClosed(const FakeWebPage* page) const { return closed.count(page) > 0; }
  std::vector<bool> sharing;        // every setSharedWebProcess(), in order
  std::vector<FakeWebPage*> pages;  // every page made, also those closed since (do not use those)
  std::set<const FakeWebPage*> closed;
  std::function<void(FakeWebPage&)> onCreate;
};

class FakeClipboard final : public Clipboard {
 public:
  void setText(const std::string& text) override { texts.push_back(text); }
  void requestText(std::function<void(std::optional<std::string>)> done) override {
    done(texts.empty() ? std::nullopt : std::optional<std::string>(texts.back()));
  }
  std::vector<std::string> texts;
};

class FakeWorkspace final : public Workspace {
 public:
  void openAddress(const std::string& address) override { opened.push_back(address); }
  std::vector<std::string> opened;
};

}  // namespace vesk::testing
