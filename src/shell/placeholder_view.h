// A minimal panel content: the selected site's page through the browser view host, closed with
// Escape. It owns the web engine and browser store, so they start with the first panel show.
#pragma once

#include <gtkmm/box.h>
#include <gtkmm/label.h>

#include <functional>
#include <memory>
#include <vector>

#include "browser/browser_store.h"
#include "browser/browser_view.h"
#include "browser/desktop_workspace.h"
#include "browser/system_clipboard.h"
#include "browser/web_engine.h"
#include "browser/webkit_page.h"
#include "model/app_model.h"

namespace vesk {

class PlaceholderView final : public Gtk::Box {
 public:
  PlaceholderView(AppModel& model, std::function<void()> close);
  ~PlaceholderView() override;

 private:
  void scheduleRefresh();
  void refresh();
  bool keyPressed(GdkEventKey* event);

  AppModel& model_;
  std::function<void()> close_;
  WebEngine engine_;
  WebKitPageFactory factory_{engine_};
  SystemClipboard clipboard_;
  DesktopWorkspace workspace_;
  BrowserStore store_{factory_, clipboard_, workspace_};
  Gtk::Label empty_;
  std::unique_ptr<BrowserView> host_;  // declared after the store: destroyed before it
  std::vector<Subscription> subscriptions_;
  sigc::connection pendingRefresh_;
  sigc::connection keyConnection_;
};

}  // namespace vesk
