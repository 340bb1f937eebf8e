#include "browser/late_web_services.h"

#include <utility>

#include "model/strings.h"

namespace vesk {

LateWebServices::LateWebServices(const RequestWebServices& request) {
  if (!request) {
    problem_ = std::string(strings::unknownError());
    return;
  }
  request([self = lifetime_.handle()](std::unique_ptr<WebServices> services, std::string problem) {
    if (LateWebServices* late = self.get()) late->receive(std::move(services), std::move(problem));
  });
}

void LateWebServices::receive(std::unique_ptr<WebServices> services, std::string problem) {
  services_ = std::move(services);
  // Services that are in may still be unable to make pages here (the engine cannot start): asked
  // once, as the answer does not change while Vesk runs.
  problem_ = services_         ? services_->pages().problem()
             : problem.empty() ? std::string(strings::unknownError())
                               : std::move(problem);
  if (services_ && notificationPermissions_) {
    services_->pages().setNotificationPermissions(notificationPermissions_->first, notificationPermissions_->second);
  }
  if (services_ && sharedWebProcess_) services_->pages().setSharedWebProcess(*sharedWebProcess_);
  arrived.emit();
}

std::unique_ptr<WebPage> LateWebServices::createPage(WebPageDelegate& delegate) {
  // Callers ask only once ready(); a page asked for earlier would have no engine to run on.
  return services_ ? services_->pages().createPage(delegate) : nullptr;
}

void LateWebServices::setNotificationPermissions(std::vector<std::string> allowed, std::vector<std::string> blocked) {
  notificationPermissions_.emplace(std::move(allowed), std::move(blocked));
  if (services_) {
    services_->pages().setNotificationPermissions(notificationPermissions_->first, notificationPermissions_->second);
  }
}

void LateWebServices::setSharedWebProcess(bool shared) {
  sharedWebProcess_ = shared;
  if (services_) services_->pages().setSharedWebProcess(shared);
}

}  // namespace vesk
