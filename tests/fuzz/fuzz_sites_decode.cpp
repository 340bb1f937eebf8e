// Decoding stored site lists never crashes, and a decoded list encodes back to an equal list.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "model/link_site.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  if (auto sites = vesk::decodeSites(input)) {
    auto json = vesk::encodeSites(*sites);
    if (!json || vesk::decodeSites(*json) != sites) std::abort();
  }
  (void)vesk::decodeSite(input);
  return 0;
}
