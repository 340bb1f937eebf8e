#include "model/idle_redraw.h"

namespace vesk {

IdleRedraw::IdleRedraw(std::function<void()> redraw, int priority, std::function<bool()> wanted)
    : redraw_(std::move(redraw)), priority_(priority), wanted_(std::move(wanted)) {}

IdleRedraw::~IdleRedraw() { stop(); }

void IdleRedraw::schedule() {
  if (source_ != 0 || (wanted_ && !wanted_())) return;
  source_ = g_idle_add_full(
      priority_,
      +[](gpointer data) -> gboolean {
        auto* self = static_cast<IdleRedraw*>(data);
        // Cleared first: the redraw may schedule the next one, or destroy the owner (and this).
        self->source_ = 0;
        self->redraw_();
        return G_SOURCE_REMOVE;
      },
      this, nullptr);
}

void IdleRedraw::cancel() {
  if (source_ != 0) g_source_remove(std::exchange(source_, 0));
}

void IdleRedraw::stop() {
  cancel();
  subscriptions_.clear();
}

}  // namespace vesk
