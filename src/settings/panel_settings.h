// The Panel tab's sliders: their ranges and steps, snapping, value texts and what each sends to
// the model.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "model/app_model.h"
#include "model/strings.h"

namespace vesk {

enum class PanelSlider { width, height, zoom };

struct SliderSpec {
  std::string_view (*label)();  // the card label
  double lower;
  double upper;
  double step;
};

inline constexpr std::array<PanelSlider, 3> allPanelSliders{PanelSlider::width, PanelSlider::height, PanelSlider::zoom};

const SliderSpec& sliderSpec(PanelSlider slider);
// The nearest position of the slider: lower bound plus a whole number of steps, within the range.
double snapToStep(const SliderSpec& range, double value);
// The model value the slider shows.
double sliderValue(const AppModel& model, PanelSlider slider);
// Sends one slider value to the model (width and height resize the open panel at once).
void changeSlider(AppModel& model, PanelSlider slider, double value);
// "500 pt" for width and height, "100%" for the zoom; the number is cut toward zero.
std::string sliderValueText(PanelSlider slider, double value);
std::string pointsText(double points);
std::string percentText(double zoom);
// Width 500 by height 700, then zoom 1.0.
void resetPanel(AppModel& model);

}  // namespace vesk
