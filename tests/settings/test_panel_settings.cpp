#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "settings/panel_settings.h"
#include "support/memory_settings_store.h"

namespace vesk {
namespace {

TEST(PanelSliders, SnapToTheirStepsWithinTheRange) {
  const auto& width = sliderSpec(PanelSlider::width);
  EXPECT_EQ(snapToStep(width, 409), 400);
  EXPECT_EQ(snapToStep(width, 411), 420);
  EXPECT_EQ(snapToStep(width, 1000), 680);
  EXPECT_EQ(snapToStep(width, -5), 400);
  const auto& height = sliderSpec(PanelSlider::height);
  EXPECT_EQ(snapToStep(height, 512.6), 525);
  EXPECT_EQ(snapToStep(height, 900), 900);
  const auto& zoom = sliderSpec(PanelSlider::zoom);
  EXPECT_EQ(snapToStep(zoom, 0.7), 0.75);
  EXPECT_EQ(snapToStep(zoom, 1.3), 1.25);
  EXPECT_EQ(snapToStep(zoom, 1.151), 1.15);
  EXPECT_EQ(snapToStep(zoom, std::nan("")), 0.75);

  // Every position, counted: 15, 17 and 11.
  for (auto [slider, count] : {std::pair{PanelSlider::width, 15}, {PanelSlider::height, 17}, {PanelSlider::zoom, 11}}) {
    const auto& range = sliderSpec(slider);
    std::set<double> positions;
    for (double v = range.lower - 1; v <= range.upper + 1; v += range.step / 7) positions.insert(snapToStep(range, v));
    EXPECT_EQ(positions.size(), std::size_t(count)) << range.label();
  }
}

TEST(PanelSliders, ValueTextsTruncateTowardZero) {
  EXPECT_EQ(pointsText(501.5), "501 pt");
  EXPECT_EQ(pointsText(500), "500 pt");
  EXPECT_EQ(pointsText(679.999), "679 pt");
  EXPECT_EQ(percentText(0.999), "99%");
  EXPECT_EQ(percentText(1.0), "100%");
  EXPECT_EQ(percentText(0.75), "75%");
  EXPECT_EQ(percentText(1.25), "125%");
  // Every zoom position reads as its own whole per cent, not one below it.
  const auto& zoom = sliderSpec(PanelSlider::zoom);
  for (int k = 0; k <= 10; ++k) {
    EXPECT_EQ(percentText(snapToStep(zoom, zoom.lower + k * zoom.step)), std::to_string(75 + 5 * k) + "%");
  }
  EXPECT_EQ(sliderValueText(PanelSlider::height, 700), "700 pt");
  EXPECT_EQ(sliderValueText(PanelSlider::zoom, 1.1), "110%");
}

TEST(PanelSliders, EachSliderSendsOnlyItsOwnValueAndResetRestoresDefaults) {
  testing::MemorySettingsStore store;
  AppModel model(store);
  int resizes = 0;
  model.onPanelSizeChange = [&] { ++resizes; };

  changeSlider(model, PanelSlider::width, 680);
  EXPECT_EQ(model.panelWidth(), 680);
  EXPECT_EQ(model.panelHeight(), 700);
  EXPECT_EQ(resizes, 1);
  changeSlider(model, PanelSlider::height, 525);
  EXPECT_EQ(model.panelHeight(), 525);
  EXPECT_EQ(model.panelWidth(), 680);
  EXPECT_EQ(resizes, 2);
  changeSlider(model, PanelSlider::zoom, 1.2);
  EXPECT_EQ(model.pageZoom(), 1.2);
  EXPECT_EQ(resizes, 2);
  EXPECT_EQ(sliderValue(model, PanelSlider::width), 680);

  resetPanel(model);
  EXPECT_EQ(model.panelWidth(), 500);
  EXPECT_EQ(model.panelHeight(), 700);
  EXPECT_EQ(model.pageZoom(), 1.0);
  EXPECT_EQ(resizes, 3);  // one resize for the size; the zoom causes none
}

}  // namespace
}  // namespace vesk
