#include <gio/gio.h>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>

#include "model/glib_handles.h"

namespace vesk {
namespace {

// A real GObject signal: GSimpleAction's "activate", emitted on every g_action_activate.
struct Emitter {
  GObjectPtr<GSimpleAction> action{g_simple_action_new("go", nullptr)};
  int calls = 0;

  SignalConnection connect() {
    return SignalConnection::connect(
        action.get(), "activate",
        G_CALLBACK(+[](GSimpleAction*, GVariant*, gpointer self) { ++static_cast<Emitter*>(self)->calls; }), this);
  }
  int emit() {
    const int before = calls;
    if (action) g_action_activate(G_ACTION(action.get()), nullptr);
    return calls - before;
  }
};

TEST(SignalConnection, EndsWithItsOwnerOrWhenReplacedAndSurvivesAMove) {
  struct Case {
    const char* name;
    void (*end)(Emitter&, std::optional<SignalConnection>&, SignalConnection& elsewhere);
    int callsAfterEnd;
  } cases[] = {
      {"destroyed", [](Emitter&, std::optional<SignalConnection>& c, SignalConnection&) { c.reset(); }, 0},
      {"move-assigned an empty one",
       [](Emitter&, std::optional<SignalConnection>& c, SignalConnection&) { *c = SignalConnection(); }, 0},
      {"disconnected", [](Emitter&, std::optional<SignalConnection>& c, SignalConnection&) { c->disconnect(); }, 0},
      {"moved to a member that lives on",
       [](Emitter&, std::optional<SignalConnection>& c, SignalConnection& elsewhere) {
         elsewhere = std::move(*c);
         c.reset();
       },
       1},
      {"instance gone first",
       [](Emitter& e, std::optional<SignalConnection>& c, SignalConnection&) {
         e.action.reset();
         c.reset();  // must not touch the finalized instance
       },
       0},
  };
  for (const auto& c : cases) {
    Emitter emitter;
    SignalConnection elsewhere;
    std::optional<SignalConnection> connection(emitter.connect());
    EXPECT_TRUE(connection->connected()) << c.name;
    EXPECT_EQ(emitter.emit(), 1) << c.name;
    c.end(emitter, connection, elsewhere);
    EXPECT_EQ(emitter.emit(), c.callsAfterEnd) << c.name;
    elsewhere = SignalConnection();
    EXPECT_EQ(emitter.emit(), 0) << c.name << ": ended with the member it was moved to";
  }
}

// An owner that asks GIO for something and records the answer in itself, as the tray item and
// the panel window do with the session bus and sway's socket.
struct Asker {
  bool answered = false;
  CallGuard calls;  // last: cancelled before anything else goes

