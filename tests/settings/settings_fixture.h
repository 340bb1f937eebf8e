// The panel state the settings screen works on, over an in-memory model and inert services:
// the settings never load pages, touch the clipboard or open addresses.
#pragma once

#include <memory>
#include <vector>

#include "browser/clipboard.h"
#include "browser/web_page.h"
#include "browser/workspace.h"
#include "hotkeys/fake_key_monitor.h"
#include "model/app_model.h"
#include "panel/panel_services.h"
#include "support/memory_settings_store.h"

namespace vesk::testing {

class NoPages final : public WebPageFactory {
 public:
  std::unique_ptr<WebPage> createPage(WebPageDelegate&) override {
    ADD_FAILURE() << "the settings screen loaded a page";
    return nullptr;
  }
};

class NoClipboard final : public Clipboard {
 public:
  void setText(const std::string&) override {}
  void requestText(std::function<void(std::optional<std::string>)> done) override { done(std::nullopt); }
};

class NoWorkspace final : public Workspace {
 public:
  void openAddress(const std::string&) override {}
};

struct SettingsFixture {
  explicit SettingsFixture(std::vector<LinkSite> sites) {
    store.seed(SettingsKey::sites, encodeSites(sites).value());
    model = std::make_unique<AppModel>(store);
  }
  PanelServices services() {
    return PanelServices{pages, clipboard, workspace, keys, [](auto, auto) {}, [] { return true; }};
  }

  MemorySettingsStore store;
  std::unique_ptr<AppModel> model;
  NoPages pages;
  NoClipboard clipboard;
  NoWorkspace workspace;
  FakeKeyMonitor keys;
  int closes = 0;
};

}  // namespace vesk::testing
