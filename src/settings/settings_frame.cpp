#include "settings/settings_frame.h"

namespace vesk {

int contentSpacing(SettingsTab tab) {
  switch (tab) {
    case SettingsTab::keys:
      return 10;
    case SettingsTab::panel:
      return 16;
    default:
      return 0;
  }
}

}  // namespace vesk
