// Fakes of the panel's services: the browser layer's fakes, a timer queue run by hand, and a
// model on an in-memory store.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "browser/fakes.h"
#include "hotkeys/fake_key_monitor.h"
#include "model/app_model.h"
#include "panel/panel_services.h"
#include "support/memory_settings_store.h"

namespace vesk::testing {

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
