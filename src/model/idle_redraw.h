// The one way a view follows the values it shows: it watches them, and any number of changes
// brings one redraw on the next main-loop idle, after every value of the burst is in place.
#pragma once

#include <glib.h>

#include <functional>
#include <utility>
#include <vector>

#include "model/glib_handles.h"
#include "model/published.h"

namespace vesk {

class IdleRedraw {
 public:
  // `redraw` runs on the default main context at `priority`. The default idle priority runs
  // after GTK has drawn the frame in progress; a view that changes its own layout (rebuilds rows or
  // a tab's content) passes G_PRIORITY_HIGH_IDLE to redraw before GTK's next layout and frame.
  // While `wanted` returns false, changes are not followed at all (the owner redraws itself when
  // it becomes wanted again).
  explicit IdleRedraw(std::function<void()> redraw, int priority = G_PRIORITY_DEFAULT_IDLE,
                      std::function<bool()> wanted = {});
  // Cancels a pending redraw and ends every watch: nothing runs after the owner is gone.
  ~IdleRedraw();
  IdleRedraw(const IdleRedraw&) = delete;
  IdleRedraw& operator=(const IdleRedraw&) = delete;

  // Each change of `value` schedules a redraw.
  template <class T, class Owner>
  void watch(Published<T, Owner>& value) {
    subscriptions_.push_back(value.observe([this](const T&) { schedule(); }));
  }
  // Keeps an observation of the owner's (one that does more than schedule) until stop().
  void keep(Subscription subscription) { subscriptions_.push_back(std::move(subscription)); }

  // Redraws on the next idle, unless a redraw is already pending.
  void schedule();
  // Drops a pending redraw: the owner calls it when it redraws directly.
  void cancel();
  bool pending() const { return source_.pending(); }
  // Cancels a pending redraw and ends every watch and kept observation.
  void stop();

 private:
  std::function<void()> redraw_;
  int priority_;
  std::function<bool()> wanted_;
  std::vector<Subscription> subscriptions_;
  SourceGuard source_;
};

}  // namespace vesk
