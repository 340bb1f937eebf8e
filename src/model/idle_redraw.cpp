#include "model/idle_redraw.h"

namespace vesk {

IdleRedraw::IdleRedraw(std::function<void()> redraw, int priority, std::function<bool()> wanted)
    : redraw_(std::move(redraw)), priority_(priority), wanted_(std::move(wanted)) {}

IdleRedraw::~IdleRedraw() = default;

void IdleRedraw::schedule() {
  if (source_.pending() || (wanted_ && !wanted_())) return;
  // The redraw may schedule the next one, or destroy the owner (and this).
  source_.idle(redraw_, priority_);
}

void IdleRedraw::cancel() { source_.remove(); }

void IdleRedraw::stop() {
  cancel();
  subscriptions_.clear();
}

}  // namespace vesk
