// Child runs of the web engine test binary, for what must happen in a fresh process.
#pragma once

#include <map>
#include <string>

namespace vesk::test {

// Runs this test binary again with only `testFilter` and the extra environment, keeping the main
// loop running meanwhile. Returns the child's exit status, or -1 when it could not start or hung.
int runChildTest(const std::string& testFilter, const std::map<std::string, std::string>& environment);

}  // namespace vesk::test
