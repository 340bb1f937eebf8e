// Decisions of the program entry that need no display: which arguments ask for help or the
// version, and where
// the panel module is looked for.
#pragma once

#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <vector>

namespace vesk {

// Whether the command line holds one of the given spellings of an option. Only those spellings,
// exactly, count (an unknown option such as "--helpme" is refused by the parser instead), and
// arguments after "--" are no options.
inline bool hasOption(int argc, const char* const* argv, std::initializer_list<const char*> spellings) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") == 0) return false;
    for (const char* spelling : spellings) {
      if (std::strcmp(argv[i], spelling) == 0) return true;
    }
  }
  return false;
}

// Whether the command line asks for help: the option parser's own help options.
inline bool asksForHelp(int argc, const char* const* argv) {
  return hasOption(argc, argv, {"--help", "-h", "-?", "--help-all", "--help-gapplication"});
}

// Whether the command line asks for the version, by the same rules as help.
inline bool asksForVersion(int argc, const char* const* argv) { return hasOption(argc, argv, {"--version"}); }

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
