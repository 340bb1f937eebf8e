// Tells when a web view's first document takes typing: once one of its fields has the keyboard
// focus (an autofocus field, or one its script focuses), or once it has loaded. Keys sent before
// reach the blank document a new view starts with, or a document still on its way, and are lost.
#pragma once

#include <functional>

#include "model/glib_handles.h"

struct _WebKitWebView;

namespace vesk {

class TypingWatch {
 public:
  // `view` must outlive the watch; `ready` runs once, when ready() becomes true.
  TypingWatch(_WebKitWebView* view, std::function<void()> ready) : view_(view), ready_(std::move(ready)) {}
  TypingWatch(const TypingWatch&) = delete;
  TypingWatch& operator=(const TypingWatch&) = delete;

  bool ready() const { return ready_ == nullptr; }
  // A main-frame document came in: it is asked to tell when one of its fields takes the focus.
  void committed();
  // A main-frame load ended, with its document or without it.
  void finished(bool loaded);

 private:
  void becomeReady();

  _WebKitWebView* view_;
  std::function<void()> ready_;
  // The question to the document in place; a document that replaces it is asked again.
  CallGuard question_;
};

}  // namespace vesk
