// Reading sway's work area: its answer to GET_WORKSPACES, and asking a socket where no sway is.
#include "shell/sway_work_area.h"

#include "shell/bar_click_catcher.h"

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <optional>

namespace vesk {
namespace {

TEST(SwayWorkArea, TheFocusedWorkspacesRectangleOrNothing) {
  const struct {
    const char* reply;
    std::optional<ScreenRect> area;
  } cases[] = {
      // A bar of 30 at the top of the second output; the first output's workspace is not focused.
      {R"([{"num":1,"focused":false,"rect":{"x":0,"y":0,"width":1280,"height":800}},
           {"num":2,"focused":true,"rect":{"x":1280,"y":30,"width":1920,"height":1050}}])",
       ScreenRect{1280, 30, 1920, 1050}},
      {R"([{"focused":true,"rect":{"x":0,"y":0,"width":1280,"height":770}}])", ScreenRect{0, 0, 1280, 770}},
      {R"([{"focused":false,"rect":{"x":0,"y":30,"width":1280,"height":770}}])", std::nullopt},
      {R"([{"focused":true}])", std::nullopt},
      {R"([{"focused":true,"rect":{"x":0,"y":30,"width":0,"height":770}}])", std::nullopt},
      {R"([{"focused":true,"rect":{"x":"0","y":30,"width":1280,"height":770}}])", std::nullopt},
      {R"([{"focused":true,"rect":{"x":0,"y":30,"width":1e12,"height":770}}])", std::nullopt},
      {R"({"focused":true,"rect":{"x":0,"y":30,"width":1280,"height":770}})", std::nullopt},
      {R"([{"focused":"yes","rect":{"x":0,"y":30,"width":1280,"height":770}}])", std::nullopt},
      {"[{", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(focusedWorkspaceRect(c.reply), c.area) << c.reply;
}

TEST(SwayWorkArea, NoSwayAtTheSocketGivesNoAreaOnTheMainLoop) {
  for (const char* path : {"", "/nonexistent/vesk-test/sway-ipc.sock"}) {
    int calls = 0;
    std::optional<ScreenRect> area = ScreenRect{1, 2, 3, 4};
    askSwayWorkArea(path, nullptr, [&](std::optional<ScreenRect> answer) {
      ++calls;
      area = answer;
    });
    EXPECT_EQ(calls, 0) << "answered inside the call: " << path;
    while (calls == 0) g_main_context_iteration(nullptr, TRUE);
    EXPECT_EQ(calls, 1) << path;
    EXPECT_EQ(area, std::nullopt) << path;
  }
}

TEST(SwayWorkArea, ACancelledQuestionIsNeverAnswered) {
  GCancellable* cancellable = g_cancellable_new();
  bool answered = false;
  askSwayWorkArea("/nonexistent/vesk-test/sway-ipc.sock", cancellable,
                  [&](std::optional<ScreenRect>) { answered = true; });
  g_cancellable_cancel(cancellable);
  // A second question asked after it is answered after it has failed.
  bool later = false;
  askSwayWorkArea("/nonexistent/vesk-test/sway-ipc.sock", nullptr, [&](std::optional<ScreenRect>) { later = true; });
  while (!later) g_main_context_iteration(nullptr, TRUE);
  EXPECT_FALSE(answered);
  g_object_unref(cancellable);
}

TEST(BarStrips, OneStripPerEdgeWhereTheWorkAreaLeavesRoom) {
  constexpr std::uint32_t top = 1, bottom = 2, left = 4, right = 8;
  const ScreenRect output{0, 0, 1280, 800};
  const struct {
    ScreenRect output, workArea;
    std::vector<BarStrip> strips;
  } cases[] = {
      {output, {0, 30, 1280, 770}, {{top | left | right, 30}}},
      {output, {0, 0, 1280, 770}, {{bottom | left | right, 30}}},
      {output, {0, 30, 1280, 740}, {{top | left | right, 30}, {bottom | left | right, 30}}},
      {output, {48, 0, 1200, 800}, {{left | top | bottom, 48}, {right | top | bottom, 32}}},
      {{1280, 0, 1920, 1080}, {1280, 26, 1920, 1054}, {{top | left | right, 26}}},
      {output, output, {}},
      // Not inside the output: nothing is known of its bars.
      {output, {0, 30, 1280, 800}, {}},
      {output, {0, 30, 0, 770}, {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(barStrips(c.output, c.workArea), c.strips)
        << c.workArea.x << "," << c.workArea.y << " " << c.workArea.width << "x" << c.workArea.height;
  }
}

}  // namespace
}  // namespace vesk
