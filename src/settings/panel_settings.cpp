#include "settings/panel_settings.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>

namespace vesk {
namespace {

constexpr std::array<SliderSpec, 3> sliderRanges{{
    {strings::panelWidth, PanelLimits::minWidth, PanelLimits::maxWidth, 20},
    {strings::panelHeight, PanelLimits::minHeight, PanelLimits::maxHeight, 25},
    {strings::websiteZoom, PanelLimits::minZoom, PanelLimits::maxZoom, 0.05},
}};

// Cuts toward zero, ignoring the last bits of binary rounding error: 1.15 × 100 is
// 114.99999999999999 in doubles and must read as 115, while 99.9 still reads as 99.
std::int64_t truncated(double value) {
  if (!std::isfinite(value)) return 0;
  double nudged = value + std::copysign(1e-9 * std::max(1.0, std::fabs(value)), value);
  return static_cast<std::int64_t>(std::trunc(nudged));
}

}  // namespace

const SliderSpec& sliderSpec(PanelSlider slider) { return sliderRanges[static_cast<std::size_t>(slider)]; }

double snapToStep(const SliderSpec& range, double value) {
  if (!std::isfinite(value)) return range.lower;
  double steps = std::round((value - range.lower) / range.step);
  double maxSteps = std::round((range.upper - range.lower) / range.step);
  steps = std::clamp(steps, 0.0, maxSteps);
  // Rounded to a millionth so zoom positions are the plain decimals 0.75, 0.8, … 1.25.
  return std::round((range.lower + steps * range.step) * 1e6) / 1e6;
}

double sliderValue(const AppModel& model, PanelSlider slider) {
  switch (slider) {
    case PanelSlider::width:
      return model.panelWidth.get();
    case PanelSlider::height:
      return model.panelHeight.get();
    case PanelSlider::zoom:
      return model.pageZoom.get();
  }
  return 0;
}

void changeSlider(AppModel& model, PanelSlider slider, double value) {
  switch (slider) {
    case PanelSlider::width:
      model.changePanelSize(value, std::nullopt);
      break;
    case PanelSlider::height:
      model.changePanelSize(std::nullopt, value);
      break;
    case PanelSlider::zoom:
      model.changePageZoom(value);
      break;
  }
}

std::string pointsText(double points) {
  char text[48];
  std::snprintf(text, sizeof text, "%" PRId64 " pt", truncated(points));
  return text;
}

std::string percentText(double zoom) {
  char text[48];
  std::snprintf(text, sizeof text, "%" PRId64 "%%", truncated(zoom * 100));
  return text;
}

std::string sliderValueText(PanelSlider slider, double value) {
  return slider == PanelSlider::zoom ? percentText(value) : pointsText(value);
}

void resetPanel(AppModel& model) {
  model.changePanelSize(PanelLimits::defaultWidth, PanelLimits::defaultHeight);
  model.changePageZoom(PanelLimits::defaultZoom);
}

}  // namespace vesk
