// The settings screen's frame rules: the spacing of each tab's content column.
#pragma once

#include "panel/settings_tab.h"

namespace vesk {

// Spacing between the children of the tab's content column: Keys 10, Panel 16, others 0.
int contentSpacing(SettingsTab tab);

}  // namespace vesk
