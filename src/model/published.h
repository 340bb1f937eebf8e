// Observable values and events. A Published<T> stores each assignment, then tells its observers,
// once per assignment. An Event is a request or a moment ("the panel was shown"), not a value.
#pragma once

#include <functional>
#include <memory>
#include <type_traits>
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

// A notification that only `Owner` raises; anyone may listen. Requests and moments travel as
// events rather than as counters, so a listener hears each one exactly once.
template <class Owner, class... Args>
class Event {
 public:
  Event() = default;
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  [[nodiscard]] Subscription connect(std::function<void(Args...)> handler) {
    return signal_.connect(std::move(handler));
  }

 private:
  friend Owner;
  void emit(Args... args) const { signal_.emit(args...); }

  Signal<Args...> signal_;
};

// A value with observers. With an `Owner`, only that class assigns it (through its named
// actions); everyone else reads and observes. Without one, whoever holds it may assign it.
template <class T, class Owner = void>
class Published {
 public:
  Published() = default;
  explicit Published(T initial) : value_(std::move(initial)) {}
  Published(const Published&) = delete;
  Published& operator=(const Published&) = delete;

  const T& get() const { return value_; }
  const T& operator()() const { return value_; }
  const T* operator->() const { return &value_; }

  void set(T newValue) requires std::is_void_v<Owner> { assign(std::move(newValue)); }

  // The observer runs after each assignment, with the value now stored (equal values notify too).
  [[nodiscard]] Subscription observe(std::function<void(const T&)> observer) {
    return changed_.connect([observer = std::move(observer)](const T&, const T& current) { observer(current); });
  }
  // The same, with the value that was replaced as well, for observers that act on a transition.
  [[nodiscard]] Subscription observeChange(std::function<void(const T& previous, const T& current)> observer) {
    return changed_.connect(std::move(observer));
  }

 private:
  friend Owner;

  void set(T newValue) requires(!std::is_void_v<Owner>) { assign(std::move(newValue)); }

  // Stores first, so that an observer reading the value sees the new one. The observers get
  // their own copy of the new value: one of them may assign again while the others still run.
  void assign(T newValue) {
    T previous = std::exchange(value_, newValue);
    changed_.emit(previous, newValue);
  }

  T value_{};
  Signal<const T&, const T&> changed_;
};

}  // namespace vesk
