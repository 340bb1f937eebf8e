// Decisions of the program entry that need no display: which arguments ask for help, and where
// the panel module is looked for.
#pragma once

#include <cstring>
#include <filesystem>
#include <vector>

namespace vesk {

// Whether the command line asks for help: only the option parser's own help options, spelled
// exactly, count (an unknown option such as "--helpme" is refused by the parser instead), and
// arguments after "--" are no options.
inline bool asksForHelp(int argc, const char* const* argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") == 0) return false;
    for (const char* help : {"--help", "-h", "-?", "--help-all", "--help-gapplication"}) {
      if (std::strcmp(argv[i], help) == 0) return true;
    }
  }
  return false;
}

// The folders the panel module is looked for in, in order: beside the executable (a build tree),
// then the install folder relative to it (`moduleDirFromBindir`). Without the executable's absolute
// path (/proc/self/exe unreadable), only the configured install folder: a module is never loaded
// from a folder relative to wherever Vesk was started.
inline std::vector<std::filesystem::path> panelModuleFolders(const std::filesystem::path& executable,
                                                             const std::filesystem::path& moduleDirFromBindir,
                                                             const std::filesystem::path& installedModuleDir) {
  if (!executable.is_absolute()) {
    if (installedModuleDir.is_absolute()) return {installedModuleDir};
    return {};
  }
  const auto exeDir = executable.parent_path();
  return {exeDir, (exeDir / moduleDirFromBindir).lexically_normal()};
}

}  // namespace vesk
