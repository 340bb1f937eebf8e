// An in-memory settings store for tests: records every write and what was kept aside, and fails
// writes on request (the value stays in memory, as with the file store).
#pragma once

#include <cstdlib>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "model/settings_store.h"

namespace vesk::testing {

class MemorySettingsStore final : public SettingsStore {
 public:
  struct Write {
    std::string key;
    std::optional<std::string> value;  // absent for a removal
  };

  std::optional<std::string> data(std::string_view key) const override { return lookup(key); }
  std::optional<std::string> string(std::string_view key) const override { return lookup(key); }
  double doubleValue(std::string_view key) const override {
    auto text = lookup(key);
    if (!text) return 0;
    char* end = nullptr;
    double value = std::strtod(text->c_str(), &end);
    return (end && *end == '\0' && !text->empty()) ? value : 0;
  }
  void setData(std::string_view key, std::string_view bytes) override { put(key, std::string(bytes)); }
  void setString(std::string_view key, std::string_view text) override { put(key, std::string(text)); }
  void setDouble(std::string_view key, double value) override {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.17g", value);
    put(key, buffer);
  }
  void remove(std::string_view key) override {
    values.erase(std::string(key));
    writes.push_back({std::string(key), std::nullopt});
    writeError = failWrites;
  }
  std::optional<std::string> keepUnreadable(std::string_view key, std::string_view bytes) override {
    keptAside.emplace_back(std::string(key), std::string(bytes));
    return std::string(key) + ".unreadable";
  }
  std::optional<std::string> takeNotice() override { return std::exchange(notice, std::nullopt); }
  const std::optional<std::string>& lastWriteError() const override { return writeError; }

  // Sets a value without recording it as a write (for preparing a test).
  void seed(std::string_view key, std::string value) { values[std::string(key)] = std::move(value); }
  bool has(std::string_view key) const { return values.count(std::string(key)) > 0; }
  std::size_t writesTo(std::string_view key) const {
    std::size_t n = 0;
    for (const auto& w : writes) n += w.key == key;
    return n;
  }

  std::map<std::string, std::string, std::less<>> values;
  std::vector<Write> writes;
  std::vector<std::pair<std::string, std::string>> keptAside;
  // While set, every write fails with this reason.
  std::optional<std::string> failWrites;
  std::optional<std::string> writeError;
  // What the store has to say once (handed out by takeNotice).
  std::optional<std::string> notice;

 private:
  std::optional<std::string> lookup(std::string_view key) const {
    auto it = values.find(key);
    if (it == values.end()) return std::nullopt;
    return it->second;
  }
  void put(std::string_view key, std::string value) {
    values[std::string(key)] = value;
    writes.push_back({std::string(key), std::move(value)});
    writeError = failWrites;
  }
};

}  // namespace vesk::testing
