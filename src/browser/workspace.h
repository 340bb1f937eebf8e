// Hands addresses to the desktop so they open in their default application.
#pragma once

#include <string>

namespace vesk {

class Workspace {
 public:
  virtual ~Workspace() = default;

  // Opens `address` in the application the desktop associates with its scheme (web addresses
  // in the default browser, mailto: in the mail client). Returns at once; failures are ignored.
  virtual void openAddress(const std::string& address) = 0;
};

}  // namespace vesk
