// A key monitor for tests: presses are fed by hand and report whether a handler swallowed them.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "hotkeys/key_monitor.h"

namespace vesk::testing {

// A press of Escape, as a monitor reports it.
inline KeyEventRecord escapeKey() {
  KeyEventRecord key;
  key.keyCode = KeyCode::escape;
  key.charactersIgnoringModifiers = "\x1b";
  return key;
}

// A press of Control-Option (Control-Alt) with the key `keyCode` that types `character`.
inline KeyEventRecord controlOption(std::uint16_t keyCode, std::string character) {
  KeyEventRecord record;
  record.control = true;
  record.option = true;
  record.keyCode = keyCode;
  record.charactersIgnoringModifiers = std::move(character);
  return record;
}

class FakeKeyMonitor final : public KeyMonitor {
 public:
  Token install(Handler handler) override {
    auto token = ++nextToken_;
    handlers_.emplace_back(token, std::make_shared<Handler>(std::move(handler)));
    return token;
  }
  void remove(Token token) override {
    std::erase_if(handlers_, [token](const auto& entry) { return entry.first == token; });
  }

  std::size_t installedCount() const { return handlers_.size(); }
  void holdKeys() override { holding = true; }
  void releaseHeldKeys() override {
    holding = false;
    handedOn.insert(handedOn.end(), held.begin(), held.end());
    held.clear();
  }
  void dropHeldKeys() override {
    holding = false;
    held.clear();
  }
  bool holdingKeys() const override { return holding; }

  // Returns true when a handler swallowed the press, as a window would then not see it.
  // `leftByFocus`: the focused page saw it first and left it unhandled.
  bool press(const KeyEventRecord& record, bool leftByFocus = false) {
    auto snapshot = handlers_;
    for (const auto& [token, handler] : snapshot) {
      bool installed = std::any_of(handlers_.begin(), handlers_.end(),
                                   [token = token](const auto& entry) { return entry.first == token; });
      if (installed && (*handler)(MonitoredKeyPress{record, 0, leftByFocus})) return true;
    }
    if (!holding) return false;
    held.push_back(record);
    return true;
  }

  bool holding = false;
  std::vector<KeyEventRecord> held;      // presses held back, in order
  std::vector<KeyEventRecord> handedOn;  // presses released to the window's widgets

 private:
  std::vector<std::pair<Token, std::shared_ptr<Handler>>> handlers_;
  Token nextToken_ = 0;
};

}  // namespace vesk::testing
