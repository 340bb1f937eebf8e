// The page factory the panel is built with before the web engine's module is in: it says it is
// not ready until the services arrive, then makes pages through them.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "browser/web_services.h"
#include "model/lifetime.h"
#include "model/published.h"

namespace vesk {

class LateWebServices final : public WebPageFactory {
 public:
  // Asks `request` for the services at once; they arrive later, on the main loop.
  explicit LateWebServices(const RequestWebServices& request);

  // Ready once the services are in and their pages can be made.
  bool ready() const override { return services_ != nullptr && problem_.empty(); }
  std::string problem() const override { return problem_; }
  std::unique_ptr<WebPage> createPage(WebPageDelegate& delegate) override;
  // Kept until the services arrive, then handed on with every change.
  void setNotificationPermissions(std::vector<std::string> allowed, std::vector<std::string> blocked) override;
  // Kept until the services arrive, then handed on with every change.
  void setSharedWebProcess(bool shared) override;
  bool answersKeysFirst(_GtkWidget* focus) const { return services_ && services_->answersKeysFirst(focus); }

  // Emitted once, when the services arrive or it is known that they cannot.
  Signal<> arrived;

 private:
  void receive(std::unique_ptr<WebServices> services, std::string problem);

  std::unique_ptr<WebServices> services_;
  std::string problem_;
  std::optional<std::pair<std::vector<std::string>, std::vector<std::string>>> notificationPermissions_;
  std::optional<bool> sharedWebProcess_;
  Lifetime<LateWebServices> lifetime_{this};  // a late answer finds us gone
};

}  // namespace vesk
