#include "browser/downloads.h"

#include <glib.h>
#include <glib/gstdio.h>
#include <gtest/gtest.h>

#include <fstream>

namespace vesk {
namespace {

TEST(SafeFileNameTest, KeepsOnlyAHarmlessBaseName) {
  EXPECT_EQ(safeFileName("report.pdf"), "report.pdf");
  EXPECT_EQ(safeFileName("../../etc/passwd"), "passwd");
  EXPECT_EQ(safeFileName("C:\\Users\\x\\evil.exe"), "evil.exe");
  EXPECT_EQ(safeFileName(".bashrc"), "bashrc");
  EXPECT_EQ(safeFileName("a\nb\tc.txt"), "a_b_c.txt");
  EXPECT_EQ(safeFileName(""), "download");
  EXPECT_EQ(safeFileName("..."), "download");
  EXPECT_EQ(safeFileName("dir/"), "download");
  std::string longName(300, 'x');
  EXPECT_LE(safeFileName(longName + ".txt").size(), 200u);
  // A cut never splits a multi-byte character.
  std::string accented;
  for (int i = 0; i < 150; ++i) accented += "é";
  EXPECT_TRUE(g_utf8_validate(safeFileName(accented).c_str(), -1, nullptr));
}

class ReserveDownloadFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gchar* made = g_dir_make_tmp("vesk-downloads-XXXXXX", nullptr);
    ASSERT_TRUE(made);
    directory = made;
    g_free(made);
  }
  void TearDown() override {
    for (const auto& path : created) g_unlink(path.c_str());
    g_rmdir(directory.c_str());
  }
  std::string reserve(std::string_view name) {
    std::string error;
    std::string path = reserveDownloadFile(directory, name, &error);
    EXPECT_FALSE(path.empty()) << error;
    created.push_back(path);
    return path;
  }
  std::string directory;
  std::vector<std::string> created;
};

TEST_F(ReserveDownloadFileTest, NeverReusesAnExistingName) {
  std::string first = reserve("report.txt");
  EXPECT_EQ(first, directory + "/report.txt");
  { std::ofstream(first) << "keep me"; }
  EXPECT_EQ(reserve("report.txt"), directory + "/report (1).txt");
  EXPECT_EQ(reserve("report.txt"), directory + "/report (2).txt");
  EXPECT_EQ(reserve("README"), directory + "/README");
  EXPECT_EQ(reserve("README"), directory + "/README (1)");
  std::ifstream kept(first);
  std::string content;
  std::getline(kept, content);
  EXPECT_EQ(content, "keep me");
}

TEST_F(ReserveDownloadFileTest, CreatesAMissingDownloadFolder) {
  std::string nested = directory + "/Downloads";
  std::string error;
  std::string path = reserveDownloadFile(nested, "a.bin", &error);
  EXPECT_EQ(path, nested + "/a.bin");
  g_unlink(path.c_str());
  g_rmdir(nested.c_str());
}

TEST_F(ReserveDownloadFileTest, ReportsAFolderThatCannotBeCreated) {
  std::string blocker = reserve("plain-file");
  std::string error;
  EXPECT_EQ(reserveDownloadFile(blocker + "/sub", "a.bin", &error), "");
  EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace vesk
