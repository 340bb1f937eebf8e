// Finding saved sites by a typed text: a case-insensitive substring test that folds letter case
// the Unicode way and treats canonically equivalent texts alike.
#pragma once

#include <string_view>
#include <vector>

#include "model/link_site.h"

namespace vesk {

// True when `text` contains `query`, ignoring letter case ("STRASSE" is found in "Straße") and
// differences of Unicode composition. A match never ends inside a character's accents: "e" is
// not found in "é". An empty query is contained nowhere.
bool localizedCaseInsensitiveContains(std::string_view text, std::string_view query);

// The sites whose name or host contains `query`, in list order. The query is used as typed:
// no trimming, no word splitting.
std::vector<LinkSite> matchingSites(const std::vector<LinkSite>& sites, std::string_view query);

}  // namespace vesk