  void ask(bool* cancelledSeen, bool* finished) {
    struct Reply {
      Asker* owner;
      bool* cancelledSeen;
      bool* finished;
    };
    GObjectPtr<GFile> root(g_file_new_for_path("/"));
    g_file_query_info_async(
        root.get(), G_FILE_ATTRIBUTE_STANDARD_TYPE, G_FILE_QUERY_INFO_NONE, G_PRIORITY_DEFAULT, calls.get(),
        [](GObject* source, GAsyncResult* result, gpointer data) {
          std::unique_ptr<Reply> reply(static_cast<Reply*>(data));
          GError* raw = nullptr;
          GObjectPtr<GFileInfo> info(g_file_query_info_finish(G_FILE(source), result, &raw));
          GErrorPtr error(raw);
          *reply->finished = true;
          if (CallGuard::cancelled(error.get())) {
            *reply->cancelledSeen = true;
            return;  // the owner may be gone
          }
          reply->owner->answered = info != nullptr;
        },
        new Reply{this, cancelledSeen, finished});
  }
};

TEST(CallGuard, CancelsOnTeardownSoALateReplyTouchesNothing) {
  struct Case {
    const char* name;
    bool tearDown, cancelPending;
    bool cancelled, answered;
  } cases[] = {
      {"owner lives", false, false, false, true},
      {"owner gone before the reply", true, false, true, false},
      {"calls under way cancelled, owner lives", false, true, true, false},
  };
  for (const auto& c : cases) {
    auto owner = std::make_unique<Asker>();
    bool cancelledSeen = false, finished = false;
    owner->ask(&cancelledSeen, &finished);
    if (c.cancelPending) owner->calls.cancelPending();
    if (c.tearDown) owner.reset();  // freed memory: a callback that touched it would fail under ASan
    while (!finished) g_main_context_iteration(nullptr, TRUE);
    EXPECT_EQ(cancelledSeen, c.cancelled) << c.name;
    if (owner) {
      EXPECT_EQ(owner->answered, c.answered) << c.name;
    }
  }
  // After cancelPending the guard serves new calls as usual.
  Asker owner;
  owner.calls.cancelPending();
  bool cancelledSeen = false, finished = false;
  owner.ask(&cancelledSeen, &finished);
  while (!finished) g_main_context_iteration(nullptr, TRUE);
  EXPECT_FALSE(cancelledSeen);
  EXPECT_TRUE(owner.answered);
}

// An owner of a one-shot task, as the watchdog, the portal's bind and the layer keyboard hold them.
struct Scheduler {
  int runs = 0;
  SourceGuard task;  // last: removed before anything its task uses goes
};

TEST(SourceGuard, RunsOnceUnlessRemovedReplacedOrItsOwnerGone) {
  using Schedule = void (*)(Scheduler&, int* runs);
  const Schedule idle = [](Scheduler& s, int* runs) { s.task.idle([&s, runs] { ++s.runs, ++*runs; }); };
  const Schedule timeout = [](Scheduler& s, int* runs) {
    s.task.timeout(std::chrono::milliseconds(1), [&s, runs] { ++s.runs, ++*runs; });
  };
  struct Case {
    const char* name;
    Schedule schedule;
    void (*meanwhile)(std::unique_ptr<Scheduler>&, Schedule, int* runs);
    int runs;
  } cases[] = {
      {"idle runs", idle, [](std::unique_ptr<Scheduler>&, Schedule, int*) {}, 1},
      {"timeout runs", timeout, [](std::unique_ptr<Scheduler>&, Schedule, int*) {}, 1},
      {"removed", idle, [](std::unique_ptr<Scheduler>& s, Schedule, int*) { s->task.remove(); }, 0},
      {"owner gone", timeout, [](std::unique_ptr<Scheduler>& s, Schedule, int*) { s.reset(); }, 0},
      {"scheduled again while pending: the later one only", idle,
       [](std::unique_ptr<Scheduler>& s, Schedule again, int* runs) { again(*s, runs); }, 1},
  };
  for (const auto& c : cases) {
    auto owner = std::make_unique<Scheduler>();
    int runs = 0;
    c.schedule(*owner, &runs);
    EXPECT_TRUE(owner->task.pending()) << c.name;
    c.meanwhile(owner, c.schedule, &runs);
    // A marker scheduled after the task at a lower priority: once it ran, the task had its turn.
    bool marker = false;
    g_timeout_add_full(
        G_PRIORITY_LOW, 5, [](gpointer flag) { return *static_cast<bool*>(flag) = true, G_SOURCE_REMOVE; }, &marker,
        nullptr);
    while (!marker) g_main_context_iteration(nullptr, TRUE);
    EXPECT_EQ(runs, c.runs) << c.name;
    if (owner) {
      EXPECT_FALSE(owner->task.pending()) << c.name << ": a task that ran is no longer pending";
    }
  }

  // A task that schedules the next one and one that destroys its own owner.
  Scheduler chain;
  chain.task.idle([&chain] { chain.task.idle([&chain] { ++chain.runs; }); });
  while (chain.runs == 0) g_main_context_iteration(nullptr, TRUE);
  EXPECT_FALSE(chain.task.pending());
  auto selfEnding = std::make_unique<Scheduler>();
  bool ended = false;
  selfEnding->task.idle([&] { selfEnding.reset(), ended = true; });
  while (!ended) g_main_context_iteration(nullptr, TRUE);
}

}  // namespace
}  // namespace vesk
