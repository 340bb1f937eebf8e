// The web engine as the panel uses it, behind an interface: the engine (WebKit) lives in a module
// of its own that is loaded on a thread once the panel's chrome has been drawn.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "browser/web_page.h"

struct _GtkWidget;

namespace vesk {

class WebServices {
 public:
  virtual ~WebServices() = default;
  // Pages on the engine's one shared context.
  virtual WebPageFactory& pages() = 0;
  // Whether `focus` is a page's view whose web process answers: such a view sees key presses
  // before the panel does.
  virtual bool answersKeysFirst(_GtkWidget* focus) const = 0;
};

// Receives the web services on the main loop once their module is loaded: the services, or null
// and why they cannot be had.
using WebServicesReceiver = std::function<void(std::unique_ptr<WebServices> services, std::string problem)>;
// Asks for the web services; the receiver is called once, on the main loop.
using RequestWebServices = std::function<void(WebServicesReceiver receive)>;

}  // namespace vesk
