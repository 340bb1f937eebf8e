// Fakes of the panel's services: web pages without an engine, a clipboard and a workspace
// that record what they are given, and a timer queue run by hand.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "browser/clipboard.h"
#include "browser/web_page.h"
#include "browser/workspace.h"
#include "hotkeys/fake_key_monitor.h"
#include "model/app_model.h"
#include "panel/panel_services.h"
#include "support/memory_settings_store.h"

namespace vesk::testing {

class FakeWebPage final : public WebPage {
 public:
  explicit FakeWebPage(WebPageDelegate& delegate) : delegate(delegate) {}
  ~FakeWebPage() override {
    if (closedCount) ++*closedCount;
  }
  void load(const std::string& address) override { loads.push_back(address); }
  void goBack() override { ++backs; }
  void goForward() override { ++forwards; }
  void reload() override { ++reloads; }
  void setZoom(double z) override { zoom = z; }
  std::optional<std::string> currentAddress() const override { return address; }
  bool canGoBack() const override { return back; }
  bool canGoForward() const override { return forward; }
  bool isLoading() const override { return loading; }
  std::optional<LoadError> processFailure() const override { return std::nullopt; }
  bool guardsSignInHost() const override { return false; }
  void cancelDownload() override { ++downloadCancels; }
  Gtk::Widget* widget() const override { return nullptr; }

  WebPageDelegate& delegate;
  int downloadCancels = 0;
  int* closedCount = nullptr;
  std::vector<std::string> loads;
  int backs = 0, forwards = 0, reloads = 0;
  double zoom = 1;
  std::optional<std::string> address;
  bool back = false, forward = false, loading = false;
};

class FakePageFactory final : public WebPageFactory {
 public:
  std::unique_ptr<WebPage> createPage(WebPageDelegate& delegate) override {
    auto page = std::make_unique<FakeWebPage>(delegate);
    page->closedCount = &closed;
    pages.push_back(page.get());
    return page;
  }
  std::vector<FakeWebPage*> pages;
  int closed = 0;  // pages destroyed so far
};

class FakeClipboard final : public Clipboard {
 public:
  void setText(const std::string& t) override { text = t; }
  void requestText(std::function<void(std::optional<std::string>)> done) override { done(text); }
  std::optional<std::string> text;
};

class FakeWorkspace final : public Workspace {
 public:
  void openAddress(const std::string& address) override { opened.push_back(address); }
  std::vector<std::string> opened;
};

// Deferred tasks, kept until the test runs them.
struct FakeTimers {
  std::vector<std::pair<std::chrono::milliseconds, std::function<void()>>> tasks;
  RunAfter runAfter() {
    return [this](std::chrono::milliseconds delay, std::function<void()> task) {
      tasks.emplace_back(delay, std::move(task));
    };
  }
  void runAll() {
    auto pending = std::exchange(tasks, {});
    for (auto& [delay, task] : pending) task();
  }
};

// A model on an in-memory store with the given sites (the first selected), plus fake services.
struct PanelFixture {
  explicit PanelFixture(std::vector<LinkSite> sites = {}) {
    store.seed(SettingsKey::sites, encodeSites(sites).value());
    model = std::make_unique<AppModel>(store);
  }
  PanelServices services() {
    return PanelServices{pages, clipboard, workspace, keys, timers.runAfter(), [] { return true; }};
  }

  MemorySettingsStore store;
  std::unique_ptr<AppModel> model;
  FakePageFactory pages;
  FakeClipboard clipboard;
  FakeWorkspace workspace;
  FakeKeyMonitor keys;
  FakeTimers timers;
  int closes = 0;
};

}  // namespace vesk::testing
