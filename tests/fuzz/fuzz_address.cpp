// Address normalisation never crashes, and what it accepts is stable and acceptable again.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "model/link_site.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  auto result = vesk::Address::normalized(input);
  if (result) {
    if (vesk::Address::normalized(*result) != result) std::abort();
    vesk::LinkSite site("x", *result);
    if (site.host().empty()) std::abort();
  }
  return 0;
}
