// The desktop's default-application launcher (GIO) behind the Workspace interface.
#pragma once

#include "browser/workspace.h"

namespace vesk {

class DesktopWorkspace final : public Workspace {
 public:
  void openAddress(const std::string& address) override;
};

}  // namespace vesk
