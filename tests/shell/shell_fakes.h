// Fakes of the shell's desktop services, recording what the application shell asks of them.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "hotkeys/fake_hotkey_service.h"
#include "shell/app_delegate.h"

namespace vesk::testing {

class FakeTrayItem final : public TrayItem {
 public:
  explicit FakeTrayItem(Journal& journal) : journal_(journal) {}
  void setToolTip(const std::string& text) override {
    journal_.push_back("tooltip");
    toolTip = text;
  }
  void setUnread(bool value) override { unread = value; }
  void popUpMenu() override { ++menuPopUps; }
  std::optional<ScreenRect> iconArea() const override { return area; }

  std::string toolTip;
  bool unread = false;
  int menuPopUps = 0;
  std::optional<ScreenRect> area = ScreenRect{1200, 0, 24, 28};

 private:
  Journal& journal_;
};

// Records the notices shown and taken back; a test clicks one with `click`.
class FakeDesktopNotices final : public DesktopNotices {
 public:
  void show(const DesktopNotice& notice) override { shown.insert_or_assign(notice.key, notice); }
  void withdraw(const std::string& key) override {
    shown.erase(key);
    withdrawn.push_back(key);
  }
  // The user clicks the notice: the service reports the click, then its closing.
  void click(const std::string& key) {
    if (onActivated) onActivated(key);
    shown.erase(key);
    if (onClosed) onClosed(key);
  }

  std::map<std::string, DesktopNotice> shown;
  std::vector<std::string> withdrawn;
};

class FakePanelWindow final : public PanelWindow {
 public:
  explicit FakePanelWindow(Journal& journal) : journal_(journal) {}
  bool isShown() const override { return shown; }
  void setContentSize(int width, int height) override { size = {width, height}; }
  void setContent(Gtk::Widget*) override { ++contentSets; }
  bool hasContent() const override { return contentSets > 0; }
  void showUnder(const std::optional<ScreenRect>& anchor) override {
    journal_.push_back("show panel");
    shown = true;
    ++shows;
    lastAnchor = anchor;
  }
  void close() override {
    journal_.push_back("close panel");
    shown = false;
    ++closes;
  }
  std::optional<ScreenRect> workArea(const std::optional<ScreenRect>&) const override { return screen; }

  bool shown = false;
  int shows = 0, closes = 0, contentSets = 0;
  std::pair<int, int> size{0, 0};
  std::optional<ScreenRect> lastAnchor;
  std::optional<ScreenRect> screen = ScreenRect{0, 28, 1280, 772};

 private:
  Journal& journal_;
};

class FakeClickMonitors final : public ClickMonitors {
 public:
  struct Token final : ClickMonitorToken {
    Token(FakeClickMonitors& owner, bool global) : owner(owner), global(global) {}
    ~Token() override {
      if (global) {
        owner.global = nullptr;
      } else {
        owner.local = nullptr;
      }
    }
    FakeClickMonitors& owner;
    bool global;
  };
  std::unique_ptr<ClickMonitorToken> addGlobalMonitor(std::function<void(ScreenPoint)> handler) override {
    global = std::move(handler);
    return std::make_unique<Token>(*this, true);
  }
  std::unique_ptr<ClickMonitorToken> addLocalMonitor(std::function<void(ClickTarget)> handler) override {
    local = std::move(handler);
    return std::make_unique<Token>(*this, false);
  }
  std::function<void(ScreenPoint)> global;
  std::function<void(ClickTarget)> local;
};

}  // namespace vesk::testing
