// Decoding stored key combinations never crashes, and a decoded value round-trips.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "model/shortcut.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  if (auto shortcut = vesk::Shortcut::decode(input)) {
    auto json = shortcut->encode();
    if (!json || vesk::Shortcut::decode(*json) != shortcut) std::abort();
  }
  return 0;
}
