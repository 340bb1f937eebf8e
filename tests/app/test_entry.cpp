// The program entry's decisions: help and version options and where the panel module may come from.
#include "app/entry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vesk {
namespace {

TEST(Entry, OnlyTheHelpOptionsThemselvesAskForHelp) {
  struct Case {
    std::vector<const char*> arguments;
    bool help;
  } cases[] = {
      {{"--help"}, true},        {{"--toggle", "-h"}, true},      {{"-?"}, true},
      {{"--help-all"}, true},    {{"--help-gapplication"}, true}, {{}, false},
      {{"--helpme"}, false},     {{"--help=yes"}, false},         {{"--toggle"}, false},
      {{"--", "--help"}, false},
  };
  for (const Case& c : cases) {
    std::vector<const char*> argv{"vesk"};
    argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
    std::string shown;
    for (const char* argument : c.arguments) shown += std::string(argument) + " ";
    EXPECT_EQ(asksForHelp(static_cast<int>(argv.size()), argv.data()), c.help) << shown;
  }
}

TEST(Entry, OnlyTheVersionOptionItselfAsksForTheVersion) {
  struct Case {
    std::vector<const char*> arguments;
    bool version;
  } cases[] = {
      {{"--version"}, true}, {{"--toggle", "--version"}, true}, {{}, false}, {{"--versions"}, false},
      {{"-v"}, false},       {{"--", "--version"}, false},
  };
  for (const Case& c : cases) {
    std::vector<const char*> argv{"vesk"};
    argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
    EXPECT_EQ(asksForVersion(static_cast<int>(argv.size()), argv.data()), c.version)
        << (c.arguments.empty() ? "" : c.arguments.back());
  }
}

TEST(Entry, ThePanelModuleIsLookedForInAbsoluteFoldersOnly) {
  struct Case {
    const char* name;
    std::filesystem::path executable;
    std::vector<std::filesystem::path> folders;
  } cases[] = {
      {"build tree", "/src/build/src/app/vesk", {"/src/build/src/app", "/src/build/src/lib/vesk"}},
      {"installed", "/usr/bin/vesk", {"/usr/bin", "/usr/lib/vesk"}},
      // /proc/self/exe could not be read: only the configured install folder, never the current folder.
      {"executable unknown", "", {"/opt/vesk/lib/vesk"}},
      {"relative executable", "bin/vesk", {"/opt/vesk/lib/vesk"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(panelModuleFolders(c.executable, "../lib/vesk", "/opt/vesk/lib/vesk"), c.folders) << c.name;
  }
}

}  // namespace
}  // namespace vesk
