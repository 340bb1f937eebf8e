// The settings screen's frame rules: the spacing of each tab's content column and the tab
// buttons' action.
#pragma once

#include <optional>

#include "hotkeys/shortcut_recorder.h"
#include "model/published.h"
#include "model/shortcut.h"
#include "model/strings.h"
#include "panel/settings_tab.h"

namespace vesk {

// Spacing between the children of the tab's content column: Keys 10, Panel 16, others 0.
int contentSpacing(SettingsTab tab);

// The tab buttons' action: select `tab` (also when already selected) and end any recording.
void chooseSettingsTab(Published<SettingsTab>& settingsTab, ShortcutRecorder& recorder,
                       Published<std::optional<ShortcutAction>>& recordingAction, SettingsTab tab);

}  // namespace vesk
