// The one way for a deferred callback (an idle task, an asynchronous answer, a desktop signal) to
// tell whether the object that asked for it still exists: the owner holds a Lifetime, the callback
// holds a weak Handle and asks it for the owner each time it needs it.
#pragma once

#include <memory>
#include <utility>

namespace vesk {

template <class Owner>
class Lifetime {
 public:
  // A weak reference to the owner: null once the owner's lifetime ended.
  class Handle {
   public:
    Handle() = default;

    // The owner, or null once it is gone (or is being destroyed). Ask again after calling anything
    // that may destroy the owner.
    Owner* get() const {
      auto owner = owner_.lock();
      return owner ? *owner : nullptr;
    }
    explicit operator bool() const { return get() != nullptr; }

   private:
    friend class Lifetime;
    explicit Handle(std::weak_ptr<Owner*> owner) : owner_(std::move(owner)) {}
    std::weak_ptr<Owner*> owner_;
  };

  explicit Lifetime(Owner* owner) : owner_(std::make_shared<Owner*>(owner)) {}
  ~Lifetime() { end(); }
  Lifetime(const Lifetime&) = delete;
  Lifetime& operator=(const Lifetime&) = delete;

  Handle handle() const { return Handle(owner_); }

  // Ends the lifetime before the owner is fully destroyed. An owner declares its Lifetime as its
  // last member instead, so that it ends before any other member goes.
  void end() { owner_.reset(); }

 private:
  std::shared_ptr<Owner*> owner_;
};

}  // namespace vesk
