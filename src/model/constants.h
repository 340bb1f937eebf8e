// Fixed values of the product: default sites and the hosts of the hand-off provider.
#pragma once

#include <array>
#include <string_view>

namespace vesk {

struct DefaultSite {
  std::string_view name;
  std::string_view address;
};

inline constexpr std::array<DefaultSite, 3> defaultSites{{
    {"ChatGPT", "https://chatgpt.com/"},
    {"Claude", "https://claude.ai/"},
    {"Gemini", "https://gemini.google.com/"},
}};

// Sites on this host always get the hand-off card instead of a web view.
inline constexpr std::string_view handoffHost = "gemini.google.com";
// The provider's account sign-in host, which navigation policy refuses inside the panel.
inline constexpr std::string_view signInHost = "accounts.google.com";

inline constexpr std::string_view applicationId = "io.github.vesk.Vesk";

// The environment variable that turns off the web engine's memory-pressure monitor (a thread
// that polls every 5 s). Vesk sets it for itself; programs it opens never inherit it.
inline constexpr const char* webMemoryMonitorSwitch = "WEBKIT_DISABLE_MEMORY_PRESSURE_MONITOR";

}  // namespace vesk
