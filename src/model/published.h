// Observable values: a Published<T> tells its observers about every assignment
// before the new value is in place, once per assignment.
#pragma once

#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "model/lifetime.h"

namespace vesk {

// Ends an observation when destroyed (or when reset() is called).
class Subscription {
 public:
  Subscription() = default;
  explicit Subscription(std::function<void()> cancel) : cancel_(std::move(cancel)) {}
  Subscription(Subscription&& other) noexcept : cancel_(std::exchange(other.cancel_, nullptr)) {}
  Subscription& operator=(Subscription&& other) noexcept {
    if (this != &other) {
      reset();
      cancel_ = std::exchange(other.cancel_, nullptr);
    }
    return *this;
  }
  Subscription(const Subscription&) = delete;
  Subscription& operator=(const Subscription&) = delete;
  ~Subscription() { reset(); }

  void reset() {
    if (cancel_) std::exchange(cancel_, nullptr)();
  }

 private:
  std::function<void()> cancel_;
};

// A list of callbacks that can be called with Args. Observers may subscribe or
// unsubscribe while a notification runs; those changes apply to the next one.
template <class... Args>
class Signal {
 public:
  using Handler = std::function<void(Args...)>;

  Signal() = default;
  Signal(const Signal&) = delete;
  Signal& operator=(const Signal&) = delete;

  [[nodiscard]] Subscription connect(Handler handler) {
    auto id = ++nextId_;
    handlers_.push_back({id, std::make_shared<Handler>(std::move(handler))});
    return Subscription([signal = lifetime_.handle(), id] {
      if (Signal* self = signal.get()) {
        std::erase_if(self->handlers_, [id](const auto& entry) { return entry.first == id; });
      }
    });
  }

  void emit(Args... args) const {
    auto snapshot = handlers_;
    for (const auto& entry : snapshot) {
      bool stillConnected = false;
      for (const auto& current : handlers_) stillConnected |= current.first == entry.first;
      if (stillConnected) (*entry.second)(args...);
    }
  }

  std::size_t observerCount() const { return handlers_.size(); }

 private:
  unsigned long nextId_ = 0;
  std::vector<std::pair<unsigned long, std::shared_ptr<Handler>>> handlers_;
  Lifetime<Signal> lifetime_{this};
};

template <class T>
class Published {
 public:
  Published() = default;
  explicit Published(T initial) : value_(std::move(initial)) {}
  Published(const Published&) = delete;
  Published& operator=(const Published&) = delete;

  const T& get() const { return value_; }
  const T& operator()() const { return value_; }
  const T* operator->() const { return &value_; }

  // Notifies every observer with the incoming value, then stores it.
  void set(T newValue) {
    willChange_.emit(newValue);
    value_ = std::move(newValue);
  }

  // The observer runs before each assignment and receives the value being assigned.
  [[nodiscard]] Subscription observe(std::function<void(const T&)> observer) {
    return willChange_.connect(std::move(observer));
  }

 private:
  T value_{};
  Signal<const T&> willChange_;
};

}  // namespace vesk
