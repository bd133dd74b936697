#include "platform/path_map.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/text_encoding.h"

namespace qavz::platform {
namespace {

namespace fs = std::filesystem;

class PathMap : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "qavz-path-XXXXXX").string();
    root = mkdtemp(pattern.data());
    Touch("Data/Images/Title.BMP");
    Touch("data/other.txt");  // a second folder that differs only in case
    Touch("Game/GAME.c");
  }
  void TearDown() override { fs::remove_all(root); }
  void Touch(const std::string& relative) {
    fs::create_directories(fs::path(root + "/" + relative).parent_path());
    std::ofstream(root + "/" + relative) << "x";
  }
  std::string root;
};

TEST_F(PathMap, BackslashesBecomeSlashes) {
  EXPECT_EQ(MapPath(root + "\\Data\\Images\\Title.BMP"), root + "/Data/Images/Title.BMP");
}

TEST_F(PathMap, EachComponentIsMatchedWithoutRegardToCase) {
  EXPECT_EQ(MapPath(root + "\\DATA\\images\\title.bmp"), root + "/Data/Images/Title.BMP");
  EXPECT_EQ(MapPath(root + "/data/other.txt"), root + "/data/other.txt") << "an exact name wins";
}

TEST_F(PathMap, TheDefaultMainScriptPathWorksRelativeToTheBaseDirectory) {
  fs::path before = fs::current_path();
  fs::current_path(root);
  EXPECT_EQ(MapPath("GAME\\GAME.c"), "Game/GAME.c");
  EXPECT_EQ(MapPath("game\\game.C"), "Game/GAME.c");
  fs::current_path(before);
}

TEST_F(PathMap, AMissingFileKeepsItsSpellingFromWhereTheMatchEnds) {
  EXPECT_EQ(MapPath(root + "\\DATA\\IMAGES\\new.bmp"), root + "/Data/Images/new.bmp");
  EXPECT_EQ(MapPath(root + "\\NoSuch\\Dir\\f.txt"), root + "/NoSuch/Dir/f.txt");
  EXPECT_EQ(MapPath(""), "");
}

TEST_F(PathMap, TheFolderUnderWhichMostExistsWins) {
  EXPECT_EQ(MapPath(root + "\\DATA\\OTHER.TXT"), root + "/data/other.txt");
  EXPECT_EQ(MapPath(root + "\\Data\\other.txt"), root + "/data/other.txt");
}

struct DotCase {
  const char* path;  // below the root, which is the current directory
  const char* mapped;
};
void PrintTo(const DotCase& c, std::ostream* os) { *os << c.path; }

class PathMapDots : public PathMap, public testing::WithParamInterface<DotCase> {};

// "." and ".." are taken against the names before them, whether those exist
// or not, as Windows reads a path.
TEST_P(PathMapDots, AreResolvedBeforeMatching) {
  fs::path before = fs::current_path();
  fs::current_path(root + "/Game");
  EXPECT_EQ(MapPath(GetParam().path), GetParam().mapped);
  fs::current_path(before);
}

INSTANTIATE_TEST_SUITE_P(Paths, PathMapDots,
                         testing::Values(DotCase{"..\\DATA\\images\\..\\..\\game\\game.c", "../Game/GAME.c"},
                                         DotCase{"nowhere\\..\\game.c", "GAME.c"},
                                         DotCase{".\\.\\GAME.C", "GAME.c"},
                                         DotCase{"..\\..\\x\\..\\new.txt", "../../new.txt"},
                                         DotCase{"sub\\..\\sub\\new.txt", "sub/new.txt"}),
                         [](const testing::TestParamInfo<DotCase>& info) {
                           return "Case" + std::to_string(info.index);
                         });

// Folders "a" and "A" side by side, and links that lead back to their own
// folder, multiply the ways a path can be spelled; the lookup lists a
// bounded number of folders per component instead of trying every spelling.
TEST_F(PathMap, LookupStaysLinearInTheNumberOfComponents) {
  fs::path before = fs::current_path();
  fs::current_path(root);
  fs::create_directories("a");
  fs::create_directories("A");
  std::string path;
  for (int i = 0; i < 16; ++i) path += "a\\..\\";
  uint64_t listed = PathMapListings();
  EXPECT_EQ(MapPath(path + "missing.txt"), "missing.txt");
  EXPECT_LE(PathMapListings() - listed, 1u);

  fs::create_directories("loop");
  fs::create_directory_symlink(".", "loop/l");
  fs::create_directory_symlink(".", "loop/L");
  std::string windows = "loop", mapped = "loop";
  for (int i = 0; i < 40; ++i) {
    windows += "\\L";
    mapped += "/L";
  }
  listed = PathMapListings();
  EXPECT_EQ(MapPath(windows + "\\missing.txt"), mapped + "/missing.txt");
  EXPECT_LE(PathMapListings() - listed, 42u) << "one folder listed per component";
  fs::current_path(before);
}

TEST_F(PathMap, AShiftJisTrailByteIsNotASeparator) {
  // "表" is 0x95 0x5C in Shift-JIS; the file was unpacked with its UTF-8 name.
  std::string hyou = "\x95\x5C";
  Touch(ToUtf8(hyou) + ".txt");
  EXPECT_EQ(MapPath(root + "\\" + hyou + ".txt"), root + "/" + "表.txt");
  EXPECT_EQ(ToUtf8(hyou), "表");
}

TEST(TextEncoding, Utf8IsKeptAndShiftJisIsConverted) {
  EXPECT_TRUE(IsUtf8("plain"));
  EXPECT_TRUE(IsUtf8("ゲーム"));
  EXPECT_FALSE(IsUtf8("\x83\x51\x81\x5B\x83\x80"));
  EXPECT_EQ(ToUtf8("ゲーム"), "ゲーム");
  EXPECT_EQ(ToUtf8("\x83\x51\x81\x5B\x83\x80"), "ゲーム");
  EXPECT_EQ(ToUtf8("A\xFF"
                   "B"),
            "A\xEF\xBF\xBD"
            "B")
      << "a byte that is not Shift-JIS";
}

}  // namespace
}  // namespace qavz::platform
