#include "webkit/typing_watch.h"

#include <webkit2/webkit2.h>

namespace vesk {

namespace {

// Answers once a field of the document has the focus: at once when one has it, else at the first
// focus an element takes that holds typed text. It runs in a world of its own, so the page's
// scripts neither see nor change it.
constexpr const char* fieldFocused = R"(
const typable = e => !!e && (e.isContentEditable || e.localName == 'textarea' || (e.localName == 'input' &&
    !/^(button|checkbox|color|file|hidden|image|radio|range|reset|submit)$/.test(e.type)));
if (typable(document.activeElement)) return true;
return await new Promise(resolve => document.addEventListener('focusin', e => {
  if (typable(e.target)) resolve(true);
}, true));
)";

}  // namespace

void TypingWatch::committed() {
  if (ready()) return;
  question_.cancelPending();
  webkit_web_view_call_async_javascript_function(
      view_, fieldFocused, -1, nullptr, "vesk-typing", nullptr, question_.get(),
      +[](GObject* view, GAsyncResult* result, gpointer self) {
        GError* raw = nullptr;
        JSCValue* value = webkit_web_view_call_async_javascript_function_finish(WEBKIT_WEB_VIEW(view), result, &raw);
        GErrorPtr error(raw);
        if (CallGuard::cancelled(error.get())) return;
        const bool focused = value && jsc_value_is_boolean(value) && jsc_value_to_boolean(value);
        if (value) g_object_unref(value);
        if (focused) static_cast<TypingWatch*>(self)->becomeReady();
      },
      this);
}

void TypingWatch::finished(bool loaded) {
  if (!loaded) return;
  question_.cancelPending();
  becomeReady();
}

void TypingWatch::becomeReady() {
  if (auto ready = std::exchange(ready_, nullptr)) ready();
}

}  // namespace vesk
