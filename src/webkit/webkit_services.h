// The web services on WebKitGTK: the one engine context and the pages made on it.
#pragma once

#include <memory>

#include "browser/web_services.h"
#include "webkit/web_engine.h"
#include "webkit/webkit_page.h"

namespace vesk {

class WebKitServices final : public WebServices {
 public:
  // Creates nothing yet: the context and its web processes start with the first page.
  explicit WebKitServices(WebEngine::Paths paths = WebEngine::defaultPaths()) : engine_(std::move(paths)) {}

  WebPageFactory& pages() override { return pages_; }
  bool answersKeysFirst(_GtkWidget* focus) const override;
  WebEngine& engine() { return engine_; }

 private:
  WebEngine engine_;
  WebKitPageFactory pages_{engine_};
};

// Hands `receive` web services made here and now: for a program that links the engine itself.
void provideWebKitServices(const WebServicesReceiver& receive);

}  // namespace vesk
