// A sigc++ connection that ends when its holder goes (sigc++ 2 has no scoped connection of its
// own): a member of the object whose `this` the slot captures, declared after whatever the slot
// uses, so teardown follows member order. For the layers that use gtkmm, which brings sigc++; the
// model itself does not include it.
#pragma once

#include <sigc++/connection.h>

#include <utility>

namespace vesk {

class ScopedConnection {
 public:
  ScopedConnection() = default;
  // Takes over `connection` (as returned by a signal's connect()).
  ScopedConnection(sigc::connection connection) : connection_(std::move(connection)) {}  // NOLINT: implicit by design
  ~ScopedConnection() { connection_.disconnect(); }
  ScopedConnection(ScopedConnection&& other) noexcept : connection_(std::exchange(other.connection_, {})) {}
  ScopedConnection& operator=(ScopedConnection&& other) noexcept {
    if (this != &other) {
      connection_.disconnect();
      connection_ = std::exchange(other.connection_, {});
    }
    return *this;
  }
  ScopedConnection(const ScopedConnection&) = delete;
  ScopedConnection& operator=(const ScopedConnection&) = delete;

  void disconnect() { connection_.disconnect(); }
  bool connected() const { return connection_.connected(); }

 private:
  sigc::connection connection_;
};

}  // namespace vesk
